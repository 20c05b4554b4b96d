// Conversions between a code set and UTF-8, UCS-2 and wchar_t.  Each walks
// the source one character at a time through YavCodeSetScope, so a code set
// that needs a lock takes it once per call.
#include <errno.h>

#include <climits>
#include <cstring>

#include "core/ulq/ulq.h"
#include "core/ulq/ulq_internal.h"
#include "core/ulq/yav_utf8_codec.h"

namespace {

bool isSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// Decoder of one character: length (>= 1), or negative as
// YavCodeSetScope::decode.
struct Utf8Codec {
    int decode(const char* s, size_t n, uint32_t* wc) {
        int r = yav_utf8_decode(s, n, wc);
        return r == YAV_UTF8_INCOMPLETE ? YAV_ULQ_INCOMPLETE : r < 0 ? YAV_ULQ_INVALID : r;
    }
    int encode(uint32_t wc, char* out) { return yav_utf8_encode(wc, out); }
};

// Re-encodes srcLen bytes from one coding to another.  Output length, or -1
// on an invalid or incomplete character, a character with no form in the
// target, or a destination that is too small.
template <class From, class To>
long recode(From& from, To& to, const char* src, size_t srcLen, char* dst, size_t dstSize) {
    if ((src == nullptr && srcLen != 0) || (dst == nullptr && dstSize != 0)) return -1;
    size_t in = 0;
    size_t out = 0;
    while (in < srcLen) {
        uint32_t wc = 0;
        int length = from.decode(src + in, srcLen - in, &wc);
        if (length < 0) return -1;
        char buffer[MB_LEN_MAX];
        int produced = to.encode(wc, buffer);
        if (produced < 0 || static_cast<size_t>(produced) > dstSize - out) return -1;
        memcpy(dst + out, buffer, static_cast<size_t>(produced));
        out += static_cast<size_t>(produced);
        in += static_cast<size_t>(length);
    }
    return out > static_cast<size_t>(LONG_MAX) ? -1 : static_cast<long>(out);
}

// The position arguments of the resumable conversions: every pointer set,
// and a buffer wherever a size is left.  Sets errno to EINVAL otherwise.
template <class S, class D>
bool resumableArgsValid(S** src, const size_t* srcLeft, D** dst, const size_t* dstLeft) {
    if (src == nullptr || srcLeft == nullptr || dst == nullptr || dstLeft == nullptr ||
        (*src == nullptr && *srcLeft != 0) || (*dst == nullptr && *dstLeft != 0)) {
        errno = EINVAL;
        return false;
    }
    return true;
}

}  // namespace

long ulq_to_utf8(ulq_cs_t cs, const char* src, size_t srcLen, char* dst, size_t dstSize) {
    YavCodeSetScope scope(cs);
    Utf8Codec utf8;
    return recode(scope, utf8, src, srcLen, dst, dstSize);
}

long ulq_from_utf8(ulq_cs_t cs, const char* src, size_t srcLen, char* dst, size_t dstSize) {
    YavCodeSetScope scope(cs);
    Utf8Codec utf8;
    return recode(utf8, scope, src, srcLen, dst, dstSize);
}

int ulq_to_ucs2_r(ulq_cs_t cs, const char** src, size_t* srcLeft, ulq_wchar_t** dst,
                  size_t* dstLeft) {
    if (!resumableArgsValid(src, srcLeft, dst, dstLeft)) return -1;
    YavCodeSetScope scope(cs);
    while (*srcLeft > 0) {
        // Room is checked first so that a caller converting one character
        // at a time (one unit of room) never sees the next one's error.
        if (*dstLeft == 0) {
            errno = E2BIG;
            return -1;
        }
        uint32_t wc = 0;
        int length = scope.decode(*src, *srcLeft, &wc);
        if (length == YAV_ULQ_INCOMPLETE) {
            errno = EINVAL;
            return -1;
        }
        if (length < 0 || wc > 0xFFFF) {
            errno = EILSEQ;
            return -1;
        }
        **dst = static_cast<ulq_wchar_t>(wc);
        ++*dst;
        --*dstLeft;
        *src += length;
        *srcLeft -= static_cast<size_t>(length);
    }
    return 0;
}

