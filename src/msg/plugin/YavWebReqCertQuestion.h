// YavWebReqCertQuestion: the client-certificate part of a web request
// question -- the issuer DN, subject DN and serial number of the
// certificate the browser presented, each optional.
//
// Wire form (a message value, see YavProxyIFMsgData): the flags word
// (YavProxyIFMsgInt), then the present strings in the order issuer DN
// (flag kIssuerDN), subject DN (kSubjectDN), serial number (kSerialNumber),
// each encoded as a YavProxyIFMsgString.
//
// Memory: the texts are references to the caller's bytes (the certificate
// view's, or after unmarshal the received element's); nothing is copied.
// Threads: one thread at a time.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBREQCERTQUESTION_H
#define YAV_MSG_PLUGIN_YAVWEBREQCERTQUESTION_H

#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgString.h"

class YAV_EXPORT YavWebReqCertQuestion : public YavProxyIFMsgData {
  public:
    static constexpr int kIssuerDN = 0x1;
    static constexpr int kSubjectDN = 0x2;
    static constexpr int kSerialNumber = 0x4;
    static constexpr int kAllFlags = kIssuerDN | kSubjectDN | kSerialNumber;

    YavWebReqCertQuestion() = default;

    // -1 when the encoded size would exceed INT_MAX.
    int marshal(unsigned char* buffer, int size) const override;
    // Reads the flags and the strings they announce; -1 for a flag word
    // with unknown bits or a value that does not fit in size.  On -1 the
    // object is left empty.
    int unmarshal(const unsigned char* buffer, int size) override;
    // "Flags: <n>" and "Issuer: ", "Subject: ", "Serial: " with the
    // URI-encoded text of each present value.
    yav_status_t createString(YavString* out) const override;

    // Each stores a reference to the text and sets its flag.
    void setIssuerDN(const YavStringRef& dn);
    void setSubjectDN(const YavStringRef& dn);
    void setSerialNumber(const YavStringRef& serial);
    // Each gives the stored text, or YAV_S_NOT_AVAILABLE when its flag is
    // clear.
    yav_status_t getIssuerDN(YavStringRef& dn) const;
    yav_status_t getSubjectDN(YavStringRef& dn) const;
    yav_status_t getSerialNumber(YavStringRef& serial) const;

    int getFlags() const { return m_flags.get(); }
    // No value present.
    void clear();

  private:
    YavProxyIFMsgInt m_flags;
    YavProxyIFMsgString m_issuerDN;
    YavProxyIFMsgString m_subjectDN;
    YavProxyIFMsgString m_serialNumber;
};

#endif  // YAV_MSG_PLUGIN_YAVWEBREQCERTQUESTION_H
