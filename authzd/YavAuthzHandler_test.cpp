#include "authzd/YavAuthzHandler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authzd/yav_authzd_test_aids.h"
#include "core/msg/yav_status.h"
#include "msg/plugin/yav_web_trans_cmds.h"
#include "msg/plugin/yav_web_trans_test_aids.h"
#include "msg/plugin/yav_webq_test_aids.h"
#include "proxyif/framework/YavProxyIFMessage.h"

namespace {

class YavAuthzHandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok());
        m_path = yav_authz_write_file(m_dir, "p.conf", yav_authz_test_policy());
        std::string error;
        ASSERT_EQ(0u, m_handler.load(m_path.c_str(), &error)) << error;
        ASSERT_EQ(0u, m_policy.load(m_path.c_str(), &error)) << error;
    }

    // The elements of the answer to a question made of elements.
    yav_status_t ask(int type, const std::vector<YavTestBytes>& question,
                     std::vector<YavTestBytes>* answer, int* answerType) {
        YavTestChain q(question);
        if (q.status != 0) return q.status;
        YavSharedMemIterator it;
        yav_status_t st = it.initialize(&q.region.allocator);
        if (st != 0) return st;
        YavTestRegion region(8192);
        st = m_handler.handle(0, type, it, region.allocator, answerType);
        *answer = region.elements();
        return st;
    }

    static YavTestBytes versionElement(const YavEpochVersion& v) {
        YavWireValue e;
        e.buf(v.bytes(), YavEpochVersion::kSize);
        return e.bytes();
    }

    YavTestTempDir m_dir{"authzhdl"};
    std::string m_path;
    YavAuthzHandler m_handler;
    YavAuthzPolicy m_policy;
};

// Each verdict becomes its exact answer, always ending with the version.
TEST_F(YavAuthzHandlerTest, WritesEachVerdictAsItsAnswer) {
    YavEpochVersion version = m_handler.getVersion();
    EXPECT_EQ(1, version.getCounter());
    const std::string versionBytes(reinterpret_cast<const char*>(version.bytes()),
                                   YavEpochVersion::kSize);
    const std::string page401 =
        "<html><head><title>401 Authorization Required</title></head><body><h1>Authorization "
        "Required</h1><p>/web/a&lt;b&gt;</p></body></html>\n";
    const std::string page403 =
        "<html><head><title>403 Forbidden</title></head><body><h1>Forbidden</h1><p>/web/x</p>"
        "</body></html>\n";
    struct Case {
        yav_authz_verdict_e verdict;
        const char* user;
        const char* object;
        YavWireChain expected;
    };
    const std::vector<Case> cases = {
        {yav_authz_open, "", "/web/pub",
         yav_answer(yav_continue, {yav_cmd_nv(yav_req_set_header, "X-User", "unauthenticated"),
                                   yav_cmd_buf(yav_rsp_urc_version, versionBytes)})},
        {yav_authz_allowed, "bob", "/web/doc",
         yav_answer(yav_continue,
                    {yav_cmd_nv(yav_req_set_header, "X-User", "bob"),
                     yav_cmd_list(yav_req_set_web_log_user, {"bob", "basic", "/web/doc"}),
                     yav_cmd_buf(yav_rsp_urc_version, versionBytes)})},
        {yav_authz_unauthenticated, "", "/web/a<b>",
         yav_answer(yav_send_rsp_to_client, {yav_cmd_int(yav_rsp_set_response_code, 401),
                                             yav_cmd_nv(yav_rsp_set_header, "WWW-Authenticate",
                                                        "Basic realm=\"Test Realm\""),
                                             yav_cmd_str(yav_rsp_set_content_type, "text/html"),
                                             yav_cmd_buf(yav_rsp_set_body, page401),
                                             yav_cmd_buf(yav_rsp_urc_version, versionBytes)})},
        {yav_authz_forbidden, "bob", "/web/x",
         yav_answer(yav_send_rsp_to_client, {yav_cmd_int(yav_rsp_set_response_code, 403),
                                             yav_cmd_str(yav_rsp_set_content_type, "text/html"),
                                             yav_cmd_buf(yav_rsp_set_body, page403),
                                             yav_cmd_buf(yav_rsp_urc_version, versionBytes)})},
    };
    for (const Case& c : cases) {
        YavTestRegion region(4096);
        ASSERT_EQ(0u, region.initStatus);
        YavAuthzResult result;
        result.verdict = c.verdict;
        result.user = c.user;
        result.objectName = c.object;
        ASSERT_EQ(0u, YavAuthzHandler::writeDecision(region.allocator, m_policy, result, version));
        std::vector<unsigned char> written(region.segment.bytes(),
                                           region.segment.bytes() + c.expected.bytes().size());
        EXPECT_EQ(c.expected.bytes(), written) << "verdict " << c.verdict;
    }
}

