// Number parsing over strings and references of every unit type, with the
// rules of C strtol/strtoul, except that results are limited to 32 bits on
// every platform:
// - leading spaces and tabs are skipped, then one '+' or '-';
// - base 0 selects 16 after a "0x"/"0X" prefix, 8 after a leading '0',
//   else 10; base 16 also accepts the prefix.  A prefix not followed by a
//   hexadecimal digit is not one: "0x" parses as 0 and stops at the 'x';
// - digits are 0-9 and letters a-z/A-Z below the base;
// - a base outside 2..36 (other than 0) sets errno to EINVAL, yields 0 and
//   consumes nothing;
// - when no digit is found the result is 0 and nothing is consumed (the
//   end index is 0), as strtol leaves its end pointer at the start;
// - overflow sets errno to ERANGE and clamps, and the remaining digits are
//   still consumed.  yav_strtol clamps to [INT32_MIN, INT32_MAX];
//   yav_strtoul to 4294967295 (UINT32_MAX) and, like strtoul, negates a
//   value after '-' in unsigned arithmetic (here modulo 2^32).
// errno is left alone when nothing went wrong.  The text is never read
// beyond its length, and a zero unit ends the number like any non-digit.
// endIndex (may be null) receives the index of the first unit not parsed.
// Thread-safe (no state; errno is per thread).
#ifndef YAV_CORE_BUFFERS_YAV_STRTOL_H
#define YAV_CORE_BUFFERS_YAV_STRTOL_H

#include "core/buffers/YavStringRefT.h"
#include "core/buffers/YavStringT.h"
#include "core/sundry/yav_base.h"

// Over n units at s.  REQUIRES: n >= 0; s != nullptr || n == 0.
YAV_EXPORT long yav_strtol_n(const char* s, int n, int* endIndex, int base);
YAV_EXPORT long yav_strtol_n(const unsigned char* s, int n, int* endIndex, int base);
YAV_EXPORT long yav_strtol_n(const unsigned short* s, int n, int* endIndex, int base);
YAV_EXPORT long yav_strtol_n(const wchar_t* s, int n, int* endIndex, int base);
YAV_EXPORT unsigned long yav_strtoul_n(const char* s, int n, int* endIndex, int base);
YAV_EXPORT unsigned long yav_strtoul_n(const unsigned char* s, int n, int* endIndex, int base);
YAV_EXPORT unsigned long yav_strtoul_n(const unsigned short* s, int n, int* endIndex, int base);
YAV_EXPORT unsigned long yav_strtoul_n(const wchar_t* s, int n, int* endIndex, int base);

template <class CharT, class Enc>
long yav_strtol(const YavStringRefT<CharT, Enc>& text, int* endIndex, int base) {
    return yav_strtol_n(text.getData(), text.getLength(), endIndex, base);
}
template <class CharT, class Enc>
long yav_strtol(const YavStringT<CharT, Enc>& text, int* endIndex, int base) {
    return yav_strtol_n(text.getData(), text.getLength(), endIndex, base);
}
template <class CharT, class Enc>
unsigned long yav_strtoul(const YavStringRefT<CharT, Enc>& text, int* endIndex, int base) {
    return yav_strtoul_n(text.getData(), text.getLength(), endIndex, base);
}
template <class CharT, class Enc>
unsigned long yav_strtoul(const YavStringT<CharT, Enc>& text, int* endIndex, int base) {
    return yav_strtoul_n(text.getData(), text.getLength(), endIndex, base);
}

#endif  // YAV_CORE_BUFFERS_YAV_STRTOL_H
