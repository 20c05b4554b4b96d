#include "config_mgr/YavConfigEntriesSchema.h"

#include <cstring>
#include <new>
#include <typeinfo>

#include "config_mgr/YavConfigMVLCPString.h"
#include "config_mgr/yav_config_walk.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"

YavConfigEntriesSchema::YavConfigEntriesSchema(const char* name)
    : YavConfigSchema(name), m_entries(nullptr, true) {}

YavConfigEntriesSchema::~YavConfigEntriesSchema() {}

yav_status_t YavConfigEntriesSchema::addEntry(YavConfigSchemaEntry* entry) {
    if (entry == nullptr) return YAV_S_NO_MEMORY;
    if (m_entries.append(entry) != 0) {
        delete entry;
        return YAV_S_NO_MEMORY;
    }
    return 0;
}

yav_status_t YavConfigEntriesSchema::loadData(YavConfigData** values, int index) {
    if (values == nullptr) return YAV_S_CFG_INVALID_SCHEMA;
    if (index >= 0) return loadData(values[0], index);
    if (index != -1) return YAV_S_CFG_INVALID_SCHEMA;
    int count = static_cast<int>(m_entries.count());
    for (int i = 0; i < count; ++i) {
        yav_status_t status = loadData(values[i], i);
        if (status != 0) return status;
    }
    return 0;
}

yav_status_t YavConfigEntriesSchema::loadData(YavConfigData* value, int index) {
    if (index < 0 || value == nullptr) return YAV_S_CFG_INVALID_SCHEMA;
    const YavConfigSchemaEntry* entry = m_entries.getAt(static_cast<size_t>(index));
    if (entry == nullptr) return YAV_S_CFG_INVALID_SCHEMA;
    if (value->isMultiValued()) {
        return loadMultiValueEntry(getStanzaFile(), *entry, value, nullptr);
    }
    return loadSingleValueEntry(getStanzaFile(), *entry, value);
}

yav_status_t YavConfigEntriesSchema::store(const YavLCPStringRef& stanza,
                                           const YavConfigSchemaEntry& entry, const char* text,
                                           YavConfigData* value) const {
    if (text == nullptr) text = "";
    if (value->setLCPValue(YavLCPStringRef(text)) == 0) return 0;
    const char* stanzaText = stanza.getTerminated();
    YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%s%s%s%s", YAV_S_CFG_INVALID_VALUE_TEXT,
                stanzaText != nullptr ? stanzaText : "", fileName(), entry.getName().getData(),
                text);
    return YAV_S_CFG_INVALID_VALUE;
}

yav_status_t YavConfigEntriesSchema::applyDefault(const YavConfigSchemaEntry& entry,
                                                  YavConfigData* value) const {
    const char* defaultValue = entry.getDefaultValue();
    if (value->isSet() || defaultValue == nullptr) return 0;
    yav_status_t status = value->setLCPValue(YavLCPStringRef(defaultValue));
    if (status == 0) value->markFromDefault();
    return status;
}

yav_status_t YavConfigEntriesSchema::loadSingleValueEntry(yavStanzaFile* file,
                                                          const YavConfigSchemaEntry& entry,
                                                          YavConfigData* value) const {
    const char* name = entry.getName().getData();
    if (file != nullptr) {
        if (entry.shouldQualify() && hasQualifier()) {
            YavLCPString qualified;
            yav_status_t status = qualifiedStanza(entry.getStanza(), &qualified);
            if (status != 0) return status;
            if (yavStzMoveEntry(file, qualified.getData(), name)) {
                return store(qualified, entry, file->value, value);
            }
        }
        if (yavStzMoveEntry(file, entry.getStanza().getData(), name)) {
            return store(entry.getStanza(), entry, file->value, value);
        }
    }
    return applyDefault(entry, value);
}

yav_status_t YavConfigEntriesSchema::loadMultiValueEntry(yavStanzaFile* file,
                                                         const YavConfigSchemaEntry& entry,
                                                         YavConfigData* value,
                                                         bool* foundInQualified) const {
    if (foundInQualified != nullptr) *foundInQualified = false;
    const YavLCPString& name = entry.getName();
    bool found = false;
    // Stores every occurrence of the entry in one stanza.
    auto walk = [&](const YavLCPString& stanza) -> yav_status_t {
        yav_status_t status = yav_config_walk_stanza(
            file, stanza.getData(), [&](const char* entryName, const char* text) {
                if (!name.equals(YavLCPStringRef(entryName))) return yav_status_t(0);
                found = true;
                return store(stanza, entry, text, value);
            });
        if (status != 0) return status;
        return yav_config_check_stanza(file, stanza.getData());
    };
    if (entry.shouldQualify() && hasQualifier()) {
        YavLCPString qualified;
        yav_status_t status = qualifiedStanza(entry.getStanza(), &qualified);
        if (status != 0) return status;
        status = walk(qualified);
        if (status != 0) return status;
        if (found && foundInQualified != nullptr) *foundInQualified = true;
    }
    if (!found) {
        yav_status_t status = walk(entry.getStanza());
        if (status != 0) return status;
    }
    if (found) return 0;
    return applyDefault(entry, value);
}

