// The views of one exchange over raw HTTP text, for command-line programs
// that drive YavCore without a web server: YavRawRequest, YavRawResponse,
// YavRawServer, YavRawSSLSession, YavRawClientCert and YavRawTransaction,
// plus the parsers that fill them (yav_raw_parse_request / _response).
//
// Every datum is copied into storage the view owns (standard strings in a
// list, so references handed out stay put while other headers are added or
// removed); a reference a getter hands out stays valid until the view is
// destroyed or that datum changes.  The request owns its server and
// SSL-session views, the session its certificate view, as the view classes
// document.
//
// Threads: one exchange belongs to one thread; no locks.  Not copyable.
#ifndef YAV_TOOLS_YAV_RAW_EXCHANGE_H
#define YAV_TOOLS_YAV_RAW_EXCHANGE_H

#include <list>
#include <string>
#include <utility>
#include <vector>

#include "plugin/core/YavClientCert.h"
#include "plugin/core/YavRequest.h"
#include "plugin/core/YavResponse.h"
#include "plugin/core/YavSSLSession.h"
#include "plugin/core/YavServer.h"
#include "plugin/core/YavTransaction.h"

// Header lines of a message in the order they arrived (or were added).
class YavRawHeaders {
  public:
    typedef std::list<std::pair<std::string, std::string>> List;

    const List& lines() const { return m_lines; }
    // The first value of name (ASCII case ignored); starts an iteration that
    // next() continues.  Null when there is none.
    const std::string* first(const std::string& name);
    // The next value of the name last given to first(); null after the last.
    const std::string* next();
    void add(const std::string& name, const std::string& value);
    void remove(const std::string& name);
    // Replaces every header called name by one, kept at the first one's place.
    void set(const std::string& name, const std::string& value);

  private:
    const std::string* scanFrom(List::const_iterator from);

    List m_lines;
    std::string m_iterName;
    List::const_iterator m_iterPos;
    bool m_iterating = false;
};

class YavRawServer : public YavServer {
  public:
    YavRawServer(std::string vhostId, std::string name, int port)
        : m_vhostId(std::move(vhostId)), m_name(std::move(name)), m_port(port) {}

    yav_status_t getVHostID(YavStringRef* id) override;
    yav_status_t getName(YavStringRef* name) override;
    yav_status_t getPort(int* port) override;

  private:
    std::string m_vhostId;
    std::string m_name;
    int m_port;
};

// A client certificate decoded from DER or PEM bytes.
class YavRawClientCert : public YavClientCert {
  public:
    // A new certificate view for the bytes of a DER file or of a PEM file
    // (its first "CERTIFICATE" block); null when they hold no certificate
    // the decoder understands.
    static YavRawClientCert* fromFileBytes(const std::string& bytes);

    yav_status_t getIssuerDN(YavStringRef* dn) override;
    yav_status_t getSubjectDN(YavStringRef* dn) override;
    yav_status_t getSerialNumber(YavStringRef* serial) override;

  private:
    YavRawClientCert() = default;

    std::string m_issuer;
    std::string m_subject;
    std::string m_serial;
};

class YavRawSSLSession : public YavSSLSession {
  public:
    // id: the session identifier bytes; cert: owned from now on (may be null).
    YavRawSSLSession(std::string id, YavClientCert* cert);

    yav_status_t getID(YavBuffer* id) override;
    // This session cannot renegotiate: there is no browser to ask.
    bool canRequestClientCert() override { return false; }

  private:
    std::string m_id;
};

// The header operations of a raw request or response, over its header
// list (View is YavRequest or YavResponse; its constructors are inherited).
template <class View>
class YavRawHeaderView : public View {
  public:
    using View::View;

    YavRawHeaders headers;

    yav_status_t getUTF8Header(const YavStringRef& name, YavStringRef* value) override;
    yav_status_t getNCPHeader(const YavStringRef& name, YavNCPStringRef* value) override;
    yav_status_t getNextUTF8Header(YavStringRef* value) override;
    yav_status_t getNextNCPHeader(YavNCPStringRef* value) override;
    yav_status_t setHeader(const YavStringRef& name, const YavStringRefT<char>& value) override;
    yav_status_t addHeader(const YavStringRef& name, const YavStringRefT<char>& value) override;
    yav_status_t finalizeHeader() override { return 0; }
    yav_status_t finalizeBody() override { return 0; }
};
extern template class YavRawHeaderView<YavRequest>;
extern template class YavRawHeaderView<YavResponse>;

