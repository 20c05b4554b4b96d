// YavLog: the abstract sink of log and trace lines.
//
// A log receives finished UTF-8 text through logImpl(severity, file, line,
// component, text).  The base implementation writes one line to standard
// output, in one write(2):
//     "<time> <component> <severity name> <file> <line> <pid> <tid> <text>\n"
// (see formatLine); derived logs send the same line to a file (YavFileLog)
// or the text to the serviceability layer (YavSvcLog).  The non-virtual
// front ends turn other forms of text into that call: local-code-page text,
// the text of a status code formatted with arguments, or a printf format.
//
// The flag given at construction (localCodePage) asks the line writers to
// convert the text into the local code page before writing; a character
// with no form there is written as '?'.  Logs given to the serviceability
// layer ignore it (its records are UTF-8).
//
// Memory: a log keeps no text; front ends format into a stack buffer and
// use the process heap only for longer text.  Threads: the base class holds
// no mutable state, so any thread may log through it at any time; derived
// classes say what they guard.  Not copyable.
#ifndef YAV_CORE_TRACE_YAVLOG_H
#define YAV_CORE_TRACE_YAVLOG_H

#include <cstdarg>
#include <cstddef>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

// Severities of log lines; the value indexes the severity names, which are
// all seven characters wide.
enum YavLogSeverity {
    yav_log_info = 0,  // "INFO   "
    yav_log_warning,   // "WARNING"
    yav_log_error,     // "ERROR  "
    yav_log_trace_0,   // "TRACE 0": a trace line of level 0
    yav_log_trace_1,
    yav_log_trace_2,
    yav_log_trace_3,
    yav_log_trace_4,
    yav_log_trace_5,
    yav_log_trace_6,
    yav_log_trace_7,
    yav_log_trace_8,
    yav_log_trace_9,  // "TRACE 9"
    yav_log_severity_count
};

class YAV_EXPORT YavLog {
  public:
    // A line assembled by formatLine: on the stack while it fits, else in
    // one heap block owned by the line.  Not copyable.
    class Line {
      public:
        Line() : m_data(m_inline), m_length(0) {}
        ~Line();
        YAV_DISALLOW_COPY(Line);
        const char* data() const { return m_data; }
        size_t length() const { return m_length; }

      private:
        friend class YavLog;
        static const size_t kInlineSize = 1024;
        char m_inline[kInlineSize];
        char* m_data;
        size_t m_length;
    };

    explicit YavLog(bool localCodePage = false) : m_localCodePage(localCodePage) {}
    virtual ~YavLog();
    YAV_DISALLOW_COPY(YavLog);

    // Writes one line of UTF-8 text.  file and component may be null
    // (written as "").  Never fails towards the caller.
    virtual void logImpl(int severity, const char* file, int line, const char* component,
                         const YavStringRef& text);

    // UTF-8 text.
    void log(int severity, const char* file, int line, const char* component,
             const YavStringRef& text) {
        logImpl(severity, file, line, component, text);
    }
    // Local-code-page text, converted to UTF-8 first (a text that does not
    // convert is logged unchanged).
    void log(int severity, const char* file, int line, const char* component,
             const YavLCPStringRef& text);
    // The text of status code `code` (the message catalog's UTF-8 text,
    // else the built-in one) used as a printf format of the arguments.  A
    // text that does not format is logged as it is.
    void log(int severity, const char* file, int line, const char* component, yav_status_t code,
             ...);
    // The same with the local-code-page text of the code.
    void logLCP(int severity, const char* file, int line, const char* component, yav_status_t code,
                ...);
    // printf formats: UTF-8 / local code page.  A format that fails is
    // logged as it is.
    void flog(int severity, const char* file, int line, const char* component, const char* format,
              ...) __attribute__((format(printf, 6, 7)));
    void flogLCP(int severity, const char* file, int line, const char* component,
                 const char* format, ...) __attribute__((format(printf, 6, 7)));

    bool isLocalCodePage() const { return m_localCodePage; }

    // The seven-character name of a severity; "UNKNOWN" outside the table.
    static const char* getSeverityName(int severity);

    // The current local time as "YYYY-MM-DD-hh:mm:ss.mmm+hh:mm" (the zone's
    // offset from UTC at the end) into buffer; returns the length, or 0
    // when the time cannot be had or does not fit.
    // REQUIRES: buffer holds size > 0 bytes.
    static size_t getTimeString(char* buffer, size_t size);
    // The same for a given time (seconds and microseconds since the epoch).
    static size_t formatTimeString(long seconds, long microseconds, char* buffer, size_t size);

  protected:
    // Assembles the full line (time string, component, severity name, file,
    // line, process id, thread id, text, newline) into out, converting the
    // text to the local code page when this log asks for it.  When memory
    // for a long line runs short, the text is cut to what fits the stack
    // buffer.
    void formatLine(int severity, const char* file, int line, const char* component,
                    const YavStringRef& text, Line& out) const;

    // Writes all of data to fd (retrying after signals and short writes).
    static void writeAll(int fd, const char* data, size_t length);

  private:
    // Logs the text of code (local code page with lcp, else UTF-8)
    // formatted with args.
    void logCode(int severity, const char* file, int line, const char* component, bool lcp,
                 yav_status_t code, va_list args);
    void logFormatted(int severity, const char* file, int line, const char* component, bool lcp,
                      const char* format, va_list args);

    bool m_localCodePage;
};

#endif  // YAV_CORE_TRACE_YAVLOG_H
