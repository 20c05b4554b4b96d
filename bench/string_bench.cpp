// YavString against std::string on texts of 8 to 300 bytes, in one run:
// - append: a fresh string per round made from one text and extended with a
//   second (the pattern of building a header or URL per request);
// - hash: hashing a text afresh through a YavStringRef (no cached hash)
//   against std::hash<std::string_view>.
// Ratios to the std:: baselines are printed at the end, and the heap
// allocations per append round for both.
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "core/buffers/YavString.h"

namespace {

constexpr size_t kTexts = 1024;

const std::vector<std::string>& texts() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> t;
        std::mt19937 random(7);
        for (size_t i = 0; i < kTexts; ++i) {
            size_t length = 8 + random() % 293;
            std::string s;
            for (size_t k = 0; k < length; ++k) s += static_cast<char>('!' + random() % 90);
            t.push_back(s);
        }
        return t;
    }();
    return all;
}

void yavAppendRound(size_t i) {
    const std::string& a = texts()[i % kTexts];
    const std::string& b = texts()[(i * 7 + 3) % kTexts];
    YavString s;
    bool ok = s.set(a.data(), static_cast<int>(a.size())) &&
              s.append(b.data(), static_cast<int>(b.size()));
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(s.getData());
}

void stdAppendRound(size_t i) {
    const std::string& a = texts()[i % kTexts];
    const std::string& b = texts()[(i * 7 + 3) % kTexts];
    std::string s(a);
    s.append(b);
    benchmark::DoNotOptimize(s.data());
}

void BM_AppendYav(benchmark::State& state) {
    size_t i = 0;
    for (auto _ : state) yavAppendRound(i++);
    yav_bench::countHeapAllocations(state, 1000, [] {
        for (size_t k = 0; k < 1000; ++k) yavAppendRound(k);
    });
}

void BM_AppendStd(benchmark::State& state) {
    size_t i = 0;
    for (auto _ : state) stdAppendRound(i++);
    yav_bench::countHeapAllocations(state, 1000, [] {
        for (size_t k = 0; k < 1000; ++k) stdAppendRound(k);
    });
}

void BM_HashYav(benchmark::State& state) {
    size_t i = 0;
    for (auto _ : state) {
        const std::string& t = texts()[i++ % kTexts];
        YavStringRef ref(t.data(), static_cast<int>(t.size()));
        benchmark::DoNotOptimize(ref.hash());
    }
}

void BM_HashStd(benchmark::State& state) {
    size_t i = 0;
    std::hash<std::string_view> hasher;
    for (auto _ : state) {
        const std::string& t = texts()[i++ % kTexts];
        benchmark::DoNotOptimize(hasher(std::string_view(t)));
    }
}

}  // namespace

BENCHMARK(BM_AppendYav);
BENCHMARK(BM_AppendStd);
BENCHMARK(BM_HashYav);
BENCHMARK(BM_HashStd);

int main(int argc, char** argv) {
    texts();
    return yav_bench::runWithRatios(
        argc, argv, "YavString relative to std::string (below 1 is faster):",
        {{"BM_AppendYav", "BM_AppendStd"}, {"BM_HashYav", "BM_HashStd"}});
}
