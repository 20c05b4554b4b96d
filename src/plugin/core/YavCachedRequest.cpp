#include "plugin/core/YavCachedRequest.h"

#include "core/msg/yav_status.h"

YavCachedRequest::YavCachedRequest() : YavRequest(nullptr), m_security(0) {
    m_server = &m_cachedServer;
}

YavCachedRequest::YavCachedRequest(const YavStringRef& vhostId, const YavStringRef& uri,
                                   const int security)
    : YavCachedRequest() {
    m_cachedServer.setVHostID(vhostId);
    YavCachedRequest::setURI(uri);
    YavCachedRequest::setSecurity(security);
}

YavCachedRequest::~YavCachedRequest() {
    // The server view is a member: keep the base class from deleting it.
    m_server = nullptr;
}

yav_status_t YavCachedRequest::getUTF8Header(const YavStringRef&, YavStringRef*) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavCachedRequest::getNCPHeader(const YavStringRef&, YavNCPStringRef*) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavCachedRequest::getNextUTF8Header(YavStringRef*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getNextNCPHeader(YavNCPStringRef*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::setHeader(const YavStringRef&, const YavStringRefT<char>&) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavCachedRequest::addHeader(const YavStringRef&, const YavStringRefT<char>&) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavCachedRequest::getCookie(const YavStringRef&, YavNCPStringRef*, YavNCPStringRef*,
                                         YavNCPStringRef*, int*) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavCachedRequest::setCookie(const YavStringRef&, const YavStringRefT<char>&,
                                         const YavStringRefT<char>*, const YavStringRefT<char>*,
                                         int) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavCachedRequest::removeHeader(const YavStringRef&) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getQuery(YavStringRef*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::setQuery(const YavStringRef&) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getURI(YavStringRef* uri) {
    *uri = m_uri;
    return 0;
}

yav_status_t YavCachedRequest::setURI(const YavStringRef& uri) {
    m_uri = uri;
    return 0;
}

yav_status_t YavCachedRequest::getClientIP(YavStringRef&) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getSecurity(int* security) {
    *security = m_security;
    return 0;
}

yav_status_t YavCachedRequest::setSecurity(const int security) {
    m_security = security;
    return 0;
}

yav_status_t YavCachedRequest::getMethod(YavHTTPMethod*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getMethod(YavStringRef*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::setMethod(YavHTTPMethod) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::setMethod(const YavStringRef&) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getVersion(YavStringRef*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::setVersion(const YavStringRef&) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getPostData(YavBuffer*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getHTTPBuffer(YavBuffer*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getFullURL(YavStringRef*) { return YAV_S_NOT_SUPPORTED; }

bool YavCachedRequest::isSubRequest() { return false; }

yav_status_t YavCachedRequest::setWebLogUser(const YavStringRef&, const YavStringRef&,
                                             const YavStringRef&) {
    return YAV_S_NOT_AVAILABLE;
}

yav_status_t YavCachedRequest::setPostData(const YavBuffer&) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedRequest::getNTLMAuthenticatedUser(YavStringRef*) {
    return YAV_S_NOT_AVAILABLE;
}

yav_status_t YavCachedRequest::setNTLMAuthenticatedUser(YavStringRef*) {
    return YAV_S_NOT_AVAILABLE;
}

yav_status_t YavCachedRequest::requestNTLMAuthentication() { return YAV_S_NOT_AVAILABLE; }

yav_status_t YavCachedRequest::setNTLMAuthenticationRequested() { return YAV_S_NOT_AVAILABLE; }

yav_status_t YavCachedRequest::getNTLMAuthenticationRequested(bool&) { return YAV_S_NOT_AVAILABLE; }
