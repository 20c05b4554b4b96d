// URI normalisation and Base64 coding, the per-request text work of the
// HTTP layer:
// - processURI on a 5-segment path, case-sensitive and case-folding (in the
//   C.UTF-8 locale), against copying the same text into a YavString (the
//   least any normalisation into a new string costs);
// - Base64 encoding and decoding of 4 KiB, in bytes per second, against
//   memcpy of the same 4 KiB.
// Ratios are printed at the end; heap allocations per call are counted.
#include <locale.h>
#include <string.h>

#include <random>
#include <vector>

#include "bench_support.h"
#include "core/buffers/YavString.h"
#include "core/encoders/yav_base64.h"
#include "core/http/YavHTTP.h"

namespace {

const char kPath[] = "/Intranet/Docs/Annual-Report/2026/Summary.HTML";

void BM_ProcessURICaseSensitive(benchmark::State& state) {
    YavStringRef uri(kPath);
    YavString out;
    for (auto _ : state) {
        out.clear();
        benchmark::DoNotOptimize(YavHTTP::processURI(true, false, uri, out));
    }
    yav_bench::countHeapAllocations(state, 1000, [&] {
        for (int i = 0; i < 1000; ++i) {
            out.clear();
            YavHTTP::processURI(true, false, uri, out);
        }
    });
}

void BM_ProcessURIFolding(benchmark::State& state) {
    YavStringRef uri(kPath);
    YavString out;
    for (auto _ : state) {
        out.clear();
        benchmark::DoNotOptimize(YavHTTP::processURI(false, false, uri, out));
    }
    yav_bench::countHeapAllocations(state, 1000, [&] {
        for (int i = 0; i < 1000; ++i) {
            out.clear();
            YavHTTP::processURI(false, false, uri, out);
        }
    });
}

void BM_CopyURI(benchmark::State& state) {
    YavString out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(out.set(kPath, sizeof kPath - 1));
    }
}

constexpr size_t kBlock = 4096;

const std::vector<unsigned char>& block() {
    static const std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> b(kBlock);
        std::mt19937 random(3);
        for (unsigned char& c : b) c = static_cast<unsigned char>(random());
        return b;
    }();
    return bytes;
}

void BM_Base64Encode(benchmark::State& state) {
    std::vector<char> text(yav_base64_encoded_size(kBlock));
    for (auto _ : state) {
        yav_base64_std_encode(block().data(), kBlock, text.data(), text.size());
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlock);
}

void BM_Base64Decode(benchmark::State& state) {
    std::vector<char> text(yav_base64_encoded_size(kBlock));
    yav_base64_std_encode(block().data(), kBlock, text.data(), text.size());
    std::vector<unsigned char> bytes(yav_base64_decoded_max(text.size()));
    size_t length = 0;
    for (auto _ : state) {
        yav_base64_std_decode(text.data(), text.size() - 1, bytes.data(), &length);
        benchmark::DoNotOptimize(bytes.data());
    }
    if (length != kBlock || memcmp(bytes.data(), block().data(), kBlock) != 0) {
        state.SkipWithError("decoding did not give the block back");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlock);
}

void BM_Memcpy(benchmark::State& state) {
    std::vector<unsigned char> copy(kBlock);
    for (auto _ : state) {
        memcpy(copy.data(), block().data(), kBlock);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBlock);
}

}  // namespace

BENCHMARK(BM_ProcessURICaseSensitive);
BENCHMARK(BM_ProcessURIFolding);
BENCHMARK(BM_CopyURI);
BENCHMARK(BM_Base64Encode);
BENCHMARK(BM_Base64Decode);
BENCHMARK(BM_Memcpy);

int main(int argc, char** argv) {
    if (setlocale(LC_ALL, "C.UTF-8") == nullptr) setlocale(LC_ALL, "");
    return yav_bench::runWithRatios(argc, argv, "Time relative to the baseline (same run):",
                                    {{"BM_ProcessURICaseSensitive", "BM_CopyURI"},
                                     {"BM_ProcessURIFolding", "BM_CopyURI"},
                                     {"BM_Base64Encode", "BM_Memcpy"},
                                     {"BM_Base64Decode", "BM_Memcpy"}});
}
