// YavUnprotResourceCache: the plug-in's copy of the authorization server's
// database of open resources, with the version of that copy.
//
// The database maps a branch name to a branch database, which maps an object
// name to its entry (YavUnprotResourceCacheBranchDBEntry).  Names are looked
// up exactly (case-sensitive comparison, the default string hasher).  A
// version answer builds a whole new database and swaps it in under the
// write lock together with its version (setDB, setVersion); readers walk the
// database under the read lock and so see either the old database with the
// old version or the new one with the new version.
//
// Look-ups do not walk the database's tables: setDB builds a look-up index
// of the new database (YavURCDatabaseIndex) that answers exactly as the
// tables would, whatever their chain lengths.  When the index cannot be
// built (no memory) the cache looks up through the tables instead, with the
// same results.
//
// Memory: the cache owns its database (deleted by setDB and the destructor)
// and the database's index (made from the allocator given at construction,
// null = process heap; freed with the database).  Entries handed out by
// lookupDB and contexts of lookupStart point into the database and its
// index and stay valid only while the caller holds the read lock.
//
// Threads: m_lock (writer-preferring; never taken recursively) guards
// m_version, m_database and m_index.  lookupStart, lookupDB,
// size and getVersion REQUIRE the read (or write) lock held by the caller;
// setDB and setVersion REQUIRE the write lock.  The lock is taken with
// readLock / writeLock and given back with unlock.  Not copyable.
#ifndef YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHE_H
#define YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHE_H

#include <pthread.h>

#include <cstdint>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "urc/plugin/YavEpochVersion.h"
#include "urc/plugin/YavURCDatabaseIndex.h"
#include "urc/plugin/YavUnprotResourceCacheBranchDBEntry.h"

class YAV_EXPORT YavUnprotResourceCache {
  public:
    // Bucket counts of the whole database and of each branch database.
    static constexpr unsigned kDatabaseBuckets = 5;
    static constexpr unsigned kBranchBuckets = 15;

    // No database; version all zero.  The index of each database is made
    // from indexAllocator (null = process heap).
    explicit YavUnprotResourceCache(YavAllocator* indexAllocator = nullptr)
        : m_index(indexAllocator) {}
    ~YavUnprotResourceCache();
    YAV_DISALLOW_COPY(YavUnprotResourceCache);

    // Statuses of the lock calls (a failing lock stops the process).
    yav_status_t readLock();
    yav_status_t writeLock();
    yav_status_t unlock();

    // Finds the branch database of branch and returns it in *context.
    // 0, or YAV_S_URC_NO_DATABASE when no database is loaded or it has no
    // such branch (*context is then null).
    // REQUIRES: the lock held; arguments not null (asserted).
    yav_status_t lookupStart(const YavString* branch, void** context) const;
    // Sets *entry to the entry named exactly objectName in the branch
    // database of context, or null.  Returns 0.
    // REQUIRES: the lock held since lookupStart gave context; arguments not
    // null (asserted).
    yav_status_t lookupDB(void* context, const YavString* objectName,
                          const YavUnprotResourceCacheBranchDBEntry** entry) const;
    // The same with the hash of objectName given (a caller that looks up a
    // name and its ancestors hashes all of them in one pass).
    // REQUIRES: as above; hash is objectName's hasher over its text.
    yav_status_t lookupDB(void* context, const YavString* objectName, uint32_t hash,
                          const YavUnprotResourceCacheBranchDBEntry** entry) const;
    // The number of entries of the branch database of branch; -1 when no
    // database is loaded or it has no such branch.
    // REQUIRES: the lock held; branch not null (asserted).
    int size(const YavString* branch) const;

    // Deletes the database held (with its index), takes ownership of db
    // (null: none) and indexes it.
    // REQUIRES: the write lock held; db is not changed while it is held.
    void setDB(YavURCDatabase* db);
    // Copies the 20 bytes of version in.
    // REQUIRES: the write lock held; version not null (asserted).
    void setVersion(const unsigned char* version);
    // The version of the database held.  REQUIRES: the lock held.
    const YavEpochVersion& getVersion() const { return m_version; }
    // Whether look-ups go through the index (false: through the tables).
    // REQUIRES: the lock held.
    bool isIndexed() const { return m_index.isBuilt(); }

  private:
    const YavURCBranchDB* findBranch(const YavString* branch) const;

    // Writers go first: request threads hold the read lock almost all the
    // time, and with glibc's default (readers first) a version answer could
    // wait for its swap indefinitely.  Nobody takes this lock recursively.
    pthread_rwlock_t m_lock = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;
    YavEpochVersion m_version;             // guarded by m_lock
    YavURCDatabase* m_database = nullptr;  // guarded by m_lock; owned
    YavURCDatabaseIndex m_index;           // guarded by m_lock; of m_database
};

#endif  // YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHE_H
