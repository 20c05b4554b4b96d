// YavSSLSession: the SSL session a request came over, as the plug-in sees
// it -- its identifier, the client certificate if the browser presented one,
// and whether the server can and did ask the browser for one.
//
// The web-server module derives from this class and fills the two protected
// fields.  Session and certificate views are made with new.  The request
// view (YavRequest) owns its SSL-session view and deletes it through the
// virtual destructor; the session in turn owns its certificate view and
// deletes it the same way.
//
// Threads: a session view belongs to one request and is used by one thread
// at a time; no locks.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVSSLSESSION_H
#define YAV_PLUGIN_CORE_YAVSSLSESSION_H

#include "core/buffers/YavBuffer.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavClientCert.h"

class YAV_EXPORT YavSSLSession {
  public:
    // No certificate, not requested.
    YavSSLSession();
    // Deletes the certificate view, if any.
    virtual ~YavSSLSession();
    YAV_DISALLOW_COPY(YavSSLSession);

    // The SSL session identifier as bytes (the buffer may refer to the
    // view's memory, valid as long as the view).  Default:
    // YAV_S_NOT_SUPPORTED.
    virtual yav_status_t getID(YavBuffer* id);
    // Whether the server is able to ask the browser for a certificate during
    // this session.  Default: true.
    virtual bool canRequestClientCert();
    // Asks the server to obtain a client certificate: 0 (or
    // YAV_S_NOT_AVAILABLE) when the request should be sent to the
    // authorization server again, YAV_S_TRANSITIONAL_RESPONSE when the
    // module answers the browser with a renegotiation first, another status
    // on failure.  Default: YAV_S_NOT_SUPPORTED.
    virtual yav_status_t requestClientCert();

    // The certificate view; null when the browser presented none.
    YavClientCert* getClientCert() const { return m_clientCert; }
    // Takes ownership of cert (made with new; null allowed), deleting the
    // previous one.
    void setClientCert(YavClientCert* cert);
    // Whether a certificate has already been asked for on this session.
    bool isClientCertRequested() const { return m_clientCertRequested; }
    void setClientCertRequested(bool requested) { m_clientCertRequested = requested; }

  protected:
    YavClientCert* m_clientCert;  // owned; null when none
    bool m_clientCertRequested;
};

#endif  // YAV_PLUGIN_CORE_YAVSSLSESSION_H
