#include "core/msg/kr_msg.h"

#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <nl_types.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/msg/kr_msg_internal.h"
#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/system/yav_shutdown.h"
#include "core/threads/yavthread.h"
#include "core/ulq/ulq.h"

namespace {

const char kComponentAlphabet[] = "abcdefghijklmnopqrstuvwxyz_0123456789-+@";
constexpr unsigned kComponentValues = 40 * 40 * 40;

// glibc's catalog files: magic number, plane size, plane depth, then two
// tables of (set + 1, message, string offset) triples (one in the local
// byte order, one in the other) and the strings.
constexpr uint32_t kCatalogMagic = 0x960408deU;
constexpr size_t kCatalogHeader = 12;
constexpr int kMessageSet = 1;

// The directories catopen searches after NLSPATH.  Empty elements, which
// catopen takes as the current directory, are left out on purpose: a web
// server's working directory is no place to read messages from.
const char kSystemNlsPath[] =
    "/usr/share/locale/%L/%N:/usr/share/locale/%L/LC_MESSAGES/%N:"
    "/usr/share/locale/%l/%N:/usr/share/locale/%l/LC_MESSAGES/%N";

const nl_catd kNoCatalog = reinterpret_cast<nl_catd>(-1);

// One catalog per (code range, locale), opened on first use; kNoCatalog
// remembers that the catalog could not be opened.
struct CachedCatalog {
    uint32_t range;  // code >> 12: technology and component
    char locale[64];
    nl_catd catd;
};
constexpr unsigned kCacheSize = 32;

pthread_once_t s_once = PTHREAD_ONCE_INIT;
// s_msgMutex serializes look-ups and guards s_catalogsOff; s_cacheMutex
// guards the cache.  Taken in that order.
pthread_mutex_t s_msgMutex = PTHREAD_MUTEX_INITIALIZER;
pthread_mutex_t s_cacheMutex = PTHREAD_MUTEX_INITIALIZER;
int s_catalogsOff = -1;  // SVC_NOXPGCAT as read at first use; -1: not read yet
CachedCatalog s_cache[kCacheSize];
unsigned s_cacheCount = 0;

// A fork while another thread looks up a text must not leave the child
// with a mutex that nobody will release: both are held across fork().
void forkPrepare() {
    yavthread_mutex_lock(&s_msgMutex);
    yavthread_mutex_lock(&s_cacheMutex);
}

void forkRelease() {
    yavthread_mutex_unlock(&s_cacheMutex);
    yavthread_mutex_unlock(&s_msgMutex);
}

// The mutexes are initialised statically, so that a fork handler running
// in another thread never sees them before they are ready.
void registerProcessHandlers() {
    // Fails only when memory is short; forks are then merely less safe.
    (void)pthread_atfork(forkPrepare, forkRelease, forkRelease);
    // The library's shutdown closes the cached catalogs; a later look-up
    // opens them again.
    (void)yav_shutdown_register(yav_shutdown_messages, yav_msg_reset_catalogs);
}

uint32_t readU32(const unsigned char* p) {
    uint32_t value;
    memcpy(&value, p, sizeof value);
    return value;
}

// The file name of the catalog of code's component ("krpic.cat"); false
// when the code names no technology or component.
bool catalogName(uint32_t code, char* name, size_t size) {
    unsigned technology = code >> 28;
    if (technology == 4 || technology == 5) {
        snprintf(name, size, "dce%6.6lx.cat", static_cast<unsigned long>(code >> 14));
        return true;
    }
    kr_status_parts parts;
    kr_status_decode(code, &parts);
    if (strchr(parts.technology, '?') != nullptr || strchr(parts.component, '?') != nullptr) {
        return false;
    }
    snprintf(name, size, "%s%s.cat", parts.technology, parts.component);
    return true;
}

uint32_t openFailure(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return YAV_SVC_S_CAT_NOT_FOUND;
        case EACCES:
        case EPERM:
            return YAV_SVC_S_CAT_PERMISSION;
        default:
            return YAV_SVC_S_CAT_OPEN;
    }
}

