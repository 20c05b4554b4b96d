#include "config_mgr/YavConfigLCPString.h"

#include "config_mgr/yav_config_text.h"
#include "core/msg/yav_status.h"

yav_status_t YavConfigLCPString::setValue(const YavStringRef& text) {
    yav_status_t status = yav_config_to_lcp(text, &m_value);
    if (status != 0) return status;
    m_isSet = true;
    return 0;
}

yav_status_t YavConfigLCPString::setLCPValue(const YavLCPStringRef& text) {
    if (!m_value.set(text)) return YAV_S_NO_MEMORY;
    m_isSet = true;
    return 0;
}
