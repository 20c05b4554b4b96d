// Percent-encoding of bytes for URIs, form arguments and queries.
//
// Free functions without state; any thread may call them.  The output string
// belongs to the caller and is appended to; the source is only read.
#ifndef YAV_CORE_HTTP_YAV_URI_ENCODE_H
#define YAV_CORE_HTTP_YAV_URI_ENCODE_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

// Which bytes pass unchanged.  In every type the letters, digits and
// '*' '-' '.' '_' pass; every byte that does not pass becomes %XX
// (upper-case hexadecimal).
enum uri_encoding_type {
    // Also the other printable ASCII bytes except the unsafe
    // < > # % " { } | \ ^ [ ] `
    yav_uri_encoding_uri = 0,
    // Nothing else; a space becomes '+'.
    yav_uri_encoding_form_arg = 1,
    // Nothing else.
    yav_uri_encoding_query = 2,
    // Also every printable ASCII byte (0x21-0x7E) except '%'.
    yav_uri_encoding_ascii = 3,
};

// Appends length bytes of source (up to its terminating NUL when length is
// negative), encoded as type says, to out.  False when out or source is null,
// the type is unknown, or memory ran out; what was appended before the
// failure stays in out.
YAV_EXPORT bool yav_uri_encode_type(YavString* out, const char* source, int length,
                                    uri_encoding_type type);

YAV_EXPORT bool yav_uri_encode(YavString* out, const char* source, int length);
YAV_EXPORT bool yav_uri_encode_form_arg(YavString* out, const char* source, int length);
YAV_EXPORT bool yav_uri_encode_query(YavString* out, const char* source, int length);
YAV_EXPORT bool yav_uri_encode_ascii(YavString* out, const char* source, int length);

#endif  // YAV_CORE_HTTP_YAV_URI_ENCODE_H
