// YavConfigStanzaSchemaT<S>: a schema that takes every entry of one stanza
// into a name-to-value table, with S the string type of the results
// (YavString: internal encoding; YavLCPString: local code page).
//
// With a qualifier q, the stanza "stanza:q" is read first.  When it gives
// at least one entry, the plain stanza is read only if `inherit` is set, and
// then without the names that the qualified stanza gave; when it gives
// none (no qualifier, stanza absent or empty), the plain stanza is read.
// Repeated names accumulate: the values are joined with ", " in file order.
// An entry without a value counts as the empty text.
//
// validate() warns about entries whose names are not in the comma-separated
// list of permitted names (when that list is not empty).
//
// The schema owns its strings; tables and lists given to loadData are the
// caller's (their new keys and values are made with new and must be owned
// by the table).  One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGSTANZASCHEMAT_H
#define YAV_CONFIG_MGR_YAVCONFIGSTANZASCHEMAT_H

#include <cstdio>
#include <new>

#include "config_mgr/YavConfigSchema.h"
#include "config_mgr/yav_config_text.h"
#include "config_mgr/yav_config_walk.h"
#include "config_mgr/yav_string_rule_pair.h"
#include "core/hash/YavHashTable.h"
#include "core/list/YavList.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"

// One entry of an ordered stanza-wide load: the name, the joined value, and
// whether the value came from the plain stanza although the schema has a
// qualifier.
template <class S>
struct YavConfigStanzaItem {
    S name;
    S value;
    bool inherited;
};

template <class S>
class YavConfigStanzaSchemaT : public YavConfigSchema {
  public:
    typedef YavHashTable<S, S> ValueTable;
    typedef YavHashTable<S, bool> FoundTable;
    typedef YavList<YavConfigStanzaItem<S>> ItemList;

    // Buckets of the tables the schema makes for itself.
    static const size_t kBuckets = 31;

    // stanza and permitted (null: none) in S's encoding; the schema's name
    // is the stanza's.  ok() tells whether the texts could be kept.
    explicit YavConfigStanzaSchemaT(const char* stanza, const char* permitted = nullptr)
        : YavConfigSchema(stanza), m_inherit(false) {
        m_stanzaOk = m_stanza.set(stanza) && m_permitted.set(permitted);
    }

    bool ok() const { return YavConfigSchema::ok() && m_stanzaOk; }

    void setInherit(bool inherit) { m_inherit = inherit; }
    bool getInherit() const { return m_inherit; }
    const S& getStanza() const { return m_stanza; }

    yav_status_t validate() override;
    yav_status_t dumpSchema(FILE* out) const override;
    // Equal qualifiers, stanza names and inherit flags.
    bool matches(const YavConfigSchema* other) const override;

    // Loads the stanza into table (see the header comment).
    // REQUIRES: table is initialized and owns its keys and values.
    virtual yav_status_t loadData(ValueTable* table) { return loadData(table, nullptr); }
    // One pair per entry in file order, names not joined: the qualified
    // stanza first, then the plain one when the qualified gave nothing or
    // inherit is set (without the names the qualified stanza gave).
    // REQUIRES: list owns its values.
    virtual yav_status_t loadData(yav_string_rule_list* list);
    // As the first form; found (may be null; when given, initialized and
    // owning its keys) receives the names taken from the qualified stanza,
    // each once, with null values.
    virtual yav_status_t loadData(ValueTable* table, FoundTable* found) const;

    // The same load in file order (first occurrence of each name decides
    // the position).  REQUIRES: items owns its values.
    yav_status_t loadItems(ItemList* items) const;

  private:
    // Walks the qualified and the plain stanza by the rules above, calling
    // visit(name, value, fromQualified) with the file's texts.
    template <class Visit>
    yav_status_t walk(FoundTable* found, Visit&& visit) const;

    S m_stanza;
    bool m_inherit;
    S m_permitted;  // comma-separated; empty: names are not tested
    bool m_stanzaOk;
};

