// The cost of marshalling one typical web request question (a secure
// request with its raw HTTP message, four strings, the server part and an
// SSL part with a client certificate: five elements, about 700 bytes) from
// the views into a request region, beside a baseline that copies the same
// bytes with memcpy.  Printed at the end: marshal / memcpy.  Heap
// allocations per warm question are reported as mallocs_per_op and must be
// 0: the marshaller refers to the views' data and writes it in place.
//
// The views are the recording test views with the getters the marshaller
// calls answering fixed data without recording (recording would allocate
// for its call log and measure the test aid, not the marshaller).
#include <string.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/msg/yav_status.h"
#include "msg/plugin/YavWebReqQuestionMarshaller.h"
#include "plugin/core/yav_view_test_aids.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

namespace {

const char kHTTP[] =
    "GET /portal/app/index.jsp?user=alice&lang=en HTTP/1.1\r\n"
    "Host: www.example.com\r\n"
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64; rv:109.0) Gecko/20100101 Firefox/115.0\r\n"
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
    "Accept-Language: en-US,en;q=0.5\r\n"
    "Cookie: session=0123456789abcdef0123456789abcdef; theme=dark\r\n"
    "Connection: keep-alive\r\n\r\n";

void refer(YavStringRef* out, const char* text) { out->set(text, static_cast<int>(strlen(text))); }

class BenchRequest : public YavRecordingRequest {
  public:
    yav_status_t getHTTPBuffer(YavBuffer* raw) override {
        raw->refer(kHTTP, static_cast<int>(sizeof kHTTP - 1));
        return 0;
    }
    yav_status_t getClientIP(YavStringRef& ip) override {
        refer(&ip, "192.0.2.44");
        return 0;
    }
    yav_status_t getURI(YavStringRef* uri) override {
        refer(uri, "/portal/app/index.jsp");
        return 0;
    }
    yav_status_t getQuery(YavStringRef* query) override {
        refer(query, "user=alice&lang=en");
        return 0;
    }
    yav_status_t getConnectionID(YavStringRef* id) override {
        refer(id, "conn-000731");
        return 0;
    }
    yav_status_t getWSARequested(bool&) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t getWSAUser(YavStringRef*) override { return YAV_S_NOT_AVAILABLE; }
    bool isSubRequest() override { return false; }
    yav_status_t getSecurity(int* security) override {
        *security = 1;
        return 0;
    }
};

class BenchServer : public YavRecordingServer {
  public:
    yav_status_t getVHostID(YavStringRef* id) override {
        refer(id, "www.example.com-443");
        return 0;
    }
    yav_status_t getName(YavStringRef* name) override {
        refer(name, "www.example.com");
        return 0;
    }
    yav_status_t getPort(int* port) override {
        *port = 443;
        return 0;
    }
};

class BenchSSLSession : public YavRecordingSSLSession {
  public:
    yav_status_t getID(YavBuffer* id) override {
        id->refer("0123456789abcdef0123456789abcdef", 32);
        return 0;
    }
    bool canRequestClientCert() override { return true; }
};

class BenchClientCert : public YavRecordingClientCert {
  public:
    yav_status_t getIssuerDN(YavStringRef* dn) override {
        refer(dn, "CN=Example Issuing CA,O=Example,C=US");
        return 0;
    }
    yav_status_t getSubjectDN(YavStringRef* dn) override {
        refer(dn, "CN=alice,OU=People,O=Example,C=US");
        return 0;
    }
    yav_status_t getSerialNumber(YavStringRef* serial) override {
        refer(serial, "4a:1f:93:07:c2");
        return 0;
    }
};

// The request and its views, and a request region of 8 KB.
struct Fixture {
    BenchRequest request;
    YavRecordingTransaction trans;
    YavHeapSharedMem segment{8192};
    YavSharedMemAllocator allocator;
    bool ok = false;

    Fixture() {
        request.setServer(new BenchServer);
        BenchSSLSession* ssl = new BenchSSLSession;
        ssl->setClientCert(new BenchClientCert);
        request.setSSLSession(ssl);
        trans.attach(&request, nullptr);
        ok = segment.ok() && allocator.initialize(segment, 0, 8192) == 0;
    }

    bool marshalOnce() {
        allocator.reset();
        YavWebReqQuestionMarshaller q(&trans);
        return q.marshal(allocator) == 0;
    }
};

void BM_WebReqQuestionMarshal(benchmark::State& state) {
    Fixture f;
    if (!f.ok || !f.marshalOnce()) {
        state.SkipWithError("the question could not be marshalled");
        return;
    }
    for (auto _ : state) {
        if (!f.marshalOnce()) {
            state.SkipWithError("marshal failed");
            return;
        }
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = f.allocator.getCurrent();
    const long ops = 1000;
    bool failed = false;
    yav_bench::countHeapAllocations(state, ops, [&] {
        for (long i = 0; i < ops; ++i) failed |= !f.marshalOnce();
    });
    if (failed) state.SkipWithError("marshal failed while counting");
}
BENCHMARK(BM_WebReqQuestionMarshal);

// The same number of bytes copied from a finished question into a second
// region: the least that writing the question can cost.
void BM_MemcpyBaseline(benchmark::State& state) {
    Fixture f;
    if (!f.ok || !f.marshalOnce()) {
        state.SkipWithError("the question could not be marshalled");
        return;
    }
    const unsigned bytes = f.allocator.getCurrent();
    std::vector<unsigned char> copy(bytes);
    for (auto _ : state) {
        memcpy(copy.data(), f.segment.bytes(), bytes);
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = bytes;
}
BENCHMARK(BM_MemcpyBaseline);

}  // namespace

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(argc, argv, "Marshal relative to copying the same bytes:",
                                    {{"BM_WebReqQuestionMarshal", "BM_MemcpyBaseline"}});
}
