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
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "bench_support.h"
#include "core/memory/YavCachingAllocator.h"
#include "core/msg/yav_status.h"

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

// Heap allocations per operation of 1000 warm rounds, outside the timing.
template <class Round>
void count_mallocs(benchmark::State& state, Allocator& a, Round round, int opsPerRound) {
    const int rounds = 1000;
    yav_bench::countHeapAllocations(state, static_cast<long>(rounds) * opsPerRound, [&] {
        for (int i = 0; i < rounds; ++i) round(a, static_cast<size_t>(i) * 7);
    });
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
    return yav_bench::runWithRatios(
        argc, argv, "Time per round relative to glibc malloc+free (below 1 is faster):",
        {{"pair/unlocked", "pair/glibc"},
         {"pair/locked", "pair/glibc"},
         {"batch/unlocked", "batch/glibc"},
         {"batch/locked", "batch/glibc"}});
}
