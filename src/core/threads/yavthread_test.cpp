#include "core/threads/yavthread.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "core/threads/yavthread_internal.h"

namespace {

TEST(YavThreadTest, ExpirationAddsDeltaToNowAndNormalises) {
    const time_t maxTime = std::numeric_limits<time_t>::max();
    struct Case {
        timeval now;
        timespec delta;
        int status;
        timespec expected;
    };
    const std::vector<Case> cases = {
        {{1000, 500000}, {0, 999999999}, 0, {1001, 499999999}},
        {{1000, 1}, {0, 999999000}, 0, {1001, 0}},
        {{1000, 0}, {1, 3500000000L}, 0, {1004, 500000000}},
        {{0, 999999}, {0, std::numeric_limits<long>::max()}, 0, {9223372037L, 854774807L}},
        {{1000, 0}, {maxTime, 0}, 0, {maxTime, 999999999}},  // held at the end of time
        {{1, 500000}, {maxTime - 1, 600000000}, 0, {maxTime, 999999999}},
        {{1000, 0}, {-1, 0}, EINVAL, {0, 0}},
        {{1000, 0}, {5, -1}, EINVAL, {0, 0}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        timespec result = {0, 0};
        EXPECT_EQ(cases[i].status,
                  yavthread_expiration_from(cases[i].now, &cases[i].delta, &result))
            << i;
        EXPECT_EQ(cases[i].expected.tv_sec, result.tv_sec) << i;
        EXPECT_EQ(cases[i].expected.tv_nsec, result.tv_nsec) << i;
    }
    timespec delta = {10, 0};
    EXPECT_EQ(EINVAL, yavthread_get_expiration_np(nullptr, &delta));
    EXPECT_EQ(EINVAL, yavthread_get_expiration_np(&delta, nullptr));
    timespec result;
    time_t before = time(nullptr);
    ASSERT_EQ(0, yavthread_get_expiration_np(&delta, &result));
    EXPECT_GE(result.tv_sec, before + 10);
    EXPECT_LE(result.tv_sec, time(nullptr) + 10);
}

TEST(YavThreadTest, DelayReturnsNoEarlierThanItsDeadline) {
    timespec start, end;
    clock_gettime(CLOCK_REALTIME, &start);
    timespec delta = {0, 50000000};
    EXPECT_EQ(0, yavthread_delay_np(&delta));
    clock_gettime(CLOCK_REALTIME, &end);
    EXPECT_GE((end.tv_sec - start.tv_sec) * 1000000000L + (end.tv_nsec - start.tv_nsec), 50000000L);
    delta.tv_nsec = -1;
    EXPECT_EQ(EINVAL, yavthread_delay_np(&delta));
}

void* sleep_for_an_hour(void*) {
    yavthread_sleep_np(3600);
    return nullptr;
}

TEST(YavThreadTest, CancelledDelayReleasesTheSharedMutex) {
    pthread_t thread;
    ASSERT_EQ(0, yavthread_create(&thread, nullptr, sleep_for_an_hour, nullptr));
    ASSERT_EQ(0, pthread_cancel(thread));
    void* result = nullptr;
    ASSERT_EQ(0, pthread_join(thread, &result));  // joinable by default
    EXPECT_EQ(PTHREAD_CANCELED, result);
    ASSERT_EQ(0, pthread_mutex_trylock(yavthread_delay_mutex()));
    pthread_mutex_unlock(yavthread_delay_mutex());
}

TEST(YavThreadTest, AttributesHaveSystemScopeAndAreJoinable) {
    pthread_attr_t attr;
    ASSERT_EQ(0, yavthread_attr_init(&attr));
    int scope = -1, state = -1;
    pthread_attr_getscope(&attr, &scope);
    pthread_attr_getdetachstate(&attr, &state);
    EXPECT_EQ(PTHREAD_SCOPE_SYSTEM, scope);
    EXPECT_EQ(PTHREAD_CREATE_JOINABLE, state);
    pthread_attr_destroy(&attr);
}

TEST(YavThreadDeathTest, FailingLockCallStopsWithTheAssertionLine) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const char* line = "Assertion failed at .*yavthread\\.cpp:[0-9]+: status == 0\n";
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_ERRORCHECK);
    pthread_mutex_t mutex;
    pthread_mutex_init(&mutex, &attr);
    // An error-checking mutex refuses a second lock (EDEADLK) and an unlock
    // by a thread that does not hold it (EPERM); the holder of a write lock
    // may take neither lock again (EDEADLK).
    EXPECT_DEATH(yavthread_mutex_lock(&mutex); yavthread_mutex_lock(&mutex), line);
    EXPECT_DEATH(yavthread_mutex_unlock(&mutex), line);
    pthread_rwlock_t lock = PTHREAD_RWLOCK_INITIALIZER;
    EXPECT_DEATH(yavthread_rwlock_wrlock(&lock); yavthread_rwlock_wrlock(&lock), line);
    EXPECT_DEATH(yavthread_rwlock_wrlock(&lock); yavthread_rwlock_rdlock(&lock), line);
    pthread_mutex_destroy(&mutex);
    pthread_mutexattr_destroy(&attr);
}

}  // namespace
