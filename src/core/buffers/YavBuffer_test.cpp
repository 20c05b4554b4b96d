#include "core/buffers/YavBuffer.h"

#include <gtest/gtest.h>

#include <string>

#include "core/buffers/YavString.h"
#include "core/buffers/yav_string_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

std::string bytes(const YavBuffer& b) {
    return std::string(reinterpret_cast<const char*>(b.getData()), b.getLen());
}

TEST(YavBufferTest, CopiesFromEverySource) {
    YavRefusingAllocator allocator;
    YavBuffer b(&allocator);
    EXPECT_EQ(b.getLen(), 0);
    EXPECT_NE(b.getData(), nullptr);

    ASSERT_EQ(b.set("a\0b", 3), 0u);
    EXPECT_EQ(bytes(b), std::string("a\0b", 3));
    ASSERT_EQ(b.set("zero-terminated"), 0u);
    EXPECT_EQ(bytes(b), "zero-terminated");
    ASSERT_EQ(b.set(YavNCPString("from a string")), 0u);
    EXPECT_EQ(bytes(b), "from a string");
    ASSERT_EQ(b.set(YavStringRef("from a reference", 4)), 0u);
    EXPECT_EQ(bytes(b), "from");
    const unsigned short wide[] = {0x4142, 0x4344};
    ASSERT_EQ(b.set(YavWStringRef(wide, 2)), 0u);
    EXPECT_EQ(b.getLen(), 4);

    YavBuffer other;
    ASSERT_EQ(other.set(b), 0u);
    EXPECT_TRUE(other.equals(b));

    // A source inside the buffer itself, shorter and longer than the block.
    ASSERT_EQ(b.set("0123456789"), 0u);
    ASSERT_EQ(b.set(b.getData() + 2, 3), 0u);
    EXPECT_EQ(bytes(b), "234");
    ASSERT_EQ(b.append(b.getData(), 3), 0u);
    EXPECT_EQ(bytes(b), "234234");
    EXPECT_EQ(b.set("x", -1), YAV_S_INVALID_VALUE);
}

TEST(YavBufferTest, RefersWithoutCopyingUntilTakingOwnership) {
    YavRefusingAllocator allocator;
    YavBuffer b(&allocator);
    const char constant[] = "constant";
    b.refer(constant, 8);
    EXPECT_EQ(b.getData(), reinterpret_cast<const unsigned char*>(constant));
    EXPECT_EQ(b.getWritableData(), nullptr);
    EXPECT_EQ(allocator.m_allocations, 0);

    char writable[] = "abc";
    b.referWritable(writable, 3);
    ASSERT_NE(b.getWritableData(), nullptr);
    b.getWritableData()[0] = 'X';
    ASSERT_EQ(b.takeOwnership(), 0u);
    writable[1] = 'Y';
    EXPECT_EQ(bytes(b), "Xbc");
}

TEST(YavBufferTest, FailedCopyLeavesTheBufferAsItWas) {
    YavRefusingAllocator allocator;
    YavBuffer b(&allocator);
    ASSERT_EQ(b.set("short"), 0u);
    allocator.m_refuse = true;
    std::string big(100, 'b');
    EXPECT_EQ(b.set(big.c_str()), YAV_S_NO_MEMORY);
    EXPECT_EQ(b.append(big.data(), 100), YAV_S_NO_MEMORY);
    EXPECT_EQ(bytes(b), "short");
    EXPECT_EQ(b.set("tiny"), 0u);  // fits the block: no allocation
    EXPECT_EQ(bytes(b), "tiny");
    b.refer("referred", 8);
    EXPECT_EQ(b.takeOwnership(), YAV_S_NO_MEMORY);
    EXPECT_FALSE(b.isOwned());
}

TEST(YavBufferTest, OrdersBytewiseThenByLengthAndHashesAsBinary) {
    struct Case {
        std::string a;
        std::string b;
        int expected;
    };
    const Case cases[] = {
        {"ab", "abc", -1},   {"abc", "ab", 1}, {std::string("a\0b", 3), std::string("a\0c", 3), -1},
        {"\x80", "\x7f", 1}, {"", "", 0},      {"same", "same", 0},
    };
    for (const Case& c : cases) {
        YavBuffer a;
        YavBuffer b;
        ASSERT_EQ(a.set(c.a.data(), static_cast<int>(c.a.size())), 0u);
        b.refer(c.b.data(), static_cast<int>(c.b.size()));
        EXPECT_EQ(a.compare(b), c.expected);
        EXPECT_EQ(a.equals(b), c.expected == 0);
    }
    YavBuffer high;
    ASSERT_EQ(high.set("\xFF", 1), 0u);
    EXPECT_EQ(high.hash(), (5381u * 33) ^ 0xFFu);
}

}  // namespace
