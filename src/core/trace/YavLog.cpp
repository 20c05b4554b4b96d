#include "core/trace/YavLog.h"

#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "core/buffers/YavStringConverter.h"
#include "core/msg/kr_msg.h"
#include "core/msg/yav_msg_table.h"
#include "core/sundry/yav_printf.h"
#include "core/ulq/ulq.h"

namespace {

const char* const kSeverityNames[yav_log_severity_count] = {
    "INFO   ", "WARNING", "ERROR  ", "TRACE 0", "TRACE 1", "TRACE 2", "TRACE 3",
    "TRACE 4", "TRACE 5", "TRACE 6", "TRACE 7", "TRACE 8", "TRACE 9"};

// Room for the longest time string: ten-digit year and every field wide.
constexpr size_t kTimeSize = 64;

// Converts UTF-8 text to the local code page, one character at a time so
// that a character with no form there becomes '?' instead of failing the
// whole text.  False when memory ran out.
bool to_local_code_page(const YavStringRef& text, YavString& out) {
    ulq_cs_t local = ulq_local_cs();
    ulq_cs_t utf8 = ulq_utf8_cs();
    const char* p = text.getData();
    size_t left = static_cast<size_t>(text.getLength());
    char converted[64];
    while (left > 0) {
        int length = ulq_mblen(utf8, p, left);
        if (length <= 0) length = 1;  // an invalid byte or a zero byte: one byte
        long written =
            ulq_from_utf8(local, p, static_cast<size_t>(length), converted, sizeof converted);
        bool ok = written >= 0 ? out.append(converted, static_cast<int>(written)) : out.append('?');
        if (!ok) return false;
        p += length;
        left -= static_cast<size_t>(length);
    }
    return true;
}

// The process and thread ids of a line, cached per thread: each costs a
// system call, which would dominate the cost of a line.  A fork gives the
// child new ids; the fork handler makes every cache stale (in the child only
// the forking thread lives on, and its cache is the one refreshed).
std::atomic<unsigned> s_forkGeneration{1};

void on_fork_child() { s_forkGeneration.fetch_add(1, std::memory_order_relaxed); }

struct ThreadIds {
    unsigned generation;  // 0: not filled yet
    unsigned pid;
    unsigned tid;
};
thread_local ThreadIds t_ids = {0, 0, 0};

const ThreadIds& thread_ids() {
    // Without the fork handler a cache could outlive a fork: then the ids
    // are asked for every line.
    static const bool cacheable = pthread_atfork(nullptr, nullptr, &on_fork_child) == 0;
    unsigned generation = s_forkGeneration.load(std::memory_order_relaxed);
    if (!cacheable || t_ids.generation != generation) {
        t_ids.pid = static_cast<unsigned>(getpid());
        t_ids.tid = static_cast<unsigned>(syscall(SYS_gettid));
        t_ids.generation = generation;
    }
    return t_ids;
}

}  // namespace

YavLog::Line::~Line() {
    if (m_data != m_inline) free(m_data);
}

YavLog::~YavLog() {}

const char* YavLog::getSeverityName(int severity) {
    if (severity < 0 || severity >= yav_log_severity_count) return "UNKNOWN";
    return kSeverityNames[severity];
}

size_t YavLog::formatTimeString(long seconds, long microseconds, char* buffer, size_t size) {
    time_t when = static_cast<time_t>(seconds);
    struct tm local;
    if (localtime_r(&when, &local) == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    long offset = local.tm_gmtoff;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    // "%.4u" is "%04.4u" without the zero flag, which a precision makes
    // redundant.
    int n = snprintf(
        buffer, size, "%.4u-%.2u-%.2u-%.2u:%.2u:%.2u.%.3u%c%.2u:%.2u",
        static_cast<unsigned>(local.tm_year + 1900), static_cast<unsigned>(local.tm_mon + 1),
        static_cast<unsigned>(local.tm_mday), static_cast<unsigned>(local.tm_hour),
        static_cast<unsigned>(local.tm_min), static_cast<unsigned>(local.tm_sec),
        static_cast<unsigned>(microseconds / 1000), sign, static_cast<unsigned>(offset / 3600),
        static_cast<unsigned>(offset % 3600 / 60));
    if (n < 0 || static_cast<size_t>(n) >= size) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(n);
}

size_t YavLog::getTimeString(char* buffer, size_t size) {
    struct timeval now;
    if (gettimeofday(&now, nullptr) != 0) {
        buffer[0] = '\0';
        return 0;
    }
    return formatTimeString(now.tv_sec, now.tv_usec, buffer, size);
}

void YavLog::formatLine(int severity, const char* file, int line, const char* component,
                        const YavStringRef& text, Line& out) const {
    const char* data = text.getData();
    int length = text.getLength();
    YavString local;
    if (m_localCodePage && to_local_code_page(text, local)) {
        data = local.getData();
        length = local.getLength();
    }
    char time[kTimeSize];
    getTimeString(time, sizeof time);
    const ThreadIds& ids = thread_ids();
    unsigned pid = ids.pid;
    unsigned tid = ids.tid;
    if (file == nullptr) file = "";
    if (component == nullptr) component = "";

    // The line format is "%s %s %s %s %u % 8u % 8u %.*s\n"; the space flag
    // has no effect on unsigned conversions, so it is left out here.
    const char* format = "%s %s %s %s %u %8u %8u %.*s\n";
    const char* name = getSeverityName(severity);
    unsigned lineNumber = static_cast<unsigned>(line);
    int n = snprintf(out.m_inline, Line::kInlineSize, format, time, component, name, file,
                     lineNumber, pid, tid, length, data);
    if (n >= 0 && static_cast<size_t>(n) < Line::kInlineSize) {
        out.m_length = static_cast<size_t>(n);
        return;
    }
    if (n > 0) {
        char* block = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
        if (block != nullptr) {
            snprintf(block, static_cast<size_t>(n) + 1, format, time, component, name, file,
                     lineNumber, pid, tid, length, data);
            out.m_data = block;
            out.m_length = static_cast<size_t>(n);
            return;
        }
    }
    // No memory for the whole line (or a line longer than snprintf can
    // count): what the stack buffer holds, still ending the line.
    out.m_length = strnlen(out.m_inline, Line::kInlineSize - 1);
    if (out.m_length == 0) out.m_length = 1;
    out.m_inline[out.m_length - 1] = '\n';
}

void YavLog::writeAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t written = write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // nowhere to report a failing log
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
}

