// YavConfigEntriesSchema: a schema made of a list of described entries
// (YavConfigSchemaEntry), each loaded into a typed value (YavConfigData)
// that the caller keeps in an array of the same order: the entry's position
// in the list (from 0, in the order of addEntry) is its index.
//
// Loading an entry that qualifies looks in "stanza:qualifier" first, then
// in "stanza"; the default is stored only when the entry is in neither.  A
// multi-valued value takes every occurrence of the entry in the one stanza
// that gives it (values of the two stanzas are never merged).  Invalid
// texts are logged and fail the load; unknown entries found by validate()
// are only warned about.
//
// The schema owns its entries and deletes them with itself; the file is
// the configuration manager's.  One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGENTRIESSCHEMA_H
#define YAV_CONFIG_MGR_YAVCONFIGENTRIESSCHEMA_H

#include "config_mgr/YavConfigData.h"
#include "config_mgr/YavConfigSchema.h"
#include "config_mgr/YavConfigSchemaEntry.h"
#include "core/list/YavList.h"

class YAV_EXPORT YavConfigEntriesSchema : public YavConfigSchema {
  public:
    explicit YavConfigEntriesSchema(const char* name);
    ~YavConfigEntriesSchema() override;

    yav_status_t validate() override;
    yav_status_t dumpSchema(FILE* out) const override;
    // Equal qualifiers, as many entries, and entries matching pairwise.
    bool matches(const YavConfigSchema* other) const override;

    // With index -1 loads entry i into values[i] for every entry in order,
    // stopping at the first failure; with index i >= 0 loads entry i into
    // values[0].  0 or the first failure.
    virtual yav_status_t loadData(YavConfigData** values, int index);
    // Loads entry index into value.  YAV_S_CFG_INVALID_SCHEMA when there is
    // no such entry; YAV_S_CFG_INVALID_VALUE (after a logged message) for a
    // text the value refuses.
    virtual yav_status_t loadData(YavConfigData* value, int index);
    // 0 when an entry describes stanza and name (in the qualified stanza,
    // when qualifiedOnly, only an entry that qualifies), else
    // YAV_S_CFG_UNRECOGNIZED_ENTRY.
    virtual yav_status_t validateEntry(const YavLCPStringRef& stanza, const YavLCPStringRef& name,
                                       bool qualifiedOnly) const;

    // Appends; the schema owns the entry from then on (also on failure, when
    // it deletes it).  0 or YAV_S_NO_MEMORY.
    yav_status_t addEntry(YavConfigSchemaEntry* entry);
    size_t entryCount() const { return m_entries.count(); }

    // The two loaders behind loadData (also used by the dump).  file may be
    // null (nothing is found then).  foundInQualified (may be null) tells
    // whether the multi-valued entry was found in the qualified stanza.
    yav_status_t loadSingleValueEntry(yavStanzaFile* file, const YavConfigSchemaEntry& entry,
                                      YavConfigData* value) const;
    yav_status_t loadMultiValueEntry(yavStanzaFile* file, const YavConfigSchemaEntry& entry,
                                     YavConfigData* value, bool* foundInQualified) const;

  private:
    // Stores text (null: "") in value; logs and maps a refusal.
    yav_status_t store(const YavLCPStringRef& stanza, const YavConfigSchemaEntry& entry,
                       const char* text, YavConfigData* value) const;
    // The default, when nothing was found and the value is still unset.
    yav_status_t applyDefault(const YavConfigSchemaEntry& entry, YavConfigData* value) const;

    YavList<YavConfigSchemaEntry> m_entries;  // owns the entries
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGENTRIESSCHEMA_H
