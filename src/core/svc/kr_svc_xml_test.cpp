#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/time.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/svc/kr_svc_internal.h"
#include "core/svc/kr_svc_test_aids.h"
#include "core/system/yav_test_command.h"
#include "core/ulq/ulq.h"

namespace {

using svc_test::readFile;
using svc_test::SvcTest;

const char kUnhandled[] = "(Failed to handle a data type in svcprintf.c, printPrefix())";

// XML records checked by xmllint: the records of one log file are wrapped
// into one document and queried with XPath.
class SvcXmlTest : public SvcTest {
  protected:
    void SetUp() override {
        SvcTest::SetUp();
        if (system("command -v xmllint >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "xmllint is not installed";
        }
        m_log = path("records.xml");
        route("*:XMLFILE:" + m_log);
        uint32_t status = 1;
        kr_svc_debug_routing(("pic:*.9:XMLFILE:" + m_log).c_str(), &status);
        ASSERT_EQ(0u, status);
    }

    // Wraps what was logged into <Log> and checks it is well-formed; the
    // xmllint diagnostics, or "".
    std::string wellFormed() {
        m_records = readFile(m_log);
        std::string doc = path("doc.xml");
        FILE* f = fopen(doc.c_str(), "w");
        if (f == nullptr) return "cannot write";
        fprintf(f, "<Log>\n%s</Log>\n", m_records.c_str());
        fclose(f);
        return yav_test_command_output("xmllint --noout '" + doc + "' 2>&1");
    }

    std::string xpath(const std::string& expr) {
        std::string out = yav_test_command_output("xmllint --xpath \"" + expr + "\" '" +
                                                  path("doc.xml") + "' 2>/dev/null");
        if (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }

    std::string m_log;
    std::string m_records;
};

long long nowMillis() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return static_cast<long long>(tv.tv_sec) * 1000 + tv.tv_usec / 1000;
}

TEST_F(SvcXmlTest, MessageRecordHoldsItsElementsInOrder) {
    long long before = nowMillis();
    kr_svc_printf_withfile(yav_svc_plugin_handle(), "src/a&b<c>\"d'.cpp", 12, "%s%s%d", yav_svc_urc,
                           svc_c_sev_error, YAV_S_SYS_ROUTINE_ERROR, "open", "No such file", 2);
    long long after = nowMillis();
    ASSERT_EQ("", wellFormed()) << m_records;
    EXPECT_EQ(m_records.size() - 12, m_records.find("</Message>\n\n"));

    EXPECT_EQ("QRXIC0055E", xpath("string(/Log/Message/@Id)"));
    EXPECT_EQ("ERROR", xpath("string(/Log/Message/@Severity)"));
    const char* order[] = {"Time",    "Component", "LogAttribs",      "Source",
                           "Process", "Thread",    "TranslationInfo", "LogText"};
    EXPECT_EQ("8", xpath("count(/Log/Message/*)"));
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(order[i], xpath("name(/Log/Message/*[" + std::to_string(i + 1) + "])"));
    }
    long long millis = std::stoll(xpath("string(//Time/@Millis)"));
    EXPECT_LE(before, millis);
    EXPECT_GE(after, millis);
    EXPECT_EQ("pic", xpath("string(//Component)"));
    EXPECT_EQ("Message Number", xpath("string(//LogAttribs/KeyName)"));
    EXPECT_EQ("0x35f02037", xpath("string(//LogAttribs/Value)"));
    EXPECT_EQ("src/a&b<c>\"d'.cpp", xpath("string(//Source/@FileName)"));
    EXPECT_EQ("unknown", xpath("string(//Source/@Method)"));
    EXPECT_EQ("12", xpath("string(//Source/@Line)"));
    EXPECT_EQ(std::to_string(getpid()), xpath("string(//Process)"));
    char thread[32];
    snprintf(thread, sizeof thread, "0x%8.8lx", static_cast<unsigned long>(pthread_self()));
    EXPECT_EQ(thread, xpath("string(//Thread)"));
    EXPECT_EQ("XPG4", xpath("string(//TranslationInfo/@Type)"));
    EXPECT_EQ("krpic.cat", xpath("string(//TranslationInfo/@Catalog)"));
    EXPECT_EQ("1", xpath("string(//TranslationInfo/@SetId)"));
    EXPECT_EQ("55", xpath("string(//TranslationInfo/@MsgKey)"));
    EXPECT_EQ("3", xpath("count(//Param)"));
    EXPECT_EQ("open", xpath("string(//Param[1])"));
    EXPECT_EQ("No such file", xpath("string(//Param[2])"));
    EXPECT_EQ("2", xpath("string(//Param[3])"));
    EXPECT_EQ(
        "QRXIC0055E   The open system routine failed: system error: No such file (system error "
        "code: 2).",
        xpath("string(//LogText)"));
}

TEST_F(SvcXmlTest, SeverityAttributeFollowsTheIdentifiersLastLetter) {
    struct Case {
        uint32_t code;
        const char* id;
        const char* severity;
    };
    const Case cases[] = {
        {YAV_S_NO_MEMORY, "QRXIC0012E", "ERROR"},
        {YAV_S_CFG_UNRECOGNIZED_ENTRY, "QRXIC0231W", "WARN"},
        {YAV_S_TRANSITIONAL_RESPONSE, "QRXIC0007I", "INFO"},
        {0x7ffffffeU, "Unknown", "INFO"},
    };
    for (const Case& c : cases) {
        // The record's severity does not matter; the identifier does.
        YAV_SVC_LOG(yav_svc_common, svc_c_sev_fatal, "", c.code);
    }
    ASSERT_EQ("", wellFormed()) << m_records;
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string at = "/Log/Message[" + std::to_string(i + 1) + "]";
        EXPECT_EQ(cases[i].id, xpath("string(" + at + "/@Id)"));
        EXPECT_EQ(cases[i].severity, xpath("string(" + at + "/@Severity)")) << cases[i].id;
    }
}

