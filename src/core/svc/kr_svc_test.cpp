#include "core/svc/kr_svc.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <time.h>

#include <cstdio>
#include <regex>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc_internal.h"
#include "core/svc/kr_svc_test_aids.h"

namespace {

using svc_test::SvcTest;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const char kStamp[] = R"(\d{4}-\d{2}-\d{2}-\d{2}:\d{2}:\d{2}\.\d{3}[+-]\d{2}:\d{2})";

std::string threadId() {
    char id[32];
    snprintf(id, sizeof id, "0x%8.8lx", static_cast<unsigned long>(pthread_self()));
    return id;
}

// Splits a line into its timestamp (checked against the format) and the
// rest.
std::string afterStamp(const std::string& line) {
    std::smatch m;
    if (!std::regex_search(line, m, std::regex(std::string("^") + kStamp + " "))) {
        ADD_FAILURE() << "no timestamp in: " << line;
        return line;
    }
    return m.suffix();
}

TEST_F(SvcTest, MessageAndDebugLinesHaveTheExactHeaderFormat) {
    kr_svc_handle_t pic = yav_svc_plugin_handle();
    kr_svc_set_debug_level(pic, yav_svc_http_parser, 4);
    ASSERT_EQ(0u, kr_svc_set_progname("webd"));
    CaptureStderr();
    kr_svc_printf_withfile(pic, "f.cpp", 12, "%s%s%d", yav_svc_proxy_if, svc_c_sev_error,
                           YAV_S_SYS_ROUTINE_ERROR, "open", "No such file", 2);
    kr_svc__debug_withfile(pic, "g.cpp", 7, yav_svc_http_parser, 4, "parsed %d bytes", 17);
    kr_svc__debug_withfile(pic, "g.cpp", 8, yav_svc_http_parser, 5, "too detailed");
    std::vector<std::string> out = svc_test::lines(GetCapturedStderr());
    ASSERT_EQ(4u, out.size());
    EXPECT_EQ("0x35F02037 webd ERROR pic Proxy Interface f.cpp 12 " + threadId(),
              afterStamp(out[0]));
    EXPECT_EQ(
        "QRXIC0055E   The open system routine failed: system error: No such file (system "
        "error code: 2).",
        out[1]);
    EXPECT_EQ("webd DEBUG4 pic HTTP Parser g.cpp 7 " + threadId(), afterStamp(out[2]));
    EXPECT_EQ("parsed 17 bytes", out[3]);

    // Without a program name the process id stands in; an unknown code
    // still gives a line.
    ASSERT_EQ(0u, kr_svc_set_progname(nullptr));
    CaptureStderr();
    kr_svc_printf_withfile(pic, "f.cpp", 1, "", 99, svc_c_sev_fatal, 0x7fffffffU);
    out = svc_test::lines(GetCapturedStderr());
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ("0x7FFFFFFF PID#" + std::to_string(getpid()) + " FATAL pic - f.cpp 1 " + threadId(),
              afterStamp(out[0]));
    EXPECT_EQ("Unknown message number 0x7fffffff", out[1]);
}

TEST_F(SvcTest, BriefOutputKeepsTheTextOnTheHeaderLine) {
    env("SVC_BRIEF", "1");
    kr_svc_set_progname("p");
    CaptureStderr();
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_warning, "", YAV_S_NO_MEMORY);
    std::vector<std::string> out = svc_test::lines(GetCapturedStderr());
    ASSERT_EQ(1u, out.size());
    EXPECT_NE(std::string::npos,
              out[0].find(" " + threadId() + " QRXIC0012E   Memory could not be allocated."))
        << out[0];
}

TEST_F(SvcTest, TimestampsCarryMillisecondsAndTheZoneOffset) {
    struct Case {
        const char* tz;
        long seconds;
        long micros;
        const char* expected;
    };
    const Case cases[] = {
        {"UTC0", 0, 999, "1970-01-01-00:00:00.000+00:00"},
        {"IST-5:30", 0, 123456, "1970-01-01-05:30:00.123+05:30"},
        {"EST+5", 86400 + 59, 999999, "1970-01-01-19:00:59.999-05:00"},
        {"NPT-5:45", 1700000000, 5000, "2023-11-15-03:58:20.005+05:45"},
    };
    env("TZ", nullptr);
    for (const Case& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        struct timeval when = {c.seconds, c.micros};
        char out[kSvcTimeSize];
        svc_format_time(when, out, sizeof out);
        EXPECT_STREQ(c.expected, out) << c.tz;
    }
    unsetenv("TZ");
    tzset();
}

