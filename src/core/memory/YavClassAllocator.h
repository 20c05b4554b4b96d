// YavClassAllocator: the reference-counted caching allocator of one class
// whose objects are made per message or per request.
//
// Each such class keeps one static YavClassAllocator.  The first acquire()
// creates a YavCachingAllocator (flags YAV_ALLOC_GROWABLE |
// YAV_ALLOC_STRICT_DELETE, 100 initial blocks of the class's block size,
// the class's name code); every further acquire() adds a reference; the
// release() that drops the last reference deletes it, and with it every
// block still outstanding.  make()/destroy() place and remove objects of the
// class in it.  The block size is only the allocator's initial block size:
// make() always asks for sizeof(T) bytes, so objects larger than the block
// size (64-bit builds) are still placed in a block of their own size.
//
// Memory: the YavClassAllocator owns the caching allocator while it is
// acquired.  Objects made with make() must be destroyed before the last
// release().
//
// Threads: acquire() and release() take m_lock (a statically initialised
// mutex), which guards m_allocator and m_allocatorReferences; the caching
// allocator is itself locked, so make()/destroy() may run on any thread
// while a reference is held.  The constructor is constexpr so a static
// object is initialised before any code runs.  Not copyable.
#ifndef YAV_CORE_MEMORY_YAVCLASSALLOCATOR_H
#define YAV_CORE_MEMORY_YAVCLASSALLOCATOR_H

#include <pthread.h>

#include <cstddef>
#include <new>
#include <utility>

#include "core/memory/YavCachingAllocator.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavClassAllocator {
  public:
    // Flags of the caching allocator made by acquire().
    static constexpr uint32_t kFlags = 6;
    // Blocks made at creation.
    static constexpr unsigned kInitialBlocks = 100;

    constexpr YavClassAllocator(yav_status_t nameCode, size_t blockSize)
        : m_nameCode(nameCode), m_blockSize(blockSize) {}
    YAV_DISALLOW_COPY(YavClassAllocator);

    // Adds a reference, creating the caching allocator on the first one.
    // 0, YAV_S_NO_MEMORY, or the status of its initialize (then no
    // reference is taken).
    yav_status_t acquire();
    // Drops a reference; the last one deletes the caching allocator.
    // REQUIRES: a reference is held (asserted).
    void release();

    // The caching allocator.  REQUIRES: acquired (assertion "m_allocator").
    YavCachingAllocator* allocator() const;
    // True while at least one reference is held.
    bool isAcquired() const;
    // Number of references held.
    unsigned references() const;

    yav_status_t nameCode() const { return m_nameCode; }
    size_t blockSize() const { return m_blockSize; }

    // Constructs a T in a block of sizeof(T) bytes; null when the block
    // cannot be had.  REQUIRES: acquired.
    template <class T, class... Args>
    T* make(Args&&... args) {
        void* mem = YavAllocator::allocate(allocator(), sizeof(T));
        if (mem == nullptr) return nullptr;
        return ::new (mem) T(std::forward<Args>(args)...);
    }
    // Destroys an object made with make() and gives its block back.  Null
    // is ignored.  REQUIRES: acquired.
    template <class T>
    void destroy(T* object) {
        if (object == nullptr) return;
        YavCachingAllocator* a = allocator();
        object->~T();
        YavAllocator::deallocate(a, object);
    }

  private:
    const yav_status_t m_nameCode;
    const size_t m_blockSize;
    mutable pthread_mutex_t m_lock = PTHREAD_MUTEX_INITIALIZER;
    YavCachingAllocator* m_allocator = nullptr;  // guarded by m_lock
    unsigned m_allocatorReferences = 0;          // guarded by m_lock
};

#endif  // YAV_CORE_MEMORY_YAVCLASSALLOCATOR_H
