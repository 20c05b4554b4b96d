// Recording views for tests: a transaction, request, response, server, SSL
// session and client certificate that write every call, with its arguments,
// into a call log, and whose results a test presets.
//
// Calls are logged as "<view>.<operation>(<arg>,<arg>...)", the view being
// one of trans, req, rsp, srv, ssl, cert; texts and buffers appear as their
// bytes, numbers in decimal, a null pointer argument as "-".  The views of
// one exchange (YavTestExchange) share one log, so a test can check the
// order of calls across views.
//
// Results.  presets.set(op, status[, text[, number]]) makes operation op
// return status and, on status 0, hand out text (string and buffer getters)
// or number (int and bool getters).  Without a preset:
// - an operation the view class implements by default runs that default
//   (so the base behaviour can be tested through these views);
// - a pure getter returns YAV_S_NOT_SUPPORTED ("not offered"), except the
//   header getters, which look the name up in the view's headers and return
//   YAV_S_NOT_AVAILABLE when it is not there;
// - a pure setter or action returns 0.
// Setters of the request's URI, query, method text and version, and the
// response's code, also change what the matching getter returns from then
// on; setHeader / addHeader / removeHeader change the view's headers.
//
// Overloads share one name in the log and the presets except
// getMethod(YavHTTPMethod*) ("getMethodCode") and setMethod(YavHTTPMethod)
// ("setMethodCode").
//
// Single-threaded; the views are owned as YavTestExchange describes.
#ifndef YAV_PLUGIN_CORE_YAV_VIEW_TEST_AIDS_H
#define YAV_PLUGIN_CORE_YAV_VIEW_TEST_AIDS_H

#include <strings.h>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/buffers/YavBuffer.h"
#include "core/buffers/YavString.h"
#include "core/msg/yav_status.h"
#include "plugin/core/YavClientCert.h"
#include "plugin/core/YavRequest.h"
#include "plugin/core/YavResponse.h"
#include "plugin/core/YavSSLSession.h"
#include "plugin/core/YavServer.h"
#include "plugin/core/YavTransaction.h"

class YavTestCallLog {
  public:
    void add(std::string entry) { m_entries.push_back(std::move(entry)); }
    const std::vector<std::string>& entries() const { return m_entries; }
    // Entries that begin with prefix, e.g. "rsp.setBody(".
    std::vector<std::string> matching(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& e : m_entries) {
            if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
        }
        return out;
    }
    int count(const std::string& prefix) const { return static_cast<int>(matching(prefix).size()); }
    // Index of the first entry equal to entry, or -1.
    int indexOf(const std::string& entry) const {
        for (size_t i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i] == entry) return static_cast<int>(i);
        }
        return -1;
    }
    void clear() { m_entries.clear(); }

  private:
    std::vector<std::string> m_entries;
};

struct YavTestPreset {
    yav_status_t status = 0;
    std::string text;
    long number = 0;
};

class YavTestPresets {
  public:
    void set(const std::string& op, yav_status_t status, const std::string& text = std::string(),
             long number = 0) {
        m_presets[op] = YavTestPreset{status, text, number};
    }
    const YavTestPreset* find(const std::string& op) const {
        auto it = m_presets.find(op);
        return it == m_presets.end() ? nullptr : &it->second;
    }
    void erase(const std::string& op) { m_presets.erase(op); }

  private:
    std::map<std::string, YavTestPreset> m_presets;
};

// The bytes of a text or buffer, for log entries and expectations.
template <class E>
std::string yav_test_text(const YavStringRefT<char, E>& text) {
    return std::string(text.getData(), static_cast<size_t>(text.getLength()));
}
inline std::string yav_test_text(const YavBuffer& buffer) {
    return std::string(reinterpret_cast<const char*>(buffer.getData()),
                       static_cast<size_t>(buffer.getLen()));
}
template <class E>
std::string yav_test_text(const YavStringRefT<char, E>* text) {
    return text == nullptr ? std::string("-") : yav_test_text(*text);
}

// Logging and preset look-up shared by the recording views.
class YavRecordingView {
  public:
    YavTestPresets presets;

    YavTestCallLog& callLog() { return *m_log; }

  protected:
    YavRecordingView(YavTestCallLog* log, const char* prefix)
        : m_log(log != nullptr ? log : &m_ownLog), m_prefix(prefix) {}

