// Stanza files: opening, locking, the line scanner and the moves.
#include "core/file/yav_stanza.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <climits>
#include <cwchar>
#include <new>

#include "core/file/yav_stanza_internal.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/system/yav_sys_error.h"
#include "core/ulq/ulq.h"

char* yav_zDup(const char* text) {
    size_t length = strlen(text);
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy != nullptr) memcpy(copy, text, length + 1);
    return copy;
}

void yav_zClearEntry(yavStanzaFile* handle) {
    if (handle->cache == nullptr) {
        free(handle->entryName);
        free(handle->value);
    }
    handle->entryName = nullptr;
    handle->value = nullptr;
}

void yav_zClearStanza(yavStanzaFile* handle) {
    yav_zClearEntry(handle);
    if (handle->cache == nullptr) free(handle->stanzaName);
    handle->stanzaName = nullptr;
}

void yav_zSetError(yavStanzaFile* handle, yav_status_t code) {
    yav_zClearStanza(handle);
    if (handle->cache != nullptr) {
        handle->cache->currentStanza = nullptr;
        handle->cache->currentEntry = nullptr;
    } else if (handle->fp != nullptr) {
        // "At end": a later entry move finds nothing until the caller
        // starts again from a stanza.
        if (fseek(handle->fp, 0, SEEK_END) == 0) {
            long end = ftell(handle->fp);
            if (end >= 0) {
                handle->stanzaOffset = end;
                handle->lineOffset = end;
            }
        }
    }
    handle->status = code;
}

void yav_zFileCloseDescriptor(yavStanzaFile* handle) {
    if (handle->fp == nullptr) return;
    // Buffered output reaches the file before other processes may look.
    fflush(handle->fp);
    struct flock unlock;
    memset(&unlock, 0, sizeof unlock);
    unlock.l_type = F_UNLCK;
    unlock.l_whence = SEEK_SET;
    unlock.l_start = 0;
    unlock.l_len = 0;
    fcntl(fileno(handle->fp), F_SETLK, &unlock);
    fclose(handle->fp);
    handle->fp = nullptr;
}

namespace {

bool isSpace(wchar_t c) { return c != L'\0' && ulq_iswspace(c) != 0; }

// Converts wide text back to a heap string in the local code page.  Logs
// and records the failure on the handle when it cannot be converted.
char* toLocal(yavStanzaFile* handle, const wchar_t* text) {
    ulq_cs_t cs = ulq_local_cs();
    // Most texts fit a local buffer, which spares a measuring pass.  The
    // conversion stops before a character that does not fit whole, so a
    // result that ends further than MB_LEN_MAX bytes before the end of the
    // buffer is complete.
    char local[4 * YAV_STZ_LINE_SIZE];
    size_t length = ulq_wcstombs(cs, local, text, sizeof local);
    bool complete = length != static_cast<size_t>(-1) && length + MB_LEN_MAX < sizeof local;
    if (!complete && length != static_cast<size_t>(-1)) length = ulq_wcstombs(cs, nullptr, text, 0);
    if (length == static_cast<size_t>(-1)) {
        YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%S", YAV_S_UCS2_TO_MB_FAILED, text);
        yav_zSetError(handle, YAV_S_UCS2_TO_MB_CONVERSION);
        return nullptr;
    }
    char* out = static_cast<char*>(malloc(length + 1));
    if (out == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NO_MEMORY);
        return nullptr;
    }
    if (complete) {
        memcpy(out, local, length);
    } else if (ulq_wcstombs(cs, out, text, length + 1) != length) {
        free(out);
        YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%S", YAV_S_UCS2_TO_MB_FAILED, text);
        yav_zSetError(handle, YAV_S_UCS2_TO_MB_CONVERSION);
        return nullptr;
    }
    out[length] = '\0';
    return out;
}

// Parses a stanza head; `line` starts at its "[" and is modified.
char* parseHead(yavStanzaFile* handle, wchar_t* line) {
    wchar_t* name = line + 1;
    wchar_t* close = name;
    while (*close != L'\0' && *close != L']') ++close;
    if (*close == L'\0') {
        YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%S", YAV_S_STZ_NO_BRACKET_TEXT, name);
        yav_zSetError(handle, YAV_S_STZ_NO_BRACKET);
        return nullptr;
    }
    *close = L'\0';
    return toLocal(handle, name);
}

