#include "core/trace/YavLog.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "core/trace/yav_trace_test_aids.h"

namespace {

const char kTime[] =
    "^[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}";

TEST(YavLogTest, SeverityNamesAreSevenCharactersWide) {
    const char* names[] = {"INFO   ", "WARNING", "ERROR  ", "TRACE 0", "TRACE 1",
                           "TRACE 2", "TRACE 3", "TRACE 4", "TRACE 5", "TRACE 6",
                           "TRACE 7", "TRACE 8", "TRACE 9", "UNKNOWN"};
    for (int s = -1; s <= yav_log_severity_count; ++s) {
        EXPECT_STREQ(names[s < 0 ? yav_log_severity_count : s], YavLog::getSeverityName(s)) << s;
    }
}

TEST(YavLogTest, TimeStringShowsLocalTimeMillisecondsAndZoneOffset) {
    const char* savedTz = getenv("TZ");
    std::string saved = savedTz != nullptr ? savedTz : "";
    struct Case {
        const char* tz;
        long seconds, microseconds;
        const char* expected;
    };
    // 1000000000 is 2001-09-09 01:46:40 UTC.
    const std::vector<Case> cases = {
        {"UTC0", 1000000000, 123456, "2001-09-09-01:46:40.123+00:00"},
        {"NPT-5:45", 1000000000, 999999, "2001-09-09-07:31:40.999+05:45"},
        {"NST3:30", 0, 5000, "1969-12-31-20:30:00.005-03:30"},
    };
    for (const Case& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        char buffer[64];
        EXPECT_EQ(strlen(c.expected),
                  YavLog::formatTimeString(c.seconds, c.microseconds, buffer, sizeof buffer));
        EXPECT_STREQ(c.expected, buffer) << c.tz;
    }
    char small[10];  // too small: nothing rather than a cut time
    EXPECT_EQ(0u, YavLog::formatTimeString(0, 0, small, sizeof small));
    savedTz != nullptr ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}

TEST(YavLogTest, BaseLogWritesOneFormattedLineToStandardOutput) {
    YavLog log;
    testing::internal::CaptureStdout();
    log.log(yav_log_warning, "dir/file.cpp", 42, "tessaro.test", YavStringRef("hello world"));
    log.log(yav_log_trace_0 + 7, nullptr, -1, nullptr, YavStringRef("xy", 1));
    std::string out = testing::internal::GetCapturedStdout();

    char ids[64];
    snprintf(ids, sizeof ids, "%8u %8u", static_cast<unsigned>(getpid()),
             static_cast<unsigned>(syscall(SYS_gettid)));
    std::regex time(kTime);
    std::smatch m;
    size_t end = out.find('\n') + 1;
    std::string first = out.substr(0, end), second = out.substr(end);
    ASSERT_TRUE(std::regex_search(first, m, time)) << first;
    EXPECT_EQ(std::string(" tessaro.test WARNING dir/file.cpp 42 ") + ids + " hello world\n",
              m.suffix().str());
    // Null names are empty, the line number is unsigned, the length bounds
    // the text.
    ASSERT_TRUE(std::regex_search(second, m, time)) << second;
    EXPECT_EQ(std::string("  TRACE 7  4294967295 ") + ids + " x\n", m.suffix().str());
}

TEST(YavLogTest, FrontEndsFormatStatusTextsAndPrintfFormats) {
    YavRecordingLog log;
    // No catalog is installed for the tests: the built-in text applies.
    char expected[512];
    snprintf(expected, sizeof expected, kr_msg_get_default_msg(YAV_S_THREAD_INIT_ERRNO), "boom", 7);
    log.log(yav_log_error, "a.cpp", 3, "comp", YAV_S_THREAD_INIT_ERRNO, "boom", 7);
    log.logLCP(yav_log_error, "a.cpp", 4, "comp", YAV_S_THREAD_INIT_ERRNO, "boom", 7);
    log.flog(yav_log_info, "b.cpp", 5, "comp", "%s=%05d|%-4s|", "n", 42, "ab");
    log.flogLCP(yav_log_info, "b.cpp", 6, "comp", "%x", 255u);
    std::string longText(3000, 'z');  // beyond the stack buffers
    log.flog(yav_log_info, "b.cpp", 7, "comp", "<%s>", longText.c_str());
    log.log(yav_log_info, "c.cpp", 8, "comp", YavLCPStringRef("plain"));
    // Local text that does not convert (not ASCII, the tests' "C" locale)
    // is logged as it came.
    log.log(yav_log_info, "c.cpp", 9, "comp", YavLCPStringRef("a\xe9z"));

    const std::vector<std::string> texts = {
        expected, expected, "n=00042|ab  |", "ff", "<" + longText + ">", "plain", "a\xe9z"};
    ASSERT_EQ(texts.size(), log.lines.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i], log.lines[i].text) << i;
        EXPECT_EQ(static_cast<int>(i) + 3, log.lines[i].line);
        EXPECT_EQ(i < 2 ? yav_log_error : yav_log_info, log.lines[i].severity);
    }
}

TEST(YavLogTest, LongLinesAndLocalCodePageLines) {
    YavRecordingLog utf8(nullptr, false);
    std::string longText(70000, 'a');
    longText.back() = 'Z';
    std::string line = utf8.format(longText.c_str());
    EXPECT_EQ(" " + longText + "\n", line.substr(line.size() - longText.size() - 2));

    // In the "C" locale (ASCII) characters without a local form become '?'.
    YavRecordingLog local(nullptr, true);
    const char* text = "caf\xc3\xa9 \xe2\x82\xac ok";
    EXPECT_NE(std::string::npos, utf8.format(text).find(std::string(" ") + text + "\n"));
    EXPECT_NE(std::string::npos, local.format(text).find(" caf? ? ok\n"));
}

}  // namespace
