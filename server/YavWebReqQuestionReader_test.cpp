#include "server/YavWebReqQuestionReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "msg/plugin/YavWebReqQuestionMarshaller.h"
#include "msg/plugin/yav_webq_test_aids.h"
#include "plugin/core/yav_view_test_aids.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

namespace {

typedef YavWebReqQuestionBase Q;

const std::string kHTTP = "POST /a?b HTTP/1.1\r\nHost: h.example\r\nX-Trace:  7\r\n\r\nName: body";

yav_status_t readChain(YavTestRegion& region, YavWebReqQuestionData* out) {
    YavSharedMemIterator it;
    yav_status_t status = it.initialize(&region.allocator);
    return status != 0 ? status : YavWebReqQuestionReader::read(it, out);
}

YavTestBytes word(int v) {
    YavTestBytes b;
    yav_test_put_int(&b, v);
    return b;
}

YavTestBytes strings(std::initializer_list<std::string> texts) {
    YavTestBytes b;
    for (const std::string& s : texts) yav_test_put_string(&b, s);
    return b;
}

std::string text(const YavStringRef& s) { return yav_test_text(s); }

TEST(YavWebReqQuestionReaderTest, ReadsBackWhatTheMarshallerWrote) {
    YavTestExchange ex(true);
    YavRecordingClientCert* cert = new YavRecordingClientCert(&ex.log);
    ex.ssl->setClientCert(cert);
    ex.request.presets.set("getHTTPBuffer", 0, kHTTP);
    ex.request.presets.set("getClientIP", 0, "192.0.2.1");
    ex.request.presets.set("getURI", 0, "/a");
    ex.request.presets.set("getQuery", YAV_S_NOT_AVAILABLE);
    ex.request.presets.set("getWSAUser", 0, "");
    ex.request.presets.set("getSecurity", 0, "", 1);
    ex.server->presets.set("getVHostID", 0, "vh");
    ex.server->presets.set("getPort", 0, "", 443);
    ex.ssl->presets.set("getID", 0, "sid");
    cert->presets.set("getSubjectDN", 0, "CN=x");
    YavWebReqQuestionMarshaller q(&ex.trans);
    YavTestRegion region(1024);
    ASSERT_EQ(0u, q.marshal(region.allocator));

    YavWebReqQuestionData d;
    ASSERT_EQ(0u, readChain(region, &d));
    EXPECT_EQ(q.getFlags(), d.flags);
    EXPECT_EQ(kHTTP, yav_test_text(d.httpMessage));
    EXPECT_EQ(yav_http_post, d.method);
    EXPECT_EQ("/a?b", text(d.target));
    EXPECT_EQ("HTTP/1.1", text(d.version));
    EXPECT_EQ("192.0.2.1", text(d.clientIP));
    EXPECT_EQ("/a", text(d.uri));
    EXPECT_FALSE(d.has(Q::kQuery));
    EXPECT_TRUE(d.has(Q::kWSAUser));
    EXPECT_EQ("", text(d.wsaUser));
    EXPECT_TRUE(d.secure);
    YavStringRef value;
    ASSERT_EQ(0u, d.server.getVHostID(value));
    EXPECT_EQ("vh", text(value));
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, d.server.getName(value));
    int port = 0;
    ASSERT_EQ(0u, d.server.getPort(&port));
    EXPECT_EQ(443, port);
    YavBuffer id;
    ASSERT_EQ(0u, d.ssl.getID(id));
    EXPECT_EQ("sid", yav_test_text(id));
    EXPECT_TRUE(d.ssl.canRequestClientCert());
    ASSERT_TRUE(d.ssl.hasClientCert());
    ASSERT_EQ(0u, d.ssl.getClientCert()->getSubjectDN(value));
    EXPECT_EQ("CN=x", text(value));

    const struct {
        const char* name;
        yav_status_t status;
        const char* value;
    } headers[] = {{"host", 0, "h.example"},
                   {"X-TRACE", 0, "7"},
                   {"Name", YAV_S_NOT_AVAILABLE, ""},  // in the body, not a header
                   {"Hos", YAV_S_NOT_AVAILABLE, ""}};
    for (const auto& h : headers) {
        SCOPED_TRACE(h.name);
        YavStringRef v;
        EXPECT_EQ(h.status, YavWebReqQuestionReader::findHeader(d, YavStringRef(h.name), &v));
        if (h.status == 0) {
            EXPECT_EQ(h.value, text(v));
        }
    }
}

