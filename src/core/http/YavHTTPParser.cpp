// Character classes, runs, request and status lines, headers and header
// sets.  Every scan goes through the cursor (scanRun, peek, find), which
// never looks outside the remaining bytes; every loop consumes at least one
// byte per round or stops.
#include "core/http/YavHTTPParser.h"

#include <cstdint>
#include <cstring>

#include "core/msg/yav_status.h"

namespace {

constexpr uint32_t isTokenDelimiter(int c) {
    return c <= 0x20 || c >= 0x7f || c == '"' || c == '(' || c == ')' || c == ',' || c == '/' ||
                   c == ':' || c == ';' || c == '<' || c == '=' || c == '>' || c == '?' ||
                   c == '@' || c == '[' || c == '\\' || c == ']' || c == '{' || c == '}'
               ? 1
               : 0;
}
constexpr uint32_t isControlButTab(int c) { return (c < 0x20 && c != 0x09) || c == 0x7f ? 1 : 0; }
constexpr uint32_t isTextDelimiter(int c) { return isControlButTab(c); }
constexpr uint32_t isCookieValueDelimiter(int c) {
    return isControlButTab(c) || c == ',' || c == ';' ? 1 : 0;
}
constexpr uint32_t isWhitespaceDelimiter(int c) { return c == 0x09 || c == 0x20 ? 0 : 1; }
constexpr uint32_t isURIDelimiter(int c) { return c <= 0x20 || c == 0x7f ? 1 : 0; }
constexpr uint32_t isVersionDelimiter(int c) { return c >= '0' && c <= '9' ? 0 : 1; }
constexpr uint32_t isReasonDelimiter(int c) { return c < 0x20 || c == 0x7f ? 1 : 0; }

}  // namespace

#define YAV_HTTP_ROW(P, b)                                                                    \
    P(b + 0), P(b + 1), P(b + 2), P(b + 3), P(b + 4), P(b + 5), P(b + 6), P(b + 7), P(b + 8), \
        P(b + 9), P(b + 10), P(b + 11), P(b + 12), P(b + 13), P(b + 14), P(b + 15)
#define YAV_HTTP_TABLE(P)                                                        \
    {                                                                            \
        YAV_HTTP_ROW(P, 0x00), YAV_HTTP_ROW(P, 0x10), YAV_HTTP_ROW(P, 0x20),     \
            YAV_HTTP_ROW(P, 0x30), YAV_HTTP_ROW(P, 0x40), YAV_HTTP_ROW(P, 0x50), \
            YAV_HTTP_ROW(P, 0x60), YAV_HTTP_ROW(P, 0x70), YAV_HTTP_ROW(P, 0x80), \
            YAV_HTTP_ROW(P, 0x90), YAV_HTTP_ROW(P, 0xa0), YAV_HTTP_ROW(P, 0xb0), \
            YAV_HTTP_ROW(P, 0xc0), YAV_HTTP_ROW(P, 0xd0), YAV_HTTP_ROW(P, 0xe0), \
            YAV_HTTP_ROW(P, 0xf0)                                                \
    }

extern "C" {
const uint32_t yav_http_token_delimiter[256] = YAV_HTTP_TABLE(isTokenDelimiter);
const uint32_t yav_http_text_delimiter[256] = YAV_HTTP_TABLE(isTextDelimiter);
const uint32_t yav_http_unquoted_cookie_value_delimiter[256] =
    YAV_HTTP_TABLE(isCookieValueDelimiter);
const uint32_t yav_http_whitespace_delimiter[256] = YAV_HTTP_TABLE(isWhitespaceDelimiter);
const uint32_t yav_http_uri_delimiter[256] = YAV_HTTP_TABLE(isURIDelimiter);
const uint32_t yav_http_version_delimiter[256] = YAV_HTTP_TABLE(isVersionDelimiter);
const uint32_t yav_http_reason_delimiter[256] = YAV_HTTP_TABLE(isReasonDelimiter);
}

#undef YAV_HTTP_TABLE
#undef YAV_HTTP_ROW

