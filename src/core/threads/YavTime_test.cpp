#include "core/threads/YavTime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Counts its reads; each read is one second later than the one before.
std::atomic<int> g_clockReads{0};
time_t counting_clock() { return 1000000 + g_clockReads.fetch_add(1); }

TEST(YavTimeTest, ManyThreadsStartTheClockOnceAndReadTheCache) {
    // An hour between updates keeps the updater asleep during the test;
    // the destructor cancels it in that sleep.
    YavTime clock(3600, counting_clock);
    EXPECT_EQ(0, g_clockReads.load());  // nothing happens before the first call
    std::atomic<bool> go{false};
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            while (!go.load()) {
            }
            for (int i = 0; i < 2000; ++i) {
                if (clock.time() != 1000000) mismatches.fetch_add(1);
            }
        });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, mismatches.load());
    EXPECT_EQ(1, g_clockReads.load());
}

TEST(YavTimeTest, ProcessClockFollowsTheSystemTime) {
    time_t before = YavTime::now();
    time_t cached = YavTime::process().time();
    EXPECT_EQ(&YavTime::process(), &YavTime::process());
    // The cache may lag by its one-second interval plus scheduling delay.
    EXPECT_GE(cached, before - 60);
    EXPECT_LE(cached, time(nullptr));
}

}  // namespace
