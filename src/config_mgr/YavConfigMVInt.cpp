#include "config_mgr/YavConfigMVInt.h"

#include "config_mgr/YavConfigInt.h"
#include "core/msg/yav_status.h"

yav_status_t YavConfigMVInt::setValue(const YavStringRef& text) {
    yav_status_t status = YavConfigMultiValue::setValue(text);
    if (status != 0) return status;
    for (const YavString* item : items()) {
        int value;
        if (!YavConfigInt::parse(item->getData(), item->getLength(), &value)) {
            m_isSet = false;
            return YAV_S_INVALID_SYS_INPUT;
        }
    }
    return 0;
}

bool YavConfigMVInt::next(int* value) {
    YavStringRef item;
    if (!next(&item)) return false;
    if (!YavConfigInt::parse(item.getData(), item.getLength(), value)) {
        *value = 0;
        m_parseFailed = true;
    }
    return true;
}
