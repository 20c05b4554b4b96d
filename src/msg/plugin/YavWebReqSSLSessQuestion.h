// YavWebReqSSLSessQuestion: the SSL-session part of a web request question
// -- the session ID, whether the server can ask the browser for a client
// certificate, whether it has asked already, and the client certificate.
//
// Wire form (a message value, see YavProxyIFMsgData): the flags word, then
// the present values in the order session ID (kID, a byte buffer),
// can-request value (kCanRequestValue, an integer 0 or 1), certificate part
// (kClientCert, a YavWebReqCertQuestion).  kClientCertRequested carries its
// meaning by itself.
//
// Memory: the session ID and the certificate texts are references to the
// caller's bytes.  Threads: one thread at a time.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBREQSSLSESSQUESTION_H
#define YAV_MSG_PLUGIN_YAVWEBREQSSLSESSQUESTION_H

#include "core/buffers/YavBuffer.h"
#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/plugin/YavWebReqCertQuestion.h"

class YAV_EXPORT YavWebReqSSLSessQuestion : public YavProxyIFMsgData {
  public:
    static constexpr int kID = 0x1;
    static constexpr int kClientCert = 0x2;
    static constexpr int kClientCertRequested = 0x4;
    static constexpr int kCanRequestValue = 0x8;
    static constexpr int kAllFlags = kID | kClientCert | kClientCertRequested | kCanRequestValue;

    YavWebReqSSLSessQuestion() = default;

    // -1 when the encoded size would exceed INT_MAX.
    int marshal(unsigned char* buffer, int size) const override;
    // -1 for unknown flag bits or a value that does not fit in size; the
    // object is then left empty.
    int unmarshal(const unsigned char* buffer, int size) override;
    // "Flags: <n>" and "ID: ", "CanRequest: ", "Cert: " for present values.
    yav_status_t createString(YavString* out) const override;

    // Refers to the bytes of id and sets kID.
    void setID(const YavBuffer& id);
    // Sets kCanRequestValue and the value.
    void setCanRequestClientCert(bool can);
    // True when kCanRequestValue is clear, else the value.
    bool canRequestClientCert() const;
    // The certificate part; setClientCert() marks it present.
    YavWebReqCertQuestion* getClientCert() { return &m_clientCert; }
    const YavWebReqCertQuestion* getClientCert() const { return &m_clientCert; }
    void setClientCert();
    bool hasClientCert() const { return (m_flags.get() & kClientCert) != 0; }
    // Sets or clears kClientCertRequested.
    void setClientCertRequested(bool requested);
    bool getClientCertRequested() const { return (m_flags.get() & kClientCertRequested) != 0; }
    // Refers id to the session ID; YAV_S_NOT_AVAILABLE when kID is clear.
    yav_status_t getID(YavBuffer& id) const;

    int getFlags() const { return m_flags.get(); }
    void clear();

  private:
    YavProxyIFMsgInt m_flags;
    YavProxyIFMsgBuffer m_id;
    YavProxyIFMsgInt m_canRequestClientCert;
    YavWebReqCertQuestion m_clientCert;
};

#endif  // YAV_MSG_PLUGIN_YAVWEBREQSSLSESSQUESTION_H
