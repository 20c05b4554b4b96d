// YavTime: a cached clock for code that asks for the time often.
//
// The first call of time() stores the current time and starts an updater
// thread that stores the time again every `interval` seconds, for ever.
// time() then reads the cached value under a read lock, so readers never
// block each other and never enter the kernel.  The cached value lags the
// real time by at most one interval (plus scheduling delay).
//
// Locking: m_lock guards m_time; m_started is atomic and is set, under the
// write lock, only after m_time holds a value and the updater runs.
// Every method may be called from any thread.  The destructor cancels and
// joins the updater; no other thread may use the object during or after
// destruction.  Not copyable.
#ifndef YAV_CORE_THREADS_YAVTIME_H
#define YAV_CORE_THREADS_YAVTIME_H

#include <pthread.h>
#include <time.h>

#include <atomic>

#include "core/sundry/yav_base.h"

class YAV_EXPORT YavTime {
  public:
    // The source of the current time; YavTime::now unless a test injects one.
    typedef time_t (*Clock)();

    // An interval of 0 is taken as 1 second.
    explicit YavTime(unsigned intervalSeconds, Clock clock = &YavTime::now);
    ~YavTime();
    YAV_DISALLOW_COPY(YavTime);

    // The cached time in seconds since the epoch.  The first call starts
    // the clock; failing to start the updater thread stops the process.
    time_t time();

    // The system time in seconds since the epoch.
    static time_t now();

    // The process-wide clock, updated every second.  Made on first use and
    // never destroyed.
    static YavTime& process();

  private:
    static void* updater(void* self);

    std::atomic<bool> m_started;
    const unsigned m_interval;
    const Clock m_clock;
    pthread_t m_thread;  // valid once m_started is true
    time_t m_time;       // guarded by m_lock
    pthread_rwlock_t m_lock;
};

#endif  // YAV_CORE_THREADS_YAVTIME_H
