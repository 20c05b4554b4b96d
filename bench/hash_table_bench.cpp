// Look-up of 10,000 path-like keys (8-40 bytes) in a YavHashTable keyed by
// YavString, against std::unordered_map<std::string, int> holding the same
// texts, measured in one run.  Every look-up hashes its key afresh on both
// sides: the YavHashTable is searched with YavStringRef probes (a reference
// does not cache its hash), the map with std::string probes.  A third case
// searches with YavString probes, whose hashes are cached after the first
// round (the best case of the table).  A fourth case only hashes the
// reference probes, to show how much of a look-up the byte-serial string
// hash takes.  The ratios to unordered_map are printed at the end; the goal
// for the reference probes is at most 1.5.
//
// Heap allocations per look-up are reported as mallocs_per_op (plain
// builds); a look-up should make none.
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench_support.h"
#include "core/buffers/YavString.h"
#include "core/hash/YavHashTable.h"

namespace {

constexpr int kKeys = 10000;
constexpr uint32_t kBuckets = 10007;

// "/path/seg/<i>/aaa..." (or "/s/<i>/..." when short), 8 to 40 bytes; the
// digits end at a '/', so the texts are distinct.
const std::vector<std::string>& texts() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> t;
        std::mt19937 random(20240601);
        for (int i = 0; i < kKeys; ++i) {
            size_t length = 8 + random() % 33;
            std::string s = (length >= 16 ? "/path/seg/" : "/s/") + std::to_string(i) + "/";
            while (s.size() < length) s += static_cast<char>('a' + (i + s.size()) % 26);
            s.resize(length);
            t.push_back(s);
        }
        return t;
    }();
    return all;
}

// The probe texts, in the order in which every benchmark looks them up.
// Both sides search with these same strings, so that the probes' memory
// layout is the same for both.
const std::vector<std::string>& probeTexts() {
    static const std::vector<std::string> all = [] {
        std::vector<int> order(kKeys);
        for (int i = 0; i < kKeys; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        std::vector<std::string> p;
        for (int i : order) p.push_back(texts()[i]);
        return p;
    }();
    return all;
}

using Table = YavHashTable<YavString, int>;

std::unique_ptr<Table> buildTable() {
    std::unique_ptr<Table> table(new Table(nullptr, true, true));
    if (table->initialize(kBuckets) != 0) abort();
    for (int i = 0; i < kKeys; ++i) {
        const std::string& s = texts()[i];
        YavString* key = new (std::nothrow) YavString(s.data(), static_cast<int>(s.size()));
        int* value = new (std::nothrow) int(i);
        if (key == nullptr || !key->ok() || value == nullptr || table->add(key, value) != 0) {
            abort();
        }
    }
    return table;
}

// Times `pass` (one look-up of every key) and reports the look-ups per
// second and the heap allocations per look-up.
template <class Pass>
void measure(benchmark::State& state, Pass pass) {
    long sum = 0;
    for (auto _ : state) sum += pass();
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kKeys);
    yav_bench::countHeapAllocations(state, kKeys, [&] { sum += pass(); });
}

void BM_UnorderedMap(benchmark::State& state) {
    std::unordered_map<std::string, int> map;
    for (int i = 0; i < kKeys; ++i) map.emplace(texts()[i], i);
    const std::vector<std::string>& probes = probeTexts();
    measure(state, [&] {
        long sum = 0;
        for (const std::string& probe : probes) sum += map.find(probe)->second;
        return sum;
    });
}
BENCHMARK(BM_UnorderedMap);

void BM_YavHashTableRefProbe(benchmark::State& state) {
    std::unique_ptr<Table> table = buildTable();
    std::vector<YavStringRef> probes;
    for (const std::string& s : probeTexts()) {
        probes.emplace_back(s.data(), static_cast<int>(s.size()));
    }
    measure(state, [&] {
        long sum = 0;
        for (const YavStringRef& probe : probes) sum += *table->find(probe);
        return sum;
    });
}
BENCHMARK(BM_YavHashTableRefProbe);

void BM_YavHashTableCachedStringProbe(benchmark::State& state) {
    std::unique_ptr<Table> table = buildTable();
    std::vector<std::unique_ptr<YavString>> probes;
    for (const std::string& s : probeTexts()) {
        probes.emplace_back(new YavString(s.data(), static_cast<int>(s.size())));
    }
    measure(state, [&] {
        long sum = 0;
        for (const auto& probe : probes) sum += *table->find(*probe);
        return sum;
    });
}
BENCHMARK(BM_YavHashTableCachedStringProbe);

void BM_YavStringRefHashOnly(benchmark::State& state) {
    std::vector<YavStringRef> probes;
    for (const std::string& s : probeTexts()) {
        probes.emplace_back(s.data(), static_cast<int>(s.size()));
    }
    measure(state, [&] {
        long sum = 0;
        for (const YavStringRef& probe : probes) sum += probe.hash();
        return sum;
    });
}
BENCHMARK(BM_YavStringRefHashOnly);

}  // namespace

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(argc, argv,
                                    "Look-up time against std::unordered_map (CPU time, same run):",
                                    {{"BM_YavHashTableRefProbe", "BM_UnorderedMap"},
                                     {"BM_YavHashTableCachedStringProbe", "BM_UnorderedMap"},
                                     {"BM_YavStringRefHashOnly", "BM_UnorderedMap"}});
}
