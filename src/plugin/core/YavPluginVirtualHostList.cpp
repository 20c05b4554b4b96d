#include "plugin/core/YavPluginVirtualHostList.h"

#include "core/threads/yavthread.h"

YavPluginVirtualHostList::YavPluginVirtualHostList(YavAllocator* allocator)
    : YavSearchableList<YavPluginVirtualHost, YavPluginVirtualHostKey>(allocator, true) {}

YavPluginVirtualHostList::~YavPluginVirtualHostList() {
    delEntries();
    pthread_rwlock_destroy(&m_lock);
}

int YavPluginVirtualHostList::readLock() { return yavthread_rwlock_rdlock(&m_lock); }

int YavPluginVirtualHostList::writeLock() { return yavthread_rwlock_wrlock(&m_lock); }

int YavPluginVirtualHostList::unlock() { return yavthread_rwlock_unlock(&m_lock); }
