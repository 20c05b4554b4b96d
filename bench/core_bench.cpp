// YavCore::handleReq on the three roads of a request, against the reference
// authorization server tessaro-authzd, in one run:
// - (a) unprotected host: a request for a virtual host that is unprotected
//   as a whole; baseline: one std::unordered_map find of the host's ID
//   (the least any host look-up costs);
// - (b) cache decision: a request 5 levels deep under an open ancestor
//   ("/d1/d2/d3/d4/page.html" on a host whose branch database, fetched
//   from the server at initialize, lists 10,000 open resources; the nearest
//   listed ancestor is four levels up); baseline: the same walk of five
//   look-ups in a std::unordered_map of the same 10,000 names, without
//   locks, views or permissions;
// - (c) server decision: a protected request with Basic credentials that
//   the server allows with an answer of 3 commands (user header, web-log
//   user, cache version), from 1, 2 and 64 request threads through 8
//   workers; on its way the cache finds no listed ancestor (six look-ups
//   in a small branch database).  Baseline (d): a bare System V semaphore
//   ping-pong with a partner process (bench/yav_pingpong.h), the least a
//   round trip costs.
// Informational: the server's password check alone (the DES crypt(3) hash
// of the policy, the cheapest one libcrypt offers; it is part of every (c)
// answer).
//
// Printed at the end, from the same run: (a) and (b) over their baselines,
// (c) over (d), the password check over (d), the 64-thread throughput over
// the 2-thread one (2-thread time per request over 64-thread time per
// request), and the fairness of a 64-thread run that stops after a fixed
// total of requests: the fewest requests one thread completed over the
// mean.  Heap allocations per warm request are reported as mallocs_per_op
// for (a), (b) and single-thread (c) (plain builds; this process only).
//
// Set-up: two tessaro-authzd processes, each on its own private key file
// with a core attached (see Site): one whose policy lists the 10,000 open
// resources, for (a) and (b), and one with a few, for (c).  Policies and
// the plug-in's configuration directory live in a fresh temporary
// directory.  Every IPC object is removed at the end and on SIGINT,
// SIGTERM, SIGHUP, SIGABRT, SIGSEGV and SIGBUS (the servers' objects by
// key, the ping-pong set by id), the servers are stopped (killed from a
// signal handler) and the temporary files removed.
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "authzd/YavAuthzDecision.h"
#include "authzd/yav_authzd_test_aids.h"
#include "bench/bench_support.h"
#include "bench/yav_bench_views.h"
#include "bench/yav_pingpong.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_test_tempdir.h"
#include "core/trace/YavLog.h"
#include "plugin/core/YavCore.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "server/yav_test_server_process.h"

#ifndef YAV_AUTHZD_PROGRAM
#define YAV_AUTHZD_PROGRAM ""
#endif

namespace {

const int kWorkers = 8;
const int kOpenEntries = 10000;
// Open resources of the server that (c) asks (see Site).
const int kServerOpenEntries = 10;
const int kFairnessThreads = 64;
const long kFairnessRequestsPerThread = 400;

// Password "pw-bob" under the DES hash with salt "ab".
const char kPassword[] = "pw-bob";
const char kPasswordHash[] = "abb4CaqxjhwTs";

const char kCachedURI[] = "/d1/d2/d3/d4/page.html";
const char kServerURI[] = "/secure/d2/d3/d4/page.html";

// ---- views that keep what they are given in fixed storage -------------------

// A text copied into a fixed buffer (no heap); longer texts are refused.
class FixedText {
  public:
    bool set(const char* data, int length) {
        if (length < 0 || length >= static_cast<int>(sizeof m_data)) return false;
        memcpy(m_data, data, static_cast<size_t>(length));
        m_length = length;
        return true;
    }
    void clear() { m_length = -1; }
    bool isSet() const { return m_length >= 0; }
    bool equals(const char* text) const {
        return isSet() && static_cast<size_t>(m_length) == strlen(text) &&
               memcmp(m_data, text, static_cast<size_t>(m_length)) == 0;
    }

  private:
    char m_data[64];
    int m_length = -1;
};

class BenchServer : public YavServer {
  public:
    explicit BenchServer(const char* vhost) : m_vhost(vhost) {}
    yav_status_t getVHostID(YavStringRef* id) override {
        *id = YavStringRef(m_vhost);
        return 0;
    }
    yav_status_t getName(YavStringRef* name) override {
        *name = YavStringRef(m_vhost);
        return 0;
    }
    yav_status_t getPort(int* port) override {
        *port = 80;
        return 0;
    }

