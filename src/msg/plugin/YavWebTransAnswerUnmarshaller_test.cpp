#include "msg/plugin/YavWebTransAnswerUnmarshaller.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/trace/YavTraceRegistry.h"
#include "msg/plugin/yav_web_trans_test_aids.h"

namespace {

const std::vector<std::string> kFinalized = {"req.finalizeHeader()", "rsp.finalizeHeader()",
                                             "req.finalizeBody()", "rsp.finalizeBody()"};

class YavWebTransAnswerTest : public ::testing::Test {
  protected:
    yav_status_t run(YavTestExchange& ex, const std::vector<YavWireValue>& cmds,
                     int rspCode = yav_send_rsp_to_client) {
        return yav_run_answer(yav_answer(rspCode, cmds), &ex.trans, &reader);
    }
    static bool finalized(const YavTestExchange& ex) {
        return ex.log.indexOf("req.finalizeHeader()") >= 0 ||
               ex.log.indexOf("rsp.finalizeBody()") >= 0;
    }
    YavWebTransAnswerUnmarshaller reader;
};

TEST_F(YavWebTransAnswerTest, AnswerWithoutCommandsOnlyFinalizesBothViews) {
    YavTestExchange ex;
    ASSERT_EQ(0u, run(ex, {}, yav_continue));
    EXPECT_EQ(yav_continue, reader.getRspCode());
    EXPECT_EQ(0, reader.getNumCmds());
    EXPECT_EQ(kFinalized, ex.log.entries());
    EXPECT_TRUE(ex.trans.lines.empty());
}

// Each command that goes straight to a view: the call it makes, and the
// message logged when the view refuses it (the answer then stops before
// the next command and finalises nothing).
struct ViewCommandCase {
    YavWireValue cmd;
    const char* view;  // "req" or "rsp"
    const char* op;    // preset name of the failing operation
    std::string call;  // expected call log entry
    yav_status_t message;
};

const std::vector<ViewCommandCase>& viewCommandCases() {
    static const std::vector<ViewCommandCase> cases = {
        {yav_cmd_nv(yav_req_add_header, "X-A", "1"), "req", "addHeader", "req.addHeader(X-A,1)",
         YAV_S_REQ_ADD_HEADER},
        {yav_cmd_nv(yav_req_set_header, "X-B", "two"), "req", "setHeader", "req.setHeader(X-B,two)",
         YAV_S_REQ_SET_HEADER},
        {yav_cmd_str(yav_req_remove_header, "X-C"), "req", "removeHeader", "req.removeHeader(X-C)",
         YAV_S_REQ_SET_HEADER},
        {yav_cmd_str(yav_req_set_method, "PUT"), "req", "setMethod", "req.setMethod(PUT)",
         YAV_S_REQ_SET_METHOD},
        {yav_cmd_str(yav_req_set_uri, "/new/path"), "req", "setURI", "req.setURI(/new/path)",
         YAV_S_REQ_SET_URI},
        {yav_cmd_str(yav_req_set_version, "HTTP/1.0"), "req", "setVersion",
         "req.setVersion(HTTP/1.0)", YAV_S_REQ_SET_VERSION},
        {yav_cmd_str(yav_req_set_query, "a=1&b=2"), "req", "setQuery", "req.setQuery(a=1&b=2)",
         YAV_S_REQ_SET_QUERY},
        {yav_cmd_list(yav_req_set_web_log_user, {"alice", "", "realm"}), "req", "setWebLogUser",
         "req.setWebLogUser(alice,,realm)", YAV_S_REQ_SET_WEB_LOG_USER},
        {yav_cmd_nv(yav_rsp_add_header, "Set-Cookie", "s=1"), "rsp", "addHeader",
         "rsp.addHeader(Set-Cookie,s=1)", YAV_S_RSP_ADD_HEADER},
        {yav_cmd_nv(yav_rsp_set_header, "Location", "/x"), "rsp", "setHeader",
         "rsp.setHeader(Location,/x)", YAV_S_RSP_SET_HEADER},
        {yav_cmd_int(yav_rsp_set_response_code, 302), "rsp", "setCode", "rsp.setCode(302)",
         YAV_S_RSP_SET_CODE},
        {yav_cmd_str(yav_rsp_set_content_type, "text/html"), "rsp", "setContentType",
         "rsp.setContentType(text/html)", YAV_S_RSP_SET_CONTENT_TYPE},
        {yav_cmd(yav_rsp_set_keep_alive), "rsp", "setHeader",
         "rsp.setHeader(Connection,Keep-Alive)", YAV_S_RSP_SET_HEADER},
        {yav_cmd(yav_rsp_begin_new_rsp), "rsp", "beginNew", "rsp.beginNew()", YAV_S_RSP_BEGIN_NEW},
        {yav_cmd(yav_rsp_set_body_to_default), "rsp", "setBodyToDefault", "rsp.setBodyToDefault()",
         YAV_S_RSP_SET_DEFAULT_BODY},
        {yav_cmd_int(yav_rsp_set_response_sub_code, -7), "rsp", "setSubCode", "rsp.setSubCode(-7)",
         YAV_S_RSP_SET_SUB_CODE},
    };
    return cases;
}

TEST_F(YavWebTransAnswerTest, ViewCommandsCallTheirOperationAndLogTheirMessageOnFailure) {
    const YavWireValue later = yav_cmd_nv(yav_req_add_header, "X-Later", "1");
    for (const ViewCommandCase& c : viewCommandCases()) {
        SCOPED_TRACE(c.call);
        {
            YavTestExchange ex;
            ASSERT_EQ(0u, run(ex, {c.cmd, later}));
            ASSERT_GE(ex.log.entries().size(), 2u);
            EXPECT_EQ(c.call, ex.log.entries()[0]);
            EXPECT_EQ("req.addHeader(X-Later,1)", ex.log.entries()[1]);
            EXPECT_TRUE(finalized(ex));
            EXPECT_TRUE(ex.trans.lines.empty());
        }
        {
            YavTestExchange ex;
            ex.view(c.view).presets.set(c.op, YAV_S_INVALID_PARAMETER);
            EXPECT_EQ(YAV_S_INVALID_PARAMETER, run(ex, {c.cmd, later}));
            EXPECT_EQ(std::vector<std::string>{c.call}, ex.log.matching(c.call));
            EXPECT_EQ(0, ex.log.count("req.addHeader(X-Later"));
            EXPECT_FALSE(finalized(ex));
            ASSERT_EQ(1u, ex.trans.lines.size());
            EXPECT_EQ(0, ex.trans.lines[0].first) << ex.trans.lines[0].second;
            EXPECT_TRUE(
                yav_logged_status(ex.trans.lines[0].second, c.message, YAV_S_INVALID_PARAMETER))
                << ex.trans.lines[0].second;
        }
    }
}

// A command whose value cannot be read is logged with the command's own
// message and nothing of it is carried out.
TEST_F(YavWebTransAnswerTest, UnreadableValueIsLoggedWithTheCommandsMessage) {
    struct Case {
        int cmd;
        yav_status_t message;
    };
    // The commands with a value: those of viewCommandCases() and these.
    std::vector<Case> cases = {
        {yav_req_set_body, YAV_S_REQ_SET_BODY},
        {yav_req_get_body, YAV_S_REQ_GET_BODY},
        {yav_rsp_set_body, YAV_S_RSP_SET_BODY},
        {yav_rsp_set_body_from_file, YAV_S_RSP_SET_BODY},
        {yav_rsp_set_trace_level, YAV_S_SET_TRACE_LEVEL},
        {yav_rsp_capture_rsp, YAV_S_RSP_CAPTURE},
        {yav_rsp_urc_version, YAV_S_URC_VERSION_NOT_SENT},
    };
    for (const ViewCommandCase& v : viewCommandCases()) {
        uint32_t code;
        memcpy(&code, v.cmd.bytes().data(), 4);
        if (v.cmd.bytes().size() > 4) cases.push_back({static_cast<int>(code), v.message});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmd);
        YavTestExchange ex;
        // A value that claims two more bytes than the element holds.
        YavWireValue truncated = yav_cmd(c.cmd).raw("\x02\x00", 2);
        EXPECT_EQ(YAV_S_UNMARSHAL_FAILED, run(ex, {truncated}));
        EXPECT_TRUE(yav_view_calls(ex.log).empty());
        ASSERT_EQ(1u, ex.trans.lines.size());
        EXPECT_TRUE(yav_logged_status(ex.trans.lines[0].second, c.message, YAV_S_UNMARSHAL_FAILED))
            << ex.trans.lines[0].second;
        EXPECT_EQ(nullptr, ex.trans.getURCVersion());
    }
}

