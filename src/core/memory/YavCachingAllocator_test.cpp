#include "core/memory/YavCachingAllocator.h"

#include <gtest/gtest.h>
#include <string.h>

#include "core/memory/YavMemDebug.h"
#include "core/msg/yav_status.h"

namespace {

TEST(YavCachingAllocatorTest, CreatesAVariableGrowableAllocatorWithNameAndDebugFlags) {
    const char* debugged[] = {"general"};
    ASSERT_EQ(0u, YavMemDebug::setDebugNames(debugged, 1));
    const struct {
        yav_status_t nameCode;
        uint32_t flags;
        const char* name;
        uint32_t effective;
    } cases[] = {
        {YAV_N_URC, 0, nullptr, YAV_ALLOC_VARIABLE | YAV_ALLOC_GROWABLE},
        {YAV_N_URC, YAV_ALLOC_STRICT_DELETE | YAV_ALLOC_GROWABLE, "urc",
         YAV_ALLOC_VARIABLE | YAV_ALLOC_GROWABLE | YAV_ALLOC_STRICT_DELETE | YAV_ALLOC_NAMED_STATS},
        {YAV_N_GENERAL_ALLOCATOR, YAV_ALLOC_UNLOCKED, nullptr,
         YAV_ALLOC_VARIABLE | YAV_ALLOC_GROWABLE | YAV_ALLOC_UNLOCKED | YAV_ALLOC_PAGE_PROTECT},
    };
    for (const auto& c : cases) {
        YavCachingAllocator allocator;
        ASSERT_EQ(0u, allocator.initialize(c.nameCode, c.flags, c.name, 5, 44));
        EXPECT_EQ(c.effective, allocator.allocator()->flags) << std::hex << c.flags;
        EXPECT_EQ(5u, allocator.allocator()->n_blocks);
        EXPECT_EQ(YAV_S_ALREADY_INITIALIZED, allocator.initialize(c.nameCode, 0, nullptr, 5, 44));
    }
    YavMemDebug::reset();
}

TEST(YavCachingAllocatorTest, EntryPointsMapToTheBlockFunctions) {
    YavCachingAllocator allocator;
    ASSERT_EQ(0u, allocator.initialize(YAV_N_GENERAL_ALLOCATOR, 0, nullptr, 2, 16));
    yav_allocator* a = allocator.allocator();
    char* p = static_cast<char*>(YavAllocator::allocate(&allocator, 10));
    ASSERT_NE(nullptr, p);
    memcpy(p, "abcdefghij", 10);
    char* q = static_cast<char*>(YavAllocator::reallocate(&allocator, p, 10, 300));
    ASSERT_NE(nullptr, q);
    EXPECT_EQ(0, memcmp(q, "abcdefghij", 10));
    EXPECT_EQ(300u, reinterpret_cast<yav_alloc_var_header*>(q - YAV_ALLOC_HEADER_SIZE)->size);
    char* copy = static_cast<char*>(YavAllocator::duplicate(&allocator, q, 10));
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(0, memcmp(copy, "abcdefghij", 10));
    EXPECT_EQ(0u, a->n_free);
    YavAllocator::deallocate(&allocator, copy);
    EXPECT_EQ(1u, a->n_free);
    EXPECT_EQ(nullptr, YavAllocator::reallocate(&allocator, q, 300, 0));
    EXPECT_EQ(2u, a->n_free);

    // Forgotten blocks all come back with one collection.
    for (int i = 0; i < 25; ++i) ASSERT_NE(nullptr, YavAllocator::allocate(&allocator, i * 3));
    allocator.garbageCollect();
    EXPECT_EQ(a->n_blocks, a->n_free);
    // The destructor collects the outstanding block before deleting.
    ASSERT_NE(nullptr, YavAllocator::allocate(&allocator, 1));
}

}  // namespace
