#include "msg/core/YavProxyIFMsgStringList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msg/core/yav_msg_test_aids.h"

namespace {

std::string text(const YavStringRef* ref) {
    return ref == nullptr ? std::string("<null>") : std::string(ref->getData(), ref->getLength());
}

TEST(YavProxyIFMsgStringListTest, SixthEntryGrowsCapacityByTenKeepingOrder) {
    const char* names[] = {"e0", "e1", "e2", "e3", "e4", "e5", "e6"};
    YavProxyIFMsgStringList list(5, nullptr);
    EXPECT_EQ(5u, list.capacity());
    for (int i = 0; i < 5; ++i) ASSERT_EQ(0u, list.add(YavStringRef(names[i])));
    EXPECT_EQ(5u, list.capacity());
    ASSERT_EQ(0u, list.add(YavStringRef(names[5])));
    EXPECT_EQ(15u, list.capacity());
    for (int i = 6; i < 16; ++i) ASSERT_EQ(0u, list.add(YavStringRef(names[i % 7])));
    EXPECT_EQ(25u, list.capacity());
    EXPECT_EQ(16u, list.entries());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(names[i % 7], text(list.get())) << i;
    EXPECT_EQ(nullptr, list.get());
    // Entries refer to the caller's text.
    EXPECT_EQ(16u, list.restart(2));
    EXPECT_EQ(names[2], list.get()->getData());
    EXPECT_EQ(3u, list.restart(99));  // clamped to the entry count
    EXPECT_EQ(nullptr, list.get());

    // A larger initial capacity is allocated at once and grows from there.
    YavProxyIFMsgStringList big(12, nullptr);
    EXPECT_EQ(12u, big.capacity());
    for (int i = 0; i < 13; ++i) ASSERT_EQ(0u, big.add(YavStringRef(names[i % 7])));
    EXPECT_EQ(22u, big.capacity());
    big.restart(12);
    EXPECT_EQ(names[12 % 7], text(big.get()));
}

TEST(YavProxyIFMsgStringListTest, MarshalsCountThenEachEntryAndReadsThemBackInPlace) {
    const std::vector<std::vector<std::string>> lists = {{}, {"", "abc", "abcd", "x y", "last"}};
    for (const std::vector<std::string>& entries : lists) {
        SCOPED_TRACE(entries.size());
        YavProxyIFMsgStringList list, back;
        std::vector<unsigned char> expected;
        yav_put_u32(&expected, static_cast<uint32_t>(entries.size()));
        for (const std::string& e : entries) {
            ASSERT_EQ(0u, list.add(YavStringRef(e.c_str())));
            yav_put_string(&expected, e);
        }
        if (entries.empty()) {
            EXPECT_EQ(nullptr, list.get());
        }
        back.add(YavStringRef("stale"));
        back.get();
        auto block = yav_expect_round_trip(list, expected, &back);
        ASSERT_EQ(entries.size(), back.entries());
        for (const std::string& e : entries) {
            YavStringRef* ref = back.get();
            ASSERT_NE(nullptr, ref);
            EXPECT_EQ(e, text(ref));
            EXPECT_TRUE(ref->isTerminated());
            EXPECT_GE(ref->getData(), reinterpret_cast<const char*>(block->data()));
            EXPECT_LT(ref->getData(), reinterpret_cast<const char*>(block->data() + block->size()));
        }
        EXPECT_EQ(nullptr, back.get());
    }
}

TEST(YavProxyIFMsgStringListTest, UnmarshalGrowsToReceivedCountAtOnce) {
    YavProxyIFMsgStringList list;
    for (int i = 0; i < 23; ++i) list.add(YavStringRef("v"));
    int written = 0;
    std::vector<unsigned char> bytes = yav_marshal_bytes(list, &written);
    YavExactBlock block(bytes);
    YavProxyIFMsgStringList back;
    ASSERT_EQ(written, back.unmarshal(block.data(), block.size()));
    EXPECT_EQ(23u, back.entries());
    EXPECT_EQ(23u, back.capacity());
}

TEST(YavProxyIFMsgStringListTest, RefusesCountsTheBytesCannotHold) {
    for (uint32_t count : {2u, 3u, 0x40000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(count);
        std::vector<unsigned char> bytes;
        yav_put_u32(&bytes, count);
        yav_put_u32(&bytes, 4);
        yav_put_bytes(&bytes, "abc", 4);
        YavExactBlock block(bytes);
        YavProxyIFMsgStringList list;
        EXPECT_LT(list.unmarshal(block.data(), block.size()), 0);
        EXPECT_EQ(0u, list.entries());
        EXPECT_EQ(nullptr, list.get());
    }
}

TEST(YavProxyIFMsgStringListTest, TraceFormListsIndexedEncodedEntriesAndKeepsCursor) {
    YavProxyIFMsgStringList list;
    list.add(YavStringRef("a b"));
    list.add(YavStringRef(""));
    list.add(YavStringRef("c"));
    list.get();
    YavString out;
    ASSERT_EQ(0u, list.createString(&out));
    EXPECT_STREQ("[0] a%20b [1]  [2] c ", out.getData());
    EXPECT_EQ("", text(list.get()));
}

}  // namespace
