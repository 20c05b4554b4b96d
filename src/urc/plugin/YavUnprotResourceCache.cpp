#include "urc/plugin/YavUnprotResourceCache.h"

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/threads/yavthread.h"

YavUnprotResourceCache::~YavUnprotResourceCache() {
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
    // Look up through a reference of our own: hashing a YavString fills its
    // cached hash, and the caller's string (a virtual host's branch) is
    // shared by every request thread.
    YavStringRef key(*branch);
    return m_database->find(key);
}

yav_status_t YavUnprotResourceCache::lookupStart(const YavString* branch, void** context) const {
    YAV_ASSERT(branch != nullptr);
    YAV_ASSERT(context != nullptr);
    const YavURCBranchDB* db = findBranch(branch);
    *context = const_cast<YavURCBranchDB*>(db);
    return db != nullptr ? 0 : YAV_S_URC_NO_DATABASE;
}

yav_status_t YavUnprotResourceCache::lookupDB(
    void* context, const YavString* objectName,
    const YavUnprotResourceCacheBranchDBEntry** entry) const {
    YAV_ASSERT(context != nullptr);
    YAV_ASSERT(objectName != nullptr);
    YAV_ASSERT(entry != nullptr);
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
    delete m_database;
    m_database = db;
}

void YavUnprotResourceCache::setVersion(const unsigned char* version) {
    YAV_ASSERT(version != nullptr);
    m_version.set(version);
}