int ulq_from_ucs2_r(ulq_cs_t cs, const ulq_wchar_t** src, size_t* srcLeft, char** dst,
                    size_t* dstLeft) {
    if (!resumableArgsValid(src, srcLeft, dst, dstLeft)) return -1;
    YavCodeSetScope scope(cs);
    while (*srcLeft > 0) {
        uint32_t unit = **src;
        char buffer[MB_LEN_MAX];
        int length = isSurrogate(unit) ? -1 : scope.encode(unit, buffer);
        if (length < 0) {
            errno = EILSEQ;
            return -1;
        }
        if (static_cast<size_t>(length) > *dstLeft) {
            errno = E2BIG;
            return -1;
        }
        memcpy(*dst, buffer, static_cast<size_t>(length));
        *dst += length;
        *dstLeft -= static_cast<size_t>(length);
        ++*src;
        --*srcLeft;
    }
    return 0;
}

long ulq_from_ucs2(ulq_cs_t cs, const ulq_wchar_t* src, size_t len, char* dst, size_t dstSize) {
    char* out = dst;
    size_t outLeft = dstSize;
    if (ulq_from_ucs2_r(cs, &src, &len, &out, &outLeft) != 0) return -1;
    size_t produced = dstSize - outLeft;
    return produced > static_cast<size_t>(LONG_MAX) ? -1 : static_cast<long>(produced);
}

int ulq_mblen(ulq_cs_t cs, const char* s, size_t n) { return ulq_mbtowc(cs, nullptr, s, n); }

int ulq_mbtowc(ulq_cs_t cs, wchar_t* wc, const char* s, size_t n) {
    if (s == nullptr) return 0;
    YavCodeSetScope scope(cs);
    uint32_t value = 0;
    int length = scope.decode(s, n, &value);
    if (length < 0) return -1;
    if (wc != nullptr) *wc = static_cast<wchar_t>(value);
    return value == 0 ? 0 : length;
}

int ulq_wctomb(ulq_cs_t cs, char* buffer, wchar_t wc) {
    if (buffer == nullptr) return 0;
    if (wc < 0) return -1;
    YavCodeSetScope scope(cs);
    return scope.encode(static_cast<uint32_t>(wc), buffer);
}

size_t ulq_mbstowcs(ulq_cs_t cs, wchar_t* dst, const char* src, size_t n) {
    if (src == nullptr) return static_cast<size_t>(-1);
    YavCodeSetScope scope(cs);
    size_t length = strlen(src);
    size_t in = 0;
    size_t count = 0;
    while (in < length) {
        if (dst != nullptr && count >= n) return count;
        uint32_t wc = 0;
        int consumed = scope.decode(src + in, length - in, &wc);
        if (consumed < 0) return static_cast<size_t>(-1);
        if (dst != nullptr) dst[count] = static_cast<wchar_t>(wc);
        ++count;
        in += static_cast<size_t>(consumed);
    }
    if (dst != nullptr && count < n) dst[count] = L'\0';
    return count;
}

size_t ulq_wcstombs(ulq_cs_t cs, char* dst, const wchar_t* src, size_t n) {
    if (src == nullptr) return static_cast<size_t>(-1);
    YavCodeSetScope scope(cs);
    size_t count = 0;
    for (; *src != L'\0'; ++src) {
        char buffer[MB_LEN_MAX];
        int length = *src < 0 ? -1 : scope.encode(static_cast<uint32_t>(*src), buffer);
        if (length < 0) return static_cast<size_t>(-1);
        if (dst != nullptr) {
            if (static_cast<size_t>(length) > n - count) return count;
            memcpy(dst + count, buffer, static_cast<size_t>(length));
        }
        count += static_cast<size_t>(length);
    }
    if (dst != nullptr && count < n) dst[count] = '\0';
    return count;
}
