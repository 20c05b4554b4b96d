// YavConfigMultiLCPValue: a multi-valued configuration value in the local
// code page (see YavConfigMultiValueT for how texts are stored and split).
// Texts in the internal encoding are converted first.
//
// One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGMULTILCPVALUE_H
#define YAV_CONFIG_MGR_YAVCONFIGMULTILCPVALUE_H

#include "config_mgr/YavConfigMultiValueT.h"

class YAV_EXPORT YavConfigMultiLCPValue : public YavConfigMultiValueT<YavLCPString> {
  public:
    YavConfigMultiLCPValue() {}

    // Converts, then stores through setLCPValue.
    yav_status_t setValue(const YavStringRef& text) override;
    // Appends; YAV_S_NO_MEMORY leaves the value as it was.
    yav_status_t setLCPValue(const YavLCPStringRef& text) override;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGMULTILCPVALUE_H
