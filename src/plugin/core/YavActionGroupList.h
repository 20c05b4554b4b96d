// YavActionGroupList: an action set -- the list of action groups parsed from
// an action-set text -- and the covering test between two sets.
//
// Action-set text: characters of the group "primary", then any number of
// bracketed groups, "[name]actions".  Every character of an action part is
// one action.  A name that occurs twice adds both action parts to one group.
// Examples: "rx" is group primary {r, x}; "[a]xy[b]z[a]w" is a {x, y, w}
// and b {z} with no primary group; "" is primary with no actions; "x[a" is
// invalid (no closing bracket).  The text ends at its first zero byte.
//
// Memory: the list owns its groups (deleting the list deletes them); the
// groups, their strings and the list's entries come from the allocator given
// at construction (null = process heap).  Lists kept in a permission map are
// made with `new (std::nothrow) YavActionGroupList` and destroyed with
// `delete`.
//
// Threads: not locked.  A list is built once by one thread and then only
// read (under the lock of whatever structure holds it); readers need no
// synchronisation among themselves.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVACTIONGROUPLIST_H
#define YAV_PLUGIN_CORE_YAVACTIONGROUPLIST_H

#include "core/buffers/YavString.h"
#include "core/list/YavSearchableList.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavActionGroup.h"
#include "plugin/core/YavActionGroupKey.h"

class YAV_EXPORT YavActionGroupList : public YavSearchableList<YavActionGroup, YavActionGroupKey> {
  public:
    // The name of the group that holds the actions written before the first
    // bracket.
    static const char kPrimaryGroupName[];

    explicit YavActionGroupList(YavAllocator* allocator = nullptr);
    ~YavActionGroupList() override;
    YAV_DISALLOW_COPY(YavActionGroupList);

    // Parses actionSet into groups (in the order their names first occur).
    // Returns 0; YAV_S_ALREADY_INITIALIZED when the list is initialized
    // (shutdown first); YAV_S_URC_INVALID_ACTION_SET for a "[" without a
    // later "]"; YAV_S_NO_MEMORY.  After a failure the list is empty and not
    // initialized.
    yav_status_t initialize(const YavStringRef& actionSet);

    // Deletes every group and clears the initialized flag.  Returns 0.
    yav_status_t shutdown();

    bool isInitialized() const { return m_initialized; }

    // The covering test, with this list as the granted set: true when, for
    // every group of required, this list has a group of the same name that
    // contains all of its actions.  An empty required list is always
    // covered.
    bool resolveActionGroupList(const YavActionGroupList& required) const;

  private:
    // Adds actions to the group called name, making and appending the group
    // when there is none yet.
    yav_status_t addGroup(const YavStringRef& name, const YavStringRef& actions);

    bool m_initialized;
};

#endif  // YAV_PLUGIN_CORE_YAVACTIONGROUPLIST_H
