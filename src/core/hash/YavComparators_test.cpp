#include "core/hash/YavComparators.h"

#include <gtest/gtest.h>

#include <string>

#include "core/buffers/yav_string_test_aids.h"

namespace {

int sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

typedef YavUtf8LocaleTest YavComparatorsTest;

TEST_F(YavComparatorsTest, CharComparatorsFollowTheirRules) {
    struct Case {
        const YavComparatorT<char>* comparator;
        const char* a;
        const char* b;
        int n;
        int expected;
    };
    const Case cases[] = {
        {&yav_strcmp, "abc", "abd", 3, -1},
        {&yav_strcmp, "abc", "abd", 2, 0},
        {&yav_strcmp, "\xC3", "a", 1, 1},  // bytes order unsigned
        {&yav_strcmp, "Abc", "abc", 3, -1},
        {&yav_strcmp, "x", "y", 0, 0},
        {&yav_icase_strcmp, "Abc", "aBC", 3, 0},
        {&yav_icase_strcmp, "\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9", 5, 0},  // E-acute
        {&yav_icase_strcmp, "abc", "ABD", 3, -1},
        {&yav_icase_strcmp, "abX", "ABy", 2, 0},
        {&yav_lcp_icase_strcmp, "HOST", "host", 4, 0},
        {&yav_lcp_icase_strcmp, "a", "B", 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b + " n=" + std::to_string(c.n));
        // Exact, unterminated copies of n bytes: nothing past n may be read.
        ExactUnits<char> a(c.a, c.n);
        ExactUnits<char> b(c.b, c.n);
        EXPECT_EQ(sign(c.comparator->compare(a.data(), b.data(), c.n)), c.expected);
    }
}

TEST_F(YavComparatorsTest, WideAndBinaryComparators) {
    const unsigned short a[] = {'A', 0x263a};
    const unsigned short b[] = {'a', 0x263a};
    const unsigned short c[] = {'a', 0x263b};
    EXPECT_LT(yav_wcscmp.compare(a, b, 2), 0);
    EXPECT_EQ(yav_icase_wcscmp.compare(a, b, 2), 0);
    EXPECT_LT(yav_icase_wcscmp.compare(a, c, 2), 0);
    EXPECT_LT(yav_sys_wcscmp.compare(L"a\x263a", L"a\x263b", 2), 0);

    // memcmp looks past zero bytes, strncmp does not.
    const unsigned char x[] = {'a', 0, 'b'};
    const unsigned char y[] = {'a', 0, 'c'};
    EXPECT_LT(yav_memcmp.compare(x, y, 3), 0);
    EXPECT_EQ(yav_strcmp.compare("a\0b", "a\0c", 3), 0);
    EXPECT_EQ(yav_default_comparator<wchar_t>(), &yav_sys_wcscmp);
}

}  // namespace
