// The program itself: started under a private key file, asked through the
// plug-in's dispatcher, reloaded and stopped.
#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>

#include <cstring>
#include <string>
#include <vector>

#include "authzd/yav_authzd_test_aids.h"
#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "msg/plugin/YavConfigAnswerContext.h"
#include "msg/plugin/YavConfigAnswerFactory.h"
#include "msg/plugin/YavConfigAnswerUnmarshaller.h"
#include "msg/plugin/YavConfigQuestion.h"
#include "msg/plugin/YavWebReqQuestionBase.h"
#include "msg/plugin/yav_config_test_aids.h"
#include "msg/plugin/yav_web_trans_cmds.h"
#include "msg/plugin/yav_web_trans_test_aids.h"
#include "proxyif/framework/YavProxyIFDispatcher.h"
#include "proxyif/framework/YavProxyIFMsgFactory.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "server/yav_test_server_process.h"
#include "urc/plugin/YavEpochVersion.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// A web request question written element by element as the plug-in sends
// it: flags, the raw request, the URI string and the server part naming
// the virtual host.
class TestWebRequest : public YavProxyIFMessage {
  public:
    TestWebRequest(const std::string& vhost, const std::string& uri, const std::string& auth)
        : m_vhost(vhost), m_uri(uri) {
        m_http = "GET " + uri + " HTTP/1.1\r\nHost: " + vhost + "\r\n";
        if (!auth.empty()) m_http += "Authorization: " + auth + "\r\n";
        m_http += "\r\n";
    }
    yav_status_t unmarshal(YavSharedMemIterator&, void*) override { return 0; }
    yav_status_t marshal(YavSharedMemAllocator& a) override {
        const int flags = YavWebReqQuestionBase::kHTTPMessage | YavWebReqQuestionBase::kURI |
                          YavWebReqQuestionBase::kServer;
        std::vector<Bytes> elements = {
            YavWireValue().u32(flags).bytes(), Bytes(m_http.begin(), m_http.end()),
            YavWireValue().str(m_uri).bytes(),
            YavWireValue().u32(1).str(m_vhost).bytes(),  // kVHostID and the ID
        };
        for (const Bytes& e : elements) {
            void* data = nullptr;
            yav_status_t st = a.allocate(static_cast<unsigned>(e.size()), &data);
            if (st != 0) return st;
            memcpy(data, e.data(), e.size());
        }
        return 0;
    }
    int getType() const override { return yav_msg_web_req_question; }

  private:
    std::string m_vhost;
    std::string m_uri;
    std::string m_http;
};

// A web transaction answer kept as its raw elements.
class RawAnswer : public YavProxyIFMessage {
  public:
    yav_status_t unmarshal(YavSharedMemIterator& it, void*) override {
        while (it.hasMoreElements()) {
            unsigned len = 0;
            void* data = nullptr;
            yav_status_t st = it.getNextElement(&len, &data);
            if (st != 0) return st;
            const unsigned char* p = static_cast<const unsigned char*>(data);
            elements.emplace_back(p, p + len);
        }
        return 0;
    }
    yav_status_t marshal(YavSharedMemAllocator&) override { return YAV_S_NOT_SUPPORTED; }
    int getType() const override { return yav_msg_web_trans_answer; }

    std::vector<Bytes> elements;
};

class RawAnswerFactory : public YavProxyIFMsgFactory {
  public:
    int getType() const override { return yav_msg_web_trans_answer; }
    yav_status_t createMsg(YavProxyIFMessage** out) override {
        *out = new RawAnswer;
        return 0;
    }
};

// "<command> <name>=<value>" of a name/value command element (padding
// bytes in the shared buffer are not written and may hold anything).
std::string nameValueCommand(const Bytes& e) {
    if (e.size() < 4) return "<short>";
    uint32_t cmd = 0;
    memcpy(&cmd, e.data(), 4);
    YavProxyIFMsgNameValue nv;
    const int len = static_cast<int>(e.size()) - 4;
    if (nv.unmarshal(e.data() + 4, len) != len) return "<bad pair>";
    return std::to_string(cmd) + " " +
           std::string(nv.getName().getData(), static_cast<size_t>(nv.getName().getLength())) +
           "=" +
           std::string(nv.getValue().getData(), static_cast<size_t>(nv.getValue().getLength()));
}

bool objectGone(key_t key, bool segment) {
    int id = segment ? shmget(key, 0, 0) : semget(key, 0, 0);
    return id == -1 && errno == ENOENT;
}

