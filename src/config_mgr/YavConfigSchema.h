// YavConfigSchema: the base of configuration schemas, the descriptions of
// what a component reads from the configuration file.
//
// A schema has a name, an optional qualifier (entries that qualify are
// looked for first in the stanza "stanza:qualifier"), the status of its
// last validation (YAV_S_NOT_AVAILABLE until validate() ran) and the stanza
// file it reads, set by the configuration manager at registration.  It owns
// its strings; it does not own the stanza file or the updater.
//
// One thread at a time (the thread that configures the plug-in).  Not
// copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGSCHEMA_H
#define YAV_CONFIG_MGR_YAVCONFIGSCHEMA_H

#include <cstdio>

#include "config_mgr/YavConfigUpdater.h"
#include "core/buffers/YavString.h"
#include "core/file/yav_stanza.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavConfigSchema {
  public:
    // name in the internal encoding (null: empty).  ok() tells whether it
    // could be kept.
    explicit YavConfigSchema(const char* name);
    virtual ~YavConfigSchema();
    YAV_DISALLOW_COPY(YavConfigSchema);

    bool ok() const { return m_ok; }

    // Warns (through the serviceability log) about entries of the described
    // stanzas that the schema does not describe.  0 or the reason.
    virtual yav_status_t validate() = 0;
    // Writes the effective configuration in stanza-file form.
    virtual yav_status_t dumpSchema(FILE* out) const = 0;
    // True when both qualifiers are equal; derived classes add their own
    // conditions.
    virtual bool matches(const YavConfigSchema* other) const;

    // Replaces the qualifier (internal encoding; null or "" for none).  0 or
    // the conversion's failure status.
    yav_status_t setQualifier(const char* qualifier);
    const YavLCPString& getQualifier() const { return m_qualifier; }
    bool hasQualifier() const { return !m_qualifier.isEmpty(); }
    const YavLCPString& getName() const { return m_schemaName; }

    // Stores the one updater, replacing any earlier one.
    void addUpdater(YavConfigUpdater* updater) { m_updater = updater; }
    // Tells the updater (when there is one); returns 0.
    yav_status_t update(int what);

    yav_status_t getValidateStatus() const { return m_validateStatus; }
    void setValidateStatus(yav_status_t status) { m_validateStatus = status; }

    yavStanzaFile* getStanzaFile() const { return m_stanzaFile; }
    void setStanzaFile(yavStanzaFile* file) { m_stanzaFile = file; }

  protected:
    // The file name for messages ("" without a file).
    const char* fileName() const;
    // stanza ":" qualifier into out.  0 or YAV_S_NO_MEMORY.
    yav_status_t qualifiedStanza(const YavLCPStringRef& stanza, YavLCPString* out) const;

  private:
    YavConfigUpdater* m_updater;  // not owned
    YavLCPString m_qualifier;     // empty: none
    YavLCPString m_schemaName;
    yav_status_t m_validateStatus;
    yavStanzaFile* m_stanzaFile;  // not owned
    bool m_ok;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGSCHEMA_H
