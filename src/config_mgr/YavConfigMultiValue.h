// YavConfigMultiValue: a multi-valued configuration value in the internal
// encoding (see YavConfigMultiValueT for how texts are stored and split).
// Texts in the local code page are converted first.
//
// One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGMULTIVALUE_H
#define YAV_CONFIG_MGR_YAVCONFIGMULTIVALUE_H

#include "config_mgr/YavConfigMultiValueT.h"

class YAV_EXPORT YavConfigMultiValue : public YavConfigMultiValueT<YavString> {
  public:
    YavConfigMultiValue() {}

    // Appends; YAV_S_NO_MEMORY leaves the value as it was.
    yav_status_t setValue(const YavStringRef& text) override;
    // Converts, then stores through setValue.
    yav_status_t setLCPValue(const YavLCPStringRef& text) override;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGMULTIVALUE_H
