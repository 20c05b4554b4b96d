#include "plugin/core/YavPluginVirtualHostKey.h"

yav_status_t YavPluginVirtualHostKey::initialize(const YavStringRef& id, bool secure) {
    m_id = &id;
    m_match = true;
    m_secure = secure;
    return 0;
}

yav_status_t YavPluginVirtualHostKey::initialize(const YavStringRef& id) {
    m_id = &id;
    m_match = false;
    m_secure = false;
    return 0;
}

int YavPluginVirtualHostKey::compareWithMatch(const YavPluginVirtualHost& host) const {
    if (host.match(*m_id, m_secure)) return 0;
    int order = compareIDs(host.getID());
    if (order != 0) return order;
    return m_secure ? 1 : -1;
}
