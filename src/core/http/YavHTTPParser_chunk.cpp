// Chunked transfer coding: one chunk at a time, nothing read beyond the
// bytes at hand.  The work is done on a copy of the cursor, which is
// committed only on success, so a chunk that has not fully arrived leaves
// the caller's cursor untouched.
#include <cctype>
#include <cerrno>
#include <cstdint>

#include "core/buffers/yav_strtol.h"
#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"

namespace {

bool atCRLF(const YavBufferCursor& cursor, int offset) {
    return cursor.peek(offset) == '\r' && cursor.peek(offset + 1) == '\n';
}

}  // namespace

yav_status_t YavHTTPParser::parseChunk(YavBufferCursor& cursor, YavStringRef& data) {
    YavBufferCursor c = cursor;
    // A size is hex digits only: no sign, no leading blanks.
    const int first = c.peek(0);
    if (first < 0 || !isxdigit(first)) return YAV_S_NOT_AVAILABLE;
    const int savedErrno = errno;
    errno = 0;
    int digits = 0;
    const unsigned long size = yav_strtoul_n(c.getCurrentText(), c.getRemaining(), &digits, 16);
    const bool overflow = errno == ERANGE;
    errno = savedErrno;
    if (digits == 0 || overflow || size > static_cast<unsigned long>(INT32_MAX) - 2) {
        return YAV_S_NOT_AVAILABLE;
    }
    c.advance(digits);

    // Chunk extensions are skipped up to the end of the size line.
    while (!atCRLF(c, 0)) {
        if (c.getRemaining() < 2) return YAV_S_NOT_AVAILABLE;
        c.advance(1);
    }
    c.advance(2);
    if (c.atEnd()) return YAV_S_NOT_AVAILABLE;

    if (size > 0) {
        if (static_cast<uint64_t>(c.getRemaining()) < static_cast<uint64_t>(size) + 2) {
            return YAV_S_NOT_AVAILABLE;
        }
        const int length = static_cast<int>(size);
        if (!atCRLF(c, length)) return YAV_S_NOT_AVAILABLE;
        data.set(c.getCurrentText(), length);
        c.advance(length + 2);
    } else {
        data.set(c.getCurrentText(), 0);
    }
    c.mark();
    cursor = c;
    return 0;
}
