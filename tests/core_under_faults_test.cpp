// YavCore under load from many request threads against tessaro-authzd while
// the server misbehaves: every request ends decided or with 503 in bounded
// time, and once the fault is over requests are decided right again without
// a new initialize.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "core/msg/yav_status.h"
#include "plugin/core/YavCore.h"
#include "tests/yav_e2e_test_aids.h"

namespace {

constexpr int kThreads = 16;
// How long one step of a test may take before the watchdog fails it (a
// step takes well under a second plain, a few under the sanitizers).
constexpr long long kStepDeadlineMs = 30000;

struct RequestKind {
    const char* method;
    const char* uri;
    const char* user;  // Basic credentials of user (null: none)
    const char* password;
    const char* right;  // the right outcome (yav_e2e_outcome)
};

// Open resources (decided by the cache), an allowed user, no credentials
// and a known user without rights.
const RequestKind kKinds[] = {
    {"GET", "/pub/index.html", nullptr, nullptr, "cache"},
    {"GET", "/doc.html", "alice", "pw-alice", "continue alice"},
    {"POST", "/doc.html", nullptr, nullptr, "send 401"},
    {"GET", "/doc.html", "bob", "pw-bob", "send 403"},
};
constexpr int kNumKinds = sizeof(kKinds) / sizeof(kKinds[0]);

// Request threads calling handleReq in a loop until finished.  Each request
// is counted in the phase it started and ended in; one that spans a phase
// change is counted in kWindow.  Outcomes other than the right one are kept.
class Load {
  public:
    enum { kBefore = 0, kDuring = 1, kAfter = 2, kWindow = 3, kSlots = 4 };

    // unblock: called when threads do not finish, to make blocked
    // exchanges fail (removes the server's objects).
    Load(YavCore& core, std::function<void()> unblock) : m_core(core), m_unblock(unblock) {
        for (int t = 0; t < kThreads; ++t) m_threads.emplace_back([this, t] { run(t); });
    }
    ~Load() { finish(); }

    void setPhase(int phase) { m_phase.store(phase); }
    // True when every thread has n requests counted in phase; false after
    // the deadline.
    bool reached(int phase, int n) const {
        for (int t = 0; t < kThreads; ++t) {
            if (m_done[t][phase].load() < n) return false;
        }
        return true;
    }
    bool waitEach(int phase, int n) {
        return waitFor(kStepDeadlineMs, [&] { return reached(phase, n); });
    }
    // Stops and joins the threads; aborts when they do not end even after
    // unblock (a hung exchange).
    void finish() {
        if (m_threads.empty()) return;
        m_stop.store(true);
        if (!waitFinished()) {
            ADD_FAILURE() << "request threads hang; removing the server's objects";
            m_unblock();
            if (!waitFinished()) {
                fprintf(stderr, "request threads still hang after the objects are gone\n");
                std::abort();
            }
        }
        for (std::thread& t : m_threads) t.join();
        m_threads.clear();
    }
    // "<slot>: <kind> -> <outcome>" of every request whose outcome was not
    // the right one (503 included).
    std::vector<std::string> misses() {
        std::lock_guard<std::mutex> hold(m_mutex);
        return m_misses;
    }
    // Requests that were asked again after a refresh.
    int retried() const { return m_retried.load(); }
    std::string progress() const {
        std::string out;
        for (int t = 0; t < kThreads; ++t) {
            out += " [" + std::to_string(t) + ":";
            for (int s = 0; s < kSlots; ++s) out += " " + std::to_string(m_done[t][s].load());
            out += "]";
        }
        return out;
    }

  private:
    void run(int t) {
        for (int i = 0; !m_stop.load(); ++i) {
            const RequestKind& kind = kKinds[(t + i) % kNumKinds];
            std::string auth =
                kind.user != nullptr ? yav_authz_basic(kind.user, kind.password) : "";
            YavTestExchange x;
            yav_e2e_prepare(x, "shop", kind.method, kind.uri, auth);
            int before = m_phase.load();
            yav_status_t status = m_core.handleReq(&x.trans);
            int after = m_phase.load();
            int slot = before == after ? before : kWindow;
            std::string outcome = yav_e2e_outcome(x, status);
            if (outcome != kind.right) {
                std::lock_guard<std::mutex> hold(m_mutex);
                m_misses.push_back(std::to_string(slot) + ": " + kind.method + " " + kind.uri +
                                   " " + (kind.user != nullptr ? kind.user : "-") + " -> " +
                                   outcome);
            }
            if (x.log.count("trans.prepareForRetry(") > 0) m_retried.fetch_add(1);
            m_done[t][slot].fetch_add(1);
            noteProgress();
        }
        m_finished.fetch_add(1);
        noteProgress();
    }
    bool waitFinished() {
        return waitFor(kStepDeadlineMs / 2, [&] { return m_finished.load() == kThreads; });
    }
    // Waits for done() (checked whenever a thread ends a request) at most
    // ms milliseconds.
    template <class Done>
    bool waitFor(long long ms, Done done) {
        std::unique_lock<std::mutex> hold(m_progressMutex);
        return m_progress.wait_for(hold, std::chrono::milliseconds(ms), done);
    }
    void noteProgress() {
        std::lock_guard<std::mutex> hold(m_progressMutex);
        m_progress.notify_all();
    }

