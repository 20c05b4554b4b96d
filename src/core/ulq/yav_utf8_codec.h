// Strict UTF-8 coding of single characters, shared by the code-set layer
// and the string converters.
//
// Decoding accepts only the shortest form of a scalar value: overlong forms,
// encoded surrogates (U+D800..U+DFFF) and values above U+10FFFF are invalid.
// Stateless free functions; any thread may call them.
#ifndef YAV_CORE_ULQ_YAV_UTF8_CODEC_H
#define YAV_CORE_ULQ_YAV_UTF8_CODEC_H

#include <cstddef>
#include <cstdint>

// Most bytes one character takes in UTF-8.
constexpr int YAV_UTF8_MAX = 4;
// Results of yav_utf8_decode besides a length.
constexpr int YAV_UTF8_INVALID = -1;
constexpr int YAV_UTF8_INCOMPLETE = -2;

// Decodes the character at s, reading at most n bytes.  Returns its length
// (1-4) and stores the value in *wc; YAV_UTF8_INVALID when the bytes can
// never start a valid character; YAV_UTF8_INCOMPLETE when the n bytes are
// a valid but unfinished start (also for n == 0).  A zero byte decodes as
// U+0000 of length 1.
// REQUIRES: s points at n readable bytes; wc is not null.
int yav_utf8_decode(const char* s, size_t n, uint32_t* wc);

// Encodes wc into out (room for YAV_UTF8_MAX bytes) and returns the length,
// or -1 for a surrogate or a value above U+10FFFF.
int yav_utf8_encode(uint32_t wc, char* out);

// Length of wc in UTF-8, or -1 as yav_utf8_encode.
int yav_utf8_length(uint32_t wc);

#endif  // YAV_CORE_ULQ_YAV_UTF8_CODEC_H