  private:
    const char* m_vhost;
};

// A GET request over fixed texts (the caller's, which must outlive it).  The
// header the server sets (the user header) and the web-log user are kept
// so that the benchmark can check every answer.
class BenchRequest : public YavBenchNoHeaders<YavRequest> {
  public:
    BenchRequest(const char* vhost, const char* uri, const char* http)
        : YavBenchNoHeaders<YavRequest>(nullptr), m_uri(uri), m_http(http) {
        setServer(new BenchServer(vhost));
    }

    FixedText userHeader;  // value of the last setHeader of "X-User"
    FixedText webLogUser;  // first text of the last setWebLogUser
    int otherSets = 0;     // any other change made through the view

    void reset() {
        userHeader.clear();
        webLogUser.clear();
        otherSets = 0;
    }

    yav_status_t setHeader(const YavStringRef& name, const YavStringRefT<char>& value) override {
        if (name.getLength() == 6 && memcmp(name.getData(), "X-User", 6) == 0) {
            return userHeader.set(value.getData(), value.getLength()) ? 0 : YAV_S_NO_MEMORY;
        }
        return changed();
    }
    yav_status_t addHeader(const YavStringRef&, const YavStringRefT<char>&) override {
        return changed();
    }
    yav_status_t finalizeHeader() override { return 0; }
    yav_status_t finalizeBody() override { return 0; }
    yav_status_t getCookie(const YavStringRef&, YavNCPStringRef*, YavNCPStringRef*,
                           YavNCPStringRef*, int*) override {
        return YAV_S_NOT_AVAILABLE;
    }
    yav_status_t setCookie(const YavStringRef&, const YavStringRefT<char>&,
                           const YavStringRefT<char>*, const YavStringRefT<char>*, int) override {
        return changed();
    }
    yav_status_t removeHeader(const YavStringRef&) override { return changed(); }
    yav_status_t getQuery(YavStringRef*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t setQuery(const YavStringRef&) override { return changed(); }
    yav_status_t getURI(YavStringRef* uri) override {
        *uri = YavStringRef(m_uri);
        return 0;
    }
    yav_status_t setURI(const YavStringRef&) override { return changed(); }
    yav_status_t getClientIP(YavStringRef& ip) override {
        ip = YavStringRef("10.0.0.1");
        return 0;
    }
    yav_status_t getSecurity(int* security) override {
        *security = 0;
        return 0;
    }
    yav_status_t getMethod(YavHTTPMethod* method) override {
        *method = yav_http_get;
        return 0;
    }
    yav_status_t getMethod(YavStringRef* method) override {
        *method = YavStringRef("GET");
        return 0;
    }
    yav_status_t setMethod(YavHTTPMethod) override { return changed(); }
    yav_status_t setMethod(const YavStringRef&) override { return changed(); }
    yav_status_t getVersion(YavStringRef* version) override {
        *version = YavStringRef("HTTP/1.1");
        return 0;
    }
    yav_status_t setVersion(const YavStringRef&) override { return changed(); }
    yav_status_t getPostData(YavBuffer*) override { return YAV_S_NOT_AVAILABLE; }
    yav_status_t getHTTPBuffer(YavBuffer* raw) override {
        raw->refer(m_http, static_cast<int>(strlen(m_http)));
        return 0;
    }
    yav_status_t setWebLogUser(const YavStringRef& first, const YavStringRef&,
                               const YavStringRef&) override {
        return webLogUser.set(first.getData(), first.getLength()) ? 0 : YAV_S_NO_MEMORY;
    }

  private:
    yav_status_t changed() {
        ++otherSets;
        return 0;
    }

    const char* m_uri;
    const char* m_http;
};

// A response that only notes whether anything was done to it.
class BenchResponse : public YavBenchNoHeaders<YavResponse> {
  public:
    int changes = 0;

    yav_status_t setHeader(const YavStringRef&, const YavStringRefT<char>&) override {
        return changed();
    }
    yav_status_t addHeader(const YavStringRef&, const YavStringRefT<char>&) override {
        return changed();
    }
    yav_status_t finalizeHeader() override { return 0; }
    yav_status_t finalizeBody() override { return 0; }
    yav_status_t setCookie(const YavStringRef&, const YavStringRefT<char>&,
                           const YavStringRefT<char>*, const YavStringRefT<char>*,
                           const YavStringRefT<char>*, const YavStringRefT<char>*, int,
                           int) override {
        return changed();
    }
    yav_status_t setBody(const YavBuffer&) override { return changed(); }
    yav_status_t setBodyFromFile(const YavStringRef&) override { return changed(); }
    yav_status_t setCode(int) override { return changed(); }
    yav_status_t setContentType(const YavStringRef&) override { return changed(); }
    yav_status_t setDefaultResponse(int) override { return changed(); }

