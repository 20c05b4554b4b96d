#include "core/threads/yavthread.h"

#include <errno.h>
#include <sys/time.h>

#include <limits>

#include "core/svc/kr_svc.h"
#include "core/system/yav_assert.h"
#include "core/threads/yavthread_internal.h"

namespace {

constexpr long kNanosPerSecond = 1000000000L;

// Every delay waits on this pair.  The condition variable is never
// signalled: each waiter simply times out at its own deadline.
pthread_mutex_t g_delayMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t g_delayCond = PTHREAD_COND_INITIALIZER;

// Cleanup handler of a delay: a thread cancelled inside
// pthread_cond_timedwait owns the mutex again and must give it back.
extern "C" void release_delay_mutex(void*) { yavthread_mutex_unlock(&g_delayMutex); }

}  // namespace

int yavthread_mutex_lock(pthread_mutex_t* mutex) {
    int status = pthread_mutex_lock(mutex);
    YAV_ASSERT(status == 0);
    return 0;
}

int yavthread_mutex_unlock(pthread_mutex_t* mutex) {
    int status = pthread_mutex_unlock(mutex);
    YAV_ASSERT(status == 0);
    return 0;
}

int yavthread_rwlock_rdlock(pthread_rwlock_t* lock) {
    int status = pthread_rwlock_rdlock(lock);
    YAV_ASSERT(status == 0);
    return 0;
}

int yavthread_rwlock_wrlock(pthread_rwlock_t* lock) {
    int status = pthread_rwlock_wrlock(lock);
    YAV_ASSERT(status == 0);
    return 0;
}

int yavthread_rwlock_unlock(pthread_rwlock_t* lock) {
    int status = pthread_rwlock_unlock(lock);
    YAV_ASSERT(status == 0);
    return 0;
}

int yavthread_attr_init(pthread_attr_t* attr) {
    int status = pthread_attr_init(attr);
    if (status != 0) return status;
    status = pthread_attr_setscope(attr, PTHREAD_SCOPE_SYSTEM);
    if (status == 0) status = pthread_attr_setdetachstate(attr, PTHREAD_CREATE_JOINABLE);
    if (status != 0) pthread_attr_destroy(attr);
    return status;
}

int yavthread_create_(const char* file, int line, pthread_t* thread, const pthread_attr_t* attr,
                      void* (*start)(void*), void* arg) {
    int status;
    if (attr != nullptr) {
        status = pthread_create(thread, attr, start, arg);
    } else {
        pthread_attr_t defaults;
        status = yavthread_attr_init(&defaults);
        if (status == 0) {
            status = pthread_create(thread, &defaults, start, arg);
            pthread_attr_destroy(&defaults);
        }
    }
    if (status != 0) {
        YAV_SVC_DEBUG(yav_svc_thread, 1, "thread creation at %s:%d failed with error %d", file,
                      line, status);
    }
    return status;
}

int yavthread_expiration_from(const timeval& now, const timespec* delta, timespec* abstime) {
    if (delta == nullptr || abstime == nullptr || delta->tv_sec < 0 || delta->tv_nsec < 0) {
        return EINVAL;
    }
    // Split delta's nanoseconds first so that no sum below can overflow,
    // whatever the caller passed.
    long nanos = static_cast<long>(now.tv_usec) * 1000 + delta->tv_nsec % kNanosPerSecond;
    time_t carry = static_cast<time_t>(delta->tv_nsec / kNanosPerSecond + nanos / kNanosPerSecond);
    nanos %= kNanosPerSecond;

    const time_t maxTime = std::numeric_limits<time_t>::max();
    time_t seconds = now.tv_sec;
    if (seconds > maxTime - delta->tv_sec || seconds + delta->tv_sec > maxTime - carry) {
        abstime->tv_sec = maxTime;
        abstime->tv_nsec = kNanosPerSecond - 1;
        return 0;
    }
    abstime->tv_sec = seconds + delta->tv_sec + carry;
    abstime->tv_nsec = nanos;
    return 0;
}

int yavthread_get_expiration_np(const timespec* delta, timespec* abstime) {
    timeval now;
    gettimeofday(&now, nullptr);
    return yavthread_expiration_from(now, delta, abstime);
}

pthread_mutex_t* yavthread_delay_mutex() { return &g_delayMutex; }

int yavthread_delay_np(const timespec* delta) {
    timespec abstime;
    int status = yavthread_get_expiration_np(delta, &abstime);
    if (status != 0) return status;

    yavthread_mutex_lock(&g_delayMutex);
    pthread_cleanup_push(release_delay_mutex, nullptr);
    // Nobody signals the condition variable; a zero result is a spurious
    // wake-up, so wait again until the deadline passes.  Any other error
    // ends the wait rather than spinning on it.
    do {
        status = pthread_cond_timedwait(&g_delayCond, &g_delayMutex, &abstime);
    } while (status == 0);
    pthread_cleanup_pop(1);
    return status == ETIMEDOUT ? 0 : status;
}

int yavthread_sleep_np(unsigned int seconds) {
    timespec delta;
    delta.tv_sec = static_cast<time_t>(seconds);
    delta.tv_nsec = 0;
    return yavthread_delay_np(&delta);
}
