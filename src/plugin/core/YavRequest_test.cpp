#include "plugin/core/YavRequest.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "core/msg/yav_status.h"
#include "plugin/core/YavCachedRequest.h"
#include "plugin/core/yav_authz_test_aids.h"
#include "plugin/core/yav_view_test_aids.h"

namespace {

// A server view that reports its destruction.
class DestructionServer : public YavRecordingServer {
  public:
    explicit DestructionServer(bool* destroyed) : m_destroyed(destroyed) {}
    ~DestructionServer() override { *m_destroyed = true; }

  private:
    bool* m_destroyed;
};

// The views of http://host/a (no query), port 80 unless told otherwise.
void presetPlainRequest(YavTestExchange& ex, int port = 80) {
    ex.request.presets.set("getSecurity", 0, "", 0);
    ex.request.presets.set("getURI", 0, "/a");
    ex.request.presets.set("getQuery", YAV_S_NOT_AVAILABLE);
    ex.server->presets.set("getName", 0, "host");
    ex.server->presets.set("getPort", 0, "", port);
}

std::string fullURL(YavRequest& request, yav_status_t* status) {
    YavStringRef url;
    *status = request.getFullURL(&url);
    return *status == 0 ? yav_test_text(url) : std::string();
}

}  // namespace

TEST(YavRequestTest, FullURLJoinsSchemeHostPortURIAndQuery) {
    struct Case {
        int security;
        int port;
        yav_status_t uriStatus;
        yav_status_t queryStatus;
        const char* query;
        const char* expected;
    };
    const Case cases[] = {
        {1, 443, 0, YAV_S_NOT_AVAILABLE, "", "https://www.example.com/a/b"},
        {1, 8443, 0, YAV_S_NOT_AVAILABLE, "", "https://www.example.com:8443/a/b"},
        {-1, 443, 0, YAV_S_NOT_AVAILABLE, "", "https://www.example.com/a/b"},
        {0, 80, 0, YAV_S_NOT_AVAILABLE, "", "http://www.example.com/a/b"},
        {0, 443, 0, YAV_S_NOT_AVAILABLE, "", "http://www.example.com:443/a/b"},
        {1, 80, 0, YAV_S_NOT_AVAILABLE, "", "https://www.example.com:80/a/b"},
        {0, 80, 0, 0, "a=1", "http://www.example.com/a/b?a=1"},
        {0, 80, 0, 0, "", "http://www.example.com/a/b?"},
        {0, 80, YAV_S_NOT_AVAILABLE, 0, "a=1", "http://www.example.com?a=1"},
    };
    for (const Case& c : cases) {
        YavTestExchange ex;
        ex.request.presets.set("getSecurity", 0, "", c.security);
        ex.request.presets.set("getURI", c.uriStatus, "/a/b");
        ex.request.presets.set("getQuery", c.queryStatus, c.query);
        ex.server->presets.set("getName", 0, "www.example.com");
        ex.server->presets.set("getPort", 0, "", c.port);
        yav_status_t status = 1;
        EXPECT_EQ(std::string(c.expected), fullURL(ex.request, &status));
        EXPECT_EQ(0u, status) << c.expected;
    }
}

TEST(YavRequestTest, FullURLIsBuiltOnceAndKeptAfterTheURIChanges) {
    YavTestExchange ex;
    presetPlainRequest(ex);
    yav_status_t status = 1;
    EXPECT_EQ("http://host/a", fullURL(ex.request, &status));
    ASSERT_EQ(0u, ex.request.setURI(YavStringRef("/second")));
    ASSERT_EQ(0u, ex.request.setQuery(YavStringRef("b=2")));
    EXPECT_EQ("http://host/a", fullURL(ex.request, &status));
    EXPECT_EQ(1, ex.log.count("req.getURI("));
    EXPECT_EQ(1, ex.log.count("srv.getName("));
}

