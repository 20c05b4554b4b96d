#include "msg/plugin/YavURCVersionQuestion.h"

#include <gtest/gtest.h>

#include "core/msg/yav_status.h"
#include "msg/plugin/yav_urc_answer_test_aids.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"

namespace {

typedef std::vector<unsigned char> YavBytes;

TEST(YavURCVersionQuestionTest, WritesOneTwentyByteBufferAndReadsItBack) {
    const YavEpochVersion version = yav_test_version(0x40, 7);
    YavURCVersionQuestion sent;
    sent.setVersion(&version);
    YavHeapSharedMem seg(64);
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(seg, 0, 64));
    ASSERT_EQ(0u, sent.marshal(a));
    // Header (24, last), length 20, identifier 0x40..0x4f, counter 7.
    const YavBytes expected = YavUrcWireChain().version(version).bytes();
    ASSERT_EQ(32u, expected.size());
    EXPECT_EQ(expected, YavBytes(seg.bytes(), seg.bytes() + a.getCurrent()));

    YavSharedMemIterator it;
    ASSERT_EQ(0u, it.initialize(&a));
    YavURCVersionQuestion received;
    ASSERT_EQ(0u, received.unmarshal(it, nullptr));
    memset(seg.bytes(), 0, 64);  // the question keeps its own copy
    YavEpochVersion out;
    received.getVersion(out);
    EXPECT_TRUE(out == version);
}

TEST(YavURCVersionQuestionTest, RefusesAnythingButExactlyTwentyBytes) {
    const unsigned char bytes[24] = {1, 2, 3};
    const struct {
        YavBytes chain;
        yav_status_t status;
    } cases[] = {
        {{}, YAV_S_IPC_NO_MORE_SEGMENTS},
        {YavUrcWireChain().element(YavWireValue().buf(bytes, 19)).bytes(), YAV_S_UNMARSHAL_FAILED},
        {YavUrcWireChain().element(YavWireValue().buf(bytes, 21)).bytes(), YAV_S_UNMARSHAL_FAILED},
        {YavUrcWireChain().element(YavWireValue().buf(bytes, 20).bytes(), 12).bytes(),
         YAV_S_UNMARSHAL_FAILED},
        {YavUrcWireChain().element(YavWireValue().buf(bytes, 20).u32(0)).bytes(),
         YAV_S_UNMARSHAL_FAILED},
        {YavUrcWireChain().element(YavWireValue().buf(bytes, 20).bytes(), 200).bytes(),
         YAV_S_IPC_NO_MORE_SEGMENTS},
    };
    const YavEpochVersion before = yav_test_version(0x11, 3);
    for (const auto& c : cases) {
        YavWireAnswer answer(c.chain);
        YavURCVersionQuestion q;
        q.setVersion(&before);
        EXPECT_EQ(c.status, q.unmarshal(answer.iterator(), nullptr)) << c.chain.size();
        YavEpochVersion after;
        q.getVersion(after);
        EXPECT_TRUE(after == before);
    }
}

}  // namespace
