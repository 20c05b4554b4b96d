#include "core/msg/yav_msg_table.h"

const char* kr_msg_get_default_msg(uint32_t code) {
    unsigned lo = 0;
    unsigned hi = yav_default_msg_count;
    while (lo < hi) {
        unsigned mid = lo + (hi - lo) / 2;
        uint32_t c = yav_default_msg_table[mid].code;
        if (c == code) return yav_default_msg_table[mid].text;
        if (c < code) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return nullptr;
}
