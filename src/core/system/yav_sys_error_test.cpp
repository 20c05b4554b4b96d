#include "core/system/yav_sys_error.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"

namespace {

std::string system_text(int err) {
    char buffer[256];
    return strerror_r(err, buffer, sizeof buffer);
}

// The message text of code with the arguments filled in, as the log shows it.
template <class... Args>
std::string message_text(yav_status_t code, Args... args) {
    char text[2048] = "<no text for the code>";
    const char* format = kr_msg_get_default_msg(code);
    if (format != nullptr) snprintf(text, sizeof text, format, args...);
    return text;
}

TEST(YavSysErrorTest, MapsErrnoToStatusAndLogsOnlyUnusualErrors) {
    struct Case {
        int err;
        const char* routine;
        yav_status_t status;
        std::string log;  // empty: nothing may be logged
    };
    const int unknown = 98765;
    const std::vector<Case> cases = {
        {0, "open", 0, ""},
        {ENOENT, "open", YAV_S_NO_SUCH_RESOURCE, ""},
        {ENOMEM, "open", YAV_S_NO_MEMORY, ""},
        {ENOSPC, "open", YAV_S_NO_MEMORY, ""},
        {EACCES, "open", YAV_S_ACCESS_DENIED, ""},
        {ENOTDIR, "open", YAV_S_INVALID_SYS_INPUT, ""},
        {EINVAL, "open", YAV_S_INVALID_SYS_INPUT, ""},
        {EIO, "read", YAV_S_SYS_ROUTINE_FAILED,
         message_text(YAV_S_SYS_ROUTINE_ERROR, "read", system_text(EIO).c_str(), EIO)},
        {EEXIST, nullptr, YAV_S_SYS_ROUTINE_FAILED,
         message_text(YAV_S_SYS_ROUTINE_ERROR, "unknown", system_text(EEXIST).c_str(), EEXIST)},
        {unknown, "ioctl", YAV_S_SYS_ROUTINE_FAILED,
         message_text(YAV_S_SYS_ROUTINE_ERROR_CODE, "ioctl", unknown)},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        yav_status_t status = yav_sys_status(c.err, c.routine);
        std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(c.status, status) << c.err;
        if (c.log.empty()) {
            EXPECT_EQ("", log) << c.err;
        } else {
            EXPECT_NE(std::string::npos, log.find(c.log)) << log;
            EXPECT_NE(std::string::npos, log.find("ERROR")) << log;
        }
    }
}

TEST(YavSysErrorTest, TextsComeFromPerThreadBuffers) {
    // The tests run in the C locale, whose texts are ASCII and so the same
    // in UTF-8.
    for (int err : {EIO, EACCES, 98765}) {
        EXPECT_EQ(system_text(err), yav_sys_error_lcp_string(err));
        EXPECT_EQ(system_text(err), yav_sys_error_utf8_string(err));
    }
    const char* mine = yav_sys_error_utf8_string(EIO);
    const char* theirs = nullptr;
    std::thread([&] { theirs = yav_sys_error_utf8_string(ENOENT); }).join();
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(system_text(EIO), mine);  // the other thread wrote elsewhere

    yav_sys_error_release_buffers();
    EXPECT_FALSE(yav_sys_error_has_buffer());
    EXPECT_EQ(system_text(EIO), yav_sys_error_utf8_string(EIO));  // made again
    EXPECT_TRUE(yav_sys_error_has_buffer());
}

TEST(YavSysErrorTest, ConversionKeepsTheWholeCharactersThatFit) {
    auto repeat = [](const std::string& s, size_t n) {
        std::string r;
        while (n-- > 0) r += s;
        return r;
    };
    const std::string euro = "\xE2\x82\xAC";
    const size_t full = YAV_SYS_ERROR_TEXT_SIZE;
    struct Case {
        const char* codeSet;
        std::string source;
        size_t dstSize;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"UTF8", "abc", full, "abc"},
        {"UTF8", std::string(1200, 'x'), full, std::string(999, 'x')},
        {"UTF8", repeat(euro, 333), full, repeat(euro, 333)},  // exactly 999 bytes
        {"UTF8", "x" + repeat(euro, 333), full, "x" + repeat(euro, 332)},
        {"ISO-8859-1", std::string(600, '\xE9'), full, repeat("\xC3\xA9", 499)},
        {"UTF8", "ok\xFFrest", 100, "ok"},  // stops before an invalid sequence
        {"UTF8", "abc", 1, ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        ulq_cs_t cs = ulq_cs_new(c.codeSet);
        ASSERT_NE(nullptr, cs) << c.codeSet;
        std::vector<char> dst(c.dstSize, '#');
        size_t len =
            yav_sys_to_utf8_prefix(cs, c.source.data(), c.source.size(), dst.data(), dst.size());
        EXPECT_EQ(c.expected, std::string(dst.data(), len)) << i;
        EXPECT_EQ('\0', dst[len]) << i;
        ulq_cs_free(cs);
    }
}

}  // namespace
