#include "core/buffers/YavStringRefT.h"

#include <gtest/gtest.h>

#include <string>

#include "core/buffers/YavString.h"
#include "core/buffers/yav_string_test_aids.h"

namespace {

std::string text(const YavStringRef& r) { return std::string(r.getData(), r.getLength()); }

TEST(YavStringRefTest, MeasuresZeroTerminatedTextOnFirstUse) {
    char buffer[] = "abc";
    YavStringRef r(buffer);
    buffer[1] = '\0';  // not yet measured: the change is seen
    EXPECT_EQ(r.getLength(), 1);
    buffer[1] = 'b';  // measured once: the length stays
    EXPECT_EQ(r.getLength(), 1);
    EXPECT_TRUE(r.isTerminated());
    EXPECT_EQ(r.getTerminated(), buffer);

    YavStringRef null(nullptr);
    EXPECT_EQ(null.getLength(), 0);
    EXPECT_STREQ(null.getTerminated(), "");
}

TEST(YavStringRefTest, TerminatesASliceWithoutReadingPastIt) {
    // The slice "bcd" of an exact, unterminated block: the reference must
    // neither read the unit after it nor hand out the block itself.
    YavRefusingAllocator allocator;
    ExactUnits<char> bytes = exactChars("abcd");
    {
        YavStringRef slice(bytes.data() + 1, 3, &allocator);
        EXPECT_FALSE(slice.isTerminated());
        const char* terminated = slice.getTerminated();
        ASSERT_NE(terminated, nullptr);
        EXPECT_NE(terminated, bytes.data() + 1);
        EXPECT_STREQ(terminated, "bcd");
        EXPECT_EQ(slice.getTerminated(), terminated);  // copy kept
        EXPECT_EQ(allocator.m_outstanding, 1);

        // A copy of the reference starts without a private copy.
        YavStringRef copy(slice);
        EXPECT_STREQ(copy.getTerminated(), "bcd");
        EXPECT_EQ(allocator.m_outstanding, 2);

        // Re-pointing reuses the block for the new text.
        slice.set(bytes.data(), 2);
        EXPECT_STREQ(slice.getTerminated(), "ab");
        EXPECT_EQ(allocator.m_allocations, 2);
    }
    EXPECT_EQ(allocator.m_outstanding, 0);

    allocator.m_refuse = true;
    YavStringRef refused(bytes.data(), 4, &allocator);
    EXPECT_EQ(refused.getTerminated(), nullptr);
    YavStringRef known;
    known.setTerminated("xyz", 3);  // the caller vouches for the terminator
    EXPECT_STREQ(known.getTerminated(), "xyz");
}

TEST(YavStringRefTest, TakesTheStringsTextAllocatorComparatorAndHasher) {
    YavRefusingAllocator allocator;
    YavString s("Name", -1, &allocator);
    s.setComparator(&yav_icase_strcmp);
    s.setHasher(&yav_icase_string_hasher);
    YavStringRef r = s;
    EXPECT_EQ(r.getData(), s.getData());
    EXPECT_EQ(r.getLength(), 4);
    EXPECT_TRUE(r.isTerminated());
    EXPECT_EQ(r.getAllocator(), &allocator);
    EXPECT_TRUE(r.equals(YavStringRef("NAME")));
    EXPECT_EQ(r.hash(), s.hash());
    EXPECT_EQ(r.hash(), yav_icase_string_hasher.hash("nAmE", 4));

    // Into the raw encoding implicitly, between encodings only explicitly.
    YavStringRefT<char> raw = r;
    EXPECT_EQ(raw.getComparator(), &yav_icase_strcmp);
    YavNCPStringRef network(r);
    EXPECT_EQ(network.getData(), s.getData());
    YavStringRefT<char> rawFromString = s;
    YavLCPStringRef local(s);
    EXPECT_TRUE(rawFromString.equals(YavStringRefT<char>(local)));
}

TEST(YavStringRefTest, SlicesAndSearchesWithinTheLength) {
    ExactUnits<char> bytes = exactChars("key=value;");
    YavStringRef r(bytes.data(), bytes.size());
    EXPECT_EQ(r.find('='), 3);
    EXPECT_EQ(r.find(';', 4), 9);
    EXPECT_EQ(r.find('\0'), -1);
    EXPECT_EQ(text(r.substr(4, 5)), "value");
    EXPECT_EQ(text(r.substr(4)), "value;");
    EXPECT_EQ(text(r.substr(-3, 3)), "key");
    EXPECT_EQ(r.substr(50).getLength(), 0);
    EXPECT_EQ(r.at(9), ';');
    EXPECT_EQ(r.substr(0, 3).compare(YavStringRef("key=")), -1);
    EXPECT_EQ(r.substr(0, 4).compare(YavStringRef("key")), 1);
    EXPECT_TRUE(r.substr(4, 5).equals(YavStringRef("value")));

    // A slice that ends where a terminated text ends is terminated too.
    YavStringRef whole("key=value");
    EXPECT_TRUE(whole.substr(4).isTerminated());
    EXPECT_FALSE(whole.substr(0, 3).isTerminated());
}

}  // namespace