TEST(YavRequestTest, FullURLFailuresLeaveItUnbuilt) {
    struct Case {
        const char* view;  // "req" or "srv"
        const char* op;
        yav_status_t status;
        int port;
        yav_status_t expected;
    };
    const Case cases[] = {
        {"req", "getSecurity", YAV_S_NOT_SUPPORTED, 80, YAV_S_NOT_SUPPORTED},
        {"srv", "getName", YAV_S_NOT_AVAILABLE, 80, YAV_S_NOT_AVAILABLE},
        {"srv", "getPort", YAV_S_NOT_SUPPORTED, 80, YAV_S_NOT_SUPPORTED},
        {"req", "getURI", YAV_S_NOT_SUPPORTED, 80, YAV_S_NOT_SUPPORTED},
        {"req", "getQuery", YAV_S_NO_MEMORY, 80, YAV_S_NO_MEMORY},
        {"srv", "none", 0, 0, YAV_S_INVALID_SYS_INPUT},
        {"srv", "none", 0, 70000, YAV_S_INVALID_SYS_INPUT},
    };
    for (const Case& c : cases) {
        YavTestExchange ex;
        presetPlainRequest(ex, c.port);
        if (std::string(c.op) != "none") ex.view(c.view).presets.set(c.op, c.status);
        yav_status_t status = 0;
        fullURL(ex.request, &status);
        EXPECT_EQ(c.expected, status) << c.op;

        // Once the views recover the URL is built from scratch.
        presetPlainRequest(ex);
        EXPECT_EQ("http://host/a", fullURL(ex.request, &status)) << c.op;
    }
    // Without a server view.
    YavRecordingRequest request;
    request.presets.set("getSecurity", 0, "", 0);
    yav_status_t status = 0;
    fullURL(request, &status);
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, status);
}

TEST(YavRequestTest, FullURLWithAVeryLongHostNeedsTheRequestsMemory) {
    std::string name(5000, 'h');
    for (bool refuse : {false, true}) {
        YavAuthzTestAllocator allocator;
        YavTestExchange ex(false, &allocator);
        presetPlainRequest(ex);
        ex.server->presets.set("getName", 0, name);
        if (refuse) allocator.refuseFrom = allocator.granted;
        yav_status_t status = 0;
        std::string url = fullURL(ex.request, &status);
        if (refuse) {
            EXPECT_EQ(YAV_S_NO_MEMORY, status);
        } else {
            EXPECT_EQ("http://" + name + "/a", url);
        }
    }
}

TEST(YavRequestTest, ContentLengthParsesTheWholeHeaderValue) {
    struct Case {
        const char* value;
        yav_status_t status;
        unsigned int length;
    };
    const Case cases[] = {
        {"12", 0, 12},
        {"0x10", 0, 16},
        {"010", 0, 8},
        {"0", 0, 0},
        {" 7", 0, 7},
        {"4294967295", 0, 4294967295u},
        {"12x", YAV_S_INVALID_SYS_INPUT, 0},
        {"12 ", YAV_S_INVALID_SYS_INPUT, 0},
        {"", YAV_S_INVALID_SYS_INPUT, 0},
        {"abc", YAV_S_INVALID_SYS_INPUT, 0},
        {"0x", YAV_S_INVALID_SYS_INPUT, 0},
        {"-5", YAV_S_INVALID_SYS_INPUT, 0},
        {"4294967296", YAV_S_INVALID_SYS_INPUT, 0},
        {"99999999999999999999999", YAV_S_INVALID_SYS_INPUT, 0},
    };
    for (const Case& c : cases) {
        YavRecordingRequest request;
        request.headers.headers.emplace_back("content-length", c.value);
        unsigned int length = 0;
        EXPECT_EQ(c.status, request.getContentLength(&length)) << '"' << c.value << '"';
        if (c.status == 0) {
            EXPECT_EQ(c.length, length) << c.value;
        }
    }
    // No header, or a failing header read, passes its status on.
    YavRecordingRequest request;
    unsigned int length = 0;
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, request.getContentLength(&length));
    request.presets.set("getUTF8Header", YAV_S_NOT_SUPPORTED);
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, request.getContentLength(&length));
    EXPECT_EQ(2, request.callLog().count("req.getUTF8Header(Content-Length)"));
}

TEST(YavRequestTest, OperationsWithADefaultReportItWhenNotOverridden) {
    YavRecordingRequest request;
    YavStringRef text;
    YavBuffer buffer;
    bool flag = true;
    const std::pair<const char*, std::function<yav_status_t()>> cases[] = {
        {"finalizeHeader", [&] { return request.finalizeHeader(); }},
        {"finalizeBody", [&] { return request.finalizeBody(); }},
        {"setSecurity", [&] { return request.setSecurity(1); }},
        {"setBody", [&] { return request.setBody(buffer); }},
        {"retrieveBody", [&] { return request.retrieveBody(10); }},
    };
    for (const auto& c : cases) EXPECT_EQ(YAV_S_NOT_SUPPORTED, c.second()) << c.first;
    const std::pair<const char*, std::function<yav_status_t()>> absent[] = {
        {"getConnectionID", [&] { return request.getConnectionID(&text); }},
        {"getWSAUser", [&] { return request.getWSAUser(&text); }},
        {"setWSAUser", [&] { return request.setWSAUser(&text); }},
        {"requestWSA", [&] { return request.requestWSA(); }},
        {"setWSARequested", [&] { return request.setWSARequested(); }},
        {"getWSARequested", [&] { return request.getWSARequested(flag); }},
    };
    for (const auto& c : absent) EXPECT_EQ(YAV_S_NOT_AVAILABLE, c.second()) << c.first;
    EXPECT_FALSE(request.isSubRequest());
    EXPECT_FALSE(request.isBodyRequested());
}

