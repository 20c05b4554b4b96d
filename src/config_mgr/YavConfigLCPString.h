// YavConfigLCPString: a configuration value holding any text (the empty
// text included) in the local code page.  A store replaces the previous
// text.
//
// The object owns its string.  One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGLCPSTRING_H
#define YAV_CONFIG_MGR_YAVCONFIGLCPSTRING_H

#include "config_mgr/YavConfigData.h"

class YAV_EXPORT YavConfigLCPString : public YavConfigData {
  public:
    YavConfigLCPString() {}

    // Only YAV_S_NO_MEMORY (or a conversion failure for setValue), after
    // which the previous text stays.
    yav_status_t setValue(const YavStringRef& text) override;
    yav_status_t setLCPValue(const YavLCPStringRef& text) override;

    const YavLCPString& getValue() const { return m_value; }

  private:
    YavLCPString m_value;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGLCPSTRING_H
