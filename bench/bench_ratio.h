// Runs the registered Google Benchmark cases and prints, after the usual
// table, the ratio of each named case to its baseline measured in the same
// run, so that the figure holds on a noisy machine.
#ifndef YAV_BENCH_BENCH_RATIO_H
#define YAV_BENCH_BENCH_RATIO_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace yav_bench {

// Collects the real time per iteration of every case while printing as usual.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration) {
                m_times[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "case / baseline = ratio" for every pair whose cases both ran.
    void printRatios(const std::vector<std::pair<std::string, std::string>>& pairs) const {
        printf("\nRatios (time of the case / time of its baseline, same run):\n");
        for (const auto& p : pairs) {
            auto a = m_times.find(p.first);
            auto b = m_times.find(p.second);
            if (a == m_times.end() || b == m_times.end() || b->second <= 0) continue;
            printf("  %-40s / %-40s = %.2f\n", p.first.c_str(), p.second.c_str(),
                   a->second / b->second);
        }
    }

private:
    std::map<std::string, double> m_times;
};

inline int runWithRatios(int argc, char** argv,
                         const std::vector<std::pair<std::string, std::string>>& pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(pairs);
    benchmark::Shutdown();
    return 0;
}

}  // namespace yav_bench

#endif  // YAV_BENCH_BENCH_RATIO_H
