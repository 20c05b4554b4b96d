#include "config_mgr/YavConfigSchema.h"

#include "config_mgr/yav_config_text.h"
#include "core/msg/yav_status.h"

YavConfigSchema::YavConfigSchema(const char* name)
    : m_updater(nullptr), m_validateStatus(YAV_S_NOT_AVAILABLE), m_stanzaFile(nullptr) {
    m_ok = yav_config_to_lcp(YavStringRef(name), &m_schemaName) == 0;
}

YavConfigSchema::~YavConfigSchema() {}

bool YavConfigSchema::matches(const YavConfigSchema* other) const {
    return other != nullptr && m_qualifier.equals(other->m_qualifier);
}

yav_status_t YavConfigSchema::setQualifier(const char* qualifier) {
    return yav_config_to_lcp(YavStringRef(qualifier), &m_qualifier);
}

yav_status_t YavConfigSchema::update(int what) {
    if (m_updater != nullptr) m_updater->update(what);
    return 0;
}

const char* YavConfigSchema::fileName() const {
    if (m_stanzaFile == nullptr || m_stanzaFile->fileName == nullptr) return "";
    return m_stanzaFile->fileName;
}

yav_status_t YavConfigSchema::qualifiedStanza(const YavLCPStringRef& stanza,
                                              YavLCPString* out) const {
    bool ok = out->set(stanza) && out->append(':') && out->append(m_qualifier);
    return ok ? 0 : YAV_S_NO_MEMORY;
}
