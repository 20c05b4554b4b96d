#include "msg/plugin/YavWebReqQuestionMarshaller.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "msg/plugin/yav_webq_test_aids.h"
#include "plugin/core/yav_view_test_aids.h"

namespace {

typedef YavWebReqQuestionBase Q;

const std::string kHTTP = "GET /a?b HTTP/1.1\r\nHost: h\r\n\r\n";

// An exchange whose every view answers: all strings, the server part, a
// secure request with session ID, can-request false, a full certificate.
struct FullExchange {
    YavTestExchange ex{true};
    YavRecordingClientCert* cert;

    FullExchange() : cert(new YavRecordingClientCert(&ex.log)) {
        ex.ssl->setClientCert(cert);
        ex.request.presets.set("getHTTPBuffer", 0, kHTTP);
        ex.request.presets.set("getClientIP", 0, "10.1.2.3");
        ex.request.presets.set("getURI", 0, "/a");
        ex.request.presets.set("getQuery", 0, "b");
        ex.request.presets.set("getConnectionID", 0, "conn7");
        ex.request.presets.set("getWSARequested", 0, "", 1);
        ex.request.presets.set("getWSAUser", 0, "alice");
        ex.request.presets.set("isSubRequest", 0, "", 1);
        ex.request.presets.set("getSecurity", 0, "", 1);
        ex.request.setBodyRequested(true);
        ex.server->presets.set("getVHostID", 0, "vh1");
        ex.server->presets.set("getName", 0, "www.example.com");
        ex.server->presets.set("getPort", 0, "", 8443);
        ex.ssl->presets.set("getID", 0, std::string("\x01\x02\x00\x04\x05", 5));
        ex.ssl->presets.set("canRequestClientCert", 0, "", 0);
        ex.ssl->setClientCertRequested(true);
        cert->presets.set("getIssuerDN", 0, "CN=CA");
        cert->presets.set("getSubjectDN", 0, "CN=alice");
        cert->presets.set("getSerialNumber", 0, "0a1b");
    }
};

// The expected elements of FullExchange, laid out by hand.
std::vector<YavTestBytes> fullLayout() {
    YavTestBytes flags, strings, server, ssl;
    yav_test_put_int(&flags, 0x7ff);
    for (const char* s : {"10.1.2.3", "/a", "b", "conn7", "alice"})
        yav_test_put_string(&strings, s);
    yav_test_put_int(&server, 0x7);
    yav_test_put_string(&server, "vh1");
    yav_test_put_string(&server, "www.example.com");
    yav_test_put_int(&server, 8443);
    yav_test_put_int(&ssl, 0xf);
    yav_test_put_buffer(&ssl, std::string("\x01\x02\x00\x04\x05", 5));
    yav_test_put_int(&ssl, 0);
    yav_test_put_int(&ssl, 0x7);
    yav_test_put_string(&ssl, "CN=CA");
    yav_test_put_string(&ssl, "CN=alice");
    yav_test_put_string(&ssl, "0a1b");
    return {flags, yav_test_raw(kHTTP), strings, server, ssl};
}

// The line logMessage writes for code with the text and value of status.
std::string expectedLine(yav_status_t code, yav_status_t status) {
    char hex[16];
    snprintf(hex, sizeof hex, "%#x", status);
    std::string format = kr_msg_get_default_msg(code);
    std::string line = format.substr(0, format.find("%s")) + kr_msg_get_default_msg(status) +
                       " (error code: " + hex + ").";
    return line.substr(0, YavTransaction::kLogBufferSize - 1);
}

TEST(YavWebReqQuestionMarshallerTest, WritesEveryPartOfAFullSecureRequestReadInOrder) {
    FullExchange f;
    YavWebReqQuestionMarshaller q(&f.ex.trans);
    YavTestRegion region(4096);
    ASSERT_EQ(0u, q.marshal(region.allocator));
    EXPECT_EQ(fullLayout(), region.elements());
    EXPECT_TRUE(f.ex.trans.lines.empty());
    // The plug-in only writes this message.
    YavSharedMemIterator it;
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, q.unmarshal(it, nullptr));
    YavWebReqQuestionBase base;
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, base.marshal(region.allocator));

    // The views were read in the documented order.
    const std::vector<std::string> order = {"req.getHTTPBuffer()",   "req.getClientIP()",
                                            "req.getURI()",          "req.getQuery()",
                                            "req.getConnectionID()", "req.getWSARequested()",
                                            "req.getWSAUser()",      "req.isSubRequest()",
                                            "srv.getVHostID()",      "srv.getName()",
                                            "srv.getPort()",         "req.getSecurity()",
                                            "ssl.getID()",           "ssl.canRequestClientCert()",
                                            "cert.getIssuerDN()",    "cert.getSubjectDN()",
                                            "cert.getSerialNumber()"};
    int previous = -1;
    for (const std::string& call : order) {
        int at = f.ex.log.indexOf(call);
        EXPECT_GT(at, previous) << call;
        previous = at;
    }
}

