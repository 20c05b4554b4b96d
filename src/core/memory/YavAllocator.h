// YavAllocator: the allocator interface that every string, container and
// per-request object of libyav accepts.
//
// A null YavAllocator* means the process heap: the static entry points fall
// back to malloc, free, realloc and malloc+copy.  Implementations decide
// their own thread safety (YavCachingAllocator documents its own); the base
// class holds no state.
//
// Objects placed through an allocator (YavAllocatedObject, yav_new) take one
// word more than the object: the first word holds the allocator and the
// object follows, so the object can be freed without knowing who made it.
// Such objects are aligned to a pointer, not to max_align_t.
#ifndef YAV_CORE_MEMORY_YAVALLOCATOR_H
#define YAV_CORE_MEMORY_YAVALLOCATOR_H

#include <cstddef>
#include <new>
#include <utility>

#include "core/sundry/yav_base.h"

class YAV_EXPORT YavAllocator {
public:
    YavAllocator() = default;
    virtual ~YavAllocator();
    YAV_DISALLOW_COPY(YavAllocator);

    // Null allocator = process heap.  allocate returns null on failure.
    static void* allocate(YavAllocator* allocator, size_t size);
    static void deallocate(YavAllocator* allocator, void* ptr);
    static void* reallocate(YavAllocator* allocator, void* ptr, size_t oldSize, size_t newSize);
    static void* duplicate(YavAllocator* allocator, const void* src, size_t size);

protected:
    virtual void* do_allocate(size_t size) = 0;
    virtual void do_deallocate(void* ptr) = 0;
    // Default: newSize 0 with a non-zero oldSize frees and returns null; a
    // block whose newSize is not above oldSize is returned unchanged;
    // otherwise a new block is allocated, oldSize bytes copied, the old freed.
    virtual void* do_reallocate(void* ptr, size_t oldSize, size_t newSize);
    // Default: null for size 0, else allocate and copy.
    virtual void* do_duplicate(const void* src, size_t size);
};

// Procedural wrappers over the static entry points.
YAV_EXPORT void* yav_allocator_alloc(YavAllocator* allocator, size_t size);
YAV_EXPORT void* yav_allocator_realloc(YavAllocator* allocator, void* ptr, size_t oldSize,
                                       size_t newSize);
YAV_EXPORT void yav_allocator_free(YavAllocator* allocator, void* ptr);

// Raw placement: allocates one word plus size through allocator, stores the
// allocator in the first word and returns the address after it (null on
// failure).  yav_placed_free reads the word back and frees the whole block.
YAV_EXPORT void* yav_placed_alloc(YavAllocator* allocator, size_t size);
YAV_EXPORT void yav_placed_free(void* object);
// The allocator that placed object.
YAV_EXPORT YavAllocator* yav_placed_allocator(const void* object);

// Base for classes whose objects are made with `new (allocator) T(...)`.
// The form never throws: a failed allocation yields null and no constructor
// runs.  `delete p` (through a virtual destructor where there is one) frees
// through the allocator that made p.
class YAV_EXPORT YavAllocatedObject {
public:
    static void* operator new(size_t size, YavAllocator* allocator) noexcept {
        return yav_placed_alloc(allocator, size);
    }
    static void operator delete(void* object) noexcept { yav_placed_free(object); }
    // Called only when a constructor of a placed object throws.
    static void operator delete(void* object, YavAllocator*) noexcept { yav_placed_free(object); }
};

// Places a T of any type through allocator; null on failure.
template <class T, class... Args>
T* yav_new(YavAllocator* allocator, Args&&... args) {
    void* mem = yav_placed_alloc(allocator, sizeof(T));
    if (mem == nullptr) return nullptr;
    return ::new (mem) T(std::forward<Args>(args)...);
}

// Destroys and frees an object made with yav_new.  Null is ignored.
template <class T>
void yav_delete(T* object) {
    if (object == nullptr) return;
    object->~T();
    yav_placed_free(object);
}

#endif  // YAV_CORE_MEMORY_YAVALLOCATOR_H
