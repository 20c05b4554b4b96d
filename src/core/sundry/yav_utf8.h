// Validation of UTF-8 text.  A stateless free function; any thread may call
// it on any buffer.
#ifndef YAV_CORE_SUNDRY_YAV_UTF8_H
#define YAV_CORE_SUNDRY_YAV_UTF8_H

#include <cstddef>

#include "core/sundry/yav_base.h"

// True when the len bytes at data are well-formed UTF-8: every character in
// its shortest form, no encoded surrogate (U+D800..U+DFFF), nothing above
// U+10FFFF, no stray continuation byte and no sequence cut short by the end
// of the buffer.  Zero bytes are characters like any other.  An empty
// buffer is well-formed.
// REQUIRES: data points at len readable bytes (data may be null when len is 0).
YAV_EXPORT bool yav_validate_utf8_buffer(const char* data, size_t len);

#endif  // YAV_CORE_SUNDRY_YAV_UTF8_H
