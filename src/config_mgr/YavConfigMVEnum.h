// YavConfigMVEnum: a list of enumerated values.  Each store appends its
// items as YavConfigMultiValue does; then every item must be one of the
// allowed texts, and one YavConfigEnum per item (over the same allowed
// texts, set to the item) is kept for reading with next(YavConfigEnum**).
// At the first item that is not allowed the store fails with
// YAV_S_INVALID_VALUE and the value is no longer set.
//
// The object owns its allowed texts and its YavConfigEnum objects; pointers
// handed out by next stay valid until the next store or destruction.  One
// thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGMVENUM_H
#define YAV_CONFIG_MGR_YAVCONFIGMVENUM_H

#include "config_mgr/YavConfigEnum.h"
#include "config_mgr/YavConfigMultiValue.h"
#include "core/list/YavList.h"

class YAV_EXPORT YavConfigMVEnum : public YavConfigMultiValue {
  public:
    // REQUIRES: allowedValues is a null-terminated array of texts.
    explicit YavConfigMVEnum(const char* const* allowedValues);
    ~YavConfigMVEnum() override;

    yav_status_t setValue(const YavStringRef& text) override;

    using YavConfigMultiValue::next;
    using YavConfigMultiValue::resetIterator;
    // The enumerated value of the next item; false after the last.  Walks
    // its own cursor, restarted by resetEnums() and by every store.
    bool next(YavConfigEnum** value);
    void resetEnums() { m_enumCursor = m_enums.begin(); }

  private:
    YavList<YavString> m_allowed;    // owns its strings
    YavList<YavConfigEnum> m_enums;  // owns its values
    YavList<YavConfigEnum>::Iterator m_enumCursor;
    yav_status_t m_constructStatus;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGMVENUM_H