// Reads the whole regular file fd and checks it.  1: valid; 0: not a
// regular file (the search goes on); -1: not a usable catalog.
int checkCatalogFile(int fd, uint32_t* status) {
    struct stat st;
    if (fstat(fd, &st) != 0) {
        *status = openFailure(errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) return 0;
    *status = YAV_SVC_S_CAT_OPEN;
    if (st.st_size < static_cast<off_t>(kCatalogHeader) ||
        st.st_size > static_cast<off_t>(YAV_MSG_MAX_CATALOG_SIZE)) {
        return -1;
    }
    size_t size = static_cast<size_t>(st.st_size);
    unsigned char* data = static_cast<unsigned char*>(malloc(size));
    if (data == nullptr) {
        *status = YAV_SVC_S_NO_MEMORY;
        return -1;
    }
    size_t got = 0;
    while (got < size) {
        ssize_t n = pread(fd, data + got, size - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    bool valid = got == size && yav_msg_catalog_is_valid(data, size);
    free(data);
    return valid ? 1 : -1;
}

// Tries the catalog file at path.  False when there is none (the search
// goes on); else true with *catd the opened catalog or kNoCatalog.  The
// file's contents are checked before catopen sees them: glibc trusts the
// tables of a catalog file, so a damaged one could make catgets read
// outside it.
bool tryCatalogFile(const char* path, nl_catd* catd, uint32_t* status) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        uint32_t failure = openFailure(errno);
        if (failure != YAV_SVC_S_CAT_NOT_FOUND) *status = failure;
        return false;
    }
    int checked = checkCatalogFile(fd, status);
    *catd = kNoCatalog;
    if (checked > 0) {
        // Opening the checked file through its descriptor keeps a file
        // replaced meanwhile from being read; without /proc, by its path.
        char pinned[40];
        snprintf(pinned, sizeof pinned, "/proc/self/fd/%d", fd);
        *catd = catopen(pinned, NL_CAT_LOCALE);
        if (*catd == kNoCatalog) *catd = catopen(path, NL_CAT_LOCALE);
        *status = *catd == kNoCatalog ? YAV_SVC_S_CAT_OPEN : YAV_S_OK;
    }
    close(fd);
    return checked != 0;
}

// Finds catalog `name` for `locale` along NLSPATH and then the system
// directories, as catopen does, and opens the first file found.
nl_catd openCatalog(const char* name, const char* locale, uint32_t* status) {
    *status = YAV_SVC_S_CAT_NOT_FOUND;
    const char* lists[] = {getenv("NLSPATH"), kSystemNlsPath};
    for (const char* list : lists) {
        for (const char* element = list; element != nullptr;) {
            const char* end = strchr(element, ':');
            size_t length = end != nullptr ? static_cast<size_t>(end - element) : strlen(element);
            char path[PATH_MAX];
            nl_catd catd;
            if (length > 0 &&
                yav_msg_expand_path(element, length, name, locale, path, sizeof path) &&
                tryCatalogFile(path, &catd, status)) {
                return catd;
            }
            element = end != nullptr ? end + 1 : nullptr;
        }
    }
    return kNoCatalog;
}

// The catalog of code's component in the current locale: from the cache,
// or opened now.  *temporary is set when the caller is to close it after
// use (the cache is full).
nl_catd catalogFor(uint32_t code, bool* temporary) {
    *temporary = false;
    char name[32];
    if (!catalogName(code, name, sizeof name)) return kNoCatalog;
    char locale[sizeof s_cache[0].locale];
    const char* current = setlocale(LC_MESSAGES, nullptr);
    if (current == nullptr) current = "C";
    if (strlen(current) >= sizeof locale) return kNoCatalog;
    strcpy(locale, current);
    uint32_t range = code >> 12;

    YavMutexLock lock(&s_cacheMutex);
    for (unsigned i = 0; i < s_cacheCount; ++i) {
        if (s_cache[i].range == range && strcmp(s_cache[i].locale, locale) == 0) {
            return s_cache[i].catd;
        }
    }
    uint32_t status = YAV_S_OK;
    nl_catd catd = openCatalog(name, locale, &status);
    if (getenv("KRSVC_DEBUG_MSG") != nullptr) {
        fprintf(stderr, "NLSPATH=%s\n", ulq_get_nlspath());
        fprintf(stderr, "ULQDIR=%s\n", ulq_get_dir());
        fprintf(stderr, "catopen(%s) status = %8.8x\n", name, static_cast<unsigned>(status));
    }
    if (s_cacheCount < kCacheSize) {
        CachedCatalog& entry = s_cache[s_cacheCount++];
        entry.range = range;
        strcpy(entry.locale, locale);
        entry.catd = catd;
    } else {
        *temporary = catd != kNoCatalog;
    }
    return catd;
}

char* copyText(const char* text, size_t length) {
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy == nullptr) return nullptr;
    memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}

