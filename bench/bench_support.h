// Support shared by the benchmark programs; include it from exactly one
// source file per program (it defines malloc).
//
// - Heap-allocation counting: in plain builds malloc, realloc and calloc are
//   interposed; countHeapAllocations(state, ops, fn) runs fn outside the
//   timing and reports heap allocations per operation as "mallocs_per_op".
// - Ratios: runWithRatios runs the registered cases and, after the usual
//   table, prints each case's CPU time divided by its baseline's, both from
//   the same run (medians when --benchmark_repetitions is given; real time
//   for cases measured in real time), so the figure holds on a noisy
//   machine.
#ifndef YAV_BENCH_BENCH_SUPPORT_H
#define YAV_BENCH_BENCH_SUPPORT_H

#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <map>
#include <string>
#include <utility>
#include <vector>

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define YAV_BENCH_COUNT_MALLOC 1
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_realloc(void* ptr, size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
#endif

namespace yav_bench {

inline std::atomic<bool> g_counting{false};
inline std::atomic<long> g_mallocs{0};

inline void countMalloc() {
    if (g_counting.load(std::memory_order_relaxed)) g_mallocs.fetch_add(1);
}

// Runs fn() once with counting on and reports the heap allocations it made
// per operation (fn performs `ops` operations).
template <class Fn>
void countHeapAllocations(benchmark::State& state, long ops, Fn fn) {
#ifdef YAV_BENCH_COUNT_MALLOC
    g_mallocs = 0;
    g_counting = true;
    fn();
    g_counting = false;
    state.counters["mallocs_per_op"] =
        static_cast<double>(g_mallocs.load()) / static_cast<double>(ops);
#else
    (void)state;
    (void)ops;
    (void)fn;
#endif
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // Kept under the bare function name and under the full name
            // with arguments and thread count; real time where the case
            // asked for it (threaded cases), else CPU time.
            for (const std::string& name : {run.run_name.function_name, run.run_name.str()}) {
                double seconds = run.run_name.time_type.empty() ? run.GetAdjustedCPUTime()
                                                                : run.GetAdjustedRealTime();
                if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                    m_seconds[name] = seconds;
                    m_median[name] = true;
                } else if (run.run_type == Run::RT_Iteration && !m_median[name]) {
                    m_seconds[name] = seconds;
                }
            }
        }
    }

    void printRatios(const char* title,
                     const std::vector<std::pair<std::string, std::string>>& pairs) const {
        printf("\n%s\n", title);
        for (const auto& p : pairs) {
            auto a = m_seconds.find(p.first);
            auto b = m_seconds.find(p.second);
            if (a == m_seconds.end() || b == m_seconds.end() || b->second <= 0) continue;
            printf("  %-28s / %-28s = %.2f\n", p.first.c_str(), p.second.c_str(),
                   a->second / b->second);
        }
    }

  private:
    std::map<std::string, double> m_seconds;
    std::map<std::string, bool> m_median;
};

// Runs every registered case and prints the ratios of the given
// {case, baseline} pairs (case names without arguments).
inline int runWithRatios(int argc, char** argv, const char* title,
                         const std::vector<std::pair<std::string, std::string>>& pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(title, pairs);
    benchmark::Shutdown();
    return 0;
}

}  // namespace yav_bench

#ifdef YAV_BENCH_COUNT_MALLOC
extern "C" void* malloc(size_t size) {
    yav_bench::countMalloc();
    return __libc_malloc(size);
}
extern "C" void* realloc(void* ptr, size_t size) {
    yav_bench::countMalloc();
    return __libc_realloc(ptr, size);
}
extern "C" void* calloc(size_t count, size_t size) {
    yav_bench::countMalloc();
    return __libc_calloc(count, size);
}
#endif

#endif  // YAV_BENCH_BENCH_SUPPORT_H
