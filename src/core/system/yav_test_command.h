// Test-only helper: runs a shell command and returns what it wrote to
// standard output, reporting a command that fails as a test failure.  Used
// by the differential tests that compare libyav with command-line tools
// (base64, openssl).  Header-only; not part of the library.
#ifndef YAV_CORE_SYSTEM_YAV_TEST_COMMAND_H
#define YAV_CORE_SYSTEM_YAV_TEST_COMMAND_H

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>

inline std::string yav_test_command_output(const std::string& command) {
    FILE* p = popen(command.c_str(), "r");
    EXPECT_NE(p, nullptr) << command;
    if (p == nullptr) return "";
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    EXPECT_EQ(pclose(p), 0) << command;
    return out;
}

#endif  // YAV_CORE_SYSTEM_YAV_TEST_COMMAND_H