TEST(YavWebReqQuestionReaderTest, TellsAnEmptyHTTPMessageFromThePresentStrings) {
    YavTestChain chain({word(Q::kHTTPMessage | Q::kURI), strings({"/only"})});
    ASSERT_EQ(0u, chain.status);
    YavWebReqQuestionData d;
    ASSERT_EQ(0u, readChain(chain.region, &d));
    EXPECT_TRUE(d.httpMessage.isEmpty());
    EXPECT_EQ("/only", text(d.uri));
    EXPECT_FALSE(d.secure);
    EXPECT_EQ(0, d.server.getFlags());
}

TEST(YavWebReqQuestionReaderTest, RefusesLayoutsThePlugInDoesNotWrite) {
    const YavTestBytes http = yav_test_raw("GET / HTTP/1.0\r\n\r\n");
    YavTestBytes lying = word(100);  // a string of 99 characters in 8 bytes
    yav_test_put_int(&lying, 0);
    YavTestBytes trailing = strings({"/"});
    yav_test_put_int(&trailing, 0);
    YavTestBytes server = word(0x1);
    yav_test_put_string(&server, "vh");
    YavTestBytes serverShort(server.begin(), server.end() - 4);
    const struct {
        const char* name;
        std::vector<YavTestBytes> elements;
        yav_status_t expected;
    } cases[] = {
        {"no element", {}, YAV_S_IPC_NO_MORE_SEGMENTS},
        {"short flags", {YavTestBytes{1, 0, 0}}, YAV_S_UNMARSHAL_FAILED},
        {"long flags", {strings({"x"})}, YAV_S_UNMARSHAL_FAILED},
        {"unknown flag", {word(0x800)}, YAV_S_UNMARSHAL_FAILED},
        {"strings missing", {word(Q::kURI)}, YAV_S_UNMARSHAL_FAILED},
        {"surplus element", {word(Q::kURI), strings({"/"}), word(0)}, YAV_S_UNMARSHAL_FAILED},
        {"message without its flag", {word(Q::kURI), http, strings({"/"})}, YAV_S_UNMARSHAL_FAILED},
        {"empty message element", {word(Q::kHTTPMessage), YavTestBytes()}, YAV_S_UNMARSHAL_FAILED},
        {"lying string length", {word(Q::kURI), lying}, YAV_S_UNMARSHAL_FAILED},
        {"bytes after the strings", {word(Q::kURI), trailing}, YAV_S_UNMARSHAL_FAILED},
        {"fewer strings than flags",
         {word(Q::kURI | Q::kQuery), strings({"/"})},
         YAV_S_UNMARSHAL_FAILED},
        {"short server part", {word(Q::kServer), serverShort}, YAV_S_UNMARSHAL_FAILED},
        {"unknown server flag", {word(Q::kServer), word(0x10)}, YAV_S_UNMARSHAL_FAILED},
        {"six elements",
         {word(0x3f), http, strings({"i", "u", "q"}), server, word(0), word(0)},
         YAV_S_UNMARSHAL_FAILED},
        {"bad request line", {word(Q::kHTTPMessage), yav_test_raw("GET\r\n")}, YAV_S_HTTP_BAD_URI},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        YavTestChain chain(c.elements);
        ASSERT_EQ(0u, chain.status);
        YavWebReqQuestionData d;
        EXPECT_EQ(c.expected, readChain(chain.region, &d));
    }
}

// Each kind of element, last in an exactly sized region, cut short at every
// length: refused, and never read past (the region is an exact heap block).
TEST(YavWebReqQuestionReaderTest, RefusesEveryTruncationOfTheLastElement) {
    YavTestBytes ssl = word(0x1 | 0x2 | 0x8);
    yav_test_put_buffer(&ssl, "abcde");
    yav_test_put_int(&ssl, 1);
    yav_test_put_int(&ssl, 0x4);
    yav_test_put_string(&ssl, "0123");
    YavTestBytes server = word(0x7);
    yav_test_put_string(&server, "vh");
    yav_test_put_string(&server, "name");
    yav_test_put_int(&server, 80);
    const std::vector<std::vector<YavTestBytes>> chains = {
        {word(Q::kClientIP | Q::kURI | Q::kWSAUser), strings({"ip", "/uri", "user"})},
        {word(Q::kServer), server},
        {word(Q::kSSLSession), ssl},
    };
    for (const auto& full : chains) {
        {
            YavTestChain chain(full);
            YavWebReqQuestionData d;
            ASSERT_EQ(0u, readChain(chain.region, &d));
        }
        for (size_t n = 0; n < full.back().size(); ++n) {
            SCOPED_TRACE(n);
            std::vector<YavTestBytes> cut = full;
            cut.back().resize(n);
            YavTestChain chain(cut);
            ASSERT_EQ(0u, chain.status);
            YavWebReqQuestionData d;
            EXPECT_EQ(YAV_S_UNMARSHAL_FAILED, readChain(chain.region, &d));
        }
    }
}

}  // namespace
