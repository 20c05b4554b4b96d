// YavFileLog: a YavLog that appends its lines to a file.
//
// The line is the one the base class writes to standard output (see
// YavLog::formatLine), written to the file in one write(2) on a descriptor
// opened for appending, so lines of several threads or processes never
// tear.  While no file is open, lines are dropped.
//
// Memory: the log owns its descriptor and closes it on destruction or when
// open() replaces it.  Threads: m_mutex guards m_fd; any thread may log,
// open or close at any time.  Not copyable.
#ifndef YAV_CORE_TRACE_YAVFILELOG_H
#define YAV_CORE_TRACE_YAVFILELOG_H

#include <pthread.h>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "core/trace/YavLog.h"

class YAV_EXPORT YavFileLog : public YavLog {
  public:
    // A log with no file: every line is dropped until open() succeeds.
    explicit YavFileLog(bool localCodePage = false);
    // A log on the named file (created with mode 0644 when missing,
    // appended to otherwise).  When the file cannot be opened the log
    // starts closed; isOpen() tells.
    explicit YavFileLog(const char* name, bool localCodePage = false);
    explicit YavFileLog(const YavLCPStringRef& name, bool localCodePage = false);
    ~YavFileLog() override;

    // Opens the named file for appending and makes it the log's file,
    // closing the one before.  0, or the status of the failing call (then
    // the earlier file, if any, stays in use).
    yav_status_t open(const char* name);
    yav_status_t open(const YavLCPStringRef& name);
    // Closes the file; later lines are dropped.
    void close();
    bool isOpen() const;

    void logImpl(int severity, const char* file, int line, const char* component,
                 const YavStringRef& text) override;

  private:
    mutable pthread_mutex_t m_mutex = PTHREAD_MUTEX_INITIALIZER;
    int m_fd;  // -1 when no file is open; guarded by m_mutex
};

#endif  // YAV_CORE_TRACE_YAVFILELOG_H