TEST_F(SvcTest, SeverityRoutesDefaultToTheEnvironmentOrBuiltInDestinations) {
    struct Case {
        uint32_t severity;
        const char* variable;
        bool toStderrByDefault;
    };
    const Case cases[] = {
        {svc_c_sev_fatal, "SVC_FATAL", true},
        {svc_c_sev_error, "SVC_ERROR", true},
        {svc_c_sev_warning, "SVC_WARNING", true},
        {svc_c_sev_notice, "SVC_NOTICE", false},
        {svc_c_sev_notice_verbose, "SVC_NOTICE_VERBOSE", false},
    };
    for (const Case& c : cases) env(c.variable, nullptr);
    for (const Case& c : cases) {
        CaptureStderr();
        YAV_SVC_LOG(yav_svc_common, c.severity, "", YAV_S_NO_MEMORY);
        std::string out = GetCapturedStderr();
        EXPECT_EQ(c.toStderrByDefault, out.find("QRXIC0012E") != std::string::npos)
            << c.variable << ": " << out;
    }

    // Each variable names destinations for its severity; read at first use.
    for (const Case& c : cases) {
        std::string file = path(c.variable);
        env(c.variable, ("STDOUT:-;TEXTFILE:" + file).c_str());
    }
    kr_svc_test_reset();
    for (const Case& c : cases) {
        CaptureStderr();
        CaptureStdout();
        YAV_SVC_LOG(yav_svc_common, c.severity, "", YAV_S_NO_MEMORY);
        std::string out = GetCapturedStdout();
        EXPECT_EQ("", GetCapturedStderr()) << c.variable;
        EXPECT_EQ(1u, svc_test::count(out, "QRXIC0012E")) << c.variable;
        EXPECT_EQ(1u, svc_test::count(svc_test::readFile(path(c.variable)), "QRXIC0012E"))
            << c.variable;
    }

    // A variable that does not parse leaves the built-in default.
    env("SVC_ERROR", "TEXTFILE.3:x");
    kr_svc_test_reset();
    CaptureStderr();
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "", YAV_S_NO_MEMORY);
    EXPECT_NE(std::string::npos, GetCapturedStderr().find("QRXIC0012E"));
}

// ---- handles and debug levels ------------------------------------------------

struct Notice {
    uint32_t code;
    unsigned level;
};
std::vector<Notice> g_notices;
void recordNotice(uint32_t code, unsigned level) { g_notices.push_back({code, level}); }

std::vector<unsigned> picLevels() {
    std::vector<unsigned> levels;
    kr_svc_handle_t pic = yav_svc_plugin_handle();
    for (unsigned i = 0; i < kr_svc_subcomp_count(pic); ++i) {
        levels.push_back(kr_svc_debug_level(pic, i));
    }
    return levels;
}