TEST_F(YavAuthzHandlerTest, AnswersTheCacheVersionWithTheOpenBranchesWhenStale) {
    YavEpochVersion current = m_handler.getVersion();
    std::vector<YavTestBytes> answer;
    int type = -1;
    ASSERT_EQ(0u, ask(yav_msg_urc_version_question, {versionElement(current)}, &answer, &type));
    EXPECT_EQ(yav_msg_urc_version_answer, type);
    EXPECT_EQ(std::vector<YavTestBytes>{versionElement(current)}, answer);

    YavEpochVersion stale;
    ASSERT_EQ(0u, ask(yav_msg_urc_version_question, {versionElement(stale)}, &answer, &type));
    std::vector<YavTestBytes> expected = {
        versionElement(current),
        YavWireValue().str("/web").bytes(),
        YavWireValue().u32(3).bytes(),
        YavWireValue().str("/web/pub").str("*").bytes(),
        YavWireValue().str("/web/pub/closed").str("[none]").bytes(),
        YavWireValue().str("/web/img").str("r").bytes()};
    EXPECT_EQ(expected, answer);

    // A version buffer of another length is refused.
    YavWireValue shortVersion;
    shortVersion.buf("0123456789012345678", 19);
    EXPECT_EQ(YAV_S_UNMARSHAL_FAILED,
              ask(yav_msg_urc_version_question, {shortVersion.bytes()}, &answer, &type));
}

TEST_F(YavAuthzHandlerTest, AnswersConfigurationAndResponsesAndRefusesOtherTypes) {
    std::vector<YavTestBytes> answer;
    int type = -1;
    ASSERT_EQ(0u, ask(yav_msg_config_question, {YavWireValue().u32(0).bytes()}, &answer, &type));
    EXPECT_EQ(yav_msg_config_answer, type);
    EXPECT_EQ(
        (std::vector<YavTestBytes>{YavWireValue().u32(1).bytes(),
                                   YavWireValue().u32(0).str("/web/upload").u32(512).bytes()}),
        answer);
    ASSERT_EQ(0u, ask(yav_msg_web_rsp_question, {YavWireValue().u32(0).bytes()}, &answer, &type));
    EXPECT_EQ(yav_msg_web_trans_answer, type);
    EXPECT_EQ(std::vector<YavTestBytes>{YavWireValue().u32(yav_continue).u32(0).bytes()}, answer);
    EXPECT_EQ(YAV_S_INVALID_PARAMETER,
              ask(yav_msg_web_trans_answer, {YavWireValue().u32(0).bytes()}, &answer, &type));
}

TEST_F(YavAuthzHandlerTest, ReloadStartsANewVersionAndKeepsTheOldPolicyWhenInvalid) {
    YavEpochVersion first = m_handler.getVersion();
    std::string error;
    ASSERT_EQ(0u, m_handler.reload(&error)) << error;
    YavEpochVersion second = m_handler.getVersion();
    EXPECT_EQ(2, second.getCounter());
    EXPECT_EQ(0, memcmp(first.bytes(), second.bytes(), 16));

    ASSERT_FALSE(yav_authz_write_file(m_dir, "p.conf", "[users]\nbroken\n").empty());
    EXPECT_NE(0u, m_handler.reload(&error));
    EXPECT_EQ(m_path + ":2: entry without '='", error);
    EXPECT_EQ(second, m_handler.getVersion());
    std::vector<YavTestBytes> answer;
    int type = -1;
    ASSERT_EQ(0u, ask(yav_msg_config_question, {YavWireValue().u32(1).bytes()}, &answer, &type));
    EXPECT_EQ(2u, answer.size());  // the old policy's one flag still answers
}

}  // namespace
