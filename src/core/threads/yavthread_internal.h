// Internals of the thread wrappers, visible to libyav and its tests only
// (not exported).  All functions may be called from any thread.
#ifndef YAV_CORE_THREADS_YAVTHREAD_INTERNAL_H
#define YAV_CORE_THREADS_YAVTHREAD_INTERNAL_H

#include <pthread.h>
#include <sys/time.h>
#include <time.h>

// abstime = now + delta, nanoseconds normalised below 1,000,000,000; a sum
// beyond the range of time_t is held at the largest time.  Returns EINVAL
// for a null delta or abstime or a negative part of delta, else 0.
// REQUIRES: 0 <= now.tv_usec < 1,000,000.
// yavthread_get_expiration_np is this function with now = gettimeofday.
int yavthread_expiration_from(const struct timeval& now, const struct timespec* delta,
                              struct timespec* abstime);

// The one process-wide mutex on which every delay waits.  Exposed so that
// tests can see that a cancelled delay has released it.
pthread_mutex_t* yavthread_delay_mutex();

#endif  // YAV_CORE_THREADS_YAVTHREAD_INTERNAL_H
