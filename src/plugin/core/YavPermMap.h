// YavPermMap: the permission map of a protected virtual host -- for each
// HTTP method, the action set (YavActionGroupList) that a request with that
// method needs; methods without an entry of their own need the default set.
//
// The method table is a YavHashTable with 5 buckets, keyed by the method
// name.  A new entry goes to the head of its bucket's chain without looking
// for an existing one, so a later setPerms for a method hides an earlier
// one.
//
// Memory: the map owns the default list and every method name and list
// handed to it: names are made with `new (std::nothrow) YavStringRef(...)`
// (the text they refer to must outlive the map) and lists with
// `new (std::nothrow) YavActionGroupList`; the map destroys them with
// `delete`.  The bucket array and the table's entries come from the
// allocator given at construction (null = process heap).
//
// Threads: not locked.  A map is built by one thread before it is
// published and then only read, under the read lock of the virtual-host
// list that holds it.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVPERMMAP_H
#define YAV_PLUGIN_CORE_YAVPERMMAP_H

#include "core/buffers/YavString.h"
#include "core/hash/YavHashTable.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavActionGroupList.h"

class YAV_EXPORT YavPermMap {
  public:
    typedef YavHashTable<YavStringRef, YavActionGroupList> MethodTable;

    // Buckets of the method table.
    static const uint32_t kMethodBuckets = 5;

    explicit YavPermMap(YavAllocator* allocator = nullptr);
    ~YavPermMap();
    YAV_DISALLOW_COPY(YavPermMap);

    // Empties the method table and gives it fresh buckets; deletes the
    // default list.  0, or YAV_S_NO_MEMORY (the map then holds nothing and
    // setPerms fails until a later initialize succeeds).
    yav_status_t initialize();

    // Deletes every method entry (names and lists) and the default list.
    // Returns 0.
    yav_status_t shutdown();

    // Deletes the previous default list and takes perms (may be null).
    // Returns 0.
    yav_status_t setDefaultPerms(YavActionGroupList* perms);

    // Puts (method, perms) at the head of the method's bucket chain and takes
    // ownership of both.  0, or YAV_S_NO_MEMORY / YAV_S_NOT_INITIALIZED when
    // the entry could not be added: the map is then unchanged and method and
    // perms stay the caller's.
    // REQUIRES: method is not null.
    yav_status_t setPerms(YavStringRef* method, YavActionGroupList* perms);

    // The list of the newest entry for method (looked up with the method's
    // hash; an entry stored with a null list yields null), or else the
    // default list; null when neither exists.
    YavActionGroupList* getPerms(const YavStringRef& method) const;

    YavActionGroupList* getDefaultPerms() const { return m_defaultPerms; }
    const MethodTable& getMethodTable() const { return m_methods; }

  private:
    YavActionGroupList* m_defaultPerms;
    MethodTable m_methods;
};

#endif  // YAV_PLUGIN_CORE_YAVPERMMAP_H
