// YavClientCert: the certificate a browser presented on an SSL session, as
// the plug-in sees it.  Supplied entirely by the web-server module; the SSL
// session view (YavSSLSession) owns it and deletes it through the virtual
// destructor.
//
// Each getter returns 0 and sets the reference to the text in UTF-8, or a
// failing status (YAV_S_NOT_AVAILABLE for a part the certificate lacks).
// The texts belong to the view and stay valid as long as it.  The question
// to the authorization server copies all three.
//
// Threads: one thread at a time; no locks.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVCLIENTCERT_H
#define YAV_PLUGIN_CORE_YAVCLIENTCERT_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavClientCert {
  public:
    YavClientCert() = default;
    virtual ~YavClientCert();
    YAV_DISALLOW_COPY(YavClientCert);

    // The distinguished name of the issuer.
    virtual yav_status_t getIssuerDN(YavStringRef* dn) = 0;
    // The distinguished name of the subject.
    virtual yav_status_t getSubjectDN(YavStringRef* dn) = 0;
    // The serial number in text form.
    virtual yav_status_t getSerialNumber(YavStringRef* serial) = 0;
};

#endif  // YAV_PLUGIN_CORE_YAVCLIENTCERT_H