class YavRawRequest : public YavRawHeaderView<YavRequest> {
  public:
    YavRawRequest() : YavRawHeaderView<YavRequest>(nullptr) {}

    // Fields filled by yav_raw_parse_request (and the program's options).
    std::string method;
    std::string uri;
    bool hasQuery = false;
    std::string query;
    std::string version;
    std::string body;
    std::string raw;
    std::string clientIP = "127.0.0.1";
    int security = 0;
    // What setWebLogUser was given (empty until then).
    std::vector<std::string> webLogUser;

    yav_status_t getCookie(const YavStringRef& name, YavNCPStringRef* value, YavNCPStringRef* path,
                           YavNCPStringRef* domain, int* version) override;
    yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                           const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                           int version) override;
    yav_status_t removeHeader(const YavStringRef& name) override;
    yav_status_t getQuery(YavStringRef* query) override;
    yav_status_t setQuery(const YavStringRef& query) override;
    yav_status_t getURI(YavStringRef* uri) override;
    yav_status_t setURI(const YavStringRef& uri) override;
    yav_status_t getClientIP(YavStringRef& ip) override;
    yav_status_t getSecurity(int* security) override;
    yav_status_t getMethod(YavHTTPMethod* method) override;
    yav_status_t getMethod(YavStringRef* method) override;
    yav_status_t setMethod(YavHTTPMethod method) override;
    yav_status_t setMethod(const YavStringRef& method) override;
    yav_status_t getVersion(YavStringRef* version) override;
    yav_status_t setVersion(const YavStringRef& version) override;
    yav_status_t getPostData(YavBuffer* data) override;
    yav_status_t setBody(const YavBuffer& body) override;
    yav_status_t getHTTPBuffer(YavBuffer* raw) override;
    yav_status_t setWebLogUser(const YavStringRef& first, const YavStringRef& second,
                               const YavStringRef& third) override;

  private:
    std::string m_cookieValue;  // the value getCookie handed out last
};

class YavRawResponse : public YavRawHeaderView<YavResponse> {
  public:
    // The status code; 0 while none is set.
    int code = 0;
    std::string reason;
    std::string body;
    std::string bodyFile;
    std::string contentType;
    std::string raw;
    bool useDefault = false;

    yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                           const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                           const YavStringRefT<char>* comment, const YavStringRefT<char>* maxAge,
                           int secure, int version) override;
    yav_status_t getBody(YavBuffer* body) override;
    yav_status_t getHTTPBuffer(YavBuffer* raw) override;
    yav_status_t setBody(const YavBuffer& data) override;
    yav_status_t setBodyFromFile(const YavStringRef& path) override;
    yav_status_t getCode(int* code) override;
    yav_status_t setCode(int code) override;
    yav_status_t getContentType(YavNCPStringRef* type) override;
    yav_status_t setContentType(const YavStringRef& type) override;
    yav_status_t setDefaultResponse(int useDefault) override;
    yav_status_t beginNew() override;
};

// Collects the lines the plug-in writes to the "web server's log".
class YavRawTransaction : public YavTransaction {
  public:
    YavRawTransaction(YavRawRequest* request, YavRawResponse* response);

    std::vector<std::string> logLines;

    yav_status_t writeLog(yav_log_levels_e level, const char* text) override;
};

// Parses raw request text (request line, header lines, empty line, body)
// into request: 0, or the parser's status (YAV_S_HTTP_BAD_REQUEST for a
// header block that does not end, YAV_S_INVALID_SYS_INPUT for text beyond
// the cursor's size) with a readable reason in *why.
// REQUIRES: request freshly constructed; why != nullptr.
yav_status_t yav_raw_parse_request(const std::string& text, YavRawRequest* request,
                                   std::string* why);
// The same for raw response text (status line, headers, body).
yav_status_t yav_raw_parse_response(const std::string& text, YavRawResponse* response,
                                    std::string* why);

// The name of a transaction result ("yav_continue", ...).
const char* yav_raw_result_name(yav_proxy_rsp_code_e code);

#endif  // YAV_TOOLS_YAV_RAW_EXCHANGE_H