TEST_F(SvcTest, DebugLevelSpecificationsSetNamedOrAllSubcomponents) {
    struct Case {
        const char* spec;
        bool valid;
        std::vector<std::pair<unsigned, unsigned>> levels;  // sub-component, level
    };
    const unsigned n = yav_svc_subcomp_count;
    std::vector<std::pair<unsigned, unsigned>> allNine;
    for (unsigned i = 0; i < n; ++i) allNine.push_back({i, 9});
    const std::vector<Case> cases = {
        {"pic:Memory Types.1", true, {{yav_svc_memory, 1}}},
        {"pic:*.9", true, allNine},
        {"PIC:memory types.12", true, {{yav_svc_memory, 9}}},
        {"pic:Common.2, HTTP Parser.3,,", true, {{yav_svc_common, 2}, {yav_svc_http_parser, 3}}},
        {"pic:KRYAV Stats Constants.4", true, {{yav_svc_stats, 4}}},
        {"pic:No Such Part.1", false, {}},
        {"pic:Common.1,No Such Part.1", false, {}},
        {"pic:Memory Types", false, {}},
        {"pic:Memory Types.x", false, {}},
        {"pic:Memory Types.", false, {}},
        {"pic:.3", false, {}},
        {"pic", false, {}},
        {":Common.1", false, {}},
    };
    kr_svc_handle_t pic = yav_svc_plugin_handle();
    kr_svc_set_debug_notify(pic, recordNotice);
    for (const Case& c : cases) {
        kr_svc_test_reset();
        g_notices.clear();
        uint32_t status = 0;
        kr_svc_debug_set_levels(c.spec, &status);
        EXPECT_EQ(c.valid ? 0u : YAV_SVC_S_BAD_ROUTE, status) << c.spec;
        std::vector<unsigned> expected(n, 0);
        for (const auto& l : c.levels) expected[l.first] = l.second;
        EXPECT_EQ(expected, picLevels()) << c.spec;
        // Every assigned sub-component is reported with its name code.
        ASSERT_EQ(c.levels.size(), g_notices.size()) << c.spec;
        for (size_t i = 0; i < g_notices.size(); ++i) {
            bool found = false;
            for (const auto& l : c.levels) {
                found |= g_notices[i].code == kr_svc_subcomp_name_code(pic, l.first) &&
                         g_notices[i].level == l.second;
            }
            EXPECT_TRUE(found) << c.spec << " notice " << std::hex << g_notices[i].code;
        }
    }
    g_notices.clear();
    kr_svc_set_debug_level(pic, yav_svc_memory, 20);
    ASSERT_EQ(1u, g_notices.size());
    EXPECT_EQ(YAV_T_MEMORY, g_notices[0].code);
    EXPECT_EQ(9u, g_notices[0].level);
    EXPECT_TRUE(kr_svc_debug_enabled(pic, yav_svc_memory, 9));
    EXPECT_FALSE(kr_svc_debug_enabled(pic, yav_svc_memory, 10));
    EXPECT_FALSE(kr_svc_debug_enabled(pic, yav_svc_subcomp_count, 0));
    kr_svc_set_debug_notify(pic, nullptr);
}

TEST_F(SvcTest, SvcPicDbgSetsLevelsAndTheDebugRoute) {
    std::string file = path("debug.log");
    env("SVC_PIC_DBG", ("Pic:Memory Types.3,HTTP Parser.1:TEXTFILE:" + file).c_str());
    kr_svc_test_reset();
    kr_svc_handle_t pic = yav_svc_plugin_handle();
    EXPECT_EQ(3u, kr_svc_debug_level(pic, yav_svc_memory));
    EXPECT_EQ(1u, kr_svc_debug_level(pic, yav_svc_http_parser));
    EXPECT_EQ(0u, kr_svc_debug_level(pic, yav_svc_common));
    CaptureStderr();
    YAV_SVC_DEBUG(yav_svc_memory, 3, "kept %d", 3);
    YAV_SVC_DEBUG(yav_svc_memory, 4, "dropped %d", 4);
    EXPECT_EQ("", GetCapturedStderr());
    std::string written = svc_test::readFile(file);
    EXPECT_EQ(1u, svc_test::count(written, "kept 3\n")) << written;
    EXPECT_EQ(0u, svc_test::count(written, "dropped"));

    // An explicit setting wins over the variable; a variable naming another
    // component is ignored.
    uint32_t status = 1;
    kr_svc_debug_set_levels("pic:Memory Types.5", &status);
    EXPECT_EQ(0u, status);
    EXPECT_EQ(5u, kr_svc_debug_level(pic, yav_svc_memory));
    env("SVC_PIC_DBG", "pco:*.9:STDOUT:-");
    kr_svc_test_reset();
    EXPECT_EQ(std::vector<unsigned>(yav_svc_subcomp_count, 0), picLevels());
}

const kr_svc_subcomp_t kTable[] = {{"Alpha", 0}, {"Beta", 0}, {nullptr, 0}};

