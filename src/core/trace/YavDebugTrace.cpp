#include "core/trace/YavDebugTrace.h"

#include <string.h>

#include "core/sundry/yav_printf.h"

bool yav_trace_vappend(YavString& text, const char* format, va_list args) {
    if (format == nullptr) return true;
    // Short pieces are formatted on the stack; longer ones into a block of
    // their exact size.
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = yav_vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return text.append(format);
    if (static_cast<size_t>(n) < sizeof small) return text.append(small, n);
    char* block = nullptr;
    int m = yav_vasprintf(&block, format, args);
    if (m < 0 || block == nullptr) return false;
    bool ok = text.append(block, m);
    yav_asprintf_free(block);
    return ok;
}

YavDebugTrace::YavDebugTrace(YavTrace* trace, int level, const char* file, int line)
    : m_trace(trace),
      m_level(level),
      m_file(file),
      m_line(line),
      m_enabled(trace != nullptr && trace->isEnabled(level)) {}

YavDebugTrace::~YavDebugTrace() { flush(); }

void YavDebugTrace::append(const char* format, ...) {
    if (!m_enabled) return;
    va_list args;
    va_start(args, format);
    yav_trace_vappend(m_text, format, args);
    va_end(args);
}

void YavDebugTrace::vappend(const char* format, va_list args) {
    if (m_enabled) yav_trace_vappend(m_text, format, args);
}

void YavDebugTrace::flush() {
    if (!m_enabled || m_text.isEmpty()) return;
    m_trace->trace(m_level, m_file, m_line, m_text.getData(), m_text.getLength());
    m_text.clear();
}
