#include "core/queue/YavExpiringList.h"

#include <errno.h>

#include "core/msg/yav_status.h"
#include "core/threads/yavthread.h"

YavExpiringListEntry::~YavExpiringListEntry() = default;

time_t YavExpiringList::processClock() { return YavTime::process().time(); }

YavExpiringList::~YavExpiringList() {
    if (m_cleanerRunning) {
        {
            YavMutexLock lock(&m_mutex);
            m_stop = true;
            pthread_cond_signal(&m_cond);
        }
        pthread_join(m_cleaner, nullptr);
    }
    clear();
    if (m_condMade) pthread_cond_destroy(&m_cond);
    pthread_mutex_destroy(&m_mutex);
}

yav_status_t YavExpiringList::initialize(time_t period, unsigned minimum, YavTime::Clock clock,
                                         bool runCleaner) {
    if (m_initialized) return YAV_S_ALREADY_INITIALIZED;
    if (period < 1) return YAV_S_INVALID_VALUE;
    {
        YavMutexLock lock(&m_mutex);
        m_period = period;
        m_minimum = minimum;
        if (clock != nullptr) m_clock = clock;
    }
    if (runCleaner) {
        if (!m_condMade) {
            pthread_condattr_t attr;
            if (pthread_condattr_init(&attr) != 0) return YAV_S_THREAD_INIT;
            m_condMade = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 &&
                         pthread_cond_init(&m_cond, &attr) == 0;
            pthread_condattr_destroy(&attr);
            if (!m_condMade) return YAV_S_THREAD_INIT;
        }
        if (yavthread_create(&m_cleaner, nullptr, &YavExpiringList::cleaner, this) != 0) {
            return YAV_S_THREAD_INIT;
        }
        m_cleanerRunning = true;
    }
    m_initialized = true;
    return 0;
}

void YavExpiringList::add(YavExpiringListEntry* entry) {
    time_t now = m_clock();
    YavMutexLock lock(&m_mutex);
    entry->m_stamp = now;
    entry->m_newer = nullptr;
    entry->m_older = m_newest;
    if (m_newest != nullptr) {
        m_newest->m_newer = entry;
    } else {
        m_oldest = entry;
    }
    m_newest = entry;
    ++m_count;
}

YavExpiringListEntry* YavExpiringList::remove() {
    YavMutexLock lock(&m_mutex);
    YavExpiringListEntry* entry = m_newest;
    if (entry != nullptr) unlinkLocked(entry);
    return entry;
}

unsigned YavExpiringList::entries() const {
    YavMutexLock lock(&m_mutex);
    return m_count;
}

void YavExpiringList::removeEntry(YavExpiringListEntry* entry) {
    YavMutexLock lock(&m_mutex);
    unlinkLocked(entry);
}

void YavExpiringList::clear() {
    YavExpiringListEntry* chain;
    {
        YavMutexLock lock(&m_mutex);
        chain = m_newest;
        m_newest = m_oldest = nullptr;
        m_count = 0;
    }
    destroyChain(chain);
}

unsigned YavExpiringList::expire(time_t now) {
    YavExpiringListEntry* chain = nullptr;
    unsigned expired = 0;
    {
        YavMutexLock lock(&m_mutex);
        while (m_oldest != nullptr && m_count > m_minimum) {
            YavExpiringListEntry* entry = m_oldest;
            // A stamp so late that stamp + period overflows never expires.
            time_t deadline;
            if (__builtin_add_overflow(entry->m_stamp, m_period, &deadline) || deadline >= now) {
                break;
            }
            unlinkLocked(entry);
            entry->m_older = chain;
            chain = entry;
            ++expired;
        }
    }
    destroyChain(chain);
    return expired;
}

void YavExpiringList::unlinkLocked(YavExpiringListEntry* entry) {
    if (entry->m_newer != nullptr) {
        entry->m_newer->m_older = entry->m_older;
    } else {
        m_newest = entry->m_older;
    }
    if (entry->m_older != nullptr) {
        entry->m_older->m_newer = entry->m_newer;
    } else {
        m_oldest = entry->m_newer;
    }
    entry->m_newer = entry->m_older = nullptr;
    --m_count;
}

// Destroys a chain linked through m_older.
void YavExpiringList::destroyChain(YavExpiringListEntry* chain) {
    while (chain != nullptr) {
        YavExpiringListEntry* next = chain->m_older;
        delete chain;
        chain = next;
    }
}

void* YavExpiringList::cleaner(void* self) {
    YavExpiringList* list = static_cast<YavExpiringList*>(self);
    pthread_mutex_t* mutex = &list->m_mutex;
    yavthread_mutex_lock(mutex);
    while (!list->m_stop) {
        struct timespec deadline;
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += list->m_period;
        int rc = 0;
        while (!list->m_stop && rc != ETIMEDOUT) {
            rc = pthread_cond_timedwait(&list->m_cond, mutex, &deadline);
        }
        if (list->m_stop) break;
        yavthread_mutex_unlock(mutex);
        list->expire(list->m_clock());
        yavthread_mutex_lock(mutex);
    }
    yavthread_mutex_unlock(mutex);
    return nullptr;
}
