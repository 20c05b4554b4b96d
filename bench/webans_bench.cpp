// The cost of reading one web transaction answer and applying it, in one
// run:
// - baseline: walking the answer's element chain with a bare
//   YavSharedMemIterator (the least any reader of the answer costs);
// - answer: YavWebTransAnswerUnmarshaller reading a typical answer of 5
//   commands (a request header, a response header, status code, content
//   type, one body piece) and applying it to views that record what they
//   are given without allocating.
// Printed at the end: answer / baseline.  Heap allocations per warm answer
// are reported as mallocs_per_op (expected 0).
#include <string.h>

#include "bench/bench_support.h"
#include "bench/yav_bench_views.h"
#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/plugin/YavWebTransAnswerUnmarshaller.h"
#include "plugin/core/YavTransaction.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "server/YavWebTransAnswerWriter.h"

namespace {

// Views that count the calls they get and keep the length of what they are
// given; nothing allocates.
struct Record {
    long calls = 0;
    long bytes = 0;
    yav_status_t note(int len) {
        ++calls;
        bytes += len;
        return 0;
    }
};

class BenchRequest : public YavBenchNoHeaders<YavRequest> {
  public:
    BenchRequest() : YavBenchNoHeaders<YavRequest>(nullptr) {}
    Record record;
    yav_status_t setHeader(const YavStringRef& n, const YavStringRefT<char>& v) override {
        return record.note(n.getLength() + v.getLength());
    }
    yav_status_t addHeader(const YavStringRef& n, const YavStringRefT<char>& v) override {
        return record.note(n.getLength() + v.getLength());
    }
    yav_status_t finalizeHeader() override { return record.note(0); }
    yav_status_t finalizeBody() override { return record.note(0); }
    yav_status_t getCookie(const YavStringRef&, YavNCPStringRef*, YavNCPStringRef*,
                           YavNCPStringRef*, int*) override {
        return YAV_S_NOT_AVAILABLE;
    }
    yav_status_t setCookie(const YavStringRef&, const YavStringRefT<char>&,
                           const YavStringRefT<char>*, const YavStringRefT<char>*, int) override {
        return 0;
    }
    yav_status_t removeHeader(const YavStringRef& n) override { return record.note(n.getLength()); }
    yav_status_t getQuery(YavStringRef*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t setQuery(const YavStringRef& q) override { return record.note(q.getLength()); }
    yav_status_t getURI(YavStringRef*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t setURI(const YavStringRef& u) override { return record.note(u.getLength()); }
    yav_status_t getClientIP(YavStringRef&) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t getSecurity(int* s) override {
        *s = 0;
        return 0;
    }
    yav_status_t getMethod(YavHTTPMethod*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t getMethod(YavStringRef*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t setMethod(YavHTTPMethod) override { return record.note(0); }
    yav_status_t setMethod(const YavStringRef& m) override { return record.note(m.getLength()); }
    yav_status_t getVersion(YavStringRef*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t setVersion(const YavStringRef& v) override { return record.note(v.getLength()); }
    yav_status_t getPostData(YavBuffer*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t getHTTPBuffer(YavBuffer*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t setWebLogUser(const YavStringRef& a, const YavStringRef& b,
                               const YavStringRef& c) override {
        return record.note(a.getLength() + b.getLength() + c.getLength());
    }
};

class BenchResponse : public YavBenchNoHeaders<YavResponse> {
  public:
    Record record;
    yav_status_t setHeader(const YavStringRef& n, const YavStringRefT<char>& v) override {
        return record.note(n.getLength() + v.getLength());
    }
    yav_status_t addHeader(const YavStringRef& n, const YavStringRefT<char>& v) override {
        return record.note(n.getLength() + v.getLength());
    }
    yav_status_t finalizeHeader() override { return record.note(0); }
    yav_status_t finalizeBody() override { return record.note(0); }
    yav_status_t setCookie(const YavStringRef&, const YavStringRefT<char>&,
                           const YavStringRefT<char>*, const YavStringRefT<char>*,
                           const YavStringRefT<char>*, const YavStringRefT<char>*, int,
                           int) override {
        return 0;
    }
    yav_status_t setBody(const YavBuffer& b) override { return record.note(b.getLen()); }
    yav_status_t setBodyFromFile(const YavStringRef& p) override {
        return record.note(p.getLength());
    }
    yav_status_t setCode(int) override { return record.note(0); }
    yav_status_t setContentType(const YavStringRef& t) override {
        return record.note(t.getLength());
    }
    yav_status_t setDefaultResponse(int) override { return record.note(0); }
};

constexpr unsigned kSegmentSize = 1024;

// The typical answer, written by the server-side writer into seg.
bool writeAnswer(YavHeapSharedMem& seg, unsigned* used) {
    YavSharedMemAllocator alloc;
    if (alloc.initialize(seg, 0, kSegmentSize) != 0) return false;
    YavWebTransAnswerWriter w(alloc);
    YavProxyIFMsgNameValue reqHeader;
    reqHeader.set(YavStringRef("iv-user"), YavStringRef("alice"));
    YavProxyIFMsgNameValue rspHeader;
    rspHeader.set(YavStringRef("Cache-Control"), YavStringRef("no-cache"));
    YavProxyIFMsgInt code(403);
    YavProxyIFMsgString type;
    type.set(YavStringRef("text/html"));
    static const char kBody[] = "<html><body>Access denied</body></html>";
    YavBuffer bodyBytes;
    bodyBytes.refer(kBody, static_cast<int>(sizeof kBody - 1));
    YavProxyIFMsgBuffer body;
    body.set(bodyBytes);
    bool ok =
        w.begin(yav_send_rsp_to_client, 5) == 0 && w.add(yav_req_set_header, reqHeader) == 0 &&
        w.add(yav_rsp_set_header, rspHeader) == 0 && w.add(yav_rsp_set_response_code, code) == 0 &&
        w.add(yav_rsp_set_content_type, type) == 0 && w.add(yav_rsp_set_body, body) == 0 &&
        w.finish() == 0;
    *used = alloc.getCurrent();
    return ok;
}

void BM_Baseline_WalkElements(benchmark::State& state) {
    YavHeapSharedMem seg(kSegmentSize);
    unsigned used = 0;
    if (!writeAnswer(seg, &used)) {
        state.SkipWithError("answer not written");
        return;
    }
    auto walk = [&]() {
        YavSharedMemIterator it;
        it.initialize(seg, 0, used);
        unsigned total = 0;
        unsigned len = 0;
        void* data = nullptr;
        while (it.hasMoreElements() && it.getNextElement(&len, &data) == 0) total += len;
        benchmark::DoNotOptimize(total);
    };
    for (auto _ : state) walk();
    yav_bench::countHeapAllocations(state, 1000, [&]() {
        for (int i = 0; i < 1000; ++i) walk();
    });
}

void BM_Answer_ReadAndApply(benchmark::State& state) {
    YavHeapSharedMem seg(kSegmentSize);
    unsigned used = 0;
    if (!writeAnswer(seg, &used)) {
        state.SkipWithError("answer not written");
        return;
    }
    BenchRequest req;
    BenchResponse rsp;
    YavBenchTransaction trans(&req, &rsp);
    bool failed = false;
    auto apply = [&]() {
        YavSharedMemIterator it;
        it.initialize(seg, 0, used);
        YavWebTransAnswerUnmarshaller reader;
        if (reader.unmarshal(it, &trans) != 0) failed = true;
        benchmark::DoNotOptimize(reader.getRspCode());
    };
    apply();
    if (failed || trans.lines != 0 || rsp.record.calls != 7) {
        state.SkipWithError("answer not applied as expected");
        return;
    }
    for (auto _ : state) apply();
    yav_bench::countHeapAllocations(state, 1000, [&]() {
        for (int i = 0; i < 1000; ++i) apply();
    });
    if (failed) state.SkipWithError("answer failed");
}

BENCHMARK(BM_Baseline_WalkElements);
BENCHMARK(BM_Answer_ReadAndApply);

}  // namespace

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(argc, argv, "web transaction answer / bare element walk",
                                    {{"BM_Answer_ReadAndApply", "BM_Baseline_WalkElements"}});
}
