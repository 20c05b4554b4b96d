#include "core/svc/kr_svc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/msg/yav_status.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(KrSvcTest, MessageLinesCarryCodeSeverityAndTheFormattedText) {
    CaptureStderr();
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "%s%s%d", YAV_S_SYS_ROUTINE_ERROR, "open",
                "No such file", 2);
    std::string line = GetCapturedStderr();
    char prefix[64];
    snprintf(prefix, sizeof prefix, "0x%8.8X ERROR pic ", YAV_S_SYS_ROUTINE_ERROR);
    EXPECT_NE(line.find(prefix), std::string::npos) << line;
    EXPECT_NE(line.find("QRXIC0055E   The open system routine failed: system error: No such "
                        "file (system error code: 2).\n"),
              std::string::npos)
        << line;

    CaptureStderr();
    kr_svc_printf_withfile(yav_svc_plugin_handle(), "f.cpp", 7, "", yav_svc_common,
                           svc_c_sev_warning, 0x7fffffffU);
    line = GetCapturedStderr();
    EXPECT_NE(line.find("WARNING pic f.cpp 7 Unknown message number 0x7fffffff\n"),
              std::string::npos)
        << line;
}

TEST(KrSvcTest, DebugTextIsWrittenOnlyUpToTheSubcomponentLevel) {
    kr_svc_handle_t h = yav_svc_plugin_handle();
    kr_svc_set_debug_level(h, yav_svc_memory, 2);
    CaptureStderr();
    YAV_SVC_DEBUG(yav_svc_memory, 2, "kept %d", 2);
    YAV_SVC_DEBUG(yav_svc_memory, 3, "dropped %d", 3);
    YAV_SVC_DEBUG(yav_svc_http_parser, 1, "other sub-component %d", 1);
    std::string out = GetCapturedStderr();
    kr_svc_set_debug_level(h, yav_svc_memory, 0);
    EXPECT_NE(out.find("DEBUG2 pic"), std::string::npos) << out;
    EXPECT_NE(out.find("kept 2\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("dropped"), std::string::npos) << out;
    EXPECT_EQ(out.find("other sub-component"), std::string::npos) << out;
    EXPECT_FALSE(kr_svc_debug_enabled(h, yav_svc_subcomp_count, 0));
}

}  // namespace