TEST(TessaroAuthzdProcessTest, AnswersThroughTheDispatcherReloadsAndCleansUp) {
    YavIpcTestKey key;
    ASSERT_TRUE(key.ok()) << key.error();
    YavTestTempDir dir("authzproc");
    ASSERT_TRUE(dir.ok());
    std::string policy = yav_authz_write_file(dir, "p.conf", yav_authz_test_policy());
    ASSERT_FALSE(policy.empty());

    YavTestProcess server;
    ASSERT_TRUE(server.start(YAV_AUTHZD_PROGRAM,
                             {"--policy", policy, "--key", key.path(), "--workers", "2"}));
    ASSERT_TRUE(server.waitForLine("ready"));

    ASSERT_EQ(0u, YavConfigAnswerUnmarshaller::m_allocator.acquire());
    YavProxyIFDispatcher dispatcher;
    ASSERT_EQ(0u, dispatcher.initialize(nullptr, key.path()));
    ASSERT_EQ(0u, dispatcher.registerProxyMsgFactory(new YavConfigAnswerFactory()));
    ASSERT_EQ(0u, dispatcher.registerProxyMsgFactory(new RawAnswerFactory()));

    // The virtual hosts of the policy, with their permission maps.
    YavPluginVirtualHostList hosts;
    YavConfigAnswerContext ctx;
    ctx.vhosts = &hosts;
    YavConfigQuestion question(YavConfigQuestion::yav_config_req_msg_type_e(3));
    YavProxyIFMessage* answer = nullptr;
    bool retry = true;
    ASSERT_EQ(0u, dispatcher.dispatch(question, &answer, &ctx, &retry));
    ASSERT_NE(nullptr, answer);
    EXPECT_EQ(yav_msg_config_answer, answer->getType());
    answer->deleteMe();
    EXPECT_EQ((std::vector<std::string>{"www /web 12 [primary]r [primary]r [primary]rw [primary]r",
                                        "open-host  24 [primary] [primary] [primary] [primary]"}),
              yav_cfg_hosts(hosts));

    // A web request: first without credentials (401), then as bob (allowed).
    auto ask = [&](const std::string& auth, std::vector<Bytes>* elements) {
        TestWebRequest req("www", "/doc", auth);
        YavProxyIFMessage* a = nullptr;
        bool r = true;
        ASSERT_EQ(0u, dispatcher.dispatch(req, &a, nullptr, &r));
        ASSERT_NE(nullptr, a);
        ASSERT_EQ(yav_msg_web_trans_answer, a->getType());
        *elements = static_cast<RawAnswer*>(a)->elements;
        a->deleteMe();
    };
    std::vector<Bytes> elements;
    ask("", &elements);
    ASSERT_EQ(6u, elements.size());
    EXPECT_EQ(YavWireValue().u32(yav_send_rsp_to_client).u32(5).bytes(), elements[0]);
    EXPECT_EQ(yav_cmd_int(yav_rsp_set_response_code, 401).bytes(), elements[1]);
    EXPECT_EQ(std::to_string(yav_rsp_set_header) + " WWW-Authenticate=Basic realm=\"Test Realm\"",
              nameValueCommand(elements[2]));

    ask(yav_authz_basic("bob", "pw-bob"), &elements);
    ASSERT_EQ(4u, elements.size());
    EXPECT_EQ(YavWireValue().u32(yav_continue).u32(3).bytes(), elements[0]);
    EXPECT_EQ(std::to_string(yav_req_set_header) + " X-User=bob", nameValueCommand(elements[1]));
    ASSERT_EQ(4u + 4u + YavEpochVersion::kSize, elements[3].size());
    int32_t counter = 0;
    memcpy(&counter, elements[3].data() + 8 + 16, 4);
    EXPECT_EQ(1, counter);

    // A reload announces the next version in later answers.
    ASSERT_TRUE(server.sendSignal(SIGHUP));
    ASSERT_TRUE(server.waitForLine("reloaded 2"));
    ask(yav_authz_basic("bob", "pw-bob"), &elements);
    ASSERT_EQ(4u, elements.size());
    memcpy(&counter, elements[3].data() + 8 + 16, 4);
    EXPECT_EQ(2, counter);

    EXPECT_EQ(0u, dispatcher.shutdown());
    YavConfigAnswerUnmarshaller::m_allocator.release();

    // SIGTERM: exit 0 and no object left under the key.
    int status = server.stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_TRUE(objectGone(key.key('w'), true));
    EXPECT_TRUE(objectGone(key.key('p'), true));
    EXPECT_TRUE(objectGone(key.key('q'), false));
    EXPECT_TRUE(objectGone(key.key('x'), false));
}

TEST(TessaroAuthzdProcessTest, AnInvalidPolicyKeepsTheServerFromStarting) {
    YavIpcTestKey key;
    ASSERT_TRUE(key.ok()) << key.error();
    YavTestTempDir dir("authzproc");
    ASSERT_TRUE(dir.ok());
    std::string policy = yav_authz_write_file(dir, "p.conf", "[vhost a]\nflags = http\n");
    YavTestProcess server;
    ASSERT_TRUE(server.start(YAV_AUTHZD_PROGRAM, {"--policy", policy, "--key", key.path()}));
    EXPECT_FALSE(server.waitForLine("ready", 10000));
    int status = server.stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(3, WEXITSTATUS(status));
    EXPECT_TRUE(objectGone(key.key('w'), true));
}

}  // namespace