void YavLog::logImpl(int severity, const char* file, int line, const char* component,
                     const YavStringRef& text) {
    Line out;
    formatLine(severity, file, line, component, text, out);
    writeAll(STDOUT_FILENO, out.data(), out.length());
}

void YavLog::log(int severity, const char* file, int line, const char* component,
                 const YavLCPStringRef& text) {
    YavString utf8;
    YavCPToUTF8Converter converter;
    if (converter.doAppend(utf8, text.getData(), text.getLength()) == 0) {
        logImpl(severity, file, line, component, utf8);
    } else {
        logImpl(severity, file, line, component, YavStringRef(text.getData(), text.getLength()));
    }
}

void YavLog::logFormatted(int severity, const char* file, int line, const char* component, bool lcp,
                          const char* format, va_list args) {
    // Short texts are formatted on the stack; longer ones once more into a
    // block of their exact size.
    if (format == nullptr) format = "";
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = lcp ? yav_vsnprintf_lcp(small, sizeof small, format, copy)
                : yav_vsnprintf_utf8(small, sizeof small, format, copy);
    va_end(copy);
    const char* text = small;
    char* block = nullptr;
    if (n < 0) {
        text = format;
        n = static_cast<int>(strlen(format));
    } else if (static_cast<size_t>(n) >= sizeof small) {
        int m = lcp ? yav_vasprintf_lcp(&block, format, args)
                    : yav_vasprintf_utf8(&block, format, args);
        if (m >= 0 && block != nullptr) {
            text = block;
            n = m;
        } else {
            n = static_cast<int>(sizeof small - 1);  // the beginning, which fitted
        }
    }
    if (lcp) {
        log(severity, file, line, component, YavLCPStringRef(text, n));
    } else {
        logImpl(severity, file, line, component, YavStringRef(text, n));
    }
    if (block != nullptr) yav_asprintf_free(block);
}

namespace {

// The format text of a status code: a heap copy from the catalog (to be
// freed by the caller, *owned set), else the built-in text, else a
// description of the unknown number in fallback.
const char* code_format(yav_status_t code, bool lcp, char** owned, char* fallback, size_t size) {
    uint32_t status = 0;
    *owned = lcp ? kr_msg_get_msg(code, &status) : kr_msg_get_msg_utf8(code, &status);
    if (*owned != nullptr && status == 0) return *owned;
    free(*owned);
    *owned = nullptr;
    const char* text = kr_msg_get_default_msg(code);
    if (text != nullptr) return text;
    snprintf(fallback, size, "Unknown message number 0x%8.8lx", static_cast<unsigned long>(code));
    return fallback;
}

}  // namespace

void YavLog::logCode(int severity, const char* file, int line, const char* component, bool lcp,
                     yav_status_t code, va_list args) {
    char* owned = nullptr;
    char fallback[64];
    const char* format = code_format(code, lcp, &owned, fallback, sizeof fallback);
    logFormatted(severity, file, line, component, lcp, format, args);
    free(owned);
}

void YavLog::log(int severity, const char* file, int line, const char* component, yav_status_t code,
                 ...) {
    va_list args;
    va_start(args, code);
    logCode(severity, file, line, component, false, code, args);
    va_end(args);
}

void YavLog::logLCP(int severity, const char* file, int line, const char* component,
                    yav_status_t code, ...) {
    va_list args;
    va_start(args, code);
    logCode(severity, file, line, component, true, code, args);
    va_end(args);
}

void YavLog::flog(int severity, const char* file, int line, const char* component,
                  const char* format, ...) {
    va_list args;
    va_start(args, format);
    logFormatted(severity, file, line, component, false, format, args);
    va_end(args);
}

void YavLog::flogLCP(int severity, const char* file, int line, const char* component,
                     const char* format, ...) {
    va_list args;
    va_start(args, format);
    logFormatted(severity, file, line, component, true, format, args);
    va_end(args);
}
