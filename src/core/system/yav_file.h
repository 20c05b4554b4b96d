// File utilities: copying, removing, renaming and linking files, owners and
// modes, existence tests, the last lines of a file, reading one line of any
// length, directories, temporary files, pipes and directory listings.
//
// Every fallible function returns 0 or the status that yav_sys_status makes
// of the failing call's errno (which also logs unusual errors).  Paths are
// NUL-terminated and not null.  The functions hold no shared state and may
// be called from any thread; a directory handle (yav_dir_t) is used by one
// thread at a time, but different handles are independent.
#ifndef YAV_CORE_SYSTEM_YAV_FILE_H
#define YAV_CORE_SYSTEM_YAV_FILE_H

#include <stdio.h>
#include <sys/types.h>
#include <time.h>

#include <cstddef>

#include "core/sundry/yav_base.h"

class YavAllocator;

// Copies the regular file from to to, creating or replacing to with from's
// permission bits.  The bytes present when the copy begins are copied.
// A source that is not a regular file, or a destination that is the source
// itself, gives YAV_S_INVALID_SYS_INPUT.  A failed copy removes the partial
// destination.
YAV_EXPORT yav_status_t yav_file_copy(const char* from, const char* to);

// Removes a file (not a directory).
YAV_EXPORT yav_status_t yav_file_remove(const char* path);

// Renames from to to, replacing to.
YAV_EXPORT yav_status_t yav_file_rename(const char* from, const char* to);

// Creates linkPath as a symbolic link whose contents are target.
YAV_EXPORT yav_status_t yav_file_symlink(const char* target, const char* linkPath);

// Changes owner and group; (uid_t)-1 or (gid_t)-1 leaves that one unchanged.
YAV_EXPORT yav_status_t yav_file_chown(const char* path, uid_t owner, gid_t group);

// True when path names something that is not a directory (following
// symbolic links), respectively a directory.
YAV_EXPORT bool yav_file_exists(const char* path);
YAV_EXPORT bool yav_dir_exists(const char* path);

// The last `lines` lines of the regular file at path, as the file's bytes,
// into buffer (size bytes, always terminated); *length receives the number
// of bytes written.  Lines end with '\n'; a '\n' at the very end of the
// file ends the last line and does not begin an empty one.  When the lines
// need more than size - 1 bytes, the oldest whole lines are left out; when
// even the last line alone does not fit, its end is kept, beginning at a
// UTF-8 character boundary.
// REQUIRES: buffer is not null and size > 0.
YAV_EXPORT yav_status_t yav_file_tail(const char* path, size_t lines, char* buffer, size_t size,
                                      size_t* length);

// Reads one line of any length from stream into *line, a block of
// *capacity bytes that comes from allocator (null = the process heap) and
// belongs to the caller, who frees it with YavAllocator::deallocate.  The
// block grows as needed (*line and *capacity are updated; start with null
// and 0).  The line is stored without its '\n' and terminated; *length is
// its length (zero bytes inside the line are kept and counted).
// Returns YAV_S_NOT_AVAILABLE at the end of the stream when no byte was
// read, YAV_S_NO_MEMORY when the line does not fit in memory (the bytes
// read so far stay in *line), or the status of a read error.
YAV_EXPORT yav_status_t yav_file_readline(FILE* stream, YavAllocator* allocator, char** line,
                                          size_t* capacity, size_t* length);

// What yav_get_file_properties reports and yav_set_file_properties sets.
struct yav_file_properties_t {
    mode_t mode;       // permission bits (with set-id and sticky bits)
    uid_t owner;       // (uid_t)-1 when setting: unchanged
    gid_t group;       // (gid_t)-1 when setting: unchanged
    bool isDirectory;  // reported only
    off_t size;        // reported only
    time_t modified;   // reported only
};

// Properties of path (following symbolic links).
YAV_EXPORT yav_status_t yav_get_file_properties(const char* path,
                                                yav_file_properties_t* properties);
// Sets owner and group, then the permission bits (in this order, because a
// change of owner may clear set-id bits).
YAV_EXPORT yav_status_t yav_set_file_properties(const char* path,
                                                const yav_file_properties_t* properties);

// Creates one directory with mode (less the umask); a directory that
// already exists is success.
YAV_EXPORT yav_status_t yav_mkdir(const char* path, mode_t mode);

// Creates a new file from pathTemplate, whose last six characters must be
// "XXXXXX" and are replaced in place by the name chosen.  The file is open
// for reading and writing, mode 0600, close-on-exec: its descriptor goes
// to *fd, or it is closed when fd is null (the file stays).
YAV_EXPORT yav_status_t yav_mktemp(char* pathTemplate, int* fd);

// The part of path after its last '/' (a pointer into path; "" when path
// ends with '/').
YAV_EXPORT const char* yav_basename(const char* path);

// Runs command through the shell with a pipe to (mode "w") or from (mode
// "r") it.  yav_pclose waits for the command; *exitStatus (may be null)
// receives the wait status.
YAV_EXPORT yav_status_t yav_popen(const char* command, const char* mode, FILE** stream);
YAV_EXPORT yav_status_t yav_pclose(FILE* stream, int* exitStatus);

// Directory listing.  The handle owns the directory stream and an entry
// buffer; the name that yav_readdir returns lives in that buffer until the
// next yav_readdir or yav_closedir on the same handle.
typedef struct yav_dir_s* yav_dir_t;
// Size of a handle's entry buffer.
constexpr size_t YAV_DIR_ENTRY_SIZE = 1037;

// Opens the directory at path: 0, YAV_S_NO_MEMORY, or the status of errno.
YAV_EXPORT yav_status_t yav_opendir(const char* path, yav_dir_t* dir);
// The next entry's name, skipping "." and ".."; null at the end or on error.
YAV_EXPORT const char* yav_readdir(yav_dir_t dir);
// Closes the handle (null is allowed).
YAV_EXPORT void yav_closedir(yav_dir_t dir);

#endif  // YAV_CORE_SYSTEM_YAV_FILE_H
