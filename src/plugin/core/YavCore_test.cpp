#include "plugin/core/YavCore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/system/yav_test_tempdir.h"
#include "core/trace/yav_trace_test_aids.h"
#include "plugin/core/yav_view_test_aids.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "server/YavConfigAnswerWriter.h"
#include "server/YavURCVersionAnswerWriter.h"
#include "server/YavWebTransAnswerWriter.h"
#include "server/YavWorkerServer.h"

// Reaches the core's refresh, which the core runs itself on a retry.
class YavCoreTestPeer {
  public:
    static yav_status_t prepareForRetry(YavCore& core) { return core.prepareForRetry(); }
};

namespace {

const YavConfigNameInt kPostURIs[] = {{"www:/form", 512}};
const YavConfigNameInt kFlags[] = {{"cookies", 0x21}};
const YavConfigVHost kServerHosts[] = {{"shop", "/shop", 12, "r", nullptr, 0},
                                       {"open", "/open", 12 | 16, "r", nullptr, 0}};

// The authorization server: configuration from `data`; everything under
// /shop is open in the cache; web questions get a web transaction answer
// with yav_continue, or ask for web-server authentication (which makes the
// core retry) while `askRetry`, or an error message while `refuseWeb`.
// Configuration question `noFactoryType` gets an answer type the plug-in
// has no reader for, `refusedType` an error message.
class CoreHandler : public YavWorkerHandler {
  public:
    // Aggregate-initialised: the test binary also links another class of
    // this name, whose constructor would be used instead.
    YavConfigAnswerData data{kPostURIs, 1, kFlags, 1, false, 0, kServerHosts, 2};
    std::atomic<int> noFactoryType{-1};
    std::atomic<int> refusedType{-1};
    std::atomic<bool> askRetry{false};
    std::atomic<bool> refuseWeb{false};
    std::atomic<int> webQuestions{0};

    yav_status_t handle(int, int questionType, YavSharedMemIterator& question,
                        YavSharedMemAllocator& answer, int* answerType) override {
        if (questionType == YavConfigAnswerWriter::kQuestionType) {
            int type = -1;
            yav_status_t status = YavConfigAnswerWriter::readQuestion(question, &type);
            if (status != 0) return status;
            if (type == refusedType) return YAV_S_NOT_SUPPORTED;
            *answerType = type == noFactoryType ? yav_msg_web_rsp_question
                                                : YavConfigAnswerWriter::kAnswerType;
            return YavConfigAnswerWriter(answer).writeAnswer(type, data);
        }
        if (questionType == yav_msg_urc_version_question) {
            YavURCVersionAnswerWriter writer(answer);
            *answerType = YavURCVersionAnswerWriter::getType();
            const unsigned char bytes[YavEpochVersion::kSize] = {7, 1, 2, 3, 4, 5, 6, 7, 8, 9};
            YavEpochVersion version;
            version.set(bytes);
            yav_status_t status = writer.writeVersion(version);
            if (status == 0) status = writer.beginBranch(YavStringRef("/shop"), 1);
            if (status == 0) status = writer.writeAllEntry(YavStringRef("/shop"));
            return status == 0 ? writer.finish() : status;
        }
        ++webQuestions;
        if (refuseWeb) return YAV_S_NOT_SUPPORTED;
        YavWebTransAnswerWriter writer(answer);
        *answerType = YavWebTransAnswerWriter::getType();
        bool retry = askRetry;
        yav_status_t status = writer.begin(yav_continue, retry ? 1 : 0);
        if (status == 0 && retry) status = writer.add(yav_rsp_req_wsa);
        return status == 0 ? writer.finish() : status;
    }
};

const char kLocalConf[] =
    "[krweb-plugins]\n"
    "unprotected-virtual-host = local-open\n"
    "virtual-host = local-shop\n"
    "[local-open]\n"
    "protocols = both\n"
    "[local-shop]\n"
    "protocols = http\n";

class CoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok());
        ASSERT_TRUE(m_key.ok()) << m_key.error();
    }
    void makeCore(const std::string& conf = kLocalConf) {
        std::ofstream(m_dir.path("tessaro.conf")) << conf;
        m_core.reset(new YavCore("/usr/bin/yavcoretest", m_dir.path().c_str()));
    }
    void startServer() { ASSERT_EQ(0u, m_server.start(m_key.path(), 4, 4096, &m_handler)); }
    yav_status_t initialize() { return m_core->initialize(m_key.path(), &m_log); }
    // A core with the local hosts, initialized against a running server.
    void startAll() {
        makeCore();
        startServer();
        ASSERT_EQ(0u, initialize());
    }
    // A GET of /index.html for virtual host vhost (no ID when empty).
    static void prepare(YavTestExchange& x, const std::string& vhost) {
        if (!vhost.empty()) x.server->presets.set("getVHostID", 0, vhost);
        x.request.presets.set("getSecurity", 0, "", 0);
        x.request.presets.set("getURI", 0, "/index.html");
        x.request.presets.set("getMethod", 0, "GET");
        x.request.presets.set("getHTTPBuffer", 0, "GET /index.html HTTP/1.1\r\n\r\n");
        x.request.presets.set("getClientIP", 0, "10.0.0.1");
    }
    // The (ID, flags) of every host in list order.
    std::vector<std::pair<std::string, uint32_t>> hosts() {
        std::vector<std::pair<std::string, uint32_t>> out;
        YavPluginVirtualHostList& list = m_core->getVirtualHosts();
        EXPECT_EQ(0, list.readLock());
        for (const YavPluginVirtualHost* h : list)
            out.emplace_back(std::string(h->getID().getData(), h->getID().getLength()),
                             h->getFlags());
        list.unlock();
        return out;
    }

    YavTestTempDir m_dir{"yavcore"};
    YavIpcTestKey m_key;
    YavRecordingLog m_log;
    CoreHandler m_handler;
    YavWorkerServer m_server;
    std::unique_ptr<YavCore> m_core;
};

