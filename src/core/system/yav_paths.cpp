#include "core/system/yav_paths.h"

#include <limits.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "core/system/yav_assert.h"
#include "core/system/yav_paths_internal.h"
#include "core/ulq/ulq.h"

// The prefixes come from the build (cmake/yav_paths.cmake); these defaults
// only serve a build that does not go through it.
#ifndef YAV_PREFIX
#define YAV_PREFIX "/opt/tessaro"
#endif
#ifndef YAV_VAR_PREFIX
#define YAV_VAR_PREFIX "/var/tessaro"
#endif
#ifndef YAV_KR_PREFIX
#define YAV_KR_PREFIX "/opt/Calvenor"
#endif
#ifndef YAV_RUN_PREFIX
#define YAV_RUN_PREFIX "/opt/tessrun"
#endif
#ifndef YAV_ETC_PREFIX
#define YAV_ETC_PREFIX "/etc"
#endif

namespace {

// The two completed entries are null until completion.
const char* s_paths[YAV_DB_LAST_ENTRY] = {
    YAV_PREFIX "/bin/",         // YAV_BIN_DIR
    YAV_PREFIX "/etc/",         // YAV_CFG_DIR
    nullptr,                    // YAV_LOG_DIR
    YAV_PREFIX "/sbin/",        // YAV_SBIN_DIR
    YAV_PREFIX "/lib/",         // YAV_LIB_DIR
    nullptr,                    // YAV_HTML_LANG_DIR
    YAV_VAR_PREFIX "/db/",      // YAV_DB_DIR
    YAV_VAR_PREFIX "/keytab/",  // YAV_KEYTAB_DIR
    YAV_ETC_PREFIX "/init.d/",  // YAV_INITD_DIR
    YAV_ETC_PREFIX "/rc3.d/",   // YAV_RC3D_DIR
    YAV_VAR_PREFIX "/sm/",      // YAV_SM_DIR
    YAV_PREFIX "/plugin/lib/",  // YAV_PLUGIN_LIB_DIR
    YAV_PREFIX "/nls/msg/",     // YAV_MSG_DIR
    YAV_KR_PREFIX "/nls/ULQ/",  // YAV_ULQ_DIR
    YAV_PREFIX "/nls/html/",    // YAV_HTML_DIR
    YAV_RUN_PREFIX "/lib/",     // YAV_RUN_LIB_DIR
    YAV_VAR_PREFIX "/log/",     // YAV_VAR_LOG_DIR
};

pthread_once_t s_once = PTHREAD_ONCE_INIT;
char s_htmlLangDir[PATH_MAX];

bool is_directory(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// A locale-derived name may only name a plain subdirectory of the base.
bool usable_candidate(const char* name) {
    return name[0] != '\0' && strchr(name, '/') == nullptr && strcmp(name, ".") != 0 &&
           strcmp(name, "..") != 0;
}

// base + "/" (when base lacks one) + name into out; false when it does not
// fit.  The result ends without a "/" so that it can be tested with stat.
bool join(const char* base, const char* name, char* out, size_t size) {
    size_t baseLength = strlen(base);
    size_t nameLength = strlen(name);
    bool slash = baseLength == 0 || base[baseLength - 1] != '/';
    size_t total = baseLength + (slash ? 1 : 0) + nameLength;
    if (total + 1 > size) return false;
    memcpy(out, base, baseLength);
    if (slash) out[baseLength] = '/';
    memcpy(out + baseLength + (slash ? 1 : 0), name, nameLength);
    out[total] = '\0';
    return true;
}

void complete_table() {
    if (s_paths[YAV_LOG_DIR] == nullptr) s_paths[YAV_LOG_DIR] = s_paths[YAV_VAR_LOG_DIR];
    char osLang[256];
    const char* locale =
        yav_paths_locale_name(getenv("LC_ALL"), getenv("LC_MESSAGES"), osLang, sizeof osLang);
    yav_paths_localized_dir(s_paths[YAV_HTML_DIR], locale, s_htmlLangDir, sizeof s_htmlLangDir);
    s_paths[YAV_HTML_LANG_DIR] = s_htmlLangDir;
}

}  // namespace

const char* yav_paths_locale_name(const char* lcAll, const char* lcMessages, char* buffer,
                                  size_t size) {
    if (lcAll != nullptr && lcAll[0] != '\0') return lcAll;
    if (lcMessages != nullptr && lcMessages[0] != '\0') return lcMessages;
    if (ulq_os_lang_name(buffer, size) == 0 && buffer[0] != '\0') return buffer;
    return "C";
}

size_t yav_paths_localized_dir(const char* base, const char* locale, char* out, size_t size) {
    // Candidates in order of preference; a failed canonicalization leaves
    // its slot empty, and empty slots are skipped.
    char canonical[YAV_PATHS_LOCALE_MAX + 1] = "";
    char firstTwo[3] = "";
    char language[YAV_PATHS_LOCALE_MAX + 1] = "";
    if (ulq_canonical_loc(locale, canonical, sizeof canonical) != 0) canonical[0] = '\0';
    // canonical starts zero-filled, so its first two bytes are text or zeros.
    memcpy(firstTwo, canonical, 2);
    firstTwo[2] = '\0';
    if (ulq_canonical_lang(locale, language, sizeof language) != 0) language[0] = '\0';
    const char* candidates[] = {canonical, firstTwo, language, "C"};

    for (const char* candidate : candidates) {
        if (!usable_candidate(candidate)) continue;
        // One byte is kept for the final "/".
        if (!join(base, candidate, out, size - 1)) continue;
        if (!is_directory(out)) continue;
        size_t length = strlen(out);
        out[length] = '/';
        out[length + 1] = '\0';
        return length + 1;
    }

    size_t length = strlen(base);
    YAV_ASSERT(length + 2 <= size);
    memcpy(out, base, length);
    if (length == 0 || base[length - 1] != '/') out[length++] = '/';
    out[length] = '\0';
    return length;
}

const char* yav_get_path(int dir_type) {
    YAV_ASSERT((dir_type >= YAV_BIN_DIR) && (dir_type < YAV_DB_LAST_ENTRY));
    // Failure of pthread_once is not possible with a valid control.
    pthread_once(&s_once, complete_table);
    return s_paths[dir_type];
}

const char* yav_kr_get_path(const char* name) {
    if (name == nullptr || strcmp(name, YAV_KR_PREFIX) != 0) return nullptr;
    return YAV_KR_PREFIX;
}

const char* yav_get_kr_path() {
    static const char* const path = yav_kr_get_path(YAV_KR_PREFIX);
    return path;
}

void yav_canonicalize_path(char* path) {
    if (path == nullptr) return;
    // Leading blanks go and runs of "/" shrink to one, in one pass that
    // moves the text left (the write position never passes the read one).
    char* out = path;
    bool afterSlash = false;
    for (const char* in = path + strspn(path, " \t"); *in != '\0'; ++in) {
        if (*in == '/' && afterSlash) continue;
        afterSlash = *in == '/';
        *out++ = *in;
    }
    // Trailing blanks and tabs, then one final "/".
    while (out > path && (out[-1] == ' ' || out[-1] == '\t')) --out;
    if (out > path && out[-1] == '/') --out;
    *out = '\0';
}
