// Allocation and release of 16-512-byte blocks through the unlocked caching
// allocator (a per-request allocator of YavCachingAllocatorPool), the locked
// caching allocator (a per-class allocator) and glibc malloc/free, measured
// in one run.  Two patterns: a block freed right after it is made (pair),
// and 64 blocks of mixed sizes made and then freed (batch).  The ratios to
// glibc are printed at the end; the goal is an unlocked caching allocator at
// least as fast as glibc.
//
// In plain builds malloc is interposed to count heap allocations per
// operation once the allocators are warm (reported as mallocs_per_op).
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "core/memory/YavCachingAllocator.h"
#include "core/msg/yav_status.h"

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define YAV_BENCH_COUNT_MALLOC 1
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_realloc(void* ptr, size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
#endif

namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_mallocs{0};

inline void count_malloc() {
    if (g_counting.load(std::memory_order_relaxed)) g_mallocs.fetch_add(1);
}

}  // namespace

#ifdef YAV_BENCH_COUNT_MALLOC
extern "C" void* malloc(size_t size) {
    count_malloc();
    return __libc_malloc(size);
}
extern "C" void* realloc(void* ptr, size_t size) {
    count_malloc();
    return __libc_realloc(ptr, size);
}
extern "C" void* calloc(size_t count, size_t size) {
    count_malloc();
    return __libc_calloc(count, size);
}
#endif

namespace {

constexpr size_t kSizes = 1024;
constexpr int kBatch = 64;

// Sizes from 16 to 512 bytes, the same in every benchmark; filled by main.
size_t g_sizes[kSizes];

void fill_sizes() {
    uint32_t x = 12345;
    for (size_t& s : g_sizes) {
        x = x * 1103515245u + 12345u;
        s = 16 + (x >> 16) % 497;
    }
}

enum Kind { kGlibc, kUnlocked, kLocked };

struct Allocator {
    explicit Allocator(Kind kind) : m_kind(kind) {
        if (kind == kGlibc) return;
        uint32_t flags = kind == kUnlocked ? YAV_ALLOC_UNLOCKED : 0;
        if (m_caching.initialize(YAV_N_GENERAL_ALLOCATOR, flags, nullptr, kBatch, 512) != 0) {
            fprintf(stderr, "caching allocator could not be made\n");
            abort();
        }
    }
    void* get(size_t size) {
        return m_kind == kGlibc ? malloc(size) : YavAllocator::allocate(&m_caching, size);
    }
    void put(void* p) {
        if (m_kind == kGlibc) {
            free(p);
        } else {
            YavAllocator::deallocate(&m_caching, p);
        }
    }
    Kind m_kind;
    YavCachingAllocator m_caching;
};

void pair_round(Allocator& a, size_t i) {
    size_t size = g_sizes[i % kSizes];
    char* p = static_cast<char*>(a.get(size));
    p[0] = static_cast<char>(i);
    p[size - 1] = 1;
    benchmark::DoNotOptimize(p);
    a.put(p);
}

void batch_round(Allocator& a, size_t i) {
    void* blocks[kBatch];
    for (int b = 0; b < kBatch; ++b) {
        size_t size = g_sizes[(i + b) % kSizes];
        char* p = static_cast<char*>(a.get(size));
        p[0] = static_cast<char>(b);
        p[size - 1] = 1;
        blocks[b] = p;
    }
    benchmark::DoNotOptimize(blocks);
    for (void* p : blocks) a.put(p);
}

// Heap allocations per operation of warm rounds, measured outside the timing.
template <class Round>
void count_mallocs(benchmark::State& state, Allocator& a, Round round, int opsPerRound) {
#ifdef YAV_BENCH_COUNT_MALLOC
    const int rounds = 1000;
    g_mallocs = 0;
    g_counting = true;
    for (int i = 0; i < rounds; ++i) round(a, static_cast<size_t>(i) * 7);
    g_counting = false;
    state.counters["mallocs_per_op"] =
        static_cast<double>(g_mallocs.load()) / (static_cast<double>(rounds) * opsPerRound);
#else
    (void)state;
    (void)a;
    (void)round;
    (void)opsPerRound;
#endif
}

void BM_Pair(benchmark::State& state, Kind kind) {
    Allocator a(kind);
    size_t i = 0;
    for (auto _ : state) pair_round(a, i++);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    count_mallocs(state, a, pair_round, 1);
}

void BM_Batch(benchmark::State& state, Kind kind) {
    Allocator a(kind);
    size_t i = 0;
    for (auto _ : state) batch_round(a, i++);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kBatch);
    count_mallocs(state, a, batch_round, kBatch);
}

// Prints as the console reporter does and keeps the CPU time per round of
// every benchmark for the ratios: the median when repetitions are asked for
// (--benchmark_repetitions), else the single run.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                m_seconds[name] = run.GetAdjustedCPUTime();
                m_median[name] = true;
            } else if (run.run_type == Run::RT_Iteration && !m_median[name]) {
                m_seconds[name] = run.GetAdjustedCPUTime();
            }
        }
    }
    void printRatios() const {
        printf("\nTime per round relative to glibc malloc+free (below 1 is faster):\n");
        for (const char* pattern : {"pair", "batch"}) {
            auto base = m_seconds.find(std::string(pattern) + "/glibc");
            if (base == m_seconds.end()) continue;
            for (const char* kind : {"unlocked", "locked"}) {
                auto it = m_seconds.find(std::string(pattern) + "/" + kind);
                if (it == m_seconds.end()) continue;
                printf("  %-6s %-9s %.2f\n", pattern, kind, it->second / base->second);
            }
        }
    }

  private:
    std::map<std::string, double> m_seconds;
    std::map<std::string, bool> m_median;
};

}  // namespace

int main(int argc, char** argv) {
    fill_sizes();
    const struct {
        const char* name;
        Kind kind;
    } kinds[] = {{"glibc", kGlibc}, {"unlocked", kUnlocked}, {"locked", kLocked}};
    for (const auto& k : kinds) {
        benchmark::RegisterBenchmark((std::string("pair/") + k.name).c_str(), BM_Pair, k.kind);
        benchmark::RegisterBenchmark((std::string("batch/") + k.name).c_str(), BM_Batch, k.kind);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
