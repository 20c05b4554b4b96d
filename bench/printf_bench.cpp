// yav_snprintf against glibc's snprintf on the formats of log lines, in
// one run:
// - short: "%s %d %08x";
// - logline: a serviceability line of ten arguments (time, process and
//   thread, component, severity, code, source position, text);
// - positional: the short line with its arguments named in reverse.
// Ratios to the glibc baselines are printed at the end, and the heap
// allocations per call of yav_snprintf (expected: none).
#include <stdio.h>

#include "bench_support.h"
#include "core/sundry/yav_printf.h"

namespace {

const char kShort[] = "%s %d %08x";
const char kLogLine[] = "%s %5d.%-6lu %-10s %08x %s:%d %s (%u retries, %ld bytes)";
const char kPositional[] = "%3$s %2$d %1$08x";

int yavShort(char* buffer, size_t size, int i) {
    return yav_snprintf(buffer, size, kShort, "request", i, static_cast<unsigned>(i) * 2654435761u);
}
int libcShort(char* buffer, size_t size, int i) {
    return snprintf(buffer, size, kShort, "request", i, static_cast<unsigned>(i) * 2654435761u);
}

int yavLogLine(char* buffer, size_t size, int i) {
    return yav_snprintf(buffer, size, kLogLine, "2024-06-11-10:15:42.123+00:00", 4242,
                        140234UL + static_cast<unsigned long>(i), "proxy-if", 0x35f0200cu,
                        "YavProxyIFDispatcher.cpp", 318,
                        "The authorization server could not be reached.",
                        static_cast<unsigned>(i & 7), 1048576L + i);
}
int libcLogLine(char* buffer, size_t size, int i) {
    return snprintf(buffer, size, kLogLine, "2024-06-11-10:15:42.123+00:00", 4242,
                    140234UL + static_cast<unsigned long>(i), "proxy-if", 0x35f0200cu,
                    "YavProxyIFDispatcher.cpp", 318,
                    "The authorization server could not be reached.", static_cast<unsigned>(i & 7),
                    1048576L + i);
}

int yavPositional(char* buffer, size_t size, int i) {
    return yav_snprintf(buffer, size, kPositional, static_cast<unsigned>(i) * 2654435761u, i,
                        "request");
}
int libcPositional(char* buffer, size_t size, int i) {
    return snprintf(buffer, size, kPositional, static_cast<unsigned>(i) * 2654435761u, i,
                    "request");
}

template <int (*Format)(char*, size_t, int)>
void run(benchmark::State& state) {
    char buffer[256];
    int i = 0;
    for (auto _ : state) {
        int length = Format(buffer, sizeof(buffer), i++);
        benchmark::DoNotOptimize(length);
        benchmark::ClobberMemory();
    }
    yav_bench::countHeapAllocations(state, 1000, [&buffer] {
        for (int k = 0; k < 1000; ++k) benchmark::DoNotOptimize(Format(buffer, sizeof(buffer), k));
    });
}

void BM_ShortYav(benchmark::State& state) { run<yavShort>(state); }
void BM_ShortLibc(benchmark::State& state) { run<libcShort>(state); }
void BM_LogLineYav(benchmark::State& state) { run<yavLogLine>(state); }
void BM_LogLineLibc(benchmark::State& state) { run<libcLogLine>(state); }
void BM_PositionalYav(benchmark::State& state) { run<yavPositional>(state); }
void BM_PositionalLibc(benchmark::State& state) { run<libcPositional>(state); }

BENCHMARK(BM_ShortYav);
BENCHMARK(BM_ShortLibc);
BENCHMARK(BM_LogLineYav);
BENCHMARK(BM_LogLineLibc);
BENCHMARK(BM_PositionalYav);
BENCHMARK(BM_PositionalLibc);

}  // namespace

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(argc, argv, "yav_snprintf / glibc snprintf (CPU time):",
                                    {{"BM_ShortYav", "BM_ShortLibc"},
                                     {"BM_LogLineYav", "BM_LogLineLibc"},
                                     {"BM_PositionalYav", "BM_PositionalLibc"}});
}
