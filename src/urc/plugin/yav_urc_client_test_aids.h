// Minimal request and server views for the cache client's tests and
// benchmark: a fixed virtual-host ID, security indicator, URI and method,
// each with a status a test may preset.  Every other operation answers
// YAV_S_NOT_SUPPORTED.  Nothing is allocated per call, so the benchmark can
// count the heap allocations of the look-up itself.
//
// Memory: the texts are the caller's (plain C strings that must outlive the
// views).  The request owns its server view (YavRequest deletes it).
// Threads: one thread uses a request at a time.  Not copyable.
#ifndef YAV_URC_PLUGIN_YAV_URC_CLIENT_TEST_AIDS_H
#define YAV_URC_PLUGIN_YAV_URC_CLIENT_TEST_AIDS_H

#include "core/msg/yav_status.h"
#include "plugin/core/YavRequest.h"
#include "plugin/core/YavServer.h"

class YavURCTestServer : public YavServer {
  public:
    explicit YavURCTestServer(const char* vhostID) : m_vhostID(vhostID) {}
    yav_status_t getVHostID(YavStringRef* id) override {
        if (m_status != 0) return m_status;
        *id = YavStringRef(m_vhostID);
        return 0;
    }
    yav_status_t getName(YavStringRef*) override { return YAV_S_NOT_SUPPORTED; }
    yav_status_t getPort(int*) override { return YAV_S_NOT_SUPPORTED; }

    const char* m_vhostID;
    yav_status_t m_status = 0;  // of getVHostID
};

class YavURCTestRequest : public YavRequest {
  public:
    // uri null: the request has no URI (getURI answers YAV_S_NOT_AVAILABLE).
    YavURCTestRequest(const char* vhostID, int security, const char* uri, const char* method)
        : YavRequest(nullptr), m_security(security), m_uri(uri), m_method(method) {
        m_testServer = new YavURCTestServer(vhostID);
        setServer(m_testServer);
    }

    yav_status_t getURI(YavStringRef* uri) override {
        if (m_uri == nullptr) return YAV_S_NOT_AVAILABLE;
        *uri = YavStringRef(m_uri);
        return 0;
    }
    yav_status_t getSecurity(int* security) override {
        if (m_securityStatus != 0) return m_securityStatus;
        *security = m_security;
        return 0;
    }
    yav_status_t getMethod(YavStringRef* method) override {
        if (m_methodStatus != 0) return m_methodStatus;
        *method = YavStringRef(m_method);
        return 0;
    }

    yav_status_t getUTF8Header(const YavStringRef&, YavStringRef*) override { return no(); }
    yav_status_t getNCPHeader(const YavStringRef&, YavNCPStringRef*) override { return no(); }
    yav_status_t getNextUTF8Header(YavStringRef*) override { return no(); }
    yav_status_t getNextNCPHeader(YavNCPStringRef*) override { return no(); }
    yav_status_t setHeader(const YavStringRef&, const YavStringRefT<char>&) override {
        return no();
    }
    yav_status_t addHeader(const YavStringRef&, const YavStringRefT<char>&) override {
        return no();
    }
    yav_status_t getCookie(const YavStringRef&, YavNCPStringRef*, YavNCPStringRef*,
                           YavNCPStringRef*, int*) override {
        return no();
    }
    yav_status_t setCookie(const YavStringRef&, const YavStringRefT<char>&,
                           const YavStringRefT<char>*, const YavStringRefT<char>*, int) override {
        return no();
    }
    yav_status_t removeHeader(const YavStringRef&) override { return no(); }
    yav_status_t getQuery(YavStringRef*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t setQuery(const YavStringRef&) override { return no(); }
    yav_status_t setURI(const YavStringRef&) override { return no(); }
    yav_status_t getClientIP(YavStringRef&) override { return no(); }
    yav_status_t getMethod(YavHTTPMethod*) override { return no(); }
    yav_status_t setMethod(YavHTTPMethod) override { return no(); }
    yav_status_t setMethod(const YavStringRef&) override { return no(); }
    yav_status_t getVersion(YavStringRef*) override { return no(); }
    yav_status_t setVersion(const YavStringRef&) override { return no(); }
    yav_status_t getPostData(YavBuffer*) override { return no(); }
    yav_status_t getHTTPBuffer(YavBuffer*) override { return no(); }
    yav_status_t setWebLogUser(const YavStringRef&, const YavStringRef&,
                               const YavStringRef&) override {
        return no();
    }

    int m_security;
    const char* m_uri;
    const char* m_method;
    yav_status_t m_securityStatus = 0;
    yav_status_t m_methodStatus = 0;
    YavURCTestServer* m_testServer;  // owned by the request (setServer)

  private:
    static yav_status_t no() { return YAV_S_NOT_SUPPORTED; }
};

#endif  // YAV_URC_PLUGIN_YAV_URC_CLIENT_TEST_AIDS_H
