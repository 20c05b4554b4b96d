// YavRequest: an HTTP request as the plug-in sees it.  The web-server module
// implements the pure operations by derivation over its server's request
// structures; the plug-in core reads the request to decide it and to describe
// it to the authorization server, and the server's answer changes it through
// the setters (headers, URI, query, method, version, body, ...).
//
// Statuses: 0 on success, YAV_S_NOT_SUPPORTED when the view does not offer
// the operation, YAV_S_NOT_AVAILABLE when it is offered but the datum is
// absent.  The core treats YAV_S_NOT_AVAILABLE from getURI and getQuery as
// "no URI" / "no query" rather than as a failure.  Operations with a default
// below may be left alone by a module whose server cannot do them.
//
// Memory: the request owns its server view and its SSL-session view (both
// made with new) and deletes them when it is destroyed.  References handed
// out by getters point into memory the view owns and stay valid until the
// view is destroyed or the datum changes; the full URL is a member string
// (from the request's allocator).  Values given to setters are valid only
// during the call; a view that keeps one copies it.
//
// Threads: a request belongs to one exchange and is used by one thread at a
// time; no locks.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVREQUEST_H
#define YAV_PLUGIN_CORE_YAVREQUEST_H

#include "core/buffers/YavBuffer.h"
#include "core/buffers/YavString.h"
#include "core/http/YavHTTP.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavMessage.h"
#include "plugin/core/YavSSLSession.h"
#include "plugin/core/YavServer.h"

class YAV_EXPORT YavRequest : public YavMessage {
  public:
    // No server view, no SSL session, full URL not built.  allocator: the
    // memory of the request (null = process heap).
    explicit YavRequest(YavAllocator* allocator);
    // Deletes the server and SSL-session views.
    ~YavRequest() override;

    // The cookie called name: its value, path and domain (null output
    // pointers are skipped) and its version (-1 when it has none), as the
    // request cookie set delivers them; YAV_S_NOT_AVAILABLE when there is
    // no such cookie.
    virtual yav_status_t getCookie(const YavStringRef& name, YavNCPStringRef* value,
                                   YavNCPStringRef* path, YavNCPStringRef* domain,
                                   int* version) = 0;
    // Sets the cookie called name to value, with the optional path and
    // domain (null = none) and the cookie version (-1 = none).
    virtual yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                                   const YavStringRefT<char>* path,
                                   const YavStringRefT<char>* domain, int version) = 0;
    // Removes every header called name.
    virtual yav_status_t removeHeader(const YavStringRef& name) = 0;
    // The query (the text after "?", without it); YAV_S_NOT_AVAILABLE when
    // the request has none.
    virtual yav_status_t getQuery(YavStringRef* query) = 0;
    virtual yav_status_t setQuery(const YavStringRef& query) = 0;
    // The URI path; YAV_S_NOT_AVAILABLE when the request has none.
    virtual yav_status_t getURI(YavStringRef* uri) = 0;
    virtual yav_status_t setURI(const YavStringRef& uri) = 0;
    // The address of the client in text form.
    virtual yav_status_t getClientIP(YavStringRef& ip) = 0;
    // The security indicator: 0 for a plain request, non-zero for SSL
    // (full URLs use "https" for any non-zero value; virtual-host and cache
    // look-ups count a value greater than 0 as secure).
    virtual yav_status_t getSecurity(int* security) = 0;
    // Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t setSecurity(const int security);
    virtual yav_status_t getMethod(YavHTTPMethod* method) = 0;
    virtual yav_status_t getMethod(YavStringRef* method) = 0;
    virtual yav_status_t setMethod(YavHTTPMethod method) = 0;
    virtual yav_status_t setMethod(const YavStringRef& method) = 0;
    // The protocol version text, e.g. "HTTP/1.1".
    virtual yav_status_t getVersion(YavStringRef* version) = 0;
    virtual yav_status_t setVersion(const YavStringRef& version) = 0;
    // The request body read so far (the buffer may refer to the view's
    // memory).
    virtual yav_status_t getPostData(YavBuffer* data) = 0;
    // Replaces the request body (the "Content-Length" header has been set
    // already).  Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t setBody(const YavBuffer& body);
    // Asks the web server to read (up to) size bytes of the request body:
    // 0 when the body is there and the request can be sent again,
    // YAV_S_NOT_AVAILABLE when the module must first read more (the result
    // then becomes yav_require_more_body_data).  Default:
    // YAV_S_NOT_SUPPORTED.
    virtual yav_status_t retrieveBody(int size);
    // The raw request as received (the buffer may refer to the view's
    // memory).
    virtual yav_status_t getHTTPBuffer(YavBuffer* raw) = 0;
    // The URL of the request, built once from getSecurity, the server
    // view's getName and getPortString, getURI and getQuery:
    // "http[s]://name[:port]uri[?query]", the port left out when it is the
    // scheme's default.  Later changes of URI or query do not change it.
    // YAV_S_NOT_AVAILABLE without a server view; the first failing status of
    // the views (the URL then stays unbuilt); YAV_S_NO_MEMORY.  *url refers
    // to the member string, valid as long as the request.
    // REQUIRES: url != nullptr.
    virtual yav_status_t getFullURL(YavStringRef* url);
    // An identifier of the client connection.  Default: YAV_S_NOT_AVAILABLE.
    virtual yav_status_t getConnectionID(YavStringRef* id);
    // Web-server authentication (the web server itself authenticates the
    // user).  Defaults: YAV_S_NOT_AVAILABLE.
    virtual yav_status_t getWSAUser(YavStringRef* user);
    virtual yav_status_t setWSAUser(YavStringRef* user);
    // Asks the web server to authenticate the user: 0 (or
    // YAV_S_NOT_AVAILABLE) when the request should be sent again,
    // YAV_S_TRANSITIONAL_RESPONSE when the server first answers the browser
    // with a challenge.
    virtual yav_status_t requestWSA();
    virtual yav_status_t setWSARequested();
    virtual yav_status_t getWSARequested(bool& requested);
    // Whether the request is an internal sub-request of the web server.
    // Default: false.
    virtual bool isSubRequest();
    // Sets the user the web server writes to its access log; the three
    // texts come from the authorization server, in order.
    virtual yav_status_t setWebLogUser(const YavStringRef& first, const YavStringRef& second,
                                       const YavStringRef& third) = 0;

    // The server view (null until the module sets one).
    YavServer* getServer() const { return m_server; }
    // Takes ownership of server (made with new; null allowed), deleting the
    // previous one.
    void setServer(YavServer* server);
    // The SSL-session view; null for a request that did not come over SSL.
    YavSSLSession* getSSLSession() const { return m_sslSession; }
    // Takes ownership as setServer.
    void setSSLSession(YavSSLSession* session);
    // Whether the authorization server has had the web server read the
    // request body already (it travels back with the next question).
    bool isBodyRequested() const { return m_bodyRequested; }
    void setBodyRequested(bool requested) { m_bodyRequested = requested; }

  protected:
    bool m_bodyRequested;
    YavSSLSession* m_sslSession;  // owned; null when none
    YavServer* m_server;          // owned; null when none
    bool m_fullURLBuilt;
    YavString m_fullURL;  // valid once m_fullURLBuilt
};

#endif  // YAV_PLUGIN_CORE_YAVREQUEST_H
