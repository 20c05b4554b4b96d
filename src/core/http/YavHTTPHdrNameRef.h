// YavHTTPHdrNameRef: a reference to an HTTP header name, with a hash that is
// blind to ASCII case and samples every fourth byte.
//
// The reference points at text that someone else owns (a constant, or a
// caller's header buffer) and must not outlive it; it never copies it.  The
// hash is computed when the reference is made or re-pointed, so a const
// object (the shared header-name constants) is never written afterwards and
// may be read by any number of threads.  compare() and equals() are blind to
// ASCII case as well, so that names that compare equal always hash alike
// (the rule header tables rely on); bytes from 0x80 up compare exactly.
// These members hide, not override, those of YavStringRef: code that holds
// the object as a YavStringRef gets the plain comparator and hasher.
//
// Copyable; a non-const reference belongs to one thread at a time.
#ifndef YAV_CORE_HTTP_YAVHTTPHDRNAMEREF_H
#define YAV_CORE_HTTP_YAVHTTPHDRNAMEREF_H

#include <cstdint>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

// The 256-entry ASCII lower-casing table, built at compile time so that it is
// ready before any static initialiser hashes a header-name constant.
struct YavHTTPLowerTable {
    unsigned char map[256];
    constexpr YavHTTPLowerTable() : map() {
        for (int i = 0; i < 256; ++i) {
            map[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i - 'A' + 'a' : i);
        }
    }
};

class YAV_EXPORT YavHTTPHdrNameRef : public YavStringRef {
  public:
    YavHTTPHdrNameRef() : YavStringRef() { rehash(); }
    explicit YavHTTPHdrNameRef(const YavStringRef& name, YavAllocator* allocator = nullptr);
    YavHTTPHdrNameRef(const char* name, int length, YavAllocator* allocator = nullptr);

    // Re-points the reference; the hash follows.  REQUIRES: as YavStringRef::set.
    void set(const char* s, int n = -1) {
        YavStringRef::set(s, n);
        rehash();
    }

    void setTerminated(const char* s, int n) {
        YavStringRef::setTerminated(s, n);
        rehash();
    }
    void clear() { set(nullptr, 0); }

    // h = 5381, then h = h * 33 XOR lower(byte) for bytes 0, 4, 8, ...
    uint32_t hash() const;

    // <0, 0 or >0, comparing bytes with 'A'-'Z' folded to 'a'-'z'.
    int compare(const YavStringRef& other) const;
    bool equals(const YavStringRef& other) const { return compare(other) == 0; }

    // The hash of n bytes at s, as hash() computes it.
    static uint32_t hashOf(const char* s, int n);

  private:
    void rehash();

    static constexpr YavHTTPLowerTable m_lower{};

    bool m_hashValid;
    uint32_t m_hash;
};

#endif  // YAV_CORE_HTTP_YAVHTTPHDRNAMEREF_H
