#include "core/system/yav_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_sys_error.h"

namespace {

constexpr size_t kBlockSize = 8192;

// The status of the errno that a failed call left, named after the call.
yav_status_t failed(const char* routine) { return yav_sys_status(errno, routine); }

// Opens path for reading, without blocking on a FIFO, and insists on a
// regular file.
yav_status_t open_regular(const char* path, int* fd, struct stat* info) {
    *fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (*fd < 0) return failed("open");
    if (fstat(*fd, info) != 0) {
        yav_status_t status = failed("fstat");
        close(*fd);
        return status;
    }
    if (!S_ISREG(info->st_mode)) {
        close(*fd);
        return yav_sys_status(EINVAL);
    }
    return 0;
}

// Reads up to size bytes at offset; *got is short only at the end of the
// file.  Every round reads at least one byte or ends.
yav_status_t read_at(int fd, char* buffer, size_t size, off_t offset, size_t* got) {
    *got = 0;
    while (*got < size) {
        ssize_t n = pread(fd, buffer + *got, size - *got, offset + static_cast<off_t>(*got));
        if (n < 0) {
            if (errno == EINTR) continue;
            return failed("pread");
        }
        if (n == 0) break;
        *got += static_cast<size_t>(n);
    }
    return 0;
}

yav_status_t write_all(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return failed("write");
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

yav_status_t copy_bytes(int in, int out, off_t total) {
    char block[kBlockSize];
    off_t offset = 0;
    while (offset < total) {
        size_t want = kBlockSize;
        if (total - offset < static_cast<off_t>(want)) want = static_cast<size_t>(total - offset);
        size_t got = 0;
        yav_status_t status = read_at(in, block, want, offset, &got);
        if (status != 0) return status;
        if (got == 0) break;  // the file shrank meanwhile
        status = write_all(out, block, got);
        if (status != 0) return status;
        offset += static_cast<off_t>(got);
    }
    return 0;
}

}  // namespace

yav_status_t yav_file_copy(const char* from, const char* to) {
    int in;
    struct stat source;
    yav_status_t status = open_regular(from, &in, &source);
    if (status != 0) return status;

    // Open without truncating first: a destination that is the source
    // itself must be refused before its contents are lost.
    int out = open(to, O_WRONLY | O_CREAT | O_CLOEXEC, source.st_mode & 0777);
    if (out < 0) {
        status = failed("open");
        close(in);
        return status;
    }
    struct stat target;
    if (fstat(out, &target) != 0) {
        status = failed("fstat");
    } else if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) {
        close(in);
        close(out);
        return yav_sys_status(EINVAL);
    } else if (ftruncate(out, 0) != 0) {
        status = failed("ftruncate");
    } else {
        status = copy_bytes(in, out, source.st_size);
    }
    close(in);
    if (close(out) != 0 && status == 0) status = failed("close");
    if (status != 0) unlink(to);
    return status;
}

yav_status_t yav_file_remove(const char* path) { return unlink(path) == 0 ? 0 : failed("unlink"); }

yav_status_t yav_file_rename(const char* from, const char* to) {
    return rename(from, to) == 0 ? 0 : failed("rename");
}

yav_status_t yav_file_symlink(const char* target, const char* linkPath) {
    return symlink(target, linkPath) == 0 ? 0 : failed("symlink");
}

yav_status_t yav_file_chown(const char* path, uid_t owner, gid_t group) {
    return chown(path, owner, group) == 0 ? 0 : failed("chown");
}

bool yav_file_exists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

bool yav_dir_exists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

namespace {

// Offset where the last `lines` lines of the file (size bytes) begin.
yav_status_t find_tail_start(int fd, off_t size, size_t lines, off_t* start) {
    *start = 0;
    off_t scanEnd = size;
    if (size > 0) {
        char last;
        size_t got = 0;
        yav_status_t status = read_at(fd, &last, 1, size - 1, &got);
        if (status != 0) return status;
        if (got == 1 && last == '\n') scanEnd = size - 1;  // ends the last line
    }
    char block[kBlockSize];
    size_t seen = 0;
    for (off_t pos = scanEnd; pos > 0;) {
        size_t chunk = pos < static_cast<off_t>(kBlockSize) ? static_cast<size_t>(pos) : kBlockSize;
        off_t blockStart = pos - static_cast<off_t>(chunk);
        size_t got = 0;
        yav_status_t status = read_at(fd, block, chunk, blockStart, &got);
        if (status != 0) return status;
        for (size_t i = got; i > 0; --i) {
            if (block[i - 1] == '\n' && ++seen == lines) {
                *start = blockStart + static_cast<off_t>(i);
                return 0;
            }
        }
        pos = blockStart;
    }
    return 0;
}

}  // namespace

