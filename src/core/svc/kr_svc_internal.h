// Internals of the serviceability layer shared by its source files and its
// tests (not exported): the global state, routes and open log files, the
// record being logged and the growable buffer its lines are built in.
//
// Everything in svc_state, every svc_dest and svc_file, and the debug route
// of every handle is guarded by the global mutex (svc_lock); a handle's
// levels, notify callback and prepared flag are atomics read without it.
#ifndef YAV_CORE_SVC_KR_SVC_INTERNAL_H
#define YAV_CORE_SVC_KR_SVC_INTERNAL_H

#include <sys/time.h>
#include <sys/types.h>

#include <atomic>
#include <cstdarg>
#include <cstddef>

#include "core/svc/kr_svc.h"

constexpr unsigned kSvcSeverityCount = 5;
constexpr unsigned kSvcMaxGenerations = 99;
constexpr unsigned kSvcMaxDebugLevel = 9;

// ---- routes ------------------------------------------------------------------

enum svc_dest_kind {
    svc_dest_stdout,
    svc_dest_stderr,
    svc_dest_xmlstdout,
    svc_dest_xmlstderr,
    svc_dest_discard,
    svc_dest_textfile,  // local code page
    svc_dest_utf8file,
    svc_dest_xmlfile,
    svc_dest_goesto,
    svc_dest_named,
};

// One open log file, shared (reference-counted) by every destination that
// names its path.  fd is -1 when the file could not be opened: lines for it
// are dropped.
struct svc_file {
    char* path;
    int fd;
    unsigned gens;  // old generations kept (0: never rotated)
    off_t limit;    // size that triggers rotation (0: none)
    bool rotatePending;
    mode_t mode;  // (mode_t)-1: the default, 0666 less the umask
    uid_t uid;    // (uid_t)-1: unchanged
    gid_t gid;    // (gid_t)-1: unchanged
    off_t size;   // bytes in the file as far as we know
    unsigned refs;
    svc_file* next;
};

struct svc_dest {
    svc_dest_kind kind;
    unsigned target;  // GOESTO: severity index
    char* name;       // named route: its keyword
    char* where;      // named route: the text after the keyword
    svc_file* file;   // file kinds
    svc_dest* next;
};

// A debug setting kept for a component (kr_svc_debug_routing,
// kr_svc_debug_set_levels): applied when the component's handle is
// prepared, and at once when it already is.
struct svc_stored {
    char* component;
    char* levels;  // null: none stored
    char* dests;   // null: none stored
    svc_stored* next;
};

struct svc_state {
    svc_dest* sevDests[kSvcSeverityCount];
    bool sevSet[kSvcSeverityCount];    // sevDests is the route to use
    bool sevTried[kSvcSeverityCount];  // the environment was consulted
    svc_file* files;
    svc_stored* stored;
    kr_svc_handle_s* handles;
    kr_svc_route_fn routeFn;
    void* routeArg;
    char* progname;  // null: "PID#<pid>"
};

struct kr_svc_handle_s {
    const char* component;
    const kr_svc_subcomp_t* table;
    unsigned count;
    std::atomic<unsigned>* levels;
    std::atomic<kr_svc_debug_notify_fn> notify;
    // True once the stored setting and SVC_<COMPONENT>_DBG were applied.
    std::atomic<bool> prepared;
    svc_dest* debugDests;
    bool debugSet;  // false: debug records go to standard error
    unsigned refs;
    bool isStatic;  // the plug-in's handle: never freed
    kr_svc_handle_s* next;
};

// The global mutex and the state it guards.  svc_lock initialises the layer
// first when needed.
void svc_lock();
void svc_unlock();
svc_state& svc_global();

class SvcLock {
  public:
    SvcLock() { svc_lock(); }
    ~SvcLock() { svc_unlock(); }
    YAV_DISALLOW_COPY(SvcLock);
};

// Copies the program name (or "PID#<pid>") into out, terminated and cut
// to size - 1 bytes.  REQUIRES: size > 0.
void svc_progname(char* out, size_t size);

// Index 0-4 of the severity whose name begins with the len bytes at word
// ("*" is not handled here), or -1.
int svc_severity_index(const char* word, size_t len);
// "FATAL" ... "NOTICE_VERBOSE".
const char* svc_severity_name(unsigned index);

// Parses "dest;dest;..." into a new list (*out; null for an empty list),
// opening the files it names.  0 or YAV_SVC_S_BAD_ROUTE / YAV_SVC_S_NO_MEMORY,
// after which nothing was kept.  REQUIRES: the global mutex is held.
yav_status_t svc_parse_dests(const char* text, svc_dest** out);
// REQUIRES: the global mutex is held.
void svc_free_dests(svc_dest* list);
// Sets the route of severity index (or all five for index -1) from the
// destinations text.  REQUIRES: the global mutex is held.
yav_status_t svc_set_severity_route(int index, const char* dests);

