#include "msg/core/YavProxyIFMsgBuffer.h"

#include <climits>

#include "core/http/yav_uri_encode.h"
#include "core/msg/yav_status.h"

int YavProxyIFMsgBuffer::marshal(unsigned char* buffer, int size) const {
    const uint32_t len = static_cast<uint32_t>(m_data.getLen());
    const int64_t encoded = 4 + static_cast<int64_t>(len) + pad(len);
    if (encoded > INT_MAX) return -1;
    const int length = static_cast<int>(encoded);
    if (size == 0) return length;
    checkBuffer(buffer, length, size);
    writeU32(buffer, len);
    if (len > 0) memcpy(buffer + 4, m_data.getData(), len);
    return length;
}

int YavProxyIFMsgBuffer::unmarshal(const unsigned char* buffer, int size) {
    if (size < 4) return -1;
    const uint32_t len = readU32(buffer);
    // 64-bit sum: a length near 2^32 must not wrap round to a small size.
    const int64_t encoded = 4 + static_cast<int64_t>(len) + pad(len);
    if (encoded > size) return -1;
    m_data.refer(buffer + 4, static_cast<int>(len));
    return static_cast<int>(encoded);
}

yav_status_t YavProxyIFMsgBuffer::createString(YavString* out) const {
    out->clear();
    if (m_data.getLen() == 0) return 0;
    bool ok =
        yav_uri_encode_ascii(out, reinterpret_cast<const char*>(m_data.getData()), m_data.getLen());
    return ok ? 0 : YAV_S_NO_MEMORY;
}