    YavCore& m_core;
    std::function<void()> m_unblock;
    std::atomic<int> m_phase{kBefore};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_finished{0};
    std::atomic<int> m_retried{0};
    std::atomic<int> m_done[kThreads][kSlots] = {};
    std::mutex m_mutex;
    std::mutex m_progressMutex;
    std::condition_variable m_progress;
    std::vector<std::string> m_misses;  // guarded by m_mutex
    std::vector<std::thread> m_threads;
};

enum FaultAction {
    kSignalRestart,  // SIGUSR1: the server removes and recreates its objects
    kKillAndStart,   // SIGKILL, then a new server on the same key
    kWorkerReset,    // SIGUSR2: the server resets the worker of the next question
    kMode,           // answers switched to `mode` for a while
    kRefresh,        // the core refreshes its configuration on the test's thread
};

struct Fault {
    const char* name;
    FaultAction action;
    std::string mode;
    // 503 is a right outcome while the fault lasts; with mustFail at least
    // one request must get it (the fault did reach the core).
    bool mayFail;
    bool mustFail;
    // The core must have re-attached to the server's new objects.
    bool reattaches;
    // Some request must have been asked again after a refresh.
    bool retries;
};

std::string errorMode() { return "error " + std::to_string(YAV_S_NOT_SUPPORTED); }

const Fault kFaults[] = {
    {"RestartBySignal", kSignalRestart, "", true, false, true, true},
    {"KillAndStartAgain", kKillAndStart, "", true, false, true, true},
    {"WorkerReset", kWorkerReset, "", false, false, false, true},
    {"ErrorAnswers", kMode, errorMode(), true, true, false, false},
    {"MalformedLength", kMode, "malformed length", true, true, false, false},
    {"MalformedNext", kMode, "malformed next", true, true, false, false},
    {"MalformedLoop", kMode, "malformed loop", true, true, false, false},
    {"MalformedResultLength", kMode, "malformed result-length", true, true, false, false},
    {"MalformedResultType", kMode, "malformed result-type", true, true, false, false},
    {"MalformedResultOffset", kMode, "malformed result-offset", true, true, false, false},
    {"SlowAnswers", kMode, "delay 150", false, false, false, false},
    {"ConcurrentRefresh", kRefresh, "", false, false, false, false},
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

class CoreUnderFaultsTest : public ::testing::TestWithParam<Fault> {};

// Brings the fault on while the load runs and ends it; requests of the
// fault are counted in kDuring.
void applyFault(const Fault& fault, YavE2EServer& server, YavCore& core, Load& load) {
    load.setPhase(Load::kDuring);
    switch (fault.action) {
        case kSignalRestart:
            ASSERT_TRUE(server.process().sendSignal(SIGUSR1));
            ASSERT_TRUE(server.process().waitForLine("restarted 1"));
            break;
        case kKillAndStart:
            server.process().kill();
            ASSERT_TRUE(server.startAgain());
            break;
        case kWorkerReset:
            ASSERT_TRUE(server.process().sendSignal(SIGUSR2));
            ASSERT_TRUE(load.waitEach(Load::kDuring, 3)) << load.progress();
            break;
        case kMode:
            ASSERT_TRUE(server.setMode(fault.mode));
            ASSERT_TRUE(load.waitEach(Load::kDuring, 3)) << load.progress();
            ASSERT_TRUE(server.setMode("normal"));
            break;
        case kRefresh: {
            long long deadline = yav_test_process_now_ms() + kStepDeadlineMs;
            do {
                ASSERT_EQ(0u, YavCoreTestPeer::prepareForRetry(core));
                ASSERT_LT(yav_test_process_now_ms(), deadline) << load.progress();
            } while (!load.reached(Load::kDuring, 3));
            break;
        }
    }
}

TEST_P(CoreUnderFaultsTest, EveryRequestEndsDecidedOr503AndTheCoreRecoversWithoutInitialize) {
    const Fault& fault = GetParam();
    YavE2EServer server;
    ASSERT_EQ("", server.setUpError());
    ASSERT_TRUE(server.write("tessaro.conf", "[krweb-plugins]\nvirtual-host = shop\n"));
    ASSERT_TRUE(server.start(yav_e2e_policy(yav_e2e_open_resources())));
    YavCore core("/usr/bin/yav-e2e", server.dir().c_str());
    ASSERT_EQ(0u, core.initialize(server.keyPath(), nullptr));
    const unsigned refreshes = core.getDispatcher().getRefreshCount();
    {
        Load load(core, [&server] { server.key().removeAll(); });
        ASSERT_TRUE(load.waitEach(Load::kBefore, 3)) << load.progress();
        ASSERT_NO_FATAL_FAILURE(applyFault(fault, server, core, load));
        load.setPhase(Load::kAfter);
        ASSERT_TRUE(load.waitEach(Load::kAfter, 4)) << load.progress();
        load.finish();

        int unavailable = 0;
        for (const std::string& miss : load.misses()) {
            bool during = miss[0] == '0' + Load::kDuring || miss[0] == '0' + Load::kWindow;
            bool is503 = miss.compare(miss.size() - 11, 11, "default 503") == 0;
            unavailable += is503 ? 1 : 0;
            EXPECT_TRUE(during && is503 && fault.mayFail) << miss;
        }
        if (fault.mustFail) {
            EXPECT_LT(0, unavailable) << "the fault never reached the core";
        }
        if (fault.retries) {
            EXPECT_LT(0, load.retried()) << "no request was asked again";
        }
    }
    if (fault.reattaches) {
        EXPECT_LT(refreshes, core.getDispatcher().getRefreshCount());
    }
    EXPECT_TRUE(core.isInitialized());
    EXPECT_EQ(0u, core.shutdown());
    EXPECT_TRUE(server.stopClean());
}

INSTANTIATE_TEST_SUITE_P(Faults, CoreUnderFaultsTest, ::testing::ValuesIn(kFaults),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
