#include "msg/plugin/YavConfigQuestion.h"

#include <gtest/gtest.h>

#include "core/msg/yav_status.h"
#include "msg/plugin/yav_config_test_aids.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

namespace {

TEST(YavConfigQuestionTest, EachRequestTypeIsOneFourByteElement) {
    for (int type = 0; type <= 3; ++type) {
        YavHeapSharedMem segment(32);
        YavSharedMemAllocator a;
        ASSERT_EQ(0u, a.initialize(segment, 8, 24));
        YavConfigQuestion q(static_cast<YavConfigQuestion::yav_config_req_msg_type_e>(type));
        ASSERT_EQ(0u, q.marshal(a));
        EXPECT_EQ(yav_cfg_chain({yav_cfg_int(type)}, 8),
                  YavCfgBytes(segment.bytes() + 8, segment.bytes() + a.getCurrent()));
        YavConfigQuestion back;
        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(&a));
        ASSERT_EQ(0u, back.unmarshal(it, nullptr));
        EXPECT_EQ(type, back.getRequestType());
    }
    YavHeapSharedMem segment(12);
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(segment, 0, 11));
    EXPECT_EQ(YAV_S_NO_MEMORY, YavConfigQuestion().marshal(a));
}

}  // namespace
