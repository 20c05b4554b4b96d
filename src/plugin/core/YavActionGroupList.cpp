#include "plugin/core/YavActionGroupList.h"

#include <cstring>

#include "core/msg/yav_status.h"

const char YavActionGroupList::kPrimaryGroupName[] = "primary";

YavActionGroupList::YavActionGroupList(YavAllocator* allocator)
    : YavSearchableList<YavActionGroup, YavActionGroupKey>(allocator, true), m_initialized(false) {}

YavActionGroupList::~YavActionGroupList() { shutdown(); }

yav_status_t YavActionGroupList::shutdown() {
    delEntries();
    m_initialized = false;
    return 0;
}

yav_status_t YavActionGroupList::addGroup(const YavStringRef& name, const YavStringRef& actions) {
    for (Iterator it = begin(); !it.isEnd(); ++it) {
        if ((*it)->match(name)) return (*it)->addActions(actions);
    }
    YavActionGroup* group = new (getAllocator()) YavActionGroup(getAllocator());
    if (group == nullptr) return YAV_S_NO_MEMORY;
    yav_status_t status = group->setName(name);
    if (status == 0) status = group->addActions(actions);
    if (status == 0) status = append(group);
    if (status != 0) delete group;
    return status;
}

// The brackets are searched byte by byte: in UTF-8 a byte below 0x80 never
// occurs inside a multi-byte character, so this finds exactly the bracket
// characters.  The text ends at its first zero byte, as a terminated text
// would.
yav_status_t YavActionGroupList::initialize(const YavStringRef& actionSet) {
    if (m_initialized) return YAV_S_ALREADY_INITIALIZED;

    const char* text = actionSet.getData();
    size_t length = static_cast<size_t>(actionSet.getLength());
    const void* zero = memchr(text, 0, length);
    if (zero != nullptr) length = static_cast<size_t>(static_cast<const char*>(zero) - text);
    const char* end = text + length;

    const char* open = static_cast<const char*>(memchr(text, '[', length));
    yav_status_t status = 0;
    if (open != text) {
        int primaryLength = static_cast<int>((open != nullptr ? open : end) - text);
        status = addGroup(YavStringRef(kPrimaryGroupName, sizeof(kPrimaryGroupName) - 1),
                          YavStringRef(text, primaryLength));
    }
    while (status == 0 && open != nullptr) {
        const char* name = open + 1;
        const char* close =
            static_cast<const char*>(memchr(name, ']', static_cast<size_t>(end - name)));
        if (close == nullptr) {
            status = YAV_S_URC_INVALID_ACTION_SET;
            break;
        }
        const char* actions = close + 1;
        open = static_cast<const char*>(memchr(actions, '[', static_cast<size_t>(end - actions)));
        const char* actionsEnd = open != nullptr ? open : end;
        status = addGroup(YavStringRef(name, static_cast<int>(close - name)),
                          YavStringRef(actions, static_cast<int>(actionsEnd - actions)));
    }
    if (status != 0) {
        delEntries();
        return status;
    }
    m_initialized = true;
    return 0;
}

bool YavActionGroupList::resolveActionGroupList(const YavActionGroupList& required) const {
    for (ConstIterator it = required.begin(); !it.isEnd(); ++it) {
        const YavActionGroup* needed = *it;
        const YavActionGroup* granted = findValue(YavActionGroupKey(needed->getName()));
        if (granted == nullptr || !granted->checkActions(needed->getActions())) return false;
    }
    return true;
}