template <class S>
template <class Visit>
yav_status_t YavConfigStanzaSchemaT<S>::walk(FoundTable* found, Visit&& visit) const {
    FoundTable own(nullptr, true, false);
    if (found == nullptr) {
        yav_status_t status = own.initialize(kBuckets);
        if (status != 0) return status;
        found = &own;
    }
    yavStanzaFile* file = getStanzaFile();
    YavLCPString plain;
    yav_status_t status = yav_config_to_lcp(m_stanza, &plain);
    if (status != 0) return status;
    bool gotQualified = false;
    if (hasQualifier()) {
        YavLCPString qualified;
        status = qualifiedStanza(plain, &qualified);
        if (status != 0) return status;
        status = yav_config_walk_stanza(
            file, qualified.getData(), [&](const char* name, const char* value) {
                gotQualified = true;
                S* key = new (std::nothrow) S();
                if (key == nullptr) return yav_status_t(YAV_S_NO_MEMORY);
                yav_status_t s = yav_config_from_lcp(YavLCPStringRef(name), key);
                if (s == 0 && !found->contains(*key)) {
                    s = found->add(key, nullptr);
                    if (s == 0) key = nullptr;
                }
                delete key;
                if (s != 0) return s;
                return visit(name, value, true);
            });
        if (status != 0) return status;
        status = yav_config_check_stanza(file, qualified.getData());
        if (status != 0) return status;
    }
    if (gotQualified && !m_inherit) return 0;
    status =
        yav_config_walk_stanza(file, plain.getData(), [&](const char* name, const char* value) {
            if (gotQualified) {
                S key;
                yav_status_t s = yav_config_from_lcp(YavLCPStringRef(name), &key);
                if (s != 0) return s;
                if (found->contains(key)) return yav_status_t(0);
            }
            return visit(name, value, false);
        });
    if (status != 0) return status;
    return yav_config_check_stanza(file, plain.getData());
}

template <class S>
yav_status_t YavConfigStanzaSchemaT<S>::loadData(ValueTable* table, FoundTable* found) const {
    return walk(found, [&](const char* name, const char* value, bool) -> yav_status_t {
        S key;
        S text;
        yav_status_t status = yav_config_from_lcp(YavLCPStringRef(name), &key);
        if (status == 0) status = yav_config_from_lcp(YavLCPStringRef(value), &text);
        if (status != 0) return status;
        S* stored = table->find(key);
        if (stored != nullptr) {
            return stored->append(", ", 2) && stored->append(text) ? 0 : YAV_S_NO_MEMORY;
        }
        S* newKey = new (std::nothrow) S();
        S* newValue = new (std::nothrow) S();
        if (newKey != nullptr && newValue != nullptr && newKey->set(key) && newValue->set(text)) {
            status = table->add(newKey, newValue);
            if (status == 0) return 0;
        } else {
            status = YAV_S_NO_MEMORY;
        }
        delete newKey;
        delete newValue;
        return status;
    });
}

template <class S>
yav_status_t YavConfigStanzaSchemaT<S>::loadData(yav_string_rule_list* list) {
    return walk(nullptr, [&](const char* name, const char* value, bool) -> yav_status_t {
        yav_string_rule_pair* pair = new (std::nothrow) yav_string_rule_pair();
        if (pair == nullptr) return YAV_S_NO_MEMORY;
        yav_status_t status = yav_config_from_lcp(YavLCPStringRef(name), &pair->name);
        if (status == 0) status = yav_config_from_lcp(YavLCPStringRef(value), &pair->value);
        if (status == 0) status = list->append(pair);
        if (status != 0) delete pair;
        return status;
    });
}

