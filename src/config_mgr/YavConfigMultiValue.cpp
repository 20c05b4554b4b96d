#include "config_mgr/YavConfigMultiValue.h"

yav_status_t YavConfigMultiValue::setValue(const YavStringRef& text) { return store(text); }

yav_status_t YavConfigMultiValue::setLCPValue(const YavLCPStringRef& text) {
    YavString internal;
    yav_status_t status = yav_config_from_lcp(text, &internal);
    if (status != 0) return status;
    return setValue(internal);
}
