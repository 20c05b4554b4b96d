// YavPluginVirtualHostList: the virtual hosts that the plug-in knows, in
// the order they were appended, with the read-write lock that guards them.
//
// A request's host is found with a match-mode YavPluginVirtualHostKey and
// find(): the search is linear from the head, so the first host in list
// order whose ID equals the request's and that serves the request's
// protocol wins.
//
// Memory: the list owns its hosts (delEntries() and the destructor delete
// them; hosts are made with `new (std::nothrow) YavPluginVirtualHost`); the
// list's entries come from the allocator given at construction (null =
// process heap).
//
// Threads and locks: the lock guards the list's entries and every host in
// it.  Readers (request threads) hold readLock() while they look up a host
// and while they use it; writers (loading the local hosts, replacing the
// list with the authorization server's hosts) hold writeLock() while they
// delete or append hosts.  The lock is not recursive: a thread that holds
// the read lock must not ask for the write lock.  The lock is initialised
// statically, so a list is usable without any set-up.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOSTLIST_H
#define YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOSTLIST_H

#include <pthread.h>

#include "core/list/YavSearchableList.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavPluginVirtualHost.h"
#include "plugin/core/YavPluginVirtualHostKey.h"

class YAV_EXPORT YavPluginVirtualHostList
    : public YavSearchableList<YavPluginVirtualHost, YavPluginVirtualHostKey> {
  public:
    explicit YavPluginVirtualHostList(YavAllocator* allocator = nullptr);
    // Deletes every host.
    // REQUIRES: no thread holds or waits for the lock.
    ~YavPluginVirtualHostList() override;
    YAV_DISALLOW_COPY(YavPluginVirtualHostList);

    // Each returns the status of the underlying lock call, 0 on success.
    int readLock();
    int writeLock();
    int unlock();

  private:
    pthread_rwlock_t m_lock = PTHREAD_RWLOCK_INITIALIZER;
};

#endif  // YAV_PLUGIN_CORE_YAVPLUGINVIRTUALHOSTLIST_H
