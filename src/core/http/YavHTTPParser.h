// YavHTTPParser: the lexer and parser for HTTP/1.x text -- request and
// status lines, header lines and header blocks, chunks, absolute URLs,
// form-encoded argument lists and percent-encoded URIs, and the token,
// text, quoted-string and cookie-value runs that the cookie classes build
// on; also the UTF-8 check yav_validate_utf8.
//
// Static operations only, without state; any thread may call them with its
// own cursor and tables.  The parser never copies what it recognises: the
// output references point into the cursor's bytes, which the caller owns
// and must keep alive while the references are used.  Only URI decoding and
// the argument tables produce owned strings.  Header and argument tables
// hold objects allocated from the table's allocator (see YavHTTPHeaderSet,
// YavHTTPArgSet).  parsePostData and parsePostDataSet write into the
// cursor's bytes.
//
// Cursor discipline: an operation that succeeds sets its outputs, advances
// past what it took and marks; one that fails with YAV_S_NOT_AVAILABLE
// leaves the cursor where it was.  Request lines, status lines and header
// blocks may leave the cursor part-way on other failures.  No operation
// reads outside the cursor's remaining bytes.  Not instantiable.
#ifndef YAV_CORE_HTTP_YAVHTTPPARSER_H
#define YAV_CORE_HTTP_YAVHTTPPARSER_H

#include <cstddef>
#include <cstdint>

#include "core/buffers/YavBufferCursor.h"
#include "core/buffers/YavString.h"
#include "core/hash/YavMultiHashTable.h"
#include "core/http/YavHTTP.h"
#include "core/http/YavHTTPHdrNameRef.h"
#include "core/list/YavDeleters.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"

// Character classes: 256 entries indexed by the unsigned byte; 1 = the byte
// ends the run, 0 = it belongs to it.  Constant, shared by every thread.
extern "C" {
YAV_EXPORT extern const uint32_t yav_http_token_delimiter[256];
YAV_EXPORT extern const uint32_t yav_http_text_delimiter[256];
YAV_EXPORT extern const uint32_t yav_http_unquoted_cookie_value_delimiter[256];
YAV_EXPORT extern const uint32_t yav_http_whitespace_delimiter[256];
YAV_EXPORT extern const uint32_t yav_http_uri_delimiter[256];
YAV_EXPORT extern const uint32_t yav_http_version_delimiter[256];
YAV_EXPORT extern const uint32_t yav_http_reason_delimiter[256];
}

// A header table: names as case-blind header-name references, values as
// references in the network code page, several values per name in the
// order parsed.  The parser makes each name and value with yav_new from the
// table's allocator, so the table must be constructed owning its keys and
// values (YavHTTPHeaderSet(allocator, true, true)) and initialised with
// YAV_HTTP_HEADER_BUCKETS buckets; delEntries() or its destructor frees
// them.  Look-ups by name are blind to ASCII case, as the name hash is.
typedef YavMultiHashTable<YavHTTPHdrNameRef, YavNCPStringRef, YavPlacedDelete, YavPlacedDelete>
    YavHTTPHeaderSet;
enum { YAV_HTTP_HEADER_BUCKETS = 17 };

// Argument tables: several values per name, in the order parsed.  Each
// name is its own block (the reference and a terminated copy of its text,
// made with yav_placed_alloc from the table's allocator), so names outlive
// the text they were found in; values are owned strings made with yav_new.
// The table must therefore be constructed owning its keys and values
// (allocator, true, true) and be initialised; delEntries() or its
// destructor frees them.  Names compare exactly.
typedef YavMultiHashTable<YavStringRef, YavString, YavPlacedDelete, YavPlacedDelete> YavHTTPArgSet;
typedef YavMultiHashTable<YavStringRef, YavNCPString, YavPlacedDelete, YavPlacedDelete>
    YavHTTPPostDataSet;

// Checks that the length bytes at bytes are UTF-8 in the original wide form
// (sequences of up to six bytes, values up to 31 bits).  allAscii becomes
// true and is cleared at the first multi-byte sequence.  Returns -2 when
// the bytes hold a zero byte anywhere; else 0 for a stray continuation
// byte, 0xFE/0xFF, or a sequence cut short by the end or by a byte that is
// not a continuation; -1 when everything else is sound but some sequence is
// over-long; 1 otherwise.  Stateless; any thread.
// REQUIRES: bytes readable for length bytes (null only when length is 0).
YAV_EXPORT int yav_validate_utf8(const char* bytes, size_t length, bool& allAscii);

