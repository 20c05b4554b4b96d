#include "msg/plugin/YavWebReqSSLSessQuestion.h"

#include "core/msg/yav_status.h"
#include "msg/plugin/YavWebReqPartCodec.h"

int YavWebReqSSLSessQuestion::marshal(unsigned char* buffer, int size) const {
    const YavWebReqPartCodec::Slot slots[] = {
        {kID, &m_id, "ID"},
        {kCanRequestValue, &m_canRequestClientCert, "CanRequest"},
        {kClientCert, &m_clientCert, "Cert"}};
    return YavWebReqPartCodec::marshal(m_flags.get(), slots, 3, buffer, size);
}

int YavWebReqSSLSessQuestion::unmarshal(const unsigned char* buffer, int size) {
    clear();
    const YavWebReqPartCodec::ReadSlot slots[] = {
        {kID, &m_id}, {kCanRequestValue, &m_canRequestClientCert}, {kClientCert, &m_clientCert}};
    int flags = 0;
    const int consumed = YavWebReqPartCodec::unmarshal(buffer, size, kAllFlags, slots, 3, &flags);
    if (consumed < 0) {
        clear();
        return -1;
    }
    m_flags.set(flags);
    return consumed;
}

yav_status_t YavWebReqSSLSessQuestion::createString(YavString* out) const {
    const YavWebReqPartCodec::Slot slots[] = {
        {kID, &m_id, "ID"},
        {kCanRequestValue, &m_canRequestClientCert, "CanRequest"},
        {kClientCert, &m_clientCert, "Cert"}};
    return YavWebReqPartCodec::createString(m_flags.get(), slots, 3, out);
}

void YavWebReqSSLSessQuestion::clear() {
    m_flags.set(0);
    m_id.get().refer(nullptr, 0);
    m_canRequestClientCert.set(0);
    m_clientCert.clear();
}

void YavWebReqSSLSessQuestion::setID(const YavBuffer& id) {
    m_id.set(id);
    m_flags.set(m_flags.get() | kID);
}

void YavWebReqSSLSessQuestion::setCanRequestClientCert(bool can) {
    m_canRequestClientCert.set(can ? 1 : 0);
    m_flags.set(m_flags.get() | kCanRequestValue);
}

bool YavWebReqSSLSessQuestion::canRequestClientCert() const {
    if ((m_flags.get() & kCanRequestValue) == 0) return true;
    return m_canRequestClientCert.get() != 0;
}

void YavWebReqSSLSessQuestion::setClientCert() { m_flags.set(m_flags.get() | kClientCert); }

void YavWebReqSSLSessQuestion::setClientCertRequested(bool requested) {
    const int flags = m_flags.get();
    m_flags.set(requested ? (flags | kClientCertRequested) : (flags & ~kClientCertRequested));
}

yav_status_t YavWebReqSSLSessQuestion::getID(YavBuffer& id) const {
    if ((m_flags.get() & kID) == 0) return YAV_S_NOT_AVAILABLE;
    id.refer(m_id.get().getData(), m_id.get().getLen());
    return 0;
}