TEST_F(YavWebTransAnswerTest, InvalidAndUnsupportedCodesAreLoggedWithTheCode) {
    struct Case {
        int cmd;
        yav_status_t message;
        yav_status_t status;
    };
    const std::vector<Case> cases = {
        {10, YAV_S_INVALID_COMMAND_CODE, YAV_S_INVALID_COMMAND},
        {15, YAV_S_INVALID_COMMAND_CODE, YAV_S_INVALID_COMMAND},
        {19, YAV_S_INVALID_COMMAND_CODE, YAV_S_INVALID_COMMAND},
        {yav_first_response_code, YAV_S_INVALID_COMMAND_CODE, YAV_S_INVALID_COMMAND},
        {yav_max_proxy_rsp_cmd, YAV_S_INVALID_COMMAND_CODE, YAV_S_INVALID_COMMAND},
        {45, YAV_S_INVALID_COMMAND_CODE, YAV_S_INVALID_COMMAND},
        {-1, YAV_S_INVALID_COMMAND_CODE, YAV_S_INVALID_COMMAND},
        {yav_rsp_remove_header, YAV_S_UNSUPPORTED_COMMAND_CODE, YAV_S_UNSUPPORTED_COMMAND},
        {yav_rsp_remove_cookie, YAV_S_UNSUPPORTED_COMMAND_CODE, YAV_S_UNSUPPORTED_COMMAND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cmd);
        YavTestExchange ex;
        EXPECT_EQ(c.status, run(ex, {yav_cmd(c.cmd), yav_cmd_str(yav_req_set_uri, "/x")}));
        EXPECT_TRUE(yav_view_calls(ex.log).empty());
        ASSERT_EQ(1u, ex.trans.lines.size());
        EXPECT_TRUE(yav_logged_code(ex.trans.lines[0].second, c.message, c.cmd))
            << ex.trans.lines[0].second;
    }
}

