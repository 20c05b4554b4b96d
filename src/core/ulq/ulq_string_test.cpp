// Code-set-aware string functions, case-insensitive comparison, locales and
// the layer's settings.  (Narrow "\u" literals are UTF-8.)
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/ulq/ulq.h"
#include "core/ulq/ulq_test_aids.h"

namespace {

class UlqStringTest : public CUtf8Locale {
  protected:
    CodeSet m_sjisSet{"SHIFT_JIS"}, m_eucjpSet{"EUC-JP"}, m_latin1Set{"ISO-8859-1"};
    ulq_cs_t m_sjis = m_sjisSet.get();
    ulq_cs_t m_eucjp = m_eucjpSet.get();
    ulq_cs_t m_latin1 = m_latin1Set.get();
    ulq_cs_t m_utf8 = ulq_utf8_cs();
};

// Offset of a search result, -1 for null.
long offsetOf(const char* base, const char* found) { return found == nullptr ? -1 : found - base; }

TEST_F(UlqStringTest, SearchesMatchOnlyWholeCharacters) {
    // In Shift_JIS the second byte of a character may be an ASCII byte:
    // 83 40 is one letter, not a letter and '@'; 83 5C is one letter, not a
    // letter and 5C (the yen sign there).  In UTF-8, A4 occurs only inside
    // characters (here U+00E4).
    const char* sjis = "\x83\x40\x83\x5C@\x5C";
    const char* utf8 = "x\xC3\xA4y\xC2\xA4";
    const struct {
        ulq_cs_t cs;
        const char* text;
        wchar_t c;
        long first, last;
    } cases[] = {
        {m_sjis, sjis, L'@', 4, 4},
        {m_sjis, sjis, 0xA5, 5, 5},
        {m_sjis, sjis, 0x30BD, 2, 2},
        {m_sjis, sjis, L'\0', 6, 6},
        {m_utf8, utf8, 0xA4, 4, 4},
        {m_utf8, utf8, 0xE4, 1, 1},
        {m_utf8, "abab", L'b', 1, 3},
        {m_utf8, "abab", L'z', -1, -1},
        {m_eucjp, "\xC6\xFC\xCB\xDC", 0x672C, 2, 2},
        {m_eucjp, "\xC6\xFC\xCB\xDC", 0xFC, -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(offsetOf(c.text, ulq_strchr(c.cs, c.text, c.c)), c.first) << std::hex << c.c;
        EXPECT_EQ(offsetOf(c.text, ulq_strrchr(c.cs, c.text, c.c)), c.last) << std::hex << c.c;
    }
    EXPECT_EQ(offsetOf(sjis, ulq_strstr(m_sjis, sjis, "@")), 4);
    EXPECT_EQ(offsetOf(sjis, ulq_strstr(m_sjis, sjis, "\x5C@")), -1);
    EXPECT_EQ(offsetOf(utf8, ulq_strstr(m_utf8, utf8, "\xA4y")), -1);
    EXPECT_EQ(offsetOf(utf8, ulq_strstr(m_utf8, utf8, "y\xC2")), 3);
    EXPECT_EQ(offsetOf(utf8, ulq_strstr(m_utf8, utf8, "")), 0);
    EXPECT_EQ(ulq_strcspn(m_sjis, sjis, "@"), 4u);
    EXPECT_EQ(ulq_strcspn(m_utf8, utf8, "\xC2\xA4y"), 3u);
    EXPECT_EQ(ulq_strcspn(m_utf8, utf8, "z"), strlen(utf8));
}

TEST_F(UlqStringTest, CopiesNeverSplitACharacter) {
    const struct {
        ulq_cs_t cs;
        const char* src;
        size_t n;
        const char* expected;
    } cases[] = {
        {m_utf8, "a\u00E4z", 0, ""},
        {m_utf8, "a\u00E4z", 2, "a"},
        {m_utf8, "a\u00E4z", 3, "a\u00E4"},
        {m_utf8, "a\u00E4z", 9, "a\u00E4z"},
        {m_utf8, "\u20AC\u20AC", 5, "\u20AC"},
        {m_eucjp, "\xC6\xFC\xCB\xDC", 3, "\xC6\xFC"},
        {m_sjis, "\x83\x40\x83\x5C", 3, "\x83\x40"},
        {m_utf8, "a\xFF\xFE", 2, "a\xFF"},  // bytes that are no character go one by one
    };
    for (const auto& c : cases) {
        std::vector<char> dst(c.n + 1, '#');
        EXPECT_EQ(ulq_strncpy(c.cs, dst.data(), c.src, c.n), dst.data());
        EXPECT_STREQ(dst.data(), c.expected) << ulq_cs_name(c.cs) << " n=" << c.n;
        char joined[32] = "pre";
        EXPECT_EQ(ulq_strncat(c.cs, joined, c.src, c.n), joined);
        EXPECT_EQ(std::string(joined), std::string("pre") + c.expected);
    }
}

TEST_F(UlqStringTest, LowersInPlaceWithinTheTextsBytes) {
    // İ lowers to i (shorter: the rest moves up); Ⱥ lowers to U+2C65, which
    // takes 3 bytes (longer: left as it is); the Kelvin sign lowers to k.
    char text[] = "\u00C4BC\u0130\u023A\u212A\xFFZ";
    EXPECT_EQ(ulq_strlower(m_utf8, text), text);
    EXPECT_STREQ(text, "\u00E4bci\u023Ak\xFFz");
    char latin1[] = "\xC4\xD6X";
    ulq_strlower(m_latin1, latin1);
    EXPECT_STREQ(latin1, "\xE4\xF6x");
}

int sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

TEST_F(UlqStringTest, ComparesIgnoringCaseByCharacters) {
    const struct {
        ulq_cs_t cs;
        std::string a, b;
        size_t n;
        int sign;
    } cases[] = {
        {m_utf8, "\u00C4BC", "\u00E4bc", 4, 0},
        {m_utf8, "\u00C4BC", "\u00E4bd", 4, -1},
        {m_utf8, "abc", "ABD", 2, 0},
        {m_utf8, "abc", "ABD", 3, -1},
        {m_utf8, "ab", "abc", 5, -1},
        {m_utf8, "", "", 3, 0},
        {m_utf8, "x", "y", 0, 0},
        {m_utf8, "\u212A", "k", 3, 0},
        {m_utf8, "\u00D6", "\u00E4", 2, 1},
        // n cuts inside a character: the cut bytes compare as bytes.
        {m_utf8, "a\u00C4", "a\u00F6", 2, 0},
        {m_utf8, "a\u00C4", "a\u00F6", 3, -1},
        // Undecodable bytes compare by value and never equal a character.
        {m_utf8, "\xFF", "\xFE", 1, 1},
        {m_utf8, "\xE4", "\u00E4", 2, 1},
        {m_latin1, "B\xC4", "b\xE4", 2, 0},
        {m_sjis, "\x83@A", "\x83@a", 3, 0},
        {m_eucjp, "\xC6\xFCQ", "\xC6\xFCq", 3, 0},
    };
    for (const auto& c : cases) {
        // Each side in a block of exactly n bytes without a terminator when
        // n ends inside the text: reading must stop at n.
        auto block = [&](const std::string& s) {
            return s.size() >= c.n ? s.substr(0, c.n) : s + std::string(1, '\0');
        };
        ExactBytes a(block(c.a)), b(block(c.b));
        EXPECT_EQ(sign(ulq_strnicmp(c.cs, nullptr, a.data(), b.data(), c.n)), c.sign)
            << testing::PrintToString(c.a) << " vs " << testing::PrintToString(c.b) << " n=" << c.n;
        EXPECT_EQ(sign(ulq_strnicmp(c.cs, nullptr, b.data(), a.data(), c.n)), -c.sign);
    }
    EXPECT_EQ(ulq_stricmp(m_utf8, nullptr, "\u00C4pfel", "\u00E4PFEL"), 0);
    EXPECT_LT(ulq_stricmp(m_utf8, nullptr, "\u00C4pfel", "\u00E4PFELS"), 0);
}

TEST_F(UlqStringTest, LowerCasingFollowsTheLocale) {
    ulq_loc_t c = ulq_loc_new("C");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(ulq_towlower(nullptr, 0xC4), 0xE4);
    EXPECT_EQ(ulq_towlower(c, 0xC4), 0xC4);  // in "C" only ASCII letters have cases
    EXPECT_EQ(ulq_towlower(c, L'Q'), L'q');
    EXPECT_NE(ulq_strnicmp(m_utf8, c, "\u00C4", "\u00E4", 2), 0);
    ulq_loc_free(c);
    EXPECT_EQ(ulq_loc_new("xx_NOWHERE.NOTHING"), nullptr);

    ulq_loc_t before = ulq_current_loc();
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    EXPECT_NE(ulq_current_loc(), before);
    EXPECT_EQ(ulq_towlower(nullptr, 0xC4), 0xC4);
    EXPECT_EQ(ulq_towlower(before, 0xC4), 0xE4);  // the older handle still works
}

TEST_F(UlqStringTest, WideStringFunctions) {
    const ulq_wchar_t text[] = {'a', 0xC4, 0xFFFF, 0};
    const ulq_wchar_t lower[] = {'a', 0xE4, 0};
    const ulq_wchar_t low[] = {'a', 0x0001, 0};
    const ulq_wchar_t shorter[] = {'a', 0};
    EXPECT_EQ(ulq_wcslen(text), 3u);
    EXPECT_EQ(ulq_wcschr(text, 0xFFFF), text + 2);
    EXPECT_EQ(ulq_wcschr(text, 0), text + 3);
    EXPECT_EQ(ulq_wcschr(text, 'z'), nullptr);
    EXPECT_GT(ulq_wcsncmp(text, low, 3), 0);  // units compare unsigned
    EXPECT_EQ(ulq_wcsncmp(text, low, 1), 0);
    EXPECT_EQ(ulq_wcsnicmp(nullptr, text, lower, 2), 0);
    EXPECT_GT(ulq_wcsnicmp(nullptr, text, lower, 3), 0);
    EXPECT_LT(ulq_wcsnicmp(nullptr, shorter, lower, 5), 0);
    EXPECT_TRUE(ulq_iswspace(L'\t'));
    EXPECT_FALSE(ulq_iswspace(L'x'));
}

TEST(UlqNamesTest, NormalisesLocaleAndLanguageNamesAndKeepsSettings) {
    const struct {
        const char* name;
        const char* locale;
        const char* language;
    } cases[] = {
        {"en_US.UTF-8", "en_US", "en"},
        {"de_DE@euro", "de_DE", "de"},
        {"sr_RS.UTF-8@latin", "sr_RS", "sr"},
        {"C.UTF-8", "C", "C"},
        {"fr", "fr", "fr"},
    };
    for (const auto& c : cases) {
        char buffer[32];
        ASSERT_EQ(ulq_canonical_loc(c.name, buffer, sizeof(buffer)), 0) << c.name;
        EXPECT_STREQ(buffer, c.locale);
        ASSERT_EQ(ulq_canonical_lang(c.name, buffer, sizeof(buffer)), 0) << c.name;
        EXPECT_STREQ(buffer, c.language);
    }
    char small[5];
    EXPECT_EQ(ulq_canonical_loc("en_US.UTF-8", small, sizeof(small)), -1);
    EXPECT_EQ(ulq_canonical_loc("en_U.UTF-8", small, sizeof(small)), 0);
    EXPECT_EQ(ulq_canonical_lang(nullptr, small, sizeof(small)), -1);
    EXPECT_EQ(ulq_os_lang_name(small, 1), -1);

    ASSERT_EQ(setenv("NLSPATH", "/x/%L/%N", 1), 0);
    EXPECT_STREQ(ulq_get_nlspath(), "/x/%L/%N");
    ASSERT_EQ(ulq_set_dir("/opt/first"), 0);
    const char* first = ulq_get_dir();
    ASSERT_EQ(ulq_set_dir("/opt/second"), 0);
    EXPECT_STREQ(ulq_get_dir(), "/opt/second");
    EXPECT_STREQ(first, "/opt/first");  // what was handed out stays readable
}

}  // namespace
