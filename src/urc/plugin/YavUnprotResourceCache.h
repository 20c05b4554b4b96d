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
// Memory: the cache owns its database (deleted by setDB and the destructor).
// Entries handed out by lookupDB and contexts of lookupStart point into the
// database and stay valid only while the caller holds the read lock.
//
// Threads: m_lock (writer-preferring; never taken recursively) guards
// m_version and m_database.  lookupStart, lookupDB,
// size and getVersion REQUIRE the read (or write) lock held by the caller;
// setDB and setVersion REQUIRE the write lock.  The lock is taken with
// readLock / writeLock and given back with unlock.  Not copyable.
#ifndef YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHE_H
#define YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHE_H

#include <pthread.h>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "urc/plugin/YavEpochVersion.h"
#include "urc/plugin/YavUnprotResourceCacheBranchDBEntry.h"

class YAV_EXPORT YavUnprotResourceCache {
  public:
    // Bucket counts of the whole database and of each branch database.
    static constexpr unsigned kDatabaseBuckets = 5;
    static constexpr unsigned kBranchBuckets = 15;

    // No database; version all zero.
    YavUnprotResourceCache() = default;
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
    // The number of entries of the branch database of branch; -1 when no
    // database is loaded or it has no such branch.
    // REQUIRES: the lock held; branch not null (asserted).
    int size(const YavString* branch) const;

    // Deletes the database held and takes ownership of db (null: none).
    // REQUIRES: the write lock held.
    void setDB(YavURCDatabase* db);
    // Copies the 20 bytes of version in.
    // REQUIRES: the write lock held; version not null (asserted).
    void setVersion(const unsigned char* version);
    // The version of the database held.  REQUIRES: the lock held.
    const YavEpochVersion& getVersion() const { return m_version; }

  private:
    const YavURCBranchDB* findBranch(const YavString* branch) const;

    // Writers go first: request threads hold the read lock almost all the
    // time, and with glibc's default (readers first) a version answer could
    // wait for its swap indefinitely.  Nobody takes this lock recursively.
    pthread_rwlock_t m_lock = PTHREAD_RWLOCK_WRITER_NONRECURSIVE_INITIALIZER_NP;
    YavEpochVersion m_version;             // guarded by m_lock
    YavURCDatabase* m_database = nullptr;  // guarded by m_lock; owned
};

#endif  // YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHE_H
