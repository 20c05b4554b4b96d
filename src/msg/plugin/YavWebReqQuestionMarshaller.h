// YavWebReqQuestionMarshaller: builds the web request question for one
// transaction from its views (request, server, SSL session, client
// certificate) and writes it into a worker's request region as elements:
//     1  the flags word (4 bytes), always;
//     2  the raw HTTP message, as it is, when present and not empty;
//     3  the present strings, each a YavProxyIFMsgString, in the order
//        client IP, URI, query, connection ID, WSA user -- when any is
//        present;
//     4  the server part (YavWebReqServerQuestion), when kServer is set;
//     5  the SSL-session part (YavWebReqSSLSessQuestion), when kSSLSession
//        is set.
// Failures of the views while the question is filled are logged through
// the transaction (logMessage, level yav_log_error) as setData describes.
//
// Memory: the transaction and its views are not owned and must outlive the
// question; texts and bytes are referred to, not copied, until marshal
// writes them into the region.  Buffers the views fill (the HTTP message,
// the session ID) are members, so a view may hand out owned copies.
// Threads: the request's thread only.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBREQQUESTIONMARSHALLER_H
#define YAV_MSG_PLUGIN_YAVWEBREQQUESTIONMARSHALLER_H

#include "core/buffers/YavBuffer.h"
#include "msg/plugin/YavWebReqQuestionBase.h"

class YavRequest;
class YavTransaction;

class YAV_EXPORT YavWebReqQuestionMarshaller : public YavWebReqQuestionBase {
  public:
    // REQUIRES: trans != nullptr (asserted by setData).
    explicit YavWebReqQuestionMarshaller(YavTransaction* trans);
    ~YavWebReqQuestionMarshaller() override = default;

    // setData, then the elements listed above.  The first failing status:
    // that of setData, or YAV_S_NO_MEMORY when the region is full (nothing
    // is logged then).
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    // YAV_S_NOT_SUPPORTED: the plug-in only writes this message.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    int getType() const override { return yav_msg_web_req_question; }

    // The parts; the non-const forms also set kServer / kSSLSession.
    using YavWebReqQuestionBase::getServer;
    using YavWebReqQuestionBase::getSSLSession;
    YavWebReqServerQuestion* getServer() override;
    YavWebReqSSLSessQuestion* getSSLSession() override;

    // Empties the question and fills it from the transaction's views in
    // this order: HTTP message, client IP, URI, query, connection ID,
    // body-requested flag, WSA requested, WSA user, sub-request flag, server
    // part, security level and, for a secure request, the SSL part
    // (session ID, can-request value, certificate, certificate requested).
    // A failing getter of the HTTP message, client IP or URI is logged
    // (YAV_S_MARSHAL_HTTP_BUFFER, _CLIENT_IP, _URI) and the value left out;
    // other failing getters just leave their value out.  Fails, after
    // logging, when the security level cannot be read
    // (YAV_S_MARSHAL_SECURITY_LEVEL, with the getter's status) or a secure
    // request has no SSL-session view (YAV_S_MARSHAL_SECURITY_INFO, failing
    // with YAV_S_NOT_AVAILABLE).  The allocator is not used.
    // REQUIRES: the transaction has its request view (asserted).
    yav_status_t setData(YavSharedMemAllocator& a);

    // Each stores a reference to the value and sets its flag.
    // REQUIRES (setHTTPMessage): no HTTP message set yet (asserted).
    void setHTTPMessage(const YavBuffer& message);
    void setClientIPAddress(const YavStringRef& ip);
    void setURI(const YavStringRef& uri);
    void setQuery(const YavStringRef& query);
    void setConnectionID(const YavStringRef& id);
    void setWSAUser(const YavStringRef& user);
    // Set or clear their flag.
    void setWSARequested(bool requested);
    void setIsSubRequest(bool subRequest);
    void setBodyHasBeenRequested(bool requested);

  private:
    void setFlag(int flag, bool on);
    // Logs code through the transaction with the text of status and status.
    void logFailure(yav_status_t code, yav_status_t status);
    yav_status_t setSecurityData(YavRequest* request);

    YavTransaction* m_trans;
    YavBuffer m_httpMessage;    // refers to the message sent
    YavBuffer m_viewHTTP;       // filled by the request view
    YavBuffer m_viewSessionID;  // filled by the SSL-session view
};

#endif  // YAV_MSG_PLUGIN_YAVWEBREQQUESTIONMARSHALLER_H
