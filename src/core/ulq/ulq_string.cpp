// Code-set-aware string functions: searching, copying, lower-casing and
// case-insensitive comparison that step over whole characters, and the
// UCS-2 string functions.
#include <climits>
#include <cstdint>
#include <cstring>

#include "core/ulq/ulq.h"
#include "core/ulq/ulq_internal.h"

namespace {

// Comparison value of a byte that does not decode: its byte value, placed
// above every character so that it never equals one.
constexpr uint32_t kUndecodable = 0x80000000u;

// Length of the character at s (avail bytes), 1 for a byte that does not
// decode; the character (or kUndecodable | byte) in *wc.
size_t step(YavCodeSetScope& scope, const char* s, size_t avail, uint32_t* wc) {
    int length = scope.decode(s, avail, wc);
    if (length > 0) return static_cast<size_t>(length);
    *wc = kUndecodable | static_cast<unsigned char>(*s);
    return 1;
}

// Code sets in which a byte below 0x80 never occurs inside a multi-byte
// character, so that byte searches for such a byte are exact.
bool bytesAreCharacters(const YavCodeSetScope& scope) {
    yav_ulq_kind kind = scope.cs()->m_kind;
    return scope.asciiCompatible() && kind != yav_ulq_kind_iconv;
}

// Bytes below 0x80 are lowered by the ASCII rule whatever the locale, as
// the case-insensitive hashers do: two texts that compare equal must hash
// equal.
uint32_t lowerAscii(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<uint32_t>(b - 'A' + 'a') : b;
}

// The lowered character at s and its length (1 for an undecodable byte).
size_t foldStep(YavCodeSetScope& scope, ulq_loc_t loc, const char* s, size_t avail,
                uint32_t* folded) {
    unsigned char b = static_cast<unsigned char>(*s);
    if (b < 0x80 && scope.asciiCompatible()) {
        *folded = lowerAscii(b);
        return 1;
    }
    uint32_t wc = 0;
    size_t length = step(scope, s, avail, &wc);
    *folded = (wc & kUndecodable) != 0 ? wc : yav_ulq_lower(loc, wc);
    return length;
}

// Bytes of the longest prefix of src (length len) made of whole characters
// within n bytes; an undecodable byte counts as one character.
size_t wholePrefix(YavCodeSetScope& scope, const char* src, size_t len, size_t n) {
    size_t i = 0;
    while (i < len) {
        uint32_t wc = 0;
        size_t length = step(scope, src + i, len - i, &wc);
        if (length > n - i) break;
        i += length;
    }
    return i;
}

}  // namespace

const char* ulq_strchr(ulq_cs_t cs, const char* s, wchar_t c) {
    if (s == nullptr) return nullptr;
    YavCodeSetScope scope(cs);
    if (c >= 0 && c < 0x80 && bytesAreCharacters(scope)) return strchr(s, static_cast<int>(c));
    size_t len = strlen(s);
    if (c == L'\0') return s + len;
    for (size_t i = 0; i < len;) {
        uint32_t wc = 0;
        size_t length = step(scope, s + i, len - i, &wc);
        if (wc == static_cast<uint32_t>(c)) return s + i;
        i += length;
    }
    return nullptr;
}

const char* ulq_strrchr(ulq_cs_t cs, const char* s, wchar_t c) {
    if (s == nullptr) return nullptr;
    YavCodeSetScope scope(cs);
    if (c >= 0 && c < 0x80 && bytesAreCharacters(scope)) return strrchr(s, static_cast<int>(c));
    size_t len = strlen(s);
    if (c == L'\0') return s + len;
    const char* found = nullptr;
    for (size_t i = 0; i < len;) {
        uint32_t wc = 0;
        size_t length = step(scope, s + i, len - i, &wc);
        if (wc == static_cast<uint32_t>(c)) found = s + i;
        i += length;
    }
    return found;
}

const char* ulq_strstr(ulq_cs_t cs, const char* s, const char* find) {
    if (s == nullptr || find == nullptr) return nullptr;
    size_t findLen = strlen(find);
    if (findLen == 0) return s;
    YavCodeSetScope scope(cs);
    size_t len = strlen(s);
    for (size_t i = 0; len - i >= findLen;) {
        if (memcmp(s + i, find, findLen) == 0) return s + i;
        uint32_t wc = 0;
        i += step(scope, s + i, len - i, &wc);
    }
    return nullptr;
}

size_t ulq_strcspn(ulq_cs_t cs, const char* s, const char* set) {
    if (s == nullptr) return 0;
    size_t len = strlen(s);
    if (set == nullptr) return len;
    YavCodeSetScope scope(cs);
    size_t setLen = strlen(set);
    for (size_t i = 0; i < len;) {
        uint32_t wc = 0;
        size_t length = step(scope, s + i, len - i, &wc);
        if ((wc & kUndecodable) == 0) {
            for (size_t j = 0; j < setLen;) {
                uint32_t member = 0;
                j += step(scope, set + j, setLen - j, &member);
                if (member == wc) return i;
            }
        }
        i += length;
    }
    return len;
}

