// YavCachingAllocator: a YavAllocator over one variable, growable
// yav_allocator.  Blocks given back are kept for reuse; garbageCollect()
// takes back every outstanding block at once (no destructors run), which is
// how a per-request allocator is emptied.
//
// Memory: the allocator owns its yav_allocator and every block in it; the
// destructor frees them all, so nothing allocated from it may be used after
// it is destroyed.  Before initialize() the allocator serves blocks from the
// process heap (with a header, so they are still freed correctly).
//
// Threads: locked unless YAV_ALLOC_UNLOCKED is passed to initialize(); an
// unlocked caching allocator belongs to one thread at a time.  initialize()
// and the destructor need exclusive access.  Not copyable.
#ifndef YAV_CORE_MEMORY_YAVCACHINGALLOCATOR_H
#define YAV_CORE_MEMORY_YAVCACHINGALLOCATOR_H

#include "core/memory/YavAllocator.h"
#include "core/memory/yav_alloc.h"

class YAV_EXPORT YavCachingAllocator : public YavAllocator {
  public:
    YavCachingAllocator() = default;
    // Garbage-collects and deletes the yav_allocator; a failure is an
    // internal inconsistency.
    ~YavCachingAllocator() override;
    YAV_DISALLOW_COPY(YavCachingAllocator);

    // Creates the yav_allocator with flags | YAV_ALLOC_VARIABLE |
    // YAV_ALLOC_GROWABLE, plus YAV_ALLOC_NAMED_STATS when name is given,
    // plus YavMemDebug::flags(nameCode).  YAV_S_ALREADY_INITIALIZED when
    // called twice; otherwise the status of yav_allocator_new.
    yav_status_t initialize(yav_status_t nameCode, uint32_t flags, const char* name,
                            unsigned initialBlocks, size_t blockSize);

    // Takes back every outstanding block.
    void garbageCollect();

    // The underlying allocator (null before initialize), for statistics.
    yav_allocator* allocator() const { return m_allocator; }

  protected:
    void* do_allocate(size_t size) override;
    void do_deallocate(void* ptr) override;
    // oldSize is not needed: blocks know their capacity.
    void* do_reallocate(void* ptr, size_t oldSize, size_t newSize) override;
    void* do_duplicate(const void* src, size_t size) override;

  private:
    yav_allocator* m_allocator = nullptr;
};

#endif  // YAV_CORE_MEMORY_YAVCACHINGALLOCATOR_H
