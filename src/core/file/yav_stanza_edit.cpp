// Stanza files: the editing operations and the byte-range rewrite behind
// them.
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/file/yav_stanza.h"
#include "core/file/yav_stanza_internal.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/system/yav_sys_error.h"

namespace {

// Size of the pieces copied through the scratch file.
constexpr size_t kCopyPiece = 511;

bool copyRest(FILE* from, FILE* to) {
    char piece[kCopyPiece];
    size_t n;
    while ((n = fread(piece, 1, sizeof piece, from)) > 0) {
        if (fwrite(piece, 1, n, to) != n) return false;
    }
    return ferror(from) == 0;
}

// Makes the scratch file: a stale one of the same name is removed first,
// then the name is created afresh, never following a link planted there,
// so the rewrite can neither write through a link nor read another user's
// data.
FILE* openScratch(const char* path) {
    // Whatever cannot be removed makes the exclusive create below fail.
    (void)unlink(path);
    int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        int err = errno;
        YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%s%s%d", YAV_S_FILE_OPEN_ERROR, path,
                    yav_sys_error_utf8_string(err), err);
        return nullptr;
    }
    FILE* scratch = fdopen(fd, "w+");
    if (scratch == nullptr) {
        int err = errno;
        close(fd);
        unlink(path);
        YAV_SVC_LOG(yav_svc_config_mgr, svc_c_sev_error, "%s%s%d", YAV_S_FILE_OPEN_ERROR, path,
                    yav_sys_error_utf8_string(err), err);
        return nullptr;
    }
    return scratch;
}

// The common checks of every edit.  `present` says whether the arguments
// and the position the edit needs are there.
bool editAllowed(yavStanzaFile* handle, bool present) {
    if (handle->fp == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NOT_OPEN);
        return false;
    }
    if (!present) {
        yav_zSetError(handle, YAV_S_STZ_NULL_ARGUMENT);
        return false;
    }
    // A handle opened with YAV_STZ_READ has a read-only stream.
    if (!(handle->openFlags & YAV_STZ_UPDATE) || (handle->openFlags & YAV_STZ_READ)) {
        yav_zSetError(handle, YAV_S_STZ_READ_ONLY);
        return false;
    }
    return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// An entry name that the reader would give back as itself.
bool entryNameWritable(const char* name) {
    size_t length = strlen(name);
    if (length == 0 || name[0] == '[' || name[0] == '#') return false;
    if (isBlank(name[0]) || isBlank(name[length - 1])) return false;
    return strpbrk(name, "=\n") == nullptr;
}

bool valueWritable(const char* value) {
    return value == nullptr || strpbrk(value, "#\n") == nullptr;
}

// Formats "name = value\n" into line (YAV_STZ_LINE_SIZE bytes); false when
// the entry cannot be written as one line that reads back as itself.
bool formatEntry(char* line, const char* name, const char* value) {
    if (!entryNameWritable(name) || !valueWritable(value)) return false;
    int n = snprintf(line, YAV_STZ_LINE_SIZE, "%s = %s\n", name, value != nullptr ? value : "");
    return n > 0 && n < YAV_STZ_LINE_SIZE;
}

// The value as the reader would deliver it (null for an empty one), copied;
// false when memory ran out.
bool copyValue(const char* value, char** copy) {
    *copy = nullptr;
    if (value == nullptr || value[0] == '\0') return true;
    *copy = yav_zDup(value);
    return *copy != nullptr;
}

// The end offset of the logical line starting at offset.
bool lineEnd(yavStanzaFile* handle, long offset, long* end) {
    char line[YAV_STZ_LINE_SIZE];
    if (fseek(handle->fp, offset, SEEK_SET) != 0) return false;
    if (fgets(line, sizeof line, handle->fp) == nullptr) return false;
    *end = ftell(handle->fp);
    return *end >= 0;
}