TEST(YavRequestTest, RequestDeletesItsServerAndSSLSessionViews) {
    bool serverGone = false;
    bool oldServerGone = false;
    bool certGone = false;
    {
        YavRecordingRequest request;
        request.setServer(new DestructionServer(&oldServerGone));
        request.setServer(new DestructionServer(&serverGone));
        EXPECT_TRUE(oldServerGone);
        auto* session = new YavRecordingSSLSession();
        session->setClientCert(new YavRecordingClientCert(nullptr, &certGone));
        request.setSSLSession(session);
        EXPECT_FALSE(serverGone);
        EXPECT_FALSE(certGone);
    }
    EXPECT_TRUE(serverGone);
    EXPECT_TRUE(certGone);
}

TEST(YavCachedRequestTest, KnowsOnlyItsVirtualHostURIAndSecurity) {
    YavStringRef text;
    int security = -1;
    // "uri/security" as the request reports them.
    auto state = [&](YavCachedRequest& r) {
        EXPECT_EQ(0u, r.getURI(&text));
        EXPECT_EQ(0u, r.getSecurity(&security));
        return yav_test_text(text) + "/" + std::to_string(security);
    };
    YavCachedRequest request(YavStringRef("vhost-1"), YavStringRef("/a/b"), 1);
    ASSERT_NE(nullptr, request.getServer());
    EXPECT_EQ(0u, request.getServer()->getVHostID(&text));
    EXPECT_EQ("vhost-1", yav_test_text(text));
    EXPECT_EQ("/a/b/1", state(request));
    EXPECT_EQ(0u, request.setURI(YavStringRef("/c")));
    EXPECT_EQ(0u, request.setSecurity(0));
    EXPECT_EQ("/c/0", state(request));
    YavCachedRequest empty;
    EXPECT_EQ("/0", state(empty));
}

TEST(YavCachedRequestTest, EveryOtherOperationIsNotOfferedOrAbsent) {
    YavCachedRequest request(YavStringRef("v"), YavStringRef("/"), 0);
    YavStringRef text;
    YavNCPStringRef ncp;
    YavBuffer buffer;
    YavHTTPMethod method;
    bool flag = false;
    YavStringRef name("X");
    YavStringRefT<char> value("1");
    const std::pair<const char*, std::function<yav_status_t()>> unsupported[] = {
        {"getUTF8Header", [&] { return request.getUTF8Header(name, &text); }},
        {"setHeader", [&] { return request.setHeader(name, value); }},
        {"removeHeader", [&] { return request.removeHeader(name); }},
        {"getCookie", [&] { return request.getCookie(name, &ncp, &ncp, &ncp, nullptr); }},
        {"setCookie", [&] { return request.setCookie(name, value, nullptr, nullptr, -1); }},
        {"getQuery", [&] { return request.getQuery(&text); }},
        {"getMethod", [&] { return request.getMethod(&method); }},
        {"setMethod", [&] { return request.setMethod(yav_http_get); }},
        {"getVersion", [&] { return request.getVersion(&text); }},
        {"getPostData", [&] { return request.getPostData(&buffer); }},
        {"setPostData", [&] { return request.setPostData(buffer); }},
        {"getHTTPBuffer", [&] { return request.getHTTPBuffer(&buffer); }},
        {"getFullURL", [&] { return request.getFullURL(&text); }},
        {"getName", [&] { return request.getServer()->getName(&text); }},
    };
    for (const auto& c : unsupported) EXPECT_EQ(YAV_S_NOT_SUPPORTED, c.second()) << c.first;
    const std::pair<const char*, std::function<yav_status_t()>> absent[] = {
        {"setWebLogUser", [&] { return request.setWebLogUser(name, name, name); }},
        {"getNTLMAuthenticatedUser", [&] { return request.getNTLMAuthenticatedUser(&text); }},
        {"setNTLMAuthenticatedUser", [&] { return request.setNTLMAuthenticatedUser(&text); }},
        {"requestNTLMAuthentication", [&] { return request.requestNTLMAuthentication(); }},
        {"setNTLMAuthenticationRequested",
         [&] { return request.setNTLMAuthenticationRequested(); }},
        {"getNTLMAuthenticationRequested",
         [&] { return request.getNTLMAuthenticationRequested(flag); }},
    };
    for (const auto& c : absent) EXPECT_EQ(YAV_S_NOT_AVAILABLE, c.second()) << c.first;
    EXPECT_FALSE(request.isSubRequest());
}
