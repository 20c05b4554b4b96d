#include "core/threads/YavTime.h"

#include <new>

#include "core/system/yav_assert.h"
#include "core/threads/yavthread.h"

YavTime::YavTime(unsigned intervalSeconds, Clock clock)
    : m_started(false),
      m_interval(intervalSeconds == 0 ? 1 : intervalSeconds),
      m_clock(clock),
      m_thread(),
      m_time(0) {
    int status = pthread_rwlock_init(&m_lock, nullptr);
    YAV_ASSERT(status == 0);
}

YavTime::~YavTime() {
    if (m_started.load(std::memory_order_acquire)) {
        // The updater is cancelled inside its sleep, never while it holds
        // the write lock: the sleep is its only cancellation point.
        pthread_cancel(m_thread);
        pthread_join(m_thread, nullptr);
    }
    pthread_rwlock_destroy(&m_lock);
}

time_t YavTime::now() { return ::time(nullptr); }

YavTime& YavTime::process() {
    // Built in static storage and never destroyed, so that other objects'
    // destructors may still read the clock while the process exits.
    alignas(YavTime) static unsigned char storage[sizeof(YavTime)];
    static YavTime* clock = new (storage) YavTime(1);
    return *clock;
}

void* YavTime::updater(void* self) {
    YavTime* clock = static_cast<YavTime*>(self);
    for (;;) {
        yavthread_sleep_np(clock->m_interval);
        time_t current = clock->m_clock();
        YavWriteLock lock(&clock->m_lock);
        clock->m_time = current;
    }
    return nullptr;
}

time_t YavTime::time() {
    if (!m_started.load(std::memory_order_acquire)) {
        YavWriteLock lock(&m_lock);
        // Another thread may have started the clock while this one waited
        // for the lock.
        if (!m_started.load(std::memory_order_relaxed)) {
            m_time = m_clock();
            int status = yavthread_create(&m_thread, nullptr, &YavTime::updater, this);
            YAV_ASSERT(status == 0);
            m_started.store(true, std::memory_order_release);
        }
    }
    YavReadLock lock(&m_lock);
    return m_time;
}