    void record(const char* op, std::initializer_list<std::string> args = {}) {
        std::string entry = m_prefix + "." + op + "(";
        bool first = true;
        for (const std::string& a : args) {
            if (!first) entry += ",";
            entry += a;
            first = false;
        }
        m_log->add(entry + ")");
    }
    // The preset status of op, or fallback.
    yav_status_t result(const char* op, yav_status_t fallback) const {
        const YavTestPreset* p = presets.find(op);
        return p != nullptr ? p->status : fallback;
    }
    // When op is preset: true, with *status set and, on status 0, the
    // preset's text (texts, buffers) or number (numbers, flags) in *out.
    template <class Out>
    bool preset(const char* op, Out* out, yav_status_t* status) const {
        const YavTestPreset* p = presets.find(op);
        if (p == nullptr) return false;
        *status = p->status;
        if (p->status == 0 && out != nullptr) give(*p, out);
        return true;
    }
    // A getter: records op, then hands out the preset if there is one, else
    // what fallback returns (the base class's default, or notOffered).
    template <class Out, class F>
    yav_status_t getOr(const char* op, Out* out, F fallback) {
        record(op);
        yav_status_t status;
        return preset(op, out, &status) ? status : fallback();
    }
    static yav_status_t notOffered() { return YAV_S_NOT_SUPPORTED; }
    // A bool operation: the preset's number when there is one, else fallback.
    template <class F>
    bool flagOr(const char* op, F fallback) {
        record(op);
        const YavTestPreset* p = presets.find(op);
        return p != nullptr ? p->number != 0 : fallback();
    }

  private:
    template <class E>
    static void give(const YavTestPreset& p, YavStringRefT<char, E>* out) {
        out->set(p.text.data(), static_cast<int>(p.text.size()));
    }
    static void give(const YavTestPreset& p, YavBuffer* out) {
        out->refer(p.text.data(), static_cast<int>(p.text.size()));
    }
    template <class N>
    static void give(const YavTestPreset& p, N* out) {
        *out = static_cast<N>(p.number);
    }

    YavTestCallLog m_ownLog;
    YavTestCallLog* m_log;
    std::string m_prefix;
};

// Header storage of the recording request and response.
class YavRecordingHeaders {
  public:
    std::vector<std::pair<std::string, std::string>> headers;

