#include "plugin/core/YavPermMap.h"

#include "core/system/yav_assert.h"

YavPermMap::YavPermMap(YavAllocator* allocator)
    : m_defaultPerms(nullptr), m_methods(allocator, true, true) {}

YavPermMap::~YavPermMap() { shutdown(); }

yav_status_t YavPermMap::initialize() {
    setDefaultPerms(nullptr);
    return m_methods.initialize(kMethodBuckets);
}

yav_status_t YavPermMap::shutdown() {
    m_methods.delEntries();
    setDefaultPerms(nullptr);
    return 0;
}

yav_status_t YavPermMap::setDefaultPerms(YavActionGroupList* perms) {
    YavActionGroupList* old = m_defaultPerms;
    m_defaultPerms = perms;
    delete old;
    return 0;
}

yav_status_t YavPermMap::setPerms(YavStringRef* method, YavActionGroupList* perms) {
    YAV_ASSERT(method != nullptr);
    return m_methods.add(method, perms);
}

YavActionGroupList* YavPermMap::getPerms(const YavStringRef& method) const {
    MethodTable::ConstIterator it = m_methods.findIter(method);
    const YavActionGroupList* perms = it.isEnd() ? m_defaultPerms : it.value();
    return const_cast<YavActionGroupList*>(perms);
}
