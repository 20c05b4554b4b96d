#include "tools/yav_raw_exchange.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/system/yav_test_tempdir.h"

namespace {

std::string text(const YavStringRef& ref) {
    return std::string(ref.getData(), static_cast<size_t>(ref.getLength()));
}

YavStringRef ref(const char* s) { return YavStringRef(s); }

struct ParsedCase {
    const char* raw;
    const char* method;
    const char* uri;
    bool hasQuery;
    const char* query;
    const char* version;
    std::vector<std::pair<std::string, std::string>> headers;
    const char* body;
};

TEST(YavRawParseTest, SplitsRequestLineHeadersAndBody) {
    const std::vector<ParsedCase> cases = {
        {"GET / HTTP/1.1\r\nHost: a\r\n\r\n",
         "GET",
         "/",
         false,
         "",
         "HTTP/1.1",
         {{"Host", "a"}},
         ""},
        {"GET /x/y?a=1&b=2 HTTP/1.0\nHost: h\nAccept: */*\n\n",
         "GET",
         "/x/y",
         true,
         "a=1&b=2",
         "HTTP/1.0",
         {{"Host", "h"}, {"Accept", "*/*"}},
         ""},
        {"GET /x? HTTP/1.1\r\n\r\n", "GET", "/x", true, "", "HTTP/1.1", {}, ""},
        {"POST /form HTTP/1.1\r\nContent-Length: 3\r\nX-Empty:\r\n\r\na=b",
         "POST",
         "/form",
         false,
         "",
         "HTTP/1.1",
         {{"Content-Length", "3"}, {"X-Empty", ""}},
         "a=b"},
        // Methods outside the parser's table travel as their text.
        {"DELETE /doc HTTP/1.1\r\n\r\n", "DELETE", "/doc", false, "", "HTTP/1.1", {}, ""},
    };
    for (const ParsedCase& c : cases) {
        SCOPED_TRACE(c.raw);
        YavRawRequest req;
        std::string why;
        ASSERT_EQ(yav_raw_parse_request(c.raw, &req, &why), 0u) << why;
        EXPECT_EQ(req.method, c.method);
        EXPECT_EQ(req.uri, c.uri);
        EXPECT_EQ(req.hasQuery, c.hasQuery);
        EXPECT_EQ(req.query, c.query);
        EXPECT_EQ(req.version, c.version);
        std::vector<std::pair<std::string, std::string>> headers(req.headers.lines().begin(),
                                                                 req.headers.lines().end());
        EXPECT_EQ(headers, c.headers);
        EXPECT_EQ(req.body, c.body);
        YavBuffer raw;
        ASSERT_EQ(req.getHTTPBuffer(&raw), 0u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw.getData()),
                              static_cast<size_t>(raw.getLen())),
                  c.raw);
    }
}

TEST(YavRawParseTest, RejectsMalformedRequestsWithAReason) {
    const std::vector<std::string> cases = {
        "",
        "\r\n\r\n",
        "GET\r\n\r\n",
        "GET /\r\n\r\n",
        "GET / HTTP/x\r\n\r\n",
        "GET / HTTP/1.1",                 // no line end at all
        "GET / HTTP/1.1\r\nHost: a\r\n",  // header block never ends
        "GET / HTTP/1.1\r\nno colon here\r\n\r\n",
        "GET / HTTP/1.1\r\n: empty name\r\n\r\n",
        std::string("GET / HTTP/1.1\r\nHost: a\0b\r\n\r\n", 27),
    };
    for (const std::string& raw : cases) {
        SCOPED_TRACE(raw);
        YavRawRequest req;
        std::string why;
        EXPECT_NE(yav_raw_parse_request(raw, &req, &why), 0u);
        EXPECT_FALSE(why.empty());
    }
}