TEST_F(SvcTest, ComponentsRegisterOnceAndReceiveStoredSettings) {
    std::string file = path("zzz.log");
    uint32_t status = 1;
    kr_svc_debug_set_levels("zzz:Alpha.4", &status);
    EXPECT_EQ(0u, status);
    kr_svc_debug_routing(("zzz:Beta.2:TEXTFILE:" + file).c_str(), &status);
    EXPECT_EQ(0u, status);
    kr_svc_debug_set_levels("yyy:Alpha", &status);  // checked although not registered
    EXPECT_EQ(YAV_SVC_S_BAD_ROUTE, status);

    kr_svc_handle_t h = kr_svc_register(kTable, "zzz", &status);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(0u, status);
    EXPECT_EQ(2u, kr_svc_subcomp_count(h));
    EXPECT_EQ(4u, kr_svc_debug_level(h, 0));
    EXPECT_EQ(2u, kr_svc_debug_level(h, 1));
    EXPECT_EQ(h, kr_svc_register(kTable, "ZZZ", &status));  // the same component
    kr_svc__debug_withfile(h, "z.cpp", 3, 1, 2, "beta %s", "two");
    std::vector<std::string> out = svc_test::lines(svc_test::readFile(file));
    ASSERT_EQ(2u, out.size());
    EXPECT_NE(std::string::npos, out[0].find(" DEBUG2 zzz Beta z.cpp 3 ")) << out[0];
    EXPECT_EQ("beta two", out[1]);

    kr_svc_unregister(h, &status);
    EXPECT_EQ(4u, kr_svc_debug_level(h, 0));  // still registered once
    kr_svc_unregister(h, &status);
    EXPECT_EQ(0u, status);

    EXPECT_EQ(nullptr, kr_svc_register(kTable, "", &status));
    EXPECT_EQ(YAV_S_INVALID_VALUE, status);
    const kr_svc_subcomp_t empty[] = {{nullptr, 0}};
    EXPECT_EQ(nullptr, kr_svc_register(empty, "empty", &status));
    EXPECT_EQ(YAV_S_INVALID_VALUE, status);
    EXPECT_EQ(yav_svc_plugin_handle(), kr_svc_register(kTable, "pic", &status));
    kr_svc_unregister(yav_svc_plugin_handle(), &status);
    kr_svc_unregister(yav_svc_plugin_handle(), &status);  // never freed
    EXPECT_EQ(static_cast<unsigned>(yav_svc_subcomp_count),
              kr_svc_subcomp_count(yav_svc_plugin_handle()));
}

TEST_F(SvcTest, DebugFlagsOnAMessageCallMakeADebugRecord) {
    kr_svc_handle_t pic = yav_svc_plugin_handle();
    kr_svc_set_debug_level(pic, yav_svc_module, 2);
    CaptureStderr();
    kr_svc_printf_withfile(pic, "m.cpp", 5, "", yav_svc_module, 2, YAV_S_NO_MEMORY);
    kr_svc_printf_withfile(pic, "m.cpp", 6, "", yav_svc_module, 3, YAV_S_NO_MEMORY);
    std::vector<std::string> out = svc_test::lines(GetCapturedStderr());
    ASSERT_EQ(2u, out.size());
    EXPECT_NE(std::string::npos, out[0].find(" DEBUG2 pic Module m.cpp 5 ")) << out[0];
}

TEST_F(SvcTest, ShutdownReleasesTheLayerAndTheNextCallStartsItAgain) {
    std::string file = path("before.log");
    route("ERROR:TEXTFILE:" + file);
    kr_svc_msgsave_start();
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "", YAV_S_NO_MEMORY);
    ASSERT_NE("", svc_test::savedMessages());
    kr_svc_shutdown();
    kr_svc_shutdown();  // again: nothing left to do

    // Saved texts and routes are gone; the next call starts the layer with
    // the default routes.
    EXPECT_EQ("", svc_test::savedMessages());
    CaptureStderr();
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "", YAV_S_NO_MEMORY);
    EXPECT_NE(std::string::npos, GetCapturedStderr().find("QRXIC0012E"));
    EXPECT_EQ(1u, svc_test::count(svc_test::readFile(file), "QRXIC0012E"));
    EXPECT_EQ("", svc_test::savedMessages());  // not saving any more
}

}  // namespace
