// YavEpochVersion: the version of the unprotected-resource cache database,
// 20 bytes: a 16-byte epoch identifier chosen by the authorization server and
// a signed 32-bit counter within the epoch (host byte order; both processes
// run on one host).  The value is copied and compared as raw bytes.
//
// The plug-in never starts an epoch itself: newEpoch() exists only so that a
// caller that tries is stopped at once.
//
// Memory: a plain value, no pointers.  Copyable.  Threads: not locked; a
// version shared between threads is guarded by whoever holds it (the cache's
// lock for the cache's version).
#ifndef YAV_URC_PLUGIN_YAVEPOCHVERSION_H
#define YAV_URC_PLUGIN_YAVEPOCHVERSION_H

#include <cstdint>
#include <cstring>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavEpochVersion {
  public:
    // Width of the whole value and of the epoch identifier.
    static constexpr int kSize = 20;
    static constexpr int kEpochSize = 16;

    // All 20 bytes zero.
    YavEpochVersion() { memset(m_bytes, 0, sizeof m_bytes); }

    // Copies 20 bytes in.  REQUIRES: bytes is not null (asserted).
    void set(const unsigned char* bytes);
    // Copies the 20 bytes out.  REQUIRES: bytes holds 20 bytes (not null,
    // asserted).
    void get(unsigned char* bytes) const;
    // Replaces text with
    // "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x:%08d" over the 32-bit
    // field at 0, the 16-bit fields at 4 and 6, the bytes 8 to 15 and the
    // counter.  0, or YAV_S_NO_MEMORY when text cannot hold it.
    yav_status_t get(YavString& text) const;

    // The raw bytes.
    const unsigned char* bytes() const { return m_bytes; }
    // The counter at offset 16.
    int32_t getCounter() const;

    // Same counter and same 16 identifier bytes.
    bool equals(const YavEpochVersion& other) const;
    bool operator==(const YavEpochVersion& other) const { return equals(other); }
    bool operator!=(const YavEpochVersion& other) const { return !equals(other); }

    // Not available in the plug-in: stops the process (yav_assert_fail).
    void newEpoch();

  private:
    unsigned char m_bytes[kSize];
};

#endif  // YAV_URC_PLUGIN_YAVEPOCHVERSION_H
