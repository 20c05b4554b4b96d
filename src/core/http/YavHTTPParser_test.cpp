#include "core/http/YavHTTPParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/memory/YavCachingAllocator.h"
#include "core/memory/yav_alloc.h"
#include "core/msg/yav_status.h"

namespace {

// Input in a heap block of exactly its size, so that a read past the end is
// caught by AddressSanitizer.
class Input {
  public:
    explicit Input(const std::string& text) : m_size(static_cast<int>(text.size())) {
        m_bytes.reset(new char[text.size() == 0 ? 1 : text.size()]);
        std::memcpy(m_bytes.get(), text.data(), text.size());
        m_cursor.setWritable(m_bytes.get(), m_size);
    }
    YavBufferCursor& cursor() { return m_cursor; }
    int consumed() const { return m_cursor.getOffset(); }
    char* bytes() { return m_bytes.get(); }

  private:
    std::unique_ptr<char[]> m_bytes;
    int m_size;
    YavBufferCursor m_cursor;
};

template <class Ref>
std::string str(const Ref& r) {
    return std::string(r.getData(), r.getLength());
}

// Every header value of a table in iteration order, as "name=value".
template <class Table>
std::vector<std::string> listHeaders(const Table& headers) {
    std::vector<std::string> out;
    for (auto it = headers.begin(); !it.isEnd(); ++it) {
        for (auto v = it.values().begin(); !v.isEnd(); ++v) {
            out.push_back(str(*it.key()) + "=" + str(*v.value()));
        }
    }
    return out;
}

struct HeaderTable {
    HeaderTable() : table(nullptr, true, true) {
        EXPECT_EQ(0u, table.initialize(YAV_HTTP_HEADER_BUCKETS));
    }
    YavHTTPHeaderSet table;
};

TEST(YavHTTPParserTest, CharacterClassesSplitBytesAsTheirRunsNeed) {
    struct Case {
        const char* name;
        const uint32_t* table;
        std::string inRun;
        std::string endsRun;
    };
    const std::string controls("\x00\x01\x08\x0a\x0d\x1f\x7f", 7);
    const Case cases[] = {
        {"token", yav_http_token_delimiter, "aZ09!#$%&'*+-.^_`|~",
         controls + " \t\x80\xff\"(),/:;<=>?@[\\]{}"},
        {"text", yav_http_text_delimiter, "\t aZ:;\"\x80\xff", controls},
        {"cookie", yav_http_unquoted_cookie_value_delimiter, "\t a=\"\x80", controls + ",;"},
        {"whitespace", yav_http_whitespace_delimiter, " \t", controls + "a\x80\xff\r\n"},
        {"uri", yav_http_uri_delimiter, "/a?b=%20#\x80\xff", controls + " \t"},
        {"version", yav_http_version_delimiter, "0123456789", controls + " ./a\x80"},
        {"reason", yav_http_reason_delimiter, " aZ:\x80\xff", controls + "\t"},
    };
    for (const Case& c : cases) {
        for (unsigned char b : c.inRun) EXPECT_EQ(0u, c.table[b]) << c.name << " byte " << int(b);
        for (unsigned char b : c.endsRun) {
            EXPECT_EQ(1u, c.table[b]) << c.name << " byte " << int(b);
        }
        for (int b = 0; b < 256; ++b) EXPECT_LE(c.table[b], 1u) << c.name << " byte " << b;
    }
}

TEST(YavHTTPParserTest, TerminatorsAndWhiteSpaceAreConsumedOrUndone) {
    struct Case {
        std::string input;
        bool terminator;
        int terminatorLength;
        int spaces;
        int spaceConsumed;
    };
    const Case cases[] = {
        {"\r\nx", true, 2, 0, 0},    {"\nx", true, 1, 0, 0},      {"\r\r\nx", true, 3, 0, 0},
        {"\rx", false, 0, 0, 0},     {"\r\r", false, 0, 0, 0},    {"", false, 0, 0, 0},
        {" \t x", false, 0, 3, 3},   {"\r\n \tx", true, 2, 2, 4}, {"\n\t", true, 1, 1, 2},
        {"\r\r\n x", true, 3, 1, 4}, {"x ", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Input a(c.input);
        EXPECT_EQ(c.terminator, YavHTTPParser::wasteTerminator(a.cursor())) << c.input;
        EXPECT_EQ(c.terminatorLength, a.consumed()) << c.input;
        Input b(c.input);
        EXPECT_EQ(c.spaces, YavHTTPParser::wasteWhiteSpace(b.cursor())) << c.input;
        EXPECT_EQ(c.spaceConsumed, b.consumed()) << c.input;
    }
}

TEST(YavHTTPParserTest, RequestLinesParseWithNonFatalUnknownMethod) {
    struct Case {
        std::string input;
        yav_status_t status;
        YavHTTPMethod method;
        std::string text, uri, version;
        int consumed;
    };
    const Case cases[] = {
        {"GET /a HTTP/1.0\r\nX", 0, yav_http_get, "GET", "/a", "HTTP/1.0", 17},
        {"  POST  /x?y=1\tHTTP/10.25\r\n", 0, yav_http_post, "POST", "/x?y=1", "HTTP/10.25", 27},
        {"MOVE / HTTP/.9\n", 0, yav_http_move, "MOVE", "/", "HTTP/.9", 15},
        {"FOO /a HTTP/1.1\r\n", YAV_S_HTTP_BAD_METHOD, yav_http_method_unknown, "FOO", "/a",
         "HTTP/1.1", 17},
        {"GET /a HTTP/1.0", YAV_S_HTTP_REQUEST_LINE_UNTERMINATED, yav_http_get, "", "", "", -1},
        {"GET\r\n", YAV_S_HTTP_BAD_URI, yav_http_get, "", "", "", -1},
        {"GET /a\r\n", YAV_S_HTTP_NO_VERSION, yav_http_get, "", "", "", -1},
        {"GET /a HTTP/1.\r\n", YAV_S_HTTP_BAD_VERSION, yav_http_get, "", "", "", -1},
        {"FOO /a\r\n", YAV_S_HTTP_NO_VERSION, yav_http_method_unknown, "", "", "", -1},
        {"/a HTTP/1.1\r\n", YAV_S_NOT_AVAILABLE, yav_http_get, "", "", "", -1},
    };
    for (const Case& c : cases) {
        Input in(c.input);
        YavHTTPMethod method = yav_http_options;
        YavStringRef text, uri, version;
        EXPECT_EQ(c.status,
                  YavHTTPParser::parseRequestLine(in.cursor(), method, &text, uri, version))
            << c.input;
        if (c.consumed < 0) continue;
        EXPECT_EQ(c.method, method) << c.input;
        EXPECT_EQ(c.text, str(text)) << c.input;
        EXPECT_EQ(c.uri, str(uri)) << c.input;
        EXPECT_EQ(c.version, str(version)) << c.input;
        EXPECT_EQ(c.consumed, in.consumed()) << c.input;
        EXPECT_EQ(0, in.cursor().getSinceMark()) << c.input;
    }
    // The method text is optional.
    Input in("PUT /b HTTP/1.1\r\n");
    YavHTTPMethod method;
    YavStringRef uri, version;
    EXPECT_EQ(0u, YavHTTPParser::parseRequestLine(in.cursor(), method, nullptr, uri, version));
    EXPECT_EQ(yav_http_put, method);
    EXPECT_EQ("/b", str(uri));
}

TEST(YavHTTPParserTest, StatusLinesParseWithNonFatalBadCode) {
    struct Case {
        std::string input;
        yav_status_t status;
        std::string version, code, reason;
    };
    const Case cases[] = {
        {"HTTP/1.1 200 OK\r\n", 0, "HTTP/1.1", "200", "OK"},
        {" \tHTTP/1.1 404 Not Found\n", 0, "HTTP/1.1", "404", "Not Found"},
        {"HTTP/1.1 2x0 Odd Code\r\n", YAV_S_HTTP_BAD_STATUS_CODE, "HTTP/1.1", "2x0", "Odd Code"},
        {"HTTP/1.1 2000 Long\r\n", YAV_S_HTTP_BAD_STATUS_CODE, "HTTP/1.1", "2000", "Long"},
        {"HTTP/1.1 200", YAV_S_HTTP_NO_STATUS_REASON, "", "", ""},
        {"HTTP/1.1 200 \r\n", YAV_S_NOT_AVAILABLE, "", "", ""},
        {"HTTP/1.1 200 OK\tx\r\n", YAV_S_HTTP_STATUS_LINE_UNTERMINATED, "", "", ""},
        {"HTTP/1.1\r\n", YAV_S_HTTP_NO_VERSION, "", "", ""},
        {"HTTP/1.1 /\r\n", YAV_S_NOT_AVAILABLE, "", "", ""},
        {"HTTPS/1.1 200 OK\r\n", YAV_S_HTTP_BAD_VERSION, "", "", ""},
    };
    for (const Case& c : cases) {
        Input in(c.input);
        YavStringRef version, code, reason;
        EXPECT_EQ(c.status, YavHTTPParser::parseStatusLine(in.cursor(), version, code, reason))
            << c.input;
        if (c.version.empty()) continue;
        EXPECT_EQ(c.version, str(version)) << c.input;
        EXPECT_EQ(c.code, str(code)) << c.input;
        EXPECT_EQ(c.reason, str(reason)) << c.input;
        EXPECT_TRUE(in.cursor().atEnd()) << c.input;
    }
}

TEST(YavHTTPParserTest, QuotedStringsAndCookieValues) {
    struct Case {
        std::string input;
        bool quotedOnly;  // parseQuotedString, else parseCookieValue
        yav_status_t status;
        std::string value;
    };
    const Case cases[] = {
        {"\"a\\\"b\";x", true, 0, "\"a\\\"b\""},
        {"\"a\\\\\"b", true, 0, "\"a\\\\\""},
        {"\"\t\x80\xff\"", true, 0, "\"\t\x80\xff\""},
        {"\"\"", true, 0, "\"\""},
        {"\"abc", true, YAV_S_NOT_AVAILABLE, ""},
        {"\"a\\\"", true, YAV_S_NOT_AVAILABLE, ""},
        {"\"a\rb\"", true, YAV_S_NOT_AVAILABLE, ""},
        {std::string("\"a\\\0\"", 5), true, YAV_S_NOT_AVAILABLE, ""},
        {"\"a\\\rb\"", true, 0, "\"a\\\rb\""},
        {"abc\"", true, YAV_S_NOT_AVAILABLE, ""},
        {"\"q v\";rest", false, 0, "\"q v\""},
        {"Wed, 09-Jun-2021 10:18:14 GMT; path=/", false, 0, "Wed, 09-Jun-2021 10:18:14 GMT"},
        {"xxx, yy-zzz-wwww aa:bb:cc GMT", false, 0, "xxx, yy-zzz-wwww aa:bb:cc GMT"},
        {"Wed, 09-Jun-2021 10:18:14 UTC; x", false, 0, "Wed"},
        {"Wed, 09-Jun-2021 10:18:14 GM", false, 0, "Wed"},
        {"va lue;x", false, 0, "va lue"},
        {";x", false, YAV_S_NOT_AVAILABLE, ""},
        {"\"open", false, 0, "\"open"},  // an unclosed quote is an unquoted value
    };
    for (const Case& c : cases) {
        Input in(c.input);
        YavStringRef value;
        yav_status_t status = c.quotedOnly ? YavHTTPParser::parseQuotedString(in.cursor(), value)
                                           : YavHTTPParser::parseCookieValue(in.cursor(), value);
        EXPECT_EQ(c.status, status) << c.input;
        if (status == 0) {
            EXPECT_EQ(c.value, str(value)) << c.input;
            EXPECT_EQ(static_cast<int>(c.value.size()), in.consumed()) << c.input;
        } else if (c.quotedOnly) {
            EXPECT_EQ(0, in.consumed()) << c.input;
        }
    }
}

TEST(YavHTTPParserTest, HeaderLinesSplitNameFromValue) {
    struct Case {
        std::string input;
        yav_status_t status;
        std::string name, value;
    };
    const Case cases[] = {
        {"Host: a.b\r\n", 0, "Host", "a.b"},
        {"Host:a.b \t\r\n", 0, "Host", "a.b \t"},
        {"X-Empty:\r\nNext: 1", 0, "X-Empty", ""},
        {"X: \x80\xff\r\n", 0, "X", "\x80\xff"},
        {"Host a.b\r\n", YAV_S_HTTP_HEADER_NOT_DELIMITED, "", ""},
        {"Host", YAV_S_HTTP_UNEXPECTED_END, "", ""},
        {": v\r\n", YAV_S_NOT_AVAILABLE, "", ""},
    };
    for (const Case& c : cases) {
        Input in(c.input);
        YavStringRef name, value;
        EXPECT_EQ(c.status, YavHTTPParser::parseHeader(in.cursor(), name, value)) << c.input;
        if (c.status != 0) continue;
        EXPECT_EQ(c.name, str(name)) << c.input;
        EXPECT_EQ(c.value, str(value)) << c.input;
    }
}

TEST(YavHTTPParserTest, HeaderBlocksStopAtTheEmptyLine) {
    HeaderTable h;
    Input in("Host: a\r\nAccept: x\r\nhost: b\r\n\r\nbody");
    EXPECT_EQ(0u, YavHTTPParser::parseHeaderSet(in.cursor(), h.table));
    EXPECT_EQ("\r\nbody", std::string(in.cursor().getCurrentText(), 6));
    EXPECT_EQ(3u, h.table.valueCount());
    const auto* hosts = h.table.find(YavHTTPHdrNameRef("HOST", 4));
    ASSERT_NE(nullptr, hosts);
    ASSERT_EQ(2u, hosts->count());
    EXPECT_EQ("a", str(*hosts->getHead()));
    EXPECT_EQ("b", str(**(++hosts->begin())));

    struct Case {
        std::string input;
        yav_status_t status;
        size_t values;
    };
    const Case cases[] = {
        {"A: 1\r\n B: 2\r\n\r\n", 0, 2},  // white space at a line start is skipped
        {"A: 1\r\n no colon\r\n", YAV_S_HTTP_HEADER_NOT_DELIMITED, 1},
        {"A: 1\r\nB: 2", YAV_S_HTTP_HEADER_UNTERMINATED, 2},
        {"A: 1\r\nB", YAV_S_HTTP_UNEXPECTED_END, 1},
        {"", 0, 0},
    };
    for (const Case& c : cases) {
        HeaderTable t;
        Input block(c.input);
        EXPECT_EQ(c.status, YavHTTPParser::parseHeaderSet(block.cursor(), t.table)) << c.input;
        EXPECT_EQ(c.values, t.table.valueCount()) << c.input;
    }
}

TEST(YavHTTPParserTest, RebuiltHeaderSetsPointIntoOneBlock) {
    HeaderTable h;
    const std::string text = "Host: a\r\nAccept:\r\nX-Long: one two\r\nhost: b\r\n\r\n";
    Input in(text);
    ASSERT_EQ(0u, YavHTTPParser::parseHeaderSet(in.cursor(), h.table));
    const std::vector<std::string> before = listHeaders(h.table);
    char* block = nullptr;
    ASSERT_EQ(0u, YavHTTPParser::rebuildHeaderSet(h.table, nullptr, &block));
    ASSERT_NE(nullptr, block);
    std::memset(in.bytes(), '#', text.size());  // the old storage is no longer used
    EXPECT_EQ(before, listHeaders(h.table));
    std::string expected;
    for (auto it = h.table.begin(); !it.isEnd(); ++it) {
        for (auto v = it.values().begin(); !v.isEnd(); ++v) {
            expected += str(*it.key()) + ": " + str(*v.value()) + "\r\n";
        }
    }
    EXPECT_EQ(expected, std::string(block, expected.size()));
    h.table.delEntries();
    YavAllocator::deallocate(nullptr, block);

    // Without an out pointer the block belongs to the allocator, which
    // reclaims it in one step.
    {
        YavCachingAllocator perRequest;
        ASSERT_EQ(
            0u, perRequest.initialize(YAV_N_GENERAL_ALLOCATOR, YAV_ALLOC_UNLOCKED, nullptr, 4, 64));
        HeaderTable again;
        Input second(text);
        ASSERT_EQ(0u, YavHTTPParser::parseHeaderSet(second.cursor(), again.table));
        ASSERT_EQ(0u, YavHTTPParser::rebuildHeaderSet(again.table, &perRequest, nullptr));
        EXPECT_EQ(before, listHeaders(again.table));
        again.table.delEntries();
    }

    HeaderTable empty;
    block = reinterpret_cast<char*>(&empty);
    EXPECT_EQ(0u, YavHTTPParser::rebuildHeaderSet(empty.table, nullptr, &block));
    EXPECT_EQ(nullptr, block);

    // An entry no header line could have produced cannot be rebuilt.
    HeaderTable bad;
    ASSERT_EQ(0u, bad.table.addValue(yav_new<YavHTTPHdrNameRef>(nullptr, "A b", 3),
                                     yav_new<YavNCPStringRef>(nullptr, "v", 1)));
    EXPECT_EQ(YAV_S_CFG_INTERNAL, YavHTTPParser::rebuildHeaderSet(bad.table, nullptr, &block));
    EXPECT_EQ(nullptr, block);
    EXPECT_TRUE(bad.table.isEmpty());
}

TEST(YavHTTPParserTest, DecodesPercentEscapes) {
    struct Case {
        std::string input;
        yav_status_t status;
        std::string decoded;  // what out holds afterwards, also on failure
    };
    const Case cases[] = {
        {"a%41%u0042%%", 0, "aAB%"},
        {"plain/text+x", 0, "plain/text+x"},
        {"ab%2Fc%2f", 0, "ab/c/"},
        {"%U0041z", 0, "Az"},
        {"%ff%7F", 0, "\xff\x7f"},
        {"x%", YAV_S_HTTP_BAD_REQUEST, "x"},
        {"ok%00", YAV_S_HTTP_BAD_REQUEST, "ok"},
        {"%u0000", YAV_S_HTTP_BAD_REQUEST, ""},
        {"a%4", YAV_S_HTTP_BAD_REQUEST, "a"},
        {"%41%4g", YAV_S_HTTP_BAD_REQUEST, "A"},
        {"%u004", YAV_S_HTTP_BAD_REQUEST, ""},
    };
    for (const Case& c : cases) {
        Input in(c.input);
        YavNCPString out;
        EXPECT_TRUE(out.set("stale"));
        EXPECT_EQ(c.status, YavHTTPParser::decodeURI(
                                YavStringRef(in.bytes(), static_cast<int>(c.input.size())), out))
            << c.input;
        EXPECT_EQ(c.decoded, str(out)) << c.input;
    }
}

TEST(YavHTTPParserTest, PostDataItemsRewritePlusInPlace) {
    struct Case {
        std::string input;
        yav_status_t status;
        std::string name, value, buffer;
        int consumed;
    };
    const Case cases[] = {
        {"a=1+2&b", 0, "a", "1 2", "a=1 2&b", 5},
        {"a=&b", 0, "a", "", "a=&b", 2},
        {"a=x\r\n", 0, "a", "x", "a=x\r\n", 3},
        {"a=x y\x7f", 0, "a", "x y", "a=x y\x7f", 5},
        {"a", YAV_S_HTTP_UNEXPECTED_END, "", "", "a", -1},
        {"a b", YAV_S_HTTP_BAD_POST_DATA, "", "", "a b", -1},
        {"=x", YAV_S_NOT_AVAILABLE, "", "", "=x", 0},
    };
    for (const Case& c : cases) {
        Input in(c.input);
        YavStringRef name;
        YavNCPStringRef value;
        EXPECT_EQ(c.status, YavHTTPParser::parsePostData(in.cursor(), name, value)) << c.input;
        EXPECT_EQ(c.buffer, std::string(in.bytes(), c.input.size())) << c.input;
        if (c.consumed >= 0) {
            EXPECT_EQ(c.consumed, in.consumed()) << c.input;
        }
        if (c.status != 0) continue;
        EXPECT_EQ(c.name, str(name)) << c.input;
        EXPECT_EQ(c.value, str(value)) << c.input;
    }
    // A read-only buffer cannot take the rewrite.
    const char text[] = "a=1+2";
    YavBufferCursor readOnly(text, 5);
    YavStringRef name;
    YavNCPStringRef value;
    EXPECT_EQ(YAV_S_INVALID_VALUE, YavHTTPParser::parsePostData(readOnly, name, value));
    EXPECT_STREQ("a=1+2", text);
}

TEST(YavHTTPParserTest, ArgumentSetsKeepNamesAndValuesOfTheirOwn) {
    struct Case {
        int kind;  // 0 POST data set, 1 argument set, 2 query arguments
        std::string input;
        yav_status_t status;
        std::vector<std::string> items;  // in table order
    };
    const Case cases[] = {
        {0, "a=1+2&b=%41", 0, {"a=1 2", "b=A"}},
        {0, "=a&b=1", 0, {}},
        {0, "\r\na=1&a=2", 0, {"a=1", "a=2"}},
        {0, "a=1& b=2&;x", 0, {"a=1", "b=2"}},
        {0, "a=%zz&b=1", YAV_S_HTTP_BAD_REQUEST, {}},
        {0, "a=1&b", YAV_S_HTTP_UNEXPECTED_END, {"a=1"}},
        {1, "a=1+&b=%41&=e&c", 0, {"=e", "a=1+", "b=%41"}},
        {1, "x=1=2", 0, {"x=1=2"}},
        {1, "x=", 0, {"x="}},
        {1, "no pairs&here", 0, {}},
        {2, "/p?a=1+2&b=%41&a=3", 0, {"a=1 2", "a=3", "b=A"}},
        {2, "/p", 0, {}},
        {2, "/p?", 0, {}},
        {2, "/p?a=1&b=%", YAV_S_HTTP_BAD_REQUEST, {"a=1"}},
        {2, "/p?q?a=1", YAV_S_HTTP_BAD_POST_DATA, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> items;
        yav_status_t status;
        {
            Input in(c.input);
            if (c.kind == 0) {
                YavHTTPPostDataSet set(nullptr, true, true);
                ASSERT_EQ(0u, set.initialize(YAV_HTTP_HEADER_BUCKETS));
                status = YavHTTPParser::parsePostDataSet(in.cursor(), set);
                items = listHeaders(set);
            } else {
                YavHTTPArgSet set(nullptr, true, true);
                ASSERT_EQ(0u, set.initialize(YAV_HTTP_HEADER_BUCKETS));
                if (c.kind == 1) {
                    status = YavHTTPParser::parseArgSet(in.cursor(), set);
                } else {
                    status = YavHTTPParser::parseQueryArgsSet(
                        YavStringRef(in.bytes(), static_cast<int>(c.input.size())), set);
                    // The caller's text is never rewritten.
                    EXPECT_EQ(c.input, std::string(in.bytes(), c.input.size()));
                }
                // Names and values outlive the text they came from.
                std::memset(in.bytes(), '#', c.input.size());
                items = listHeaders(set);
            }
        }
        EXPECT_EQ(c.status, status) << c.input;
        std::vector<std::string> expected = c.items;
        std::sort(expected.begin(), expected.end());
        std::sort(items.begin(), items.end());
        EXPECT_EQ(expected, items) << c.input;
    }
}

TEST(YavHTTPParserTest, AbsoluteURLsSplitIntoFivePieces) {
    struct Case {
        std::string input;
        yav_status_t status;
        std::string scheme, host, port, location, query;
        int consumed;
    };
    const Case cases[] = {
        {"https://[::1]:8443/p?q=1", 0, "https", "::1", "8443", "/p", "q=1", 24},
        {"HTTP://h.example/a/b", 0, "HTTP", "h.example", "", "/a/b", "", 20},
        {"http://h:8080", 0, "http", "h", "", "", "", 8},
        {"http://h:8080/", 0, "http", "h", "8080", "/", "", 14},
        {"/?a", 0, "", "", "", "/", "a", 3},
        {"h:1/p?a?b", 0, "", "h", "1", "/p", "a?b", 9},
        {"?only", 0, "", "?only", "", "", "", 5},  // the host runs to ':', '/' or the end
        {"http://[]/x", 0, "http", "", "", "", "", 7},
        {"http://[::1/x", 0, "http", "", "", "", "", 7},
        {"http://:1/x", 0, "http", "", "1", "/x", "", 11},
        {"", 0, "", "", "", "", "", 0},
        {"ftp://h/x", YAV_S_NOT_AVAILABLE, "", "", "", "", "", 0},
        {"https://h/?u=ftp://x", 0, "https", "h", "", "/", "u=ftp://x", 20},
        {"/p?u=ftp://x", YAV_S_NOT_AVAILABLE, "", "", "", "", "", 0},
        {"http://", 0, "", "http", "", "", "", 4},  // no byte after "//": no scheme
    };
    for (const Case& c : cases) {
        Input in(c.input);
        YavStringRef scheme, host, port, location, query;
        EXPECT_EQ(c.status,
                  YavHTTPParser::parseHTTPURL(in.cursor(), scheme, host, port, location, query))
            << c.input;
        EXPECT_EQ(c.consumed, in.consumed()) << c.input;
        if (c.status != 0) continue;
        EXPECT_EQ(c.scheme, str(scheme)) << c.input;
        EXPECT_EQ(c.host, str(host)) << c.input;
        EXPECT_EQ(c.port, str(port)) << c.input;
        EXPECT_EQ(c.location, str(location)) << c.input;
        EXPECT_EQ(c.query, str(query)) << c.input;
    }
}

TEST(YavHTTPParserTest, ChunksNeedTheirWholeFrame) {
    const std::string data26 = "abcdefghijklmnopqrstuvwxyz";
    struct Case {
        std::string input;
        yav_status_t status;
        std::string data;
        int consumed;
    };
    const Case cases[] = {
        {"1a;x=y\r\n" + data26 + "\r\n", 0, data26, 36},
        {"1A\r\n" + data26 + "\r\n0\r\n", 0, data26, 32},
        {"3\r\nabc\r\n", 0, "abc", 8},
        {"0\r\n\r\n", 0, "", 3},
        {"0\r\n", YAV_S_NOT_AVAILABLE, "", 0},
        {"3\r\nabcd\r\n", YAV_S_NOT_AVAILABLE, "", 0},
        {"3\r\nabc\r", YAV_S_NOT_AVAILABLE, "", 0},
        {"3;ext", YAV_S_NOT_AVAILABLE, "", 0},
        {"100000000\r\nx\r\n", YAV_S_NOT_AVAILABLE, "", 0},
        {"7ffffffe\r\nx\r\n", YAV_S_NOT_AVAILABLE, "", 0},
        {"-1\r\nx\r\n", YAV_S_NOT_AVAILABLE, "", 0},
        {"+3\r\nabc\r\n", YAV_S_NOT_AVAILABLE, "", 0},
        {"", YAV_S_NOT_AVAILABLE, "", 0},
    };
    for (const Case& c : cases) {
        Input in(c.input);
        YavStringRef data;
        EXPECT_EQ(c.status, YavHTTPParser::parseChunk(in.cursor(), data)) << c.input;
        EXPECT_EQ(c.consumed, in.consumed()) << c.input;
        EXPECT_EQ(0, in.cursor().getSinceMark()) << c.input;
        if (c.status == 0) {
            EXPECT_EQ(c.data, str(data)) << c.input;
        }
    }
}

TEST(YavHTTPParserTest, ValidatesWideFormUTF8) {
    struct Case {
        std::string input;
        int result;
        bool ascii;
    };
    const Case cases[] = {
        {"", 1, true},
        {"plain", 1, true},
        {"caf\xc3\xa9", 1, false},
        {"\xe2\x82\xac\xf0\x9f\x98\x80", 1, false},
        {"\xf8\x88\x80\x80\x80", 1, false},      // five bytes, 0x200000
        {"\xfc\x84\x80\x80\x80\x80", 1, false},  // six bytes, 0x4000000
        {"\xc0\x80", -1, false},
        {"\xe0\x9f\xbf", -1, false},
        {"\xf0\x8f\xbf\xbf", -1, false},
        {"\xf8\x87\xbf\xbf\xbf", -1, false},
        {"\xfc\x83\xbf\xbf\xbf\xbf", -1, false},
        {"\xc0\x80\x80", 0, false},  // broken outranks over-long
        {"\x80", 0, true},
        {"\xfe", 0, true},
        {"\xc3", 0, false},
        {"\xe2(\xac", 0, false},
        {std::string("a\0b", 3), -2, true},
    };
    for (const Case& c : cases) {
        Input in(c.input);
        bool ascii = !c.ascii;
        EXPECT_EQ(c.result, yav_validate_utf8(in.bytes(), c.input.size(), ascii)) << c.input;
        EXPECT_EQ(c.ascii, ascii) << c.input;
    }
}

// Every operation over every prefix of sound inputs and over random bytes:
// no read outside the input (ASan), the cursor stays inside it, and a
// YAV_S_NOT_AVAILABLE from a single-construct parser leaves it in place.
void parseEverything(const std::string& bytes) {
    {
        Input in(bytes);
        YavNCPString out;
        yav_status_t status =
            YavHTTPParser::decodeURI(YavStringRef(in.bytes(), static_cast<int>(bytes.size())), out);
        ASSERT_TRUE(status == 0 || status == YAV_S_HTTP_BAD_REQUEST);
        ASSERT_LE(out.getLength(), static_cast<int>(bytes.size()));
    }
    {
        Input in(bytes);
        YavStringRef p[5];
        yav_status_t status =
            YavHTTPParser::parseHTTPURL(in.cursor(), p[0], p[1], p[2], p[3], p[4]);
        ASSERT_TRUE(status == 0 || (status == YAV_S_NOT_AVAILABLE && in.consumed() == 0));
        for (const YavStringRef& r : p) {
            if (status != 0) break;
            ASSERT_TRUE(r.getData() >= in.bytes() &&
                        r.getData() + r.getLength() <= in.bytes() + bytes.size());
        }
    }
    {
        Input in(bytes);
        YavStringRef data;
        yav_status_t status = YavHTTPParser::parseChunk(in.cursor(), data);
        ASSERT_TRUE(status == 0 || (status == YAV_S_NOT_AVAILABLE && in.consumed() == 0));
    }
    {
        Input in(bytes);
        bool ascii;
        int result = yav_validate_utf8(in.bytes(), bytes.size(), ascii);
        ASSERT_TRUE(result >= -2 && result <= 1);
    }
    {
        // Whatever parses, rebuilds into the same table.
        Input in(bytes);
        HeaderTable h;
        if (YavHTTPParser::parseHeaderSet(in.cursor(), h.table) == 0) {
            const std::vector<std::string> before = listHeaders(h.table);
            char* block = nullptr;
            ASSERT_EQ(0u, YavHTTPParser::rebuildHeaderSet(h.table, nullptr, &block));
            ASSERT_EQ(before, listHeaders(h.table));
            h.table.delEntries();
            YavAllocator::deallocate(nullptr, block);
        }
    }
    for (int kind = 0; kind < 3; ++kind) {
        Input in(bytes);
        YavHTTPPostDataSet post(nullptr, true, true);
        YavHTTPArgSet args(nullptr, true, true);
        ASSERT_EQ(0u, post.initialize(YAV_HTTP_HEADER_BUCKETS));
        ASSERT_EQ(0u, args.initialize(YAV_HTTP_HEADER_BUCKETS));
        if (kind == 0) YavHTTPParser::parsePostDataSet(in.cursor(), post);
        if (kind == 1) YavHTTPParser::parseArgSet(in.cursor(), args);
        if (kind == 2) {
            YavHTTPParser::parseQueryArgsSet(
                YavStringRef(in.bytes(), static_cast<int>(bytes.size())), args);
        }
        ASSERT_LE(in.consumed(), static_cast<int>(bytes.size()));
    }
    // Single-construct parsers leave the cursor in place on
    // YAV_S_NOT_AVAILABLE; on success the run returned is what they took.
    typedef yav_status_t (*Run)(YavBufferCursor&, YavStringRef&);
    for (Run parse : {&YavHTTPParser::parseCookieValue, &YavHTTPParser::parseVersion,
                      &YavHTTPParser::parseQuotedString}) {
        Input in(bytes);
        YavStringRef a;
        yav_status_t status = parse(in.cursor(), a);
        ASSERT_LE(in.consumed(), static_cast<int>(bytes.size()));
        if (status == 0 || status == YAV_S_NOT_AVAILABLE) {
            ASSERT_EQ(status == 0 ? a.getLength() : 0, in.consumed());
        }
    }
    Input header(bytes), request(bytes), status(bytes), space(bytes);
    YavStringRef a, b, d;
    YavHTTPMethod m;
    if (YavHTTPParser::parseHeader(header.cursor(), a, b) == YAV_S_NOT_AVAILABLE) {
        ASSERT_EQ(0, header.consumed());
    }
    YavHTTPParser::parseRequestLine(request.cursor(), m, &a, b, d);
    YavHTTPParser::parseStatusLine(status.cursor(), a, b, d);
    YavHTTPParser::wasteWhiteSpace(space.cursor());
    for (Input* in : {&header, &request, &status, &space}) {
        ASSERT_LE(in->consumed(), static_cast<int>(bytes.size()));
    }
}

TEST(YavHTTPParserTest, TruncatedRandomAndOversizedInputsStayInBounds) {
    const std::string sound[] = {
        "GET /a?b=1 HTTP/1.1\r\n",
        "HTTP/1.0 301 Moved\r\r\n",
        "Host: a\r\nX-Y: \"q\\\"\"\r\n Z:\r\n\r\n",
        "\"a\\\"b\"",
        "Wed, 09-Jun-2021 10:18:14 GMT",
        "a%41%u0042%%b",
        "https://[::1]:8443/p?q=1",
        "1a;x=y\r\nabcdefghijklmnopqrstuvwxyz\r\n0\r\n\r\n",
    };
    for (const std::string& s : sound) {
        for (size_t n = 0; n <= s.size(); ++n) parseEverything(s.substr(0, n));
    }
    std::mt19937 random(20261205);
    const char alphabet[] = "GET HTTP/1.0\r\n\t:\"\\;,=%&+?-0123456789[]u";
    for (int round = 0; round < 3000; ++round) {
        std::string s(random() % 40, '\0');
        for (char& ch : s) {
            ch = round % 2 ? static_cast<char>(random())
                           : alphabet[random() % (sizeof alphabet - 1)];
        }
        parseEverything(s);
    }

    // A megabyte-long header value is one reference, not a copy.
    std::string big = "X: " + std::string(1 << 20, 'v') + "\r\n\r\n";
    HeaderTable h;
    Input in(big);
    EXPECT_EQ(0u, YavHTTPParser::parseHeaderSet(in.cursor(), h.table));
    ASSERT_EQ(1u, h.table.valueCount());
    EXPECT_EQ(1 << 20, h.table.begin().values().getHead()->getLength());
}

}  // namespace
