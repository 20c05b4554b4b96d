#include "proxyif/ipc/YavSharedMemIterator.h"

#include <cstdint>
#include <cstring>

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"

YavClassAllocator YavSharedMemIterator::m_allocator(YAV_N_SHMEM_ITERATOR, 24);

YavSharedMemIterator::~YavSharedMemIterator() = default;

yav_status_t YavSharedMemIterator::create(YavSharedMemIterator** out) {
    YavSharedMemIterator* it = m_allocator.make<YavSharedMemIterator>();
    *out = it;
    if (it == nullptr) return YAV_S_NO_MEMORY;
    it->m_pooled = true;
    return 0;
}

void YavSharedMemIterator::deleteMe() {
    YAV_ASSERT(m_pooled);
    m_allocator.destroy(this);
}

yav_status_t YavSharedMemIterator::initialize(YavSharedMem& seg, unsigned start, unsigned size) {
    m_header = nullptr;
    m_broken = false;
    if (seg.getBase() == nullptr || static_cast<unsigned long long>(start) + size > seg.getSize()) {
        m_segment = nullptr;
        m_start = m_size = m_current = 0;
        return YAV_S_INVALID_PARAMETER;
    }
    m_segment = &seg;
    m_start = start;
    m_size = size;
    m_current = start;
    if (size >= YavSharedMemAllocator::kHeaderSize) {
        m_header = static_cast<unsigned char*>(seg.getBase()) + start;
    }
    return 0;
}

yav_status_t YavSharedMemIterator::initialize(YavSharedMemAllocator* a) {
    YavSharedMem* seg = a == nullptr ? nullptr : a->getSegment();
    if (seg == nullptr) {
        m_segment = nullptr;
        m_header = nullptr;
        m_broken = false;
        m_start = m_size = m_current = 0;
        return YAV_S_INVALID_PARAMETER;
    }
    // The padding of a last element that fills the region is not part of
    // the region.
    unsigned used = a->getCurrent() - a->getStart();
    if (used > a->getSize()) used = a->getSize();
    return initialize(*seg, a->getStart(), used);
}

yav_status_t YavSharedMemIterator::getNextElement(unsigned* len, void** data) {
    if (m_broken) {
        m_broken = false;
        return YAV_S_IPC_NO_MORE_SEGMENTS;
    }
    if (m_header == nullptr) return YAV_S_IPC_NO_MORE_SEGMENTS;

    const unsigned long long here = m_current;
    const unsigned long long end = static_cast<unsigned long long>(m_start) + m_size;
    const unsigned long long remaining = end - here;
    if (remaining < YavSharedMemAllocator::kHeaderSize) {
        m_header = nullptr;
        return YAV_S_IPC_NO_MORE_SEGMENTS;
    }
    uint32_t length;
    uint32_t next;
    memcpy(&length, m_header, sizeof length);
    memcpy(&next, m_header + 4, sizeof next);
    const unsigned long long claimed =
        static_cast<unsigned long long>(YavSharedMemAllocator::kHeaderSize) + length;

    if (claimed > remaining) {
        // The element runs past the region: nothing is delivered, and the
        // chain ends here.
        m_header = nullptr;
        return YAV_S_IPC_NO_MORE_SEGMENTS;
    }
    *len = length;
    *data = m_header + YavSharedMemAllocator::kHeaderSize;

    if (claimed == remaining || next == YavSharedMemAllocator::kEndMark) {
        m_header = nullptr;
        if (claimed == remaining) m_current = 0;
        return 0;
    }
    // Accept only a next header that lies beyond this element's data, at a
    // multiple of 4 from the region's start, with a whole header before the
    // region's end: offsets then grow strictly and every read stays inside.
    const unsigned long long target = next;
    if (target < here + claimed || (target - m_start) % 4 != 0 ||
        target + YavSharedMemAllocator::kHeaderSize > end) {
        m_header = nullptr;
        m_broken = true;
        return 0;
    }
    m_header = static_cast<unsigned char*>(m_segment->getBase()) + target;
    m_current = next;
    return 0;
}

yav_status_t YavSharedMemIterator::copyRaw(YavSharedMem* dst, int* len, int* offset) {
    if (m_segment == nullptr || m_segment->getBase() == nullptr) return YAV_S_INVALID_PARAMETER;
    const unsigned long long total = static_cast<unsigned long long>(m_start) + m_size;
    if (total > 0x7FFFFFFFull) return YAV_S_INVALID_PARAMETER;
    *len = static_cast<int>(total);
    *offset = static_cast<int>(m_start);
    if (dst == nullptr) return 0;
    return dst->write(0, static_cast<unsigned>(total), m_segment->getBase());
}
