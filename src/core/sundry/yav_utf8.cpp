#include "core/sundry/yav_utf8.h"

bool yav_validate_utf8_buffer(const char* data, size_t len) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data);
    size_t i = 0;
    while (i < len) {
        unsigned char lead = p[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The number of continuation bytes, and the range the second byte
        // must fall in: narrowing it excludes overlong forms, surrogates and
        // values above U+10FFFF without decoding the value.
        size_t follow;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            follow = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            follow = 2;
            if (lead == 0xE0) low = 0xA0;   // below U+0800: overlong
            if (lead == 0xED) high = 0x9F;  // U+D800..U+DFFF: surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            follow = 3;
            if (lead == 0xF0) low = 0x90;   // below U+10000: overlong
            if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            // A continuation byte, C0/C1 (overlong two-byte forms) or F5-FF.
            return false;
        }
        if (len - i <= follow) return false;
        if (p[i + 1] < low || p[i + 1] > high) return false;
        for (size_t k = 2; k <= follow; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        i += follow + 1;
    }
    return true;
}
