#include "core/sundry/yav_utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// Sequences of up to four bytes are judged against the reference decoder
// below; these are longer texts and the length bound.
TEST(YavUtf8Test, AcceptsWellFormedAndRejectsIllFormedText) {
    const std::string good("a\0b\xC3\xA9\xF0\x9F\x98\x80z", 10);
    EXPECT_TRUE(yav_validate_utf8_buffer(good.data(), good.size()));
    EXPECT_FALSE(yav_validate_utf8_buffer("caf\xC3\xA9\x80", 6));
    EXPECT_FALSE(yav_validate_utf8_buffer("\xF8\x88\x80\x80\x80", 5));
    EXPECT_TRUE(yav_validate_utf8_buffer(nullptr, 0));
    EXPECT_TRUE(yav_validate_utf8_buffer("ok\xE2\x82\xAC", 2));  // the length bounds the scan
}

// An independent reference: decode the value bit by bit, then judge it.
bool reference_valid(const unsigned char* p, size_t len) {
    for (size_t i = 0; i < len;) {
        size_t n = p[i] < 0x80             ? 0
                   : (p[i] & 0xE0) == 0xC0 ? 1
                   : (p[i] & 0xF0) == 0xE0 ? 2
                   : (p[i] & 0xF8) == 0xF0 ? 3
                                           : 9;
        if (n == 9 || (n > 0 && i + n >= len)) return false;
        const uint32_t leadBits[] = {0x7F, 0x1F, 0x0F, 0x07};
        uint32_t value = p[i] & leadBits[n];
        for (size_t k = 1; k <= n; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            value = (value << 6) | (p[i + k] & 0x3F);
        }
        const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (value < minimum[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        i += n + 1;
    }
    return true;
}

TEST(YavUtf8Test, AgreesWithAReferenceDecoder) {
    // Every sequence of up to three bytes, and four-byte sequences with
    // every lead and second byte and the last two from the byte classes' edges.
    const unsigned char edges[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0xBF, 0xC0, 0xF4, 0xFF};
    unsigned char b[4];
    size_t disagreements = 0;
    auto check = [&](size_t len) {
        const char* data = reinterpret_cast<const char*>(b);
        disagreements += yav_validate_utf8_buffer(data, len) != reference_valid(b, len);
    };
    for (unsigned x = 0; x < 256; ++x) {
        b[0] = static_cast<unsigned char>(x);
        check(1);
        for (unsigned y = 0; y < 256; ++y) {
            b[1] = static_cast<unsigned char>(y);
            check(2);
            for (unsigned z = 0; z < 256; ++z) {
                b[2] = static_cast<unsigned char>(z);
                check(3);
            }
            for (unsigned char z : edges) {
                for (unsigned char w : edges) {
                    b[2] = z;
                    b[3] = w;
                    check(4);
                }
            }
        }
    }
    EXPECT_EQ(0u, disagreements);
}

}  // namespace
