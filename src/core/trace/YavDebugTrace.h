// YavDebugTrace: a scoped, printf-style message for a trace.
//
// The object collects the text of one or more append() calls and, when it
// goes out of scope, writes it to the trace at the level given at
// construction, as one trace line.  When that level is disabled at
// construction nothing is formatted or written.
//
//     {
//         YavDebugTrace t(trace, 5, __FILE__, __LINE__);
//         t.append("header %s", name);
//         for (...) t.append(" %d", value);
//     }   // one line: "header Host 1 2 3"
//
// Memory: the text is an owned YavString (inline while short).  The trace
// must outlive the object.  Threads: one thread uses the object.  Not
// copyable.
#ifndef YAV_CORE_TRACE_YAVDEBUGTRACE_H
#define YAV_CORE_TRACE_YAVDEBUGTRACE_H

#include <cstdarg>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "core/trace/YavTrace.h"

class YAV_EXPORT YavDebugTrace {
  public:
    // trace may be null (nothing is written).
    YavDebugTrace(YavTrace* trace, int level, const char* file, int line);
    ~YavDebugTrace();
    YAV_DISALLOW_COPY(YavDebugTrace);

    bool isEnabled() const { return m_enabled; }

    // Appends formatted text (the printf engine, default code set).  A
    // format that fails is appended as it is; when memory runs short the
    // text keeps what it had.
    void append(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void vappend(const char* format, va_list args);

    // Writes the collected text now (when there is any) and starts afresh.
    void flush();

  private:
    YavTrace* m_trace;
    int m_level;
    const char* m_file;
    int m_line;
    bool m_enabled;
    YavString m_text;
};

// Appends formatted text to a YAV text buffer; shared by the debug tracers.
// Returns false when memory ran short.
bool yav_trace_vappend(YavString& text, const char* format, va_list args);

#endif  // YAV_CORE_TRACE_YAVDEBUGTRACE_H
