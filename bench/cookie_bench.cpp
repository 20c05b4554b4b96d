// A Cookie header of 10 cookies parsed into a YavReqCookieSet and written
// back (getLen + getHeaderValue), with the set's memory from an unlocked
// caching allocator as a per-request allocator would give it; the baseline
// splits the same header at ';' and '=' with memchr, the least a cookie
// parser must do.  Heap allocations per round are counted.
#include <string.h>

#include <string>
#include <vector>

#include "bench_support.h"
#include "core/http/YavCookieSet.h"
#include "core/memory/YavCachingAllocator.h"
#include "core/memory/yav_alloc.h"
#include "core/msg/yav_status.h"

namespace {

const std::string kHeader =
    "session=8f3a9c2e7b1d4f6a9e0c; theme=dark; lang=en-US; tracking=off; "
    "cart=item1%2Citem2%2Citem3; last_visit=1796499334; tz=Europe%2FZurich; "
    "consent=analytics%3D0%7Cads%3D0; ab_test=variant-b; csrf_token=Zk9xQ2hUcm5OZ1pV";

bool parseAndRebuild(YavCachingAllocator& allocator, std::vector<char>& out) {
    YavReqCookieSet set(&allocator);
    if (set.setFromHeaderValue(
            YavStringRefT<char>(kHeader.data(), static_cast<int>(kHeader.size()))) != 0 ||
        set.parseString() != 0) {
        return false;
    }
    int length = 0;
    if (set.getLen(&length) != 0 || length < 0) return false;
    out.resize(static_cast<size_t>(length) + 1);
    return set.getHeaderValue(out.data()) == 0;
}

void BM_CookieSetParseRebuild(benchmark::State& state) {
    YavCachingAllocator allocator;
    if (allocator.initialize(YAV_N_GENERAL_ALLOCATOR, YAV_ALLOC_UNLOCKED, nullptr, 64, 64) != 0) {
        state.SkipWithError("no allocator");
        return;
    }
    std::vector<char> out(kHeader.size() + 64);
    for (auto _ : state) {
        if (!parseAndRebuild(allocator, out)) {
            state.SkipWithError("the header did not parse");
            return;
        }
        benchmark::DoNotOptimize(out.data());
    }
    if (std::string(out.data()) != kHeader) state.SkipWithError("the header did not come back");
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    yav_bench::countHeapAllocations(state, 1000, [&] {
        for (int i = 0; i < 1000; ++i) parseAndRebuild(allocator, out);
    });
}

void BM_SplitCookies(benchmark::State& state) {
    for (auto _ : state) {
        const char* p = kHeader.data();
        const char* end = p + kHeader.size();
        int pairs = 0;
        while (p < end) {
            const char* eq = static_cast<const char*>(memchr(p, '=', end - p));
            if (eq == nullptr) break;
            const char* semi = static_cast<const char*>(memchr(eq, ';', end - eq));
            ++pairs;
            p = semi == nullptr ? end : semi + 1;
        }
        benchmark::DoNotOptimize(pairs);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

}  // namespace

BENCHMARK(BM_CookieSetParseRebuild);
BENCHMARK(BM_SplitCookies);

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(argc, argv,
                                    "Cookie set parse + rebuild relative to splitting the header:",
                                    {{"BM_CookieSetParseRebuild", "BM_SplitCookies"}});
}
