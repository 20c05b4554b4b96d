#include "core/sundry/yav_utf8.h"

#include "core/ulq/yav_utf8_codec.h"

bool yav_validate_utf8_buffer(const char* data, size_t len) {
    size_t i = 0;
    while (i < len) {
        // Runs of ASCII, the common case, need no decoding.
        if (static_cast<unsigned char>(data[i]) < 0x80) {
            ++i;
            continue;
        }
        uint32_t wc;
        int length = yav_utf8_decode(data + i, len - i, &wc);
        if (length <= 0) return false;
        i += static_cast<size_t>(length);
    }
    return true;
}
