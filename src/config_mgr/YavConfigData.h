// YavConfigData: the base of the typed configuration values.
//
// A typed value receives the text of one configuration entry (setValue in
// the internal encoding, setLCPValue in the local code page, as stanza files
// hold it), checks it by the rule of its class and keeps the converted
// value.  isSet tells that a value was stored; fromDefault that the stored
// value is the schema's default.  Each class owns every string it holds.
//
// A value object belongs to one thread at a time.  Not copyable.
#ifndef YAV_CONFIG_MGR_YAVCONFIGDATA_H
#define YAV_CONFIG_MGR_YAVCONFIGDATA_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavConfigData {
  public:
    YavConfigData() : m_isSet(false), m_fromDefault(false) {}
    virtual ~YavConfigData();
    YAV_DISALLOW_COPY(YavConfigData);

    // Stores a value given in the internal encoding.  0, or the class's
    // failure status (the previous value then stays).
    virtual yav_status_t setValue(const YavStringRef& text) = 0;
    // The same for a value in the local code page.
    virtual yav_status_t setLCPValue(const YavLCPStringRef& text) = 0;
    // True for the multi-valued classes, whose stores append.
    virtual bool isMultiValued() const { return false; }

    bool isSet() const { return m_isSet; }
    bool isFromDefault() const { return m_fromDefault; }
    // Called by the loader after it stored the schema's default.
    void markFromDefault() { m_fromDefault = true; }

  protected:
    bool m_isSet;
    bool m_fromDefault;
};

#endif  // YAV_CONFIG_MGR_YAVCONFIGDATA_H
