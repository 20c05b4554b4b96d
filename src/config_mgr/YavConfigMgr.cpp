#include "config_mgr/YavConfigMgr.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <new>

#include "config_mgr/YavConfigMVString.h"
#include "config_mgr/yav_config_text.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/system/yav_assert.h"

namespace {

const char kStars[] =
    "****************************************************************************";
const char kDashes[] =
    "----------------------------------------------------------------------------";
// The schema header is filled with dashes to this many columns after the
// schema's name.
const int kHeaderFill = 61;

void log_no_memory() { YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "", YAV_S_NO_MEMORY); }

// A growing array of pairs that always ends with the null pair.
class PairArray {
  public:
    PairArray() : m_pairs(nullptr), m_count(0), m_capacity(0) {}
    ~PairArray() { YavConfigMgr::releaseStanzaData(m_pairs); }
    YAV_DISALLOW_COPY(PairArray);

    // Ensures the terminating pair exists.
    bool init() { return reserve(1); }

    // Appends copies of n bytes of value (null value when it is empty).
    bool add(const char* name, const char* value, int n) {
        if (!reserve(m_count + 2)) return false;
        char* nameCopy = strdup(name);
        char* valueCopy = n > 0 ? strndup(value, static_cast<size_t>(n)) : nullptr;
        if (nameCopy == nullptr || (n > 0 && valueCopy == nullptr)) {
            free(nameCopy);
            free(valueCopy);
            return false;
        }
        m_pairs[m_count].name = nameCopy;
        m_pairs[m_count].value = valueCopy;
        ++m_count;
        m_pairs[m_count].name = nullptr;
        m_pairs[m_count].value = nullptr;
        return true;
    }

    krw_config_entry_s* release() {
        krw_config_entry_s* pairs = m_pairs;
        m_pairs = nullptr;
        return pairs;
    }

  private:
    bool reserve(size_t need) {
        if (need <= m_capacity) return true;
        size_t capacity = m_capacity == 0 ? 8 : m_capacity * 2;
        if (capacity < need) capacity = need;
        void* grown = realloc(m_pairs, capacity * sizeof(krw_config_entry_s));
        if (grown == nullptr) return false;
        m_pairs = static_cast<krw_config_entry_s*>(grown);
        if (m_capacity == 0) m_pairs[0] = krw_config_entry_s{nullptr, nullptr};
        m_capacity = capacity;
        return true;
    }

    krw_config_entry_s* m_pairs;
    size_t m_count;
    size_t m_capacity;
};

}  // namespace

const yav_config_common_interface_s YavConfigMgr::yav_common_interface = {
    YavConfigMgr::loadEntryObserveCommas, YavConfigMgr::releaseEntryData,
    YavConfigMgr::loadStanzaObserveCommas, YavConfigMgr::releaseStanzaData};
const yav_config_common_interface_s YavConfigMgr::yav_common_interface_ignore_commas = {
    YavConfigMgr::loadEntryIgnoreCommas, YavConfigMgr::releaseEntryData,
    YavConfigMgr::loadStanzaIgnoreCommas, YavConfigMgr::releaseStanzaData};

YavConfigMgr::YavConfigMgr() : m_schemas(nullptr, true), m_file(nullptr), m_initialized(false) {}

YavConfigMgr::~YavConfigMgr() { shutdown(); }

yav_status_t YavConfigMgr::initialize(const char* path) {
    YAV_ASSERT(path != nullptr);
    if (m_initialized) return YAV_S_ALREADY_INITIALIZED;
    if (!m_path.set(path)) return YAV_S_NO_MEMORY;
    yav_status_t status = yav_config_to_lcp(m_path, &m_lcpPath);
    if (status != 0) return status;
    m_initialized = true;
    m_file = yavStzFileOpen(m_lcpPath.getData(), YAV_STZ_READ | YAV_STZ_CACHED, &status);
    return m_file != nullptr ? 0 : status;
}

yav_status_t YavConfigMgr::shutdown() {
    m_schemas.delEntries();
    yavStzFileClose(m_file);
    m_file = nullptr;
    m_initialized = false;
    return 0;
}

