// Comparators: stateless objects that order two runs of text units, and the
// process-wide instance of each.
//
// A comparator looks at exactly n units of each side and never beyond, even
// when the text is not terminated.  The plain char and wide comparators follow
// strncmp/wcsncmp and therefore stop early at a zero unit that both sides
// share; the binary comparator compares all n bytes.
//
// Every instance is constant-initialised (constexpr constructor, no state),
// so it can be used from other static initialisers of the library.  The
// objects are immutable: any thread may call them.  Not copyable.
#ifndef YAV_CORE_HASH_YAVCOMPARATORS_H
#define YAV_CORE_HASH_YAVCOMPARATORS_H

#include <cstddef>

#include "core/sundry/yav_base.h"

template <class CharT>
class YAV_EXPORT YavComparatorT {
  public:
    constexpr YavComparatorT() = default;
    YAV_DISALLOW_COPY(YavComparatorT);

    // Orders the first n units of a and b: negative, 0 or positive.
    // REQUIRES: a and b each point at n readable units (any when n is 0).
    virtual int compare(const CharT* a, const CharT* b, size_t n) const = 0;

  protected:
    // Instances are never deleted through this interface.
    ~YavComparatorT() = default;
};

// Byte text, case-sensitive (strncmp).  The default for char strings.
class YAV_EXPORT YavStringComparator final : public YavComparatorT<char> {
  public:
    constexpr YavStringComparator() = default;
    int compare(const char* a, const char* b, size_t n) const override;
    static const YavStringComparator& instance();
};

// UTF-8 text, case-insensitive by the rules of the current locale.
class YAV_EXPORT YavICaseStringComparator final : public YavComparatorT<char> {
  public:
    constexpr YavICaseStringComparator() = default;
    int compare(const char* a, const char* b, size_t n) const override;
    static const YavICaseStringComparator& instance();
};

// Text in the local code page, case-insensitive by the current locale.
class YAV_EXPORT YavLCPICaseStringComparator final : public YavComparatorT<char> {
  public:
    constexpr YavLCPICaseStringComparator() = default;
    int compare(const char* a, const char* b, size_t n) const override;
    static const YavLCPICaseStringComparator& instance();
};

// UCS-2 units, case-sensitive.  The default for unsigned short strings.
class YAV_EXPORT YavWStringComparator final : public YavComparatorT<unsigned short> {
  public:
    constexpr YavWStringComparator() = default;
    int compare(const unsigned short* a, const unsigned short* b, size_t n) const override;
    static const YavWStringComparator& instance();
};

// UCS-2 units, case-insensitive by the current locale.
class YAV_EXPORT YavWICaseStringComparator final : public YavComparatorT<unsigned short> {
  public:
    constexpr YavWICaseStringComparator() = default;
    int compare(const unsigned short* a, const unsigned short* b, size_t n) const override;
    static const YavWICaseStringComparator& instance();
};

// System wide characters (wcsncmp).  The default for wchar_t strings.
class YAV_EXPORT YavSysWStringComparator final : public YavComparatorT<wchar_t> {
  public:
    constexpr YavSysWStringComparator() = default;
    int compare(const wchar_t* a, const wchar_t* b, size_t n) const override;
    static const YavSysWStringComparator& instance();
};

// Bytes (memcmp over all n bytes).  The default for unsigned char strings.
class YAV_EXPORT YavBinaryComparator final : public YavComparatorT<unsigned char> {
  public:
    constexpr YavBinaryComparator() = default;
    int compare(const unsigned char* a, const unsigned char* b, size_t n) const override;
    static const YavBinaryComparator& instance();
};

// The process-wide instances, by the names the rest of the library uses.
YAV_EXPORT extern const YavStringComparator yav_strcmp;
YAV_EXPORT extern const YavICaseStringComparator yav_icase_strcmp;
YAV_EXPORT extern const YavLCPICaseStringComparator yav_lcp_icase_strcmp;
YAV_EXPORT extern const YavWStringComparator yav_wcscmp;
YAV_EXPORT extern const YavWICaseStringComparator yav_icase_wcscmp;
YAV_EXPORT extern const YavSysWStringComparator yav_sys_wcscmp;
YAV_EXPORT extern const YavBinaryComparator yav_memcmp;

// The comparator a string of unit type CharT starts with.
template <class CharT>
const YavComparatorT<CharT>* yav_default_comparator();
template <>
inline const YavComparatorT<char>* yav_default_comparator<char>() {
    return &yav_strcmp;
}
template <>
inline const YavComparatorT<unsigned short>* yav_default_comparator<unsigned short>() {
    return &yav_wcscmp;
}
template <>
inline const YavComparatorT<wchar_t>* yav_default_comparator<wchar_t>() {
    return &yav_sys_wcscmp;
}
template <>
inline const YavComparatorT<unsigned char>* yav_default_comparator<unsigned char>() {
    return &yav_memcmp;
}

#endif  // YAV_CORE_HASH_YAVCOMPARATORS_H
