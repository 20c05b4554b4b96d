#include "core/http/yav_uri_encode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef bool (*Encoder)(YavString*, const char*, int);

std::string text(const YavString& s) { return std::string(s.getData(), s.getLength()); }

// The bytes each type lets through, written out as sets rather than derived
// from ranges, so that a slip in the encoder's classification shows.
const char kAlnum[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ*-._";
const char kUriExtra[] = "!$&'()+,/:;=?@~";
const char kAsciiExtra[] = "!$&'()+,/:;=?@~<>#\"{}|\\^[]`";

bool inSet(const char* set, unsigned char c) {
    return c != 0 && std::strchr(set, static_cast<char>(c)) != nullptr;
}

TEST(YavUriEncodeTest, EveryByteOfEveryType) {
    struct Type {
        Encoder encode;
        uri_encoding_type type;
        const char* extra;  // beyond kAlnum
        bool spaceIsPlus;
    };
    const std::vector<Type> types = {
        {yav_uri_encode, yav_uri_encoding_uri, kUriExtra, false},
        {yav_uri_encode_form_arg, yav_uri_encoding_form_arg, "", true},
        {yav_uri_encode_query, yav_uri_encoding_query, "", false},
        {yav_uri_encode_ascii, yav_uri_encoding_ascii, kAsciiExtra, false},
    };
    for (const Type& t : types) {
        int passed = 0;
        for (int b = 0; b < 256; ++b) {
            const unsigned char byte = static_cast<unsigned char>(b);
            const char source = static_cast<char>(byte);
            YavString out;
            ASSERT_TRUE(t.encode(&out, &source, 1)) << b;
            YavString viaType;
            ASSERT_TRUE(yav_uri_encode_type(&viaType, &source, 1, t.type)) << b;
            EXPECT_EQ(text(out), text(viaType)) << b;

            std::string expected;
            if (t.spaceIsPlus && byte == ' ') {
                expected = "+";
            } else if (inSet(kAlnum, byte) || inSet(t.extra, byte)) {
                expected = std::string(1, source);
                ++passed;
            } else {
                char escaped[4];
                std::snprintf(escaped, sizeof escaped, "%%%02X", b);
                expected = escaped;
            }
            EXPECT_EQ(expected, text(out)) << "type " << t.type << " byte " << b;
        }
        EXPECT_EQ(static_cast<int>(std::strlen(kAlnum) + std::strlen(t.extra)), passed);
    }
}

// How each byte is written is EveryByteOfEveryType's; these are lengths,
// NULs and appending.
TEST(YavUriEncodeTest, EncodesTextsAndAppends) {
    struct Case {
        Encoder encode;
        std::string source;
        int length;  // -1: up to the NUL
        std::string expected;
    };
    const std::vector<Case> cases = {
        {yav_uri_encode_form_arg, "a b&c", -1, "a+b%26c"},
        {yav_uri_encode, "abcdef", 3, "abc"},
        {yav_uri_encode, std::string("a\0b", 3), 3, "a%00b"},
        {yav_uri_encode, std::string("a\0b", 3), -1, "a"},
        {yav_uri_encode_query, "", -1, ""},
    };
    for (const Case& c : cases) {
        YavString out;
        ASSERT_TRUE(out.set("pre:"));
        ASSERT_TRUE(c.encode(&out, c.source.data(), c.length)) << c.source;
        EXPECT_EQ("pre:" + c.expected, text(out)) << c.source;
    }
}

TEST(YavUriEncodeTest, RefusesNullPointersAndUnknownTypes) {
    YavString out;
    const Encoder encoders[] = {yav_uri_encode, yav_uri_encode_form_arg, yav_uri_encode_query,
                                yav_uri_encode_ascii};
    for (Encoder encode : encoders) {
        EXPECT_FALSE(encode(nullptr, "a", 1));
        EXPECT_FALSE(encode(&out, nullptr, 1));
        EXPECT_FALSE(encode(&out, nullptr, -1));
    }
    EXPECT_FALSE(yav_uri_encode_type(&out, "a", 1, static_cast<uri_encoding_type>(4)));
    EXPECT_FALSE(yav_uri_encode_type(&out, "a", 1, static_cast<uri_encoding_type>(-1)));
    EXPECT_EQ(0, out.getLength());
}

}  // namespace
