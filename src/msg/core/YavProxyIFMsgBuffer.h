// YavProxyIFMsgBuffer: a run of bytes as a message value.  Encoded as its
// length L (u32), the L bytes and padding to a multiple of 4.
//
// Memory: the object refers to bytes it does not own: those given to set()
// or, after unmarshal, those in the caller's buffer.  They must outlive the
// object's use of them.  Not copyable; one thread at a time.
#ifndef YAV_MSG_CORE_YAVPROXYIFMSGBUFFER_H
#define YAV_MSG_CORE_YAVPROXYIFMSGBUFFER_H

#include "core/buffers/YavBuffer.h"
#include "msg/core/YavProxyIFMsgData.h"

class YAV_EXPORT YavProxyIFMsgBuffer : public YavProxyIFMsgData {
  public:
    YavProxyIFMsgBuffer() = default;

    int marshal(unsigned char* buffer, int size) const override;
    int unmarshal(const unsigned char* buffer, int size) override;
    // The bytes URI-encoded to ASCII.
    yav_status_t createString(YavString* out) const override;

    // Refers to the bytes of data (no copy).
    void set(const YavBuffer& data) { m_data.refer(data.getData(), data.getLen()); }
    YavBuffer& get() { return m_data; }
    const YavBuffer& get() const { return m_data; }

  private:
    YavBuffer m_data;
};

#endif  // YAV_MSG_CORE_YAVPROXYIFMSGBUFFER_H