class YAV_EXPORT YavHTTPParser {
  public:
    YavHTTPParser() = delete;

    // Leading white space; method; at least one SP/HT; URI; at least one
    // SP/HT; version; line terminator.  An unknown method sets method to
    // yav_http_method_unknown and is reported as YAV_S_HTTP_BAD_METHOD only
    // after the rest of the line parsed well (all outputs then filled).
    // methodText may be null.
    static yav_status_t parseRequestLine(YavBufferCursor& cursor, YavHTTPMethod& method,
                                         YavStringRef* methodText, YavStringRef& uri,
                                         YavStringRef& version);
    // Leading white space; version; code; reason phrase; terminator.  A
    // code that is not three digits is reported as YAV_S_HTTP_BAD_STATUS_CODE
    // only after the rest of the line parsed well.
    static yav_status_t parseStatusLine(YavBufferCursor& cursor, YavStringRef& version,
                                        YavStringRef& statusCode, YavStringRef& reason);

    // A token looked up (case-sensitively) in the method table; not found:
    // yav_http_method_unknown and YAV_S_HTTP_BAD_METHOD with the cursor past
    // the token.  methodText may be null.
    static yav_status_t parseMethod(YavBufferCursor& cursor, YavHTTPMethod& method,
                                    YavStringRef* methodText);
    static yav_status_t parseURI(YavBufferCursor& cursor, YavStringRef& uri);
    // "HTTP/" digits* "." digits+.
    static yav_status_t parseVersion(YavBufferCursor& cursor, YavStringRef& version);
    // A token of exactly three digits; any other token is consumed and gives
    // YAV_S_HTTP_BAD_STATUS_CODE.
    static yav_status_t parseStatusCode(YavBufferCursor& cursor, YavStringRef& code);
    static yav_status_t parseReasonPhrase(YavBufferCursor& cursor, YavStringRef& reason);

    static yav_status_t parseToken(YavBufferCursor& cursor, YavStringRef& token);
    static yav_status_t parseText(YavBufferCursor& cursor, YavStringRef& text);
    // The whole quoted string, both quotes and any escapes included.
    static yav_status_t parseQuotedString(YavBufferCursor& cursor, YavStringRef& quoted);
    static yav_status_t parseUnquotedCookieValue(YavBufferCursor& cursor, YavStringRef& value);
    // The 29-byte shape "Www, DD-Mon-YYYY HH:MM:SS GMT" (separators checked).
    static yav_status_t parseCookieExpiresParam(YavBufferCursor& cursor, YavStringRef& date);
    // Quoted string, else expiry date, else unquoted value.
    static yav_status_t parseCookieValue(YavBufferCursor& cursor, YavStringRef& value);

    // name ":" [white space] text; the value may be empty and never spans
    // lines.
    static yav_status_t parseHeader(YavBufferCursor& cursor, YavStringRef& name,
                                    YavStringRef& value);
    // Header lines until one does not start with a token (the empty line
    // that ends the block, which is left unconsumed, or the end of the
    // bytes); each is added to headers.
    // REQUIRES: headers as described at YavHTTPHeaderSet.
    static yav_status_t parseHeaderSet(YavBufferCursor& cursor, YavHTTPHeaderSet& headers);
    // Rewrites every entry of headers as "name: value\r\n" into one block
    // from allocator and re-parses the table over it.  The caller owns the
    // block (null when the table was empty) and frees it with the same
    // allocator once the table is no longer used.  block may be null when
    // the allocator reclaims its blocks itself (a per-request caching
    // allocator emptied at the end of the request).  A block that does not
    // parse back whole gives YAV_S_CFG_INTERNAL with the table emptied.
    // The block lists the headers in table order (by bucket), not in the
    // order they were added.
    // REQUIRES: headers as described at YavHTTPHeaderSet.
    static yav_status_t rebuildHeaderSet(YavHTTPHeaderSet& headers, YavAllocator* allocator,
                                         char** block);