  private:
    yav_status_t changed() {
        ++changes;
        return 0;
    }
};

// One request of one thread: its views, reused for every request.
struct Exchange {
    BenchRequest request;
    BenchResponse response;
    YavBenchTransaction trans{&request, &response};

    Exchange(const char* vhost, const char* uri, const char* http) : request(vhost, uri, http) {}
};

// ---- the set-up -------------------------------------------------------------

// Writes the set-up's failures to standard error.
class StderrLog : public YavLog {
  public:
    void logImpl(int, const char* file, int line, const char* component,
                 const YavStringRef& text) override {
        fprintf(stderr, "%s:%d %s: %.*s\n", file != nullptr ? file : "", line,
                component != nullptr ? component : "", text.getLength(), text.getData());
    }
};

// One tessaro-authzd with its key and a core attached to it.  Two are
// started: the server scans its open resources one by one for every
// question, so the 10,000 entries that (b) needs would make each answer of
// (c) measure that scan; (c) asks a second server whose policy lists only
// a few.
struct Site {
    YavIpcTestKey* key = nullptr;
    YavTestProcess* server = nullptr;
    YavCore* core = nullptr;
    volatile sig_atomic_t serverPid = 0;  // for the signal handler
};

Site g_cacheSite;   // 10,000 open resources: (a) and (b)
Site g_serverSite;  // a few open resources: (c)
YavTestTempDir* g_dir = nullptr;
StderrLog* g_log = nullptr;
std::string g_serverHTTP;  // the raw request of (c), with credentials
std::vector<std::string>* g_openNames = nullptr;

// The files and directories to remove from a signal handler, fixed before
// the benchmarks run.
const int kRemoveSlots = 8;
char g_removePaths[kRemoveSlots][512];
volatile sig_atomic_t g_removeCount = 0;

void addRemovePath(const std::string& path) {
    if (g_removeCount < kRemoveSlots && path.size() < sizeof g_removePaths[0]) {
        memcpy(g_removePaths[g_removeCount], path.c_str(), path.size() + 1);
        g_removeCount = g_removeCount + 1;
    }
}

void killFromSignal(Site& site) {
    if (site.key != nullptr) site.key->removeAll();
    if (site.serverPid > 0) {
        kill(site.serverPid, SIGKILL);
        waitpid(site.serverPid, nullptr, 0);
    }
}

void onSignal(int sig) {
    // System calls only (removeAll walks its lists and calls shmctl and
    // semctl); the servers are killed outright since their objects are gone.
    killFromSignal(g_cacheSite);
    killFromSignal(g_serverSite);
    yav_bench::pingPongKillFromSignal();
    // Files first, then their directories (rmdir refuses a file).
    for (int i = 0; i < g_removeCount; ++i) unlink(g_removePaths[i]);
    for (int i = 0; i < g_removeCount; ++i) rmdir(g_removePaths[i]);
    _exit(128 + sig);
}

// The open resources of the branch /web of the first server: 9,999 names
// two levels deep and /web/d1, the open ancestor of the cached request.
std::string openName(int i) {
    if (i == kOpenEntries - 1) return "/web/d1";
    return "/web/o" + std::to_string(i / 100) + "/p" + std::to_string(i);
}

// A policy with host www (branch /web) where bob may read /web/secure, the
// unprotected host open-host, and `openEntries` open resources (the last
// one /web/d1).
std::string policyText(int openEntries) {
    std::string text =
        "[authzd]\n"
        "realm = Bench\n"
        "user-header = X-User\n"
        "cache = yes\n"
        "cache-poll-interval = 86400\n"
        "\n"
        "[vhost open-host]\n"
        "flags = http unprotected\n"
        "\n"
        "[vhost www]\n"
        "branch = /web\n"
        "flags = http https\n"
        "default = r\n"
        "GET = r\n"
        "\n"
        "[open /web]\n";
    for (int i = kOpenEntries - openEntries; i < kOpenEntries; ++i) {
        text += openName(i) + " = r\n";
    }
    text +=
        "\n"
        "[acl /web/secure]\n"
        "user bob = r\n"
        "\n"
        "[users]\n";
    text += std::string("bob = ") + kPasswordHash + "\n";
    return text;
}

// One request through core; true when it took the road and got the outcome
// expected of it (unprotected: let through untouched; server: allowed as
// bob).
bool handleOnce(YavCore* core, Exchange& ex, bool byServer) {
    ex.request.reset();
    ex.response.changes = 0;
    ex.trans.setResult(yav_severe_error);
    if (core->handleReq(&ex.trans) != 0) return false;
    if (byServer) {
        return ex.trans.getResult() == yav_continue && ex.request.userHeader.equals("bob") &&
               ex.request.webLogUser.equals("bob") && ex.request.otherSets == 0 &&
               ex.response.changes == 0;
    }
    return ex.trans.getResult() == yav_continue_uninteresting && !ex.request.userHeader.isSet() &&
           ex.request.otherSets == 0 && ex.response.changes == 0;
}

// Starts the server of site on the policy file name (in g_dir) holding
// openEntries open resources, and a core attached to it.
bool startSite(Site& site, const char* name, int openEntries, const char* programName) {
    site.key = new YavIpcTestKey("yavcorebench-key");
    if (!site.key->ok()) {
        fprintf(stderr, "no key file: %s\n", site.key->error().c_str());
        return false;
    }
    const std::string keyPath = site.key->path();
    addRemovePath(keyPath);
    addRemovePath(keyPath.substr(0, keyPath.rfind('/')));
    addRemovePath(g_dir->path(name));
    std::string policy = yav_authz_write_file(*g_dir, name, policyText(openEntries));
    if (policy.empty()) {
        fprintf(stderr, "cannot write the policy %s\n", name);
        return false;
    }

    site.server = new YavTestProcess();
    if (!site.server->start(YAV_AUTHZD_PROGRAM,
                            {"--policy", policy, "--key", keyPath, "--workers",
                             std::to_string(kWorkers), "--buffer-size", std::to_string(1 << 20)})) {
        fprintf(stderr, "cannot start %s\n", YAV_AUTHZD_PROGRAM);
        return false;
    }
    site.serverPid = site.server->pid();
    if (!site.server->waitForLine("ready", 60000)) {
        fprintf(stderr, "tessaro-authzd did not come up on %s\n", name);
        return false;
    }

    site.core = new YavCore(programName, g_dir->path().c_str());
    yav_status_t status = site.core->initialize(keyPath.c_str(), g_log);
    if (status != 0) {
        fprintf(stderr, "YavCore::initialize failed on %s: %#x\n", name, status);
        return false;
    }
    return true;
}

bool startAll(const char* programName) {
    if (YAV_AUTHZD_PROGRAM[0] == '\0') {
        fprintf(stderr, "built without tessaro-authzd\n");
        return false;
    }
    g_dir = new YavTestTempDir("yavcorebench");
    if (!g_dir->ok()) {
        fprintf(stderr, "no temporary directory: %s\n", g_dir->error().c_str());
        return false;
    }
    // The plug-in's own file names no host: every host comes from the
    // servers.  The directory goes last, after the files in it.
    addRemovePath(g_dir->path("tessaro.conf"));
    if (yav_authz_write_file(*g_dir, "tessaro.conf", "[krweb-plugins]\n").empty()) {
        fprintf(stderr, "cannot write tessaro.conf\n");
        return false;
    }
    g_log = new StderrLog();
    if (!startSite(g_cacheSite, "policy-cache.conf", kOpenEntries, programName) ||
        !startSite(g_serverSite, "policy-server.conf", kServerOpenEntries, programName)) {
        return false;
    }
    addRemovePath(g_dir->path());

    g_serverHTTP = std::string("GET ") + kServerURI +
                   " HTTP/1.1\r\nHost: www\r\nAuthorization: " + yav_authz_basic("bob", kPassword) +
                   "\r\n\r\n";
    g_openNames = new std::vector<std::string>();
    for (int i = 0; i < kOpenEntries; ++i) g_openNames->push_back(openName(i));

    // Each road once, so that a broken set-up is told apart from a slow one.
    Exchange open("open-host", "/x", "GET /x HTTP/1.1\r\n\r\n");
    Exchange cached("www", kCachedURI, "GET /d1/d2/d3/d4/page.html HTTP/1.1\r\n\r\n");
    Exchange asked("www", kServerURI, g_serverHTTP.c_str());
    const struct {
        const char* what;
        YavCore* core;
        Exchange* ex;
        bool byServer;
    } checks[] = {{"unprotected host", g_cacheSite.core, &open, false},
                  {"cache decision", g_cacheSite.core, &cached, false},
                  {"server decision", g_serverSite.core, &asked, true}};
    for (const auto& c : checks) {
        if (!handleOnce(c.core, *c.ex, c.byServer)) {
            fprintf(stderr, "%s: unexpected outcome (result %d, log: %s)\n", c.what,
                    static_cast<int>(c.ex->trans.getResult()), c.ex->trans.firstLine);
            return false;
        }
    }
    return true;
}

// Shuts both cores down before either is destroyed (a core's destructor
// ends the process-wide traces that the other's dispatcher writes through),
// then stops the servers (each removes its objects) and removes what is
// left under the keys.
void stopAll() {
    for (Site* site : {&g_cacheSite, &g_serverSite}) {
        if (site->core != nullptr) site->core->shutdown();
    }
    for (Site* site : {&g_cacheSite, &g_serverSite}) {
        delete site->core;
        site->core = nullptr;
        if (site->server != nullptr) site->server->stop();
        site->serverPid = 0;
        delete site->server;
        site->server = nullptr;
        delete site->key;  // removes anything left under the key, and the key file
        site->key = nullptr;
    }
    delete g_log;
    g_log = nullptr;
    delete g_dir;
    g_dir = nullptr;
    delete g_openNames;
    g_openNames = nullptr;
}

// ---- (d) ping-pong ----------------------------------------------------------

void BM_SemPingPong(benchmark::State& state) { yav_bench::pingPongRoundTrips(state); }
BENCHMARK(BM_SemPingPong)->UseRealTime();

// ---- (a) unprotected host ---------------------------------------------------

void BM_HostMapFind(benchmark::State& state) {
    std::unordered_map<std::string, bool> hosts = {{"www", false}, {"open-host", true}};
    const std::string id = "open-host";
    for (auto _ : state) {
        auto it = hosts.find(id);
        bool unprotected = it != hosts.end() && it->second;
        benchmark::DoNotOptimize(unprotected);
    }
}
BENCHMARK(BM_HostMapFind);

// Times handleReq on ex until the state ends, checking every outcome, then
// counts the heap allocations of `counted` more requests (on the first thread
// only when threaded).
void runCoreRequests(benchmark::State& state, YavCore* core, Exchange& ex, bool asksServer,
                     int counted) {
    for (auto _ : state) {
        if (!handleOnce(core, ex, asksServer)) {
            state.SkipWithError("wrong outcome");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations());
    if (state.threads() > 1) return;
    bool ok = true;
    yav_bench::countHeapAllocations(state, counted, [&] {
        for (int i = 0; i < counted; ++i) ok = handleOnce(core, ex, asksServer) && ok;
    });
    if (!ok) state.SkipWithError("wrong outcome while counting allocations");
}

void BM_CoreUnprotectedHost(benchmark::State& state) {
    Exchange ex("open-host", "/x", "GET /x HTTP/1.1\r\n\r\n");
    runCoreRequests(state, g_cacheSite.core, ex, false, 1000);
}
BENCHMARK(BM_CoreUnprotectedHost);

// ---- (b) cache decision -----------------------------------------------------

// Walks from the object to its nearest listed ancestor, five look-ups, in a
// map of the same names (views into them; the probe is a stack copy).
void BM_MapWalkDepth5(benchmark::State& state) {
    std::unordered_map<std::string_view, int> names;
    for (const std::string& n : *g_openNames) names[n] = 1;
    const std::string object = std::string("/web") + kCachedURI;
    char probe[64];
    memcpy(probe, object.c_str(), object.size());
    for (auto _ : state) {
        size_t length = object.size();
        int found = 0;
        int lookups = 0;
        while (length > 0) {
            ++lookups;
            auto it = names.find(std::string_view(probe, length));
            if (it != names.end()) {
                found = it->second;
                break;
            }
            while (length > 0 && probe[length - 1] != '/') --length;
            if (length > 0) --length;  // the separator
        }
        if (found != 1 || lookups != 5) {
            state.SkipWithError("wrong walk");
            return;
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_MapWalkDepth5);

void BM_CoreCacheDepth5(benchmark::State& state) {
    Exchange ex("www", kCachedURI, "GET /d1/d2/d3/d4/page.html HTTP/1.1\r\n\r\n");
    runCoreRequests(state, g_cacheSite.core, ex, false, 1000);
}
BENCHMARK(BM_CoreCacheDepth5);

// ---- (c) server decision ----------------------------------------------------

void BM_CoreServerAnswer(benchmark::State& state) {
    Exchange ex("www", kServerURI, g_serverHTTP.c_str());
    runCoreRequests(state, g_serverSite.core, ex, true, 200);
}
BENCHMARK(BM_CoreServerAnswer)->Threads(1)->Threads(2)->Threads(64)->UseRealTime();

// What the server spends on the password of every (c) request.
void BM_ServerPasswordCheck(benchmark::State& state) {
    const std::string password = kPassword;
    const std::string hash = kPasswordHash;
    for (auto _ : state) {
        if (!yav_authz_check_password(password, hash)) {
            state.SkipWithError("password does not match");
            return;
        }
    }
}
BENCHMARK(BM_ServerPasswordCheck)->UseRealTime();

// The least fair of the fairness runs (with --benchmark_repetitions there
// are several), for the summary at the end.
struct Fairness {
    long slowest = 0;
    double mean = 0;
    bool measured = false;
};
Fairness g_fairness;

// Fairness: 64 threads ask until they have made kFairnessThreads *
// kFairnessRequestsPerThread requests together; each counts its own.
void BM_CoreServerFairness64(benchmark::State& state) {
    const long total = kFairnessThreads * kFairnessRequestsPerThread;
    for (auto _ : state) {
        std::vector<long> counts(kFairnessThreads, 0);
        std::atomic<long> started{0};
        std::atomic<long> issued{0};
        std::atomic<bool> failed{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < kFairnessThreads; ++t) {
            threads.emplace_back([&, t] {
                Exchange ex("www", kServerURI, g_serverHTTP.c_str());
                started.fetch_add(1);
                while (started.load() < kFairnessThreads) std::this_thread::yield();
                while (issued.fetch_add(1) < total) {
                    if (!handleOnce(g_serverSite.core, ex, true)) failed = true;
                    ++counts[static_cast<size_t>(t)];
                }
            });
        }
        for (std::thread& th : threads) th.join();
        if (failed) {
            state.SkipWithError("wrong outcome");
            return;
        }
        long sum = 0;
        for (long c : counts) sum += c;
        const long slowest = *std::min_element(counts.begin(), counts.end());
        const double mean = static_cast<double>(sum) / kFairnessThreads;
        state.counters["slowest"] = static_cast<double>(slowest);
        state.counters["mean"] = mean;
        if (!g_fairness.measured || slowest / mean < g_fairness.slowest / g_fairness.mean) {
            g_fairness.slowest = slowest;
            g_fairness.mean = mean;
            g_fairness.measured = true;
        }
    }
}
BENCHMARK(BM_CoreServerFairness64)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Interrupted or crashed: the objects and the server go all the same.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGABRT, SIGSEGV, SIGBUS}) signal(sig, onSignal);
    // The partner is forked before any thread exists.
    if (const char* failed = yav_bench::pingPongStart()) {
        perror(failed);
        yav_bench::pingPongRemove();
        return 1;
    }
    int rc = 1;
    if (startAll(argv[0])) {
        rc = yav_bench::runWithRatios(
            argc, argv,
            "Ratios (same run; time per request over the baseline's; the threads:2 / "
            "threads:64 line is the 64-thread throughput over the 2-thread one):",
            {{"BM_CoreUnprotectedHost", "BM_HostMapFind"},
             {"BM_CoreCacheDepth5", "BM_MapWalkDepth5"},
             {"BM_CoreServerAnswer/real_time/threads:1", "BM_SemPingPong/real_time"},
             {"BM_ServerPasswordCheck/real_time", "BM_SemPingPong/real_time"},
             {"BM_CoreServerAnswer/real_time/threads:2",
              "BM_CoreServerAnswer/real_time/threads:64"}});
        if (g_fairness.measured) {
            printf(
                "  %d threads, %ld requests (least fair run): slowest thread %ld, mean %.1f, "
                "slowest / mean = %.2f\n",
                kFairnessThreads, kFairnessThreads * kFairnessRequestsPerThread, g_fairness.slowest,
                g_fairness.mean, static_cast<double>(g_fairness.slowest) / g_fairness.mean);
        }
    }
    stopAll();
    yav_bench::pingPongRemove();
    return rc;
}
