#include "core/http/YavHTTP.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/buffers/yav_string_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

std::string str(const YavStringRef& r) { return std::string(r.getData(), r.getLength()); }

TEST(YavHTTPTest, MethodLookUpIsExactAndCaseSensitive) {
    struct Case {
        const char* text;
        int method;
    };
    const std::vector<Case> cases = {
        {"OPTIONS", yav_http_options},
        {"GET", yav_http_get},
        {"HEAD", yav_http_head},
        {"POST", yav_http_post},
        {"PUT", yav_http_put},
        {"TRACE", yav_http_trace},
        {"PROPFIND", yav_http_propfind},
        {"PROPPATCH", yav_http_proppatch},
        {"MKCOL", yav_http_mkcol},
        {"COPY", yav_http_copy},
        {"MOVE", yav_http_move},
        {"get", -1},
        {"GETS", -1},
        {"GE", -1},
        {"Move", -1},
    };
    for (const Case& c : cases) {
        YavHTTPMethod method = yav_http_get;
        YavHTTP::getMethod(YavStringRef(c.text), method);
        EXPECT_EQ(c.method, method) << c.text;
        if (c.method >= 0) {
            YavStringRef name;
            YavHTTP::getMethodName(method, name);
            EXPECT_EQ(c.text, str(name));
        }
    }
    // A method text that is a prefix of a longer buffer is matched by length.
    YavHTTPMethod method = yav_http_method_unknown;
    YavHTTP::getMethod(YavStringRef("GETX", 3), method);
    EXPECT_EQ(yav_http_get, method);
    for (int outside : {-1, 11}) {
        YavStringRef name;
        YavHTTP::getMethodName(outside, name);
        EXPECT_EQ("unrecognized", str(name)) << outside;
    }
}

TEST(YavHTTPTest, ReasonPhrasesFallBackToTheClassOrServerError) {
    const std::vector<std::pair<int, const char*>> cases = {
        {100, "Continue"},
        {101, "Switching Protocols"},
        {102, "Continue"},
        {203, "Non-Authoritative Information"},
        {206, "Partial Content"},
        {207, "OK"},
        {305, "Use Proxy"},
        {306, "Multiple Choices"},
        {407, "Proxy Authentication Required"},
        {415, "Unsupported Media Type"},
        {418, "Bad Request"},
        {505, "HTTP Version Not Supported"},
        {506, "Server Error"},
        {600, "Server Error"},
        {99, "Server Error"},
    };
    for (const auto& c : cases) {
        YavStringRef text;
        YavHTTP::getReason(c.first, text);
        EXPECT_EQ(c.second, str(text)) << c.first;
    }
}

// processURI runs in a UTF-8 locale, as the plug-in does.
class YavHTTPProcessURITest : public YavUtf8LocaleTest {};

TEST_F(YavHTTPProcessURITest, NormalisesPathsIntoObjectNames) {
    enum { kFold = 0, kKeep = 1 };
    enum { kPlain = 0, kWin32 = 1 };
    struct Case {
        int caseSensitive;
        int win32;
        std::string uri;
        yav_status_t status;
        std::string name;  // what out holds afterwards, also on failure
    };
    const std::vector<Case> cases = {
        {kFold, kPlain, "//Dir//File.HTM", 0, "/dir/file.htm"},
        {kKeep, kPlain, "//Dir//File.HTM", 0, "/Dir/File.HTM"},
        {kKeep, kPlain, "", 0, ""},
        {kKeep, kPlain, "/", 0, "/"},
        {kKeep, kPlain, "a/b", 0, "a/b"},
        {kKeep, kPlain, "/a/", 0, "/a/"},
        {kKeep, kPlain, "/a/./b/../c", 0, "/a/./b/../c"},
        {kFold, kWin32, "/a/./b/../c", 0, "/a/./b/../c"},
        {kKeep, kPlain, "/  a/ \tb", 0, "/a/b"},
        // Short-name aliases on Win32 file systems.
        {kKeep, kWin32, "/PROGRA~1.TXT", YAV_S_ACCESS_DENIED, "/"},
        {kFold, kWin32, "/dir/PROGRA~1.TXT/x", YAV_S_ACCESS_DENIED, "/dir/"},
        {kKeep, kWin32, "/a~1", YAV_S_ACCESS_DENIED, "/"},
        {kKeep, kWin32, "/~1.txt", 0, "/~1.txt"},
        {kKeep, kWin32, "/a~1.txt", YAV_S_ACCESS_DENIED, "/"},
        {kKeep, kWin32, "/a.b~1", 0, "/a.b~1"},
        {kKeep, kWin32, "/abc~12.txt", 0, "/abc~12.txt"},
        {kKeep, kPlain, "/PROGRA~1.TXT", 0, "/PROGRA~1.TXT"},
        // Trailing dots (dropped only when the segment is folded).
        {kFold, kWin32, "/name...", 0, "/name"},
        {kKeep, kWin32, "/name...", 0, "/name..."},
        {kFold, kPlain, "/name...", 0, "/name..."},
        {kFold, kWin32, "/a/.../b", 0, "/a/b"},
        // Characters beyond ASCII are lowered by the locale.
        {kFold, kPlain, "/\xC3\x84rger/\xC3\x96L", 0, "/\xC3\xA4rger/\xC3\xB6l"},
        // Bytes that are not UTF-8 cannot be folded.
        {kFold, kPlain, "/Ok/b\xFFz", YAV_S_MB_TO_UCS2_CONVERSION, "/ok/b"},
        {kFold, kPlain, "/x\xC3", YAV_S_MB_TO_UCS2_CONVERSION, "/x"},
        {kKeep, kPlain, "/b\xFFz", 0, "/b\xFFz"},
        {kFold, kPlain, std::string("/A\0B", 4), 0, std::string("/a\0b", 4)},
    };
    for (const Case& c : cases) {
        // The name is appended to what the output holds (a branch).
        YavString out;
        ASSERT_TRUE(out.set("/Branch"));
        YavStringRef uri(c.uri.data(), static_cast<int>(c.uri.size()));
        EXPECT_EQ(c.status,
                  YavHTTP::processURI(c.caseSensitive == kKeep, c.win32 == kWin32, uri, out))
            << c.uri;
        EXPECT_EQ("/Branch" + c.name, std::string(out.getData(), out.getLength())) << c.uri;
    }
}

