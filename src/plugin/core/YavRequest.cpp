#include "plugin/core/YavRequest.h"

#include "core/msg/yav_status.h"

YavRequest::YavRequest(YavAllocator* allocator)
    : YavMessage(allocator),
      m_bodyRequested(false),
      m_sslSession(nullptr),
      m_server(nullptr),
      m_fullURLBuilt(false),
      m_fullURL(allocator) {}

YavRequest::~YavRequest() {
    delete m_sslSession;
    delete m_server;
}

void YavRequest::setServer(YavServer* server) {
    if (server == m_server) return;
    delete m_server;
    m_server = server;
}

void YavRequest::setSSLSession(YavSSLSession* session) {
    if (session == m_sslSession) return;
    delete m_sslSession;
    m_sslSession = session;
}

yav_status_t YavRequest::setSecurity(const int) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavRequest::setBody(const YavBuffer&) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavRequest::retrieveBody(int) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavRequest::getConnectionID(YavStringRef*) { return YAV_S_NOT_AVAILABLE; }

yav_status_t YavRequest::getWSAUser(YavStringRef*) { return YAV_S_NOT_AVAILABLE; }

yav_status_t YavRequest::setWSAUser(YavStringRef*) { return YAV_S_NOT_AVAILABLE; }

yav_status_t YavRequest::requestWSA() { return YAV_S_NOT_AVAILABLE; }

yav_status_t YavRequest::setWSARequested() { return YAV_S_NOT_AVAILABLE; }

yav_status_t YavRequest::getWSARequested(bool&) { return YAV_S_NOT_AVAILABLE; }

bool YavRequest::isSubRequest() { return false; }

yav_status_t YavRequest::getFullURL(YavStringRef* url) {
    if (!m_fullURLBuilt && m_server != nullptr) {
        int security = 0;
        yav_status_t status = getSecurity(&security);
        if (status != 0) return status;

        YavStringRef name;
        status = m_server->getName(&name);
        if (status != 0) return status;
        YavStringRefT<char> port;
        status = m_server->getPortString(&port);
        if (status != 0) return status;

        YavStringRef uri;
        status = getURI(&uri);
        if (status == YAV_S_NOT_AVAILABLE) {
            uri.clear();
        } else if (status != 0) {
            return status;
        }
        YavStringRef query;
        status = getQuery(&query);
        bool hasQuery = status == 0;
        if (status != 0 && status != YAV_S_NOT_AVAILABLE) return status;

        const char* scheme = security != 0 ? "https://" : "http://";
        YavStringRefT<char> defaultPort(security != 0 ? "443" : "80");
        bool ok = m_fullURL.set(scheme) && m_fullURL.append(name);
        if (ok && !port.equals(defaultPort)) {
            ok = m_fullURL.append(':') && m_fullURL.append(port.getData(), port.getLength());
        }
        ok = ok && m_fullURL.append(uri);
        if (ok && hasQuery) ok = m_fullURL.append('?') && m_fullURL.append(query);
        if (!ok) return YAV_S_NO_MEMORY;
        m_fullURLBuilt = true;
    }
    if (!m_fullURLBuilt) return YAV_S_NOT_AVAILABLE;
    url->setTerminated(m_fullURL.getData(), m_fullURL.getLength());
    return 0;
}
