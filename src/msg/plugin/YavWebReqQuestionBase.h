// YavWebReqQuestionBase: the values of a web request question (message type
// yav_msg_web_req_question), which describes a request the plug-in cannot
// decide by itself to the authorization server: a flags word saying which
// values are present, the client IP address, URI and query, the server and
// SSL-session parts, the connection ID and the WSA user.
//
// The base only holds the values; YavWebReqQuestionMarshaller fills them
// from a transaction's views and writes them.  The base's own marshal and
// unmarshal answer YAV_S_NOT_SUPPORTED.
//
// Memory: every text is a reference to bytes the question does not own (the
// views', normally); they must outlive the question's marshal.  Threads: a
// question belongs to the one request thread that builds and sends it.  Not
// copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBREQQUESTIONBASE_H
#define YAV_MSG_PLUGIN_YAVWEBREQQUESTIONBASE_H

#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/plugin/YavWebReqSSLSessQuestion.h"
#include "msg/plugin/YavWebReqServerQuestion.h"
#include "proxyif/framework/YavProxyIFMessage.h"

// The flag of the raw HTTP message (also YavWebReqQuestionBase::kHTTPMessage).
#define YAV_HTTP_MSG 0x020

class YAV_EXPORT YavWebReqQuestionBase : public YavProxyIFMessage {
  public:
    // Bits of the flags word.
    static constexpr int kClientIP = 0x001;
    static constexpr int kURI = 0x002;
    static constexpr int kQuery = 0x004;
    static constexpr int kServer = 0x008;
    static constexpr int kSSLSession = 0x010;
    static constexpr int kHTTPMessage = YAV_HTTP_MSG;
    static constexpr int kConnectionID = 0x040;
    static constexpr int kWSARequested = 0x080;
    static constexpr int kWSAUser = 0x100;
    static constexpr int kSubRequest = 0x200;
    static constexpr int kBodyRequested = 0x400;
    static constexpr int kAllFlags = 0x7ff;
    // The flags whose strings share one element, in the order they are
    // written there.
    static constexpr int kStringFlags = kClientIP | kURI | kQuery | kConnectionID | kWSAUser;

    YavWebReqQuestionBase() = default;
    ~YavWebReqQuestionBase() override = default;

    // YAV_S_NOT_SUPPORTED.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    int getType() const override { return yav_msg_web_req_question; }

    // The parts.  The base does not touch the flags here; the marshaller's
    // non-const forms also mark the part present.
    virtual YavWebReqServerQuestion* getServer() { return &m_server; }
    virtual const YavWebReqServerQuestion* getServer() const { return &m_server; }
    virtual YavWebReqSSLSessQuestion* getSSLSession() { return &m_sslSession; }
    virtual const YavWebReqSSLSessQuestion* getSSLSession() const { return &m_sslSession; }

    int getFlags() const { return m_flags.get(); }

  protected:
    // Nothing present.
    void clear();

    YavProxyIFMsgInt m_flags;
    YavProxyIFMsgString m_clientIP;
    YavProxyIFMsgString m_uri;
    YavProxyIFMsgString m_query;
    YavWebReqServerQuestion m_server;
    YavWebReqSSLSessQuestion m_sslSession;
    YavProxyIFMsgString m_connectionID;
    YavProxyIFMsgString m_wsaUser;
};

#endif  // YAV_MSG_PLUGIN_YAVWEBREQQUESTIONBASE_H