// 25 pieces of 10 bytes go past the inline pieces; 65 also make the
// allocated array grow.
TEST_F(YavWebTransAnswerTest, ManyBodyPiecesGoOutInOrderAfterTheirTotalLength) {
    for (int count : {25, 65}) {
        SCOPED_TRACE(count);
        YavTestExchange ex;
        std::vector<YavWireValue> cmds;
        std::vector<std::string> expected = {
            "rsp.setHeader(Content-Length," + std::to_string(10 * count) + ")",
            "req.finalizeHeader()", "rsp.finalizeHeader()"};
        for (int i = 0; i < count; ++i) {
            char piece[16];
            snprintf(piece, sizeof piece, "piece-%04d", i % 10000);
            expected.push_back("rsp.setBody(" + std::string(piece) + ")");
            cmds.push_back(yav_cmd_buf(yav_rsp_set_body, piece));
        }
        expected.push_back("req.finalizeBody()");
        expected.push_back("rsp.finalizeBody()");
        ASSERT_EQ(0u, run(ex, cmds));
        EXPECT_EQ(expected, ex.log.entries());
    }
}

TEST_F(YavWebTransAnswerTest, ClearedBodyLeavesOnlyLaterPieces) {
    YavTestExchange ex;
    ASSERT_EQ(
        0u, run(ex, {yav_cmd_buf(yav_rsp_set_body, "first piece"),
                     yav_cmd_buf(yav_rsp_set_body, "second"), yav_cmd(yav_rsp_clear_existing_body),
                     yav_cmd_buf(yav_rsp_set_body, "last")}));
    EXPECT_EQ(std::vector<std::string>{"rsp.setHeader(Content-Length,4)"},
              ex.log.matching("rsp.setHeader("));
    EXPECT_EQ(std::vector<std::string>{"rsp.setBody(last)"}, ex.log.matching("rsp.setBody("));
}

TEST_F(YavWebTransAnswerTest, SecondBodyFileIsRefusedInTheLogAndTheFirstIsKept) {
    YavTestExchange ex;
    ASSERT_EQ(0u, run(ex, {yav_cmd_str(yav_rsp_set_body_from_file, "/srv/a.html"),
                           yav_cmd_buf(yav_rsp_set_body, "abc"),
                           yav_cmd_str(yav_rsp_set_body_from_file, "/srv/b.html")}));
    ASSERT_EQ(1u, ex.trans.lines.size());
    EXPECT_EQ(0, ex.trans.lines[0].first);
    EXPECT_EQ("Can only set the body from one file!", ex.trans.lines[0].second);
    // The length covers the pieces in the answer; the file comes after them.
    int length = ex.log.indexOf("rsp.setHeader(Content-Length,3)");
    int piece = ex.log.indexOf("rsp.setBody(abc)");
    int file = ex.log.indexOf("rsp.setBodyFromFile(/srv/a.html)");
    EXPECT_GE(length, 0);
    EXPECT_LT(length, piece);
    EXPECT_LT(piece, file);
    EXPECT_EQ(1, ex.log.count("rsp.setBodyFromFile("));
}

