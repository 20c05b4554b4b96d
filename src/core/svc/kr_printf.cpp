#include "core/svc/kr_printf.h"

#include <stdlib.h>
#include <string.h>

#include "core/msg/kr_msg.h"
#include "core/sundry/yav_printf.h"
#include "core/svc/kr_svc_internal.h"
#include "core/ulq/ulq.h"

namespace {

// The text of code formatted with args, with the program name before it
// and a newline after it when asked; in a new block (free), its length in
// *len.  Null when memory ran out.
char* formatCode(uint32_t code, bool utf8, bool pgm, bool newline, va_list args, size_t* len) {
    uint32_t status = 0;
    char* format = utf8 ? kr_msg_get_msg_utf8(code, &status) : kr_msg_get_msg(code, &status);
    if (format == nullptr) return nullptr;
    char* text = nullptr;
    int n = yav_vasprintf_cs(&text, utf8 ? ulq_utf8_cs() : ulq_local_cs(), format, args);
    SvcBuf out;
    if (pgm) {
        char name[256];
        svc_progname(name, sizeof name);
        out.append(name);
        out.append(": ");
    }
    out.append(n >= 0 ? text : format);  // a text that is no valid format is printed as it is
    if (newline) out.append("\n");
    if (n >= 0) yav_asprintf_free(text);
    free(format);
    if (out.failed()) return nullptr;
    char* result = static_cast<char*>(malloc(out.size() + 1));
    if (result == nullptr) return nullptr;
    memcpy(result, out.data(), out.size() + 1);
    *len = out.size();
    return result;
}

int printCode(FILE* stream, uint32_t code, bool utf8, bool pgm, va_list args) {
    if (stream == nullptr) return -1;
    size_t len = 0;
    char* text = formatCode(code, utf8, pgm, true, args, &len);
    if (text == nullptr) return -1;
    size_t written = fwrite(text, 1, len, stream);
    free(text);
    return written == len ? static_cast<int>(len) : -1;
}

char* sprintCode(uint32_t code, bool utf8, bool pgm, va_list args) {
    size_t len = 0;
    return formatCode(code, utf8, pgm, false, args, &len);
}

}  // namespace

int kr_vfprintf(FILE* stream, uint32_t code, va_list args) {
    return printCode(stream, code, false, false, args);
}

char* kr_vsprintf(uint32_t code, va_list args) { return sprintCode(code, false, false, args); }

// The variadic forms differ only in the stream and the two switches.
#define YAV_KR_PRINT(name, stream, utf8, pgm)                   \
    int name(uint32_t code, ...) {                              \
        va_list args;                                           \
        va_start(args, code);                                   \
        int n = printCode((stream), code, (utf8), (pgm), args); \
        va_end(args);                                           \
        return n;                                               \
    }
#define YAV_KR_FPRINT(name, utf8, pgm)                        \
    int name(FILE* stream, uint32_t code, ...) {              \
        va_list args;                                         \
        va_start(args, code);                                 \
        int n = printCode(stream, code, (utf8), (pgm), args); \
        va_end(args);                                         \
        return n;                                             \
    }
#define YAV_KR_SPRINT(name, utf8, pgm)                      \
    char* name(uint32_t code, ...) {                        \
        va_list args;                                       \
        va_start(args, code);                               \
        char* text = sprintCode(code, (utf8), (pgm), args); \
        va_end(args);                                       \
        return text;                                        \
    }

YAV_KR_PRINT(kr_printf, stdout, false, false)
YAV_KR_PRINT(kr_printf_utf8, stdout, true, false)
YAV_KR_PRINT(kr_pgm_printf, stdout, false, true)
YAV_KR_FPRINT(kr_fprintf, false, false)
YAV_KR_FPRINT(kr_fprintf_utf8, true, false)
YAV_KR_FPRINT(kr_pgm_fprintf, false, true)
YAV_KR_SPRINT(kr_sprintf, false, false)
YAV_KR_SPRINT(kr_sprintf_utf8, true, false)
YAV_KR_SPRINT(kr_pgm_sprintf, false, true)
