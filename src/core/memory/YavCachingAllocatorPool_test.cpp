#include "core/memory/YavCachingAllocatorPool.h"

#include <gtest/gtest.h>
#include <string.h>

#include <thread>
#include <vector>

#include "core/msg/yav_status.h"

namespace {

time_t g_now = 1000;
time_t test_clock() { return g_now; }

TEST(YavCachingAllocatorPoolTest, PreCreatesCountAndHandsOutTheLastReturnedFirst) {
    YavCachingAllocatorPool pool;
    ASSERT_EQ(0u, pool.initialize(YAV_N_CACHING_ALLOCATOR_POOL, 3, 4, 64, 60, test_clock));
    EXPECT_EQ(3u, pool.idleAllocators());
    EXPECT_EQ(YAV_S_ALREADY_INITIALIZED,
              pool.initialize(YAV_N_CACHING_ALLOCATOR_POOL, 3, 4, 64, 60, test_clock));

    YavCachingAllocator* a = pool.getAllocator();
    YavCachingAllocator* b = pool.getAllocator();
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_STREQ("3", a->allocator()->component_name);  // the last one made came back first
    EXPECT_STREQ("2", b->allocator()->component_name);
    EXPECT_EQ(YAV_ALLOC_UNLOCKED | YAV_ALLOC_VARIABLE | YAV_ALLOC_GROWABLE | YAV_ALLOC_NAMED_STATS,
              a->allocator()->flags);
    EXPECT_EQ(4u, a->allocator()->n_blocks);
    for (int i = 0; i < 9; ++i) ASSERT_NE(nullptr, YavAllocator::allocate(a, 100));

    pool.returnAllocator(a);
    pool.returnAllocator(b);
    EXPECT_EQ(b, pool.getAllocator());
    EXPECT_EQ(a, pool.getAllocator());
    EXPECT_EQ(a->allocator()->n_blocks, a->allocator()->n_free);  // returning collected it

    YavCachingAllocator* c = pool.getAllocator();
    YavCachingAllocator* d = pool.getAllocator();  // none idle: a new one
    ASSERT_NE(nullptr, d);
    EXPECT_STREQ("4", d->allocator()->component_name);
    EXPECT_EQ(0u, pool.idleAllocators());
    for (YavCachingAllocator* x : {a, b, c, d}) pool.returnAllocator(x);
}

TEST(YavCachingAllocatorPoolTest, IdleAllocatorsBeyondTheCountExpire) {
    YavCachingAllocatorPool pool;
    g_now = 1000;
    ASSERT_EQ(0u, pool.initialize(YAV_N_CACHING_ALLOCATOR_POOL, 1, 2, 32, 60, test_clock));
    YavCachingAllocator* taken[3];
    for (auto& t : taken) t = pool.getAllocator();
    for (auto& t : taken) {
        pool.returnAllocator(t);
        g_now += 10;
    }
    EXPECT_EQ(0u, pool.expireIdle(1060));  // the oldest stamp + 60 is not before 1060
    EXPECT_EQ(2u, pool.expireIdle(1200));  // all expired, one kept
    EXPECT_EQ(taken[2], pool.getAllocator());
    pool.returnAllocator(taken[2]);
}

TEST(YavCachingAllocatorPoolTest, AllocatorsMoveBetweenEightThreads) {
    YavCachingAllocatorPool pool;
    ASSERT_EQ(0u, pool.initialize(YAV_N_CACHING_ALLOCATOR_POOL, 2, 4, 64, 3600));
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&pool, t] {
            for (int i = 0; i < 300; ++i) {
                YavCachingAllocator* a = pool.getAllocator();
                ASSERT_NE(nullptr, a);
                for (int j = 0; j < 20; ++j) {
                    void* p = YavAllocator::allocate(a, 8 + j * 8);
                    ASSERT_NE(nullptr, p);
                    memset(p, t, 8);
                }
                pool.returnAllocator(a);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_GE(pool.idleAllocators(), 2u);
    EXPECT_LE(pool.idleAllocators(), 8u);
}

}  // namespace