TEST_F(YavWebTransAnswerTest, BodyFileAloneAnnouncesZeroLength) {
    YavTestExchange ex;
    ASSERT_EQ(0u, run(ex, {yav_cmd_str(yav_rsp_set_body_from_file, "/srv/a.html")}));
    EXPECT_EQ((std::vector<std::string>{"rsp.setHeader(Content-Length,0)", "req.finalizeHeader()",
                                        "rsp.finalizeHeader()", "rsp.setBodyFromFile(/srv/a.html)",
                                        "req.finalizeBody()", "rsp.finalizeBody()"}),
              ex.log.entries());
}

TEST_F(YavWebTransAnswerTest, LastRequestBodyIsAppliedAfterBothHeadersAreFinal) {
    YavTestExchange ex;
    ex.request.presets.set("setBody", 0);
    ASSERT_EQ(
        0u, run(ex, {yav_cmd_buf(yav_req_set_body, "old body"), yav_cmd_buf(yav_rsp_set_body, "xy"),
                     yav_cmd_buf(yav_req_set_body, "new=body&z=1")}));
    EXPECT_EQ((std::vector<std::string>{
                  "rsp.setHeader(Content-Length,2)", "req.setHeader(Content-Length,12)",
                  "req.finalizeHeader()", "rsp.finalizeHeader()", "req.setBody(new=body&z=1)",
                  "rsp.setBody(xy)", "req.finalizeBody()", "rsp.finalizeBody()"}),
              ex.log.entries());
}

TEST_F(YavWebTransAnswerTest, FailingBodyStepsAreLoggedAndStopTheRest) {
    struct Case {
        const char* view;
        const char* op;
        yav_status_t message;
        const char* notAfter;  // a call that must not happen after the failure
    };
    const std::vector<Case> cases = {
        {"req", "setBody", YAV_S_REQ_SET_BODY, "rsp.setBody("},
        {"rsp", "setBody", YAV_S_RSP_SET_BODY, "rsp.setBodyFromFile("},
        {"rsp", "setBodyFromFile", YAV_S_RSP_SET_BODY, "req.finalizeBody("},
        {"rsp", "setHeader", YAV_S_RSP_SET_BODY, "req.finalizeHeader("},
        {"req", "setHeader", YAV_S_REQ_SET_BODY, "req.finalizeHeader("},
        {"req", "finalizeHeader", YAV_S_REQ_SET_BODY, "rsp.finalizeHeader("},
        {"rsp", "finalizeBody", YAV_S_RSP_SET_BODY, "no call"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.view) + "." + c.op);
        YavTestExchange ex;
        ex.request.presets.set("setBody", 0);
        ex.view(c.view).presets.set(c.op, YAV_S_NO_MEMORY);
        EXPECT_EQ(YAV_S_NO_MEMORY,
                  run(ex, {yav_cmd_buf(yav_req_set_body, "q"), yav_cmd_buf(yav_rsp_set_body, "r"),
                           yav_cmd_str(yav_rsp_set_body_from_file, "/f")}));
        EXPECT_EQ(0, ex.log.count(c.notAfter));
        ASSERT_EQ(1u, ex.trans.lines.size());
        EXPECT_TRUE(yav_logged_status(ex.trans.lines[0].second, c.message, YAV_S_NO_MEMORY))
            << ex.trans.lines[0].second;
    }
}

