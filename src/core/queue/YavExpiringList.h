// YavExpiringList: a list of entries stamped with the time they were added,
// whose old entries a cleaner thread destroys.
//
// add() puts an entry at the head (the newest end) stamped with the list's
// clock; remove() takes the newest entry.  Every period seconds the cleaner
// walks from the oldest entry towards the newest and destroys each entry
// whose stamp plus the period lies before now, as long as more than the
// minimum number of entries remain; it stops at the first younger entry.
// Expiry is also available as a method (expire) for callers that drive it
// themselves.
//
// Memory: the list owns the entries it holds; it destroys them with delete,
// so entries must be made with `new (allocator) T(...)` (YavAllocatedObject).
// remove() and removeEntry() give ownership back to the caller.
//
// Threads: m_mutex guards the links, the count and m_stop; every method may
// be called from any thread.  Entries are destroyed after the mutex is
// released.  The cleaner stops only between rounds, while it waits; the
// destructor stops it and then destroys the remaining entries.  Not
// copyable.
#ifndef YAV_CORE_QUEUE_YAVEXPIRINGLIST_H
#define YAV_CORE_QUEUE_YAVEXPIRINGLIST_H

#include <pthread.h>
#include <time.h>

#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"
#include "core/threads/YavTime.h"

class YavExpiringList;

// Base of the entries.  Not copyable.
class YAV_EXPORT YavExpiringListEntry : public YavAllocatedObject {
  public:
    YavExpiringListEntry() = default;
    virtual ~YavExpiringListEntry();
    YAV_DISALLOW_COPY(YavExpiringListEntry);

    // When the entry was last added to a list.
    time_t stamp() const { return m_stamp; }

  private:
    friend class YavExpiringList;
    YavExpiringListEntry* m_newer = nullptr;
    YavExpiringListEntry* m_older = nullptr;
    time_t m_stamp = 0;
};

class YAV_EXPORT YavExpiringList {
  public:
    // The clock of the process (YavTime::process()).
    static time_t processClock();

    YavExpiringList() = default;
    ~YavExpiringList();
    YAV_DISALLOW_COPY(YavExpiringList);

    // Sets the period (seconds, also the age at which entries expire) and the
    // minimum number of entries kept, and starts the cleaner thread unless
    // runCleaner is false.  A null clock means processClock.
    // YAV_S_ALREADY_INITIALIZED when called twice, YAV_S_INVALID_VALUE for a
    // period below 1, YAV_S_THREAD_INIT when the thread or its condition
    // variable cannot be made.
    // REQUIRES: no other thread uses the list during the call.
    yav_status_t initialize(time_t period, unsigned minimum, YavTime::Clock clock = nullptr,
                            bool runCleaner = true);

    // Stamps entry with the clock and puts it at the head.
    // REQUIRES: entry is in no list.
    void add(YavExpiringListEntry* entry);

    // Takes the newest entry; null when the list is empty.
    YavExpiringListEntry* remove();

    // The number of entries.
    unsigned entries() const;

    // Takes entry out of the list.
    // REQUIRES: entry is in this list.
    void removeEntry(YavExpiringListEntry* entry);

    // Destroys every entry.
    void clear();

    // One round of the cleaner at time now; returns the number of entries
    // destroyed.
    unsigned expire(time_t now);

  private:
    static void* cleaner(void* self);
    void unlinkLocked(YavExpiringListEntry* entry);
    static void destroyChain(YavExpiringListEntry* chain);

    mutable pthread_mutex_t m_mutex = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t m_cond;  // wakes the cleaner to stop; made by initialize
    YavExpiringListEntry* m_newest = nullptr;
    YavExpiringListEntry* m_oldest = nullptr;
    unsigned m_count = 0;
    time_t m_period = 0;
    unsigned m_minimum = 0;
    YavTime::Clock m_clock = &YavExpiringList::processClock;
    bool m_initialized = false;
    bool m_condMade = false;
    bool m_cleanerRunning = false;
    bool m_stop = false;
    pthread_t m_cleaner;
};

#endif  // YAV_CORE_QUEUE_YAVEXPIRINGLIST_H
