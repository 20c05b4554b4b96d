#include "msg/core/YavProxyIFMsgInt.h"

#include "core/msg/yav_status.h"
#include "core/sundry/yav_printf.h"

int YavProxyIFMsgInt::marshal(unsigned char* buffer, int size) const {
    const int length = static_cast<int>(sizeof(m_data));
    if (size == 0) return length;
    YAV_MSG_ASSERT(reinterpret_cast<uintptr_t>(buffer) % sizeof(m_data) == 0,
                   "((unsigned int)buffer) % sizeof(m_data) == 0");
    YAV_MSG_ASSERT(length <= size, "length <= size");
    writeU32(buffer, static_cast<uint32_t>(m_data));
    return length;
}

int YavProxyIFMsgInt::unmarshal(const unsigned char* buffer, int size) {
    if (size < static_cast<int>(sizeof(m_data))) return -1;
    m_data = static_cast<int32_t>(readU32(buffer));
    return static_cast<int>(sizeof(m_data));
}

bool YavProxyIFMsgInt::appendDecimal(YavString* out, int value) {
    char text[16];
    int n = yav_snprintf(text, sizeof text, "%d", value);
    return n > 0 && out->append(text, n);
}

yav_status_t YavProxyIFMsgInt::createString(YavString* out) const {
    out->clear();
    return appendDecimal(out, m_data) ? 0 : YAV_S_NO_MEMORY;
}
