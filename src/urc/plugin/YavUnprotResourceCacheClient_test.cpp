#include "urc/plugin/YavUnprotResourceCacheClient.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/trace/yav_trace_test_aids.h"
#include "msg/plugin/YavURCVersionAnswerFactory.h"
#include "msg/plugin/YavURCVersionAnswerUnmarshaller.h"
#include "msg/plugin/YavURCVersionQuestion.h"
#include "msg/plugin/yav_urc_answer_test_aids.h"
#include "plugin/core/yav_authz_test_aids.h"
#include "proxyif/framework/yav_dispatch_test_messages.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "server/YavURCVersionAnswerWriter.h"
#include "server/YavWorkerServer.h"
#include "urc/plugin/yav_urc_client_test_aids.h"

namespace {

typedef YavUnprotResourceCacheClient Client;
typedef std::vector<std::pair<std::string, std::string>> Entries;  // object, "*" or action set
typedef std::vector<std::pair<std::string, Entries>> Database;     // branch, entries

// The authorization server's side of the version exchange: answers with its
// version only when the question carries it already, else with its version
// and whole database.  Can be told to answer with an error message instead,
// or with a message type the plug-in has no reader for.  Counts questions.
class YavURCTestHandler : public YavWorkerHandler {
  public:
    yav_status_t handle(int, int questionType, YavSharedMemIterator& question,
                        YavSharedMemAllocator& answer, int* answerType) override {
        std::lock_guard<std::mutex> guard(m_mutex);
        ++m_questions;
        if (questionType != yav_msg_urc_version_question) return YAV_S_INVALID_PARAMETER;
        if (m_errorCode != 0) return m_errorCode.load();
        YavURCVersionQuestion q;
        yav_status_t status = q.unmarshal(question, nullptr);
        if (status != 0) return status;
        YavEpochVersion asked;
        q.getVersion(asked);
        YavURCVersionAnswerWriter w(answer);
        *answerType = m_answerType;
        status = w.writeVersion(m_version);
        if (status != 0 || asked == m_version) return status;
        for (const auto& branch : m_database) {
            status = w.beginBranch(YavStringRef(branch.first.c_str()),
                                   static_cast<int>(branch.second.size()));
            for (const auto& e : branch.second) {
                if (status != 0) return status;
                YavStringRef name(e.first.c_str());
                status = e.second == "*" ? w.writeAllEntry(name)
                                         : w.writeEntry(name, YavStringRef(e.second.c_str()));
            }
            if (status != 0) return status;
        }
        return w.finish();
    }

    // A new database under a new version.
    void publish(const Database& db, int32_t counter) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_database = db;
        m_version = yav_test_version(0x40, counter);
    }

    // Set by the test, read by the server's workers.
    std::atomic<yav_status_t> m_errorCode{0};
    std::atomic<int> m_answerType{yav_msg_urc_version_answer};
    std::atomic<int> m_questions{0};

  private:
    std::mutex m_mutex;  // guards the database and its version
    Database m_database;
    YavEpochVersion m_version = yav_test_version(0x40, 1);
};

// The logged lines holding needle.
int count(const YavRecordingLog& log, const std::string& needle) {
    int n = 0;
    for (const YavLoggedLine& l : log.lines) n += l.text.find(needle) != std::string::npos;
    return n;
}

std::atomic<time_t> g_now{1000};
time_t testClock(void*) { return g_now.load(); }

const Database kDatabase = {
    {"/b",
     {{"/b/docs", "*"},
      {"/b/docs/a.html", "x"},
      {"/b/pub", "Tr"},
      {"/b/priv", "x"},
      {"/b/priv/img", "*"},
      {"/b/grp", "[g]ab"}}},
    {"/empty", {}},
};

class YavURCClientTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_key.ok()) << m_key.error();
        ASSERT_EQ(0u, YavURCVersionAnswerUnmarshaller::m_allocator.acquire());
        m_acquired = true;
        m_handler.publish(kDatabase, 1);
        ASSERT_EQ(0u, m_server.start(m_key.path(), 2, 8192, &m_handler));
        ASSERT_EQ(0u, m_dispatcher.initialize(nullptr, m_key.path()));
        ASSERT_EQ(0u, m_dispatcher.registerProxyMsgFactory(new YavURCVersionAnswerFactory));
        g_now = 1000;
        m_client.setClock(&testClock, nullptr);
        // Host "www" (http) on branch /b: GET needs r, POST needs rw, the
        // group g needs a for PUT; nothing else has permissions.
        addHost("www", yav_vhost_unsecure, "/b", {{"GET", "r"}, {"POST", "rw"}, {"PUT", "[g]a"}},
                nullptr);
        addHost("ci", yav_vhost_unsecure | yav_vhost_case_insensitive, "/b", {{"GET", "r"}},
                nullptr);
        addHost("win", yav_vhost_unsecure | yav_vhost_win32_filesystem | yav_vhost_case_insensitive,
                "/b", {{"GET", "r"}}, nullptr);
        addHost("dflt", yav_vhost_unsecure, "/b", {}, "r");
        addHost("nomap", yav_vhost_unsecure, "/b", {}, nullptr, false);
        addHost("gone", yav_vhost_unsecure, "/missing", {{"GET", "r"}}, nullptr);
        addHost("void", yav_vhost_unsecure, "/empty", {{"GET", "r"}}, nullptr);
    }

    void TearDown() override {
        m_client.shutdown();
        m_dispatcher.shutdown();
        m_server.stop();
        if (m_acquired) {
            EXPECT_EQ(
                0, yav_class_allocator_outstanding(YavURCVersionAnswerUnmarshaller::m_allocator));
            YavURCVersionAnswerUnmarshaller::m_allocator.release();
        }
    }

    // The map keeps references to the method texts: perms holds literals.
    void addHost(const char* id, uint32_t flags, const char* branch,
                 const std::vector<std::pair<const char*, const char*>>& perms,
                 const char* defaultPerms, bool withMap = true) {
        YavPluginVirtualHost* host = new YavPluginVirtualHost();
        ASSERT_EQ(0u, host->setID(YavStringRef(id)));
        ASSERT_EQ(0u, host->setBranch(YavStringRef(branch)));
        host->setFlags(flags);
        if (withMap) {
            YavPermMap* map = new YavPermMap();
            ASSERT_EQ(0u, map->initialize());
            for (const auto& p : perms) {
                YavActionGroupList* list = new YavActionGroupList();
                ASSERT_EQ(0u, list->initialize(YavStringRef(p.second)));
                ASSERT_EQ(0u, map->setPerms(new YavStringRef(p.first), list));
            }
            if (defaultPerms != nullptr) {
                YavActionGroupList* list = new YavActionGroupList();
                ASSERT_EQ(0u, list->initialize(YavStringRef(defaultPerms)));
                ASSERT_EQ(0u, map->setDefaultPerms(list));
            }
            ASSERT_EQ(0u, host->setPermMap(map));
        }
        ASSERT_EQ(0u, m_vhosts.append(host));
    }

    // The decision for one request; -1 when the look-up failed.
    int decide(const char* host, int security, const char* uri, const char* method,
               yav_status_t* status = nullptr) {
        YavURCTestRequest request(host, security, uri, method);
        Client::YavURCDecision d = Client::yav_urc_decision_unprotected;
        yav_status_t s = m_client.lookupCache(request, &d);
        if (status != nullptr) *status = s;
        if (s != 0) {
            EXPECT_EQ(Client::yav_urc_decision_protected, d) << "a failure must not let through";
            return -1;
        }
        return d;
    }

    // Declared so that the dispatcher detaches before the server stops and
    // the key removes whatever is left last.
    YavIpcTestKey m_key;
    YavURCTestHandler m_handler;
    YavWorkerServer m_server;
    YavProxyIFDispatcher m_dispatcher;
    YavPluginVirtualHostList m_vhosts;
    YavRecordingLog m_log;
    // The cache's index memory; refusing it makes the cache look up through
    // its tables.
    YavAuthzTestAllocator m_indexAllocator;
    Client m_client{&m_vhosts, &m_log, &m_dispatcher, &m_indexAllocator};
    bool m_acquired = false;
};

const int kOpen = Client::yav_urc_decision_unprotected;
const int kAsk = Client::yav_urc_decision_protected;

