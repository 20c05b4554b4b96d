#include "core/memory/YavAllocator.h"

#include <cstdlib>
#include <cstring>

YavAllocator::~YavAllocator() = default;

void* YavAllocator::allocate(YavAllocator* allocator, size_t size) {
    return allocator != nullptr ? allocator->do_allocate(size) : malloc(size);
}

void YavAllocator::deallocate(YavAllocator* allocator, void* ptr) {
    if (ptr == nullptr) return;
    if (allocator != nullptr) {
        allocator->do_deallocate(ptr);
    } else {
        free(ptr);
    }
}

void* YavAllocator::reallocate(YavAllocator* allocator, void* ptr, size_t oldSize,
                               size_t newSize) {
    if (allocator != nullptr) return allocator->do_reallocate(ptr, oldSize, newSize);
    if (newSize == 0) {
        free(ptr);
        return nullptr;
    }
    return realloc(ptr, newSize);
}

void* YavAllocator::duplicate(YavAllocator* allocator, const void* src, size_t size) {
    if (allocator != nullptr) return allocator->do_duplicate(src, size);
    if (size == 0) return nullptr;
    void* copy = malloc(size);
    if (copy != nullptr) memcpy(copy, src, size);
    return copy;
}

void* YavAllocator::do_reallocate(void* ptr, size_t oldSize, size_t newSize) {
    if (newSize == 0 && oldSize != 0) {
        do_deallocate(ptr);
        return nullptr;
    }
    if (ptr != nullptr && newSize <= oldSize) return ptr;
    void* block = do_allocate(newSize);
    if (block == nullptr) return nullptr;
    if (ptr != nullptr) {
        memcpy(block, ptr, oldSize);
        do_deallocate(ptr);
    }
    return block;
}

void* YavAllocator::do_duplicate(const void* src, size_t size) {
    if (size == 0) return nullptr;
    void* copy = do_allocate(size);
    if (copy != nullptr) memcpy(copy, src, size);
    return copy;
}

void* yav_allocator_alloc(YavAllocator* allocator, size_t size) {
    return YavAllocator::allocate(allocator, size);
}

void* yav_allocator_realloc(YavAllocator* allocator, void* ptr, size_t oldSize, size_t newSize) {
    return YavAllocator::reallocate(allocator, ptr, oldSize, newSize);
}

void yav_allocator_free(YavAllocator* allocator, void* ptr) {
    YavAllocator::deallocate(allocator, ptr);
}

void* yav_placed_alloc(YavAllocator* allocator, size_t size) {
    void** block = static_cast<void**>(YavAllocator::allocate(allocator, sizeof(void*) + size));
    if (block == nullptr) return nullptr;
    block[0] = allocator;
    return block + 1;
}

void yav_placed_free(void* object) {
    if (object == nullptr) return;
    void** block = static_cast<void**>(object) - 1;
    YavAllocator::deallocate(static_cast<YavAllocator*>(block[0]), block);
}

YavAllocator* yav_placed_allocator(const void* object) {
    return static_cast<YavAllocator* const*>(object)[-1];
}
