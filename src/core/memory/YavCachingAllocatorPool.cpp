#include "core/memory/YavCachingAllocatorPool.h"

#include <stdio.h>

#include "core/msg/yav_status.h"

// A pool allocator is its own idle-list entry, so that returning it never
// needs memory.
class YavPooledAllocator final : public YavCachingAllocator, public YavExpiringListEntry {};

YavCachingAllocatorPool::~YavCachingAllocatorPool() = default;

yav_status_t YavCachingAllocatorPool::initialize(yav_status_t nameCode, unsigned count,
                                                 unsigned initialBlocks, size_t blockSize,
                                                 time_t idlePeriod, YavTime::Clock clock) {
    if (m_initialized) return YAV_S_ALREADY_INITIALIZED;
    m_nameCode = nameCode;
    m_initialBlocks = initialBlocks;
    m_blockSize = blockSize;
    yav_status_t status = m_entries.initialize(nameCode, 0, nullptr, count,
                                               sizeof(void*) + sizeof(YavPooledAllocator));
    if (status != 0) return status;
    status = m_idle.initialize(idlePeriod, count, clock);
    if (status != 0) return status;
    m_initialized = true;

    // Taking count allocators from an empty pool makes count new ones;
    // returning them in the order taken leaves the last one made at the head.
    for (unsigned i = 0; i < count; ++i) {
        YavPooledAllocator* allocator;
        status = create(&allocator);
        if (status != 0) return status;
        returnAllocator(allocator);
    }
    return 0;
}

yav_status_t YavCachingAllocatorPool::create(YavPooledAllocator** made) {
    *made = nullptr;
    char name[16];
    snprintf(name, sizeof name, "%u", ++m_sequence);
    YavPooledAllocator* allocator = new (&m_entries) YavPooledAllocator();
    if (allocator == nullptr) return YAV_S_NO_MEMORY;
    yav_status_t status =
        allocator->initialize(m_nameCode, YAV_ALLOC_UNLOCKED, name, m_initialBlocks, m_blockSize);
    if (status != 0) {
        delete static_cast<YavExpiringListEntry*>(allocator);
        return status;
    }
    *made = allocator;
    return 0;
}

YavCachingAllocator* YavCachingAllocatorPool::getAllocator() {
    if (!m_initialized) return nullptr;
    YavExpiringListEntry* idle = m_idle.remove();
    if (idle != nullptr) return static_cast<YavPooledAllocator*>(idle);
    YavPooledAllocator* allocator;
    if (create(&allocator) != 0) return nullptr;
    return allocator;
}

void YavCachingAllocatorPool::returnAllocator(YavCachingAllocator* allocator) {
    allocator->garbageCollect();
    m_idle.add(static_cast<YavPooledAllocator*>(allocator));
}