yav_status_t YavConfigMgr::addSchema(YavConfigSchema* schema, config_schemas_e kind, int* id,
                                     bool validate) {
    if (schema == nullptr) return YAV_S_CFG_INVALID_SCHEMA;
    SchemaEntry* record = new (std::nothrow) SchemaEntry(schema, kind);
    if (record == nullptr) return YAV_S_NO_MEMORY;
    int newId = static_cast<int>(m_schemas.count());
    if (m_schemas.append(record) != 0) {
        record->schema = nullptr;  // the caller keeps it
        delete record;
        return YAV_S_NO_MEMORY;
    }
    schema->setStanzaFile(m_file);
    if (id != nullptr) *id = newId;
    if (validate) schema->setValidateStatus(schema->validate());
    return 0;
}

yav_status_t YavConfigMgr::registerSchema(YavConfigEntriesSchema* schema, int* id, bool validate) {
    return addSchema(schema, yav_entries_schema, id, validate);
}

yav_status_t YavConfigMgr::registerSchema(YavConfigStanzaSchemaT<YavString>* schema, int* id,
                                          bool validate) {
    return addSchema(schema, yav_stanza_schema, id, validate);
}

yav_status_t YavConfigMgr::registerSchema(YavConfigStanzaSchemaT<YavLCPString>* schema, int* id,
                                          bool validate) {
    return addSchema(schema, yav_lcp_stanza_schema, id, validate);
}

yav_status_t YavConfigMgr::findSchema(int id, YavConfigSchema** schema) const {
    if (id < 0) return YAV_S_NOT_AVAILABLE;
    const SchemaEntry* record = m_schemas.getAt(static_cast<size_t>(id));
    if (record == nullptr) return YAV_S_NOT_AVAILABLE;
    *schema = record->schema;
    return 0;
}

yav_status_t YavConfigMgr::dump(FILE* out) const {
    char when[64];
    time_t now = time(nullptr);
    if (ctime_r(&now, when) == nullptr) strcpy(when, "\n");
    fprintf(out, "%s\n%s%s\n\n", kStars, when, kStars);
    for (auto it = m_schemas.begin(); !it.isEnd(); ++it) {
        const SchemaEntry* record = *it;
        bool repeated = false;
        for (auto earlier = m_schemas.begin(); earlier != it && !repeated; ++earlier) {
            repeated =
                (*earlier)->kind == record->kind && (*earlier)->schema->matches(record->schema);
        }
        if (repeated) continue;
        const YavLCPString& name = record->schema->getName();
        int fill = kHeaderFill - name.getLength();
        if (fill < 0) fill = 0;
        fprintf(out, "\n---- Schema: %s %.*s\n", name.getData(), fill, kDashes);
        yav_status_t status = record->schema->dumpSchema(out);
        if (status != 0) return status;
    }
    fprintf(out, "\n%s\n\n", kStars);
    fflush(out);
    return 0;
}

// ---- common interface -------------------------------------------------------

int YavConfigMgr::loadEntry(void* mgr, const char* stanza, const char* qualifier, const char* entry,
                            char*** values, int optional, bool ignoreCommas) {
    YAV_ASSERT(mgr != nullptr && stanza != nullptr && entry != nullptr && values != nullptr);
    YavConfigMgr* self = static_cast<YavConfigMgr*>(mgr);
    YavConfigEntriesSchema* schema = new (std::nothrow) YavConfigEntriesSchema(entry);
    YavConfigSchemaEntry* described = new (std::nothrow) YavConfigSchemaEntry();
    yav_status_t status = YAV_S_NO_MEMORY;
    if (schema != nullptr && described != nullptr && schema->ok()) {
        status = described->set(stanza, entry, qualifier != nullptr, nullptr);
        if (status == 0 && qualifier != nullptr) status = schema->setQualifier(qualifier);
        if (status == 0) {
            status = schema->addEntry(described);
            described = nullptr;  // the schema's now, also when adding failed
        }
        if (status == 0) status = self->registerSchema(schema, nullptr, false);
    }
    if (status != 0) {
        delete described;
        delete schema;
        if (status == YAV_S_NO_MEMORY) log_no_memory();
        return 0;
    }
    // From here the manager owns the schema.
    YavConfigMVString value;
    value.setIgnoreCommas(ignoreCommas);
    if (schema->loadData(&value, 0) != 0) return 0;
    if (!value.isSet()) {
        if (optional == 0) {
            YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%s%s%s", YAV_S_CFG_ENTRY_REQUIRED,
                        stanza, self->m_lcpPath.getData(), entry);
        }
        return 0;
    }
    size_t count = value.entries();
    char** array = static_cast<char**>(calloc(count + 1, sizeof(char*)));
    if (array == nullptr) {
        log_no_memory();
        return 0;
    }
    size_t i = 0;
    for (const YavString* item : value.items()) {
        array[i] = strndup(item->getData(), static_cast<size_t>(item->getLength()));
        if (array[i] == nullptr) {
            releaseEntryData(array);
            log_no_memory();
            return 0;
        }
        ++i;
    }
    *values = array;
    return 1;
}