TEST_F(CoreTest, ReadsHostFlagsFromTheGeneralAndTheHostStanza) {
    makeCore(
        "[krweb-plugins]\n"
        "case-sensitive = No\n"
        "virtual-host = a\nvirtual-host = b\nvirtual-host = c\nvirtual-host = d\n"
        "virtual-host = e\nvirtual-host = a\nunprotected-virtual-host =\n"
        "[a]\nprotocols = https\ncase-sensitive = maybe\n"
        "[b]\nprotocols = http , HTTPS, ftp\ncase-sensitive = TRUE\nwindows-file-system = yes\n"
        "[c]\nprotocols = Both\nid = renamed\n"
        "[d]\nwindows-file-system = perhaps\n");
    // Unprotected hosts come first; "a" is listed once; "e" has no stanza.
    std::vector<std::pair<std::string, uint32_t>> expected = {
        {"", 1 | 16}, {"a", 1 | 4}, {"b", 2 | 8 | 4}, {"renamed", 1 | 8 | 4}, {"d", 1}, {"e", 1}};
    EXPECT_EQ(expected, hosts());
}

TEST_F(CoreTest, AMissingStanzaOrFileLeavesTheListEmptyABadLineEndsTheNames) {
    makeCore("[other]\nvirtual-host = x\n");
    EXPECT_TRUE(hosts().empty());
    m_core.reset(new YavCore("prog", m_dir.path("absent").c_str()));
    EXPECT_TRUE(hosts().empty());
    makeCore("[krweb-plugins]\nvirtual-host = x\nno separator\nvirtual-host = y\n");
    std::vector<std::pair<std::string, uint32_t>> expected = {{"x", 0}};
    EXPECT_EQ(expected, hosts());
}

TEST_F(CoreTest, InitializeLoadsTheServersConfigurationOnce) {
    ASSERT_NO_FATAL_FAILURE(startAll());
    int minPost = -7;
    EXPECT_EQ(0u, m_core->getMinPostData(YavStringRef("www"), YavStringRef("/form"), &minPost));
    EXPECT_EQ(512, minPost);
    EXPECT_EQ(0x21u, m_core->getConfigFlags(YavStringRef("cookies")));
    EXPECT_EQ(0u, m_core->getConfigFlags(YavStringRef("absent")));
    // The server's hosts replaced the local ones.
    std::vector<std::pair<std::string, uint32_t>> expected = {{"shop", 12}, {"open", 28}};
    EXPECT_EQ(expected, hosts());

    // Only the server's unprotected host passes unseen; the others, and a
    // request without a virtual-host ID, are sent to the server.
    const char* vhosts[] = {"open", "local-open", "shop", ""};
    for (const char* vhost : vhosts) {
        YavTestExchange x;
        prepare(x, vhost);
        int before = m_handler.webQuestions;
        EXPECT_EQ(0u, m_core->handleReq(&x.trans)) << vhost;
        bool open = std::string(vhost) == "open";
        EXPECT_EQ(open ? yav_continue_uninteresting : yav_continue, x.trans.getResult()) << vhost;
        EXPECT_EQ(open ? 0 : 1, m_handler.webQuestions - before) << vhost;
    }
    EXPECT_EQ(0u, m_core->shutdown());
    EXPECT_EQ(0u, initialize());
}

