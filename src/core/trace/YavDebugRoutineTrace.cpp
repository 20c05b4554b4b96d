#include "core/trace/YavDebugRoutineTrace.h"

#include <cstdarg>

#include "core/trace/YavDebugTrace.h"

namespace {

thread_local int t_nesting = 0;

// kMaxIndentLevels levels of two blanks.
const char kIndent[] = "                                                                ";
static_assert(sizeof kIndent - 1 == 2 * YavDebugRoutineTrace::kMaxIndentLevels,
              "indent covers the deepest level");

const char* indent_for(int depth) {
    if (depth < 0) depth = 0;
    if (depth > YavDebugRoutineTrace::kMaxIndentLevels)
        depth = YavDebugRoutineTrace::kMaxIndentLevels;
    return kIndent + sizeof kIndent - 1 - 2 * static_cast<size_t>(depth);
}

}  // namespace

YavDebugRoutineTrace::YavDebugRoutineTrace(YavTrace* trace, int level, const char* routine,
                                           const char* file, int line, const char* detail)
    : m_trace(trace),
      m_level(level),
      m_routine(routine != nullptr ? routine : ""),
      m_file(file),
      m_line(line),
      m_hasResult(false) {
    int depth = t_nesting++;
    if (m_trace == nullptr || !m_trace->isEnabled(m_level)) return;
    if (detail == nullptr) {
        m_trace->ftrace(m_level, m_file, m_line, "API ENTRY: %s%s", indent_for(depth), m_routine);
    } else {
        m_trace->ftrace(m_level, m_file, m_line, "API ENTRY: %s%s%s%s", indent_for(depth),
                        m_routine, " ", detail);
    }
}

YavDebugRoutineTrace::~YavDebugRoutineTrace() {
    int depth = --t_nesting;
    if (m_trace == nullptr || !m_trace->isEnabled(m_level)) return;
    if (m_hasResult) {
        m_trace->ftrace(m_level, m_file, m_line, "API EXIT:  %s%s: %s", indent_for(depth),
                        m_routine, m_result.getData());
    } else {
        m_trace->ftrace(m_level, m_file, m_line, "API EXIT:  %s%s", indent_for(depth), m_routine);
    }
}

void YavDebugRoutineTrace::setResult(const char* format, ...) {
    if (m_trace == nullptr || !m_trace->isEnabled(m_level)) return;
    m_result.clear();
    va_list args;
    va_start(args, format);
    m_hasResult = yav_trace_vappend(m_result, format, args);
    va_end(args);
}

int YavDebugRoutineTrace::getNestingLevel() { return t_nesting; }