TEST_F(SvcXmlTest, TextsWithCdataTerminatorsAndBadBytesStayWellFormed) {
    const std::string tricky = "a]]>b]]]>c<&>]]";
    kr_svc__debug_utf8(yav_svc_plugin_handle(), "t.cpp", 1, yav_svc_common, 1, tricky.c_str());
    kr_svc__debug_utf8(yav_svc_plugin_handle(), "t.cpp", 2, yav_svc_common, 1, "]]>");
    kr_svc__debug_utf8(yav_svc_plugin_handle(), "t.cpp", 3, yav_svc_common, 1,
                       "bad \xff\xc3 ctl \x01\x1f end");
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "%s", YAV_S_MB_TO_UCS2_FAILED, "x\xfe]]>y");
    ASSERT_EQ("", wellFormed()) << m_records;
    EXPECT_EQ(tricky, xpath("string(/Log/Trace[1]/LogText)"));
    EXPECT_EQ("]]>", xpath("string(/Log/Trace[2]/LogText)"));
    EXPECT_EQ("bad ?? ctl ?? end", xpath("string(/Log/Trace[3]/LogText)"));
    EXPECT_EQ("x?]]>y", xpath("string(//Param[1])"));
}

TEST_F(SvcXmlTest, TraceRecordsCarryTheirLevelBand) {
    const char* bands[] = {"MIN", "MIN", "MIN", "MID", "MID", "MID", "MAX", "MAX", "MAX"};
    for (unsigned level = 1; level <= 9; ++level) {
        kr_svc__debug_withfile(yav_svc_plugin_handle(), "t.cpp", static_cast<int>(level),
                               yav_svc_hpt, level, "level %u", level);
    }
    ASSERT_EQ("", wellFormed()) << m_records;
    const char* order[] = {"Time",   "Component",  "Source", "Process",
                           "Thread", "LogAttribs", "LogText"};
    EXPECT_EQ("7", xpath("count(/Log/Trace[1]/*)"));
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(order[i], xpath("name(/Log/Trace[1]/*[" + std::to_string(i + 1) + "])"));
    }
    for (unsigned level = 1; level <= 9; ++level) {
        std::string at = "/Log/Trace[" + std::to_string(level) + "]";
        EXPECT_EQ(bands[level - 1], xpath("string(" + at + "/@Level)")) << level;
        EXPECT_EQ("Numeric Trace Level", xpath("string(" + at + "/LogAttribs/KeyName)"));
        EXPECT_EQ(std::to_string(level), xpath("string(" + at + "/LogAttribs/Value)"));
        EXPECT_EQ("level " + std::to_string(level), xpath("string(" + at + "/LogText)"));
    }
}

