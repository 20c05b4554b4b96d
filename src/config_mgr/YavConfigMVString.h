// YavConfigMVString: a list of texts in the internal encoding, read with
// next(YavStringRef*).  Everything is YavConfigMultiValue's; the class names
// the use.
//
// One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGMVSTRING_H
#define YAV_CONFIG_MGR_YAVCONFIGMVSTRING_H

#include "config_mgr/YavConfigMultiValue.h"

class YAV_EXPORT YavConfigMVString : public YavConfigMultiValue {
  public:
    YavConfigMVString() {}
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGMVSTRING_H
