// YavProxyIFLog: the trace channel "tessaro.proxy-if" of the
// authorization-server interface (shared memory, semaphores, worker pool,
// dispatcher).
//
// create(log) registers the component with the trace registry at level 0
// once per process; get() returns it.  The trace helpers (lfprintf,
// fprintf and the YAV_PROXYIF_TRACE macros) do nothing until the channel is
// created, so the shared-memory layer and the server side may trace before
// or without a dispatcher; get() before create() is a programming error.
//
// Memory: the trace belongs to the trace registry (YavTraceRegistry); the
// channel keeps a pointer.  REQUIRES: forget() is called before the
// registry removes the trace (YavTrace::shutdown) if tracing may follow.
//
// Threads: m_trace is an atomic pointer: any thread may trace at any time;
// create() and forget() run while nothing else creates the channel.  All
// members are static; the class has no objects.
#ifndef YAV_PROXYIF_FRAMEWORK_YAVPROXYIFLOG_H
#define YAV_PROXYIF_FRAMEWORK_YAVPROXYIFLOG_H

#include <atomic>

#include "core/sundry/yav_base.h"
#include "core/trace/YavLog.h"
#include "core/trace/YavTrace.h"

class YAV_EXPORT YavProxyIFLog {
  public:
    // The component name of the channel.
    static constexpr const char* kComponent = "tessaro.proxy-if";
    // The level of fprintf and YAV_PROXYIF_TRACE.
    static constexpr int kDefaultLevel = 7;

    YavProxyIFLog() = delete;

    // Registers the channel (YavTraceRegistry::add(kComponent, 0, log))
    // when it is not registered yet.  0, or YAV_S_NO_MEMORY.
    static yav_status_t create(YavLog* log);
    // The channel's trace.  REQUIRES: created (assertion "m_trace").
    static YavTrace* get();
    // The channel's trace, or null when not created.
    static YavTrace* peek() { return m_trace.load(std::memory_order_acquire); }
    // Drops the pointer to the trace (the registry still owns it).
    static void forget();

    // When the channel exists and its level is at least level, formats the
    // text and writes it with level, file and line.  Always returns 1.
    static int lfprintf(int level, const char* file, unsigned line, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    // lfprintf at kDefaultLevel.
    static int fprintf(const char* file, unsigned line, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    static std::atomic<YavTrace*> m_trace;
};

// Trace lines of the interface.  When the channel is not created or the
// level is off they cost one load and one comparison and evaluate none of
// the arguments.
#define YAV_PROXYIF_LTRACE(level, ...)                                                \
    do {                                                                              \
        YavTrace* const yav_pif_trace_ = YavProxyIFLog::peek();                       \
        const int yav_pif_level_ = (level);                                           \
        if (yav_pif_trace_ != nullptr && yav_pif_trace_->isEnabled(yav_pif_level_))   \
            YavProxyIFLog::lfprintf(yav_pif_level_, __FILE__, __LINE__, __VA_ARGS__); \
    } while (0)
#define YAV_PROXYIF_TRACE(...) YAV_PROXYIF_LTRACE(YavProxyIFLog::kDefaultLevel, __VA_ARGS__)

#endif  // YAV_PROXYIF_FRAMEWORK_YAVPROXYIFLOG_H
