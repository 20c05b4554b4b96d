// Percent-decoding of URIs and form values.  The source is read through a
// cursor, so no escape can make the decoder look past its end.
#include <climits>

#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"
#include "core/trace/YavTrace.h"
#include "core/trace/YavTraceRegistry.h"
#include "core/ulq/ulq.h"

namespace {

const int kTraceLevel = 8;

// The value of a hex digit, or -1.
int atox(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The non-zero value of the n hex digits at the cursor, or -1 (also when
// fewer than n bytes remain).
long hexValue(const YavBufferCursor& cursor, int n) {
    long value = 0;
    for (int i = 0; i < n; ++i) {
        int digit = atox(cursor.peek(i));
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value != 0 ? value : -1;
}

// %hh: appends the byte and advances 2; false (nothing consumed) when the
// two bytes are not a non-zero hex value or out cannot grow.
bool yav_convert_phh(YavBufferCursor& cursor, YavNCPString& out) {
    long value = hexValue(cursor, 2);
    if (value < 0 || !out.append(static_cast<char>(value))) return false;
    cursor.advance(2);
    return true;
}

// %uhhhh (after the 'u'): the 16-bit character in the local code page.
bool yav_convert_puhhhh(YavBufferCursor& cursor, YavNCPString& out) {
    long value = hexValue(cursor, 4);
    if (value < 0) return false;
    char buffer[MB_LEN_MAX];
    int length = ulq_wctomb(ulq_local_cs(), buffer, static_cast<wchar_t>(value));
    if (length <= 0 || !out.append(buffer, length)) return false;
    cursor.advance(4);
    return true;
}

yav_status_t badRequest(const char* what) {
    YAV_TRACE(YavTraceRegistry::instance().get("tessaro.http"), kTraceLevel, "%s", what);
    return YAV_S_HTTP_BAD_REQUEST;
}

}  // namespace

yav_status_t YavHTTPParser::decodeURI(const YavStringRef& source, YavNCPString& out) {
    const int length = source.getLength();
    out.set("", 0);
    if (!out.reserve(length + 1)) return YAV_S_NO_MEMORY;
    YavBufferCursor cursor(source.getData(), length);
    // Nothing is copied until the first '%': most URIs have none.
    int first = cursor.find('%');
    if (first < 0) {
        return out.set(source.getData(), length) ? 0 : YAV_S_NO_MEMORY;
    }
    if (!out.append(source.getData(), first)) return YAV_S_NO_MEMORY;
    cursor.advance(first);
    while (!cursor.atEnd()) {
        int c = cursor.get();
        if (c != '%') {
            if (!out.append(static_cast<char>(c))) return YAV_S_NO_MEMORY;
            continue;
        }
        int next = cursor.peek(0);
        if (next < 0) return badRequest("Found invalid % sequence - bad request");
        if (next == 'u' || next == 'U') {
            cursor.advance(1);
            if (!yav_convert_puhhhh(cursor, out)) {
                return badRequest("Found invalid %uhhhh sequence - bad request");
            }
        } else if (next == '%') {
            cursor.advance(1);
            if (!out.append('%')) return YAV_S_NO_MEMORY;
        } else if (!yav_convert_phh(cursor, out)) {
            return badRequest("Found invalid %hh sequence - bad request");
        }
    }
    return 0;
}
