// Thin wrappers over POSIX threads.
//
// The lock wrappers treat a failing lock call as an internal inconsistency:
// the process stops through yav_assert_fail.  They return 0 so that callers
// written against the POSIX functions keep compiling.  All functions are
// safe to call from any thread.
#ifndef YAV_CORE_THREADS_YAVTHREAD_H
#define YAV_CORE_THREADS_YAVTHREAD_H

#include <pthread.h>
#include <time.h>

#include "core/sundry/yav_base.h"

YAV_EXPORT int yavthread_mutex_lock(pthread_mutex_t* mutex);
YAV_EXPORT int yavthread_mutex_unlock(pthread_mutex_t* mutex);
YAV_EXPORT int yavthread_rwlock_rdlock(pthread_rwlock_t* lock);
YAV_EXPORT int yavthread_rwlock_wrlock(pthread_rwlock_t* lock);
YAV_EXPORT int yavthread_rwlock_unlock(pthread_rwlock_t* lock);

// Initialises attributes with system contention scope and the joinable
// state.  On failure the attributes are destroyed and the error returned.
YAV_EXPORT int yavthread_attr_init(pthread_attr_t* attr);

// Creates a thread; a null attr means the attributes of yavthread_attr_init,
// made and destroyed around the call.  Returns the POSIX result.  file and
// line name the caller (use the yavthread_create macro).
YAV_EXPORT int yavthread_create_(const char* file, int line, pthread_t* thread,
                                 const pthread_attr_t* attr, void* (*start)(void*), void* arg);
#define yavthread_create(thread, attr, start, arg) \
    yavthread_create_(__FILE__, __LINE__, (thread), (attr), (start), (arg))

// abstime = now + delta, nanoseconds normalised below 1,000,000,000.
// Returns EINVAL for a null argument or a negative part of delta, else 0.
YAV_EXPORT int yavthread_get_expiration_np(const struct timespec* delta, struct timespec* abstime);

// Waits delta (or whole seconds); a cancellation point.
YAV_EXPORT int yavthread_delay_np(const struct timespec* delta);
YAV_EXPORT int yavthread_sleep_np(unsigned int seconds);

// Scoped holders for the wrappers above.  Not copyable.
class YavMutexLock {
public:
    explicit YavMutexLock(pthread_mutex_t* m) : m_mutex(m) { yavthread_mutex_lock(m_mutex); }
    ~YavMutexLock() { yavthread_mutex_unlock(m_mutex); }
    YAV_DISALLOW_COPY(YavMutexLock);

private:
    pthread_mutex_t* m_mutex;
};

class YavReadLock {
public:
    explicit YavReadLock(pthread_rwlock_t* l) : m_lock(l) { yavthread_rwlock_rdlock(m_lock); }
    ~YavReadLock() { yavthread_rwlock_unlock(m_lock); }
    YAV_DISALLOW_COPY(YavReadLock);

private:
    pthread_rwlock_t* m_lock;
};

class YavWriteLock {
public:
    explicit YavWriteLock(pthread_rwlock_t* l) : m_lock(l) { yavthread_rwlock_wrlock(m_lock); }
    ~YavWriteLock() { yavthread_rwlock_unlock(m_lock); }
    YAV_DISALLOW_COPY(YavWriteLock);

private:
    pthread_rwlock_t* m_lock;
};

#endif  // YAV_CORE_THREADS_YAVTHREAD_H
