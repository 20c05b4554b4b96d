#include "msg/core/YavProxyIFMsgString.h"

#include <climits>

#include "core/http/yav_uri_encode.h"
#include "core/msg/yav_status.h"

int64_t YavProxyIFMsgString::encodedSize(const YavStringRef& text) {
    const uint32_t counted = static_cast<uint32_t>(text.getLength()) + 1u;
    return 4 + static_cast<int64_t>(counted) + pad(counted);
}

void YavProxyIFMsgString::write(unsigned char* buffer, const YavStringRef& text) {
    const uint32_t length = static_cast<uint32_t>(text.getLength());
    writeU32(buffer, length + 1u);
    if (length > 0) memcpy(buffer + 4, text.getData(), length);
    buffer[4 + length] = 0;
}

int YavProxyIFMsgString::read(const unsigned char* buffer, int size, YavStringRef* text) {
    if (size < 4) return -1;
    const uint32_t counted = readU32(buffer);
    if (counted == 0) {
        text->clear();
        return 4;
    }
    // 64-bit sum: a length near 2^32 must not wrap round to a small size.
    const int64_t encoded = 4 + static_cast<int64_t>(counted) + pad(counted);
    if (encoded > size) return -1;
    const char* chars = reinterpret_cast<const char*>(buffer + 4);
    const int n = static_cast<int>(counted);
    if (chars[n - 1] == 0) {
        text->setTerminated(chars, n - 1);
    } else {
        text->set(chars, n);
    }
    return static_cast<int>(encoded);
}

bool YavProxyIFMsgString::appendTrace(YavString* out, const YavStringRef& text) {
    const int length = text.getLength();
    if (length == 0) return true;
    return yav_uri_encode_ascii(out, text.getData(), length);
}

int YavProxyIFMsgString::marshal(unsigned char* buffer, int size) const {
    const int64_t encoded = encodedSize(m_data);
    if (encoded > INT_MAX) return -1;
    const int length = static_cast<int>(encoded);
    if (size == 0) return length;
    checkBuffer(buffer, length, size);
    write(buffer, m_data);
    return length;
}

int YavProxyIFMsgString::unmarshal(const unsigned char* buffer, int size) {
    return read(buffer, size, &m_data);
}

yav_status_t YavProxyIFMsgString::createString(YavString* out) const {
    out->clear();
    return appendTrace(out, m_data) ? 0 : YAV_S_NO_MEMORY;
}