// Inserts the line at offset and makes it the current entry.  When the
// byte before offset is not a newline (the end of a file whose last line
// has none) a newline is written first, so the new line stands alone.
// REQUIRES: name and line are valid for writing; editAllowed passed.
void insertEntryLine(yavStanzaFile* handle, long at, const char* name, const char* value,
                     const char* line) {
    char* nameCopy = yav_zDup(name);
    char* valueCopy = nullptr;
    if (nameCopy == nullptr || !copyValue(value, &valueCopy)) {
        free(nameCopy);
        yav_zSetError(handle, YAV_S_STZ_NO_MEMORY);
        return;
    }
    bool joinsPrevious = false;
    if (at > 0) {
        if (fseek(handle->fp, at - 1, SEEK_SET) != 0) {
            free(nameCopy);
            free(valueCopy);
            yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
            return;
        }
        int c = fgetc(handle->fp);
        if (c == EOF) {
            free(nameCopy);
            free(valueCopy);
            yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
            return;
        }
        joinsPrevious = c != '\n';
    }
    char text[YAV_STZ_LINE_SIZE + 1];
    snprintf(text, sizeof text, "%s%s", joinsPrevious ? "\n" : "", line);
    if (!yav_zReplaceText(handle->fp, at, at, text)) {
        free(nameCopy);
        free(valueCopy);
        yav_zSetError(handle, YAV_S_STZ_UPDATE_FAILED);
        return;
    }
    long start = at + (joinsPrevious ? 1 : 0);
    yav_zClearEntry(handle);
    handle->entryName = nameCopy;
    handle->value = valueCopy;
    handle->lineOffset = start;
    if (fseek(handle->fp, start + static_cast<long>(strlen(line)), SEEK_SET) != 0) {
        yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
    }
}

// Removes the current line; the stream is left at the end of the file.
int deleteCurrentLine(yavStanzaFile* handle) {
    long end = 0;
    if (!lineEnd(handle, handle->lineOffset, &end)) {
        yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
        return 0;
    }
    if (!yav_zReplaceText(handle->fp, handle->lineOffset, end, "")) {
        yav_zSetError(handle, YAV_S_STZ_UPDATE_FAILED);
        return 0;
    }
    // The entry is gone; what was after it now starts at lineOffset.
    yav_zClearEntry(handle);
    return 1;
}

}  // namespace

int yav_zReplaceText(FILE* stream, long from, long to, const char* text) {
    if (from < 0 || to < from) return 0;
    char path[64];
    snprintf(path, sizeof path, "/tmp/stzlink%d", static_cast<int>(getpid()));
    FILE* scratch = openScratch(path);
    if (scratch == nullptr) return 0;

    bool ok = fseek(stream, to, SEEK_SET) == 0 && copyRest(stream, scratch) &&
              fflush(scratch) == 0 && fseek(scratch, 0, SEEK_SET) == 0 &&
              fseek(stream, from, SEEK_SET) == 0 && (text[0] == '\0' || fputs(text, stream) >= 0) &&
              copyRest(scratch, stream) && fflush(stream) == 0;
    if (ok) {
        long end = ftell(stream);
        ok = end >= 0 && ftruncate(fileno(stream), end) == 0;
    }
    fclose(scratch);
    unlink(path);
    return ok ? 1 : 0;
}

void yavStzChangeValue(yavStanzaFile* handle, const char* value) {
    handle->status = 0;
    if (!editAllowed(handle, handle->stanzaName != nullptr && handle->entryName != nullptr)) {
        return;
    }
    char line[YAV_STZ_LINE_SIZE];
    if (!formatEntry(line, handle->entryName, value)) {
        yav_zSetError(handle, YAV_S_STZ_INVALID_ARGUMENT);
        return;
    }
    char* copy = nullptr;
    if (!copyValue(value, &copy)) {
        yav_zSetError(handle, YAV_S_STZ_NO_MEMORY);
        return;
    }
    long end = 0;
    if (!lineEnd(handle, handle->lineOffset, &end)) {
        free(copy);
        yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
        return;
    }
    if (!yav_zReplaceText(handle->fp, handle->lineOffset, end, line)) {
        free(copy);
        yav_zSetError(handle, YAV_S_STZ_UPDATE_FAILED);
        return;
    }
    free(handle->value);
    handle->value = copy;
    // Stand after the new line, as after reading it.
    if (!lineEnd(handle, handle->lineOffset, &end)) {
        yav_zSetError(handle, YAV_S_STZ_READ_FAILED);
    }
}

