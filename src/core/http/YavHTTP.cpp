#include "core/http/YavHTTP.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "core/http/YavHTTPHdrNameRef.h"
#include "core/http/YavHTTPHeaders.h"
#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/ulq/ulq.h"

namespace {

struct YavHTTPText {
    const char* text;
    int length;
};

#define YAV_TEXT(s) \
    { s, static_cast<int>(sizeof(s) - 1) }

// Indexed by YavHTTPMethod; the empty entry ends the table.
const YavHTTPText kMethods[] = {
    YAV_TEXT("OPTIONS"), YAV_TEXT("GET"),   YAV_TEXT("HEAD"),     YAV_TEXT("POST"),
    YAV_TEXT("PUT"),     YAV_TEXT("TRACE"), YAV_TEXT("PROPFIND"), YAV_TEXT("PROPPATCH"),
    YAV_TEXT("MKCOL"),   YAV_TEXT("COPY"),  YAV_TEXT("MOVE"),     {nullptr, 0},
};
const YavHTTPText kUnrecognized = YAV_TEXT("unrecognized");

// One table per status class, indexed by the code modulo 100.
const YavHTTPText kReasons1xx[] = {YAV_TEXT("Continue"), YAV_TEXT("Switching Protocols")};
const YavHTTPText kReasons2xx[] = {YAV_TEXT("OK"),
                                   YAV_TEXT("Created"),
                                   YAV_TEXT("Accepted"),
                                   YAV_TEXT("Non-Authoritative Information"),
                                   YAV_TEXT("No Content"),
                                   YAV_TEXT("Reset Content"),
                                   YAV_TEXT("Partial Content")};
const YavHTTPText kReasons3xx[] = {YAV_TEXT("Multiple Choices"),  YAV_TEXT("Moved Permanently"),
                                   YAV_TEXT("Moved Temporarily"), YAV_TEXT("See Other"),
                                   YAV_TEXT("Not Modified"),      YAV_TEXT("Use Proxy")};
const YavHTTPText kReasons4xx[] = {YAV_TEXT("Bad Request"),
                                   YAV_TEXT("Unauthorized"),
                                   YAV_TEXT("Payment Required"),
                                   YAV_TEXT("Forbidden"),
                                   YAV_TEXT("Not Found"),
                                   YAV_TEXT("Method Not Allowed"),
                                   YAV_TEXT("Not Acceptable"),
                                   YAV_TEXT("Proxy Authentication Required"),
                                   YAV_TEXT("Request Timeout"),
                                   YAV_TEXT("Conflict"),
                                   YAV_TEXT("Gone"),
                                   YAV_TEXT("Length Required"),
                                   YAV_TEXT("Precondition Failed"),
                                   YAV_TEXT("Request Entity Too Large"),
                                   YAV_TEXT("Request-URI Too Long"),
                                   YAV_TEXT("Unsupported Media Type")};
const YavHTTPText kReasons5xx[] = {
    YAV_TEXT("Server Error"),    YAV_TEXT("Not Implemented"),
    YAV_TEXT("Bad Gateway"),     YAV_TEXT("Service Unavailable"),
    YAV_TEXT("Gateway Timeout"), YAV_TEXT("HTTP Version Not Supported")};

#undef YAV_TEXT

struct YavHTTPReasonTable {
    const YavHTTPText* entries;
    int count;
};

#define YAV_TABLE(t) \
    { t, static_cast<int>(sizeof(t) / sizeof(t[0])) }
const YavHTTPReasonTable kReasonTables[] = {YAV_TABLE(kReasons1xx), YAV_TABLE(kReasons2xx),
                                            YAV_TABLE(kReasons3xx), YAV_TABLE(kReasons4xx),
                                            YAV_TABLE(kReasons5xx)};
#undef YAV_TABLE
const int kReasonTableCount = static_cast<int>(sizeof(kReasonTables) / sizeof(kReasonTables[0]));

bool sameBytes(const YavStringRef& a, const YavStringRef& b) {
    return a.getLength() == b.getLength() &&
           std::memcmp(a.getData(), b.getData(), static_cast<size_t>(a.getLength())) == 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Win32 file systems answer to an 8.3 alias (PROGRA~1.TXT, A~1) as to the
// long name it stands for, so such a segment could reach a resource under a
// name that the authorization rules do not know.
bool isShortNameAlias(const char* s, int n) {
    const char* dot = static_cast<const char*>(std::memchr(s, '.', static_cast<size_t>(n)));
    if (dot != nullptr) {
        int p = static_cast<int>(dot - s);
        return p >= 3 && isDigit(s[p - 1]) && s[p - 2] == '~';
    }
    return n > 2 && isDigit(s[n - 1]) && s[n - 2] == '~';
}

// True when loc lowers ASCII as the C locale does (A-Z to a-z, nothing else
// changed), so runs of ASCII can be lowered without the locale.  Most
// locales do; a Turkish one lowers 'I' to a dotless i.  The last locale
// found to qualify is remembered.
bool lowersAsciiPlainly(ulq_loc_t loc) {
    static std::atomic<ulq_loc_t> plain{nullptr};
    if (plain.load(std::memory_order_acquire) == loc) return true;
    for (wchar_t c = 1; c < 0x80; ++c) {
        wchar_t expected = (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c;
        if (ulq_towlower(loc, c) != expected) return false;
    }
    plain.store(loc, std::memory_order_release);
    return true;
}

// Appends the ASCII run at s (n bytes, all below 0x80) lowered: only A-Z
// change.
bool appendLoweredAscii(const char* s, int n, YavString& out) {
    int length = out.getLength();
    if (!out.reserve(length + n)) return false;
    char* d = out.getWritableData() + length;
    for (int i = 0; i < n; ++i) {
        char c = s[i];
        d[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    out.setLength(length + n);
    return true;
}

// Appends the segment lower-cased in the current locale.  Runs of ASCII are
// lowered directly where the locale lowers them as the C locale does; every
// other character is decoded, lowered by the locale and re-encoded as UTF-8.
yav_status_t appendLowered(const char* s, int n, YavString& out) {
    ulq_cs_t utf8 = ulq_utf8_cs();
    ulq_loc_t loc = ulq_current_loc();
    if (loc == nullptr) return YAV_S_NO_MEMORY;
    const bool plainAscii = lowersAsciiPlainly(loc);
    int i = 0;
    while (i < n) {
        int run = 0;
        while (plainAscii && i + run < n && static_cast<unsigned char>(s[i + run]) < 0x80) ++run;
        if (run > 0) {
            if (!appendLoweredAscii(s + i, run, out)) return YAV_S_NO_MEMORY;
            i += run;
            continue;
        }
        wchar_t wc = 0;
        int used = ulq_mbtowc(utf8, &wc, s + i, static_cast<size_t>(n - i));
        if (used < 0) {
            YavString text(s, n);
            YAV_SVC_LOG(yav_svc_http_parser, svc_c_sev_error, "%s", YAV_S_MB_TO_UCS2_FAILED,
                        text.ok() ? text.getData() : "");
            return YAV_S_MB_TO_UCS2_CONVERSION;
        }
        if (used == 0) used = 1;  // a zero byte is one character
        wc = ulq_towlower(loc, wc);
        char encoded[MB_LEN_MAX];
        int length = ulq_wctomb(utf8, encoded, wc);
        if (length < 0) {
            const wchar_t text[2] = {wc, L'\0'};
            YAV_SVC_LOG(yav_svc_http_parser, svc_c_sev_error, "%S", YAV_S_UCS2_TO_MB_FAILED, text);
            return YAV_S_UCS2_TO_MB_CONVERSION;
        }
        if (!out.append(encoded, length)) return YAV_S_NO_MEMORY;
        i += used;
    }
    return 0;
}

yav_status_t processSegment(bool caseSensitive, bool win32FileSystem, const char* s, int n,
                            YavString& out) {
    if (win32FileSystem && isShortNameAlias(s, n)) return YAV_S_ACCESS_DENIED;
    if (caseSensitive) return out.append(s, n) ? 0 : YAV_S_NO_MEMORY;
    bool dotSegment = (n == 1 && s[0] == '.') || (n == 2 && s[0] == '.' && s[1] == '.');
    if (win32FileSystem && !dotSegment) {
        // Win32 ignores trailing dots: "name..." opens "name".
        while (n > 0 && s[n - 1] == '.') --n;
    }
    return appendLowered(s, n, out);
}

// The pieces of scheme://[host]:port path?query, and their total length.
struct YavUrlParts {
    YavStringRef portSep;
    YavStringRef port;
    YavStringRef querySep;
    bool bracketed;
    int64_t length;
};

void prepareUrl(const YavStringRef& scheme, const YavStringRef& host, const YavStringRef& port,
                const YavStringRef& path, const YavStringRef& query, YavUrlParts& parts) {
    static const YavStringRef kPort80("80", 2);
    static const YavStringRef kPort443("443", 3);
    static const YavStringRef kColon(":", 1);
    const YavStringRef& defaultPort = scheme.equals(yav_protocol_http) ? kPort80 : kPort443;
    if (!port.isEmpty() && !sameBytes(port, defaultPort)) {
        parts.portSep = kColon;
        parts.port = port;
    }
    if (!query.isEmpty()) parts.querySep = yav_str_question;
    parts.bracketed = !host.isEmpty() && host.find(':') >= 0;
    parts.length = static_cast<int64_t>(scheme.getLength()) + host.getLength() +
                   parts.portSep.getLength() + parts.port.getLength() + path.getLength() +
                   parts.querySep.getLength() + query.getLength() + 3 + (parts.bracketed ? 2 : 0);
}

char* putText(char* at, const YavStringRef& text) {
    std::memcpy(at, text.getData(), static_cast<size_t>(text.getLength()));
    return at + text.getLength();
}

// Writes the URL and its terminator.  REQUIRES: room for parts.length + 1.
void composeUrl(char* at, const YavStringRef& scheme, const YavStringRef& host,
                const YavStringRef& path, const YavStringRef& query, const YavUrlParts& parts) {
    at = putText(at, scheme);
    at = putText(at, yav_str_scheme);
    if (parts.bracketed) *at++ = '[';
    at = putText(at, host);
    if (parts.bracketed) *at++ = ']';
    at = putText(at, parts.portSep);
    at = putText(at, parts.port);
    at = putText(at, path);
    at = putText(at, parts.querySep);
    at = putText(at, query);
    *at = '\0';
}

template <class StringT>
bool buildUrlInto(const YavStringRef& scheme, const YavStringRef& host, const YavStringRef& port,
                  const YavStringRef& path, const YavStringRef& query, StringT& out) {
    YavUrlParts parts;
    prepareUrl(scheme, host, port, path, query, parts);
    if (parts.length > YAV_STRING_MAX_LENGTH) return false;
    int length = static_cast<int>(parts.length);
    out.clear();
    if (!out.reserve(length)) return false;
    composeUrl(out.getWritableData(), scheme, host, path, query, parts);
    out.setLength(length);
    return true;
}

bool startsWithIgnoringCase(const YavStringRef& text, const YavStringRef& prefix) {
    if (text.getLength() < prefix.getLength()) return false;
    YavHTTPHdrNameRef head(text.getData(), prefix.getLength());
    return head.compare(prefix) == 0;
}

}  // namespace

void YavHTTP::getMethod(const YavStringRef& text, YavHTTPMethod& method) {
    method = yav_http_method_unknown;
    for (int i = 0; kMethods[i].text != nullptr; ++i) {
        if (kMethods[i].length == text.getLength() &&
            std::memcmp(kMethods[i].text, text.getData(), static_cast<size_t>(text.getLength())) ==
                0) {
            method = static_cast<YavHTTPMethod>(i);
            return;
        }
    }
}

void YavHTTP::getMethodName(int method, YavStringRef& text) {
    if (method >= yav_http_options && method <= yav_http_move) {
        text.set(kMethods[method].text, kMethods[method].length);
    } else {
        text.set(kUnrecognized.text, kUnrecognized.length);
    }
}

void YavHTTP::getReason(int code, YavStringRef& text) {
    int table = code / 100 - 1;
    const YavHTTPText* entry;
    if (table < 0 || table >= kReasonTableCount) {
        entry = &kReasons5xx[0];
    } else {
        int index = code % 100;
        entry = index < kReasonTables[table].count ? &kReasonTables[table].entries[index]
                                                   : &kReasonTables[table].entries[0];
    }
    text.set(entry->text, entry->length);
}

yav_status_t YavHTTP::processURI(bool caseSensitive, bool win32FileSystem, const YavStringRef& uri,
                                 YavString& out) {
    const char* s = uri.getData();
    int n = uri.getLength();
    if (!out.reserve(out.getLength() + n)) return YAV_S_NO_MEMORY;
    int start = 0;
    for (bool first = true; start <= n; first = false) {
        const char* slash =
            static_cast<const char*>(std::memchr(s + start, '/', static_cast<size_t>(n - start)));
        int end = slash != nullptr ? static_cast<int>(slash - s) : n;
        int segment = start;
        while (segment < end && (s[segment] == ' ' || s[segment] == '\t')) ++segment;
        if (!first && (out.isEmpty() || out.getData()[out.getLength() - 1] != '/')) {
            if (!out.append('/')) return YAV_S_NO_MEMORY;
        }
        if (segment < end) {
            yav_status_t status =
                processSegment(caseSensitive, win32FileSystem, s + segment, end - segment, out);
            if (status != 0) return status;
        }
        start = end + 1;
    }
    return 0;
}

bool YavHTTP::isAbsoluteURL(const YavStringRef& url) {
    return startsWithIgnoringCase(url, yav_scheme_https) ||
           startsWithIgnoringCase(url, yav_scheme_http);
}

char* YavHTTP::buildUrl(YavAllocator* allocator, const YavStringRef& scheme,
                        const YavStringRef& host, const YavStringRef& port,
                        const YavStringRef& path, const YavStringRef& query) {
    YavUrlParts parts;
    prepareUrl(scheme, host, port, path, query, parts);
    if (parts.length > INT_MAX - 1) return nullptr;
    char* block = static_cast<char*>(
        YavAllocator::allocate(allocator, static_cast<size_t>(parts.length) + 1));
    if (block == nullptr) return nullptr;
    composeUrl(block, scheme, host, path, query, parts);
    return block;
}

bool YavHTTP::buildUrl(const YavStringRef& scheme, const YavStringRef& host,
                       const YavStringRef& port, const YavStringRef& path,
                       const YavStringRef& query, YavString& out) {
    return buildUrlInto(scheme, host, port, path, query, out);
}

bool YavHTTP::buildUrl(const YavStringRef& scheme, const YavStringRef& host,
                       const YavStringRef& port, const YavStringRef& path,
                       const YavStringRef& query, YavLCPString& out) {
    return buildUrlInto(scheme, host, port, path, query, out);
}

yav_status_t YavHTTP::buildAbsoluteURL(const YavStringRef& baseUrl, const YavStringRef& url,
                                       YavString& out) {
    if (isAbsoluteURL(url)) return out.set(url) ? 0 : YAV_S_NO_MEMORY;
    YavString base(baseUrl);
    if (!base.ok()) return YAV_S_NO_MEMORY;
    YavStringRef scheme, host, port, location, query;
    YavBufferCursor cursor(base.getData(), base.getLength());
    yav_status_t status = YavHTTPParser::parseHTTPURL(cursor, scheme, host, port, location, query);
    if (status != 0) return status;
    if (!url.isEmpty() && url.at(0) == '/') {
        return buildUrl(scheme, host, port, url, YavStringRef(), out) ? 0 : YAV_S_NO_MEMORY;
    }
    // In UTF-8 no byte of a multi-byte character equals '/', so the last
    // '/' byte is the last '/' character.
    YavStringRef directory = yav_str_slash;
    for (int i = location.getLength() - 1; i >= 0; --i) {
        if (location.at(i) == '/') {
            directory = location.substr(0, i + 1);
            break;
        }
    }
    if (!buildUrl(scheme, host, port, directory, YavStringRef(), out)) return YAV_S_NO_MEMORY;
    return out.append(url) ? 0 : YAV_S_NO_MEMORY;
}
