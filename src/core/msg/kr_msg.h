// Status codes as messages: decoding a code and finding its text.
//
// A status code is 32 bits: technology in bits 28-31 (1 "dce", 2 "dfs",
// 3 "kr", others "???"), a three-character component in base 40 in bits
// 12-27, the message number in bits 0-11.  A text is looked up in the
// message catalog of the code's component in the current locale first, in
// the compiled-in default table next; an unknown code gives
// "Unknown message number 0x%8.8lx".  Any thread may call these functions.
#ifndef YAV_CORE_MSG_KR_MSG_H
#define YAV_CORE_MSG_KR_MSG_H

#include <cstddef>

#include "core/sundry/yav_base.h"

struct kr_status_parts {
    char technology[4];  // "dce", "dfs", "kr" or "???"
    char component[4];   // three characters of the base-40 alphabet
    unsigned number;     // bits 0-11
};

// Splits a status code into its parts.
YAV_EXPORT void kr_status_decode(uint32_t code, kr_status_parts* parts);

// A newly allocated (malloc) copy of the text of code, in the local code
// page / in UTF-8; release it with free().  *status is 0, or the failure
// (then the result is null).
YAV_EXPORT char* kr_msg_get_msg(uint32_t code, uint32_t* status);
YAV_EXPORT char* kr_msg_get_msg_utf8(uint32_t code, uint32_t* status);

// Copies the text of code into buffer (at most size bytes, terminated,
// never splitting a character).
YAV_EXPORT void kr_error_inq_text(uint32_t code, char* buffer, size_t size, uint32_t* status);

#endif  // YAV_CORE_MSG_KR_MSG_H