int YavConfigMgr::loadEntryObserveCommas(void* mgr, const char* stanza, const char* qualifier,
                                         const char* entry, char*** values, int optional) {
    return loadEntry(mgr, stanza, qualifier, entry, values, optional, false);
}

int YavConfigMgr::loadEntryIgnoreCommas(void* mgr, const char* stanza, const char* qualifier,
                                        const char* entry, char*** values, int optional) {
    return loadEntry(mgr, stanza, qualifier, entry, values, optional, true);
}

void YavConfigMgr::releaseEntryData(char** values) {
    if (values == nullptr) return;
    for (char** v = values; *v != nullptr; ++v) free(*v);
    free(values);
}

int YavConfigMgr::loadStanza(void* mgr, const char* stanza, const char* qualifier,
                             krw_config_entry_s** entries, bool ignoreCommas) {
    YAV_ASSERT(mgr != nullptr && stanza != nullptr && entries != nullptr);
    YavConfigMgr* self = static_cast<YavConfigMgr*>(mgr);
    YavConfigStanzaSchemaT<YavString>* schema =
        new (std::nothrow) YavConfigStanzaSchemaT<YavString>(stanza);
    if (schema == nullptr || !schema->ok()) {
        delete schema;
        log_no_memory();
        return 0;
    }
    yav_status_t status = qualifier != nullptr ? schema->setQualifier(qualifier) : 0;
    if (status == 0) status = self->registerSchema(schema, nullptr, false);
    if (status != 0) {
        delete schema;
        if (status == YAV_S_NO_MEMORY) log_no_memory();
        return 0;
    }
    // The ordered form of the stanza-wide load, so that the pairs come out
    // in file order rather than in hash-bucket order.
    YavConfigStanzaSchemaT<YavString>::ItemList items(nullptr, true);
    status = schema->loadItems(&items);
    if (status != 0) {
        if (status == YAV_S_NO_MEMORY) log_no_memory();
        return 0;
    }
    PairArray pairs;
    bool ok = pairs.init();
    for (auto it = items.begin(); ok && !it.isEnd(); ++it) {
        const YavConfigStanzaItem<YavString>* item = *it;
        const char* name = item->name.getData();
        if (ignoreCommas) {
            ok = pairs.add(name, item->value.getData(), item->value.getLength());
            continue;
        }
        YavConfigCommaSplitter splitter(item->value.getData(), item->value.getLength());
        const char* piece;
        int pieceLength;
        while (ok && splitter.next(&piece, &pieceLength)) ok = pairs.add(name, piece, pieceLength);
    }
    if (!ok) {
        log_no_memory();
        return 0;
    }
    *entries = pairs.release();
    return 1;
}

int YavConfigMgr::loadStanzaObserveCommas(void* mgr, const char* stanza, const char* qualifier,
                                          krw_config_entry_s** entries) {
    return loadStanza(mgr, stanza, qualifier, entries, false);
}

int YavConfigMgr::loadStanzaIgnoreCommas(void* mgr, const char* stanza, const char* qualifier,
                                         krw_config_entry_s** entries) {
    return loadStanza(mgr, stanza, qualifier, entries, true);
}

void YavConfigMgr::releaseStanzaData(krw_config_entry_s* entries) {
    if (entries == nullptr) return;
    for (krw_config_entry_s* e = entries; e->name != nullptr || e->value != nullptr; ++e) {
        free(e->name);
        free(e->value);
    }
    free(entries);
}
