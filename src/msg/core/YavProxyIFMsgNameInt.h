// YavProxyIFMsgNameInt: a name (string) and a signed 32-bit value as one
// message value: the name encoded as a string immediately followed by the
// 4-byte value.
//
// Memory: refers to name text it does not own (see YavProxyIFMsgString).
// Not copyable; one thread at a time.
#ifndef YAV_MSG_CORE_YAVPROXYIFMSGNAMEINT_H
#define YAV_MSG_CORE_YAVPROXYIFMSGNAMEINT_H

#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgString.h"

class YAV_EXPORT YavProxyIFMsgNameInt : public YavProxyIFMsgData {
  public:
    YavProxyIFMsgNameInt() = default;

    int marshal(unsigned char* buffer, int size) const override;
    // A pair whose value does not follow its name within size is refused.
    int unmarshal(const unsigned char* buffer, int size) override;
    // "Name: <name URI-encoded to ASCII> - Value: <decimal value>".
    yav_status_t createString(YavString* out) const override;

    void set(const YavStringRef& name, int value) {
        m_name.set(name);
        m_value.set(value);
    }
    YavStringRef& getName() { return m_name.get(); }
    const YavStringRef& getName() const { return m_name.get(); }
    int getValue() const { return m_value.get(); }

  private:
    YavProxyIFMsgString m_name;
    YavProxyIFMsgInt m_value;
};

#endif  // YAV_MSG_CORE_YAVPROXYIFMSGNAMEINT_H