TEST_F(YavWebTransAnswerTest, GetBodyOutcomes) {
    struct Case {
        yav_status_t result;
        bool retry;
        yav_proxy_rsp_code_e code;
        yav_status_t status;  // of the answer
    };
    const std::vector<Case> cases = {
        {0, true, yav_send_rsp_to_client, 0},
        {YAV_S_NOT_AVAILABLE, false, yav_require_more_body_data, 0},
        {YAV_S_NOT_SUPPORTED, false, yav_send_rsp_to_client, YAV_S_NOT_SUPPORTED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(yav_hex(c.result));
        YavTestExchange ex;
        ex.request.presets.set("retrieveBody", c.result);
        EXPECT_EQ(c.status, run(ex, {yav_cmd_int(yav_req_get_body, 4096),
                                     yav_cmd_buf(yav_rsp_set_body, "not yet")}));
        EXPECT_EQ(std::vector<std::string>{"req.retrieveBody(4096)"}, yav_view_calls(ex.log));
        EXPECT_EQ(c.status == 0, ex.request.isBodyRequested());
        EXPECT_EQ(c.retry, ex.trans.shouldRetry());
        if (c.status == 0) {
            EXPECT_EQ(c.code, reader.getRspCode());
            EXPECT_TRUE(ex.trans.lines.empty());
        } else {
            ASSERT_EQ(1u, ex.trans.lines.size());
            EXPECT_TRUE(yav_logged_status(ex.trans.lines[0].second, YAV_S_REQ_GET_BODY, c.result));
        }
    }
}

// Outcomes of a request for a client certificate or for web-server
// authentication, by the view's result: the flag is set and a retry asked
// for, or the answer goes on with the given code.
TEST_F(YavWebTransAnswerTest, ClientCertAndWebServerAuthenticationRequestOutcomes) {
    struct Case {
        yav_status_t result;
        bool requested;
        yav_proxy_rsp_code_e code;
        bool finalizes;
    };
    const std::vector<Case> cases = {
        {0, true, yav_send_rsp_to_client, false},
        {YAV_S_NOT_AVAILABLE, true, yav_send_rsp_to_client, false},
        {YAV_S_TRANSITIONAL_RESPONSE, false, yav_send_rsp_to_client, true},
        {YAV_S_REQUIRES_CONTINUE, false, yav_continue, true},
    };
    for (bool cert : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(cert ? "cert " : "wsa ") + yav_hex(c.result));
            YavTestExchange ex(cert);
            if (cert) {
                ex.ssl->presets.set("requestClientCert", c.result);
            } else {
                ex.request.presets.set("requestWSA", c.result);
            }
            ASSERT_EQ(0u, run(ex, {yav_cmd(cert ? yav_rsp_req_client_cert : yav_rsp_req_wsa),
                                   yav_cmd_str(yav_rsp_set_content_type, "text/plain")}));
            EXPECT_EQ(1, ex.log.count(cert ? "ssl.requestClientCert()" : "req.requestWSA()"));
            EXPECT_EQ(1, ex.log.count("rsp.setContentType(text/plain)"));
            if (cert) {
                EXPECT_EQ(c.requested, ex.ssl->isClientCertRequested());
            }
            EXPECT_EQ(c.requested, ex.trans.shouldRetry());
            EXPECT_EQ(c.code, reader.getRspCode());
            EXPECT_EQ(c.finalizes, finalized(ex));
            EXPECT_TRUE(ex.trans.lines.empty());
        }
    }
    YavTestExchange ex;
    ex.request.presets.set("requestWSA", YAV_S_NO_MEMORY);
    EXPECT_EQ(YAV_S_NO_MEMORY, run(ex, {yav_cmd(yav_rsp_req_wsa)}));
    ASSERT_EQ(1u, ex.trans.lines.size());
    EXPECT_TRUE(yav_logged_status(ex.trans.lines[0].second, YAV_S_REQ_WSA, YAV_S_NO_MEMORY));
}

TEST_F(YavWebTransAnswerTest, RefusedClientCertRequestFailsTheRequestAndIgnoresTheRest) {
    YavTestExchange ex(true);
    ex.ssl->presets.set("requestClientCert", YAV_S_INVALID_PARAMETER);
    ASSERT_EQ(0u, run(ex, {yav_cmd(yav_rsp_req_client_cert),
                           yav_cmd_str(yav_rsp_set_content_type, "text/plain"), yav_cmd(45)}));
    EXPECT_EQ((std::vector<std::string>{"ssl.requestClientCert()", "rsp.setCode(500)"}),
              yav_view_calls(ex.log));
    EXPECT_EQ(yav_severe_error, reader.getRspCode());
    EXPECT_FALSE(ex.ssl->isClientCertRequested());
    ASSERT_EQ(1u, ex.trans.lines.size());
    EXPECT_TRUE(yav_logged_status(ex.trans.lines[0].second, YAV_S_REQ_CLIENT_CERT,
                                  YAV_S_INVALID_PARAMETER));

    YavTestExchange failing(true);
    failing.ssl->presets.set("requestClientCert", YAV_S_INVALID_PARAMETER);
    failing.response.presets.set("setCode", YAV_S_NO_MEMORY);
    EXPECT_EQ(YAV_S_NO_MEMORY, run(failing, {yav_cmd(yav_rsp_req_client_cert)}));
    ASSERT_EQ(2u, failing.trans.lines.size());
    EXPECT_TRUE(
        yav_logged_status(failing.trans.lines[1].second, YAV_S_RSP_SET_CODE, YAV_S_NO_MEMORY));

    YavTestExchange plain(false);
    EXPECT_EQ(YAV_S_INVALID_COMMAND, run(plain, {yav_cmd(yav_rsp_req_client_cert)}));
    EXPECT_TRUE(yav_view_calls(plain.log).empty());
    ASSERT_EQ(1u, plain.trans.lines.size());
    EXPECT_TRUE(yav_logged_status(plain.trans.lines[0].second, YAV_S_REQ_CLIENT_CERT,
                                  YAV_S_INVALID_COMMAND));
}