TEST_F(CoreTest, AFailedInitializeLeavesTheCoreAsConstructed) {
    makeCore();
    EXPECT_NE(0u, initialize());  // no server yet
    YavTestExchange x;
    prepare(x, "local-shop");
    EXPECT_EQ(YAV_S_NOT_INITIALIZED, m_core->handleReq(&x.trans));
    EXPECT_EQ(yav_severe_error, x.trans.getResult());
    startServer();
    for (int type = 0; type <= 3; ++type) {
        m_handler.noFactoryType = type;
        EXPECT_EQ(YAV_S_IPC_NO_FACTORY, initialize()) << type;
        EXPECT_FALSE(m_core->isInitialized());
        EXPECT_FALSE(m_core->getDispatcher().isInitialized());
        int minPost = -7;
        EXPECT_EQ(YAV_S_NOT_AVAILABLE,
                  m_core->getMinPostData(YavStringRef("www"), YavStringRef("/form"), &minPost));
    }
    // A refusal by the server is logged and does not fail initialize.
    m_handler.noFactoryType = -1;
    m_handler.refusedType = 1;
    EXPECT_EQ(0u, initialize());
    EXPECT_TRUE(m_core->isInitialized());
    const std::vector<std::string> lines = m_log.texts();
    EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
                  return line.find("QRXIC0001E") != std::string::npos;
              }));
}

TEST_F(CoreTest, AnUnreachableOrRefusingServerGives503) {
    ASSERT_NO_FATAL_FAILURE(startAll());
    // A refusal, then a server that is gone.
    const char* messages[] = {"QRXIC0641E", "QRXIC0667E"};
    m_handler.refuseWeb = true;
    for (const char* message : messages) {
        YavTestExchange x;
        prepare(x, "shop");
        EXPECT_EQ(0u, m_core->handleReq(&x.trans));
        EXPECT_EQ(yav_send_default_rsp_to_client, x.trans.getResult());
        EXPECT_EQ(1, x.log.count("rsp.setCode(503)"));
        EXPECT_EQ(1, x.log.count("rsp.setDefaultResponse(1)"));
        EXPECT_LT(x.log.indexOf("rsp.setDefaultResponse(1)"),
                  x.log.indexOf("rsp.finalizeHeader()"));
        EXPECT_LT(x.log.indexOf("rsp.finalizeHeader()"), x.log.indexOf("rsp.finalizeBody()"));
        ASSERT_EQ(1u, x.trans.lines.size());
        EXPECT_NE(std::string::npos, x.trans.lines[0].second.find(message));
        ASSERT_EQ(0u, m_server.stop());
    }
}

TEST_F(CoreTest, HandleRspSendsTheResponseOrReportsAMissingPart) {
    ASSERT_NO_FATAL_FAILURE(startAll());
    YavTestExchange x;
    prepare(x, "shop");
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, m_core->handleRsp(&x.trans));  // no raw response
    EXPECT_EQ(0, m_handler.webQuestions);
    x.response.presets.set("getHTTPBuffer", 0, "HTTP/1.1 200 OK\r\n\r\n");
    EXPECT_EQ(0u, m_core->handleRsp(&x.trans));
    EXPECT_EQ(1, m_handler.webQuestions);
    EXPECT_EQ(yav_continue, x.trans.getResult());
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, m_core->postProcess(&x.trans));
}

TEST_F(CoreTest, RetryLoopsEndAndRefreshWithoutDuplicatingLocalHosts) {
    ASSERT_NO_FATAL_FAILURE(startAll());
    m_handler.askRetry = true;
    // The server fails its host question: every refresh appends the local
    // hosts behind the old list, but only once.
    m_handler.refusedType = 3;
    YavTestExchange x;
    prepare(x, "shop");
    EXPECT_EQ(0u, m_core->handleReq(&x.trans));
    EXPECT_EQ(YavCore::kMaxRetries + 1, m_handler.webQuestions);
    EXPECT_EQ(YavCore::kMaxRetries, x.log.count("trans.prepareForRetry()"));
    EXPECT_EQ(yav_send_default_rsp_to_client, x.trans.getResult());
    EXPECT_EQ(1, x.log.count("rsp.setCode(503)"));
    std::vector<std::pair<std::string, uint32_t>> expected = {
        {"shop", 12}, {"open", 28}, {"local-open", 28}, {"local-shop", 8}};
    EXPECT_EQ(expected, hosts());

    // The module's hook ends the loop with its status.
    YavTestExchange y;
    prepare(y, "shop");
    y.trans.presets.set("prepareForRetry", YAV_S_NOT_SUPPORTED);
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, m_core->handleReq(&y.trans));
    EXPECT_EQ(1, y.log.count("trans.prepareForRetry()"));
}

TEST_F(CoreTest, RefreshRunsWhileOtherThreadsHandleRequests) {
    ASSERT_NO_FATAL_FAILURE(startAll());
    const int kThreads = 3, kRequests = 20;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRequests; ++i) {
                YavTestExchange x;
                prepare(x, (i + t) % 2 == 0 ? "shop" : "local-open");
                // local-open is unprotected only while a refresh has it.
                if (m_core->handleReq(&x.trans) != 0 ||
                    (x.trans.getResult() != yav_continue &&
                     x.trans.getResult() != yav_continue_uninteresting)) {
                    ++wrong;
                }
            }
        });
    }
    for (int i = 0; i < 10; ++i) EXPECT_EQ(0u, YavCoreTestPeer::prepareForRetry(*m_core));
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(0, wrong.load());
    EXPECT_EQ(4u, hosts().size());
}

}  // namespace
