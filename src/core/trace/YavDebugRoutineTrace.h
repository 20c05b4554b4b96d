// YavDebugRoutineTrace: scoped entry and exit lines of a routine.
//
// Construction writes an entry line and raises the calling thread's
// nesting level; destruction lowers it again and writes an exit line.
// Lines are indented by two blanks per nesting level (at most
// kMaxIndentLevels levels), so the entry and exit lines of one routine
// line up and nested routines stand further in:
//     "API ENTRY: <indent><routine>"
//     "API ENTRY: <indent><routine> <detail>"      (with a detail)
//     "API EXIT:  <indent><routine>"
//     "API EXIT:  <indent><routine>: <result>"     (after setResult)
// The lines go through the owning trace at the level given (each written
// when the level is enabled at that moment), so they carry the thread's
// request details and reach that trace's log.  The nesting level counts
// every routine trace of the thread, enabled or not.
//
// Memory: the routine name and file are the caller's (string literals as a
// rule) and must outlive the object; the result is an owned copy.  The
// trace must outlive the object.  Threads: the object belongs to the
// thread that made it (the nesting level is per thread).  Not copyable.
#ifndef YAV_CORE_TRACE_YAVDEBUGROUTINETRACE_H
#define YAV_CORE_TRACE_YAVDEBUGROUTINETRACE_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "core/trace/YavTrace.h"

class YAV_EXPORT YavDebugRoutineTrace {
  public:
    // Deeper nesting is indented as this many levels.
    static const int kMaxIndentLevels = 32;

    // trace may be null (only the nesting level is kept); detail may be
    // null (the simple entry line).
    YavDebugRoutineTrace(YavTrace* trace, int level, const char* routine, const char* file,
                         int line, const char* detail = nullptr);
    ~YavDebugRoutineTrace();
    YAV_DISALLOW_COPY(YavDebugRoutineTrace);

    // Sets the result shown on the exit line (printf style, replacing an
    // earlier result).
    void setResult(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // The calling thread's nesting level (routine traces alive on it).
    static int getNestingLevel();

  private:
    YavTrace* m_trace;
    int m_level;
    const char* m_routine;
    const char* m_file;
    int m_line;
    bool m_hasResult;
    YavString m_result;
};

#endif  // YAV_CORE_TRACE_YAVDEBUGROUTINETRACE_H
