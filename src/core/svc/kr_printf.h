// Printing the text of a message code, formatted with arguments, for
// programs that talk to a user rather than to a log.
//
// kr_printf writes to standard output, kr_fprintf to a stream, each
// followed by a newline, as one fwrite; both return the bytes written or -1.
// kr_sprintf returns the text without a newline in a new block (release it
// with free), or null when memory ran out.  The plain forms take and give
// text in the local code page, the _utf8 forms in UTF-8.  The kr_pgm_ forms
// put the program name and ": " before the text (the name set with
// kr_svc_set_progname, else "PID#<process id>"), as command-line programs
// do in front of their diagnostics.  An unknown code prints
// "Unknown message number 0x%8.8lx".  Any thread may call these functions.
#ifndef YAV_CORE_SVC_KR_PRINTF_H
#define YAV_CORE_SVC_KR_PRINTF_H

#include <cstdarg>
#include <cstdio>

#include "core/sundry/yav_base.h"

YAV_EXPORT int kr_printf(uint32_t code, ...);
YAV_EXPORT int kr_fprintf(FILE* stream, uint32_t code, ...);
YAV_EXPORT char* kr_sprintf(uint32_t code, ...);
YAV_EXPORT int kr_vfprintf(FILE* stream, uint32_t code, va_list args);
YAV_EXPORT char* kr_vsprintf(uint32_t code, va_list args);

YAV_EXPORT int kr_printf_utf8(uint32_t code, ...);
YAV_EXPORT int kr_fprintf_utf8(FILE* stream, uint32_t code, ...);
YAV_EXPORT char* kr_sprintf_utf8(uint32_t code, ...);

YAV_EXPORT int kr_pgm_printf(uint32_t code, ...);
YAV_EXPORT int kr_pgm_fprintf(FILE* stream, uint32_t code, ...);
YAV_EXPORT char* kr_pgm_sprintf(uint32_t code, ...);

#endif  // YAV_CORE_SVC_KR_PRINTF_H
