// Routes: parsing destination lists, the open log files behind them, and
// rotation of those files.
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <new>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc_internal.h"

namespace {

struct Keyword {
    const char* word;
    svc_dest_kind kind;
};

const Keyword kKeywords[] = {
    {"STDOUT", svc_dest_stdout},       {"STDERR", svc_dest_stderr},
    {"XMLSTDOUT", svc_dest_xmlstdout}, {"XMLSTDERR", svc_dest_xmlstderr},
    {"DISCARD", svc_dest_discard},     {"TEXTFILE", svc_dest_textfile},
    {"FILE", svc_dest_textfile},       {"UTF8FILE", svc_dest_utf8file},
    {"XMLFILE", svc_dest_xmlfile},     {"GOESTO", svc_dest_goesto},
};

bool isFileKind(svc_dest_kind kind) {
    return kind == svc_dest_textfile || kind == svc_dest_utf8file || kind == svc_dest_xmlfile;
}

// A whole decimal number of at most maxDigits digits.
bool parseDecimal(const char* text, unsigned maxDigits, unsigned long long* value) {
    size_t len = strlen(text);
    if (len == 0 || len > maxDigits) return false;
    unsigned long long v = 0;
    for (size_t i = 0; i < len; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + static_cast<unsigned>(text[i] - '0');
    }
    *value = v;
    return true;
}

bool lookUpUser(const char* name, uid_t* uid) {
    struct passwd pw;
    struct passwd* found = nullptr;
    char buffer[16384];
    if (getpwnam_r(name, &pw, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
        return false;
    }
    *uid = found->pw_uid;
    return true;
}

bool lookUpGroup(const char* name, gid_t* gid) {
    struct group gr;
    struct group* found = nullptr;
    char buffer[16384];
    if (getgrnam_r(name, &gr, buffer, sizeof buffer, &found) != 0 || found == nullptr) {
        return false;
    }
    *gid = found->gr_gid;
    return true;
}

void openFile(svc_file* file) {
    mode_t mode = file->mode != static_cast<mode_t>(-1) ? file->mode : 0666;
    file->fd = open(file->path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, mode);
    file->size = 0;
    if (file->fd < 0) return;
    // open applies the umask; a mode that was asked for is set exactly.
    if (file->mode != static_cast<mode_t>(-1)) (void)fchmod(file->fd, file->mode);
    if (file->uid != static_cast<uid_t>(-1) || file->gid != static_cast<gid_t>(-1)) {
        (void)fchown(file->fd, file->uid, file->gid);  // not permitted: keep the owner
    }
    struct stat st;
    if (fstat(file->fd, &st) == 0) file->size = st.st_size;
}

// The file record for path: a known one gets the new settings and one more
// reference; otherwise the old generations are shifted and the file opened.
svc_file* acquireFile(const char* path, unsigned gens, off_t limit, mode_t mode, uid_t uid,
                      gid_t gid) {
    svc_state& st = svc_global();
    for (svc_file* f = st.files; f != nullptr; f = f->next) {
        if (strcmp(f->path, path) == 0) {
            f->gens = gens;
            f->limit = limit;
            f->mode = mode;
            f->uid = uid;
            f->gid = gid;
            if (f->fd < 0) openFile(f);  // it could not be opened before: try again
            ++f->refs;
            return f;
        }
    }
    svc_file* f = new (std::nothrow) svc_file();
    if (f == nullptr) return nullptr;
    f->path = svc_copy_text(path, strlen(path));
    if (f->path == nullptr) {
        delete f;
        return nullptr;
    }
    f->gens = gens;
    f->limit = limit;
    f->mode = mode;
    f->uid = uid;
    f->gid = gid;
    f->refs = 1;
    svc_archive_log_file(f->path, f->gens);
    openFile(f);
    f->next = st.files;
    st.files = f;
    return f;
}

void releaseFile(svc_file* file) {
    if (--file->refs > 0) return;
    svc_state& st = svc_global();
    for (svc_file** link = &st.files; *link != nullptr; link = &(*link)->next) {
        if (*link == file) {
            *link = file->next;
            break;
        }
    }
    if (file->fd >= 0) close(file->fd);
    free(file->path);
    delete file;
}

// Parses one destination: how[.gens.limit]:where[:mode[:user[:group]]].
// text is a modifiable copy.
yav_status_t parseDest(char* text, svc_dest** out) {
    char* fields[5] = {text, nullptr, nullptr, nullptr, nullptr};
    unsigned count = 1;
    for (char* p = text; *p != '\0'; ++p) {
        if (*p != ':') continue;
        if (count == 5) return YAV_SVC_S_BAD_ROUTE;
        *p = '\0';
        fields[count++] = p + 1;
    }
    const char* where = count > 1 ? fields[1] : "";

    // how[.gens.limit]
    char* how = fields[0];
    char* gensText = strchr(how, '.');
    char* limitText = nullptr;
    if (gensText != nullptr) {
        *gensText++ = '\0';
        limitText = strchr(gensText, '.');
        if (limitText == nullptr) return YAV_SVC_S_BAD_ROUTE;  // gens and limit go together
        *limitText++ = '\0';
    }
    if (how[0] == '\0') return YAV_SVC_S_BAD_ROUTE;
    svc_dest_kind kind = svc_dest_named;
    for (const Keyword& k : kKeywords) {
        if (strcmp(how, k.word) == 0) kind = k.kind;
    }

    unsigned gens = 0;
    off_t limit = 0;
    if (gensText != nullptr) {
        unsigned long long g;
        unsigned long long l;
        if (!parseDecimal(gensText, 9, &g) || !parseDecimal(limitText, 18, &l)) {
            return YAV_SVC_S_BAD_ROUTE;
        }
        gens = g > kSvcMaxGenerations ? kSvcMaxGenerations : static_cast<unsigned>(g);
        limit = static_cast<off_t>(l);
    }

    mode_t mode = static_cast<mode_t>(-1);
    uid_t uid = static_cast<uid_t>(-1);
    gid_t gid = static_cast<gid_t>(-1);
    if (count > 2 && fields[2][0] != '\0') {
        unsigned long m = 0;
        for (const char* p = fields[2]; *p != '\0'; ++p) {
            if (*p < '0' || *p > '7' || m > 07777) return YAV_SVC_S_BAD_ROUTE;
            m = m * 8 + static_cast<unsigned>(*p - '0');
        }
        if (m <= 0777) mode = static_cast<mode_t>(m);  // larger modes are ignored
    }
    if (count > 3 && fields[3][0] != '\0') (void)lookUpUser(fields[3], &uid);
    if (count > 4 && fields[4][0] != '\0') (void)lookUpGroup(fields[4], &gid);

    svc_dest* dest = new (std::nothrow) svc_dest();
    if (dest == nullptr) return YAV_SVC_S_NO_MEMORY;
    dest->kind = kind;
    yav_status_t status = 0;
    if (kind == svc_dest_goesto) {
        int target = svc_severity_index(where, strlen(where));
        if (target < 0) {
            status = YAV_SVC_S_BAD_ROUTE;
        } else {
            dest->target = static_cast<unsigned>(target);
        }
    } else if (kind == svc_dest_named) {
        dest->name = svc_copy_text(how, strlen(how));
        dest->where = svc_copy_text(where, strlen(where));
        if (dest->name == nullptr || dest->where == nullptr) status = YAV_SVC_S_NO_MEMORY;
    } else if (isFileKind(kind)) {
        char path[PATH_MAX];
        status = where[0] == '\0'
                     ? YAV_SVC_S_BAD_ROUTE
                     : svc_expand_file_name(where, static_cast<long>(getpid()), path, sizeof path);
        if (status == 0) {
            dest->file = acquireFile(path, gens, limit, mode, uid, gid);
            if (dest->file == nullptr) status = YAV_SVC_S_NO_MEMORY;
        }
    }
    if (status != 0) {
        svc_free_dests(dest);
        return status;
    }
    *out = dest;
    return 0;
}

}  // namespace

yav_status_t svc_expand_file_name(const char* where, long pid, char* out, size_t size) {
    // The name becomes a format of our own making: the conversion found is
    // rebuilt with an "l" length so that it takes exactly the long we pass.
    size_t len = strlen(where);
    char* format = static_cast<char*>(malloc(len + 2));
    if (format == nullptr) return YAV_SVC_S_NO_MEMORY;
    size_t n = 0;
    unsigned conversions = 0;
    yav_status_t status = 0;
    for (size_t i = 0; i < len && status == 0; ++i) {
        if (where[i] != '%') {
            format[n++] = where[i];
            continue;
        }
        if (where[i + 1] == '%') {
            format[n++] = '%';
            format[n++] = '%';
            ++i;
            continue;
        }
        if (++conversions > 1) {
            status = YAV_SVC_S_BAD_ROUTE;
            break;
        }
        size_t j = i + 1;
        size_t flagsStart = j;
        bool alternate = false;
        while (where[j] != '\0' && strchr("-+ 0#", where[j]) != nullptr) {
            alternate |= where[j] == '#';
            ++j;
        }
        size_t digitsStart = j;
        while (where[j] >= '0' && where[j] <= '9') ++j;
        bool ok = j - digitsStart <= 3;
        if (where[j] == '.') {
            size_t precisionStart = ++j;
            while (where[j] >= '0' && where[j] <= '9') ++j;
            ok = ok && j - precisionStart <= 3;
        }
        size_t specEnd = j;
        size_t lengths = 0;
        while (where[j] != '\0' && strchr("hljzt", where[j]) != nullptr) {
            ++j;
            ++lengths;
        }
        char conv = where[j];
        ok = ok && lengths <= 2 && conv != '\0' && strchr("diuxXo", conv) != nullptr;
        ok = ok && (!alternate || strchr("xXo", conv) != nullptr);
        if (!ok) {
            status = YAV_SVC_S_BAD_ROUTE;
            break;
        }
        format[n++] = '%';
        memcpy(format + n, where + flagsStart, specEnd - flagsStart);
        n += specEnd - flagsStart;
        format[n++] = 'l';
        format[n++] = conv;
        i = j;
    }
    format[n] = '\0';
    if (status == 0) {
        int written = snprintf(out, size, format, pid);
        if (written < 0 || static_cast<size_t>(written) >= size) status = YAV_SVC_S_BAD_ROUTE;
    }
    free(format);
    return status;
}

void svc_archive_log_file(const char* path, unsigned gens) {
    if (gens == 0) return;
    struct stat st;
    if (lstat(path, &st) != 0) return;
    char name[PATH_MAX + 16];
    for (unsigned k = 1; k < gens; ++k) {
        snprintf(name, sizeof name, "%s.%u", path, k);
        if (lstat(name, &st) != 0 && errno == ENOENT) {
            (void)rename(path, name);
            return;
        }
    }
    snprintf(name, sizeof name, "%s.1", path);
    (void)unlink(name);
    (void)rename(path, name);
}

char* svc_copy_text(const char* text, size_t len) {
    char* copy = static_cast<char*>(malloc(len + 1));
    if (copy == nullptr) return nullptr;
    memcpy(copy, text, len);
    copy[len] = '\0';
    return copy;
}

void svc_write_fd(int fd, const char* data, size_t len) {
    while (len > 0) {
        ssize_t n = write(fd, data, len);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        data += n;
        len -= static_cast<size_t>(n);
    }
}

void svc_file_write(svc_file* file, const char* data, size_t len) {
    if (file->rotatePending) {
        file->rotatePending = false;
        if (file->fd >= 0) close(file->fd);
        svc_archive_log_file(file->path, file->gens);
        openFile(file);
    }
    if (file->fd < 0) return;
    svc_write_fd(file->fd, data, len);
    file->size += static_cast<off_t>(len);
    if (file->gens > 0 && file->limit > 0 && file->size >= file->limit) {
        file->rotatePending = true;
    }
}

void svc_close_files() {
    for (svc_file* f = svc_global().files; f != nullptr; f = f->next) {
        if (f->fd >= 0) close(f->fd);
        f->fd = -1;
        f->rotatePending = false;
    }
}

void svc_free_dests(svc_dest* list) {
    while (list != nullptr) {
        svc_dest* next = list->next;
        if (list->file != nullptr) releaseFile(list->file);
        free(list->name);
        free(list->where);
        delete list;
        list = next;
    }
}

yav_status_t svc_parse_dests(const char* text, svc_dest** out) {
    *out = nullptr;
    svc_dest** tail = out;
    const char* p = text;
    while (*p != '\0') {
        if (*p == ';') {
            ++p;
            continue;
        }
        const char* end = strchr(p, ';');
        size_t len = end != nullptr ? static_cast<size_t>(end - p) : strlen(p);
        char* copy = svc_copy_text(p, len);
        yav_status_t status = copy != nullptr ? parseDest(copy, tail) : YAV_SVC_S_NO_MEMORY;
        free(copy);
        if (status != 0) {
            svc_free_dests(*out);
            *out = nullptr;
            return status;
        }
        tail = &(*tail)->next;
        p += len;
    }
    return 0;
}

yav_status_t svc_set_severity_route(int index, const char* dests) {
    svc_dest* lists[kSvcSeverityCount] = {};
    unsigned first = index < 0 ? 0 : static_cast<unsigned>(index);
    unsigned last = index < 0 ? kSvcSeverityCount - 1 : first;
    for (unsigned i = first; i <= last; ++i) {
        yav_status_t status = svc_parse_dests(dests, &lists[i]);
        if (status != 0) {
            for (svc_dest* list : lists) svc_free_dests(list);
            return status;
        }
    }
    svc_state& st = svc_global();
    for (unsigned i = first; i <= last; ++i) {
        svc_dest* old = st.sevDests[i];
        st.sevDests[i] = lists[i];
        st.sevSet[i] = true;
        st.sevTried[i] = true;
        svc_free_dests(old);
    }
    return 0;
}
