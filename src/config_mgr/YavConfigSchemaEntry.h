// YavConfigSchemaEntry: one entry that a schema describes: its stanza, its
// name, whether it may also be given in the qualified stanza
// ("stanza:qualifier") and its default text.  The texts are kept in the
// local code page, as the stanza file holds them.
//
// The object owns its strings.  One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGSCHEMAENTRY_H
#define YAV_CONFIG_MGR_YAVCONFIGSCHEMAENTRY_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavConfigSchemaEntry {
  public:
    YavConfigSchemaEntry() : m_qualify(false) {}
    virtual ~YavConfigSchemaEntry();
    YAV_DISALLOW_COPY(YavConfigSchemaEntry);

    // Texts in the internal encoding; a null default means none.  0, or the
    // conversion's failure status (YAV_S_NO_MEMORY among them).
    // REQUIRES: stanza and name are not null.
    yav_status_t set(const char* stanza, const char* name, bool qualify,
                     const char* defaultValue = nullptr);

    const YavLCPString& getStanza() const { return m_stanza; }
    const YavLCPString& getName() const { return m_name; }
    bool shouldQualify() const { return m_qualify; }
    // Null when there is no default.
    const char* getDefaultValue() const {
        return m_default.isEmpty() ? nullptr : m_default.getData();
    }

    // Same qualify flag and equal stanza, name and default.
    bool matches(const YavConfigSchemaEntry& other) const;
    // Equal stanza and name, and, when qualifiedOnly, the entry qualifies.
    bool matches(const YavLCPStringRef& stanza, const YavLCPStringRef& name,
                 bool qualifiedOnly) const;

  private:
    YavLCPString m_stanza;
    YavLCPString m_name;
    YavLCPString m_default;  // empty when there is none
    bool m_qualify;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGSCHEMAENTRY_H
