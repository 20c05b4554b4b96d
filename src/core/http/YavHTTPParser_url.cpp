// Absolute HTTP URLs: scheme://host[:port]/location?query, every piece
// optional, each a reference into the cursor's bytes.
#include "core/http/YavHTTPHeaders.h"
#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"

namespace {

// Offset of the first of the bytes a or b among the remaining bytes, or the
// remaining count when there is neither.
int runUntil(const YavBufferCursor& cursor, int a, int b) {
    int n = 0;
    for (int c = cursor.peek(0); c >= 0 && c != a && c != b; c = cursor.peek(++n)) {
    }
    return n;
}

}  // namespace

yav_status_t YavHTTPParser::parseURLScheme(YavBufferCursor& cursor, YavStringRef& scheme) {
    int colon = cursor.find(':');
    // ':' '/' '/' and at least one byte after them.
    if (colon < 0 || cursor.peek(colon + 1) != '/' || cursor.peek(colon + 2) != '/' ||
        cursor.peek(colon + 3) < 0) {
        return YAV_S_NOT_AVAILABLE;
    }
    scheme.set(cursor.getCurrentText(), colon);
    cursor.advance(colon + 3);
    cursor.mark();
    return 0;
}

yav_status_t YavHTTPParser::parseURLHost(YavBufferCursor& cursor, YavStringRef& host) {
    if (cursor.atEnd()) return YAV_S_NOT_AVAILABLE;
    if (cursor.peek(0) == '[') {
        int close = cursor.find(']');
        if (close <= 1) return YAV_S_NOT_AVAILABLE;
        host.set(cursor.getCurrentText() + 1, close - 1);
        cursor.advance(close + 1);
    } else {
        int n = runUntil(cursor, ':', '/');
        host.set(cursor.getCurrentText(), n);
        cursor.advance(n);
    }
    cursor.mark();
    return 0;
}

yav_status_t YavHTTPParser::parseURLPort(YavBufferCursor& cursor, YavStringRef& port) {
    if (cursor.getRemaining() < 2 || cursor.peek(0) != ':') return YAV_S_NOT_AVAILABLE;
    int digits = 0;
    while (cursor.peek(1 + digits) >= '0' && cursor.peek(1 + digits) <= '9') ++digits;
    if (digits == 0 || cursor.peek(1 + digits) != '/') return YAV_S_NOT_AVAILABLE;
    port.set(cursor.getCurrentText() + 1, digits);
    cursor.advance(1 + digits);
    cursor.mark();
    return 0;
}

yav_status_t YavHTTPParser::parseURLLocation(YavBufferCursor& cursor, YavStringRef& location) {
    if (cursor.peek(0) != '/') return YAV_S_NOT_AVAILABLE;
    int n = runUntil(cursor, '?', '?');
    location.set(cursor.getCurrentText(), n);
    cursor.advance(n);
    cursor.mark();
    return 0;
}

yav_status_t YavHTTPParser::parseURLQuery(YavBufferCursor& cursor, YavStringRef& query) {
    if (cursor.peek(0) != '?') return YAV_S_NOT_AVAILABLE;
    query.set(cursor.getCurrentText() + 1, cursor.getRemaining() - 1);
    cursor.advance(cursor.getRemaining());
    cursor.mark();
    return 0;
}

yav_status_t YavHTTPParser::parseHTTPURL(YavBufferCursor& cursor, YavStringRef& scheme,
                                         YavStringRef& host, YavStringRef& port,
                                         YavStringRef& location, YavStringRef& query) {
    cursor.mark();
    const YavBufferCursor start = cursor;
    yav_status_t status = parseURLScheme(cursor, scheme);
    if (status == YAV_S_NOT_AVAILABLE) {
        scheme.set(cursor.getCurrentText(), 0);
    } else if (status != 0) {
        return status;
    } else if (!YavHTTPHdrNameRef(scheme).equals(yav_protocol_http) &&
               !YavHTTPHdrNameRef(scheme).equals(yav_protocol_https)) {
        cursor = start;  // position and mark as they were
        return YAV_S_NOT_AVAILABLE;
    }

    // The remaining pieces are optional: each one absent is left empty.
    struct Step {
        yav_status_t (*parse)(YavBufferCursor&, YavStringRef&);
        YavStringRef* out;
    } const steps[] = {{parseURLHost, &host},
                       {parseURLPort, &port},
                       {parseURLLocation, &location},
                       {parseURLQuery, &query}};
    for (const Step& step : steps) {
        status = step.parse(cursor, *step.out);
        if (status == YAV_S_NOT_AVAILABLE) {
            step.out->set(cursor.getCurrentText(), 0);
        } else if (status != 0) {
            return status;
        }
    }
    return 0;
}