TEST_F(SvcXmlTest, EachArgumentTypeBecomesAParameter) {
    int dummy = 0;
    char pointer[32];
    snprintf(pointer, sizeof pointer, "%p", static_cast<void*>(&dummy));
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_notice, "%d%hd%u%ld%llu%x%X%o%c%s%p%.2f%S%C%%",
                YAV_S_NOT_SUPPORTED, -5, 7, 4000000000U, -9000000000L, 18000000000000000000ULL, 255,
                255, 8, 'q', "str", static_cast<void*>(&dummy), 2.5, L"w\u00e9",
                static_cast<wint_t>(L'\u20ac'));
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_notice, "%d%Q%s", YAV_S_NOT_SUPPORTED, 5, "lost");
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_notice, "%*d%d", YAV_S_NOT_SUPPORTED, 3, 4);
    ASSERT_EQ("", wellFormed()) << m_records;
    const std::vector<std::string> first = {
        "-5",    "7",   "4000000000", "-9000000000", "18000000000000000000",
        "ff",    "FF",  "10",         "q",           "str",
        pointer, "2.5", "w\u00e9",    "\u20ac"};
    EXPECT_EQ(std::to_string(first.size()), xpath("count(/Log/Message[1]//Param)"));
    for (size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i], xpath("string(/Log/Message[1]//Param[" + std::to_string(i + 1) + "])"));
    }
    // An unknown conversion hides the types of everything after it.
    const std::vector<std::string> second = {"5", kUnhandled, kUnhandled};
    EXPECT_EQ("3", xpath("count(/Log/Message[2]//Param)"));
    for (size_t i = 0; i < second.size(); ++i) {
        EXPECT_EQ(second[i],
                  xpath("string(/Log/Message[2]//Param[" + std::to_string(i + 1) + "])"));
    }
    EXPECT_EQ(kUnhandled, xpath("string(/Log/Message[3]//Param[1])"));
    EXPECT_EQ(kUnhandled, xpath("string(/Log/Message[3]//Param[2])"));
}

TEST_F(SvcXmlTest, StringArgumentsOfAnotherCodeSetAreConvertedToUtf8) {
    ulq_cs_t latin1 = ulq_cs_new("ISO-8859-1");
    if (latin1 == nullptr) GTEST_SKIP() << "no ISO-8859-1 conversion";
    kr_svc_printf_cs_withfile(yav_svc_plugin_handle(), latin1, "l.cpp", 1, "%s", yav_svc_common,
                              svc_c_sev_error, YAV_S_MB_TO_UCS2_FAILED, "\xe9t\xe9");
    kr_svc_printf_cs_withfile(yav_svc_plugin_handle(), ulq_utf8_cs(), "l.cpp", 2, "%s",
                              yav_svc_common, svc_c_sev_error, YAV_S_MB_TO_UCS2_FAILED,
                              "\xc3\xa9t\xc3\xa9");
    ulq_cs_free(latin1);
    ASSERT_EQ("", wellFormed()) << m_records;
    for (const char* at : {"/Log/Message[1]", "/Log/Message[2]"}) {
        EXPECT_EQ("\xc3\xa9t\xc3\xa9", xpath(std::string("string(") + at + "//Param[1])"));
        std::string text = xpath(std::string("string(") + at + "/LogText)");
        EXPECT_EQ(text.size() - 7, text.find(": \xc3\xa9t\xc3\xa9")) << text;
    }
}

}  // namespace
