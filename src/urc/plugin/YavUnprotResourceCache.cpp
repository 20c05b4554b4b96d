#include "urc/plugin/YavUnprotResourceCache.h"

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/threads/yavthread.h"
#include "core/trace/YavTrace.h"
#include "core/trace/YavTraceRegistry.h"

YavUnprotResourceCache::~YavUnprotResourceCache() {
    m_index.clear();
    delete m_database;
    pthread_rwlock_destroy(&m_lock);
}

yav_status_t YavUnprotResourceCache::readLock() {
    return static_cast<yav_status_t>(yavthread_rwlock_rdlock(&m_lock));
}

yav_status_t YavUnprotResourceCache::writeLock() {
    return static_cast<yav_status_t>(yavthread_rwlock_wrlock(&m_lock));
}

yav_status_t YavUnprotResourceCache::unlock() {
    return static_cast<yav_status_t>(yavthread_rwlock_unlock(&m_lock));
}

const YavURCBranchDB* YavUnprotResourceCache::findBranch(const YavString* branch) const {
    if (m_database == nullptr) return nullptr;
    if (m_index.isBuilt()) {
        const YavURCDatabaseIndex::Branch* b = m_index.findBranch(*branch);
        return b != nullptr ? b->table : nullptr;
    }
    // Look up through a reference of our own: hashing a YavString fills its
    // cached hash, and the caller's string (a virtual host's branch) is
    // shared by every request thread.
    YavStringRef key(*branch);
    return m_database->find(key);
}

// The context is the branch's index record while the database is indexed,
// else the branch's table; the lock the caller holds keeps it that way
// until its last lookupDB.
yav_status_t YavUnprotResourceCache::lookupStart(const YavString* branch, void** context) const {
    YAV_ASSERT(branch != nullptr);
    YAV_ASSERT(context != nullptr);
    if (m_database != nullptr && m_index.isBuilt()) {
        const YavURCDatabaseIndex::Branch* b = m_index.findBranch(*branch);
        *context = const_cast<YavURCDatabaseIndex::Branch*>(b);
        return b != nullptr ? 0 : YAV_S_URC_NO_DATABASE;
    }
    const YavURCBranchDB* db = findBranch(branch);
    *context = const_cast<YavURCBranchDB*>(db);
    return db != nullptr ? 0 : YAV_S_URC_NO_DATABASE;
}

yav_status_t YavUnprotResourceCache::lookupDB(
    void* context, const YavString* objectName,
    const YavUnprotResourceCacheBranchDBEntry** entry) const {
    YAV_ASSERT(objectName != nullptr);
    return lookupDB(context, objectName, YavURCDatabaseIndex::hashOf(*objectName), entry);
}

yav_status_t YavUnprotResourceCache::lookupDB(
    void* context, const YavString* objectName, uint32_t hash,
    const YavUnprotResourceCacheBranchDBEntry** entry) const {
    YAV_ASSERT(context != nullptr);
    YAV_ASSERT(objectName != nullptr);
    YAV_ASSERT(entry != nullptr);
    if (m_index.isBuilt()) {
        const YavURCDatabaseIndex::Branch* b =
            static_cast<const YavURCDatabaseIndex::Branch*>(context);
        *entry = YavURCDatabaseIndex::findEntry(*b, *objectName, hash);
        return 0;
    }
    const YavURCBranchDB* db = static_cast<const YavURCBranchDB*>(context);
    YavStringRef key(*objectName);
    *entry = db->find(key);
    return 0;
}

int YavUnprotResourceCache::size(const YavString* branch) const {
    YAV_ASSERT(branch != nullptr);
    const YavURCBranchDB* db = findBranch(branch);
    if (db == nullptr) return -1;
    return static_cast<int>(db->count());
}

void YavUnprotResourceCache::setDB(YavURCDatabase* db) {
    if (db == m_database) return;
    m_index.clear();
    delete m_database;
    m_database = db;
    if (db == nullptr) return;
    // Built here, once per database: nothing changes the database while the
    // cache holds it.  Without the index look-ups walk the tables, slower
    // but with the same answers, so a failure is only traced.
    yav_status_t status = m_index.build(*db);
    if (status != 0) {
        YAV_TRACE(YavTraceRegistry::instance().get("tessaro.proxy-if"), 1,
                  "unprotected resource cache: no look-up index (status 0x%08x); "
                  "looking up through the tables",
                  status);
    }
}

void YavUnprotResourceCache::setVersion(const unsigned char* version) {
    YAV_ASSERT(version != nullptr);
    m_version.set(version);
}