namespace {

// The non-empty run of bytes outside table's delimiters, taken and marked.
yav_status_t parseRun(YavBufferCursor& cursor, const uint32_t* table, YavStringRef& out) {
    int n = cursor.scanRun(table);
    if (n == 0) return YAV_S_NOT_AVAILABLE;
    out.set(cursor.getCurrentText(), n);
    cursor.advance(n);
    cursor.mark();
    return 0;
}

bool isDigit(int c) { return c >= '0' && c <= '9'; }

// Length of the run of digits starting offset bytes ahead.
int digitsAt(const YavBufferCursor& cursor, int offset) {
    int n = 0;
    while (isDigit(cursor.peek(offset + n))) ++n;
    return n;
}

}  // namespace

bool YavHTTPParser::wasteTerminator(YavBufferCursor& cursor) {
    if (cursor.peek(0) == '\r' && cursor.peek(1) == '\n') {
        cursor.advance(2);
    } else if (cursor.peek(0) == '\n') {
        cursor.advance(1);
    } else if (cursor.peek(0) == '\r' && cursor.peek(1) == '\r' && cursor.peek(2) == '\n') {
        cursor.advance(3);
    } else {
        return false;
    }
    return true;
}

int YavHTTPParser::wasteWhiteSpace(YavBufferCursor& cursor) {
    wasteTerminator(cursor);
    int n = cursor.scanRun(yav_http_whitespace_delimiter);
    if (n == 0) {
        cursor.reset();
        return 0;
    }
    cursor.advance(n);
    return n;
}

yav_status_t YavHTTPParser::parseToken(YavBufferCursor& cursor, YavStringRef& token) {
    return parseRun(cursor, yav_http_token_delimiter, token);
}

yav_status_t YavHTTPParser::parseText(YavBufferCursor& cursor, YavStringRef& text) {
    return parseRun(cursor, yav_http_text_delimiter, text);
}

yav_status_t YavHTTPParser::parseUnquotedCookieValue(YavBufferCursor& cursor, YavStringRef& value) {
    return parseRun(cursor, yav_http_unquoted_cookie_value_delimiter, value);
}

yav_status_t YavHTTPParser::parseURI(YavBufferCursor& cursor, YavStringRef& uri) {
    return parseRun(cursor, yav_http_uri_delimiter, uri);
}

yav_status_t YavHTTPParser::parseReasonPhrase(YavBufferCursor& cursor, YavStringRef& reason) {
    return parseRun(cursor, yav_http_reason_delimiter, reason);
}

yav_status_t YavHTTPParser::parseQuotedString(YavBufferCursor& cursor, YavStringRef& quoted) {
    if (cursor.peek(0) != '"') return YAV_S_NOT_AVAILABLE;
    bool escaped = false;
    const int remaining = cursor.getRemaining();
    for (int i = 1; i < remaining; ++i) {
        int c = cursor.peek(i);
        if (c == '\t') {
            escaped = false;
        } else if (c == '"') {
            if (!escaped) {
                quoted.set(cursor.getCurrentText(), i + 1);
                cursor.advance(i + 1);
                cursor.mark();
                return 0;
            }
            escaped = false;
        } else if (c == '\\') {
            escaped = !escaped;
        } else if (escaped && c != 0) {
            escaped = false;
        } else if (c < 0x20 || c == 0x7f) {
            break;
        }
    }
    return YAV_S_NOT_AVAILABLE;
}

yav_status_t YavHTTPParser::parseCookieExpiresParam(YavBufferCursor& cursor, YavStringRef& date) {
    // Offsets and bytes of the separators of "Www, DD-Mon-YYYY HH:MM:SS GMT".
    static const struct {
        int offset;
        char byte;
    } kShape[] = {{3, ','},  {4, ' '},  {7, '-'},  {11, '-'}, {16, ' '}, {19, ':'},
                  {22, ':'}, {25, ' '}, {26, 'G'}, {27, 'M'}, {28, 'T'}};
    const int kLength = 29;
    if (static_cast<unsigned>(cursor.getRemaining()) < static_cast<unsigned>(kLength)) {
        return YAV_S_NOT_AVAILABLE;
    }
    for (const auto& s : kShape) {
        if (cursor.peek(s.offset) != static_cast<unsigned char>(s.byte)) {
            return YAV_S_NOT_AVAILABLE;
        }
    }
    date.set(cursor.getCurrentText(), kLength);
    cursor.advance(kLength);
    cursor.mark();
    return 0;
}