yav_status_t yav_file_tail(const char* path, size_t lines, char* buffer, size_t size,
                           size_t* length) {
    *length = 0;
    buffer[0] = '\0';
    if (lines == 0) return 0;
    int fd;
    struct stat info;
    yav_status_t status = open_regular(path, &fd, &info);
    if (status != 0) return status;

    off_t end = info.st_size;
    off_t start = 0;
    status = find_tail_start(fd, end, lines, &start);
    bool cut = false;
    if (status == 0 && end - start > static_cast<off_t>(size - 1)) {
        start = end - static_cast<off_t>(size - 1);
        cut = true;
    }
    size_t got = 0;
    if (status == 0) status = read_at(fd, buffer, static_cast<size_t>(end - start), start, &got);
    char before = '\n';
    if (status == 0 && cut) {
        size_t one = 0;
        status = read_at(fd, &before, 1, start - 1, &one);
    }
    close(fd);
    if (status != 0) {
        buffer[0] = '\0';
        return status;
    }

    size_t skip = 0;
    if (cut && before != '\n') {
        // The text begins inside a line: drop that partial line when a
        // later line follows it, else keep the end of the last line from a
        // character boundary.
        const char* newline = static_cast<const char*>(memchr(buffer, '\n', got));
        if (newline != nullptr && static_cast<size_t>(newline - buffer) + 1 < got) {
            skip = static_cast<size_t>(newline - buffer) + 1;
        } else {
            while (skip < got && (static_cast<unsigned char>(buffer[skip]) & 0xC0) == 0x80) ++skip;
        }
    }
    memmove(buffer, buffer + skip, got - skip);
    *length = got - skip;
    buffer[*length] = '\0';
    return 0;
}

yav_status_t yav_file_readline(FILE* stream, YavAllocator* allocator, char** line, size_t* capacity,
                               size_t* length) {
    *length = 0;
    yav_status_t status = 0;
    bool any = false;
    flockfile(stream);
    for (;;) {
        // Room for one more byte and the terminator; the block doubles.
        size_t have = *line != nullptr ? *capacity : 0;
        if (*length + 2 > have) {
            if (have > SIZE_MAX / 2) {
                status = YAV_S_NO_MEMORY;
                break;
            }
            size_t grown = have < 64 ? 128 : have * 2;
            void* block = YavAllocator::reallocate(allocator, *line, have, grown);
            if (block == nullptr) {
                status = YAV_S_NO_MEMORY;
                break;
            }
            *line = static_cast<char*>(block);
            *capacity = grown;
        }
        int c = getc_unlocked(stream);
        if (c == EOF) {
            if (ferror_unlocked(stream)) status = failed("getc");
            break;
        }
        any = true;
        if (c == '\n') break;
        (*line)[(*length)++] = static_cast<char>(c);
    }
    funlockfile(stream);
    if (*line != nullptr) (*line)[*length] = '\0';
    if (status == 0 && !any) status = YAV_S_NOT_AVAILABLE;
    return status;
}

yav_status_t yav_get_file_properties(const char* path, yav_file_properties_t* properties) {
    struct stat info;
    if (stat(path, &info) != 0) return failed("stat");
    properties->mode = info.st_mode & 07777;
    properties->owner = info.st_uid;
    properties->group = info.st_gid;
    properties->isDirectory = S_ISDIR(info.st_mode);
    properties->size = info.st_size;
    properties->modified = info.st_mtime;
    return 0;
}

yav_status_t yav_set_file_properties(const char* path, const yav_file_properties_t* properties) {
    if (chown(path, properties->owner, properties->group) != 0) return failed("chown");
    if (chmod(path, properties->mode & 07777) != 0) return failed("chmod");
    return 0;
}

yav_status_t yav_mkdir(const char* path, mode_t mode) {
    if (mkdir(path, mode) == 0) return 0;
    if (errno == EEXIST && yav_dir_exists(path)) return 0;
    return failed("mkdir");
}

yav_status_t yav_mktemp(char* pathTemplate, int* fd) {
    int made = mkostemp(pathTemplate, O_CLOEXEC);
    if (made < 0) return failed("mkostemp");
    if (fd != nullptr) {
        *fd = made;
    } else {
        close(made);
    }
    return 0;
}

const char* yav_basename(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

yav_status_t yav_popen(const char* command, const char* mode, FILE** stream) {
    errno = 0;
    *stream = popen(command, mode);
    if (*stream != nullptr) return 0;
    // popen does not set errno for every failure.
    return yav_sys_status(errno != 0 ? errno : EINVAL, "popen");
}

yav_status_t yav_pclose(FILE* stream, int* exitStatus) {
    int result = pclose(stream);
    if (result == -1) return failed("pclose");
    if (exitStatus != nullptr) *exitStatus = result;
    return 0;
}

struct yav_dir_s {
    DIR* stream;
    char entry[YAV_DIR_ENTRY_SIZE];
};

yav_status_t yav_opendir(const char* path, yav_dir_t* dir) {
    *dir = nullptr;
    yav_dir_t made = new (std::nothrow) yav_dir_s;
    if (made == nullptr) return YAV_S_NO_MEMORY;
    made->stream = opendir(path);
    if (made->stream == nullptr) {
        yav_status_t status = failed("opendir");
        delete made;
        return status;
    }
    *dir = made;
    return 0;
}

const char* yav_readdir(yav_dir_t dir) {
    memset(dir->entry, 0, sizeof dir->entry);
    // Each round consumes one entry of a finite stream.
    for (;;) {
        const struct dirent* entry = readdir(dir->stream);
        if (entry == nullptr) return nullptr;
        const char* name = entry->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
        size_t len = strnlen(name, sizeof dir->entry - 1);
        memcpy(dir->entry, name, len);
        return dir->entry;
    }
}

void yav_closedir(yav_dir_t dir) {
    if (dir == nullptr) return;
    closedir(dir->stream);
    delete dir;
}
