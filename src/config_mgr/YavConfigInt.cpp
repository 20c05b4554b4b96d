#include "config_mgr/YavConfigInt.h"

#include <errno.h>
#include <stdint.h>

#include "config_mgr/yav_config_text.h"
#include "core/buffers/yav_strtol.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_printf.h"

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

bool YavConfigInt::parse(const char* text, int length, int* value) {
    if (length == 0) {
        *value = 0;
        return true;
    }
    int savedErrno = errno;
    errno = 0;
    int end = 0;
    long result = yav_strtol_n(text, length, &end, 0);
    bool overflow = errno == ERANGE && (result == INT32_MAX || result == INT32_MIN);
    errno = savedErrno;
    if (overflow) return false;
    for (int i = end; i < length; ++i) {
        if (!is_space(text[i])) return false;
    }
    *value = static_cast<int>(result);
    return true;
}

yav_status_t YavConfigInt::setValue(const YavStringRef& text) {
    int value;
    if (!parse(text.getData(), text.getLength(), &value)) return YAV_S_INVALID_VALUE;
    m_value = value;
    m_isSet = true;
    return 0;
}

yav_status_t YavConfigInt::setLCPValue(const YavLCPStringRef& text) {
    YavString internal;
    yav_status_t status = yav_config_from_lcp(text, &internal);
    if (status != 0) return status;
    return setValue(internal);
}

char* YavConfigInt::toString(int value, char* buffer) {
    yav_snprintf(buffer, kBufferSize, "%d", value);
    return buffer;
}