// Every cut of a sound request either parses or fails cleanly; the cuts that
// end inside the header block must fail.
TEST(YavRawParseTest, TruncatedRequestsFailWithoutReadingPastTheEnd) {
    const std::string whole = "GET /a?b HTTP/1.1\r\nHost: h\r\nCookie: s=1\r\n\r\nbody";
    const size_t headerEnd = whole.find("\r\n\r\n") + 4;
    for (size_t n = 0; n <= whole.size(); ++n) {
        SCOPED_TRACE(n);
        YavRawRequest req;
        std::string why;
        yav_status_t status = yav_raw_parse_request(whole.substr(0, n), &req, &why);
        if (n < headerEnd - 1) {
            EXPECT_NE(status, 0u);
        } else if (n >= headerEnd) {
            EXPECT_EQ(status, 0u) << why;
            EXPECT_EQ(req.body, whole.substr(headerEnd, n - headerEnd));
        }
    }
}

TEST(YavRawRequestTest, HeaderSettersReplaceAddAndRemoveIgnoringCase) {
    YavRawRequest req;
    std::string why;
    ASSERT_EQ(
        yav_raw_parse_request("GET / HTTP/1.1\r\nA: 1\r\nB: 2\r\na: 3\r\nC: 4\r\n\r\n", &req, &why),
        0u);
    YavStringRef value;
    ASSERT_EQ(req.getUTF8Header(ref("a"), &value), 0u);
    EXPECT_EQ(text(value), "1");
    ASSERT_EQ(req.getNextUTF8Header(&value), 0u);
    EXPECT_EQ(text(value), "3");
    EXPECT_EQ(req.getNextUTF8Header(&value), YAV_S_NOT_AVAILABLE);

    // A reference handed out stays valid while other headers are added.
    YavNCPStringRef kept;
    ASSERT_EQ(req.getNCPHeader(ref("c"), &kept), 0u);
    for (int i = 0; i < 50; ++i) ASSERT_EQ(req.addHeader(ref("X-Many"), ref("v")), 0u);
    EXPECT_EQ(std::string(kept.getData(), static_cast<size_t>(kept.getLength())), "4");

    // setHeader keeps the first one's place and drops the others.
    ASSERT_EQ(req.setHeader(ref("A"), ref("new")), 0u);
    ASSERT_EQ(req.removeHeader(ref("x-many")), 0u);
    ASSERT_EQ(req.addHeader(ref("B"), ref("5")), 0u);
    ASSERT_EQ(req.setHeader(ref("D"), ref("6")), 0u);
    std::vector<std::pair<std::string, std::string>> expected = {
        {"A", "new"}, {"B", "2"}, {"C", "4"}, {"B", "5"}, {"D", "6"}};
    std::vector<std::pair<std::string, std::string>> got(req.headers.lines().begin(),
                                                         req.headers.lines().end());
    EXPECT_EQ(got, expected);

    ASSERT_EQ(req.removeHeader(ref("b")), 0u);
    EXPECT_EQ(req.getUTF8Header(ref("B"), &value), YAV_S_NOT_AVAILABLE);
    // An iteration does not survive a removal (it could point at a removed line).
    ASSERT_EQ(req.getUTF8Header(ref("A"), &value), 0u);
    ASSERT_EQ(req.removeHeader(ref("A")), 0u);
    EXPECT_EQ(req.getNextUTF8Header(&value), YAV_S_NOT_AVAILABLE);
}

TEST(YavRawRequestTest, UriQueryAndMethodSettersChangeTheForwardedRequest) {
    YavRawRequest req;
    std::string why;
    ASSERT_EQ(yav_raw_parse_request("GET /old HTTP/1.1\r\n\r\n", &req, &why), 0u);
    YavStringRef value;
    EXPECT_EQ(req.getQuery(&value), YAV_S_NOT_AVAILABLE);
    ASSERT_EQ(req.setURI(ref("/new/path")), 0u);
    ASSERT_EQ(req.setQuery(ref("x=1")), 0u);
    ASSERT_EQ(req.getURI(&value), 0u);
    EXPECT_EQ(text(value), "/new/path");
    ASSERT_EQ(req.getQuery(&value), 0u);
    EXPECT_EQ(text(value), "x=1");

    ASSERT_EQ(req.setMethod(yav_http_post), 0u);
    YavHTTPMethod code = yav_http_method_unknown;
    ASSERT_EQ(req.getMethod(&code), 0u);
    EXPECT_EQ(code, yav_http_post);
    EXPECT_EQ(req.method, "POST");
    EXPECT_EQ(req.setMethod(yav_http_method_unknown), YAV_S_HTTP_BAD_METHOD);
    ASSERT_EQ(req.setMethod(ref("PATCH")), 0u);
    ASSERT_EQ(req.getMethod(&code), 0u);
    EXPECT_EQ(code, yav_http_method_unknown);
}