// The same decisions whether the cache looks up through its index (true) or,
// without memory for one, through its tables (false).
class YavURCClientPathTest : public YavURCClientTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        YavURCClientTest::SetUp();
        m_indexAllocator.refuseFrom = GetParam() ? -1 : 0;
    }
    void expectIndexed() {
        ASSERT_EQ(0, m_client.getCache().readLock());
        EXPECT_EQ(GetParam(), m_client.getCache().isIndexed());
        ASSERT_EQ(0, m_client.getCache().unlock());
    }
};
INSTANTIATE_TEST_SUITE_P(IndexAndTables, YavURCClientPathTest, ::testing::Bool());

TEST_F(YavURCClientTest, DisabledCacheAsksServerWithoutLookingAtTheRequest) {
    // Never initialized, then disabled by configuration: no fetch.  A failing
    // security getter shows whether the look-up went past the enabled check.
    YavURCTestRequest request("www", 0, "/docs/x", "GET");
    request.m_securityStatus = YAV_S_NOT_SUPPORTED;
    for (int initialized = 0; initialized < 2; ++initialized) {
        if (initialized) {
            ASSERT_EQ(0u, m_client.initialize(false, 60));
        }
        Client::YavURCDecision d = Client::yav_urc_decision_unprotected;
        EXPECT_EQ(0u, m_client.lookupCache(request, &d));
        EXPECT_EQ(Client::yav_urc_decision_protected, d);
    }
    EXPECT_EQ(0, m_handler.m_questions.load());
}

TEST_P(YavURCClientPathTest, NearestListedAncestorDecides) {
    ASSERT_EQ(0u, m_client.initialize(true, 60));
    EXPECT_EQ(1, m_handler.m_questions.load());
    expectIndexed();
    struct Case {
        const char* host;
        int security;
        const char* uri;
        const char* method;
        int expected;
    } cases[] = {
        {"www", 0, "/docs/other.html", "GET", kOpen},      // open directory
        {"www", 0, "/docs/sub/deep/x.gif", "GET", kOpen},  // several levels below it
        {"www", 0, "/docs/", "GET", kOpen},                // trailing "/" dropped
        {"www", 0, "/docs//other.html", "GET", kOpen},     // repeated "/" collapse
        {"www", 0, "/docs/a.html", "GET", kAsk},           // nearer entry closes it
        {"www", 0, "/docs/a.html/more", "GET", kAsk},      // ... and what lies below
        {"www", 0, "/priv/page", "GET", kAsk},             // closed directory
        {"www", 0, "/priv/img/logo.gif", "GET", kOpen},    // re-opened below it
        {"www", 0, "/pub/x", "GET", kOpen},                // Tr covers r
        {"www", 0, "/pub/x", "POST", kAsk},                // Tr does not cover rw
        {"www", 0, "/pub/x", "DELETE", kAsk},              // no permissions, no default
        {"www", 0, "/grp/x", "PUT", kOpen},                // group g: ab covers a
        {"www", 0, "/grp/x", "GET", kAsk},                 // primary r not granted
        {"www", 0, "/elsewhere/x", "GET", kAsk},           // no listed ancestor
        {"www", 0, "/", "GET", kAsk},                      // the branch itself
        {"www", 0, nullptr, "GET", kAsk},                  // no URI at all
        {"www", 0, "/DOCS/x", "GET", kAsk},                // names are case-sensitive
        {"ci", 0, "/DOCS/x", "GET", kOpen},                // unless the host says not
        {"win", 0, "/docs./x", "GET", kOpen},              // trailing dots dropped
        {"dflt", 0, "/pub/x", "DELETE", kOpen},            // default permissions r
        {"nomap", 0, "/pub/x", "GET", kAsk},               // host without a map
        {"nomap", 0, "/docs/x", "GET", kOpen},             // open for every action
        {"www", 1, "/docs/x", "GET", kAsk},                // https: no such host
        {"unknown", 0, "/docs/x", "GET", kAsk},            // host not listed
        {"void", 0, "/docs/x", "GET", kAsk},               // empty branch database
        {"gone", 0, "/docs/x", "GET", kAsk},               // branch not in the database
        {"www", 0, "/docs/../priv/page", "GET", kAsk},     // dot segments: left to the
        {"www", 0, "/docs/./x", "GET", kAsk},              // server, never decided by
        {"www", 0, "/docs/..", "GET", kAsk},               // an ancestor they name
        {"www", 0, "/docs/..x/.y", "GET", kOpen},          // dots within a name are plain
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, decide(c.host, c.security, c.uri, c.method))
            << c.host << " " << c.security << " " << (c.uri ? c.uri : "(none)") << " " << c.method;
    }
    // Within the poll interval nothing was asked again.  Only the missing
    // branch is worth a log line, not the empty one.
    EXPECT_EQ(1, m_handler.m_questions.load());
    EXPECT_EQ(1, count(m_log, ""));
    EXPECT_EQ(1, count(m_log, "QRXIC1154E"));
}

