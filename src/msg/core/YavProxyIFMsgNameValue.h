// YavProxyIFMsgNameValue: a name and a value, both strings, as one message
// value: the name encoded as a string immediately followed by the value
// encoded as a string.
//
// Memory: refers to text it does not own (see YavProxyIFMsgString).  Not
// copyable; one thread at a time.
#ifndef YAV_MSG_CORE_YAVPROXYIFMSGNAMEVALUE_H
#define YAV_MSG_CORE_YAVPROXYIFMSGNAMEVALUE_H

#include "msg/core/YavProxyIFMsgString.h"

class YAV_EXPORT YavProxyIFMsgNameValue : public YavProxyIFMsgData {
  public:
    YavProxyIFMsgNameValue() = default;

    int marshal(unsigned char* buffer, int size) const override;
    // A pair whose value does not follow its name within size is refused.
    int unmarshal(const unsigned char* buffer, int size) override;
    // "Name: <name> - Value: <value>", both URI-encoded to ASCII.
    yav_status_t createString(YavString* out) const override;

    void set(const YavStringRef& name, const YavStringRef& value) {
        m_name.set(name);
        m_value.set(value);
    }
    YavStringRef& getName() { return m_name.get(); }
    const YavStringRef& getName() const { return m_name.get(); }
    YavStringRef& getValue() { return m_value.get(); }
    const YavStringRef& getValue() const { return m_value.get(); }

  private:
    YavProxyIFMsgString m_name;
    YavProxyIFMsgString m_value;
};

#endif  // YAV_MSG_CORE_YAVPROXYIFMSGNAMEVALUE_H
