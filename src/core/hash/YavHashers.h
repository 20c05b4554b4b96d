// Hashers: stateless objects that hash a run of n text units to 32 bits, and
// the process-wide instance of each.
//
// The plain hashers use h = 5381, then h = h * 33 XOR u for every unit u in
// 32-bit unsigned arithmetic.  For char units u is the unit's signed value
// widened to 32 bits (bytes 0x80..0xFF contribute 0xFFFFFF80..0xFFFFFFFF);
// YavBinaryHasher uses the unsigned byte.  The case-insensitive hashers agree
// with the case-insensitive comparators: text that compares equal hashes
// alike.  A hasher reads exactly n units, never beyond.
//
// Every instance is constant-initialised (constexpr constructor, no state),
// so it can be used from other static initialisers of the library.  The
// objects are immutable: any thread may call them.  Not copyable.
#ifndef YAV_CORE_HASH_YAVHASHERS_H
#define YAV_CORE_HASH_YAVHASHERS_H

#include <cstddef>
#include <cstdint>

#include "core/sundry/yav_base.h"

template <class CharT>
class YAV_EXPORT YavHasherT {
  public:
    constexpr YavHasherT() = default;
    YAV_DISALLOW_COPY(YavHasherT);

    // REQUIRES: s points at n readable units (any when n is 0).
    virtual uint32_t hash(const CharT* s, size_t n) const = 0;

  protected:
    // Instances are never deleted through this interface.
    ~YavHasherT() = default;
};

// Byte text, case-sensitive.  The default for char strings.
class YAV_EXPORT YavStringHasher final : public YavHasherT<char> {
  public:
    constexpr YavStringHasher() = default;
    uint32_t hash(const char* s, size_t n) const override;
    static const YavStringHasher& instance();
};

// UTF-8 text, case-insensitive.  Bytes below 0x80 are lowered as ASCII; a
// byte of 0x80 or above starts a character that is decoded, lowered with the
// current locale's towlower and contributes its low 16 bits.  Hashing stops
// at the first sequence that does not decode (an incomplete character at
// the end of the n bytes included).
class YAV_EXPORT YavICaseStringHasher final : public YavHasherT<char> {
  public:
    constexpr YavICaseStringHasher() = default;
    uint32_t hash(const char* s, size_t n) const override;
    static const YavICaseStringHasher& instance();
};

// The same rule for text in the local code page.
class YAV_EXPORT YavLCPICaseStringHasher final : public YavHasherT<char> {
  public:
    constexpr YavLCPICaseStringHasher() = default;
    uint32_t hash(const char* s, size_t n) const override;
    static const YavLCPICaseStringHasher& instance();
};

// UCS-2 units.  The default for unsigned short strings.
class YAV_EXPORT YavWStringHasher final : public YavHasherT<unsigned short> {
  public:
    constexpr YavWStringHasher() = default;
    uint32_t hash(const unsigned short* s, size_t n) const override;
    static const YavWStringHasher& instance();
};

// System wide characters.  The default for wchar_t strings.
class YAV_EXPORT YavSysWStringHasher final : public YavHasherT<wchar_t> {
  public:
    constexpr YavSysWStringHasher() = default;
    uint32_t hash(const wchar_t* s, size_t n) const override;
    static const YavSysWStringHasher& instance();
};

// Unsigned bytes.  The default for unsigned char strings and YavBuffer.
class YAV_EXPORT YavBinaryHasher final : public YavHasherT<unsigned char> {
  public:
    constexpr YavBinaryHasher() = default;
    uint32_t hash(const unsigned char* s, size_t n) const override;
    static const YavBinaryHasher& instance();
};

// The process-wide instances, by the names the rest of the library uses.
YAV_EXPORT extern const YavStringHasher yav_string_hasher;
YAV_EXPORT extern const YavICaseStringHasher yav_icase_string_hasher;
YAV_EXPORT extern const YavLCPICaseStringHasher yav_lcp_icase_string_hasher;
YAV_EXPORT extern const YavWStringHasher yav_wstring_hasher;
YAV_EXPORT extern const YavSysWStringHasher yav_sys_wstring_hasher;
YAV_EXPORT extern const YavBinaryHasher yav_binary_hasher;

// The hasher a string of unit type CharT starts with.
template <class CharT>
const YavHasherT<CharT>* yav_default_hasher();
template <>
inline const YavHasherT<char>* yav_default_hasher<char>() {
    return &yav_string_hasher;
}
template <>
inline const YavHasherT<unsigned short>* yav_default_hasher<unsigned short>() {
    return &yav_wstring_hasher;
}
template <>
inline const YavHasherT<wchar_t>* yav_default_hasher<wchar_t>() {
    return &yav_sys_wstring_hasher;
}
template <>
inline const YavHasherT<unsigned char>* yav_default_hasher<unsigned char>() {
    return &yav_binary_hasher;
}

#endif  // YAV_CORE_HASH_YAVHASHERS_H
