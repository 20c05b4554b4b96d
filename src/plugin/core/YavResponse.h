// YavResponse: the HTTP response under construction for a request, as the
// plug-in sees it.  The web-server module implements the pure operations by
// derivation; the authorization server's answer sets the status code,
// headers, content type and body through them, and the core finishes the
// response with finalizeHeader / finalizeBody.  When the server asks to see
// a response, the core sends it the raw response (getHTTPBuffer) with the
// session ID kept here.
//
// Statuses: 0 on success, YAV_S_NOT_SUPPORTED when the view does not offer
// the operation, YAV_S_NOT_AVAILABLE when the datum is absent (the core
// treats YAV_S_NOT_AVAILABLE from getSubCode as "no sub-code").
//
// Memory: references handed out by getters point into memory the view owns
// and stay valid until the view is destroyed or the datum changes; values
// given to setters are valid only during the call.  The session ID refers to
// text the module owns, which must outlive the response's use of it.
//
// Threads: a response belongs to one exchange and is used by one thread at a
// time; no locks.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVRESPONSE_H
#define YAV_PLUGIN_CORE_YAVRESPONSE_H

#include <cstdint>

#include "core/buffers/YavBuffer.h"
#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavMessage.h"

class YAV_EXPORT YavResponse : public YavMessage {
  public:
    // Keep-alive not set, empty session ID, process-heap allocator.
    YavResponse();
    ~YavResponse() override;

    // The cookie called name that the response sets: value, path, domain,
    // comment and max-age (null output pointers are skipped), whether it is
    // secure (0 or 1) and its version (-1 when it has none).  Default:
    // YAV_S_NOT_SUPPORTED.
    virtual yav_status_t getCookie(const YavStringRef& name, YavNCPStringRef* value,
                                   YavNCPStringRef* path, YavNCPStringRef* domain,
                                   YavNCPStringRef* comment, YavNCPStringRef* maxAge, int* secure,
                                   int* version);
    // Makes the response set the cookie called name, with the optional
    // parts (null = none), secure 0 or 1 and version (-1 = none).
    virtual yav_status_t setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                                   const YavStringRefT<char>* path,
                                   const YavStringRefT<char>* domain,
                                   const YavStringRefT<char>* comment,
                                   const YavStringRefT<char>* maxAge, int secure, int version) = 0;
    // The body produced so far.  Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t getBody(YavBuffer* body);
    // The raw response as produced by the server.  Default:
    // YAV_S_NOT_SUPPORTED.
    virtual yav_status_t getHTTPBuffer(YavBuffer* raw);
    // Adds data to the end of the body being built.  The plug-in calls it
    // once per piece, in order, after it has set "Content-Length" to the
    // total of the pieces and called finalizeHeader.
    virtual yav_status_t setBody(const YavBuffer& data) = 0;
    // The body is to be the content of the named file (the name as the
    // authorization server sent it).
    virtual yav_status_t setBodyFromFile(const YavStringRef& path) = 0;
    // The HTTP status code.  Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t getCode(int* code);
    virtual yav_status_t setCode(int code) = 0;
    // A server-specific refinement of the status code.  Defaults:
    // getSubCode YAV_S_NOT_AVAILABLE, setSubCode 0 (ignored).
    virtual yav_status_t getSubCode(int* subCode);
    virtual yav_status_t setSubCode(int subCode);
    // Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t getContentType(YavNCPStringRef* type);
    virtual yav_status_t setContentType(const YavStringRef& type) = 0;
    // setHeader("Connection", "Keep-Alive"); on success remembers that
    // keep-alive is set.  Returns the status of setHeader.
    virtual yav_status_t setKeepAlive();
    // Called with 1 when the transaction's result becomes
    // yav_send_default_rsp_to_client: the module sends its own response for
    // the status code that was set.
    virtual yav_status_t setDefaultResponse(int useDefault) = 0;
    // Asks the module to capture the response the web server produces for
    // this request and send it to the authorization server; target is the
    // text the server sent with the command.  Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t setCaptureRsp(const YavStringRef& target, const YavStringRef& vhostId,
                                       const YavStringRef& uri, const int security);
    // Forgets what was built so far and starts an empty response.
    // Default: 0 (nothing to forget).
    virtual yav_status_t beginNew();
    // The body is to be the module's default body for the status code.
    // Default: 0.
    virtual yav_status_t setBodyToDefault();

    bool isKeepAliveSet() const { return m_keepAliveSet; }
    // The session ID sent to the authorization server with the response.
    const YavStringRef& getSessionID() const { return m_sessionID; }
    // Refers to id's text (no copy).
    void setSessionID(const YavStringRef& id) { m_sessionID = id; }

  protected:
    bool m_keepAliveSet;
    YavStringRef m_sessionID;
};

#endif  // YAV_PLUGIN_CORE_YAVRESPONSE_H
