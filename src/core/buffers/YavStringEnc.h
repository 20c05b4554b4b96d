// Encoding tags of the string templates.  A tag only makes string types of
// different encodings distinct, so that text never passes from one encoding
// to another without an explicit conversion; it holds no data.
#ifndef YAV_CORE_BUFFERS_YAVSTRINGENC_H
#define YAV_CORE_BUFFERS_YAVSTRINGENC_H

// Internal text, UTF-8.
struct YavUTF8Enc {};
// Text in the local code page of the process (that of the current locale).
struct YavLCPEnc {};
// Text in the network code page: bytes exactly as they travel in HTTP.
struct YavNCPEnc {};
// Units of no stated encoding: UCS-2, system wide characters, binary data,
// or char text whose encoding the holder does not state.
struct YavRawEnc {};

// The largest length in units that a string or reference can hold (the
// length is a signed 32-bit value and the terminator needs one unit more).
const int YAV_STRING_MAX_LENGTH = 0x7ffffffe;

#endif  // YAV_CORE_BUFFERS_YAVSTRINGENC_H
