// Internals of the message look-up (kr_msg.cpp), visible to its tests; not
// exported from the library.
#ifndef YAV_CORE_MSG_KR_MSG_INTERNAL_H
#define YAV_CORE_MSG_KR_MSG_INTERNAL_H

#include <cstddef>

// Largest catalog file the look-up reads; larger files are refused.
constexpr size_t YAV_MSG_MAX_CATALOG_SIZE = 16 * 1024 * 1024;

// True when data (size bytes) is a message catalog in glibc's format whose
// tables and strings all lie inside data, so that catgets on it cannot read
// out of bounds or divide by zero.
bool yav_msg_catalog_is_valid(const unsigned char* data, size_t size);

// Expands one element of a catalog search path (NLSPATH syntax: %N the
// catalog name, %L the locale, %l its language, %t its territory, %c its
// code set, %% a percent sign) into out (size bytes, terminated).  False
// when the element holds another conversion or the result does not fit.
bool yav_msg_expand_path(const char* element, size_t length, const char* name, const char* locale,
                         char* out, size_t size);

// Closes every cached catalog and forgets the settings read from the
// environment (SVC_NOXPGCAT), so that the next look-up starts afresh.
// REQUIRES: no text returned by catgets is in use (look-ups copy theirs).
void yav_msg_reset_catalogs();

#endif  // YAV_CORE_MSG_KR_MSG_INTERNAL_H
