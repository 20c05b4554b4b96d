#include "plugin/core/YavActionGroup.h"

#include <cstring>

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"

YavActionGroup::YavActionGroup(YavAllocator* allocator)
    : m_name(nullptr), m_actions(nullptr), m_allocator(allocator) {}

YavActionGroup::~YavActionGroup() {
    yav_delete(m_name);
    yav_delete(m_actions);
}

yav_status_t YavActionGroup::setName(const YavStringRef& name) {
    if (m_name != nullptr) return m_name->set(name) ? 0 : YAV_S_NO_MEMORY;
    YavString* copy = yav_new<YavString>(m_allocator, m_allocator);
    if (copy == nullptr) return YAV_S_NO_MEMORY;
    if (!copy->set(name)) {
        yav_delete(copy);
        return YAV_S_NO_MEMORY;
    }
    m_name = copy;
    return 0;
}

bool YavActionGroup::matchText(const char* text, int length) const {
    YAV_ASSERT(m_name != nullptr);
    if (m_name->getLength() != length) return false;
    return m_name->getComparator()->compare(m_name->getData(), text, static_cast<size_t>(length)) ==
           0;
}

bool YavActionGroup::contains(char action) const {
    YAV_ASSERT(m_actions != nullptr);
    return memchr(m_actions->getData(), action, static_cast<size_t>(m_actions->getLength())) !=
           nullptr;
}

bool YavActionGroup::containsAll(const char* text, int length) const {
    for (int i = 0; i < length; ++i) {
        if (!contains(text[i])) return false;
    }
    return true;
}

bool YavActionGroup::checkActions(const YavString* actions) const {
    YAV_ASSERT(actions != nullptr);
    return containsAll(actions->getData(), actions->getLength());
}

bool YavActionGroup::checkActions(const YavStringRef& actions) const {
    return containsAll(actions.getData(), actions.getLength());
}

yav_status_t YavActionGroup::addActions(const YavString* actions) {
    YAV_ASSERT(actions != nullptr);
    return addActions(YavStringRef(*actions));
}

yav_status_t YavActionGroup::addActions(const YavStringRef& actions) {
    YAV_ASSERT(m_name != nullptr);
    if (m_actions != nullptr) return m_actions->append(actions) ? 0 : YAV_S_NO_MEMORY;
    YavString* copy = yav_new<YavString>(m_allocator, m_allocator);
    if (copy == nullptr) return YAV_S_NO_MEMORY;
    if (!copy->set(actions)) {
        yav_delete(copy);
        return YAV_S_NO_MEMORY;
    }
    m_actions = copy;
    return 0;
}
