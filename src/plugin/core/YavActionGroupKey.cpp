#include "plugin/core/YavActionGroupKey.h"

#include "core/system/yav_assert.h"

int YavActionGroupKey::compare(const YavActionGroup& group) const {
    YAV_ASSERT(groupName != nullptr);
    return group.match(*groupName) ? 0 : 1;
}