yav_status_t YavConfigEntriesSchema::validateEntry(const YavLCPStringRef& stanza,
                                                   const YavLCPStringRef& name,
                                                   bool qualifiedOnly) const {
    for (const YavConfigSchemaEntry* entry : m_entries) {
        if (entry->matches(stanza, name, qualifiedOnly)) return 0;
    }
    return YAV_S_CFG_UNRECOGNIZED_ENTRY;
}

yav_status_t YavConfigEntriesSchema::validate() {
    yav_status_t result = 0;
    yavStanzaFile* file = getStanzaFile();
    int index = 0;
    for (const YavConfigSchemaEntry* entry : m_entries) {
        // Each stanza once, at its first entry.
        bool seen = false;
        for (int i = 0; i < index && !seen; ++i) {
            seen = m_entries.getAt(static_cast<size_t>(i))->getStanza().equals(entry->getStanza());
        }
        ++index;
        if (seen) continue;
        const YavLCPString& plain = entry->getStanza();
        auto check = [&](const YavLCPString& walked, bool qualifiedOnly) -> yav_status_t {
            yav_status_t status = yav_config_walk_stanza(
                file, walked.getData(), [&](const char* name, const char* text) {
                    if (validateEntry(plain, YavLCPStringRef(name), qualifiedOnly) != 0) {
                        YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_warning, "%s%s%s%s",
                                    YAV_S_CFG_UNRECOGNIZED_ENTRY_TEXT, name,
                                    text != nullptr ? text : "", walked.getData(), fileName());
                        result = YAV_S_CFG_UNRECOGNIZED_ENTRY;
                    }
                    return yav_status_t(0);
                });
            if (status != 0) return status;
            return yav_config_check_stanza(file, walked.getData());
        };
        yav_status_t status = check(plain, false);
        if (status != 0) return status;
        if (hasQualifier()) {
            YavLCPString qualified;
            status = qualifiedStanza(plain, &qualified);
            if (status == 0) status = check(qualified, true);
            if (status != 0) return status;
        }
    }
    return result;
}

bool YavConfigEntriesSchema::matches(const YavConfigSchema* other) const {
    if (!YavConfigSchema::matches(other)) return false;
    const YavConfigEntriesSchema* same = dynamic_cast<const YavConfigEntriesSchema*>(other);
    if (same == nullptr || same->m_entries.count() != m_entries.count()) return false;
    auto mine = m_entries.begin();
    for (auto theirs = same->m_entries.begin(); !theirs.isEnd(); ++theirs, ++mine) {
        if (!(*mine)->matches(**theirs)) return false;
    }
    return true;
}

yav_status_t YavConfigEntriesSchema::dumpSchema(FILE* out) const {
    // The head of an entry's group: "[stanza]" or "[stanza:qualifier]".
    auto headOf = [this](const YavConfigSchemaEntry& entry, YavLCPString* head) {
        bool ok = head->set("[") && head->append(entry.getStanza());
        if (ok && entry.shouldQualify() && hasQualifier()) {
            ok = head->append(':') && head->append(getQualifier());
        }
        return ok && head->append(']');
    };
    YavList<YavLCPString> heads(nullptr, true);
    for (const YavConfigSchemaEntry* entry : m_entries) {
        YavLCPString* head = new (std::nothrow) YavLCPString();
        if (head == nullptr) return YAV_S_NO_MEMORY;
        if (!headOf(*entry, head)) {
            delete head;
            return YAV_S_NO_MEMORY;
        }
        bool known = false;
        for (const YavLCPString* h : heads) known = known || h->equals(*head);
        if (known) {
            delete head;
        } else if (heads.append(head) != 0) {
            delete head;
            return YAV_S_NO_MEMORY;
        }
    }
    yavStanzaFile* file = getStanzaFile();
    for (const YavLCPString* head : heads) {
        fprintf(out, "\n%s\n", head->getData());
        for (const YavConfigSchemaEntry* entry : m_entries) {
            YavLCPString entryHead;
            if (!headOf(*entry, &entryHead)) return YAV_S_NO_MEMORY;
            if (!entryHead.equals(*head)) continue;
            YavConfigMVLCPString value;
            bool inQualified = false;
            yav_status_t status = loadMultiValueEntry(file, *entry, &value, &inQualified);
            bool loaded = status == 0 && value.isSet();
            const char* text = "";
            if (loaded) {
                text = value.getValue().getData();
            } else if (entry->getDefaultValue() != nullptr) {
                text = entry->getDefaultValue();
            }
            fprintf(out, "%-25s = %-25s", entry->getName().getData(), text);
            if (!loaded) {
                fputs("\n", out);
            } else if (value.isFromDefault()) {
                fputs(" # default\n", out);
            } else if (entry->shouldQualify() && hasQualifier() && !inQualified) {
                fprintf(out, " # inherited from [%s]\n", entry->getStanza().getData());
            } else {
                fputs("\n", out);
            }
        }
    }
    return 0;
}
