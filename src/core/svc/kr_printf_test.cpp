#include "core/svc/kr_printf.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/svc/kr_svc_test_aids.h"

namespace {

using svc_test::SvcTest;

std::string taken(char* text) {
    std::string s = text != nullptr ? text : "(null)";
    free(text);
    return s;
}

const char kText[] =
    "QRXIC0055E   The open system routine failed: system error: gone (system error code: 2).";

TEST_F(SvcTest, CodesPrintTheirFormattedTextToBuffersAndStreams) {
    EXPECT_EQ(kText, taken(kr_sprintf(YAV_S_SYS_ROUTINE_ERROR, "open", "gone", 2)));
    EXPECT_EQ(kText, taken(kr_sprintf_utf8(YAV_S_SYS_ROUTINE_ERROR, "open", "gone", 2)));
    EXPECT_EQ("Unknown message number 0x7ffffffd", taken(kr_sprintf(0x7ffffffdU)));
    // The program name, or the process id, goes first in the kr_pgm_ forms.
    EXPECT_EQ("PID#" + std::to_string(getpid()) + ": QRXIC0012E   Memory could not be allocated.",
              taken(kr_pgm_sprintf(YAV_S_NO_MEMORY)));
    kr_svc_set_progname("tool");
    EXPECT_EQ(std::string("tool: ") + kText,
              taken(kr_pgm_sprintf(YAV_S_SYS_ROUTINE_ERROR, "open", "gone", 2)));

    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    int a = kr_fprintf(f, YAV_S_SYS_ROUTINE_ERROR, "open", "gone", 2);
    int b = kr_pgm_fprintf(f, YAV_S_NO_MEMORY);
    int c = kr_fprintf_utf8(f, YAV_S_NOT_SUPPORTED);
    fclose(f);
    std::string out(data, size);
    free(data);
    const std::string first = std::string(kText) + "\n";
    const std::string second = "tool: QRXIC0012E   Memory could not be allocated.\n";
    const std::string third =
        "QRXIC0001E   The requested functionality is not currently supported.\n";
    EXPECT_EQ(first + second + third, out);
    EXPECT_EQ(static_cast<int>(first.size()), a);
    EXPECT_EQ(static_cast<int>(second.size()), b);
    EXPECT_EQ(static_cast<int>(third.size()), c);
    EXPECT_EQ(-1, kr_fprintf(nullptr, YAV_S_NO_MEMORY));

    testing::internal::CaptureStdout();
    int d = kr_printf(YAV_S_NOT_AVAILABLE);
    int e = kr_pgm_printf(YAV_S_NOT_AVAILABLE);
    int g = kr_printf_utf8(YAV_S_NOT_AVAILABLE);
    fflush(stdout);
    std::string printed = testing::internal::GetCapturedStdout();
    const std::string line = "QRXIC0002E   The requested data is not available.\n";
    EXPECT_EQ(line + "tool: " + line + line, printed);
    EXPECT_EQ(static_cast<int>(line.size()), d);
    EXPECT_EQ(static_cast<int>(line.size()) + 6, e);
    EXPECT_EQ(static_cast<int>(line.size()), g);
}

}  // namespace
