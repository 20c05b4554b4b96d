#include "msg/core/YavProxyIFMsgNameValue.h"

#include <climits>

#include "core/msg/yav_status.h"

int YavProxyIFMsgNameValue::marshal(unsigned char* buffer, int size) const {
    const int64_t nameSize = YavProxyIFMsgString::encodedSize(m_name.get());
    const int64_t encoded = nameSize + YavProxyIFMsgString::encodedSize(m_value.get());
    if (encoded > INT_MAX) return -1;
    const int length = static_cast<int>(encoded);
    if (size == 0) return length;
    checkBuffer(buffer, length, size);
    YavProxyIFMsgString::write(buffer, m_name.get());
    YavProxyIFMsgString::write(buffer + nameSize, m_value.get());
    return length;
}

int YavProxyIFMsgNameValue::unmarshal(const unsigned char* buffer, int size) {
    YavStringRef name;
    YavStringRef value;
    int nameUsed = YavProxyIFMsgString::read(buffer, size, &name);
    if (nameUsed < 0) return -1;
    int remaining = size - nameUsed;
    if (remaining <= 0) return -1;  // no value after the name
    int valueUsed = YavProxyIFMsgString::read(buffer + nameUsed, remaining, &value);
    if (valueUsed < 0) return -1;
    m_name.set(name);
    m_value.set(value);
    return nameUsed + valueUsed;
}

yav_status_t YavProxyIFMsgNameValue::createString(YavString* out) const {
    out->clear();
    bool ok = out->append("Name: ") && YavProxyIFMsgString::appendTrace(out, m_name.get()) &&
              out->append(" - Value: ") && YavProxyIFMsgString::appendTrace(out, m_value.get());
    return ok ? 0 : YAV_S_NO_MEMORY;
}
