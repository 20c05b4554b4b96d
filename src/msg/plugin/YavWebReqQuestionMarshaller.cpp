#include "msg/plugin/YavWebReqQuestionMarshaller.h"

#include <climits>
#include <cstring>

#include "core/msg/kr_msg.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "plugin/core/YavTransaction.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"

YavWebReqQuestionMarshaller::YavWebReqQuestionMarshaller(YavTransaction* trans) : m_trans(trans) {}

yav_status_t YavWebReqQuestionMarshaller::unmarshal(YavSharedMemIterator& /*it*/,
                                                    void* /*context*/) {
    return YAV_S_NOT_SUPPORTED;
}

YavWebReqServerQuestion* YavWebReqQuestionMarshaller::getServer() {
    setFlag(kServer, true);
    return &m_server;
}

YavWebReqSSLSessQuestion* YavWebReqQuestionMarshaller::getSSLSession() {
    setFlag(kSSLSession, true);
    return &m_sslSession;
}

void YavWebReqQuestionMarshaller::setFlag(int flag, bool on) {
    const int flags = m_flags.get();
    m_flags.set(on ? (flags | flag) : (flags & ~flag));
}

void YavWebReqQuestionMarshaller::setHTTPMessage(const YavBuffer& message) {
    YAV_MSG_ASSERT(!(m_flags.get() & YAV_HTTP_MSG), "!(m_flags.get() & YAV_HTTP_MSG)");
    m_httpMessage.refer(message.getData(), message.getLen());
    setFlag(kHTTPMessage, true);
}

void YavWebReqQuestionMarshaller::setClientIPAddress(const YavStringRef& ip) {
    m_clientIP.set(ip);
    setFlag(kClientIP, true);
}

void YavWebReqQuestionMarshaller::setURI(const YavStringRef& uri) {
    m_uri.set(uri);
    setFlag(kURI, true);
}

void YavWebReqQuestionMarshaller::setQuery(const YavStringRef& query) {
    m_query.set(query);
    setFlag(kQuery, true);
}

void YavWebReqQuestionMarshaller::setConnectionID(const YavStringRef& id) {
    m_connectionID.set(id);
    setFlag(kConnectionID, true);
}

void YavWebReqQuestionMarshaller::setWSAUser(const YavStringRef& user) {
    m_wsaUser.set(user);
    setFlag(kWSAUser, true);
}

void YavWebReqQuestionMarshaller::setWSARequested(bool requested) {
    setFlag(kWSARequested, requested);
}

void YavWebReqQuestionMarshaller::setIsSubRequest(bool subRequest) {
    setFlag(kSubRequest, subRequest);
}

void YavWebReqQuestionMarshaller::setBodyHasBeenRequested(bool requested) {
    setFlag(kBodyRequested, requested);
}

void YavWebReqQuestionMarshaller::logFailure(yav_status_t code, yav_status_t status) {
    char text[256];
    uint32_t textStatus = 0;
    kr_error_inq_text(status, text, sizeof text, &textStatus);
    if (textStatus != 0) text[0] = '\0';
    m_trans->logMessage(yav_log_level_error, static_cast<int>(code), text, status);
}

yav_status_t YavWebReqQuestionMarshaller::setData(YavSharedMemAllocator& /*a*/) {
    YAV_ASSERT(m_trans != nullptr);
    YavRequest* request = m_trans->getRequest();

    // A second marshal of the same question describes the request afresh.
    clear();
    m_httpMessage.refer(nullptr, 0);

    yav_status_t status = request->getHTTPBuffer(&m_viewHTTP);
    if (status != 0) {
        logFailure(YAV_S_MARSHAL_HTTP_BUFFER, status);
    } else {
        setHTTPMessage(m_viewHTTP);
    }

    YavStringRef text;
    status = request->getClientIP(text);
    if (status != 0) {
        logFailure(YAV_S_MARSHAL_CLIENT_IP, status);
    } else {
        setClientIPAddress(text);
    }

    status = request->getURI(&text);
    if (status != 0) {
        logFailure(YAV_S_MARSHAL_URI, status);
    } else {
        setURI(text);
    }

    if (request->getQuery(&text) == 0) setQuery(text);
    if (request->getConnectionID(&text) == 0) setConnectionID(text);
    setBodyHasBeenRequested(request->isBodyRequested());
    bool wsaRequested = false;
    if (request->getWSARequested(wsaRequested) == 0) setWSARequested(wsaRequested);
    if (request->getWSAUser(&text) == 0) setWSAUser(text);
    setIsSubRequest(request->isSubRequest());

    YavServer* server = request->getServer();
    if (server != nullptr) {
        if (server->getVHostID(&text) == 0) getServer()->setVHostID(text);
        if (server->getName(&text) == 0) getServer()->setName(text);
        int port = 0;
        if (server->getPort(&port) == 0) getServer()->setPort(port);
    }

    return setSecurityData(request);
}

