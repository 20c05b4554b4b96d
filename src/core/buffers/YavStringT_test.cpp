#include "core/buffers/YavStringT.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <type_traits>

#include "core/buffers/YavString.h"
#include "core/buffers/yav_string_test_aids.h"

// The three char encodings are distinct types: only an explicit re-tag
// moves text between them, and strings convert only to their own
// references (and to the raw one).
static_assert(!std::is_convertible<YavStringRef, YavNCPStringRef>::value, "UTF-8 -> NCP");
static_assert(!std::is_convertible<YavNCPStringRef, YavStringRef>::value, "NCP -> UTF-8");
static_assert(!std::is_convertible<YavLCPStringRef, YavStringRef>::value, "LCP -> UTF-8");
static_assert(!std::is_convertible<const YavString&, YavLCPStringRef>::value, "String -> LCP");
static_assert(!std::is_convertible<const YavNCPString&, YavStringRef>::value, "NCP string");
static_assert(std::is_convertible<const YavString&, YavStringRef>::value, "own reference");
static_assert(std::is_convertible<const YavNCPString&, YavStringRefT<char>>::value, "raw");
static_assert(std::is_constructible<YavNCPStringRef, YavStringRef>::value, "explicit re-tag");
static_assert(!std::is_copy_constructible<YavString>::value, "strings are not copyable");
static_assert(!std::is_copy_assignable<YavString>::value, "strings are not copyable");

// Every member of every string type compiles.
template class YavStringT<char, YavUTF8Enc>;
template class YavStringT<char, YavLCPEnc>;
template class YavStringT<char, YavNCPEnc>;
template class YavStringT<unsigned short>;
template class YavStringT<wchar_t>;
template class YavStringT<unsigned char>;
template class YavStringRefT<char, YavNCPEnc>;
template class YavStringRefT<unsigned short>;
template class YavStringRefT<wchar_t>;
template class YavStringRefT<unsigned char>;

namespace {

std::string text(const YavString& s) { return std::string(s.getData(), s.getLength()); }

TEST(YavStringTest, MovesToExactHeapBlockWhenInlineBufferIsFull) {
    YavRefusingAllocator allocator;
    {
        YavString s(&allocator);
        std::string expected(255, 'a');
        ASSERT_TRUE(s.set(expected.c_str()));
        EXPECT_EQ(s.getCapacity(), 256);
        EXPECT_EQ(allocator.m_allocations, 0);

        ASSERT_TRUE(s.append('b'));
        EXPECT_EQ(s.getCapacity(), 257);
        EXPECT_EQ(allocator.m_lastSize, 257u);

        // On the heap every growth reallocates to exactly length + n + 1.
        ASSERT_TRUE(s.append('c'));
        EXPECT_EQ(s.getCapacity(), 258);
        ASSERT_TRUE(s.append("0123456789"));
        expected += "bc0123456789";
        EXPECT_EQ(s.getCapacity(), 268);
        EXPECT_EQ(s.getData()[267], '\0');
        EXPECT_EQ(text(s), expected);

        // Never shrinks, and stays on the heap for short text.
        ASSERT_TRUE(s.set("x"));
        EXPECT_EQ(s.getCapacity(), 268);
        EXPECT_EQ(text(s), "x");
        EXPECT_EQ(allocator.m_outstanding, 1);
    }
    EXPECT_EQ(allocator.m_outstanding, 0);
}

TEST(YavStringTest, FailedGrowthKeepsTheOldTextAndLength) {
    YavRefusingAllocator allocator;
    YavString s(&allocator);
    ASSERT_TRUE(s.set("kept"));
    std::string big(400, 'z');
    allocator.m_refuse = true;
    EXPECT_FALSE(s.set(big.c_str()));
    EXPECT_EQ(text(s), "kept");
    EXPECT_FALSE(s.append(big.c_str()));
    EXPECT_EQ(text(s), "kept");
    EXPECT_FALSE(s.reserve(300));

    // Once on the heap, a refused reallocation keeps the block and text.
    allocator.m_refuse = false;
    ASSERT_TRUE(s.set(big.c_str()));
    allocator.m_refuse = true;
    EXPECT_FALSE(s.append(big.c_str()));
    EXPECT_EQ(text(s), big);
    EXPECT_EQ(s.getCapacity(), 401);

    YavString inlined("fits inline: needs no allocation", -1, &allocator);
    EXPECT_TRUE(inlined.ok());
    YavString refused(big.c_str(), -1, &allocator);
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.isEmpty());
}

