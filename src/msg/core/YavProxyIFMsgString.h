// YavProxyIFMsgString: UTF-8 text as a message value.  Encoded as
// L = characters + 1 (u32), the characters, one zero byte and padding to a
// multiple of 4: "abc" takes 8 bytes, the empty string 8, "abcd" 12.
//
// A received value is taken as it is: when its last counted byte is zero the
// text is the L - 1 bytes before it and is known to be terminated; otherwise
// the text is all L bytes and is flagged as not terminated (the reference
// makes a terminated copy only when a user asks for one).  A length of 0 is
// the empty string.
//
// Memory: the object refers to text it does not own: the text given to
// set() or, after unmarshal, the caller's bytes.  Not copyable; one thread
// at a time.
#ifndef YAV_MSG_CORE_YAVPROXYIFMSGSTRING_H
#define YAV_MSG_CORE_YAVPROXYIFMSGSTRING_H

#include <cstdint>

#include "msg/core/YavProxyIFMsgData.h"

class YAV_EXPORT YavProxyIFMsgString : public YavProxyIFMsgData {
  public:
    YavProxyIFMsgString() = default;

    int marshal(unsigned char* buffer, int size) const override;
    int unmarshal(const unsigned char* buffer, int size) override;
    // The text URI-encoded to ASCII.
    yav_status_t createString(YavString* out) const override;

    // Refers to the text of value (no copy).
    void set(const YavStringRef& value) { m_data = value; }
    YavStringRef& get() { return m_data; }
    const YavStringRef& get() const { return m_data; }

    // The encoding of one string, shared with the string list.
    // Encoded size of text (its length is measured when not yet known);
    // above INT_MAX for text too long to encode.
    static int64_t encodedSize(const YavStringRef& text);
    // Writes text at buffer.  REQUIRES: encodedSize(text) bytes at buffer.
    static void write(unsigned char* buffer, const YavStringRef& text);
    // Reads one string into *text; the bytes consumed or -1 (see
    // YavProxyIFMsgData::unmarshal).  *text is unchanged on -1.
    static int read(const unsigned char* buffer, int size, YavStringRef* text);

    // Appends the trace form of text to out; false when out cannot grow.
    static bool appendTrace(YavString* out, const YavStringRef& text);

  private:
    YavStringRef m_data;
};

#endif  // YAV_MSG_CORE_YAVPROXYIFMSGSTRING_H
