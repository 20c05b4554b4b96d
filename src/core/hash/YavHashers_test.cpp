#include "core/hash/YavHashers.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "core/buffers/yav_string_test_aids.h"

namespace {

// Hashes an exact, unterminated copy, so that AddressSanitizer reports any
// read past the length.
uint32_t hashOf(const YavHasherT<char>& hasher, const std::string& s) {
    ExactUnits<char> exact = exactChars(s);
    return hasher.hash(exact.data(), s.size());
}

// An independent statement of the plain rule over unit values.
uint32_t djb(std::initializer_list<uint32_t> units) {
    uint32_t h = 5381;
    for (uint32_t u : units) h = h * 33 ^ u;
    return h;
}

TEST(YavHashersTest, PlainRuleOverEveryUnitType) {
    EXPECT_EQ(yav_string_hasher.hash("", 0), 5381u);
    EXPECT_EQ(hashOf(yav_string_hasher, "a"), 177604u);
    EXPECT_EQ(hashOf(yav_string_hasher, std::string("a\0b", 3)), djb({'a', 0, 'b'}));
    const unsigned short ucs2[] = {0x263a, 'a'};
    EXPECT_EQ(yav_wstring_hasher.hash(ucs2, 2), djb({0x263a, 'a'}));
    const wchar_t wide[] = {0x1F600, 'a'};
    EXPECT_EQ(yav_sys_wstring_hasher.hash(wide, 2), djb({0x1F600, 'a'}));
    EXPECT_EQ(&YavStringHasher::instance(), &yav_string_hasher);
    EXPECT_EQ(yav_default_hasher<unsigned char>(), &yav_binary_hasher);
}

TEST(YavHashersTest, CharUnitsAreWidenedWithTheirSign) {
    for (unsigned byte : {0x61u, 0x80u, 0xC3u, 0xFFu}) {
        SCOPED_TRACE(byte);
        const char c = static_cast<char>(byte);
        const unsigned char u = static_cast<unsigned char>(byte);
        uint32_t widened = byte < 0x80 ? byte : 0xFFFFFF00u | byte;
        EXPECT_EQ(yav_string_hasher.hash(&c, 1), djb({widened}));
        EXPECT_EQ(yav_binary_hasher.hash(&u, 1), djb({byte}));
    }
}

typedef YavUtf8LocaleTest YavICaseHashersTest;

TEST_F(YavICaseHashersTest, AgreeWithTheComparatorsRules) {
    // ASCII lowers byte-wise; multi-byte characters lower by the locale and
    // contribute their low 16 bits.
    EXPECT_EQ(hashOf(yav_icase_string_hasher, "Content-TYPE"),
              hashOf(yav_string_hasher, "content-type"));
    EXPECT_EQ(hashOf(yav_icase_string_hasher, "\xC3\x89t\xC3\xA9"), djb({0xE9, 't', 0xE9}));
    EXPECT_EQ(hashOf(yav_icase_string_hasher, "\xF0\x9F\x98\x80"), djb({0xF600}));
    EXPECT_EQ(hashOf(yav_lcp_icase_string_hasher, "MiXeD"), hashOf(yav_string_hasher, "mixed"));
    EXPECT_EQ(yav_icase_string_hasher.hash("", 0), 5381u);
}

TEST_F(YavICaseHashersTest, StopAtTheFirstUndecodableSequence) {
    for (const char* tail : {"\xFF"
                             "cd",
                             "\xC3", "\xE2\x82", "\x80x"}) {
        SCOPED_TRACE(tail);
        EXPECT_EQ(hashOf(yav_icase_string_hasher, std::string("AB") + tail), djb({'a', 'b'}));
    }
    // A character cut by the length is undecodable, whatever follows it.
    EXPECT_EQ(yav_icase_string_hasher.hash("ab\xC3\xA9", 3), djb({'a', 'b'}));
}

}  // namespace