    // token "=" value: every '+' of the value is rewritten in place to a
    // space, and the value ends at '&', a control byte or the end (it may be
    // empty: the cursor then stays just past '=').  A value holding '+'
    // under a read-only cursor gives YAV_S_INVALID_VALUE, nothing rewritten.
    static yav_status_t parsePostData(YavBufferCursor& cursor, YavStringRef& name,
                                      YavNCPStringRef& value);
    // [terminator] then items as parsePostData separated by '&', each value
    // percent-decoded; ends quietly where no further name starts.  Rewrites
    // '+' in the cursor's bytes.  REQUIRES: args as at YavHTTPPostDataSet.
    static yav_status_t parsePostDataSet(YavBufferCursor& cursor, YavHTTPPostDataSet& args);
    // name "=" value "&" ... with any bytes as names and values, copied
    // undecoded; ends quietly when no '=' is left.  A failed add leaves the
    // cursor after the last item added.  REQUIRES: args as at YavHTTPArgSet.
    static yav_status_t parseArgSet(YavBufferCursor& cursor, YavHTTPArgSet& args);
    // The items after the first '?' of uri, as parsePostData separated by
    // '&', each value percent-decoded, on a private copy (uri itself is not
    // rewritten); no '?': 0 and args unchanged.
    // REQUIRES: args as at YavHTTPArgSet.
    static yav_status_t parseQueryArgsSet(const YavStringRef& uri, YavHTTPArgSet& args);

    // Pieces of an absolute URL.  Scheme: the text before the first ':',
    // which must be followed by "//" and at least one more byte; "://" is
    // consumed.  Host: "[...]" (non-empty, brackets consumed, the output
    // without them) or the possibly empty run up to ':', '/' or the end.
    // Port: ':' then at least one digit, then a '/' (not consumed) -- so a
    // port with no path after it is not recognised.  Location: from '/' up
    // to '?' or the end.  Query: everything after '?'.
    static yav_status_t parseURLScheme(YavBufferCursor& cursor, YavStringRef& scheme);
    static yav_status_t parseURLHost(YavBufferCursor& cursor, YavStringRef& host);
    static yav_status_t parseURLPort(YavBufferCursor& cursor, YavStringRef& port);
    static yav_status_t parseURLLocation(YavBufferCursor& cursor, YavStringRef& location);
    static yav_status_t parseURLQuery(YavBufferCursor& cursor, YavStringRef& query);
    // The five pieces in turn, each missing one empty.  A scheme other than
    // "http" or "https" (in any case) gives YAV_S_NOT_AVAILABLE.
    static yav_status_t parseHTTPURL(YavBufferCursor& cursor, YavStringRef& scheme,
                                     YavStringRef& host, YavStringRef& port, YavStringRef& location,
                                     YavStringRef& query);

    // One chunk of a chunked body: a hexadecimal size (as yav_strtoul with
    // base 16), ignored extensions up to CR LF, CR LF, then size data bytes
    // and CR LF, which are consumed.  data references the size bytes (empty
    // for the last chunk, "0" CR LF, after which at least one byte -- the
    // trailer or its ending line -- must remain).
    static yav_status_t parseChunk(YavBufferCursor& cursor, YavStringRef& data);

    // Percent-decoding into out: %hh gives the byte hh, %uhhhh the 16-bit
    // character hhhh in the local code page, %% one percent sign; '+' is
    // left alone.  A lone '%', a bad or zero hex value (%00, %u0000) or a
    // character with no local form gives YAV_S_HTTP_BAD_REQUEST (traced at
    // level 8 to "tessaro.http"), out then holding what was decoded before
    // it.  YAV_S_NO_MEMORY when out cannot hold the source.
    static yav_status_t decodeURI(const YavStringRef& source, YavNCPString& out);

    // CR LF, LF or CR CR LF; true when one was consumed.  Does not mark.
    static bool wasteTerminator(YavBufferCursor& cursor);
    // [terminator] 1*(SP|HT): the number of SP/HT bytes consumed.  When
    // there are none the cursor goes back to the mark (undoing a consumed
    // terminator), so callers mark first.  Does not mark.
    static int wasteWhiteSpace(YavBufferCursor& cursor);
};

#endif  // YAV_CORE_HTTP_YAVHTTPPARSER_H
