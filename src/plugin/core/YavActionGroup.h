// YavActionGroup: one named group of actions.  An action is a single
// character; a group holds its name and the characters of its actions in the
// order they were added (the same character may occur twice).  Groups make
// up an action set (YavActionGroupList); authorization checks whether the
// groups of a granted set contain every action of a required set.
//
// Memory: the group owns its two strings.  The group, its name and its
// actions are placed through the allocator given at construction (null =
// process heap); make groups with `new (allocator) YavActionGroup(allocator)`
// and destroy them with `delete`.
//
// Threads: not locked.  A group is built by one thread and then only read;
// readers need no synchronisation among themselves.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVACTIONGROUP_H
#define YAV_PLUGIN_CORE_YAVACTIONGROUP_H

#include "core/buffers/YavString.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavActionGroup : public YavAllocatedObject {
  public:
    explicit YavActionGroup(YavAllocator* allocator = nullptr);
    ~YavActionGroup();
    YAV_DISALLOW_COPY(YavActionGroup);

    // Sets or replaces the name.  0, or YAV_S_NO_MEMORY leaving the old name.
    yav_status_t setName(const YavStringRef& name);

    // Null until setName / addActions succeeded once.
    const YavString* getName() const { return m_name; }
    const YavString* getActions() const { return m_actions; }

    // True when the group's name equals name: same length and the name's
    // comparator (case-sensitive by default) finds no difference.
    // REQUIRES: the name is set.
    bool match(const YavString& name) const { return matchText(name.getData(), name.getLength()); }
    bool match(const YavStringRef& name) const {
        return matchText(name.getData(), name.getLength());
    }

    // True when the action character occurs among the group's actions.
    // REQUIRES: the actions are set.
    bool contains(char action) const;

    // True when every character of actions is one of this group's actions.
    // The empty text is contained in any group.
    // REQUIRES: actions is not null.
    bool checkActions(const YavString* actions) const;
    bool checkActions(const YavStringRef& actions) const;

    // Appends the characters of actions to the group's actions (creating
    // them, possibly empty, on the first call).  0, or YAV_S_NO_MEMORY
    // leaving the actions as they were.
    // REQUIRES: actions is not null; the name is set.
    yav_status_t addActions(const YavString* actions);
    yav_status_t addActions(const YavStringRef& actions);

  private:
    bool matchText(const char* text, int length) const;
    bool containsAll(const char* text, int length) const;

    YavString* m_name;
    YavString* m_actions;
    YavAllocator* m_allocator;
};

#endif  // YAV_PLUGIN_CORE_YAVACTIONGROUP_H
