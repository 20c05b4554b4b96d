// YavConfigMVLCPString: a list of texts in the local code page, read with
// next(YavLCPStringRef*).  Everything is YavConfigMultiLCPValue's; the class
// names the use.
//
// One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGMVLCPSTRING_H
#define YAV_CONFIG_MGR_YAVCONFIGMVLCPSTRING_H

#include "config_mgr/YavConfigMultiLCPValue.h"

class YAV_EXPORT YavConfigMVLCPString : public YavConfigMultiLCPValue {
  public:
    YavConfigMVLCPString() {}
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGMVLCPSTRING_H
