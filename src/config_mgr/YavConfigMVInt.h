// YavConfigMVInt: a list of signed 32-bit integers.  Each store appends its
// items as YavConfigMultiValue does and then checks every item with the
// rule of YavConfigInt; when any item does not convert the store fails with
// YAV_S_INVALID_SYS_INPUT and the value is no longer set.
//
// One thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGMVINT_H
#define YAV_CONFIG_MGR_YAVCONFIGMVINT_H

#include "config_mgr/YavConfigMultiValue.h"

class YAV_EXPORT YavConfigMVInt : public YavConfigMultiValue {
  public:
    YavConfigMVInt() : m_parseFailed(false) {}

    yav_status_t setValue(const YavStringRef& text) override;

    using YavConfigMultiValue::next;
    // The next item converted; false after the last.  An item that does not
    // convert gives 0 and sets parseFailed.
    bool next(int* value);
    bool parseFailed() const { return m_parseFailed; }

  private:
    bool m_parseFailed;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGMVINT_H
