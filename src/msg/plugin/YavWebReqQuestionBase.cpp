#include "msg/plugin/YavWebReqQuestionBase.h"

#include "core/msg/yav_status.h"

yav_status_t YavWebReqQuestionBase::unmarshal(YavSharedMemIterator& /*it*/, void* /*context*/) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavWebReqQuestionBase::marshal(YavSharedMemAllocator& /*a*/) {
    return YAV_S_NOT_SUPPORTED;
}

void YavWebReqQuestionBase::clear() {
    m_flags.set(0);
    m_clientIP.get().clear();
    m_uri.get().clear();
    m_query.get().clear();
    m_server.clear();
    m_sslSession.clear();
    m_connectionID.get().clear();
    m_wsaUser.get().clear();
}
