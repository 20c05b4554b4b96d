// YavCachingAllocatorPool: a pool of unlocked caching allocators for
// per-request work.  A request takes an allocator, allocates freely from it
// on its own thread, and returns it; returning garbage-collects it (every
// block becomes free again at once) and puts it on an idle list.  Idle
// allocators beyond the pool's initial count are deleted when they have been
// idle longer than the idle period.
//
// Memory: the pool owns every allocator it made, idle or taken; the pool's
// own caching allocator holds the allocator objects.  Allocators taken must
// be returned before the pool is destroyed.
//
// Threads: getAllocator and returnAllocator may be called from any thread;
// an allocator taken belongs to the taking thread until it is returned.
// initialize and the destructor need exclusive access.  Not copyable.
#ifndef YAV_CORE_MEMORY_YAVCACHINGALLOCATORPOOL_H
#define YAV_CORE_MEMORY_YAVCACHINGALLOCATORPOOL_H

#include <time.h>

#include <atomic>

#include "core/memory/YavCachingAllocator.h"
#include "core/queue/YavExpiringList.h"
#include "core/sundry/yav_base.h"
#include "core/threads/YavTime.h"

class YavPooledAllocator;

class YAV_EXPORT YavCachingAllocatorPool {
  public:
    YavCachingAllocatorPool() = default;
    // REQUIRES: every allocator taken has been returned.
    ~YavCachingAllocatorPool();
    YAV_DISALLOW_COPY(YavCachingAllocatorPool);

    // Makes the pool's own allocator and idle list (idle period idlePeriod
    // seconds, count allocators kept at least) and pre-creates count
    // allocators of initialBlocks blocks of blockSize bytes.  A null clock
    // means the process clock.  YAV_S_ALREADY_INITIALIZED when called twice;
    // otherwise the first failure (YAV_S_NO_MEMORY, YAV_S_THREAD_INIT,
    // YAV_S_INVALID_VALUE for an idle period below 1).
    yav_status_t initialize(yav_status_t nameCode, unsigned count, unsigned initialBlocks,
                            size_t blockSize, time_t idlePeriod, YavTime::Clock clock = nullptr);

    // The most recently returned idle allocator, else a new one named with
    // the pool's next sequence number; null when none can be made or before
    // initialize.
    YavCachingAllocator* getAllocator();

    // Garbage-collects allocator and makes it idle.
    // REQUIRES: allocator came from this pool's getAllocator and is not idle.
    void returnAllocator(YavCachingAllocator* allocator);

    // The number of idle allocators.
    unsigned idleAllocators() const { return m_idle.entries(); }

    // Deletes the allocators idle for longer than the idle period (keeping
    // at least the initial count); the cleaner thread does the same every
    // idle period.  Returns the number deleted.
    unsigned expireIdle(time_t now) { return m_idle.expire(now); }

  private:
    yav_status_t create(YavPooledAllocator** made);

    // Declared before m_idle: the idle list's entries live in it.
    YavCachingAllocator m_entries;
    YavExpiringList m_idle;
    yav_status_t m_nameCode = 0;
    unsigned m_initialBlocks = 0;
    size_t m_blockSize = 0;
    std::atomic<unsigned> m_sequence{0};
    bool m_initialized = false;
};

#endif  // YAV_CORE_MEMORY_YAVCACHINGALLOCATORPOOL_H
