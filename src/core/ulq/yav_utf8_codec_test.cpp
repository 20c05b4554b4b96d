#include "core/ulq/yav_utf8_codec.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <random>
#include <string>

#include "core/ulq/ulq_test_aids.h"

namespace {

TEST(YavUtf8CodecTest, RejectsOverlongSurrogateOutOfRangeStrayAndCutBytes) {
    // Overlong, surrogate, beyond U+10FFFF, stray continuation, bad later
    // byte; a bad second byte is bad before the end of input.  (Random byte
    // sequences are judged against iconv below.)
    const char* invalid[] = {"\xC0\x80", "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                             "\x80",     "\xE2\x82\x28",     "\xE0\x80",     "\xED\xA0"};
    for (const char* bytes : invalid) {
        ExactBytes in(bytes);
        uint32_t wc = 0;
        EXPECT_EQ(yav_utf8_decode(in.data(), in.size(), &wc), YAV_UTF8_INVALID)
            << testing::PrintToString(bytes);
    }
    const char* cut[] = {"", "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xF4\x8F"};
    for (const char* bytes : cut) {
        ExactBytes in(bytes);
        uint32_t wc = 0;
        EXPECT_EQ(yav_utf8_decode(in.data(), in.size(), &wc), YAV_UTF8_INCOMPLETE)
            << testing::PrintToString(bytes);
    }
}

TEST(YavUtf8CodecTest, EveryScalarValueRoundTripsAndOthersDoNotEncode) {
    for (uint32_t wc = 0; wc <= 0x110000; ++wc) {
        char buffer[YAV_UTF8_MAX];
        int length = yav_utf8_encode(wc, buffer);
        bool scalar = wc <= 0x10FFFF && (wc < 0xD800 || wc > 0xDFFF);
        if (!scalar) {
            ASSERT_EQ(length, -1) << std::hex << wc;
            ASSERT_EQ(yav_utf8_length(wc), -1) << std::hex << wc;
            continue;
        }
        ASSERT_EQ(length, yav_utf8_length(wc)) << std::hex << wc;
        uint32_t back = 0;
        ASSERT_EQ(yav_utf8_decode(buffer, static_cast<size_t>(length), &back), length);
        ASSERT_EQ(back, wc);
        // Every proper prefix is an unfinished character.
        for (int cut = 1; cut < length; ++cut) {
            ASSERT_EQ(yav_utf8_decode(buffer, static_cast<size_t>(cut), &back), YAV_UTF8_INCOMPLETE)
                << std::hex << wc << " cut " << cut;
        }
    }
    char buffer[YAV_UTF8_MAX];
    EXPECT_EQ(yav_utf8_encode(0xFFFFFFFF, buffer), -1);
}

// glibc's UTF-8 decoder is an independent judge of which byte sequences
// start a valid character, except that it also takes 4-byte forms of
// values above U+10FFFF.
TEST(YavUtf8CodecTest, AgreesWithIconvOnRandomBytes) {
    iconv_t cd = iconv_open("WCHAR_T", "UTF-8");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::mt19937 random(20240611);
    // Biased towards lead and continuation bytes so that most samples are
    // near-misses rather than plain ASCII.
    const unsigned char pool[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                  0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xED, 0xEE, 0xEF,
                                  0xF0, 0xF1, 0xF4, 0xF5, 0xF8, 0xFE, 0xFF};
    for (int i = 0; i < 200000; ++i) {
        char bytes[4];
        for (char& b : bytes) {
            b = static_cast<char>((random() & 1) ? pool[random() % sizeof(pool)] : random() & 0xFF);
        }
        uint32_t ours = 0;
        int length = yav_utf8_decode(bytes, sizeof(bytes), &ours);

        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        wchar_t theirs = 0;
        char* in = bytes;
        size_t inLeft = sizeof(bytes);
        char* out = reinterpret_cast<char*>(&theirs);
        size_t outLeft = sizeof(theirs);
        iconv(cd, &in, &inLeft, &out, &outLeft);
        bool theyDecoded = outLeft == 0 && static_cast<uint32_t>(theirs) <= 0x10FFFF;
        ASSERT_EQ(length > 0, theyDecoded) << testing::PrintToString(std::string(bytes, 4));
        if (length > 0) {
            ASSERT_EQ(ours, static_cast<uint32_t>(theirs));
            ASSERT_EQ(static_cast<size_t>(length), sizeof(bytes) - inLeft);
        }
    }
    iconv_close(cd);
}

}  // namespace
