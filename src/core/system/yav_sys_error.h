// System errors: the mapping of errno values to status codes, and the
// system's error texts in UTF-8 and in the local code page.
//
// The texts live in per-thread buffers owned by this module: a returned
// pointer stays valid until the calling thread calls either text function
// again, until the thread exits, or until yav_shutdown.  Every function
// may be called from any thread.
#ifndef YAV_CORE_SYSTEM_YAV_SYS_ERROR_H
#define YAV_CORE_SYSTEM_YAV_SYS_ERROR_H

#include <cstddef>

#include "core/sundry/yav_base.h"
#include "core/ulq/ulq.h"

// Size of each per-thread text buffer; a text holds at most one byte less.
constexpr size_t YAV_SYS_ERROR_TEXT_SIZE = 1000;

// The status for an errno value:
//   0                -> 0
//   ENOENT           -> YAV_S_NO_SUCH_RESOURCE
//   ENOMEM, ENOSPC   -> YAV_S_NO_MEMORY
//   EACCES           -> YAV_S_ACCESS_DENIED
//   ENOTDIR, EINVAL  -> YAV_S_INVALID_SYS_INPUT
//   anything else    -> YAV_S_SYS_ROUTINE_FAILED, after logging an error
//                       YAV_S_SYS_ROUTINE_ERROR naming `routine` with the
//                       error text and number (YAV_S_SYS_ROUTINE_ERROR_CODE
//                       when the system has no text for the number).
// routine names the system routine that failed; null is logged as "unknown".
YAV_EXPORT yav_status_t yav_sys_status(int err, const char* routine = nullptr);

// The system's text for err converted from the local code page to UTF-8
// (at most YAV_SYS_ERROR_TEXT_SIZE - 1 bytes, never a split character).
// When no per-thread buffer can be had, the unconverted text.  Never null.
YAV_EXPORT const char* yav_sys_error_utf8_string(int err);

// The system's text for err in the local code page.  Never null.
YAV_EXPORT const char* yav_sys_error_lcp_string(int err);

// Frees the per-thread buffers of every thread.  Called by yav_shutdown.
// REQUIRES: no other thread uses the texts or calls this module meanwhile.
void yav_sys_error_release_buffers();

// True when the calling thread holds a text buffer (for tests).
bool yav_sys_error_has_buffer();

// Converts len bytes of cs-coded text to UTF-8 in dst,
// keeping as many whole characters as fit in dstSize - 1 bytes and
// stopping before a character that cannot be converted; dst is always
// terminated.  Returns the length written.
// REQUIRES: dst is not null and dstSize > 0.
size_t yav_sys_to_utf8_prefix(ulq_cs_t cs, const char* src, size_t len, char* dst, size_t dstSize);

#endif  // YAV_CORE_SYSTEM_YAV_SYS_ERROR_H
