// YavProtectedHashTable<Key, Value>: a YavHashTable with its own read-write
// lock, for tables that many threads read and a few replace (the core's
// POST-URI and configuration-flag tables).
//
// Two ways in:
//   - Self-locking operations on the table (initialize, add, remove, clear,
//     delEntries under the write lock; count, contains, lookup under the
//     read lock).  Each takes and releases the lock within the call.
//     lookup() copies the value out while the read lock is held, so the
//     caller never touches an entry that another thread may delete.
//   - A nested Lock object that holds the lock, in read or write mode, for
//     its lifetime and gives access to the underlying YavHashTable: read
//     mode yields the const table (find, findIter, iteration), write mode
//     also the mutable one.  Use it to look a value up and use it in place,
//     or to replace the whole content as one step.
// REQUIRES: a thread that holds a Lock on a table calls none of that
// table's self-locking operations (the lock is not recursive).
//
// Lock failures are internal inconsistencies: the yavthread_* wrappers stop
// the process.  The lock is statically initialised; construction cannot
// fail.  Keys, values, ownership and memory: as YavHashTable.
//
// Threads: any thread may call any operation.  The table is destroyed by
// one thread when no other uses it.  Not copyable.
#ifndef YAV_CORE_HASH_YAVPROTECTEDHASHTABLE_H
#define YAV_CORE_HASH_YAVPROTECTEDHASHTABLE_H

#include <pthread.h>

#include "core/hash/YavHashTable.h"
#include "core/threads/yavthread.h"

template <class Key, class Value, class KeyDeleter = YavDeleteOperator,
          class ValueDeleter = YavDeleteOperator>
class YavProtectedHashTable {
  public:
    using Table = YavHashTable<Key, Value, KeyDeleter, ValueDeleter>;

    enum LockMode { yav_lock_read, yav_lock_write };

    class Lock {
      public:
        // Takes the table's lock in the given mode; blocks until it has it.
        Lock(YavProtectedHashTable& table, LockMode mode) : m_owner(&table), m_mode(mode) {
            if (mode == yav_lock_write) {
                yavthread_rwlock_wrlock(&m_owner->m_lock);
            } else {
                yavthread_rwlock_rdlock(&m_owner->m_lock);
            }
        }
        // Read mode on a const table.
        explicit Lock(const YavProtectedHashTable& table)
            : m_owner(const_cast<YavProtectedHashTable*>(&table)), m_mode(yav_lock_read) {
            yavthread_rwlock_rdlock(&m_owner->m_lock);
        }
        ~Lock() { yavthread_rwlock_unlock(&m_owner->m_lock); }
        YAV_DISALLOW_COPY(Lock);

        LockMode mode() const { return m_mode; }
        const Table& table() const { return m_owner->m_table; }
        // REQUIRES: the lock was taken in write mode.
        Table& writableTable() {
            YAV_ASSERT(m_mode == yav_lock_write);
            return m_owner->m_table;
        }

      private:
        YavProtectedHashTable* m_owner;
        LockMode m_mode;
    };

    explicit YavProtectedHashTable(YavAllocator* allocator = nullptr, bool ownsKeys = false,
                                   bool ownsValues = false)
        : m_table(allocator, ownsKeys, ownsValues) {}
    ~YavProtectedHashTable() { pthread_rwlock_destroy(&m_lock); }
    YAV_DISALLOW_COPY(YavProtectedHashTable);

    // Write-locked: as YavHashTable::initialize / add / remove / clear /
    // delEntries.
    yav_status_t initialize(uint32_t buckets) {
        YavWriteLock hold(&m_lock);
        return m_table.initialize(buckets);
    }
    yav_status_t add(Key* key, Value* value) {
        YavWriteLock hold(&m_lock);
        return m_table.add(key, value);
    }
    template <class K>
    bool remove(const K& key) {
        YavWriteLock hold(&m_lock);
        return m_table.remove(key);
    }
    void clear() {
        YavWriteLock hold(&m_lock);
        m_table.clear();
    }
    void delEntries() {
        YavWriteLock hold(&m_lock);
        m_table.delEntries();
    }

    // Read-locked.
    size_t count() const {
        YavReadLock hold(&m_lock);
        return m_table.count();
    }
    template <class K>
    bool contains(const K& key) const {
        YavReadLock hold(&m_lock);
        return m_table.contains(key);
    }
    // Copies the value of the first match of key into *out and returns true;
    // false (and *out untouched) when key is absent or its value is null.
    // Value must be copy-assignable.
    template <class K>
    bool lookup(const K& key, Value* out) const {
        YavReadLock hold(&m_lock);
        const Value* value = m_table.find(key);
        if (value == nullptr) return false;
        *out = *value;
        return true;
    }

  private:
    Table m_table;
    // Guards every field of m_table.
    mutable pthread_rwlock_t m_lock = PTHREAD_RWLOCK_INITIALIZER;
};

#endif  // YAV_CORE_HASH_YAVPROTECTEDHASHTABLE_H