yav_status_t YavHTTPParser::parseCookieValue(YavBufferCursor& cursor, YavStringRef& value) {
    yav_status_t status = parseQuotedString(cursor, value);
    if (status != YAV_S_NOT_AVAILABLE) return status;
    status = parseCookieExpiresParam(cursor, value);
    if (status != YAV_S_NOT_AVAILABLE) return status;
    return parseUnquotedCookieValue(cursor, value);
}

yav_status_t YavHTTPParser::parseMethod(YavBufferCursor& cursor, YavHTTPMethod& method,
                                        YavStringRef* methodText) {
    YavStringRef local;
    YavStringRef& text = methodText != nullptr ? *methodText : local;
    yav_status_t status = parseToken(cursor, text);
    if (status != 0) return status;
    YavHTTP::getMethod(text, method);
    return method == yav_http_method_unknown ? YAV_S_HTTP_BAD_METHOD : 0;
}

yav_status_t YavHTTPParser::parseVersion(YavBufferCursor& cursor, YavStringRef& version) {
    static const char kPrefix[] = "HTTP/";
    const int kPrefixLength = 5;
    if (cursor.getRemaining() < 6 || !cursor.startsWith(kPrefix, kPrefixLength)) {
        return YAV_S_HTTP_BAD_VERSION;
    }
    int at = kPrefixLength + digitsAt(cursor, kPrefixLength);
    if (cursor.peek(at) != '.') return YAV_S_HTTP_BAD_VERSION;
    int minor = digitsAt(cursor, at + 1);
    if (minor == 0) return YAV_S_HTTP_BAD_VERSION;
    at += 1 + minor;
    version.set(cursor.getCurrentText(), at);
    cursor.advance(at);
    cursor.mark();
    return 0;
}

yav_status_t YavHTTPParser::parseStatusCode(YavBufferCursor& cursor, YavStringRef& code) {
    yav_status_t status = parseToken(cursor, code);
    if (status != 0) return status;
    const char* p = code.getData();
    if (code.getLength() != 3 || !isDigit(p[0]) || !isDigit(p[1]) || !isDigit(p[2])) {
        return YAV_S_HTTP_BAD_STATUS_CODE;
    }
    return 0;
}

yav_status_t YavHTTPParser::parseRequestLine(YavBufferCursor& cursor, YavHTTPMethod& method,
                                             YavStringRef* methodText, YavStringRef& uri,
                                             YavStringRef& version) {
    cursor.mark();
    wasteWhiteSpace(cursor);
    cursor.mark();
    // An unknown method is reported only when the rest of the line is sound.
    yav_status_t methodStatus = parseMethod(cursor, method, methodText);
    if (methodStatus != 0 && methodStatus != YAV_S_HTTP_BAD_METHOD) return methodStatus;
    if (wasteWhiteSpace(cursor) < 1) return YAV_S_HTTP_BAD_URI;
    cursor.mark();
    yav_status_t status = parseURI(cursor, uri);
    if (status != 0) return status;
    if (wasteWhiteSpace(cursor) < 1) return YAV_S_HTTP_NO_VERSION;
    cursor.mark();
    status = parseVersion(cursor, version);
    if (status != 0) return status;
    if (!wasteTerminator(cursor)) return YAV_S_HTTP_REQUEST_LINE_UNTERMINATED;
    cursor.mark();
    return methodStatus;
}

yav_status_t YavHTTPParser::parseStatusLine(YavBufferCursor& cursor, YavStringRef& version,
                                            YavStringRef& statusCode, YavStringRef& reason) {
    cursor.mark();
    wasteWhiteSpace(cursor);
    cursor.mark();
    yav_status_t status = parseVersion(cursor, version);
    if (status != 0) return status;
    if (wasteWhiteSpace(cursor) < 1) return YAV_S_HTTP_NO_VERSION;
    cursor.mark();
    // A malformed code is reported only when the rest of the line is sound.
    yav_status_t codeStatus = parseStatusCode(cursor, statusCode);
    if (codeStatus != 0 && codeStatus != YAV_S_HTTP_BAD_STATUS_CODE) return codeStatus;
    if (wasteWhiteSpace(cursor) < 1) return YAV_S_HTTP_NO_STATUS_REASON;
    cursor.mark();
    status = parseReasonPhrase(cursor, reason);
    if (status != 0) return status;
    if (!wasteTerminator(cursor)) return YAV_S_HTTP_STATUS_LINE_UNTERMINATED;
    cursor.mark();
    return codeStatus;
}