// A copy of a catalog text, which is in the catalog locale's code set, the
// local code page.  Null with *noMemory clear when the text does not decode
// in that code set (the default table is used instead).
char* catalogText(const char* text, bool utf8, bool* noMemory) {
    size_t length = strlen(text);
    if (!utf8) {
        char* copy = copyText(text, length);
        *noMemory = copy == nullptr;
        return copy;
    }
    // A byte of the source becomes at most four bytes of UTF-8.
    size_t size = length * 4 + 1;
    char* out = static_cast<char*>(malloc(size));
    if (out == nullptr) {
        *noMemory = true;
        return nullptr;
    }
    long converted = ulq_to_utf8(ulq_local_cs(), text, length, out, size - 1);
    if (converted < 0) {
        free(out);
        return nullptr;
    }
    out[converted] = '\0';
    return out;
}

// A copy of a default-table text (UTF-8), in UTF-8 or in the local code
// page; a character the local code page cannot show becomes '?'.
char* defaultText(const char* text, bool utf8, bool* noMemory) {
    size_t length = strlen(text);
    ulq_cs_t local = ulq_local_cs();
    bool ascii = true;
    for (size_t i = 0; i < length && ascii; ++i) ascii = static_cast<unsigned char>(text[i]) < 0x80;
    if (utf8 || ascii || ulq_cs_is_utf8(local)) {
        char* copy = copyText(text, length);
        *noMemory = copy == nullptr;
        return copy;
    }
    size_t size = length * static_cast<size_t>(ulq_mb_cur_max(local)) + 1;
    char* out = static_cast<char*>(malloc(size));
    if (out == nullptr) {
        *noMemory = true;
        return nullptr;
    }
    size_t used = 0;
    for (size_t i = 0; i < length;) {
        int n = ulq_mblen(ulq_utf8_cs(), text + i, length - i);
        long converted = -1;
        if (n > 0)
            converted =
                ulq_from_utf8(local, text + i, static_cast<size_t>(n), out + used, size - 1 - used);
        if (converted < 0) {
            out[used++] = '?';
        } else {
            used += static_cast<size_t>(converted);
        }
        i += n > 0 ? static_cast<size_t>(n) : 1;
    }
    out[used] = '\0';
    return out;
}

int readFlag(const char* variable) {
    const char* value = getenv(variable);
    if (value == nullptr) return 0;
    char* end = nullptr;
    long number = strtol(value, &end, 10);
    return end != value && number != 0 ? 1 : 0;
}

char* getMessage(uint32_t code, bool utf8, uint32_t* status) {
    pthread_once(&s_once, registerProcessHandlers);
    char* result = nullptr;
    bool noMemory = false;
    {
        YavMutexLock lock(&s_msgMutex);
        if (s_catalogsOff < 0) s_catalogsOff = readFlag("SVC_NOXPGCAT");
        if (s_catalogsOff == 0) {
            bool temporary = false;
            nl_catd catd = catalogFor(code, &temporary);
            if (catd != kNoCatalog) {
                const char* text =
                    catgets(catd, kMessageSet, static_cast<int>(code & 0xfff), nullptr);
                if (text != nullptr) result = catalogText(text, utf8, &noMemory);
                if (temporary) catclose(catd);
            }
        }
        if (result == nullptr && !noMemory) {
            const char* text = kr_msg_get_default_msg(code);
            if (text != nullptr) result = defaultText(text, utf8, &noMemory);
        }
    }
    if (result == nullptr && !noMemory) {
        char text[48];
        int length = snprintf(text, sizeof text, "Unknown message number 0x%8.8lx",
                              static_cast<unsigned long>(code));
        result = copyText(text, static_cast<size_t>(length));
    }
    if (status != nullptr) *status = result != nullptr ? YAV_S_OK : YAV_SVC_S_MSG_COPY;
    return result;
}

}  // namespace

void kr_status_decode(uint32_t code, kr_status_parts* parts) {
    if (parts == nullptr) return;
    static const char* const kTechnologies[] = {"???", "dce", "dfs", "kr"};
    unsigned technology = code >> 28;
    strcpy(parts->technology, technology < 4 ? kTechnologies[technology] : "???");
    unsigned component = (code >> 12) & 0xffff;
    if (component >= kComponentValues) {
        strcpy(parts->component, "???");
    } else {
        parts->component[0] = kComponentAlphabet[component / 1600];
        parts->component[1] = kComponentAlphabet[component / 40 % 40];
        parts->component[2] = kComponentAlphabet[component % 40];
        parts->component[3] = '\0';
    }
    parts->number = code & 0xfff;
}

