// The cost of trace calls, in one run:
// - disabled: a call whose level is above the trace's level, through the
//   YAV_TRACE macro (arguments not evaluated) and through trace(), against
//   the bare minimum (one relaxed load of an atomic level and a compare);
// - enabled: a plain and a formatted trace line with the thread's virtual
//   host and client address, into a log that discards it, against glibc
//   snprintf of the same line into a stack buffer; and the same line
//   through a YavFileLog on /dev/null (time string, ids, one write).
// Ratios to the baselines are printed at the end; heap allocations per
// enabled call are reported as mallocs_per_op.
#include <stdio.h>

#include <atomic>

#include "bench_support.h"
#include "core/trace/YavFileLog.h"
#include "core/trace/YavTrace.h"

namespace {

class DiscardingLog : public YavLog {
  public:
    void logImpl(int severity, const char* file, int line, const char* component,
                 const YavStringRef& text) override {
        benchmark::DoNotOptimize(severity);
        benchmark::DoNotOptimize(file);
        benchmark::DoNotOptimize(line);
        benchmark::DoNotOptimize(component);
        benchmark::DoNotOptimize(text.getData());
    }
};

DiscardingLog g_discard;

YavTrace* trace_at(int level, YavLog* log) {
    static YavTrace trace(0, "tessaro.bench", nullptr);
    trace.setLevel(level);
    trace.setLog(log, false);
    return &trace;
}

void set_details() {
    YavTrace::setThreadVH("www.example.com");
    YavTrace::setThreadIP("10.0.0.1");
}

struct Level {
    std::atomic<int> value{3};
};

void BM_DisabledBaseline(benchmark::State& state) {
    Level level;
    Level* p = &level;
    long written = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(p);
        if (5 <= p->value.load(std::memory_order_relaxed)) ++written;
    }
    benchmark::DoNotOptimize(written);
}

void BM_DisabledMacro(benchmark::State& state) {
    YavTrace* trace = trace_at(3, &g_discard);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(trace);
        YAV_TRACE(trace, 5, "request %d for %s", ++i, "/index.html");
    }
    benchmark::DoNotOptimize(i);
}

void BM_DisabledTrace(benchmark::State& state) {
    YavTrace* trace = trace_at(3, &g_discard);
    YavStringRef text("request handled");
    for (auto _ : state) {
        benchmark::DoNotOptimize(trace);
        trace->trace(5, __FILE__, __LINE__, text);
    }
}

void BM_EnabledSnprintfBaseline(benchmark::State& state) {
    int i = 0;
    char line[1024];
    for (auto _ : state) {
        int n = snprintf(line, sizeof line, "[%s] [%s] request %d for %s", "www.example.com",
                         "10.0.0.1", ++i, "/index.html");
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(line);
    }
}

void BM_EnabledTrace(benchmark::State& state) {
    set_details();
    YavTrace* trace = trace_at(9, &g_discard);
    YavStringRef text("request 1 for /index.html");
    for (auto _ : state) trace->trace(5, __FILE__, __LINE__, text);
    yav_bench::countHeapAllocations(state, 1000, [trace, &text] {
        for (int k = 0; k < 1000; ++k) trace->trace(5, __FILE__, __LINE__, text);
    });
}

void BM_EnabledFtrace(benchmark::State& state) {
    set_details();
    YavTrace* trace = trace_at(9, &g_discard);
    int i = 0;
    for (auto _ : state) YAV_TRACE(trace, 5, "request %d for %s", ++i, "/index.html");
    yav_bench::countHeapAllocations(state, 1000, [trace] {
        for (int k = 0; k < 1000; ++k) YAV_TRACE(trace, 5, "request %d for %s", k, "/index.html");
    });
}

void BM_EnabledFtraceToFile(benchmark::State& state) {
    set_details();
    static YavFileLog file("/dev/null");
    YavTrace* trace = trace_at(9, &file);
    int i = 0;
    for (auto _ : state) YAV_TRACE(trace, 5, "request %d for %s", ++i, "/index.html");
    yav_bench::countHeapAllocations(state, 1000, [trace] {
        for (int k = 0; k < 1000; ++k) YAV_TRACE(trace, 5, "request %d for %s", k, "/index.html");
    });
}

}  // namespace

BENCHMARK(BM_DisabledBaseline);
BENCHMARK(BM_DisabledMacro);
BENCHMARK(BM_DisabledTrace);
BENCHMARK(BM_EnabledSnprintfBaseline);
BENCHMARK(BM_EnabledTrace);
BENCHMARK(BM_EnabledFtrace);
BENCHMARK(BM_EnabledFtraceToFile);

int main(int argc, char** argv) {
    YavTrace::initOnce();
    return yav_bench::runWithRatios(argc, argv, "Trace calls relative to their baselines:",
                                    {{"BM_DisabledMacro", "BM_DisabledBaseline"},
                                     {"BM_DisabledTrace", "BM_DisabledBaseline"},
                                     {"BM_EnabledTrace", "BM_EnabledSnprintfBaseline"},
                                     {"BM_EnabledFtrace", "BM_EnabledSnprintfBaseline"},
                                     {"BM_EnabledFtraceToFile", "BM_EnabledSnprintfBaseline"}});
}