yav_status_t YavHTTPParser::parseHeader(YavBufferCursor& cursor, YavStringRef& name,
                                        YavStringRef& value) {
    yav_status_t status = parseToken(cursor, name);
    if (status != 0) return status;
    if (cursor.atEnd()) return YAV_S_HTTP_UNEXPECTED_END;
    if (cursor.peek(0) != ':') return YAV_S_HTTP_HEADER_NOT_DELIMITED;
    cursor.advance(1);
    cursor.mark();
    wasteWhiteSpace(cursor);
    cursor.mark();
    status = parseText(cursor, value);
    if (status == YAV_S_NOT_AVAILABLE) {
        value.set(cursor.getCurrentText(), 0);
        return 0;
    }
    return status;
}

yav_status_t YavHTTPParser::parseHeaderSet(YavBufferCursor& cursor, YavHTTPHeaderSet& headers) {
    YavAllocator* allocator = headers.getAllocator();
    cursor.mark();
    for (;;) {
        wasteWhiteSpace(cursor);
        cursor.mark();
        YavStringRef name;
        YavStringRef value;
        yav_status_t status = parseHeader(cursor, name, value);
        if (status == YAV_S_NOT_AVAILABLE) return 0;
        if (status != 0) return status;

        YavHTTPHdrNameRef* key = yav_new<YavHTTPHdrNameRef>(allocator, name);
        YavNCPStringRef* text =
            yav_new<YavNCPStringRef>(allocator, value.getData(), value.getLength());
        if (key == nullptr || text == nullptr) {
            yav_delete(key);
            yav_delete(text);
            return YAV_S_NO_MEMORY;
        }
        status = headers.addValue(key, text);
        if (status != 0) {
            yav_delete(key);
            yav_delete(text);
            return status;
        }

        if (!wasteTerminator(cursor)) return YAV_S_HTTP_HEADER_UNTERMINATED;
        cursor.mark();
    }
}

yav_status_t YavHTTPParser::rebuildHeaderSet(YavHTTPHeaderSet& headers, YavAllocator* allocator,
                                             char** block) {
    if (block != nullptr) *block = nullptr;
    uint64_t total = 0;
    for (auto it = headers.begin(); !it.isEnd(); ++it) {
        const int nameLength = it.key()->getLength();
        for (auto v = it.values().begin(); !v.isEnd(); ++v) {
            total += static_cast<uint64_t>(nameLength) + 2 + v.value()->getLength() + 2;
        }
    }
    if (total == 0) return 0;
    // The block is parsed through a cursor, whose length is an int.
    if (total > static_cast<uint64_t>(INT32_MAX)) return YAV_S_NO_MEMORY;
    const int size = static_cast<int>(total);
    char* out = static_cast<char*>(YavAllocator::allocate(allocator, static_cast<size_t>(size)));
    if (out == nullptr) return YAV_S_NO_MEMORY;

    char* p = out;
    for (auto it = headers.begin(); !it.isEnd(); ++it) {
        const YavHTTPHdrNameRef* name = it.key();
        for (auto v = it.values().begin(); !v.isEnd(); ++v) {
            std::memcpy(p, name->getData(), static_cast<size_t>(name->getLength()));
            p += name->getLength();
            *p++ = ':';
            *p++ = ' ';
            std::memcpy(p, v.value()->getData(), static_cast<size_t>(v.value()->getLength()));
            p += v.value()->getLength();
            *p++ = '\r';
            *p++ = '\n';
        }
    }

    // Re-parse so that every reference points into the block.  A block that
    // does not parse back whole (a name that is not a token, a value with a
    // line break) means the table held entries no parse could have made.
    headers.delEntries();
    YavBufferCursor cursor(out, size);
    yav_status_t status = parseHeaderSet(cursor, headers);
    if (status != 0 || !cursor.atEnd()) {
        headers.delEntries();
        YavAllocator::deallocate(allocator, out);
        return YAV_S_CFG_INTERNAL;
    }
    if (block != nullptr) *block = out;
    return 0;
}
