#include "core/memory/YavClassAllocator.h"

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/threads/yavthread.h"

yav_status_t YavClassAllocator::acquire() {
    YavMutexLock lock(&m_lock);
    if (m_allocatorReferences == 0) {
        YAV_ASSERT(m_allocator == nullptr);
        YavCachingAllocator* created = new (std::nothrow) YavCachingAllocator();
        if (created == nullptr) return YAV_S_NO_MEMORY;
        yav_status_t status =
            created->initialize(m_nameCode, kFlags, nullptr, kInitialBlocks, m_blockSize);
        if (status != 0) {
            delete created;
            return status;
        }
        m_allocator = created;
    }
    ++m_allocatorReferences;
    return 0;
}

void YavClassAllocator::release() {
    YavCachingAllocator* doomed = nullptr;
    {
        YavMutexLock lock(&m_lock);
        YAV_ASSERT(m_allocatorReferences > 0);
        if (--m_allocatorReferences == 0) {
            doomed = m_allocator;
            m_allocator = nullptr;
        }
    }
    // Deleted outside the lock: the destructor may take the allocator's own
    // lock and report statistics.
    delete doomed;
}

YavCachingAllocator* YavClassAllocator::allocator() const {
    YavCachingAllocator* a;
    {
        YavMutexLock lock(&m_lock);
        a = m_allocator;
    }
    if (a == nullptr) yav_assert_fail(__FILE__, __LINE__, "m_allocator");
    return a;
}

bool YavClassAllocator::isAcquired() const {
    YavMutexLock lock(&m_lock);
    return m_allocator != nullptr;
}

unsigned YavClassAllocator::references() const {
    YavMutexLock lock(&m_lock);
    return m_allocatorReferences;
}
