#include "msg/core/YavProxyIFMsgNameInt.h"

#include <climits>

#include "core/msg/yav_status.h"

int YavProxyIFMsgNameInt::marshal(unsigned char* buffer, int size) const {
    const int64_t nameSize = YavProxyIFMsgString::encodedSize(m_name.get());
    const int64_t encoded = nameSize + 4;
    if (encoded > INT_MAX) return -1;
    const int length = static_cast<int>(encoded);
    if (size == 0) return length;
    checkBuffer(buffer, length, size);
    YavProxyIFMsgString::write(buffer, m_name.get());
    writeU32(buffer + nameSize, static_cast<uint32_t>(m_value.get()));
    return length;
}

int YavProxyIFMsgNameInt::unmarshal(const unsigned char* buffer, int size) {
    YavStringRef name;
    int nameUsed = YavProxyIFMsgString::read(buffer, size, &name);
    if (nameUsed < 0) return -1;
    int remaining = size - nameUsed;
    if (remaining <= 0) return -1;  // no value after the name
    YavProxyIFMsgInt value;
    int valueUsed = value.unmarshal(buffer + nameUsed, remaining);
    if (valueUsed < 0) return -1;
    m_name.set(name);
    m_value.set(value.get());
    return nameUsed + valueUsed;
}

yav_status_t YavProxyIFMsgNameInt::createString(YavString* out) const {
    out->clear();
    bool ok = out->append("Name: ") && YavProxyIFMsgString::appendTrace(out, m_name.get()) &&
              out->append(" - Value: ") && YavProxyIFMsgInt::appendDecimal(out, m_value.get());
    return ok ? 0 : YAV_S_NO_MEMORY;
}