void yavStzAddStanza(yavStanzaFile* handle, const char* name) {
    handle->status = 0;
    if (!editAllowed(handle, name != nullptr)) return;
    char line[YAV_STZ_LINE_SIZE];
    int n = snprintf(line, sizeof line, "[%s]\n", name);
    if (strpbrk(name, "]\n") != nullptr || n <= 0 || n >= YAV_STZ_LINE_SIZE) {
        yav_zSetError(handle, YAV_S_STZ_INVALID_ARGUMENT);
        return;
    }
    if (yavStzMoveStanza(handle, name)) return;
    if (handle->status != 0) return;

    char* copy = yav_zDup(name);
    if (copy == nullptr) {
        yav_zSetError(handle, YAV_S_STZ_NO_MEMORY);
        return;
    }
    FILE* fp = handle->fp;
    bool ok = fseek(fp, 0, SEEK_END) == 0;
    long end = ok ? ftell(fp) : -1;
    ok = end >= 0;
    if (ok && end > 0) {
        // A last line without newline gets one, so the head stands alone.
        int c = EOF;
        ok = fseek(fp, end - 1, SEEK_SET) == 0 && (c = fgetc(fp)) != EOF;
        ok = ok && fseek(fp, 0, SEEK_END) == 0 && (c == '\n' || fputc('\n', fp) != EOF);
    }
    ok = ok && fputs(line, fp) >= 0 && fflush(fp) == 0;
    long after = ok ? ftell(fp) : -1;
    if (after < 0) {
        free(copy);
        yav_zSetError(handle, YAV_S_STZ_UPDATE_FAILED);
        return;
    }
    yav_zClearStanza(handle);
    handle->stanzaName = copy;
    handle->stanzaOffset = after;
    handle->lineOffset = after;
}

void yavStzAddEntry(yavStanzaFile* handle, const char* name, const char* value) {
    handle->status = 0;
    if (!editAllowed(handle, name != nullptr && handle->stanzaName != nullptr)) return;
    char line[YAV_STZ_LINE_SIZE];
    if (!formatEntry(line, name, value)) {
        yav_zSetError(handle, YAV_S_STZ_INVALID_ARGUMENT);
        return;
    }
    if (yavStzMoveEntryInStanza(handle, name)) {
        yavStzChangeValue(handle, value);
        return;
    }
    if (handle->status != 0) return;
    // The failed search left lineOffset at the next stanza's head or at the
    // end of the file: the end of this stanza.
    insertEntryLine(handle, handle->lineOffset, name, value, line);
}

void yavStzInsertEntry(yavStanzaFile* handle, const char* name, const char* value) {
    handle->status = 0;
    if (!editAllowed(handle, name != nullptr && handle->stanzaName != nullptr)) return;
    char line[YAV_STZ_LINE_SIZE];
    if (!formatEntry(line, name, value)) {
        yav_zSetError(handle, YAV_S_STZ_INVALID_ARGUMENT);
        return;
    }
    insertEntryLine(handle, handle->lineOffset, name, value, line);
}

int yavStzDeleteEntry(yavStanzaFile* handle, const char* stanza, const char* name) {
    handle->status = 0;
    if (!editAllowed(handle, stanza != nullptr && name != nullptr)) return 0;
    if (!yavStzMoveEntry(handle, stanza, name)) {
        if (handle->status == 0) yav_zSetError(handle, YAV_S_CFG_ENTRY_MISSING);
        return 0;
    }
    return deleteCurrentLine(handle);
}

int yavStzDeleteCurrentEntry(yavStanzaFile* handle) {
    handle->status = 0;
    // Without a current entry the current line is the next stanza's head,
    // which is not this operation's to remove.
    if (!editAllowed(handle, handle->stanzaName != nullptr && handle->entryName != nullptr)) {
        return 0;
    }
    return deleteCurrentLine(handle);
}
