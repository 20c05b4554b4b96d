#include "proxyif/framework/YavErrorMessage.h"

#include <cstring>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

YavClassAllocator YavErrorMessage::m_allocator(YAV_N_ERROR_MESSAGE, 8);

void* YavErrorMessage::operator new(size_t size, const std::nothrow_t&) noexcept {
    return YavAllocator::allocate(m_allocator.allocator(), size);
}

void YavErrorMessage::operator delete(void* object) noexcept {
    if (object == nullptr) return;
    YavAllocator::deallocate(m_allocator.allocator(), object);
}

yav_status_t YavErrorMessage::unmarshal(YavSharedMemIterator& it, void* /*context*/) {
    if (!it.hasMoreElements()) return YAV_S_UNMARSHAL_FAILED;
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t status = it.getNextElement(&len, &data);
    if (status != 0) return status;
    if (len < sizeof(m_code)) return YAV_S_UNMARSHAL_FAILED;
    memcpy(&m_code, data, sizeof(m_code));
    return 0;
}

yav_status_t YavErrorMessage::marshal(YavSharedMemAllocator& a) {
    void* data = nullptr;
    yav_status_t status = a.allocate(sizeof(m_code), &data);
    if (status != 0) return status;
    memcpy(data, &m_code, sizeof(m_code));
    return 0;
}

yav_status_t YavErrorMessageFactory::createMsg(YavProxyIFMessage** out) {
    *out = new (std::nothrow) YavErrorMessage();
    return *out != nullptr ? 0 : YAV_S_NO_MEMORY;
}
