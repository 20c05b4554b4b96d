// parseRequestLine + parseHeaderSet over a typical browser request (request
// line and 12 headers, about 700 bytes): requests per second on one core,
// with the header table's entries taken from an unlocked caching allocator
// as a per-request allocator would give them.  The baseline splits the
// same bytes into lines with memchr, the least any header parser must do.
// Heap allocations per request are counted (the goal is none once warm).
#include <string.h>

#include <string>

#include "bench_support.h"
#include "core/buffers/YavBufferCursor.h"
#include "core/http/YavHTTPParser.h"
#include "core/memory/YavCachingAllocator.h"
#include "core/memory/yav_alloc.h"
#include "core/msg/yav_status.h"

namespace {

const std::string& request() {
    static const std::string text =
        "GET /intranet/docs/annual-report/2026/summary.html?lang=en&view=full HTTP/1.1\r\n"
        "Host: www.example.com\r\n"
        "User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0\r\n"
        "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
        "Accept-Language: en-US,en;q=0.5\r\n"
        "Accept-Encoding: gzip, deflate, br\r\n"
        "Referer: https://www.example.com/intranet/docs/index.html\r\n"
        "Connection: keep-alive\r\n"
        "Cookie: session=8f3a9c2e7b1d4f6a; theme=dark; tracking=off\r\n"
        "Upgrade-Insecure-Requests: 1\r\n"
        "Sec-Fetch-Dest: document\r\n"
        "Sec-Fetch-Mode: navigate\r\n"
        "Cache-Control: max-age=0\r\n"
        "\r\n";
    return text;
}

bool parseOnce(YavCachingAllocator& allocator) {
    YavBufferCursor cursor(request().data(), static_cast<int>(request().size()));
    YavHTTPMethod method;
    YavStringRef uri, version;
    if (YavHTTPParser::parseRequestLine(cursor, method, nullptr, uri, version) != 0) return false;
    YavHTTPHeaderSet headers(&allocator, true, true);
    if (headers.initialize(YAV_HTTP_HEADER_BUCKETS) != 0) return false;
    if (YavHTTPParser::parseHeaderSet(cursor, headers) != 0) return false;
    return headers.count() == 12;
}

void BM_ParseRequest(benchmark::State& state) {
    YavCachingAllocator allocator;
    if (allocator.initialize(YAV_N_GENERAL_ALLOCATOR, YAV_ALLOC_UNLOCKED, nullptr, 64, 64) != 0) {
        state.SkipWithError("no allocator");
        return;
    }
    for (auto _ : state) {
        if (!parseOnce(allocator)) {
            state.SkipWithError("the request did not parse");
            return;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    yav_bench::countHeapAllocations(state, 1000, [&] {
        for (int i = 0; i < 1000; ++i) parseOnce(allocator);
    });
}

void BM_SplitLines(benchmark::State& state) {
    for (auto _ : state) {
        const char* p = request().data();
        const char* end = p + request().size();
        int lines = 0;
        while (p < end) {
            const char* nl = static_cast<const char*>(memchr(p, '\n', end - p));
            if (nl == nullptr) break;
            ++lines;
            p = nl + 1;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

}  // namespace

BENCHMARK(BM_ParseRequest);
BENCHMARK(BM_SplitLines);

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(argc, argv,
                                    "Request parsing relative to splitting it into lines:",
                                    {{"BM_ParseRequest", "BM_SplitLines"}});
}
