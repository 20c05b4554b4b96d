// YavCachedRequest: the plug-in's own complete request view, for look-ups
// that have no live web-server request behind them.  It knows a virtual-host
// ID (through the YavCachedServer it owns), a URI and a security indicator;
// those four operations work, the NTLM operations and setWebLogUser report
// YAV_S_NOT_AVAILABLE and every other operation it overrides reports
// YAV_S_NOT_SUPPORTED.
//
// Memory: the URI and the virtual-host ID are references to the caller's
// text (no copies), which must outlive the request's use of them.  The server
// view is a member (not a heap object).
//
// Threads: one thread at a time; no locks.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVCACHEDREQUEST_H
#define YAV_PLUGIN_CORE_YAVCACHEDREQUEST_H

#include "core/buffers/YavBuffer.h"
#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavCachedServer.h"
#include "plugin/core/YavRequest.h"

class YAV_EXPORT YavCachedRequest : public YavRequest {
  public:
    // Empty virtual-host ID and URI, security 0.
    YavCachedRequest();
    // Refers to the three values (see setVHostID, setURI, setSecurity).
    YavCachedRequest(const YavStringRef& vhostId, const YavStringRef& uri, const int security);
    ~YavCachedRequest() override;

    yav_status_t getUTF8Header(const YavStringRef& name, YavStringRef* value) override;
    yav_status_t getNCPHeader(const YavStringRef& name, YavNCPStringRef* value) override;
    yav_status_t getNextUTF8Header(YavStringRef* value) override;
    yav_status_t getNextNCPHeader(YavNCPStringRef* value) override;
    yav_status_t setHeader(const YavStringRef& name, const YavStringRefT<char>& value) override;
    yav_status_t addHeader(const YavStringRef& name, const YavStringRefT<char>& value) override;
    yav_status_t getCookie(const YavStringRef& name, YavNCPStringRef* value, YavNCPStringRef* path,
                           YavNCPStringRef* domain, int* version) override;
    yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                           const YavStringRefT<char>* path, const YavStringRefT<char>* domain,
                           int version) override;
    yav_status_t removeHeader(const YavStringRef& name) override;
    yav_status_t getQuery(YavStringRef* query) override;
    yav_status_t setQuery(const YavStringRef& query) override;
    // 0, *uri referring to the URI given.
    yav_status_t getURI(YavStringRef* uri) override;
    // Refers to uri's text from now on; 0.
    yav_status_t setURI(const YavStringRef& uri) override;
    yav_status_t getClientIP(YavStringRef& ip) override;
    // 0, *security the value given.
    yav_status_t getSecurity(int* security) override;
    // Stores security; 0.
    yav_status_t setSecurity(const int security) override;
    yav_status_t getMethod(YavHTTPMethod* method) override;
    yav_status_t getMethod(YavStringRef* method) override;
    yav_status_t setMethod(YavHTTPMethod method) override;
    yav_status_t setMethod(const YavStringRef& method) override;
    yav_status_t getVersion(YavStringRef* version) override;
    yav_status_t setVersion(const YavStringRef& version) override;
    yav_status_t getPostData(YavBuffer* data) override;
    yav_status_t getHTTPBuffer(YavBuffer* raw) override;
    yav_status_t getFullURL(YavStringRef* url) override;
    bool isSubRequest() override;
    yav_status_t setWebLogUser(const YavStringRef& first, const YavStringRef& second,
                               const YavStringRef& third) override;

    // YAV_S_NOT_SUPPORTED.
    virtual yav_status_t setPostData(const YavBuffer& data);
    // NTLM authentication by the web server: YAV_S_NOT_AVAILABLE.
    virtual yav_status_t getNTLMAuthenticatedUser(YavStringRef* user);
    virtual yav_status_t setNTLMAuthenticatedUser(YavStringRef* user);
    virtual yav_status_t requestNTLMAuthentication();
    virtual yav_status_t setNTLMAuthenticationRequested();
    virtual yav_status_t getNTLMAuthenticationRequested(bool& requested);

    // Sets the ID the server view hands out (a reference to id's text).
    void setVHostID(const YavStringRef& id) { m_cachedServer.setVHostID(id); }

  private:
    YavCachedServer m_cachedServer;  // m_server points here
    YavStringRef m_uri;
    int m_security;
};

#endif  // YAV_PLUGIN_CORE_YAVCACHEDREQUEST_H