TEST_F(YavWebTransAnswerTest, CaptureTakesHostURIAndSecurityOfTheRequest) {
    const std::string full = "rsp.setCaptureRsp(target,vhost-7,/shop/cart,1)";
    // A step that gives status (none for ""), and the capture call then made.
    const struct {
        const char* view;
        const char* op;
        yav_status_t status;
        std::string call;
    } cases[] = {
        {"", "", 0, full},
        {"req", "getURI", YAV_S_NOT_AVAILABLE, "rsp.setCaptureRsp(target,vhost-7,,1)"},
        {"srv", "getVHostID", YAV_S_INVALID_PARAMETER, ""},
        {"req", "getURI", YAV_S_INVALID_PARAMETER, ""},
        {"req", "getSecurity", YAV_S_INVALID_PARAMETER, ""},
        {"rsp", "setCaptureRsp", YAV_S_INVALID_PARAMETER, full},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + yav_hex(c.status));
        YavTestExchange ex;
        ex.server->presets.set("getVHostID", 0, "vhost-7");
        ex.request.presets.set("getURI", 0, "/shop/cart");
        ex.request.presets.set("getSecurity", 0, "", 1);
        ex.response.presets.set("setCaptureRsp", 0);
        if (*c.view != '\0') ex.view(c.view).presets.set(c.op, c.status);
        const bool fails = c.status == YAV_S_INVALID_PARAMETER;
        EXPECT_EQ(fails ? c.status : 0u, run(ex, {yav_cmd_str(yav_rsp_capture_rsp, "target")}));
        EXPECT_EQ(c.call.empty() ? 0 : 1,
                  ex.log.count(c.call.empty() ? "rsp.setCaptureRsp(" : c.call));
        ASSERT_EQ(fails ? 1u : 0u, ex.trans.lines.size());
        if (fails) {
            EXPECT_TRUE(yav_logged_status(ex.trans.lines[0].second, YAV_S_RSP_CAPTURE, c.status));
        }
    }
    YavTestExchange ex;
    ex.request.setServer(nullptr);
    EXPECT_EQ(YAV_S_INVALID_COMMAND, run(ex, {yav_cmd_str(yav_rsp_capture_rsp, "t")}));
    EXPECT_EQ(0, ex.log.count("rsp.setCaptureRsp("));
    ASSERT_EQ(1u, ex.trans.lines.size());
    EXPECT_TRUE(
        yav_logged_status(ex.trans.lines[0].second, YAV_S_RSP_CAPTURE, YAV_S_INVALID_COMMAND));
}

TEST_F(YavWebTransAnswerTest, CacheVersionReachesTheTransaction) {
    YavTestExchange ex;
    std::string version;
    for (int i = 0; i < YavEpochVersion::kSize; ++i) version.push_back(static_cast<char>(i * 7));
    ASSERT_EQ(0u, run(ex, {yav_cmd_buf(yav_rsp_urc_version, version)}));
    const YavEpochVersion* got = ex.trans.getURCVersion();
    ASSERT_NE(nullptr, got);
    EXPECT_EQ(version, std::string(reinterpret_cast<const char*>(got->bytes()), version.size()));
}

TEST_F(YavWebTransAnswerTest, TraceLevelCommandSetsEveryTrace) {
    YavTraceRegistry& registry = YavTraceRegistry::instance();
    YavTrace* trace = registry.add("webans.test", 1, nullptr);
    ASSERT_NE(nullptr, trace);
    YavTestExchange ex;
    EXPECT_EQ(0u, run(ex, {yav_cmd_int(yav_rsp_set_trace_level, 6)}));
    EXPECT_EQ(6, registry.get("webans.test")->getLevel());
    EXPECT_EQ(0u, registry.remove("webans.test"));
}

}  // namespace
