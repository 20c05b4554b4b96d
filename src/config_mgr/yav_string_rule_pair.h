// yav_string_rule_pair: a name and a value, as the rule-pair form of a
// stanza-wide load delivers them (one pair per entry, in file order), and
// yav_string_rule_key, the key that finds a pair by name in a
// YavSearchableList.
//
// A pair owns its two strings; a key refers to the caller's text, which
// must outlive it.  Neither is locked.  Pairs are not copyable; keys are.
#ifndef YAV_CONFIG_MGR_YAV_STRING_RULE_PAIR_H
#define YAV_CONFIG_MGR_YAV_STRING_RULE_PAIR_H

#include "core/buffers/YavString.h"
#include "core/list/YavSearchableList.h"

struct yav_string_rule_pair {
    YavString name;
    YavString value;
};

class yav_string_rule_key {
  public:
    explicit yav_string_rule_key(const YavStringRef& name) : m_name(name) {}
    // 0 when the pair carries this name (compared exactly).
    int compare(const yav_string_rule_pair& pair) const { return m_name.compare(pair.name); }

  private:
    YavStringRef m_name;
};

typedef YavSearchableList<yav_string_rule_pair, yav_string_rule_key> yav_string_rule_list;

#endif  // YAV_CONFIG_MGR_YAV_STRING_RULE_PAIR_H
