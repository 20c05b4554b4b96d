// libyav's own printf engine.
//
// Output is the same on every platform, positional arguments ("%2$s") work
// everywhere, and wide-character arguments (%S, %C) are converted into the
// code set of the output without splitting multi-byte characters.  Every
// function returns the number of bytes the complete output needs (without
// the terminator), whether or not it fit, or -1 on a malformed format, an
// unconvertible wide character, or when working memory cannot be had.
// Output beyond size - 1 bytes is counted but not written; the buffer is
// terminated at the end of what was written (nothing is written when size
// is 0).  A null code set means the code-set layer's default code set.
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