template <class S>
yav_status_t YavConfigStanzaSchemaT<S>::loadItems(ItemList* items) const {
    bool qualified = hasQualifier();
    return walk(nullptr, [&](const char* name, const char* value, bool fromQualified) {
        S key;
        S text;
        yav_status_t status = yav_config_from_lcp(YavLCPStringRef(name), &key);
        if (status == 0) status = yav_config_from_lcp(YavLCPStringRef(value), &text);
        if (status != 0) return status;
        for (YavConfigStanzaItem<S>* item : *items) {
            if (item->name.equals(key)) {
                return item->value.append(", ", 2) && item->value.append(text)
                           ? yav_status_t(0)
                           : yav_status_t(YAV_S_NO_MEMORY);
            }
        }
        YavConfigStanzaItem<S>* item = new (std::nothrow) YavConfigStanzaItem<S>();
        if (item == nullptr) return yav_status_t(YAV_S_NO_MEMORY);
        item->inherited = qualified && !fromQualified;
        if (!item->name.set(key) || !item->value.set(text) || items->append(item) != 0) {
            delete item;
            return yav_status_t(YAV_S_NO_MEMORY);
        }
        return yav_status_t(0);
    });
}

template <class S>
yav_status_t YavConfigStanzaSchemaT<S>::validate() {
    if (m_permitted.isEmpty()) return 0;
    YavLCPString permitted;
    YavLCPString plain;
    yav_status_t status = yav_config_to_lcp(m_permitted, &permitted);
    if (status == 0) status = yav_config_to_lcp(m_stanza, &plain);
    if (status != 0) return status;
    yav_status_t result = 0;
    yavStanzaFile* file = getStanzaFile();
    auto check = [&](const YavLCPString& walked) -> yav_status_t {
        yav_status_t s = yav_config_walk_stanza(
            file, walked.getData(), [&](const char* name, const char* value) {
                YavLCPStringRef entry(name);
                YavConfigCommaSplitter splitter(permitted.getData(), permitted.getLength());
                const char* item;
                int itemLength;
                bool known = false;
                while (!known && splitter.next(&item, &itemLength)) {
                    known = entry.equals(YavLCPStringRef(item, itemLength));
                }
                if (!known) {
                    YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_warning, "%s%s%s%s",
                                YAV_S_CFG_UNRECOGNIZED_ENTRY_TEXT, name,
                                value != nullptr ? value : "", walked.getData(), fileName());
                    result = YAV_S_CFG_UNRECOGNIZED_ENTRY;
                }
                return yav_status_t(0);
            });
        if (s != 0) return s;
        return yav_config_check_stanza(file, walked.getData());
    };
    status = check(plain);
    if (status == 0 && hasQualifier()) {
        YavLCPString qualified;
        status = qualifiedStanza(plain, &qualified);
        if (status == 0) status = check(qualified);
    }
    return status != 0 ? status : result;
}

template <class S>
bool YavConfigStanzaSchemaT<S>::matches(const YavConfigSchema* other) const {
    if (!YavConfigSchema::matches(other)) return false;
    const YavConfigStanzaSchemaT* same = dynamic_cast<const YavConfigStanzaSchemaT*>(other);
    return same != nullptr && same->m_stanza.equals(m_stanza) && same->m_inherit == m_inherit;
}

template <class S>
yav_status_t YavConfigStanzaSchemaT<S>::dumpSchema(FILE* out) const {
    YavLCPString plain;
    yav_status_t status = yav_config_to_lcp(m_stanza, &plain);
    if (status != 0) return status;
    if (hasQualifier()) {
        fprintf(out, "\n[%s:%s]\n", plain.getData(), getQualifier().getData());
    } else {
        fprintf(out, "\n[%s]\n", plain.getData());
    }
    ItemList items(nullptr, true);
    status = loadItems(&items);
    if (status != 0) return status;
    for (const YavConfigStanzaItem<S>* item : items) {
        YavLCPString name;
        YavLCPString value;
        status = yav_config_to_lcp(item->name, &name);
        if (status == 0) status = yav_config_to_lcp(item->value, &value);
        if (status != 0) return status;
        fprintf(out, "%-25s = %-25s", name.getData(), value.getData());
        if (item->inherited) {
            fprintf(out, " # inherited from [%s]\n", plain.getData());
        } else {
            fputs("\n", out);
        }
    }
    return 0;
}

extern template class YavConfigStanzaSchemaT<YavString>;
extern template class YavConfigStanzaSchemaT<YavLCPString>;

#endif  // YAV_CONFIG_MGR_YAVCONFIGSTANZASCHEMAT_H