// Expands the one integer conversion that a file name may hold with the
// process id.  0, or YAV_SVC_S_BAD_ROUTE for any other conversion, more
// than one, or a result that does not fit in size bytes.
yav_status_t svc_expand_file_name(const char* where, long pid, char* out, size_t size);
// Shifts the generations of path before it is (re)opened.
void svc_archive_log_file(const char* path, unsigned gens);
// Writes one line to a file route, rotating it first when pending.
// REQUIRES: the global mutex is held.
void svc_file_write(svc_file* file, const char* data, size_t len);
// Closes every open log file.  REQUIRES: the global mutex is held.
void svc_close_files();
// A terminated copy of len bytes (malloc), or null.
char* svc_copy_text(const char* text, size_t len);
// Writes all of data to fd, retrying partial writes.
void svc_write_fd(int fd, const char* data, size_t len);

// ---- records and their renderings ----------------------------------------------

// A buffer that grows on the heap; once memory runs out it stays failed
// and its content must be dropped.  Not copyable.
class SvcBuf {
  public:
    SvcBuf() { m_inline[0] = '\0'; }
    ~SvcBuf();
    YAV_DISALLOW_COPY(SvcBuf);

    void append(const char* data, size_t len);
    void append(const char* text);
    void appendf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void clear();

    const char* data() const { return m_data; }
    size_t size() const { return m_size; }
    bool failed() const { return m_failed; }

  private:
    bool reserve(size_t extra);

    char m_inline[512];
    char* m_data = m_inline;
    size_t m_size = 0;
    size_t m_capacity = sizeof m_inline;
    bool m_failed = false;
};

// One record on its way to the destinations.
struct svc_record {
    bool isDebug;
    unsigned level;     // debug records: 1-9
    unsigned severity;  // messages: index 0-4
    uint32_t code;
    kr_svc_handle_t handle;
    unsigned subcomp;
    const char* file;
    int line;
    const char* text;  // the formatted text
    size_t textLength;
    bool textIsUtf8;  // else the local code page
    const char* argumentTypes;
    va_list* args;   // messages: the arguments (copied before each use); may be null
    ulq_cs_t argCs;  // code set of string arguments (null: local code page)
    struct timeval when;
    long pid;
    unsigned long thread;
};

// Size of a formatted timestamp with its terminator.
constexpr size_t kSvcTimeSize = 48;
// "%04d-%02d-%02d-%02d:%02d:%02d.%03d" then the zone offset "+hh:mm".
void svc_format_time(const struct timeval& when, char* out, size_t size);

// The sub-component name of rec ("-" when the index is outside the table).
const char* svc_subcomp_name(const svc_record& rec);
// The text line of rec (header, newline or blank, text, newline); its text
// in UTF-8 when utf8, else in the local code page.  progname may be null.
void svc_text_line(const svc_record& rec, const char* progname, bool brief, bool utf8, SvcBuf& out);
// The XML record of rec (Message or Trace element and two newlines).
void svc_xml_record(const svc_record& rec, SvcBuf& out);
// Appends text as one or more CDATA sections (a "]]>" inside splits them),
// as UTF-8 with characters XML cannot hold replaced by '?'.
void svc_xml_cdata(SvcBuf& out, const char* text, size_t len);
// The text of rec converted to UTF-8 / to the local code page into out.
void svc_text_utf8(const svc_record& rec, SvcBuf& out);
void svc_text_lcp(const svc_record& rec, SvcBuf& out);
// Well-formed UTF-8 from len bytes of UTF-8 text: every byte that does not
// begin a valid character becomes '?'.
void svc_sanitize_utf8(SvcBuf& out, const char* text, size_t len);

// SVC_BRIEF, read as an integer at first use; svc_reset_brief makes the
// next use read it again.
bool svc_brief();
void svc_reset_brief();

// ---- message save ------------------------------------------------------------

// Creates / deletes the thread-specific key (delete frees every thread's
// saved texts).  Called while the layer is created and shut down.
void svc_msgsave_create_key();
void svc_msgsave_delete_key();
// Adds one message text when the calling thread is saving.
void svc_msgsave_add(const char* text, size_t len);

// ---- for tests ---------------------------------------------------------------

// Forgets every route, stored setting, debug level, route callback,
// program name and the SVC_BRIEF value, and closes the log files, so that
// the next use reads the environment again.
// REQUIRES: no other thread uses the layer.
void kr_svc_test_reset();

#endif  // YAV_CORE_SVC_KR_SVC_INTERNAL_H