// Parses an entry line starting at its first non-blank character (the line
// is modified) into a name and a value (null when empty).
bool parseEntry(yavStanzaFile* handle, wchar_t* line, char** name, char** value) {
    wchar_t* equals = line;
    while (*equals != L'\0' && *equals != L'=') ++equals;
    if (*equals == L'\0' || equals == line) {
        YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%S%s", YAV_S_STZ_NO_SEPARATOR_TEXT, line,
                    handle->stanzaName != nullptr ? handle->stanzaName : "");
        yav_zSetError(handle, YAV_S_STZ_NO_SEPARATOR);
        return false;
    }
    wchar_t* text = equals + 1;
    while (isSpace(*text)) ++text;
    wchar_t* end = text;
    while (*end != L'\0' && *end != L'#') ++end;
    while (end > text && isSpace(end[-1])) --end;
    *end = L'\0';

    wchar_t* nameEnd = equals;
    while (nameEnd > line && isSpace(nameEnd[-1])) --nameEnd;
    *nameEnd = L'\0';

    *name = toLocal(handle, line);
    if (*name == nullptr) return false;
    *value = nullptr;
    if (*text != L'\0') {
        *value = toLocal(handle, text);
        if (*value == nullptr) {
            free(*name);
            *name = nullptr;
            return false;
        }
    }
    return true;
}

// The uncached scanner; see yav_zMoveNextLine.
int moveNextLineUncached(yavStanzaFile* handle, int seekStanza, int acceptStanza) {
    FILE* fp = handle->fp;
    long fallback = ftell(fp);
    if (fallback < 0) {
        yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
        return 0;
    }
    char line[YAV_STZ_LINE_SIZE];
    wchar_t wide[YAV_STZ_LINE_SIZE];
    for (;;) {
        long start = ftell(fp);
        if (start < 0) {
            yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
            return 0;
        }
        if (fgets(line, sizeof line, fp) == nullptr) {
            if (ferror(fp)) {
                clearerr(fp);
                yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
                return 0;
            }
            if (seekStanza) {
                yav_zClearStanza(handle);
                handle->stanzaOffset = start;
            }
            yav_zClearEntry(handle);
            handle->lineOffset = start;
            return 1;
        }
        size_t count = ulq_mbstowcs(ulq_local_cs(), wide, line, YAV_STZ_LINE_SIZE);
        if (count == static_cast<size_t>(-1)) {
            YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%s", YAV_S_MB_TO_UCS2_FAILED, line);
            yav_zSetError(handle, YAV_S_MB_TO_UCS2_CONVERSION);
            return 0;
        }
        if (count >= YAV_STZ_LINE_SIZE) count = YAV_STZ_LINE_SIZE - 1;
        wide[count] = L'\0';
        if (count > 0 && wide[count - 1] == L'\n') wide[--count] = L'\0';

        wchar_t* text = wide;
        while (isSpace(*text)) ++text;
        if (*text == L'\0' || *text == L'#') continue;

        if (*text == L'[') {
            yav_zClearEntry(handle);
            handle->lineOffset = start;
            if (!seekStanza && !acceptStanza) {
                // The stanza is over.  The stream goes back to where this
                // call started; lineOffset names the next head, where new
                // entries of this stanza belong.
                if (fseek(fp, fallback, SEEK_SET) != 0) {
                    yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
                    return 0;
                }
                return 1;
            }
            char* name = parseHead(handle, text);
            if (name == nullptr) return 0;
            if (handle->cache == nullptr) free(handle->stanzaName);
            handle->stanzaName = name;
            long after = ftell(fp);
            if (after < 0) {
                yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
                return 0;
            }
            handle->stanzaOffset = after;
            handle->lineOffset = after;
            fallback = after;
            seekStanza = 0;
            acceptStanza = 0;
            continue;
        }
        if (seekStanza) continue;

        char* name = nullptr;
        char* value = nullptr;
        if (!parseEntry(handle, text, &name, &value)) return 0;
        yav_zClearEntry(handle);
        handle->entryName = name;
        handle->value = value;
        handle->lineOffset = start;
        return 1;
    }
}