TEST_F(YavURCClientTest, FailuresOfTheRequestAreReturnedAndAskServer) {
    ASSERT_EQ(0u, m_client.initialize(true, 60));
    yav_status_t status = 0;
    EXPECT_EQ(-1, decide("win", 0, "/docs/PROGRA~1.TXT", "GET", &status));
    EXPECT_EQ(YAV_S_ACCESS_DENIED, status);

    for (int which = 0; which < 2; ++which) {
        YavURCTestRequest request("www", 0, "/docs/x", "GET");
        (which ? request.m_testServer->m_status : request.m_methodStatus) = YAV_S_NOT_SUPPORTED;
        Client::YavURCDecision d = Client::yav_urc_decision_unprotected;
        EXPECT_EQ(YAV_S_NOT_SUPPORTED, m_client.lookupCache(request, &d)) << which;
        EXPECT_EQ(Client::yav_urc_decision_protected, d);
    }

    // The failures left the list lock free: a writer gets it.
    ASSERT_EQ(0, m_vhosts.writeLock());
    ASSERT_EQ(0, m_vhosts.unlock());
}

TEST_F(YavURCClientTest, PollsOnlyWhenTheIntervalHasPassed) {
    ASSERT_EQ(0u, m_client.initialize(true, 60));
    EXPECT_EQ(1000, m_client.getLastPoll());
    // The server closes /b/docs meanwhile.
    m_handler.publish({{"/b", {{"/b/docs", "x"}}}}, 2);

    g_now = 1060;
    EXPECT_EQ(kOpen, decide("www", 0, "/docs/x", "GET"));
    EXPECT_EQ(1, m_handler.m_questions.load());

    g_now = 1061;
    EXPECT_EQ(kAsk, decide("www", 0, "/docs/x", "GET"));  // the new database decided
    EXPECT_EQ(2, m_handler.m_questions.load());
    EXPECT_EQ(1061, m_client.getLastPoll());

    // The timer starts again from the poll.
    g_now = 1121;
    EXPECT_EQ(kAsk, decide("www", 0, "/docs/x", "GET"));
    EXPECT_EQ(2, m_handler.m_questions.load());

    // A new configuration forgets the last poll: the next look-up polls.
    ASSERT_EQ(0u, m_client.setConfigParams(true, 60));
    EXPECT_EQ(kAsk, decide("www", 0, "/docs/x", "GET"));
    EXPECT_EQ(3, m_handler.m_questions.load());

    // A clock that cannot tell the time makes every look-up poll.
    g_now = -1;
    decide("www", 0, "/docs/x", "GET");
    decide("www", 0, "/docs/x", "GET");
    EXPECT_EQ(5, m_handler.m_questions.load());
}

TEST_F(YavURCClientTest, UpdateCacheAsksOnlyForAnotherVersion) {
    ASSERT_EQ(0u, m_client.initialize(true, 60));
    const YavEpochVersion v1 = yav_test_version(0x40, 1);
    ASSERT_TRUE(m_client.getCache().getVersion() == v1);

    EXPECT_EQ(0u, m_client.updateCache(&v1));
    EXPECT_EQ(1, m_handler.m_questions.load());

    m_handler.publish({{"/b", {{"/b/docs", "x"}}}}, 2);
    const YavEpochVersion v2 = yav_test_version(0x40, 2);
    EXPECT_EQ(0u, m_client.updateCache(&v2));
    EXPECT_EQ(2, m_handler.m_questions.load());
    EXPECT_TRUE(m_client.getCache().getVersion() == v2);
    EXPECT_EQ(kAsk, decide("www", 0, "/docs/x", "GET"));

    // Asking while current gets an answer without data: nothing changes.
    EXPECT_EQ(0u, m_client.updateCache(nullptr));
    EXPECT_EQ(3, m_handler.m_questions.load());
    EXPECT_EQ(kAsk, decide("www", 0, "/docs/x", "GET"));
}

