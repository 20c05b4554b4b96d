// Base64 encoding and decoding with the standard alphabet ('+' '/') and the
// URI-safe one ('+' '-'), '=' padding in both.
//
// Stateless free functions over caller-owned buffers; any thread may call
// them.  They report nothing: the encoder leaves an output that is too small
// untouched, the decoder skips whatever is not a symbol.
#ifndef YAV_CORE_ENCODERS_YAV_BASE64_H
#define YAV_CORE_ENCODERS_YAV_BASE64_H

#include <stddef.h>

#include "core/encoders/yav_base64_alphabet.h"
#include "core/sundry/yav_base.h"

// Bytes the encoder needs for n input bytes: 4 per started group of three and
// the terminator.
inline size_t yav_base64_encoded_size(size_t n) { return (n + 2) / 3 * 4 + 1; }

// Bytes the decoder may write for n input characters.
inline size_t yav_base64_decoded_max(size_t n) { return (n + 3) / 4 * 3; }

// Writes the 4 symbols for take (1 to 3) bytes at src to out, padding with
// '=' when take is short.
// REQUIRES: 1 <= take <= 3; out has room for 4 characters.
YAV_EXPORT void yav_base64_encode_group(const YavBase64Alphabet& alphabet, const unsigned char* src,
                                        int take, char* out);

// Encodes n bytes at in into out as NUL-terminated text.  When capacity is
// below yav_base64_encoded_size(n), nothing is written.
// REQUIRES: in != nullptr || n == 0.
YAV_EXPORT void yav_base64_std_encode(const unsigned char* in, size_t n, char* out,
                                      size_t capacity);
YAV_EXPORT void yav_base64_uri_encode(const unsigned char* in, size_t n, char* out,
                                      size_t capacity);

// Decodes n characters at in into out and stores the number of bytes written
// in *decodedLength.  Characters that are not symbols of the alphabet (white
// space, bytes of 0x80 and above, symbols of the other alphabet) are skipped;
// '=' ends the input, and so does a group of fewer than four symbols (one
// symbol alone gives no byte).
// REQUIRES: out has room for yav_base64_decoded_max(n) bytes;
//           in != nullptr || n == 0.
YAV_EXPORT void yav_base64_std_decode(const char* in, size_t n, unsigned char* out,
                                      size_t* decodedLength);
YAV_EXPORT void yav_base64_uri_decode(const char* in, size_t n, unsigned char* out,
                                      size_t* decodedLength);

#endif  // YAV_CORE_ENCODERS_YAV_BASE64_H