// Takes the fcntl lock on the whole file; 0 or the status of the failure.
yav_status_t lockFile(FILE* fp, int flags) {
    struct flock lock;
    memset(&lock, 0, sizeof lock);
    lock.l_type = (flags & YAV_STZ_READ) ? F_RDLCK : F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    int command = (flags & YAV_STZ_NOWAIT) ? F_SETLK : F_SETLKW;
    int rc;
    do {
        rc = fcntl(fileno(fp), command, &lock);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return 0;
    int err = errno;
    if (err == EAGAIN) return YAV_S_STZ_WOULD_BLOCK;
    YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%s%d", YAV_S_STZ_LOCK_ERROR,
                yav_sys_error_utf8_string(err), err);
    return YAV_S_STZ_LOCK_FAILED;
}

void freeHandle(yavStanzaFile* handle) {
    yav_zFileCloseDescriptor(handle);
    yav_zClearStanza(handle);
    yav_zCacheFree(handle->cache);
    handle->cache = nullptr;
    free(handle->fileName);
    delete handle;
}

}  // namespace

int yav_zMoveNextLine(yavStanzaFile* handle, int seekStanza, int acceptStanza) {
    if (handle->cache != nullptr) return yav_zCacheMoveNextLine(handle, seekStanza, acceptStanza);
    if (handle->fp == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NOT_OPEN);
        return 0;
    }
    return moveNextLineUncached(handle, seekStanza, acceptStanza);
}

yavStanzaFile* yavStzFileOpen(const char* path, int flags, yav_status_t* status) {
    yav_status_t ignored = 0;
    if (status == nullptr) status = &ignored;
    *status = 0;
    const int known = YAV_STZ_READ | YAV_STZ_UPDATE | YAV_STZ_NOWAIT | YAV_STZ_CACHED;
    if ((flags & (YAV_STZ_READ | YAV_STZ_UPDATE)) == 0 || (flags & ~known) != 0 ||
        ((flags & YAV_STZ_UPDATE) && (flags & YAV_STZ_CACHED))) {
        *status = YAV_S_STZ_INVALID_ARGUMENT;
        return nullptr;
    }
    if (path == nullptr) {
        *status = YAV_S_STZ_NULL_ARGUMENT;
        return nullptr;
    }
    yavStanzaFile* handle = new (std::nothrow) yavStanzaFile();
    if (handle == nullptr) {
        *status = YAV_S_STZ_NO_MEMORY;
        return nullptr;
    }
    handle->openFlags = flags;
    handle->fileName = yav_zDup(path);
    if (handle->fileName == nullptr) {
        freeHandle(handle);
        *status = YAV_S_STZ_NO_MEMORY;
        return nullptr;
    }
    // "e": the descriptor must not leak into programs the web server runs.
    handle->fp = fopen(path, (flags & YAV_STZ_READ) ? "re" : "r+e");
    if (handle->fp == nullptr) {
        int err = errno;
        YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%s%s%d", YAV_S_FILE_OPEN_ERROR, path,
                    yav_sys_error_utf8_string(err), err);
        freeHandle(handle);
        *status = err == EACCES ? YAV_S_STZ_PERMISSION : YAV_S_STZ_OPEN_FAILED;
        return nullptr;
    }
    yav_status_t locked = lockFile(handle->fp, flags);
    if (locked != 0) {
        // Closing the descriptor drops nothing of ours: the lock was not had.
        fclose(handle->fp);
        handle->fp = nullptr;
        freeHandle(handle);
        *status = locked;
        return nullptr;
    }
    if (!(flags & YAV_STZ_CACHED)) {
        yavStzMoveFirstStanza(handle);
        return handle;
    }

    yavStzCache* cache = nullptr;
    yav_status_t loaded = yav_zCacheLoad(handle, &cache);
    if (loaded != 0) {
        freeHandle(handle);
        *status = loaded;
        return nullptr;
    }
    yav_zFileCloseDescriptor(handle);
    yav_zClearStanza(handle);
    handle->cache = cache;
    handle->stanzaOffset = 0;
    handle->lineOffset = 0;
    yavStzMoveFirstStanza(handle);
    return handle;
}

void yavStzFileClose(yavStanzaFile* handle) {
    if (handle != nullptr) freeHandle(handle);
}

