#include "config_mgr/YavConfigMultiLCPValue.h"

yav_status_t YavConfigMultiLCPValue::setValue(const YavStringRef& text) {
    YavLCPString local;
    yav_status_t status = yav_config_to_lcp(text, &local);
    if (status != 0) return status;
    return setLCPValue(local);
}

yav_status_t YavConfigMultiLCPValue::setLCPValue(const YavLCPStringRef& text) {
    return store(text);
}
