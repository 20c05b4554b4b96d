#include "plugin/core/YavPluginVirtualHost.h"

#include "core/msg/yav_status.h"

YavPluginVirtualHost::YavPluginVirtualHost(YavAllocator* allocator)
    : m_id(allocator), m_flags(0), m_branch(allocator), m_permMap(nullptr) {}

YavPluginVirtualHost::~YavPluginVirtualHost() { setPermMap(nullptr); }

yav_status_t YavPluginVirtualHost::setPermMap(YavPermMap* permMap) {
    YavPermMap* old = m_permMap;
    m_permMap = permMap;
    if (old != nullptr && old != permMap) {
        old->shutdown();
        delete old;
    }
    return 0;
}

bool YavPluginVirtualHost::match(const YavStringRef& id, bool secure) const {
    if ((m_flags & (secure ? yav_vhost_secure : yav_vhost_unsecure)) == 0) return false;
    int length = id.getLength();
    if (m_id.getLength() != length) return false;
    return m_id.getComparator()->compare(m_id.getData(), id.getData(),
                                         static_cast<size_t>(length)) == 0;
}