TEST(YavRawRequestTest, FullUrlComesFromTheServerView) {
    struct Case {
        int security;
        int port;
        const char* raw;
        const char* url;
    };
    const std::vector<Case> cases = {
        {0, 80, "GET /a HTTP/1.1\r\n\r\n", "http://host.example/a"},
        {0, 8080, "GET /a?q=1 HTTP/1.1\r\n\r\n", "http://host.example:8080/a?q=1"},
        {1, 443, "GET /s HTTP/1.1\r\n\r\n", "https://host.example/s"},
        {1, 80, "GET /s HTTP/1.1\r\n\r\n", "https://host.example:80/s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        YavRawRequest req;
        std::string why;
        ASSERT_EQ(yav_raw_parse_request(c.raw, &req, &why), 0u);
        req.security = c.security;
        req.setServer(new YavRawServer("vh", "host.example", c.port));
        YavStringRef url;
        ASSERT_EQ(req.getFullURL(&url), 0u);
        EXPECT_EQ(text(url), c.url);
    }
}

TEST(YavRawRequestTest, CookiesAreFoundByExactName) {
    YavRawRequest req;
    std::string why;
    ASSERT_EQ(yav_raw_parse_request(
                  "GET / HTTP/1.1\r\nCookie: ab=1; a=2;b=3\r\nCookie: last=\r\n\r\n", &req, &why),
              0u);
    const std::vector<std::pair<const char*, const char*>> found = {
        {"ab", "1"}, {"a", "2"}, {"b", "3"}, {"last", ""}};
    for (const auto& c : found) {
        YavNCPStringRef value;
        int version = 0;
        ASSERT_EQ(req.getCookie(ref(c.first), &value, nullptr, nullptr, &version), 0u) << c.first;
        EXPECT_EQ(std::string(value.getData(), static_cast<size_t>(value.getLength())), c.second);
        EXPECT_EQ(version, -1);
    }
    YavNCPStringRef value;
    EXPECT_EQ(req.getCookie(ref("c"), &value, nullptr, nullptr, nullptr), YAV_S_NOT_AVAILABLE);
    EXPECT_EQ(req.getCookie(ref("abc"), &value, nullptr, nullptr, nullptr), YAV_S_NOT_AVAILABLE);
}

TEST(YavRawResponseTest, ParsesAndRebuildsTheResponse) {
    YavRawResponse rsp;
    std::string why;
    ASSERT_EQ(yav_raw_parse_response("HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\n\r\nno",
                                     &rsp, &why),
              0u)
        << why;
    int code = 0;
    ASSERT_EQ(rsp.getCode(&code), 0u);
    EXPECT_EQ(code, 404);
    EXPECT_EQ(rsp.body, "no");
    YavNCPStringRef type;
    ASSERT_EQ(rsp.getContentType(&type), 0u);
    EXPECT_EQ(std::string(type.getData(), static_cast<size_t>(type.getLength())), "text/plain");

    ASSERT_EQ(rsp.beginNew(), 0u);
    EXPECT_EQ(rsp.getCode(&code), YAV_S_NOT_AVAILABLE);
    EXPECT_TRUE(rsp.headers.lines().empty());
    ASSERT_EQ(rsp.setCode(401), 0u);
    EXPECT_EQ(rsp.reason, "Unauthorized");
    EXPECT_EQ(rsp.setCode(42), YAV_S_INVALID_SYS_INPUT);
    YavBuffer piece;
    piece.refer("ab", 2);
    ASSERT_EQ(rsp.setBody(piece), 0u);
    piece.refer("cd", 2);
    ASSERT_EQ(rsp.setBody(piece), 0u);
    EXPECT_EQ(rsp.body, "abcd");

    for (const char* bad :
         {"", "HTTP/1.1 4x4 Bad\r\n\r\n", "HTTP/1.1 200 OK\r\nbroken\r\n\r\n", "200 OK\r\n\r\n"}) {
        YavRawResponse other;
        EXPECT_NE(yav_raw_parse_response(bad, &other, &why), 0u) << bad;
    }
}

TEST(YavRawClientCertTest, RefusesBytesThatHoldNoCertificate) {
    for (const std::string& bytes :
         {std::string(), std::string("not a certificate"),
          std::string("-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n"),
          std::string("-----BEGIN CERTIFICATE-----\nMIIB")}) {
        YavRawClientCert* cert = YavRawClientCert::fromFileBytes(bytes);
        EXPECT_EQ(cert, nullptr) << bytes;
        delete cert;
    }
}

// Runs the program; returns its exit status and fills *out with what it
// wrote (both streams).
int runProgram(const std::string& args, std::string* out) {
    std::string command = std::string(YAV_TESSARO_REQUEST) + " " + args + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return -1;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out->append(buffer, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class TessaroRequestProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok()) << dir.error();
        std::ofstream(dir.path("tessaro.conf")) << "[krweb-plugins]\n"
                                                   "unprotected-virtual-host = open.example\n"
                                                   "virtual-host = closed.example\n"
                                                   "[open.example]\nprotocols = http\n"
                                                   "[closed.example]\nprotocols = http\n";
    }
    std::string write(const std::string& name, const std::string& content) {
        std::ofstream(dir.path(name), std::ios::binary) << content;
        return dir.path(name);
    }

    YavTestTempDir dir{"tessaro_request_test_"};
};