    // The first value of name (ASCII case ignored), or null.
    const std::string* find(const std::string& name) const {
        for (const auto& h : headers) {
            if (strcasecmp(h.first.c_str(), name.c_str()) == 0) return &h.second;
        }
        return nullptr;
    }
    void remove(const std::string& name) {
        for (size_t i = 0; i < headers.size();) {
            if (strcasecmp(headers[i].first.c_str(), name.c_str()) == 0) {
                headers.erase(headers.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
    }
    void replace(const std::string& name, const std::string& value) {
        remove(name);
        headers.emplace_back(name, value);
    }
};

// A getter with the parameter out: records "view.name()", then hands out
// the preset of name, else returns fallback (which may use out).
#define YAV_RECORDING_GETTER(name, Param, fallback)         \
    yav_status_t name(Param out) override {                 \
        return getOr(#name, out, [&] { return fallback; }); \
    }

// An action without arguments: records "view.name()", then returns its
// preset status, else what Base::name returns.
#define YAV_RECORDING_ACTION(name, Base)    \
    yav_status_t name() override {          \
        record(#name);                      \
        return result(#name, Base::name()); \
    }
// setName(text): records it; once it succeeds getName returns text.
#define YAV_RECORDING_SETTER(Name)                              \
    yav_status_t set##Name(const YavStringRef& text) override { \
        return setter("set" #Name, "get" #Name, text);          \
    }

class YavRecordingServer : public YavServer, public YavRecordingView {
  public:
    explicit YavRecordingServer(YavTestCallLog* log = nullptr) : YavRecordingView(log, "srv") {}

    YAV_RECORDING_GETTER(getVHostID, YavStringRef*, notOffered())
    YAV_RECORDING_GETTER(getName, YavStringRef*, notOffered())
    YAV_RECORDING_GETTER(getPort, int*, notOffered())
};

class YavRecordingClientCert : public YavClientCert, public YavRecordingView {
  public:
    explicit YavRecordingClientCert(YavTestCallLog* log = nullptr, bool* destroyed = nullptr)
        : YavRecordingView(log, "cert"), m_destroyed(destroyed) {}
    ~YavRecordingClientCert() override {
        if (m_destroyed != nullptr) *m_destroyed = true;
    }

    YAV_RECORDING_GETTER(getIssuerDN, YavStringRef*, notOffered())
    YAV_RECORDING_GETTER(getSubjectDN, YavStringRef*, notOffered())
    YAV_RECORDING_GETTER(getSerialNumber, YavStringRef*, notOffered())

  private:
    bool* m_destroyed;  // set to true by the destructor when not null
};

class YavRecordingSSLSession : public YavSSLSession, public YavRecordingView {
  public:
    explicit YavRecordingSSLSession(YavTestCallLog* log = nullptr) : YavRecordingView(log, "ssl") {}

    YAV_RECORDING_GETTER(getID, YavBuffer*, YavSSLSession::getID(out))
    bool canRequestClientCert() override {
        return flagOr("canRequestClientCert",
                      [&] { return YavSSLSession::canRequestClientCert(); });
    }
    yav_status_t requestClientCert() override {
        record("requestClientCert");
        return presets.find("requestClientCert") != nullptr ? result("requestClientCert", 0)
                                                            : YavSSLSession::requestClientCert();
    }
};

// Shared by the recording request and response: the header operations and
// the two finalize steps of YavMessage.
#define YAV_RECORDING_MESSAGE_OPERATIONS(Base)                                                    \
    YavRecordingHeaders headers;                                                                  \
    yav_status_t getUTF8Header(const YavStringRef& name, YavStringRef* value) override {          \
        return getHeader("getUTF8Header", name, value);                                           \
    }                                                                                             \
    yav_status_t getNCPHeader(const YavStringRef& name, YavNCPStringRef* value) override {        \
        return getHeader("getNCPHeader", name, value);                                            \
    }                                                                                             \
    YAV_RECORDING_GETTER(getNextUTF8Header, YavStringRef*, notOffered())                          \
    YAV_RECORDING_GETTER(getNextNCPHeader, YavNCPStringRef*, notOffered())                        \
    yav_status_t setHeader(const YavStringRef& name, const YavStringRefT<char>& value) override { \
        record("setHeader", {yav_test_text(name), yav_test_text(value)});                         \
        yav_status_t status = result("setHeader", 0);                                             \
        if (status == 0) headers.replace(yav_test_text(name), yav_test_text(value));              \
        return status;                                                                            \
    }                                                                                             \
    yav_status_t addHeader(const YavStringRef& name, const YavStringRefT<char>& value) override { \
        record("addHeader", {yav_test_text(name), yav_test_text(value)});                         \
        yav_status_t status = result("addHeader", 0);                                             \
        if (status == 0) headers.headers.emplace_back(yav_test_text(name), yav_test_text(value)); \
        return status;                                                                            \
    }                                                                                             \
    YAV_RECORDING_ACTION(finalizeHeader, Base)                                                    \
    YAV_RECORDING_ACTION(finalizeBody, Base)                                                      \
                                                                                                  \
  private:                                                                                        \
    /* The preset, else the value of the header name, else "not there". */                        \
    template <class Ref>                                                                          \
    yav_status_t getHeader(const char* op, const YavStringRef& name, Ref* value) {                \
        record(op, {yav_test_text(name)});                                                        \
        yav_status_t status;                                                                      \
        if (preset(op, value, &status)) return status;                                            \
        const std::string* found = headers.find(yav_test_text(name));                             \
        if (found == nullptr) return YAV_S_NOT_AVAILABLE;                                         \
        value->set(found->data(), static_cast<int>(found->size()));                               \
        return 0;                                                                                 \
    }                                                                                             \
                                                                                                  \
  public:

class YavRecordingRequest : public YavRequest, public YavRecordingView {
  public:
    explicit YavRecordingRequest(YavAllocator* allocator = nullptr, YavTestCallLog* log = nullptr)
        : YavRequest(allocator), YavRecordingView(log, "req") {}

    YAV_RECORDING_MESSAGE_OPERATIONS(YavRequest)

    yav_status_t getCookie(const YavStringRef& name, YavNCPStringRef* value, YavNCPStringRef*,
                           YavNCPStringRef*, int*) override {
        record("getCookie", {yav_test_text(name)});
        yav_status_t status = YAV_S_NOT_SUPPORTED;
        preset("getCookie", value, &status);
        return status;
    }
    yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                           const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                           int version) override {
        record("setCookie", {yav_test_text(name), yav_test_text(value), yav_test_text(path),
                             yav_test_text(domain), std::to_string(version)});
        return result("setCookie", 0);
    }
    yav_status_t removeHeader(const YavStringRef& name) override {
        record("removeHeader", {yav_test_text(name)});
        yav_status_t status = result("removeHeader", 0);
        if (status == 0) headers.remove(yav_test_text(name));
        return status;
    }
    YAV_RECORDING_GETTER(getQuery, YavStringRef*, notOffered())
    YAV_RECORDING_SETTER(Query)
    YAV_RECORDING_GETTER(getURI, YavStringRef*, notOffered())
    YAV_RECORDING_SETTER(URI)
    yav_status_t getClientIP(YavStringRef& ip) override {
        return getOr("getClientIP", &ip, notOffered);
    }
    YAV_RECORDING_GETTER(getSecurity, int*, notOffered())
    yav_status_t setSecurity(const int security) override {
        record("setSecurity", {std::to_string(security)});
        return result("setSecurity", YavRequest::setSecurity(security));
    }
    yav_status_t getMethod(YavHTTPMethod* method) override {
        return getOr("getMethodCode", method, notOffered);
    }
    YAV_RECORDING_GETTER(getMethod, YavStringRef*, notOffered())
    yav_status_t setMethod(YavHTTPMethod method) override {
        record("setMethodCode", {std::to_string(static_cast<int>(method))});
        return result("setMethodCode", 0);
    }
    YAV_RECORDING_SETTER(Method)
    YAV_RECORDING_GETTER(getVersion, YavStringRef*, notOffered())
    YAV_RECORDING_SETTER(Version)
    YAV_RECORDING_GETTER(getPostData, YavBuffer*, notOffered())
    yav_status_t setBody(const YavBuffer& body) override {
        record("setBody", {yav_test_text(body)});
        return result("setBody", YavRequest::setBody(body));
    }
    yav_status_t retrieveBody(int size) override {
        record("retrieveBody", {std::to_string(size)});
        return result("retrieveBody", YavRequest::retrieveBody(size));
    }
    YAV_RECORDING_GETTER(getHTTPBuffer, YavBuffer*, notOffered())
    YAV_RECORDING_GETTER(getConnectionID, YavStringRef*, YavRequest::getConnectionID(out))
    YAV_RECORDING_GETTER(getWSAUser, YavStringRef*, YavRequest::getWSAUser(out))
    yav_status_t setWSAUser(YavStringRef* user) override {
        record("setWSAUser", {yav_test_text(user)});
        return result("setWSAUser", YavRequest::setWSAUser(user));
    }
    YAV_RECORDING_ACTION(requestWSA, YavRequest)
    YAV_RECORDING_ACTION(setWSARequested, YavRequest)
    yav_status_t getWSARequested(bool& requested) override {
        return getOr("getWSARequested", &requested,
                     [&] { return YavRequest::getWSARequested(requested); });
    }
    bool isSubRequest() override {
        return flagOr("isSubRequest", [&] { return YavRequest::isSubRequest(); });
    }
    yav_status_t setWebLogUser(const YavStringRef& a, const YavStringRef& b,
                               const YavStringRef& c) override {
        record("setWebLogUser", {yav_test_text(a), yav_test_text(b), yav_test_text(c)});
        return result("setWebLogUser", 0);
    }

  private:
    // Records op(value); on success the getter returns value from now on.
    yav_status_t setter(const char* op, const char* getterOp, const YavStringRef& value) {
        std::string text = yav_test_text(value);
        record(op, {text});
        yav_status_t status = result(op, 0);
        if (status == 0) presets.set(getterOp, 0, text);
        return status;
    }
};

class YavRecordingResponse : public YavResponse, public YavRecordingView {
  public:
    explicit YavRecordingResponse(YavTestCallLog* log = nullptr) : YavRecordingView(log, "rsp") {}

    YAV_RECORDING_MESSAGE_OPERATIONS(YavResponse)

    yav_status_t getCookie(const YavStringRef& name, YavNCPStringRef* value, YavNCPStringRef* path,
                           YavNCPStringRef* domain, YavNCPStringRef* comment,
                           YavNCPStringRef* maxAge, int* secure, int* version) override {
        record("getCookie", {yav_test_text(name)});
        yav_status_t status;
        return preset("getCookie", value, &status)
                   ? status
                   : YavResponse::getCookie(name, value, path, domain, comment, maxAge, secure,
                                            version);
    }
    yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                           const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                           const YavStringRefT<char>* comment, const YavStringRefT<char>* maxAge,
                           int secure, int version) override {
        record("setCookie", {yav_test_text(name), yav_test_text(value), yav_test_text(path),
                             yav_test_text(domain), yav_test_text(comment), yav_test_text(maxAge),
                             std::to_string(secure), std::to_string(version)});
        return result("setCookie", 0);
    }
    YAV_RECORDING_GETTER(getBody, YavBuffer*, YavResponse::getBody(out))
    YAV_RECORDING_GETTER(getHTTPBuffer, YavBuffer*, YavResponse::getHTTPBuffer(out))
    yav_status_t setBody(const YavBuffer& data) override {
        record("setBody", {yav_test_text(data)});
        return result("setBody", 0);
    }
    yav_status_t setBodyFromFile(const YavStringRef& path) override {
        record("setBodyFromFile", {yav_test_text(path)});
        return result("setBodyFromFile", 0);
    }
    YAV_RECORDING_GETTER(getCode, int*, YavResponse::getCode(out))
    yav_status_t setCode(int code) override {
        record("setCode", {std::to_string(code)});
        yav_status_t status = result("setCode", 0);
        if (status == 0) presets.set("getCode", 0, std::string(), code);
        return status;
    }
    YAV_RECORDING_GETTER(getSubCode, int*, YavResponse::getSubCode(out))
    yav_status_t setSubCode(int subCode) override {
        record("setSubCode", {std::to_string(subCode)});
        return result("setSubCode", YavResponse::setSubCode(subCode));
    }
    YAV_RECORDING_GETTER(getContentType, YavNCPStringRef*, YavResponse::getContentType(out))
    yav_status_t setContentType(const YavStringRef& type) override {
        record("setContentType", {yav_test_text(type)});
        return result("setContentType", 0);
    }
    yav_status_t setDefaultResponse(int useDefault) override {
        record("setDefaultResponse", {std::to_string(useDefault)});
        return result("setDefaultResponse", 0);
    }
    yav_status_t setCaptureRsp(const YavStringRef& target, const YavStringRef& vhostId,
                               const YavStringRef& uri, const int security) override {
        record("setCaptureRsp", {yav_test_text(target), yav_test_text(vhostId), yav_test_text(uri),
                                 std::to_string(security)});
        return result("setCaptureRsp", YavResponse::setCaptureRsp(target, vhostId, uri, security));
    }
    YAV_RECORDING_ACTION(beginNew, YavResponse)
    YAV_RECORDING_ACTION(setBodyToDefault, YavResponse)
};

class YavRecordingTransaction : public YavTransaction, public YavRecordingView {
  public:
    // The lines writeLog was given, with their levels.
    std::vector<std::pair<int, std::string>> lines;

    explicit YavRecordingTransaction(YavAllocator* allocator = nullptr,
                                     YavTestCallLog* log = nullptr)
        : YavTransaction(allocator), YavRecordingView(log, "trans") {}

    // Points the transaction at its views (either may be null).
    void attach(YavRequest* request, YavResponse* response) {
        m_request = request;
        m_response = response;
    }

    yav_status_t writeLog(yav_log_levels_e level, const char* text) override {
        record("writeLog", {std::to_string(static_cast<int>(level)), text});
        lines.emplace_back(static_cast<int>(level), text);
        return result("writeLog", 0);
    }
    YAV_RECORDING_ACTION(prepareForRetry, YavTransaction)
};

// One exchange: transaction, request with a server view (and, when asked, an
// SSL session), response, all logging into `log`.  The request owns the
// server and SSL views (server and ssl point at them); ssl is null unless
// withSSL.
struct YavTestExchange {
    YavTestCallLog log;
    YavRecordingRequest request;
    YavRecordingResponse response;
    YavRecordingTransaction trans;
    YavRecordingServer* server;
    YavRecordingSSLSession* ssl;

    explicit YavTestExchange(bool withSSL = false, YavAllocator* allocator = nullptr)
        : request(allocator, &log),
          response(&log),
          trans(allocator, &log),
          server(new YavRecordingServer(&log)),
          ssl(withSSL ? new YavRecordingSSLSession(&log) : nullptr) {
        request.setServer(server);
        request.setSSLSession(ssl);
        trans.attach(&request, &response);
    }

    // The view named "req", "rsp", "srv" or "ssl".
    // REQUIRES: name is one of these; "ssl" only withSSL.
    YavRecordingView& view(const std::string& name) {
        if (name == "req") return request;
        if (name == "rsp") return response;
        return name == "srv" ? static_cast<YavRecordingView&>(*server) : *ssl;
    }
};

#undef YAV_RECORDING_MESSAGE_OPERATIONS
#undef YAV_RECORDING_GETTER
#undef YAV_RECORDING_ACTION
#undef YAV_RECORDING_SETTER

#endif  // YAV_PLUGIN_CORE_YAV_VIEW_TEST_AIDS_H