// A plain request for "/" from "ip" whose HTTP buffer is http ("-": not
// available); the string element it gives.
YavTestBytes presetMinimal(YavTestExchange& ex, const std::string& http) {
    if (http == "-") {
        ex.request.presets.set("getHTTPBuffer", YAV_S_NOT_AVAILABLE);
    } else {
        ex.request.presets.set("getHTTPBuffer", 0, http);
    }
    ex.request.presets.set("getClientIP", 0, "ip");
    ex.request.presets.set("getURI", 0, "/");
    ex.request.presets.set("getQuery", YAV_S_NOT_AVAILABLE);
    ex.request.presets.set("getSecurity", 0, "", 0);
    YavTestBytes strings;
    yav_test_put_string(&strings, "ip");
    yav_test_put_string(&strings, "/");
    return strings;
}

std::vector<YavTestBytes> marshalled(YavTestExchange& ex) {
    YavWebReqQuestionMarshaller q(&ex.trans);
    YavTestRegion region(4096);
    EXPECT_EQ(0u, q.marshal(region.allocator));
    return region.elements();
}

TEST(YavWebReqQuestionMarshallerTest, PlainRequestWithoutServerViewHasThreeElements) {
    YavTestExchange ex;
    ex.request.setServer(nullptr);
    YavTestBytes strings = presetMinimal(ex, kHTTP);
    std::vector<YavTestBytes> expected = {yav_test_ints({Q::kHTTPMessage | Q::kClientIP | Q::kURI}),
                                          yav_test_raw(kHTTP), strings};
    EXPECT_EQ(expected, marshalled(ex));
    EXPECT_EQ(-1, ex.log.indexOf("ssl.getID()"));
}

TEST(YavWebReqQuestionMarshallerTest, EmptyHTTPMessageSetsItsFlagButWritesNoElement) {
    YavTestExchange ex;
    YavTestBytes strings = presetMinimal(ex, ""), server;
    ex.server->presets.set("getPort", 0, "", 80);
    yav_test_put_int(&server, 0x4);
    yav_test_put_int(&server, 80);
    std::vector<YavTestBytes> expected = {
        yav_test_ints({Q::kHTTPMessage | Q::kClientIP | Q::kURI | Q::kServer}), strings, server};
    EXPECT_EQ(expected, marshalled(ex));
}

TEST(YavWebReqQuestionMarshallerTest, CertificateWithOnlyASubjectGivesOneString) {
    YavTestExchange ex(true);
    YavRecordingClientCert* cert = new YavRecordingClientCert(&ex.log);
    ex.ssl->setClientCert(cert);
    cert->presets.set("getSubjectDN", 0, "CN=bob");
    ex.request.setServer(nullptr);
    YavTestBytes strings = presetMinimal(ex, "-"), ssl;
    ex.request.presets.set("getSecurity", 0, "", -1);
    // Session ID not offered; the session can request a certificate.
    yav_test_put_int(&ssl, 0x8 | 0x2);
    yav_test_put_int(&ssl, 1);
    yav_test_put_int(&ssl, 0x2);
    yav_test_put_string(&ssl, "CN=bob");
    std::vector<YavTestBytes> expected = {yav_test_ints({Q::kClientIP | Q::kURI | Q::kSSLSession}),
                                          strings, ssl};
    EXPECT_EQ(expected, marshalled(ex));
    ASSERT_EQ(1u, ex.trans.lines.size());
    EXPECT_EQ(expectedLine(YAV_S_MARSHAL_HTTP_BUFFER, YAV_S_NOT_AVAILABLE),
              ex.trans.lines[0].second);
}

