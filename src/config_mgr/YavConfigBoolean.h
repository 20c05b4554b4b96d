// YavConfigBoolean: an enumerated configuration value over "yes", "true",
// "no" and "false" (in this order, lower case only): the first two give
// true, the others false.
//
// One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGBOOLEAN_H
#define YAV_CONFIG_MGR_YAVCONFIGBOOLEAN_H

#include "config_mgr/YavConfigEnum.h"

class YAV_EXPORT YavConfigBoolean : public YavConfigEnum {
  public:
    YavConfigBoolean();

    // The stored truth value; false when nothing is set.
    bool getValue() const { return getIndex() == 0 || getIndex() == 1; }

    // "true" or "false".
    static const char* toString(bool value) { return value ? "true" : "false"; }
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGBOOLEAN_H
