#include "proxyif/ipc/YavSharedMemAllocator.h"

#include <cstring>

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"

YavClassAllocator YavSharedMemAllocator::m_allocator(YAV_N_SHMEM_ALLOCATOR, 24);

YavSharedMemAllocator::~YavSharedMemAllocator() = default;

yav_status_t YavSharedMemAllocator::create(YavSharedMemAllocator** out) {
    YavSharedMemAllocator* a = m_allocator.make<YavSharedMemAllocator>();
    *out = a;
    if (a == nullptr) return YAV_S_NO_MEMORY;
    a->m_pooled = true;
    return 0;
}

void YavSharedMemAllocator::deleteMe() {
    YAV_ASSERT(m_pooled);
    m_allocator.destroy(this);
}

yav_status_t YavSharedMemAllocator::initialize(YavSharedMem& seg, unsigned start, unsigned size) {
    if (seg.getBase() == nullptr || static_cast<unsigned long long>(start) + size > seg.getSize()) {
        return YAV_S_INVALID_PARAMETER;
    }
    m_segment = &seg;
    m_start = start;
    m_size = size;
    reset();
    return 0;
}

void YavSharedMemAllocator::reset() {
    m_current = m_start;
    m_last = nullptr;
}

yav_status_t YavSharedMemAllocator::allocate(unsigned len, void** data) {
    if (m_segment == nullptr || m_segment->getBase() == nullptr) return YAV_S_INVALID_PARAMETER;
    // Signed 64-bit room: after an element that fills the region with an
    // unpadded length, current lies past the end and the room is negative.
    const long long room = static_cast<long long>(m_size) -
                           (static_cast<long long>(m_current) - m_start) - kHeaderSize;
    if (room < static_cast<long long>(len)) return YAV_S_NO_MEMORY;

    unsigned char* header = static_cast<unsigned char*>(m_segment->getBase()) + m_current;
    const uint32_t length = len;
    const uint32_t next = kEndMark;
    memcpy(header, &length, sizeof length);
    memcpy(header + 4, &next, sizeof next);
    if (m_last != nullptr) {
        const uint32_t here = m_current;
        memcpy(m_last + 4, &here, sizeof here);
    }
    *data = header + kHeaderSize;
    m_last = header;
    // Cannot wrap: room >= len keeps current + 8 + len inside the region,
    // which lies below 2^32; the padding adds at most 3.
    const unsigned long long advanced =
        static_cast<unsigned long long>(m_current) + kHeaderSize + len + pad(len);
    m_current = advanced > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<unsigned>(advanced);
    return 0;
}
