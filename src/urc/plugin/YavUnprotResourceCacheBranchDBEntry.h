// YavUnprotResourceCacheBranchDBEntry: one object that the authorization
// server lists as open in the unprotected-resource cache: either every
// action is granted on it (type yav_urc_perm_type_all) or the actions of an
// action set are (type yav_urc_perm_type_some, with the set).
//
// Also the two table types of the cache database: a branch database maps
// object names to entries, the whole database maps branch names to branch
// databases.  Both tables own their keys and values.
//
// Memory: the entry owns its action set (made with
// `new (std::nothrow) YavActionGroupList`, deleted with the entry).  Entries
// are made with `new (std::nothrow)` and deleted by the table that holds
// them.  Threads: not locked; built by one thread, then only read under the
// cache's read lock.  Not copyable.
#ifndef YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHEBRANCHDBENTRY_H
#define YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHEBRANCHDBENTRY_H

#include "core/buffers/YavString.h"
#include "core/hash/YavHashTable.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavActionGroupList.h"

enum yav_urc_perm_type_e {
    yav_urc_perm_type_all = 0,   // every action is granted
    yav_urc_perm_type_some = 1,  // the actions of the entry's action set are granted
};

class YAV_EXPORT YavUnprotResourceCacheBranchDBEntry {
  public:
    // Every action granted.
    YavUnprotResourceCacheBranchDBEntry() : m_permType(yav_urc_perm_type_all), m_perms(nullptr) {}
    // The actions of perms granted; the entry takes ownership of perms.
    // REQUIRES: perms is not null (asserted).
    explicit YavUnprotResourceCacheBranchDBEntry(YavActionGroupList* perms);
    ~YavUnprotResourceCacheBranchDBEntry();
    YAV_DISALLOW_COPY(YavUnprotResourceCacheBranchDBEntry);

    int getPermType() const { return m_permType; }
    // The granted set; null for yav_urc_perm_type_all.
    const YavActionGroupList* getPerms() const { return m_perms; }

  private:
    int m_permType;
    YavActionGroupList* m_perms;
};

// Object name -> entry.
typedef YavHashTable<YavString, YavUnprotResourceCacheBranchDBEntry> YavURCBranchDB;
// Branch name -> branch database.
typedef YavHashTable<YavString, YavURCBranchDB> YavURCDatabase;

#endif  // YAV_URC_PLUGIN_YAVUNPROTRESOURCECACHEBRANCHDBENTRY_H
