#include "msg/plugin/YavConfigQuestion.h"

#include "core/msg/yav_status.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

yav_status_t YavConfigQuestion::unmarshal(YavSharedMemIterator& it, void* /*context*/) {
    if (!it.hasMoreElements()) return YAV_S_UNMARSHAL_FAILED;
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t status = it.getNextElement(&len, &data);
    if (status != 0) return status;
    YavProxyIFMsgInt value;
    if (len != sizeof(int32_t)) return YAV_S_UNMARSHAL_FAILED;
    if (value.unmarshal(static_cast<const unsigned char*>(data), static_cast<int>(len)) < 0) {
        return YAV_S_UNMARSHAL_FAILED;
    }
    m_requestType = static_cast<yav_config_req_msg_type_e>(value.get());
    return 0;
}

yav_status_t YavConfigQuestion::marshal(YavSharedMemAllocator& a) {
    YavProxyIFMsgInt value(m_requestType);
    int size = value.marshal(nullptr, 0);
    void* data = nullptr;
    yav_status_t status = a.allocate(static_cast<unsigned>(size), &data);
    if (status != 0) return status;
    value.marshal(static_cast<unsigned char*>(data), size);
    return 0;
}
