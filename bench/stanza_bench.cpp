// Stanza files: a cached open of a 5,000-entry file (50 stanzas of 100
// entries), and 10,000 look-ups by stanza and entry name in the cached
// handle.  The baseline reads the same file line by line with fgets, the
// least any reader must do.  Heap allocations are counted per open and per
// look-up (look-ups walk memory and should allocate nothing).
#include <stdio.h>

#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "core/file/yav_stanza.h"
#include "core/system/yav_test_tempdir.h"

namespace {

constexpr int kStanzas = 50;
constexpr int kEntriesPerStanza = 100;
constexpr int kLookups = 10000;

std::string stanzaName(int i) { return "stanza-" + std::to_string(i); }
std::string entryName(int i) { return "entry-" + std::to_string(i); }

// The benchmark file, made once in a temporary directory.
const std::string& benchFile() {
    static YavTestTempDir dir("stanza-bench");
    static std::string path;
    if (path.empty() && dir.ok()) {
        path = dir.path("bench.conf");
        FILE* f = fopen(path.c_str(), "w");
        if (f == nullptr) return path;
        for (int s = 0; s < kStanzas; ++s) {
            fprintf(f, "# stanza %d\n[%s]\n", s, stanzaName(s).c_str());
            for (int e = 0; e < kEntriesPerStanza; ++e) {
                fprintf(f, "%s = value %d of stanza %d\n", entryName(e).c_str(), e, s);
            }
        }
        fclose(f);
    }
    return path;
}

int readWithFgets(const std::string& path) {
    FILE* f = fopen(path.c_str(), "r");
    if (f == nullptr) return -1;
    char line[YAV_STZ_LINE_SIZE];
    int lines = 0;
    while (fgets(line, sizeof line, f) != nullptr) ++lines;
    fclose(f);
    return lines;
}

void BM_ReadWithFgets(benchmark::State& state) {
    const std::string& path = benchFile();
    for (auto _ : state) {
        int lines = readWithFgets(path);
        if (lines != kStanzas * (kEntriesPerStanza + 2)) {
            state.SkipWithError("the file could not be read");
            return;
        }
        benchmark::DoNotOptimize(lines);
    }
}

void BM_CachedOpen(benchmark::State& state) {
    const std::string& path = benchFile();
    for (auto _ : state) {
        yav_status_t status = 0;
        yavStanzaFile* handle =
            yavStzFileOpen(path.c_str(), YAV_STZ_READ | YAV_STZ_CACHED, &status);
        if (handle == nullptr) {
            state.SkipWithError("the cached open failed");
            return;
        }
        yavStzFileClose(handle);
    }
    yav_bench::countHeapAllocations(state, 1, [&] {
        yavStanzaFile* handle = yavStzFileOpen(path.c_str(), YAV_STZ_READ | YAV_STZ_CACHED);
        yavStzFileClose(handle);
    });
}

void BM_CachedLookups(benchmark::State& state) {
    yavStanzaFile* handle = yavStzFileOpen(benchFile().c_str(), YAV_STZ_READ | YAV_STZ_CACHED);
    if (handle == nullptr) {
        state.SkipWithError("the cached open failed");
        return;
    }
    // A fixed pseudo-random sequence of (stanza, entry) names.
    std::vector<std::pair<std::string, std::string>> keys;
    unsigned seed = 42;
    for (int i = 0; i < kLookups; ++i) {
        seed = seed * 1103515245u + 12345u;
        int s = static_cast<int>((seed >> 8) % kStanzas);
        int e = static_cast<int>((seed >> 16) % kEntriesPerStanza);
        keys.emplace_back(stanzaName(s), entryName(e));
    }
    auto lookUpAll = [&]() {
        int found = 0;
        for (const auto& key : keys) {
            found += yavStzMoveEntry(handle, key.first.c_str(), key.second.c_str());
        }
        return found;
    };
    for (auto _ : state) {
        int found = lookUpAll();
        if (found != kLookups) {
            state.SkipWithError("a look-up failed");
            break;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kLookups);
    yav_bench::countHeapAllocations(state, kLookups, [&] { lookUpAll(); });
    yavStzFileClose(handle);
}

}  // namespace

BENCHMARK(BM_ReadWithFgets);
BENCHMARK(BM_CachedOpen);
BENCHMARK(BM_CachedLookups);

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(
        argc, argv, "Stanza files against a plain fgets read:",
        {{"BM_CachedOpen", "BM_ReadWithFgets"}, {"BM_CachedLookups", "BM_ReadWithFgets"}});
}
