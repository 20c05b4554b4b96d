// YavTrace: a named trace with a level, writing through a YavLog.
//
// A trace call names a level; it writes only when that level is at most the
// trace's level, and a call above the level costs one load and one
// comparison (the checks are inline, the work is out of line).  Use the
// YAV_TRACE macro for formatted output: when the level is disabled it does
// not even evaluate the arguments.  A written line reads
//     "[<virtual host>] [<client address>] <text>"
// with the calling thread's details (setThreadVH, setThreadIP); without a
// virtual host the first part is left out, without an address the brackets
// stay empty: "[] <text>".  The log receives it with severity level + 3
// (level n prints as "TRACE n").  A line has no length limit of its own:
// up to 1 KiB it is assembled on the stack, beyond that in a heap block,
// and when that block cannot be had the bare text is written instead.
//
// Memory: the trace owns a copy of its component name, and its log when
// setLog was told so (the log is then deleted with the trace or when
// replaced).  Thread details are per-thread heap records, freed when their
// thread ends (cleanup, the thread-specific-data destructor) or by
// shutdown for the calling thread; a detail buffer is reused while the new
// text fits, so a warm thread sets its details without allocating.
//
// Threads: the level is read and written without a lock (an atomic word
// with relaxed order: a change reaches other threads soon, not at once);
// any thread may trace and change the level at any time.  The log pointer
// is published with release/acquire order, but replacing an owned log
// deletes it: REQUIRES no other thread traces through this trace during
// setLog or destruction.  Not copyable.
#ifndef YAV_CORE_TRACE_YAVTRACE_H
#define YAV_CORE_TRACE_YAVTRACE_H

#include <atomic>
#include <cstdarg>
#include <cstddef>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "core/trace/YavLog.h"

class YAV_EXPORT YavTrace {
  public:
    // The calling thread's request details; text the thread set, or null.
    struct ThreadDetails {
        char* ip;  // client address
        size_t ipCapacity;
        char* vh;  // virtual host
        size_t vhCapacity;
    };

    // The component name is copied (see ok()); log may be null (nothing is
    // written until setLog) and is not owned.
    YavTrace(int level, const char* component, YavLog* log);
    ~YavTrace();
    YAV_DISALLOW_COPY(YavTrace);

    // False when the component name could not be copied (memory).
    bool ok() const { return m_component.ok(); }

    void setLevel(int level) { m_level.store(level, std::memory_order_relaxed); }
    int getLevel() const { return m_level.load(std::memory_order_relaxed); }
    bool isEnabled(int level) const { return level <= m_level.load(std::memory_order_relaxed); }

    // Makes log the trace's log; when owned, the trace deletes it later.
    // A log the trace owned before is deleted (unless it is log itself).
    void setLog(YavLog* log, bool owned);
    YavLog* getLog() const { return m_log.load(std::memory_order_acquire); }
    bool ownsLog() const { return m_ownsLog; }
    const YavString& getComponent() const { return m_component; }

    // Writes text at level (see above).
    void trace(int level, const char* file, int line, const YavStringRef& text) {
        if (isEnabled(level)) write(level, file, line, text.getData(), text.getLength());
    }
    // length < 0: text is zero-terminated.  A null text is the empty text.
    void trace(int level, const char* file, int line, const char* text, int length) {
        if (isEnabled(level)) write(level, file, line, text, length);
    }
    // Formats with the printf engine (in the default code set), then
    // writes as trace does.  A format that fails is written as it is.
    void ftrace(int level, const char* file, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));
    void vftrace(int level, const char* file, int line, const char* format, va_list args);

    // Creates, once per process, the thread-specific key of the thread
    // details and registers shutdown() with yav_shutdown.  0, or the status
    // of the failure, which is logged (the details then stay unavailable:
    // setThread* fail and getThread* give null).
    static yav_status_t initOnce();
    // Removes every trace of the registry (deleting the logs they own) and
    // frees the calling thread's details.
    // REQUIRES: no other thread traces or uses a trace meanwhile.
    static void shutdown();
    // The thread-specific-data destructor of a ThreadDetails record.
    static void cleanup(void* details);
    // The calling thread's record, or null when it has none.
    static ThreadDetails* getThreadDetails();
    // Store a private copy of text (null clears it) as the calling thread's
    // client address / virtual host.  0, YAV_S_NO_MEMORY, or the status of
    // initOnce's failure.
    static yav_status_t setThreadIP(const char* text);
    static yav_status_t setThreadVH(const char* text);
    // The calling thread's text, or null.  Valid until the thread sets it
    // again or ends.
    static const char* getThreadIP();
    static const char* getThreadVH();

  private:
    void write(int level, const char* file, int line, const char* text, int length);

    std::atomic<YavLog*> m_log;
    bool m_ownsLog;
    YavString m_component;
    std::atomic<int> m_level;
};

// Formatted trace output that costs one comparison, and evaluates none of
// the format arguments, when the level is disabled.  A null trace writes
// nothing.
#define YAV_TRACE(trace, level, ...)                                               \
    do {                                                                           \
        YavTrace* const yav_trace_ = (trace);                                      \
        const int yav_trace_level_ = (level);                                      \
        if (yav_trace_ != nullptr && yav_trace_->isEnabled(yav_trace_level_))      \
            yav_trace_->ftrace(yav_trace_level_, __FILE__, __LINE__, __VA_ARGS__); \
    } while (0)

#endif  // YAV_CORE_TRACE_YAVTRACE_H