TEST_F(YavURCClientTest, ServerOutOfSharedMemoryDisablesUntilNextConfiguration) {
    ASSERT_EQ(0u, m_client.initialize(true, 60));
    // Other errors are logged and leave the cache as it was.
    m_handler.m_errorCode = YAV_S_INVALID_PARAMETER;
    EXPECT_EQ(0u, m_client.updateCache(nullptr));
    EXPECT_EQ(1, count(m_log, ""));
    EXPECT_EQ(kOpen, decide("www", 0, "/docs/x", "GET"));

    m_handler.m_errorCode = YAV_S_NO_MEMORY;
    g_now = 1061;
    EXPECT_EQ(kAsk, decide("www", 0, "/docs/x", "GET"));
    EXPECT_EQ(3, m_handler.m_questions.load());
    EXPECT_FALSE(m_client.isEnabled());
    EXPECT_EQ(1, count(m_log, "QRXIC1155E"));
    EXPECT_EQ(1, count(m_log, "QRXIC0012E"));

    // Stays off however long it waits.
    m_handler.m_errorCode = 0;
    g_now = 5000;
    EXPECT_EQ(kAsk, decide("www", 0, "/docs/x", "GET"));
    EXPECT_EQ(0u, m_client.updateCache(nullptr));
    EXPECT_EQ(3, m_handler.m_questions.load());

    // The next configuration turns it on again and the first look-up polls.
    ASSERT_EQ(0u, m_client.setConfigParams(true, 60));
    EXPECT_EQ(kOpen, decide("www", 0, "/docs/x", "GET"));
    EXPECT_EQ(4, m_handler.m_questions.load());
}

TEST_F(YavURCClientTest, FailedFirstFetchShutsDown) {
    // An answer type without a reader fails the dispatch.
    m_handler.m_answerType = yav_msg_web_trans_answer;
    EXPECT_EQ(YAV_S_IPC_NO_FACTORY, m_client.initialize(true, 60));
    EXPECT_FALSE(m_client.isEnabled());
    EXPECT_EQ(-1, m_client.getPollInterval());
    EXPECT_EQ(kAsk, decide("www", 0, "/docs/x", "GET"));
    EXPECT_EQ(1, m_handler.m_questions.load());
}

TEST_P(YavURCClientPathTest, LookupsRunWhileUpdatesSwapTheDatabase) {
    ASSERT_EQ(0u, m_client.initialize(true, 1000000));
    expectIndexed();
    const Database open = {{"/b", {{"/b/docs", "*"}, {"/b/pub", "Tr"}}}};
    const Database closed = {{"/b", {{"/b/docs", "x"}, {"/b/pub", "x"}}}};
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::atomic<long> lookups{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            const char* uri = t % 2 == 0 ? "/docs/a/b/c" : "/pub/x/y";
            while (!stop.load()) {
                YavURCTestRequest request("www", 0, uri, "GET");
                Client::YavURCDecision d = Client::yav_urc_decision_unprotected;
                yav_status_t s = m_client.lookupCache(request, &d);
                // Every database the server sends lists the branch.
                if (s != 0 || (d != kOpen && d != kAsk)) ++bad;
                ++lookups;
            }
        });
    }
    for (int i = 2; i < 40; ++i) {
        // Let the readers look at each database before the next replaces
        // it (a loaded machine could otherwise run every update first).
        const long seen = lookups.load();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (lookups.load() < seen + 4 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        m_handler.publish(i % 2 == 0 ? closed : open, i);
        const YavEpochVersion v = yav_test_version(0x40, i);
        EXPECT_EQ(0u, m_client.updateCache(&v));
    }
    stop = true;
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(0, bad.load());
    EXPECT_GE(lookups.load(), 4 * 38);
    // The last database sent (counter 39: open) is the one in place.
    EXPECT_TRUE(m_client.getCache().getVersion() == yav_test_version(0x40, 39));
    EXPECT_EQ(kOpen, decide("www", 0, "/docs/x", "GET"));
    expectIndexed();
}

}  // namespace