int yavStzMoveFirstStanza(yavStanzaFile* handle) {
    handle->status = 0;
    if (handle->cache != nullptr) {
        handle->cache->currentStanza = handle->cache->firstStanza;
        handle->cache->currentEntry = handle->cache->currentStanza != nullptr
                                          ? handle->cache->currentStanza->firstEntry
                                          : nullptr;
        yav_zCacheShowCursor(handle);
        return 1;
    }
    if (handle->fp == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NOT_OPEN);
        return 0;
    }
    if (fseek(handle->fp, 0, SEEK_SET) != 0) {
        yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
        return 0;
    }
    yav_zClearStanza(handle);
    handle->stanzaOffset = 0;
    handle->lineOffset = 0;
    return yav_zMoveNextLine(handle, 1, 1);
}

int yavStzMoveNextStanza(yavStanzaFile* handle) {
    handle->status = 0;
    return yav_zMoveNextLine(handle, 1, 1);
}

int yavStzMoveStanza(yavStanzaFile* handle, const char* name) {
    handle->status = 0;
    if (name == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NULL_ARGUMENT);
        return 0;
    }
    if (handle->stanzaName != nullptr && strcmp(handle->stanzaName, name) == 0) {
        return yavStzMoveFirstEntry(handle);
    }
    if (!yavStzMoveFirstStanza(handle)) return 0;
    while (handle->stanzaName != nullptr) {
        if (strcmp(handle->stanzaName, name) == 0) return 1;
        if (!yavStzMoveNextStanza(handle)) return 0;
    }
    return 0;
}

int yavStzMoveFirstEntry(yavStanzaFile* handle) {
    handle->status = 0;
    if (handle->cache != nullptr) {
        yavStzCache* cache = handle->cache;
        if (cache->currentStanza == nullptr) cache->currentStanza = cache->firstStanza;
        cache->currentEntry =
            cache->currentStanza != nullptr ? cache->currentStanza->firstEntry : nullptr;
        yav_zCacheShowCursor(handle);
        return 1;
    }
    if (handle->fp == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NOT_OPEN);
        return 0;
    }
    if (fseek(handle->fp, handle->stanzaOffset, SEEK_SET) != 0) {
        yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
        return 0;
    }
    return yav_zMoveNextLine(handle, 0, 0);
}

int yavStzMoveNextEntry(yavStanzaFile* handle) {
    handle->status = 0;
    return yav_zMoveNextLine(handle, 0, 0);
}

int yavStzMoveEntryInStanza(yavStanzaFile* handle, const char* name) {
    handle->status = 0;
    if (name == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NULL_ARGUMENT);
        return 0;
    }
    if (handle->entryName != nullptr && strcmp(handle->entryName, name) == 0) return 1;
    if (!yavStzMoveFirstEntry(handle)) return 0;
    while (handle->entryName != nullptr) {
        if (strcmp(handle->entryName, name) == 0) return 1;
        if (!yavStzMoveNextEntry(handle)) return 0;
    }
    return 0;
}

int yavStzMoveEntry(yavStanzaFile* handle, const char* stanza, const char* name) {
    if (!yavStzMoveStanza(handle, stanza)) return 0;
    return yavStzMoveEntryInStanza(handle, name);
}

int yavStzStanzaSize(yavStanzaFile* handle) {
    if (handle->status != 0) return 0;
    if (handle->stanzaName == nullptr || handle->entryName == nullptr) return 0;
    // Uncached, the moves free the current name: keep a copy to come back to.
    char* current = yav_zDup(handle->entryName);
    if (current == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NO_MEMORY);
        return 0;
    }
    int count = 0;
    if (yavStzMoveFirstEntry(handle)) {
        while (handle->entryName != nullptr) {
            ++count;
            if (!yavStzMoveNextEntry(handle)) break;
        }
        if (handle->status == 0) yavStzMoveEntryInStanza(handle, current);
    }
    free(current);
    return count;
}

int yavStzValidate(yavStanzaFile* handle) {
    handle->status = 0;
    if (handle->cache != nullptr || handle->fp == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NOT_OPEN);
        return 0;
    }
    if (fseek(handle->fp, 0, SEEK_SET) != 0) {
        yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
        return 0;
    }
    yav_zClearStanza(handle);
    handle->stanzaOffset = 0;
    handle->lineOffset = 0;
    // Every call consumes at least one line, except a return at a head
    // (stanza without entries), whose next call consumes that head.
    for (;;) {
        if (!yav_zMoveNextLine(handle, 0, 1)) return 0;
        if (handle->entryName == nullptr && feof(handle->fp)) break;
    }
    return yavStzMoveFirstStanza(handle);
}
