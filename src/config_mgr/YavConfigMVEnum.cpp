#include "config_mgr/YavConfigMVEnum.h"

#include <new>

#include "core/msg/yav_status.h"

YavConfigMVEnum::YavConfigMVEnum(const char* const* allowedValues)
    : m_allowed(nullptr, true), m_enums(nullptr, true), m_constructStatus(0) {
    for (; *allowedValues != nullptr; ++allowedValues) {
        YavString* copy = new (std::nothrow) YavString();
        if (copy == nullptr || !copy->set(*allowedValues) || m_allowed.append(copy) != 0) {
            delete copy;
            m_constructStatus = YAV_S_NO_MEMORY;
            break;
        }
    }
    m_enumCursor = m_enums.begin();
}

YavConfigMVEnum::~YavConfigMVEnum() {}

yav_status_t YavConfigMVEnum::setValue(const YavStringRef& text) {
    if (m_constructStatus != 0) return m_constructStatus;
    yav_status_t status = YavConfigMultiValue::setValue(text);
    if (status != 0) return status;
    // Rebuilt from every item so that the list matches the items after
    // several stores.
    m_enums.delEntries();
    m_enumCursor = m_enums.begin();
    for (const YavString* item : items()) {
        YavConfigEnum* value = new (std::nothrow) YavConfigEnum(m_allowed);
        if (value == nullptr) {
            m_isSet = false;
            return YAV_S_NO_MEMORY;
        }
        status = value->constructStatus();
        if (status == 0) status = value->setValue(*item);
        if (status == 0 && m_enums.append(value) != 0) status = YAV_S_NO_MEMORY;
        if (status != 0) {
            delete value;
            m_isSet = false;
            return status;
        }
    }
    m_enumCursor = m_enums.begin();
    return 0;
}

bool YavConfigMVEnum::next(YavConfigEnum** value) {
    if (m_enumCursor.isEnd()) return false;
    *value = *m_enumCursor;
    ++m_enumCursor;
    return true;
}
