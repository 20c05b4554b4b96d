#include "plugin/core/YavSSLSession.h"

#include "core/msg/yav_status.h"

YavSSLSession::YavSSLSession() : m_clientCert(nullptr), m_clientCertRequested(false) {}

YavSSLSession::~YavSSLSession() { delete m_clientCert; }

yav_status_t YavSSLSession::getID(YavBuffer*) { return YAV_S_NOT_SUPPORTED; }

bool YavSSLSession::canRequestClientCert() { return true; }

yav_status_t YavSSLSession::requestClientCert() { return YAV_S_NOT_SUPPORTED; }

void YavSSLSession::setClientCert(YavClientCert* cert) {
    if (cert == m_clientCert) return;
    delete m_clientCert;
    m_clientCert = cert;
}
