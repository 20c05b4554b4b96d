#include "config_mgr/YavConfigEnum.h"

#include <new>

#include "config_mgr/yav_config_text.h"
#include "core/msg/yav_status.h"

namespace {

yav_status_t add_copy(YavList<YavString>* list, const YavStringRef& text) {
    YavString* copy = new (std::nothrow) YavString();
    if (copy == nullptr) return YAV_S_NO_MEMORY;
    if (!copy->set(text) || list->append(copy) != 0) {
        delete copy;
        return YAV_S_NO_MEMORY;
    }
    return 0;
}

}  // namespace

YavConfigEnum::YavConfigEnum(const char* const* values)
    : m_allowed(nullptr, true), m_current(nullptr), m_index(-1), m_constructStatus(0) {
    for (; *values != nullptr && m_constructStatus == 0; ++values) {
        m_constructStatus = add_copy(&m_allowed, YavStringRef(*values));
    }
}

YavConfigEnum::YavConfigEnum(const YavList<YavString>& values)
    : m_allowed(nullptr, true), m_current(nullptr), m_index(-1), m_constructStatus(0) {
    for (const YavString* value : values) {
        if (m_constructStatus != 0) break;
        m_constructStatus = add_copy(&m_allowed, *value);
    }
}

YavConfigEnum::~YavConfigEnum() {}

yav_status_t YavConfigEnum::setValue(const YavStringRef& text) {
    if (m_constructStatus != 0) return m_constructStatus;
    int index = 0;
    for (const YavString* value : m_allowed) {
        if (value->equals(text)) {
            m_current = value;
            m_index = index;
            m_isSet = true;
            return 0;
        }
        ++index;
    }
    return YAV_S_INVALID_VALUE;
}

yav_status_t YavConfigEnum::setLCPValue(const YavLCPStringRef& text) {
    YavString internal;
    yav_status_t status = yav_config_from_lcp(text, &internal);
    if (status != 0) return status;
    return setValue(internal);
}
