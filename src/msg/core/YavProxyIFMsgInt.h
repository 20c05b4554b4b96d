// YavProxyIFMsgInt: a signed 32-bit message value, encoded as its 4 bytes in
// the host's order.  Holds no pointers.  Copyable only through set/get; one
// thread at a time.
#ifndef YAV_MSG_CORE_YAVPROXYIFMSGINT_H
#define YAV_MSG_CORE_YAVPROXYIFMSGINT_H

#include <cstdint>

#include "msg/core/YavProxyIFMsgData.h"

class YAV_EXPORT YavProxyIFMsgInt : public YavProxyIFMsgData {
  public:
    explicit YavProxyIFMsgInt(int value = 0) : m_data(value) {}

    int marshal(unsigned char* buffer, int size) const override;
    int unmarshal(const unsigned char* buffer, int size) override;
    // The value in decimal.
    yav_status_t createString(YavString* out) const override;

    yav_status_t set(int value) {
        m_data = value;
        return 0;
    }
    int get() const { return m_data; }
    void increment() { m_data = static_cast<int>(static_cast<uint32_t>(m_data) + 1u); }

    // Appends the decimal form of value to out; false when out cannot grow.
    static bool appendDecimal(YavString* out, int value);

  private:
    int32_t m_data;
};

#endif  // YAV_MSG_CORE_YAVPROXYIFMSGINT_H
