#include "core/system/yav_shutdown.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <string>

#include "core/msg/yav_status.h"
#include "core/system/yav_sys_error.h"

namespace {

std::string g_calls;

// The first stage also records whether the error buffers were gone by then.
void routine_trace_hook() { g_calls += yav_sys_error_has_buffer() ? "B!" : "R"; }
void trace_hook() { g_calls += "T"; }
void messages_hook() { g_calls += "M"; }
void svc_hook() { g_calls += "S"; }

TEST(YavShutdownTest, ReleasesErrorBuffersThenRunsTheStagesInOrder) {
    // Registered out of order on purpose: the stage decides the order.
    ASSERT_EQ(0, yav_shutdown_register(yav_shutdown_svc, svc_hook));
    ASSERT_EQ(0, yav_shutdown_register(yav_shutdown_messages, trace_hook));
    ASSERT_EQ(0, yav_shutdown_register(yav_shutdown_messages, messages_hook));  // replaces
    ASSERT_EQ(0, yav_shutdown_register(yav_shutdown_routine_trace, routine_trace_hook));
    ASSERT_EQ(0, yav_shutdown_register(yav_shutdown_trace, trace_hook));
    EXPECT_EQ(YAV_S_INVALID_VALUE, yav_shutdown_register(yav_shutdown_stage_count, svc_hook));
    yav_sys_error_utf8_string(EIO);
    ASSERT_TRUE(yav_sys_error_has_buffer());

    yav_shutdown();
    EXPECT_EQ("RTMS", g_calls);
    ASSERT_EQ(0, yav_shutdown_register(yav_shutdown_trace, nullptr));
    yav_shutdown();  // again, with a stage cleared
    EXPECT_EQ("RTMSRMS", g_calls);
    for (int stage = 0; stage < yav_shutdown_stage_count; ++stage) {
        yav_shutdown_register(static_cast<yav_shutdown_stage>(stage), nullptr);
    }
}

}  // namespace
