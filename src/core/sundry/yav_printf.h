// libyav's own printf engine.
//
// Output is the same on every platform, positional arguments ("%2$s") work
// everywhere, and wide-character arguments (%S, %C) are converted into the
// code set of the output without splitting multi-byte characters.  Every
// function returns the number of bytes the complete output needs (without
// the terminator), whether or not it fit, or -1 on a malformed format, an
// unconvertible wide character, an output longer than INT_MAX, or when
// working memory cannot be had.  Output beyond size - 1 bytes is counted but
// not written; the buffer is terminated at the end of what was written
// (nothing is written when size is 0 or buffer is null).  After -1 the
// buffer holds an empty text; a malformed format writes nothing else.  A
// null code set means the code-set layer's default code set.
//
// Formats (grammar and argument numbering in detail: yav_printf_spec.h):
//   %[N$][flags][width][.precision][h|hh|l|ll|z]conversion
//   flags ' ' '#' '\'' '+' '-' '0'; width and precision as digits, '*' or
//   '*N$'; conversions % c C d i o u x X e E f g G p s S ("lc" = C, "ls" = S).
// - A format uses either positions or none: mixing them is malformed, and
//   so is an argument number that no specification names.
// - Integers as in C; the grouping flag is accepted and has no effect.
// - Floating values: the C library's digits (radix character of the
//   LC_NUMERIC locale), the grouping flag has no effect.
// - %p: "0x" and lower-case hex digits, with flags, width and precision as
//   for an integer; a null pointer is "(nil)".
// - %s: the precision limits the bytes written without cutting a character
//   of the code set (a byte that is no character counts as one); a null
//   pointer (also for %S) is "(null)".
// - %S, %C: each wide character converted with ulq_wctomb; the precision of
//   %S limits the bytes in whole characters; a character that the code set
//   cannot hold makes the call fail.
// - The width counts bytes; strings and characters are padded with blanks.
// - %% writes '%' (flags, width and precision are ignored).
//
// Stateless; any thread may call these functions.
#ifndef YAV_CORE_SUNDRY_YAV_PRINTF_H
#define YAV_CORE_SUNDRY_YAV_PRINTF_H

#include <cstdarg>
#include <cstddef>

#include "core/sundry/yav_base.h"
#include "core/ulq/ulq.h"

YAV_EXPORT int yav_vsnprintf_cs(char* buffer, size_t size, ulq_cs_t codeSet, const char* format,
                                va_list args);
YAV_EXPORT int yav_vsnprintf(char* buffer, size_t size, const char* format, va_list args);
YAV_EXPORT int yav_vsnprintf_lcp(char* buffer, size_t size, const char* format, va_list args);
YAV_EXPORT int yav_vsnprintf_utf8(char* buffer, size_t size, const char* format, va_list args);

YAV_EXPORT int yav_snprintf_cs(char* buffer, size_t size, ulq_cs_t codeSet, const char* format,
                               ...);
YAV_EXPORT int yav_snprintf(char* buffer, size_t size, const char* format, ...);
YAV_EXPORT int yav_snprintf_lcp(char* buffer, size_t size, const char* format, ...);
YAV_EXPORT int yav_snprintf_utf8(char* buffer, size_t size, const char* format, ...);

// Measure, allocate exactly the needed size plus one, format.  *result is
// null on failure (-1).  Release the result with yav_asprintf_free.
YAV_EXPORT int yav_vasprintf_cs(char** result, ulq_cs_t codeSet, const char* format, va_list args);
YAV_EXPORT int yav_vasprintf(char** result, const char* format, va_list args);
YAV_EXPORT int yav_vasprintf_lcp(char** result, const char* format, va_list args);
YAV_EXPORT int yav_vasprintf_utf8(char** result, const char* format, va_list args);
YAV_EXPORT int yav_asprintf_cs(char** result, ulq_cs_t codeSet, const char* format, ...);
YAV_EXPORT int yav_asprintf(char** result, const char* format, ...);
YAV_EXPORT int yav_asprintf_lcp(char** result, const char* format, ...);
YAV_EXPORT int yav_asprintf_utf8(char** result, const char* format, ...);
YAV_EXPORT void yav_asprintf_free(char* result);

#endif  // YAV_CORE_SUNDRY_YAV_PRINTF_H
