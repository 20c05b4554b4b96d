// Strict single-character UTF-8 coding.
#include "core/ulq/yav_utf8_codec.h"

namespace {

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

int yav_utf8_decode(const char* s, size_t n, uint32_t* wc) {
    if (n == 0) return YAV_UTF8_INCOMPLETE;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    unsigned char b0 = p[0];
    if (b0 < 0x80) {
        *wc = b0;
        return 1;
    }
    // The lead byte fixes the length, the value bits it carries and the
    // range of the second byte: narrowing that range is what rejects
    // overlong forms (E0, F0), surrogates (ED) and values past U+10FFFF (F4).
    int length;
    uint32_t value;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        value = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        value = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        value = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return YAV_UTF8_INVALID;
    }
    for (int i = 1; i < length; ++i) {
        if (static_cast<size_t>(i) >= n) return YAV_UTF8_INCOMPLETE;
        unsigned char b = p[i];
        if (i == 1 ? (b < lo || b > hi) : !isContinuation(b)) return YAV_UTF8_INVALID;
        value = (value << 6) | (b & 0x3F);
    }
    *wc = value;
    return length;
}

int yav_utf8_length(uint32_t wc) {
    if (wc < 0x80) return 1;
    if (wc < 0x800) return 2;
    if (wc >= 0xD800 && wc <= 0xDFFF) return -1;
    if (wc < 0x10000) return 3;
    if (wc <= 0x10FFFF) return 4;
    return -1;
}

int yav_utf8_encode(uint32_t wc, char* out) {
    int length = yav_utf8_length(wc);
    switch (length) {
        case 1:
            out[0] = static_cast<char>(wc);
            break;
        case 2:
            out[0] = static_cast<char>(0xC0 | (wc >> 6));
            out[1] = static_cast<char>(0x80 | (wc & 0x3F));
            break;
        case 3:
            out[0] = static_cast<char>(0xE0 | (wc >> 12));
            out[1] = static_cast<char>(0x80 | ((wc >> 6) & 0x3F));
            out[2] = static_cast<char>(0x80 | (wc & 0x3F));
            break;
        case 4:
            out[0] = static_cast<char>(0xF0 | (wc >> 18));
            out[1] = static_cast<char>(0x80 | ((wc >> 12) & 0x3F));
            out[2] = static_cast<char>(0x80 | ((wc >> 6) & 0x3F));
            out[3] = static_cast<char>(0x80 | (wc & 0x3F));
            break;
        default:
            break;
    }
    return length;
}