TEST(YavStringTest, AppendsFromItsOwnTextAcrossAMove) {
    YavString s;
    std::string half(200, 'h');
    ASSERT_TRUE(s.set(half.c_str()));
    ASSERT_TRUE(s.append(s));  // 401 units: moves to the heap
    EXPECT_EQ(text(s), half + half);
    ASSERT_TRUE(s.append(s.getData(), 300));  // reallocates the heap block
    EXPECT_EQ(text(s), half + half + std::string(300, 'h'));
    ASSERT_TRUE(s.set(s.getData() + 398, 3));
    EXPECT_EQ(text(s), "hhh");
}

TEST(YavStringTest, LengthsAndDirectWrites) {
    YavString s;
    ASSERT_TRUE(s.set("abc\0def", -1));  // negative: measured to the zero unit
    ASSERT_TRUE(s.append("xyz", 0));     // zero: nothing
    ASSERT_TRUE(s.append("\0q", 2));     // explicit: zero units kept
    EXPECT_EQ(text(s), std::string("abc\0q", 5));

    ASSERT_TRUE(s.reserve(299));
    EXPECT_EQ(s.getCapacity(), 300);
    EXPECT_EQ(text(s), std::string("abc\0q", 5));
    memset(s.getWritableData(), 'w', 299);
    s.setLength(299);
    EXPECT_EQ(text(s), std::string(299, 'w'));
    EXPECT_EQ(s.getData()[299], '\0');
    EXPECT_DEATH(s.setLength(300), "length < getCapacity");
}

TEST(YavStringTest, EveryModifierClearsTheCachedHash) {
    const std::vector<std::pair<const char*, std::function<void(YavString&)>>> modifiers = {
        {"set", [](YavString& s) { ASSERT_TRUE(s.set("other")); }},
        {"append", [](YavString& s) { ASSERT_TRUE(s.append("x")); }},
        {"clear", [](YavString& s) { s.clear(); }},
        {"setLength", [](YavString& s) { s.setLength(1); }},
        {"write", [](YavString& s) { s.getWritableData()[0] = 'Q'; }},
        {"grow", [](YavString& s) { ASSERT_TRUE(s.append(std::string(300, 'g').c_str())); }},
        {"hasher", [](YavString& s) { s.setHasher(&yav_icase_string_hasher); }},
    };
    for (const auto& modifier : modifiers) {
        SCOPED_TRACE(modifier.first);
        YavString s("seed");
        EXPECT_EQ(s.hash(), yav_string_hasher.hash("seed", 4));  // fills the cache
        modifier.second(s);
        EXPECT_EQ(s.hash(), s.getHasher()->hash(s.getData(), s.getLength()));
    }
}

TEST(YavStringTest, ComparesByComparatorThenByLength) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"ab", "abc", -1}, {"abc", "ab", 1}, {"abc", "abc", 0}, {"abd", "abc", 1},
        {"", "", 0},       {"", "a", -1},    {"B", "a", -1},    {"\xC3\xA9", "e", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        YavString a(c.a);
        EXPECT_EQ(a.compare(YavStringRef(c.b)), c.expected);
        EXPECT_EQ(a.equals(YavStringRef(c.b)), c.expected == 0);
    }
    YavString upper("ABC");
    upper.setComparator(&yav_icase_strcmp);
    EXPECT_EQ(upper.compare(YavStringRef("abc")), 0);
    EXPECT_EQ(upper.compare(YavStringRef("abcd")), -1);
    upper.setComparator(nullptr);
    EXPECT_EQ(upper.getComparator(), &yav_strcmp);
}

}  // namespace
