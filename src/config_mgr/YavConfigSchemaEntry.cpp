#include "config_mgr/YavConfigSchemaEntry.h"

#include "config_mgr/yav_config_text.h"
#include "core/system/yav_assert.h"

YavConfigSchemaEntry::~YavConfigSchemaEntry() {}

yav_status_t YavConfigSchemaEntry::set(const char* stanza, const char* name, bool qualify,
                                       const char* defaultValue) {
    YAV_ASSERT(stanza != nullptr && name != nullptr);
    yav_status_t status = yav_config_to_lcp(YavStringRef(stanza), &m_stanza);
    if (status == 0) status = yav_config_to_lcp(YavStringRef(name), &m_name);
    if (status == 0) status = yav_config_to_lcp(YavStringRef(defaultValue), &m_default);
    if (status != 0) return status;
    m_qualify = qualify;
    return 0;
}

bool YavConfigSchemaEntry::matches(const YavConfigSchemaEntry& other) const {
    return m_qualify == other.m_qualify && m_stanza.equals(other.m_stanza) &&
           m_name.equals(other.m_name) && m_default.equals(other.m_default);
}

bool YavConfigSchemaEntry::matches(const YavLCPStringRef& stanza, const YavLCPStringRef& name,
                                   bool qualifiedOnly) const {
    return m_stanza.equals(stanza) && m_name.equals(name) && (!qualifiedOnly || m_qualify);
}
