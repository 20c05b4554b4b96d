#include "msg/plugin/YavWebReqCertQuestion.h"

#include "core/msg/yav_status.h"
#include "msg/plugin/YavWebReqPartCodec.h"

int YavWebReqCertQuestion::marshal(unsigned char* buffer, int size) const {
    const YavWebReqPartCodec::Slot slots[] = {{kIssuerDN, &m_issuerDN, "Issuer"},
                                              {kSubjectDN, &m_subjectDN, "Subject"},
                                              {kSerialNumber, &m_serialNumber, "Serial"}};
    return YavWebReqPartCodec::marshal(m_flags.get(), slots, 3, buffer, size);
}

int YavWebReqCertQuestion::unmarshal(const unsigned char* buffer, int size) {
    clear();
    const YavWebReqPartCodec::ReadSlot slots[] = {
        {kIssuerDN, &m_issuerDN}, {kSubjectDN, &m_subjectDN}, {kSerialNumber, &m_serialNumber}};
    int flags = 0;
    const int consumed = YavWebReqPartCodec::unmarshal(buffer, size, kAllFlags, slots, 3, &flags);
    if (consumed < 0) {
        clear();
        return -1;
    }
    m_flags.set(flags);
    return consumed;
}

yav_status_t YavWebReqCertQuestion::createString(YavString* out) const {
    const YavWebReqPartCodec::Slot slots[] = {{kIssuerDN, &m_issuerDN, "Issuer"},
                                              {kSubjectDN, &m_subjectDN, "Subject"},
                                              {kSerialNumber, &m_serialNumber, "Serial"}};
    return YavWebReqPartCodec::createString(m_flags.get(), slots, 3, out);
}

void YavWebReqCertQuestion::clear() {
    m_flags.set(0);
    m_issuerDN.get().clear();
    m_subjectDN.get().clear();
    m_serialNumber.get().clear();
}

void YavWebReqCertQuestion::setIssuerDN(const YavStringRef& dn) {
    m_issuerDN.set(dn);
    m_flags.set(m_flags.get() | kIssuerDN);
}

void YavWebReqCertQuestion::setSubjectDN(const YavStringRef& dn) {
    m_subjectDN.set(dn);
    m_flags.set(m_flags.get() | kSubjectDN);
}

void YavWebReqCertQuestion::setSerialNumber(const YavStringRef& serial) {
    m_serialNumber.set(serial);
    m_flags.set(m_flags.get() | kSerialNumber);
}

namespace {

yav_status_t getIfPresent(int flags, int flag, const YavProxyIFMsgString& value,
                          YavStringRef& out) {
    if ((flags & flag) == 0) return YAV_S_NOT_AVAILABLE;
    out = value.get();
    return 0;
}

}  // namespace

yav_status_t YavWebReqCertQuestion::getIssuerDN(YavStringRef& dn) const {
    return getIfPresent(m_flags.get(), kIssuerDN, m_issuerDN, dn);
}

yav_status_t YavWebReqCertQuestion::getSubjectDN(YavStringRef& dn) const {
    return getIfPresent(m_flags.get(), kSubjectDN, m_subjectDN, dn);
}

yav_status_t YavWebReqCertQuestion::getSerialNumber(YavStringRef& serial) const {
    return getIfPresent(m_flags.get(), kSerialNumber, m_serialNumber, serial);
}
