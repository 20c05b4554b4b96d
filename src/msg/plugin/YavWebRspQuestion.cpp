#include "msg/plugin/YavWebRspQuestion.h"

#include <climits>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

void YavWebRspQuestion::getHTTPBuffer(YavBuffer* buffer) const {
    buffer->refer(m_httpBuffer.get().getData(), m_httpBuffer.get().getLen());
}

yav_status_t YavWebRspQuestion::marshal(YavSharedMemAllocator& a) {
    const YavProxyIFMsgData* fields[] = {&m_httpBuffer, &m_vhostID, &m_sessionID, &m_isSecure};
    for (const YavProxyIFMsgData* field : fields) {
        const int size = field->marshal(nullptr, 0);
        if (size < 0) return YAV_S_NO_MEMORY;
        void* data = nullptr;
        yav_status_t status = a.allocate(static_cast<unsigned>(size), &data);
        if (status != 0) return status;
        field->marshal(static_cast<unsigned char*>(data), size);
    }
    return 0;
}

yav_status_t YavWebRspQuestion::unmarshal(YavSharedMemIterator& it, void* /*context*/) {
    YavProxyIFMsgData* fields[] = {&m_httpBuffer, &m_vhostID, &m_sessionID, &m_isSecure};
    for (YavProxyIFMsgData* field : fields) {
        unsigned len = 0;
        void* data = nullptr;
        yav_status_t status = it.getNextElement(&len, &data);
        if (status != 0) return status;
        if (len > static_cast<unsigned>(INT_MAX)) return YAV_S_UNMARSHAL_FAILED;
        const int consumed =
            field->unmarshal(static_cast<const unsigned char*>(data), static_cast<int>(len));
        if (consumed < 0 || static_cast<unsigned>(consumed) != len) return YAV_S_UNMARSHAL_FAILED;
    }
    return 0;
}
