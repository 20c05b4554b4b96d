#include "core/memory/YavCachingAllocator.h"

#include "core/memory/YavMemDebug.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"

YavCachingAllocator::~YavCachingAllocator() {
    if (m_allocator == nullptr) return;
    yav_allocator_gc(m_allocator);
    yav_status_t status = yav_allocator_delete(m_allocator);
    YAV_ASSERT(status == 0);
}

yav_status_t YavCachingAllocator::initialize(yav_status_t nameCode, uint32_t flags,
                                             const char* name, unsigned initialBlocks,
                                             size_t blockSize) {
    if (m_allocator != nullptr) return YAV_S_ALREADY_INITIALIZED;
    flags |= YAV_ALLOC_VARIABLE | YAV_ALLOC_GROWABLE;
    if (name != nullptr) flags |= YAV_ALLOC_NAMED_STATS;
    flags |= YavMemDebug::flags(nameCode);
    return yav_allocator_new(flags, nameCode, name, blockSize, initialBlocks, &m_allocator,
                             nullptr);
}

void YavCachingAllocator::garbageCollect() {
    if (m_allocator != nullptr) yav_allocator_gc(m_allocator);
}

void* YavCachingAllocator::do_allocate(size_t size) { return yav_alloc_var(m_allocator, size); }

void YavCachingAllocator::do_deallocate(void* ptr) { yav_free(m_allocator, ptr); }

void* YavCachingAllocator::do_reallocate(void* ptr, size_t /*oldSize*/, size_t newSize) {
    return yav_realloc_var(m_allocator, ptr, newSize);
}

void* YavCachingAllocator::do_duplicate(const void* src, size_t size) {
    return yav_alloc_dup(m_allocator, src, size);
}
