// Status codes as messages: decoding a code and finding its text.
//
// A status code is 32 bits: technology in bits 28-31 (1 "dce", 2 "dfs",
// 3 "kr", others "???"), a three-character component in base 40 in bits
// 12-27, the message number in bits 0-11.  A text is looked up in the
// message catalog of the code's component in the current locale first, in
// the compiled-in default table next; an unknown code gives
// "Unknown message number 0x%8.8lx".
//
// Catalogs: "<technology><component>.cat" (technologies 4 and 5:
// "dce<code >> 14 in six hex digits>.cat"), message set 1, found along
// NLSPATH and then the system's locale directories, opened with catopen
// once their file has been checked; each is opened once per (component,
// LC_MESSAGES locale) and stays open.  A catalog's texts are in the code
// set of its locale (the local code page); the default tables are UTF-8.
// Environment, read by the look-up: SVC_NOXPGCAT (an integer, read once;
// non-zero turns catalogs off), KRSVC_DEBUG_MSG (when set, every catalog
// open writes NLSPATH, ULQDIR and the open's status to standard error).
//
// Any thread may call these functions; look-ups are serialized by one
// mutex.
#ifndef YAV_CORE_MSG_KR_MSG_H
#define YAV_CORE_MSG_KR_MSG_H

#include <cstddef>

#include "core/sundry/yav_base.h"

struct kr_status_parts {
    char technology[4];  // "dce", "dfs", "kr" or "???"
    char component[4];   // three characters of the base-40 alphabet, or "???"
                         // for the values 64000-65535 the alphabet cannot write
    unsigned number;     // bits 0-11
};

// Splits a status code into its parts.
YAV_EXPORT void kr_status_decode(uint32_t code, kr_status_parts* parts);

// A newly allocated (malloc) copy of the text of code, in the local code
// page / in UTF-8; release it with free().  A table character the local
// code page cannot show becomes '?'; a catalog text that cannot be
// converted to UTF-8 gives way to the table text.  *status (may be null) is 0, or
// YAV_SVC_S_MSG_COPY when memory ran out (then the result is null).
YAV_EXPORT char* kr_msg_get_msg(uint32_t code, uint32_t* status);
YAV_EXPORT char* kr_msg_get_msg_utf8(uint32_t code, uint32_t* status);

// Copies the text of code, in the local code page, into buffer (at most
// size bytes with the terminator, never splitting a character).  *status
// is 0, or YAV_SVC_S_MSG_COPY for a null buffer, a size of 0 or no memory
// (then buffer, when it has room, holds "").
YAV_EXPORT void kr_error_inq_text(uint32_t code, char* buffer, size_t size, uint32_t* status);

#endif  // YAV_CORE_MSG_KR_MSG_H