yav_status_t YavWebReqQuestionMarshaller::setSecurityData(YavRequest* request) {
    int security = 0;
    yav_status_t status = request->getSecurity(&security);
    if (status != 0) {
        logFailure(YAV_S_MARSHAL_SECURITY_LEVEL, status);
        return status;
    }
    if (security == 0) return 0;

    YavSSLSession* session = request->getSSLSession();
    if (session == nullptr) {
        logFailure(YAV_S_MARSHAL_SECURITY_INFO, YAV_S_NOT_AVAILABLE);
        return YAV_S_NOT_AVAILABLE;
    }

    if (session->getID(&m_viewSessionID) == 0) getSSLSession()->setID(m_viewSessionID);
    getSSLSession()->setCanRequestClientCert(session->canRequestClientCert());

    YavClientCert* cert = session->getClientCert();
    if (cert != nullptr) {
        YavWebReqCertQuestion* part = getSSLSession()->getClientCert();
        YavStringRef text;
        if (cert->getIssuerDN(&text) == 0) {
            part->setIssuerDN(text);
            getSSLSession()->setClientCert();
        }
        if (cert->getSubjectDN(&text) == 0) {
            part->setSubjectDN(text);
            getSSLSession()->setClientCert();
        }
        if (cert->getSerialNumber(&text) == 0) {
            part->setSerialNumber(text);
            getSSLSession()->setClientCert();
        }
    }
    getSSLSession()->setClientCertRequested(session->isClientCertRequested());
    return 0;
}

yav_status_t YavWebReqQuestionMarshaller::marshal(YavSharedMemAllocator& a) {
    yav_status_t status = setData(a);
    if (status != 0) return status;

    void* data = nullptr;
    const int flagsSize = m_flags.marshal(nullptr, 0);
    status = a.allocate(static_cast<unsigned>(flagsSize), &data);
    if (status != 0) return status;
    m_flags.marshal(static_cast<unsigned char*>(data), flagsSize);

    if ((m_flags.get() & kHTTPMessage) != 0 && m_httpMessage.getLen() > 0) {
        status = a.allocate(static_cast<unsigned>(m_httpMessage.getLen()), &data);
        if (status != 0) return status;
        memcpy(data, m_httpMessage.getData(), static_cast<size_t>(m_httpMessage.getLen()));
    }

    const struct {
        int flag;
        const YavProxyIFMsgString* value;
    } strings[] = {{kClientIP, &m_clientIP},
                   {kURI, &m_uri},
                   {kQuery, &m_query},
                   {kConnectionID, &m_connectionID},
                   {kWSAUser, &m_wsaUser}};
    int64_t stringsSize = 0;
    for (const auto& s : strings) {
        if ((m_flags.get() & s.flag) == 0) continue;
        const int n = s.value->marshal(nullptr, 0);
        if (n < 0) return YAV_S_NO_MEMORY;
        stringsSize += n;
    }
    if (stringsSize > 0) {
        // Larger than any region can be: a string of nearly 2 GB.
        if (stringsSize > INT_MAX) return YAV_S_NO_MEMORY;
        const int size = static_cast<int>(stringsSize);
        status = a.allocate(static_cast<unsigned>(size), &data);
        if (status != 0) return status;
        unsigned char* out = static_cast<unsigned char*>(data);
        int offset = 0;
        for (const auto& s : strings) {
            if ((m_flags.get() & s.flag) != 0) {
                offset += s.value->marshal(out + offset, size - offset);
            }
        }
    }

    const YavProxyIFMsgData* parts[] = {(m_flags.get() & kServer) ? &m_server : nullptr,
                                        (m_flags.get() & kSSLSession) ? &m_sslSession : nullptr};
    for (const YavProxyIFMsgData* part : parts) {
        if (part == nullptr) continue;
        const int size = part->marshal(nullptr, 0);
        if (size < 0) return YAV_S_NO_MEMORY;
        status = a.allocate(static_cast<unsigned>(size), &data);
        if (status != 0) return status;
        part->marshal(static_cast<unsigned char*>(data), size);
    }
    return 0;
}
