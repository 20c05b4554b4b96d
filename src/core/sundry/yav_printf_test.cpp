#include "core/sundry/yav_printf.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/ulq/ulq_test_aids.h"

namespace {

// Formats into a heap block of exactly `size` bytes (AddressSanitizer
// reports any write past it) and returns the text stored there.
template <class... A>
std::string formatInto(size_t size, int* length, const char* format, A... args) {
    std::vector<char> block(size);
    *length = yav_snprintf(size > 0 ? block.data() : nullptr, size, format, args...);
    return size > 0 ? std::string(block.data(), strnlen(block.data(), size)) : std::string();
}

template <class... A>
std::string yavFormat(const char* format, A... args) {
    char buffer[512];
    int length = yav_snprintf(buffer, sizeof(buffer), format, args...);
    return length < 0 ? "<-1>" : std::string(buffer, static_cast<size_t>(length));
}

TEST(YavPrintfTest, RendersNullArgumentsAndOddCharacters) {
    EXPECT_EQ(yavFormat("[%s|%.3s|%8s]", nullptr, nullptr, nullptr), "[(null)|(nu|  (null)]");
    EXPECT_EQ(yavFormat("[%S|%-7S|%p|%6p]", nullptr, nullptr, nullptr, nullptr),
              "[(null)|(null) |(nil)| (nil)]");
    EXPECT_EQ(yavFormat("[%5%|%c%c]", 'a', 0), std::string("[%|a\0]", 6));
}

TEST(YavPrintfTest, KeepsMultiByteCharactersWhole) {
    const char* euro = "\xE2\x82\xAC";
    char buffer[32];
    struct Case {
        const char* format;
        const char* text;
        const char* expected;
    };
    // clang-format off
    const std::vector<Case> cases = {
        {"[%.2s]", "\xE2\x82\xACx", "[]"},
        {"[%.3s]", "\xE2\x82\xACx", "[\xE2\x82\xAC]"},
        {"[%.4s]", "\xE2\x82\xACx", "[\xE2\x82\xACx]"},
        {"[%5.2s]", "a\xC3\xA9", "[    a]"},
        {"[%.3s]", "\xFF" "ab", "[\xFF" "ab]"},    // an invalid byte counts as one byte
        {"[%.4s]", "\xE2" "abc", "[\xE2" "abc]"},  // also one that starts a sequence
    };
    // clang-format on
    for (const Case& c : cases) {
        int length = yav_snprintf_utf8(buffer, sizeof(buffer), c.format, c.text);
        EXPECT_EQ(std::string(buffer), c.expected) << c.format << " " << c.text;
        EXPECT_EQ(length, static_cast<int>(strlen(c.expected))) << c.format;
    }
    // A precision may stand for an array without terminator: nothing past
    // it is read, and a character cut by it is left out.
    ExactBytes cut("a\xE2\x82");
    EXPECT_EQ(yav_snprintf_utf8(buffer, sizeof(buffer), "%.3s", cut.data()), 1);
    EXPECT_STREQ(buffer, "a");
    ExactBytes plain("abc");
    EXPECT_EQ(yav_snprintf_utf8(buffer, sizeof(buffer), "%.3s|", plain.data()), 4);
    EXPECT_STREQ(buffer, "abc|");
    // A single-byte code set cuts at the precision itself.
    CodeSet latin1("ISO-8859-1");
    ASSERT_NE(latin1.get(), nullptr);
    EXPECT_EQ(yav_snprintf_cs(buffer, sizeof(buffer), latin1.get(), "%.2s", euro), 2);
}

TEST(YavPrintfTest, ConvertsWideCharactersIntoTheOutputCodeSet) {
    CodeSet latin1("ISO-8859-1");
    ASSERT_NE(latin1.get(), nullptr);
    struct Case {
        ulq_cs_t cs;
        const char* format;
        const wchar_t* text;  // %S argument, or null for %C of wc
        wchar_t wc;
        const char* expected;  // null: -1
    };
    const wchar_t* word = L"h\u00e9\u20ac";
    const std::vector<Case> cases = {
        {ulq_utf8_cs(), "[%S]", word, 0, "[h\xC3\xA9\xE2\x82\xAC]"},
        {ulq_utf8_cs(), "[%.5S]", word, 0, "[h\xC3\xA9]"},
        {ulq_utf8_cs(), "[%.2S]", word, 0, "[h]"},
        {ulq_utf8_cs(), "[%8S]", word, 0, "[  h\xC3\xA9\xE2\x82\xAC]"},
        {ulq_utf8_cs(), "[%-3ls]", L"\u00e9", 0, "[\xC3\xA9 ]"},
        {ulq_utf8_cs(), "[%C]", nullptr, L'\u20ac', "[\xE2\x82\xAC]"},
        {ulq_utf8_cs(), "[%-4lc]", nullptr, L'\u00e9', "[\xC3\xA9  ]"},
        {ulq_utf8_cs(), "[%C]", nullptr, 0xD800, nullptr},
        {latin1.get(), "[%S]", L"h\u00e9", 0, "[h\xE9]"},
        {latin1.get(), "[%3C]", nullptr, L'\u00e9', "[  \xE9]"},
        {latin1.get(), "[%S]", word, 0, nullptr},
        {latin1.get(), "[%.2S]", word, 0, "[h\xE9]"},  // the precision ends before the euro
        {latin1.get(), "[%C]", nullptr, L'\u20ac', nullptr},
    };
    for (const Case& c : cases) {
        char buffer[32];
        int length = c.text != nullptr
                         ? yav_snprintf_cs(buffer, sizeof(buffer), c.cs, c.format, c.text)
                         : yav_snprintf_cs(buffer, sizeof(buffer), c.cs, c.format, c.wc);
        if (c.expected == nullptr) {
            EXPECT_EQ(length, -1) << c.format;
        } else {
            EXPECT_EQ(length, static_cast<int>(strlen(c.expected))) << c.format;
            EXPECT_STREQ(buffer, c.expected) << c.format;
        }
    }
}

class YavPrintfCodeSetTest : public CUtf8Locale {};

TEST_F(YavPrintfCodeSetTest, EachFamilyWritesItsOwnCodeSet) {
    CodeSet latin1("ISO-8859-1");
    ASSERT_NE(latin1.get(), nullptr);
    char buffer[16];
    EXPECT_EQ(yav_snprintf_lcp(buffer, sizeof(buffer), "%C", L'\u00e9'), 2);  // C.UTF-8
    ASSERT_EQ(ulq_set_def_cs(latin1.get()), 0);
    EXPECT_EQ(yav_snprintf(buffer, sizeof(buffer), "%C", L'\u00e9'), 1);
    EXPECT_EQ(yav_snprintf_cs(buffer, sizeof(buffer), nullptr, "%C", L'\u00e9'), 1);
    EXPECT_EQ(yav_snprintf_lcp(buffer, sizeof(buffer), "%C", L'\u00e9'), 2);
    EXPECT_EQ(yav_snprintf_utf8(buffer, sizeof(buffer), "%C", L'\u00e9'), 2);
    char* text = nullptr;
    EXPECT_EQ(yav_asprintf(&text, "%C", L'\u00e9'), 1);
    EXPECT_STREQ(text, "\xE9");
    yav_asprintf_free(text);
    EXPECT_EQ(yav_asprintf_utf8(&text, "%C", L'\u00e9'), 2);
    EXPECT_STREQ(text, "\xC3\xA9");
    yav_asprintf_free(text);
    ASSERT_EQ(ulq_set_def_cs(nullptr), 0);
    setlocale(LC_ALL, "C");
    EXPECT_EQ(yav_snprintf_lcp(buffer, sizeof(buffer), "%C", L'\u00e9'), -1);  // ASCII
}

TEST(YavPrintfTest, RejectsMalformedFormatsWithoutWriting) {
    // clang-format off
    const std::vector<const char*> formats = {
        "%", "abc%", "%5", "%q", "%n", "%Lf", "%hs", "%lp", "%llc", "%hhf", "%lS", "%hC",
        "%0$d", "%1$d %d", "%d %1$d", "%*1$d", "%1$*d", "%1$.*d", "%2$d", "%1$d %3$d",
        "%1$d %1$s", "%1$%", "%*%", "%.-1d", "%2147483648d", "%.2147483648d",
        "%99999999999$d", "%*2147483648$d",
    };
    // clang-format on
    for (const char* format : formats) {
        int length = 0;
        EXPECT_EQ(formatInto(6, &length, format, 1, 2, 3), "") << format;
        EXPECT_EQ(length, -1) << format;
    }
    int length = 0;
    EXPECT_EQ(formatInto(6, &length, "%*d", INT_MIN, 1), "");
    EXPECT_EQ(length, -1);
    EXPECT_EQ(yav_snprintf(nullptr, 0, nullptr), -1);
}

TEST(YavPrintfTest, FailsWhenTheOutputWouldPassIntMax) {
    int length = 0;
    formatInto(8, &length, "%*d", INT_MAX, 1);
    EXPECT_EQ(length, INT_MAX);
    EXPECT_EQ(formatInto(8, &length, "%*d.", INT_MAX, 1), "");
    EXPECT_EQ(length, -1);
    EXPECT_EQ(yav_snprintf(nullptr, 0, "%2147483647d%2147483647d", 1, 2), -1);
    EXPECT_EQ(yav_snprintf(nullptr, 0, "%.2147483647f", 1.0), -1);
}

TEST(YavPrintfTest, HandlesManySpecificationsAndArguments) {
    // More records than fit inline, all naming one argument.
    std::string format;
    std::string expected;
    for (int i = 0; i < 35; ++i) {
        format += "%1$d" + std::to_string(i) + ",";
        expected += "9" + std::to_string(i) + ",";
    }
    EXPECT_EQ(yavFormat(format.c_str(), 9), expected);
    // More values than fit inline, fetched in order and rendered backwards.
    const char* reversed =
        "%20$d %19$s %18$ld %17$x %16$d %15$s %14$d %13$c %12$d %11$d %10$lld %9$d %8$d %7$d "
        "%6$s %5$d %4$u %3$d %2$.1f %1$d";
    char expected20[256];
    snprintf(expected20, sizeof(expected20), reversed, 1, 2.5, 3, 4u, 5, "six", 7, 8, 9, 10LL, 11,
             12, 'm', 14, "fifteen", 16, 0x11, 18L, "nineteen", 20);
    EXPECT_EQ(yavFormat(reversed, 1, 2.5, 3, 4u, 5, "six", 7, 8, 9, 10LL, 11, 12, 'm', 14,
                        "fifteen", 16, 0x11, 18L, "nineteen", 20),
              expected20);
}

TEST(YavPrintfTest, AllocatesExactlyTheOutput) {
    char* text = nullptr;
    std::string big(3000, 'q');
    EXPECT_EQ(yav_asprintf(&text, "<%s|%5d|%-*s>", big.c_str(), 42, 4, "z"), 3013);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text), "<" + big + "|   42|z   >");
    yav_asprintf_free(text);
    EXPECT_EQ(yav_asprintf(&text, ""), 0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    yav_asprintf_free(text);
    text = reinterpret_cast<char*>(&big);
    EXPECT_EQ(yav_asprintf_cs(&text, ulq_utf8_cs(), "%1$d %1$s", 1), -1);
    EXPECT_EQ(text, nullptr);
}

}  // namespace
