// YavHTTP: the HTTP vocabulary and URL arithmetic shared by the library --
// the method and reason-phrase tables, the normalisation of a request URI
// into the object name that the unprotected-resource cache and the
// authorization server know it by, and the building of URLs.
//
// Static operations only, without state; any thread may call them.  Texts
// handed out (method names, reason phrases) reference constant tables.
// Output strings belong to the caller.  Not instantiable.
#ifndef YAV_CORE_HTTP_YAVHTTP_H
#define YAV_CORE_HTTP_YAVHTTP_H

#include "core/buffers/YavString.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"

// The indexes of the method table; yav_http_method_unknown for a method
// that is not recognised.
enum YavHTTPMethod {
    yav_http_method_unknown = -1,
    yav_http_options = 0,
    yav_http_get,
    yav_http_head,
    yav_http_post,
    yav_http_put,
    yav_http_trace,
    yav_http_propfind,
    yav_http_proppatch,
    yav_http_mkcol,
    yav_http_copy,
    yav_http_move,
};

class YAV_EXPORT YavHTTP {
  public:
    YavHTTP() = delete;

    // Exact, case-sensitive search of the method table.
    static void getMethod(const YavStringRef& text, YavHTTPMethod& method);
    // The table text of a method; "unrecognized" outside the table.
    static void getMethodName(int method, YavStringRef& text);
    // The reason phrase of a status code; codes outside 100-599 give
    // "Server Error", unknown codes of a known class the class's first text.
    static void getReason(int code, YavStringRef& text);

    // Turns a request path into its object name and appends it to out (the
    // caller may have put the host's branch there): before every segment
    // but the first a '/' is added unless out already ends with one, so
    // repeated '/' collapse to one; with win32FileSystem, short-name
    // aliases (PROGRA~1.TXT, A~1) are refused with YAV_S_ACCESS_DENIED and
    // trailing dots of a segment are dropped; without caseSensitive every
    // character is lower-cased in the current locale.  "." and ".." are kept
    // as they are.  On failure out holds what was built so far.
    // REQUIRES: uri does not refer into out.
    static yav_status_t processURI(bool caseSensitive, bool win32FileSystem,
                                   const YavStringRef& uri, YavString& out);

    // True when url begins with "http://" or "https://", in any case.
    static bool isAbsoluteURL(const YavStringRef& url);

    // scheme://host[:port]path[?query]; a host holding ':' is bracketed, the
    // port is left out when empty or the scheme's default ("80" for "http",
    // "443" otherwise).  The path is written unchanged.
    // Returns a terminated block from allocator (freed by the caller with
    // that allocator), or null when memory ran out.
    static char* buildUrl(YavAllocator* allocator, const YavStringRef& scheme,
                          const YavStringRef& host, const YavStringRef& port,
                          const YavStringRef& path, const YavStringRef& query);
    // The same into out (replacing its text); false when memory ran out.
    static bool buildUrl(const YavStringRef& scheme, const YavStringRef& host,
                         const YavStringRef& port, const YavStringRef& path,
                         const YavStringRef& query, YavString& out);
    static bool buildUrl(const YavStringRef& scheme, const YavStringRef& host,
                         const YavStringRef& port, const YavStringRef& path,
                         const YavStringRef& query, YavLCPString& out);

    // The absolute form of a redirect target url given the absolute base URL
    // of the request: an absolute url as it is; "/..." on the base's scheme,
    // host and port; anything else appended to the base's directory.  The
    // base's query is dropped and dot segments are not resolved.
    // REQUIRES: neither baseUrl nor url refers into out.
    static yav_status_t buildAbsoluteURL(const YavStringRef& baseUrl, const YavStringRef& url,
                                         YavString& out);
};

#endif  // YAV_CORE_HTTP_YAVHTTP_H