char* kr_msg_get_msg(uint32_t code, uint32_t* status) { return getMessage(code, false, status); }

char* kr_msg_get_msg_utf8(uint32_t code, uint32_t* status) {
    return getMessage(code, true, status);
}

void kr_error_inq_text(uint32_t code, char* buffer, size_t size, uint32_t* status) {
    uint32_t result = YAV_SVC_S_MSG_COPY;
    if (buffer != nullptr && size > 0) {
        char* text = kr_msg_get_msg(code, &result);
        if (text == nullptr) {
            buffer[0] = '\0';
        } else {
            ulq_strncpy(ulq_local_cs(), buffer, text, size - 1);
            free(text);
        }
    }
    if (status != nullptr) *status = result;
}

bool yav_msg_catalog_is_valid(const unsigned char* data, size_t size) {
    if (data == nullptr || size < kCatalogHeader || size > YAV_MSG_MAX_CATALOG_SIZE) return false;
    // glibc reads catalogs in its own byte order only.
    if (readU32(data) != kCatalogMagic) return false;
    uint64_t planeSize = readU32(data + 4);
    uint64_t planeDepth = readU32(data + 8);
    // catgets divides by the plane size and walks plane-depth rows of
    // plane-size triples; both tables must fit (bounding each factor first
    // keeps the product from overflowing).
    if (planeSize == 0 || planeDepth == 0) return false;
    if (planeSize > size / 24 || planeDepth > size / 24) return false;
    uint64_t entries = 3 * planeSize * planeDepth;
    if (entries > (size - kCatalogHeader) / 8) return false;
    size_t tableBytes = static_cast<size_t>(entries) * 4;
    // catgets uses the first table (the second is in the other byte order).
    const unsigned char* table = data + kCatalogHeader;
    size_t strings = kCatalogHeader + 2 * tableBytes;
    uint32_t maxOffset = 0;
    for (size_t i = 2; i < entries; i += 3) {
        uint32_t offset = readU32(table + i * 4);
        if (offset > maxOffset) maxOffset = offset;
    }
    // Every string ends by the terminator of the string furthest in.
    if (strings >= size || maxOffset >= size - strings) return false;
    return memchr(data + strings + maxOffset, '\0', size - strings - maxOffset) != nullptr;
}

bool yav_msg_expand_path(const char* element, size_t length, const char* name, const char* locale,
                         char* out, size_t size) {
    if (size == 0) return false;
    size_t used = 0;
    for (size_t i = 0; i < length; ++i) {
        const char* piece = element + i;
        size_t n = 1;
        if (element[i] == '%') {
            if (++i == length) return false;
            size_t language = strcspn(locale, "_.@");
            size_t codeSet = strcspn(locale, ".@");
            switch (element[i]) {
                case 'N':
                    piece = name;
                    n = strlen(name);
                    break;
                case 'L':
                    piece = locale;
                    n = strlen(locale);
                    break;
                case 'l':
                    piece = locale;
                    n = language;
                    break;
                case 't':
                    piece = locale + language + (locale[language] == '_' ? 1 : 0);
                    n = locale[language] == '_' ? strcspn(piece, ".@") : 0;
                    break;
                case 'c':
                    piece = locale + codeSet + (locale[codeSet] == '.' ? 1 : 0);
                    n = locale[codeSet] == '.' ? strcspn(piece, "@") : 0;
                    break;
                case '%':
                    piece = "%";
                    break;
                default:
                    return false;
            }
        }
        if (n > size - 1 - used) return false;
        memcpy(out + used, piece, n);
        used += n;
    }
    out[used] = '\0';
    return true;
}

void yav_msg_reset_catalogs() {
    pthread_once(&s_once, registerProcessHandlers);
    YavMutexLock msgLock(&s_msgMutex);
    YavMutexLock cacheLock(&s_cacheMutex);
    for (unsigned i = 0; i < s_cacheCount; ++i) {
        if (s_cache[i].catd != kNoCatalog) catclose(s_cache[i].catd);
    }
    s_cacheCount = 0;
    s_catalogsOff = -1;
}
