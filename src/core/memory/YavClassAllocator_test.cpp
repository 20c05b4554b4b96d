#include "core/memory/YavClassAllocator.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <vector>

#include "core/msg/yav_status.h"

namespace {

// Larger than the block size given, as objects are on 64-bit builds.
struct Wide {
    explicit Wide(int seed) {
        for (size_t i = 0; i < sizeof bytes; ++i) bytes[i] = static_cast<unsigned char>(seed + i);
    }
    ~Wide() { ++destroyed; }
    unsigned char bytes[96];
    static int destroyed;
};
int Wide::destroyed = 0;

YavClassAllocator g_wide(YAV_N_ERROR_MESSAGE, 8);

TEST(YavClassAllocatorTest, FirstReferenceCreatesAndLastDeletes) {
    EXPECT_FALSE(g_wide.isAcquired());
    ASSERT_EQ(0u, g_wide.acquire());
    YavCachingAllocator* first = g_wide.allocator();
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, first->allocator()) << "initialized";
    ASSERT_EQ(0u, g_wide.acquire());
    EXPECT_EQ(first, g_wide.allocator()) << "a second reference shares the allocator";
    EXPECT_EQ(2u, g_wide.references());
    g_wide.release();
    EXPECT_TRUE(g_wide.isAcquired());
    g_wide.release();
    EXPECT_FALSE(g_wide.isAcquired());
    EXPECT_EQ(0u, g_wide.references());
    ASSERT_EQ(0u, g_wide.acquire()) << "can be created again";
    g_wide.release();
}

TEST(YavClassAllocatorTest, PlacesObjectsLargerThanTheBlockSize) {
    ASSERT_EQ(0u, g_wide.acquire());
    std::vector<Wide*> objects;
    for (int i = 0; i < 150; ++i) {
        Wide* w = g_wide.make<Wide>(i);
        ASSERT_NE(nullptr, w);
        objects.push_back(w);
    }
    // Every byte of every object is its own: a block smaller than the
    // object would overlap the next one.
    for (size_t i = 0; i < objects.size(); ++i) {
        for (size_t b = 0; b < sizeof objects[i]->bytes; ++b) {
            ASSERT_EQ(static_cast<unsigned char>(i + b), objects[i]->bytes[b]) << i << " " << b;
        }
    }
    Wide::destroyed = 0;
    for (Wide* w : objects) g_wide.destroy(w);
    g_wide.destroy<Wide>(nullptr);
    EXPECT_EQ(150, Wide::destroyed);
    g_wide.release();
}

YavClassAllocator g_shared(YAV_N_SHMEM_ITERATOR, 24);

void* churn(void*) {
    for (int i = 0; i < 300; ++i) {
        if (g_shared.acquire() != 0) return reinterpret_cast<void*>(1);
        Wide* w = g_shared.make<Wide>(i);
        if (w == nullptr || w->bytes[95] != static_cast<unsigned char>(i + 95)) {
            return reinterpret_cast<void*>(1);
        }
        g_shared.destroy(w);
        g_shared.release();
    }
    return nullptr;
}

TEST(YavClassAllocatorTest, ThreadsAcquireAndReleaseConcurrently) {
    // One reference held throughout keeps some objects alive across the
    // other threads' churn.
    ASSERT_EQ(0u, g_shared.acquire());
    Wide* kept = g_shared.make<Wide>(7);
    ASSERT_NE(nullptr, kept);
    auto churnInFourThreads = [] {
        pthread_t threads[4];
        for (pthread_t& t : threads) ASSERT_EQ(0, pthread_create(&t, nullptr, churn, nullptr));
        for (pthread_t& t : threads) {
            void* result = nullptr;
            ASSERT_EQ(0, pthread_join(t, &result));
            EXPECT_EQ(nullptr, result);
        }
    };
    churnInFourThreads();
    EXPECT_EQ(1u, g_shared.references());
    EXPECT_EQ(7u, kept->bytes[0]);
    g_shared.destroy(kept);
    g_shared.release();
    EXPECT_FALSE(g_shared.isAcquired());
    churnInFourThreads();  // without the long-lived reference the allocator comes and goes
    EXPECT_EQ(0u, g_shared.references());
}

TEST(YavClassAllocatorDeathTest, UseBeforeAcquireIsAProgrammingError) {
    YavClassAllocator never(YAV_N_SHMEM_ALLOCATOR, 24);
    EXPECT_DEATH(never.allocator(), "Assertion failed at .*: m_allocator");
    EXPECT_DEATH(never.release(), "Assertion failed");
}

}  // namespace
