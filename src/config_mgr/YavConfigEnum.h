// YavConfigEnum: a configuration value that must be one of a fixed list of
// texts, compared exactly (byte-wise, case-sensitive).  It keeps the
// position and 0-based index of the matched text.
//
// The object owns its copy of the allowed texts.  One thread at a time.
// Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGENUM_H
#define YAV_CONFIG_MGR_YAVCONFIGENUM_H

#include "config_mgr/YavConfigData.h"
#include "core/list/YavList.h"

class YAV_EXPORT YavConfigEnum : public YavConfigData {
  public:
    // From a null-terminated array of texts (internal encoding).
    // REQUIRES: values != nullptr.
    explicit YavConfigEnum(const char* const* values);
    // From a copy of a list of texts.
    explicit YavConfigEnum(const YavList<YavString>& values);
    ~YavConfigEnum() override;

    // 0, or YAV_S_NO_MEMORY when the allowed texts could not be copied (every
    // store then fails with it).
    yav_status_t constructStatus() const { return m_constructStatus; }

    // YAV_S_INVALID_VALUE when the text is not one of the allowed ones; the
    // previous value stays.
    yav_status_t setValue(const YavStringRef& text) override;
    yav_status_t setLCPValue(const YavLCPStringRef& text) override;

    // Index of the stored text in the allowed list, -1 when nothing is set.
    int getIndex() const { return m_index; }
    // The stored text; null when nothing is set.
    const YavString* getValue() const { return m_current; }

    const YavList<YavString>& allowedValues() const { return m_allowed; }

  private:
    YavList<YavString> m_allowed;  // owns its strings
    const YavString* m_current;    // entry of m_allowed, or null
    int m_index;
    yav_status_t m_constructStatus;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGENUM_H
