#include "proxyif/framework/YavErrorMessage.h"

#include <gtest/gtest.h>

#include <cstring>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

namespace {

void putU32(unsigned char* p, uint32_t v) { memcpy(p, &v, 4); }

TEST(YavErrorMessageTest, MarshalsOneFourByteElementAndReadsTheCodeBack) {
    const yav_status_t codes[] = {0, YAV_S_NO_MEMORY, YAV_S_UNMARSHAL_FAILED, 0xFFFFFFFFu};
    for (yav_status_t code : codes) {
        YavHeapSharedMem seg(64);
        ASSERT_TRUE(seg.ok());
        YavSharedMemAllocator a;
        ASSERT_EQ(0u, a.initialize(seg, 8, 40));
        YavErrorMessage message(code);
        EXPECT_EQ(yav_msg_error, message.getType());
        ASSERT_EQ(0u, message.marshal(a));
        uint32_t header[3];
        memcpy(header, seg.bytes() + 8, sizeof header);
        EXPECT_EQ(4u, header[0]);
        EXPECT_EQ(0xFFFFFFFFu, header[1]);
        EXPECT_EQ(code, header[2]);

        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(&a));
        YavErrorMessage back(12345);
        EXPECT_EQ(0u, back.unmarshal(it, nullptr));
        EXPECT_EQ(code, back.getCode());
    }
}

TEST(YavErrorMessageTest, MissingShortOrBrokenElementIsRefused) {
    struct Case {
        const char* name;
        uint32_t length;      // the element's data length
        uint32_t regionSize;  // bytes of the region the iterator covers
        yav_status_t expected;
    };
    const Case cases[] = {
        {"no element", 0, 0, YAV_S_UNMARSHAL_FAILED},
        {"two bytes", 2, 12, YAV_S_UNMARSHAL_FAILED},
        {"empty element", 0, 8, YAV_S_UNMARSHAL_FAILED},
        {"length past region", 40, 12, YAV_S_IPC_NO_MORE_SEGMENTS},
        {"length near 2^32", 0xFFFFFFFCu, 12, YAV_S_IPC_NO_MORE_SEGMENTS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        YavHeapSharedMem seg(c.regionSize);
        ASSERT_TRUE(seg.ok());
        if (c.regionSize >= 8) {
            putU32(seg.bytes(), c.length);
            putU32(seg.bytes() + 4, 0xFFFFFFFFu);
        }
        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(seg, 0, c.regionSize));
        YavErrorMessage message(99);
        EXPECT_EQ(c.expected, message.unmarshal(it, nullptr));
        EXPECT_EQ(99u, message.getCode());
    }
}

}  // namespace
