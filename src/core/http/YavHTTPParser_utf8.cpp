// UTF-8 validation for request text, in the wide original form of the
// encoding (up to six bytes), telling over-long forms apart from broken
// sequences so that callers can reject the former as an attack.
#include <cstring>

#include "core/http/YavHTTPParser.h"

int yav_validate_utf8(const char* bytes, size_t length, bool& allAscii) {
    // By lead-byte shape: continuation count and smallest value.
    static const struct {
        unsigned char mask;
        unsigned char lead;
        int continuations;
        uint32_t minimum;
    } kForms[] = {{0xe0, 0xc0, 1, 0x80},
                  {0xf0, 0xe0, 2, 0x800},
                  {0xf8, 0xf0, 3, 0x10000},
                  {0xfc, 0xf8, 4, 0x200000},
                  {0xfe, 0xfc, 5, 0x4000000}};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    allAscii = true;
    // A zero byte anywhere decides the result, whatever precedes it.
    if (length > 0 && std::memchr(p, 0, length) != nullptr) return -2;
    bool overlong = false;
    size_t i = 0;
    while (i < length) {
        const unsigned char c = p[i++];
        if (c < 0x80) continue;
        int form = 0;
        const int kFormCount = static_cast<int>(sizeof kForms / sizeof kForms[0]);
        while (form < kFormCount && (c & kForms[form].mask) != kForms[form].lead) ++form;
        if (form == kFormCount) return 0;  // stray continuation byte, 0xFE or 0xFF
        allAscii = false;
        uint32_t value = c & static_cast<unsigned char>(~kForms[form].mask);
        for (int k = 0; k < kForms[form].continuations; ++k) {
            if (i >= length) return 0;
            const unsigned char next = p[i++];
            if ((next & 0xc0) != 0x80) return 0;
            value = (value << 6) | (next & 0x3f);
        }
        if (value < kForms[form].minimum) overlong = true;
    }
    return overlong ? -1 : 1;
}
