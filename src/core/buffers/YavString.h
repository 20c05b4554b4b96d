// The string types of libyav: owned strings (YavStringT) and references
// (YavStringRefT) for each unit type and encoding.  The three char types are
// distinct: text passes between UTF-8, the local code page and the network
// code page only through an explicit conversion.
#ifndef YAV_CORE_BUFFERS_YAVSTRING_H
#define YAV_CORE_BUFFERS_YAVSTRING_H

#include "core/buffers/YavStringEnc.h"
#include "core/buffers/YavStringRefT.h"
#include "core/buffers/YavStringT.h"

// Internal text, UTF-8.
typedef YavStringT<char, YavUTF8Enc> YavString;
typedef YavStringRefT<char, YavUTF8Enc> YavStringRef;
// Text in the local code page.
typedef YavStringT<char, YavLCPEnc> YavLCPString;
typedef YavStringRefT<char, YavLCPEnc> YavLCPStringRef;
// Bytes as they travel in HTTP messages.
typedef YavStringT<char, YavNCPEnc> YavNCPString;
typedef YavStringRefT<char, YavNCPEnc> YavNCPStringRef;
// UCS-2 units.
typedef YavStringT<unsigned short> YavWString;
typedef YavStringRefT<unsigned short> YavWStringRef;
// System wide characters (32-bit wchar_t).
typedef YavStringT<wchar_t> YavSysWString;
typedef YavStringRefT<wchar_t> YavSysWStringRef;
// Binary data.
typedef YavStringT<unsigned char> YavBinString;
typedef YavStringRefT<unsigned char> YavBinStringRef;

#endif  // YAV_CORE_BUFFERS_YAVSTRING_H
