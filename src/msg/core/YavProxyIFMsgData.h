// YavProxyIFMsgData: the abstract base of the primitive values that messages
// exchanged with the authorization server are made of (integers, byte
// buffers, strings, string lists, name/value and name/integer pairs).
//
// Wire form.  Every encoded value starts at a 4-aligned address and takes a
// multiple of 4 bytes; a value of variable length is followed by 0 to 3
// padding bytes, which are never written.  Integers and lengths are 32 bits
// in the host's byte order (both ends map the same memory on one host).
//
// Memory.  marshal writes into the caller's buffer.  unmarshal does not copy:
// strings and byte buffers read by it refer to the caller's bytes (normally
// a worker buffer in shared memory) and are valid only while those bytes are.
//
// Threads: a primitive belongs to the one thread that owns its message.
// Not copyable.
#ifndef YAV_MSG_CORE_YAVPROXYIFMSGDATA_H
#define YAV_MSG_CORE_YAVPROXYIFMSGDATA_H

#include <cstdint>
#include <cstring>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

// An assertion whose message is the given text rather than the expression;
// the texts of the marshal checks name the historical form of the check.
#define YAV_MSG_ASSERT(expr, text) \
    ((expr) ? static_cast<void>(0) : yav_assert_fail(__FILE__, __LINE__, text))

class YAV_EXPORT YavProxyIFMsgData {
  public:
    YavProxyIFMsgData() = default;
    virtual ~YavProxyIFMsgData() = default;
    YAV_DISALLOW_COPY(YavProxyIFMsgData);

    // With size 0 (buffer may be anything, even null) nothing is touched and
    // the encoded size is returned.  Otherwise writes the value at buffer and
    // returns the number of bytes written, which is the encoded size.
    // Returns -1 only when the value is too large to be encoded (an encoded
    // size above INT_MAX).
    // REQUIRES: size == 0, or buffer is 4-aligned and size >= the encoded
    // size (checked by assertion: callers size the element with
    // marshal(0, 0) first).
    virtual int marshal(unsigned char* buffer, int size) const = 0;

    // Reads one value at buffer; returns the bytes consumed (the encoded
    // size, padding included), or -1 when the value does not fit in size
    // (a length running past the end, a pair without its second half, a
    // negative size) or, for the string list only, when room for its
    // entries cannot be allocated.  Never reads past buffer + size.  On -1
    // the object keeps its previous value (the string list is left empty).
    virtual int unmarshal(const unsigned char* buffer, int size) = 0;

    // Replaces *out with a one-line trace form of the value.  0, or
    // YAV_S_NO_MEMORY when out cannot grow.
    virtual yav_status_t createString(YavString* out) const = 0;

    // Padding after n bytes: (4 - n mod 4) mod 4.
    static uint32_t pad(uint32_t n) { return (4u - (n & 3u)) & 3u; }

  protected:
    // Native 32-bit loads and stores that do not depend on the alignment of
    // bytes that came from a peer.
    static uint32_t readU32(const unsigned char* p) {
        uint32_t v;
        memcpy(&v, p, sizeof v);
        return v;
    }
    static void writeU32(unsigned char* p, uint32_t v) { memcpy(p, &v, sizeof v); }

    // Checks the two marshal preconditions for an encoded size of length.
    static void checkBuffer(const unsigned char* buffer, int length, int size) {
        YAV_MSG_ASSERT(reinterpret_cast<uintptr_t>(buffer) % sizeof(int) == 0,
                       "((unsigned int)buffer) % sizeof(int) == 0");
        YAV_MSG_ASSERT(length <= size, "length <= size");
    }
};

#endif  // YAV_MSG_CORE_YAVPROXYIFMSGDATA_H