// A failing request getter: what is logged, what marshal returns and which
// flag is then clear.
TEST(YavWebReqQuestionMarshallerTest, FailingViewsAreLoggedOrSkippedAsDocumented) {
    const yav_status_t kOther = YAV_S_INVALID_PARAMETER;
    const struct {
        const char* op;
        yav_status_t status;
        yav_status_t logged;  // 0 = nothing logged
        yav_status_t result;
        int clearFlag;
    } cases[] = {
        {"getHTTPBuffer", YAV_S_NOT_SUPPORTED, YAV_S_MARSHAL_HTTP_BUFFER, 0, Q::kHTTPMessage},
        {"getHTTPBuffer", kOther, YAV_S_MARSHAL_HTTP_BUFFER, 0, Q::kHTTPMessage},
        {"getClientIP", YAV_S_NOT_AVAILABLE, YAV_S_MARSHAL_CLIENT_IP, 0, Q::kClientIP},
        {"getClientIP", kOther, YAV_S_MARSHAL_CLIENT_IP, 0, Q::kClientIP},
        {"getURI", YAV_S_NOT_SUPPORTED, YAV_S_MARSHAL_URI, 0, Q::kURI},
        {"getQuery", kOther, 0, 0, Q::kQuery},
        {"getConnectionID", YAV_S_NOT_AVAILABLE, 0, 0, Q::kConnectionID},
        {"getWSARequested", kOther, 0, 0, Q::kWSARequested},
        {"getWSAUser", YAV_S_NOT_SUPPORTED, 0, 0, Q::kWSAUser},
        {"getSecurity", YAV_S_NOT_SUPPORTED, YAV_S_MARSHAL_SECURITY_LEVEL, YAV_S_NOT_SUPPORTED, 0},
        {"getSecurity", kOther, YAV_S_MARSHAL_SECURITY_LEVEL, kOther, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.op) + " " + std::to_string(c.status));
        FullExchange f;
        f.ex.request.presets.set(c.op, c.status);
        YavWebReqQuestionMarshaller q(&f.ex.trans);
        YavTestRegion region(4096);
        EXPECT_EQ(c.result, q.marshal(region.allocator));
        if (c.logged == 0) {
            EXPECT_TRUE(f.ex.trans.lines.empty());
        } else {
            ASSERT_EQ(1u, f.ex.trans.lines.size());
            EXPECT_EQ(static_cast<int>(yav_log_level_error), f.ex.trans.lines[0].first);
            EXPECT_EQ(expectedLine(c.logged, c.status), f.ex.trans.lines[0].second);
        }
        std::vector<YavTestBytes> elements = region.elements();
        if (c.result != 0) {
            EXPECT_TRUE(elements.empty());
            continue;
        }
        ASSERT_FALSE(elements.empty());
        EXPECT_EQ(yav_test_ints({0x7ff & ~c.clearFlag}), elements[0]);
    }
}

TEST(YavWebReqQuestionMarshallerTest, FailingServerGettersLeaveTheirValueOut) {
    const struct {
        const char* op;
        int serverFlags;
    } cases[] = {{"getVHostID", 0x6}, {"getName", 0x5}, {"getPort", 0x3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.op);
        FullExchange f;
        f.ex.server->presets.set(c.op, YAV_S_NOT_AVAILABLE);
        std::vector<YavTestBytes> elements = marshalled(f.ex);
        ASSERT_EQ(5u, elements.size());
        EXPECT_EQ(yav_test_ints({c.serverFlags}),
                  YavTestBytes(elements[3].begin(), elements[3].begin() + 4));
        EXPECT_TRUE(f.ex.trans.lines.empty());
    }
}

TEST(YavWebReqQuestionMarshallerTest, SecureRequestWithoutSSLViewFailsNotAvailable) {
    FullExchange f;
    f.ex.request.setSSLSession(nullptr);
    YavWebReqQuestionMarshaller q(&f.ex.trans);
    YavTestRegion region(4096);
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, q.marshal(region.allocator));
    ASSERT_EQ(1u, f.ex.trans.lines.size());
    EXPECT_EQ(expectedLine(YAV_S_MARSHAL_SECURITY_INFO, YAV_S_NOT_AVAILABLE),
              f.ex.trans.lines[0].second);
    EXPECT_TRUE(region.elements().empty());
}

TEST(YavWebReqQuestionMarshallerTest, RegionTooSmallAnywhereFailsWithoutLogging) {
    const unsigned full = yav_test_chain_size(fullLayout());
    for (unsigned size = 0; size < full; ++size) {
        SCOPED_TRACE(size);
        FullExchange f;
        YavWebReqQuestionMarshaller q(&f.ex.trans);
        YavTestRegion region(size);
        if (region.initStatus != 0) continue;
        EXPECT_EQ(YAV_S_NO_MEMORY, q.marshal(region.allocator));
        EXPECT_TRUE(f.ex.trans.lines.empty());
    }
    FullExchange f;
    YavWebReqQuestionMarshaller q(&f.ex.trans);
    YavTestRegion region(full);
    ASSERT_EQ(0u, q.marshal(region.allocator));
    EXPECT_EQ(fullLayout(), region.elements());
}

TEST(YavWebReqQuestionMarshallerTest, SecondMarshalDescribesTheRequestAfresh) {
    FullExchange f;
    YavWebReqQuestionMarshaller q(&f.ex.trans);
    YavTestRegion first(4096);
    ASSERT_EQ(0u, q.marshal(first.allocator));
    f.ex.request.presets.set("getSecurity", 0, "", 0);
    f.ex.request.presets.set("getWSARequested", 0, "", 0);
    YavTestRegion second(4096);
    ASSERT_EQ(0u, q.marshal(second.allocator));
    std::vector<YavTestBytes> expected = fullLayout();
    expected.pop_back();
    expected[0] = yav_test_ints({0x7ff & ~(Q::kSSLSession | Q::kWSARequested)});
    EXPECT_EQ(expected, second.elements());
}

TEST(YavWebReqQuestionMarshallerDeathTest, SettingTheHTTPMessageTwiceIsAProgrammingError) {
    YavTestExchange ex;
    YavWebReqQuestionMarshaller q(&ex.trans);
    YavBuffer message;
    message.refer("x", 1);
    q.setHTTPMessage(message);
    EXPECT_DEATH(q.setHTTPMessage(message), "YAV_HTTP_MSG");
}

}  // namespace
