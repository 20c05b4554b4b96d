#include "core/trace/YavSvcLog.h"

unsigned YavSvcLog::debugLevel(int severity) {
    if (severity < yav_log_trace_0) return 1;
    if (severity > yav_log_trace_9) return 9;  // traces set above the highest debug level
    return static_cast<unsigned>(severity - yav_log_trace_0);
}

void YavSvcLog::logImpl(int severity, const char* file, int line, const char* /*component*/,
                        const YavStringRef& text) {
    // The record takes terminated text; a reference into a longer buffer
    // gets a private terminated copy.  Without memory for it the line is
    // lost, as a log line may be.
    const char* terminated = text.getTerminated();
    if (terminated == nullptr) return;
    kr_svc__debug_utf8(m_handle, file, line, m_subcomponent, debugLevel(severity), terminated);
}