TEST_F(TessaroRequestProgramTest, ForwardsARequestForAnUnprotectedHost) {
    std::string file = write("open.http", "GET /p?q=1 HTTP/1.1\r\nHost: open.example:80\r\n\r\n");
    std::string out;
    ASSERT_EQ(runProgram("--config-dir " + dir.path() + " " + file, &out), 0) << out;
    EXPECT_NE(out.find("result: yav_continue_uninteresting\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  GET /p?q=1 HTTP/1.1\n  Host: open.example:80\n"), std::string::npos)
        << out;
}

TEST_F(TessaroRequestProgramTest, ProtectedHostWithoutServerIsACoreFailure) {
    std::string file = write("closed.http", "GET / HTTP/1.1\r\nHost: closed.example\r\n\r\n");
    std::string out;
    EXPECT_EQ(runProgram("--config-dir " + dir.path() + " " + file, &out), 1) << out;
    EXPECT_NE(out.find("handleReq failed"), std::string::npos) << out;
}

TEST_F(TessaroRequestProgramTest, MalformedInputGivesAMessageAndExitStatus) {
    struct Case {
        std::string args;
        int exitCode;
        const char* message;
    };
    std::string garbage = write("garbage.http", std::string("\x01\xff\0GET", 6));
    std::string noEnd = write("noend.http", "GET / HTTP/1.1\r\nHost: x\r\n");
    const std::vector<Case> cases = {
        {garbage, 3, "malformed request"},
        {noEnd, 3, "does not end with an empty line"},
        {dir.path("missing.http"), 2, "cannot open"},
        {"--port 0 " + noEnd, 2, "bad --port"},
        {"--bogus " + noEnd, 2, "unknown option"},
        {"--client-cert " + garbage + " " + write("ok.http", "GET / HTTP/1.1\r\n\r\n"), 2,
         "no readable certificate"},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(runProgram("--config-dir " + dir.path() + " " + c.args, &out), c.exitCode)
            << c.args << "\n"
            << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
}

}  // namespace
