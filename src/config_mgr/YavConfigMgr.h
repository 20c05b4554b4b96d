// YavConfigMgr: the owner of the plug-in's local configuration file and of
// every schema registered against it.
//
// initialize opens the file once, read-only and cached, so that no
// descriptor or lock is held afterwards and the view of the configuration
// stays as it was read.  Registered schemas get the file, are validated on
// request and are deleted by shutdown (or the destructor); a schema's id is
// its position in registration order.  dump writes the effective
// configuration of every distinct schema.  The static common interface
// reads single entries or whole stanzas into plain heap arrays (see
// krw_config_entry.h); each call registers one more schema.
//
// The manager owns its schemas, its path strings and the file handle.  It
// has no lock: it is initialized, used and shut down by the thread that
// starts and stops the plug-in.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGMGR_H
#define YAV_CONFIG_MGR_YAVCONFIGMGR_H

#include <cstdio>

#include "config_mgr/YavConfigEntriesSchema.h"
#include "config_mgr/YavConfigSchema.h"
#include "config_mgr/YavConfigStanzaSchemaT.h"
#include "config_mgr/krw_config_entry.h"
#include "core/buffers/YavString.h"
#include "core/file/yav_stanza.h"
#include "core/list/YavList.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavConfigMgr {
  public:
    enum config_schemas_e {
        yav_entries_schema = 0,     // YavConfigEntriesSchema
        yav_stanza_schema = 1,      // YavConfigStanzaSchemaT<YavString>
        yav_lcp_stanza_schema = 2,  // YavConfigStanzaSchemaT<YavLCPString>
    };

    // One registered schema; deleting the record deletes the schema.
    struct SchemaEntry {
        SchemaEntry(YavConfigSchema* s, config_schemas_e k) : schema(s), kind(k) {}
        ~SchemaEntry() { delete schema; }
        YAV_DISALLOW_COPY(SchemaEntry);
        YavConfigSchema* schema;
        config_schemas_e kind;
    };

    YavConfigMgr();
    virtual ~YavConfigMgr();
    YAV_DISALLOW_COPY(YavConfigMgr);

    // Records path (internal encoding) and opens it cached and read-only.
    // 0, or the open's status (every later load then finds nothing),
    // YAV_S_NO_MEMORY, or YAV_S_ALREADY_INITIALIZED.
    // REQUIRES: path != nullptr.
    yav_status_t initialize(const char* path);
    // Deletes the schemas and closes the file.  Returns 0.
    yav_status_t shutdown();

    // Registers a schema: gives it the file, stores its id in *id (may be
    // null), and when validate is set runs validate() and keeps its result
    // in the schema's validateStatus.  From a successful call on the
    // manager owns the schema; on failure (YAV_S_CFG_INVALID_SCHEMA for a
    // null schema, YAV_S_NO_MEMORY) the caller keeps it.
    yav_status_t registerSchema(YavConfigEntriesSchema* schema, int* id, bool validate);
    yav_status_t registerSchema(YavConfigStanzaSchemaT<YavString>* schema, int* id, bool validate);
    yav_status_t registerSchema(YavConfigStanzaSchemaT<YavLCPString>* schema, int* id,
                                bool validate);

    // 0 and the schema of that id, or YAV_S_NOT_AVAILABLE.
    yav_status_t findSchema(int id, YavConfigSchema** schema) const;
    size_t schemaCount() const { return m_schemas.count(); }

    // Writes the effective configuration: a banner with the time, then each
    // schema (once, when several registered schemas of one kind match), then
    // a closing banner.  0, or the first failure of a schema's dump.
    yav_status_t dump(FILE* out) const;

    // The path given to initialize, in the internal encoding and in the
    // local code page.
    const YavString& getPath() const { return m_path; }
    const YavLCPString& getLCPPath() const { return m_lcpPath; }
    // The open file, or null.
    yavStanzaFile* getStanzaFile() const { return m_file; }

    // ---- common interface -------------------------------------------------
    // All occurrences of entry (qualified stanza first, then the plain one)
    // as a null-terminated array of heap strings in *values; items are split
    // at commas unless ignoreCommas.  1 on success; 0 on failure or when the
    // entry is missing (logged unless optional).
    // REQUIRES: mgr, stanza, entry and values are not null.
    static int loadEntry(void* mgr, const char* stanza, const char* qualifier, const char* entry,
                         char*** values, int optional, bool ignoreCommas);
    static int loadEntryObserveCommas(void* mgr, const char* stanza, const char* qualifier,
                                      const char* entry, char*** values, int optional);
    static int loadEntryIgnoreCommas(void* mgr, const char* stanza, const char* qualifier,
                                     const char* entry, char*** values, int optional);
    static void releaseEntryData(char** values);

    // Every entry of the stanza (see YavConfigStanzaSchemaT; the qualified
    // stanza hides the plain one when it holds any entry) as pairs in file
    // order, ending with the null pair.  Without ignoreCommas each value is
    // split at commas into one pair per item.  1 on success (a missing
    // stanza gives only the null pair), 0 on failure.
    // REQUIRES: mgr, stanza and entries are not null.
    static int loadStanza(void* mgr, const char* stanza, const char* qualifier,
                          krw_config_entry_s** entries, bool ignoreCommas);
    static int loadStanzaObserveCommas(void* mgr, const char* stanza, const char* qualifier,
                                       krw_config_entry_s** entries);
    static int loadStanzaIgnoreCommas(void* mgr, const char* stanza, const char* qualifier,
                                      krw_config_entry_s** entries);
    static void releaseStanzaData(krw_config_entry_s* entries);

    static const yav_config_common_interface_s yav_common_interface;
    static const yav_config_common_interface_s yav_common_interface_ignore_commas;

  private:
    yav_status_t addSchema(YavConfigSchema* schema, config_schemas_e kind, int* id, bool validate);

    YavList<SchemaEntry> m_schemas;  // owns the records (and so the schemas)
    YavString m_path;
    YavLCPString m_lcpPath;
    yavStanzaFile* m_file;  // owned
    bool m_initialized;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGMGR_H