char* ulq_strncpy(ulq_cs_t cs, char* dst, const char* src, size_t n) {
    if (dst == nullptr) return nullptr;
    size_t length = 0;
    if (src != nullptr) {
        YavCodeSetScope scope(cs);
        // A character that starts before n and ends after it must be seen
        // whole (so that it is left out rather than taken for undecodable
        // bytes); it ends fewer than MB_LEN_MAX bytes after n.
        size_t avail = n > SIZE_MAX - MB_LEN_MAX ? strlen(src) : strnlen(src, n + MB_LEN_MAX);
        length = wholePrefix(scope, src, avail, n);
        memmove(dst, src, length);
    }
    dst[length] = '\0';
    return dst;
}

char* ulq_strncat(ulq_cs_t cs, char* dst, const char* src, size_t n) {
    if (dst == nullptr) return nullptr;
    ulq_strncpy(cs, dst + strlen(dst), src, n);
    return dst;
}

char* ulq_strlower(ulq_cs_t cs, char* s) {
    if (s == nullptr) return nullptr;
    YavCodeSetScope scope(cs);
    ulq_loc_t loc = yav_ulq_resolve_loc(nullptr);
    size_t len = strlen(s);
    // The write position never passes the read position: a character is
    // replaced only by a lower-case form that is not longer.
    size_t r = 0;
    size_t w = 0;
    while (r < len) {
        unsigned char b = static_cast<unsigned char>(s[r]);
        if (b < 0x80 && scope.asciiCompatible()) {
            s[w++] = static_cast<char>(lowerAscii(b));
            ++r;
            continue;
        }
        uint32_t wc = 0;
        size_t length = step(scope, s + r, len - r, &wc);
        char buffer[MB_LEN_MAX];
        int produced = (wc & kUndecodable) != 0 ? -1 : scope.encode(yav_ulq_lower(loc, wc), buffer);
        if (produced > 0 && static_cast<size_t>(produced) <= length) {
            memcpy(s + w, buffer, static_cast<size_t>(produced));
            w += static_cast<size_t>(produced);
        } else {
            memmove(s + w, s + r, length);
            w += length;
        }
        r += length;
    }
    s[w] = '\0';
    return s;
}

int ulq_strnicmp(ulq_cs_t cs, ulq_loc_t loc, const char* a, const char* b, size_t n) {
    if (n == 0 || a == b) return 0;
    if (a == nullptr || b == nullptr) return a == nullptr ? -1 : 1;
    YavCodeSetScope scope(cs);
    loc = yav_ulq_resolve_loc(loc);
    // Each side is read up to its terminator or n bytes, whichever comes
    // first; the two sides may advance by different byte counts.
    size_t lenA = strnlen(a, n);
    size_t lenB = strnlen(b, n);
    size_t posA = 0;
    size_t posB = 0;
    for (;;) {
        bool endA = posA >= lenA;
        bool endB = posB >= lenB;
        // A side that reached the n-byte limit (not its terminator) has
        // nothing left to compare: what was compared was equal.
        if (endA && endB) return 0;
        if (endA) return lenA == n ? 0 : -1;
        if (endB) return lenB == n ? 0 : 1;
        uint32_t ca = 0;
        uint32_t cb = 0;
        posA += foldStep(scope, loc, a + posA, lenA - posA, &ca);
        posB += foldStep(scope, loc, b + posB, lenB - posB, &cb);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
}

int ulq_stricmp(ulq_cs_t cs, ulq_loc_t loc, const char* a, const char* b) {
    return ulq_strnicmp(cs, loc, a, b, SIZE_MAX);
}

size_t ulq_wcslen(const ulq_wchar_t* s) {
    if (s == nullptr) return 0;
    size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

const ulq_wchar_t* ulq_wcschr(const ulq_wchar_t* s, ulq_wchar_t c) {
    if (s == nullptr) return nullptr;
    for (;; ++s) {
        if (*s == c) return s;
        if (*s == 0) return nullptr;
    }
}

int ulq_wcsncmp(const ulq_wchar_t* a, const ulq_wchar_t* b, size_t n) {
    if (n == 0 || a == b) return 0;
    if (a == nullptr || b == nullptr) return a == nullptr ? -1 : 1;
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        if (a[i] == 0) return 0;
    }
    return 0;
}

int ulq_wcsnicmp(ulq_loc_t loc, const ulq_wchar_t* a, const ulq_wchar_t* b, size_t n) {
    if (n == 0 || a == b) return 0;
    if (a == nullptr || b == nullptr) return a == nullptr ? -1 : 1;
    loc = yav_ulq_resolve_loc(loc);
    for (size_t i = 0; i < n; ++i) {
        uint32_t ca = yav_ulq_lower(loc, a[i]);
        uint32_t cb = yav_ulq_lower(loc, b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (a[i] == 0) return 0;
    }
    return 0;
}
