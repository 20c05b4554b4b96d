#include "proxyif/framework/YavProxyIFLog.h"

#include <cstdarg>

#include "core/msg/yav_status.h"
#include "core/sundry/yav_printf.h"
#include "core/system/yav_assert.h"
#include "core/trace/YavTraceRegistry.h"

std::atomic<YavTrace*> YavProxyIFLog::m_trace{nullptr};

yav_status_t YavProxyIFLog::create(YavLog* log) {
    if (peek() != nullptr) return 0;
    YavTrace* trace = YavTraceRegistry::instance().add(kComponent, 0, log);
    if (trace == nullptr) return YAV_S_NO_MEMORY;
    m_trace.store(trace, std::memory_order_release);
    return 0;
}

YavTrace* YavProxyIFLog::get() {
    YavTrace* trace = peek();
    if (trace == nullptr) yav_assert_fail(__FILE__, __LINE__, "m_trace");
    return trace;
}

void YavProxyIFLog::forget() { m_trace.store(nullptr, std::memory_order_release); }

namespace {

void writeTrace(int level, const char* file, unsigned line, const char* format, va_list args) {
    YavTrace* trace = YavProxyIFLog::peek();
    if (trace == nullptr || !trace->isEnabled(level)) return;
    char* text = nullptr;
    if (yav_vasprintf(&text, format, args) < 0 || text == nullptr) {
        // Without memory for the text, the format itself still says where.
        trace->trace(level, file, static_cast<int>(line), format, -1);
        return;
    }
    trace->trace(level, file, static_cast<int>(line), text, -1);
    yav_asprintf_free(text);
}

}  // namespace

int YavProxyIFLog::lfprintf(int level, const char* file, unsigned line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeTrace(level, file, line, format, args);
    va_end(args);
    return 1;
}

int YavProxyIFLog::fprintf(const char* file, unsigned line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeTrace(kDefaultLevel, file, line, format, args);
    va_end(args);
    return 1;
}
