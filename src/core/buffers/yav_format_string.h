// Placeholder substitution in templates of UTF-8 or local-code-page text.
//
// The template is copied into out, replacing every two-character sequence
// '%' X: when the character X occurs in keys at character index i, by
// values[i]; otherwise by X alone (so "%%" gives "%").  A '%' at the very
// end of the template is copied unchanged.  X is a whole character of the
// code set (found in keys with ulq_strchr); a byte that does not start a
// valid character counts as a character of its own.  Keys are searched up
// to their first zero byte.
//
// Return true, or false when memory ran out (out then holds what was built
// so far).  REQUIRES: values has an entry for every character of keys;
// out is not the storage of the template, the keys or a value.
// Thread-safe for distinct outputs.
#ifndef YAV_CORE_BUFFERS_YAV_FORMAT_STRING_H
#define YAV_CORE_BUFFERS_YAV_FORMAT_STRING_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

YAV_EXPORT bool yav_format_string(const YavStringRef& tmpl, const YavStringRef& keys,
                                  const YavStringRef* values, YavString& out);
YAV_EXPORT bool yav_format_lcp_string(const YavLCPStringRef& tmpl, const YavLCPStringRef& keys,
                                      const YavLCPStringRef* values, YavLCPString& out);

#endif  // YAV_CORE_BUFFERS_YAV_FORMAT_STRING_H
