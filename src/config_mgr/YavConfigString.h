// YavConfigString: a configuration value holding any text (the empty text
// included) in the internal encoding.  A store replaces the previous text.
//
// The object owns its string.  One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGSTRING_H
#define YAV_CONFIG_MGR_YAVCONFIGSTRING_H

#include "config_mgr/YavConfigData.h"

class YAV_EXPORT YavConfigString : public YavConfigData {
  public:
    YavConfigString() {}

    // Only YAV_S_NO_MEMORY (or a conversion failure for setLCPValue), after
    // which the previous text stays.
    yav_status_t setValue(const YavStringRef& text) override;
    yav_status_t setLCPValue(const YavLCPStringRef& text) override;

    const YavString& getValue() const { return m_value; }

  private:
    YavString m_value;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGSTRING_H