TEST(YavHTTPTest, AbsoluteURLsStartWithAnHTTPSchemeInAnyCase) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {"http://x", true}, {"HTTPS://x", true}, {"hTtP://", true},   {"https://", true},
        {"http:/x", false}, {"http:", false},    {"", false},         {"/http://x", false},
        {"ftp://x", false}, {"https:/", false},  {"httpx://", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, YavHTTP::isAbsoluteURL(YavStringRef(c.first))) << c.first;
}

TEST(YavHTTPTest, BuildUrlFormsAgree) {
    struct Case {
        const char* scheme;
        const char* host;
        const char* port;
        const char* path;
        const char* query;
        const char* url;
    };
    const std::vector<Case> cases = {
        {"http", "h", "80", "/p", "", "http://h/p"},
        {"http", "h", "8080", "/p", "a=1", "http://h:8080/p?a=1"},
        {"https", "h", "443", "/p", "", "https://h/p"},
        {"https", "h", "80", "/p", "", "https://h:80/p"},
        {"http", "::1", "", "/p", "", "http://[::1]/p"},
        {"http", "fe80::1", "81", "/", "q", "http://[fe80::1]:81/?q"},
        {"HTTP", "h", "80", "/p", "", "HTTP://h:80/p"},
        {"http", "", "", "", "", "http://"},
    };
    for (const Case& c : cases) {
        YavStringRef scheme(c.scheme), host(c.host), port(c.port), path(c.path), query(c.query);
        char* block = YavHTTP::buildUrl(nullptr, scheme, host, port, path, query);
        ASSERT_NE(nullptr, block);
        EXPECT_STREQ(c.url, block);
        YavAllocator::deallocate(nullptr, block);

        YavString utf8;
        ASSERT_TRUE(utf8.set("old text that is replaced"));
        ASSERT_TRUE(YavHTTP::buildUrl(scheme, host, port, path, query, utf8));
        EXPECT_EQ(c.url, std::string(utf8.getData(), utf8.getLength()));
        EXPECT_EQ('\0', utf8.getData()[utf8.getLength()]);

        YavLCPString local;
        ASSERT_TRUE(YavHTTP::buildUrl(scheme, host, port, path, query, local));
        EXPECT_EQ(c.url, std::string(local.getData(), local.getLength()));
    }
}

TEST(YavHTTPTest, BuildsAbsoluteRedirectURLs) {
    struct Case {
        const char* base;
        const char* url;
        yav_status_t status;
        const char* result;
    };
    const std::vector<Case> cases = {
        {"http://h:81/a/b?x", "c", 0, "http://h:81/a/c"},
        {"http://h:81/a/b?x", "/c", 0, "http://h:81/c"},
        {"http://h:81/a/b?x", "HTTP://o/", 0, "HTTP://o/"},
        {"http://h:81/a/b?x", "", 0, "http://h:81/a/"},
        {"http://[::1]:8080/a/b", "c", 0, "http://[::1]:8080/a/c"},
        {"HTTPS://H:8443/\xC3\xA4/b", "c", 0, "HTTPS://H:8443/\xC3\xA4/c"},
        {"http://h:8080", "c", 0, "http://h/c"},
        {"ftp://h/a", "c", YAV_S_NOT_AVAILABLE, ""},
        {"ftp://h/a", "https://o", 0, "https://o"},
    };
    for (const Case& c : cases) {
        YavString out;
        EXPECT_EQ(c.status,
                  YavHTTP::buildAbsoluteURL(YavStringRef(c.base), YavStringRef(c.url), out))
            << c.base << " + " << c.url;
        if (c.status == 0) {
            EXPECT_EQ(c.result, std::string(out.getData(), out.getLength()));
        }
    }
}

}  // namespace
