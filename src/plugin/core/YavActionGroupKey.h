// YavActionGroupKey: the search key of an action-group list
// (YavSearchableList::find): finds the group with a given name.
//
// Memory: the key points at the caller's name and does not own it; the name
// must outlive every search made with the key.
//
// Threads: a key is used by one thread at a time.  Copyable (it is a
// pointer).
#ifndef YAV_PLUGIN_CORE_YAVACTIONGROUPKEY_H
#define YAV_PLUGIN_CORE_YAVACTIONGROUPKEY_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavActionGroup.h"

class YAV_EXPORT YavActionGroupKey {
  public:
    explicit YavActionGroupKey(const YavString* name = nullptr) : groupName(name) {}

    // 0 when group is the group named groupName (YavActionGroup::match),
    // 1 otherwise: the lists are searched, never sorted, so no order is
    // needed.
    // REQUIRES: groupName is set; the group has a name.
    int compare(const YavActionGroup& group) const;

    const YavString* groupName;
};

#endif  // YAV_PLUGIN_CORE_YAVACTIONGROUPKEY_H
