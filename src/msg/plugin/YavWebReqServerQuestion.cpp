#include "msg/plugin/YavWebReqServerQuestion.h"

#include "core/msg/yav_status.h"
#include "msg/plugin/YavWebReqPartCodec.h"

int YavWebReqServerQuestion::marshal(unsigned char* buffer, int size) const {
    const YavWebReqPartCodec::Slot slots[] = {
        {kVHostID, &m_vhostID, "VHostID"}, {kName, &m_name, "Name"}, {kPort, &m_port, "Port"}};
    return YavWebReqPartCodec::marshal(m_flags.get(), slots, 3, buffer, size);
}

int YavWebReqServerQuestion::unmarshal(const unsigned char* buffer, int size) {
    clear();
    const YavWebReqPartCodec::ReadSlot slots[] = {
        {kVHostID, &m_vhostID}, {kName, &m_name}, {kPort, &m_port}};
    int flags = 0;
    const int consumed = YavWebReqPartCodec::unmarshal(buffer, size, kAllFlags, slots, 3, &flags);
    if (consumed < 0) {
        clear();
        return -1;
    }
    m_flags.set(flags);
    return consumed;
}

yav_status_t YavWebReqServerQuestion::createString(YavString* out) const {
    const YavWebReqPartCodec::Slot slots[] = {
        {kVHostID, &m_vhostID, "VHostID"}, {kName, &m_name, "Name"}, {kPort, &m_port, "Port"}};
    return YavWebReqPartCodec::createString(m_flags.get(), slots, 3, out);
}

void YavWebReqServerQuestion::clear() {
    m_flags.set(0);
    m_vhostID.get().clear();
    m_name.get().clear();
    m_port.set(0);
}

void YavWebReqServerQuestion::setVHostID(const YavStringRef& id) {
    m_vhostID.set(id);
    m_flags.set(m_flags.get() | kVHostID);
}

void YavWebReqServerQuestion::setName(const YavStringRef& name) {
    m_name.set(name);
    m_flags.set(m_flags.get() | kName);
}

void YavWebReqServerQuestion::setPort(int port) {
    m_port.set(port);
    m_flags.set(m_flags.get() | kPort);
}

yav_status_t YavWebReqServerQuestion::getVHostID(YavStringRef& id) const {
    if ((m_flags.get() & kVHostID) == 0) return YAV_S_NOT_AVAILABLE;
    id = m_vhostID.get();
    return 0;
}

yav_status_t YavWebReqServerQuestion::getName(YavStringRef& name) const {
    if ((m_flags.get() & kName) == 0) return YAV_S_NOT_AVAILABLE;
    name = m_name.get();
    return 0;
}

yav_status_t YavWebReqServerQuestion::getPort(int* port) const {
    if ((m_flags.get() & kPort) == 0) return YAV_S_NOT_AVAILABLE;
    *port = m_port.get();
    return 0;
}
