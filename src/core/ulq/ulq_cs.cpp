// Code-set handles: making them, the process-wide handles, and the coding
// of one character for each kind of code set.
#include <errno.h>
#include <langinfo.h>
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <new>

#include "core/threads/yavthread.h"
#include "core/ulq/ulq.h"
#include "core/ulq/ulq_internal.h"
#include "core/ulq/yav_utf8_codec.h"

namespace {

const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);

// The layer's default code set; null means the local code page.
std::atomic<ulq_cs_t> s_defaultCs{nullptr};

// Handles made for ulq_local_cs, never freed so that a handle once given
// out stays valid after the locale changes.  s_localCs is the one of the
// code set seen last; s_localList (guarded by s_localMutex) holds them all.
std::atomic<ulq_cs_t> s_localCs{nullptr};
pthread_mutex_t s_localMutex = PTHREAD_MUTEX_INITIALIZER;
ulq_cs_s* s_localList = nullptr;

bool isUtf8Name(const char* name) {
    return strcasecmp(name, "UTF8") == 0 || strcasecmp(name, "UTF-8") == 0;
}

bool isAsciiName(const char* name) {
    return strcasecmp(name, "ANSI_X3.4-1968") == 0 || strcasecmp(name, "ASCII") == 0 ||
           strcasecmp(name, "US-ASCII") == 0;
}

// Whether a handle's name and a code-set name name the same code set.
bool sameCodeSet(const char* handleName, const char* name) {
    return strcmp(handleName, name) == 0 || (isUtf8Name(handleName) && isUtf8Name(name)) ||
           (isAsciiName(handleName) && isAsciiName(name));
}

// A handle coded by our own code, for the static UTF-8 and ASCII handles.
ulq_cs_s makeOwnCoded(yav_ulq_kind kind, const char* name) {
    ulq_cs_s cs = {};
    strncpy(cs.m_name, name, YAV_ULQ_NAME_MAX - 1);
    cs.m_kind = kind;
    cs.m_asciiCompatible = true;
    cs.m_permanent = true;
    cs.m_maxLength = kind == yav_ulq_kind_utf8 ? YAV_UTF8_MAX : 1;
    cs.m_toWide = kNoIconv;
    cs.m_fromWide = kNoIconv;
    return cs;
}

ulq_cs_t asciiCs() {
    static ulq_cs_s handle = makeOwnCoded(yav_ulq_kind_ascii, "ANSI_X3.4-1968");
    return &handle;
}

bool isScalarValue(int64_t wc) { return wc >= 0 && wc <= 0x10FFFF && (wc < 0xD800 || wc > 0xDFFF); }

// Decodes one character through iconv.  The source is offered one byte
// more at a time, each attempt from the initial state and followed by a
// flush, so that a decoder which holds a character back (waiting for a
// combining mark) still gives it, and so that the length is exact.
// REQUIRES: the caller holds cs->m_mutex, or cs is not yet shared.
int iconvDecode(ulq_cs_s* cs, const unsigned char* s, size_t n, uint32_t* wc) {
    size_t limit = std::min<size_t>(n, MB_LEN_MAX);
    for (size_t k = 1; k <= limit; ++k) {
        iconv(cs->m_toWide, nullptr, nullptr, nullptr, nullptr);
        wchar_t out = 0;
        char* in = const_cast<char*>(reinterpret_cast<const char*>(s));
        size_t inLeft = k;
        char* outPtr = reinterpret_cast<char*>(&out);
        size_t outLeft = sizeof(out);
        size_t r = iconv(cs->m_toWide, &in, &inLeft, &outPtr, &outLeft);
        if (r == static_cast<size_t>(-1) && outLeft != 0) {
            // Nothing came out: the character needs more bytes, or is bad.
            if (errno == EINVAL) continue;
            return YAV_ULQ_INVALID;
        }
        if (outLeft != 0 &&
            iconv(cs->m_toWide, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            if (outLeft != 0) return YAV_ULQ_INVALID;
        }
        if (outLeft != 0) continue;  // only a shift sequence so far
        size_t consumed = k - inLeft;
        if (consumed == 0 || !isScalarValue(out)) return YAV_ULQ_INVALID;
        *wc = static_cast<uint32_t>(out);
        return static_cast<int>(consumed);
    }
    return n < MB_LEN_MAX ? YAV_ULQ_INCOMPLETE : YAV_ULQ_INVALID;
}

// Encodes one character through iconv from the initial state, ending in
// the initial state again (a stateful code set writes its reset sequence).
// REQUIRES: the caller holds cs->m_mutex.
int iconvEncode(ulq_cs_s* cs, uint32_t wc, char* out) {
    iconv(cs->m_fromWide, nullptr, nullptr, nullptr, nullptr);
    wchar_t in = static_cast<wchar_t>(wc);
    char* inPtr = reinterpret_cast<char*>(&in);
    size_t inLeft = sizeof(in);
    char* outPtr = out;
    size_t outLeft = MB_LEN_MAX;
    // A positive result counts conversions that were not exact: the
    // character has no true form in the code set.
    if (iconv(cs->m_fromWide, &inPtr, &inLeft, &outPtr, &outLeft) != 0) return -1;
    if (iconv(cs->m_fromWide, nullptr, nullptr, &outPtr, &outLeft) != 0) return -1;
    size_t length = MB_LEN_MAX - outLeft;
    return length == 0 ? -1 : static_cast<int>(length);
}

int tableEncode(const ulq_cs_s* cs, uint32_t wc, char* out) {
    const ulq_cs_s::WideByte* begin = cs->m_wideToByte;
    const ulq_cs_s::WideByte* end = begin + cs->m_wideToByteCount;
    const ulq_cs_s::WideByte* it = std::lower_bound(
        begin, end, wc, [](const ulq_cs_s::WideByte& e, uint32_t w) { return e.wide < w; });
    if (it == end || it->wide != wc) return -1;
    out[0] = static_cast<char>(it->byte);
    return 1;
}

void closeIconv(ulq_cs_s* cs) {
    if (cs->m_toWide != kNoIconv) iconv_close(cs->m_toWide);
    if (cs->m_fromWide != kNoIconv) iconv_close(cs->m_fromWide);
    cs->m_toWide = kNoIconv;
    cs->m_fromWide = kNoIconv;
}

// Opens the iconv descriptors of a named code set and probes every byte
// value: a code set in which each byte alone is a character or nothing is
// turned into tables; one in which a zero byte is not U+0000 cannot carry
// zero-terminated text and is refused.
bool initIconv(ulq_cs_s* cs) {
    cs->m_toWide = iconv_open("WCHAR_T", cs->m_name);
    if (cs->m_toWide == kNoIconv) return false;
    cs->m_fromWide = iconv_open(cs->m_name, "WCHAR_T");
    if (cs->m_fromWide == kNoIconv) {
        closeIconv(cs);
        return false;
    }
    bool singleByte = true;
    bool ascii = true;
    for (int b = 0; b < 256; ++b) {
        unsigned char byte = static_cast<unsigned char>(b);
        uint32_t wc = 0;
        int r = iconvDecode(cs, &byte, 1, &wc);
        if (r == 1) {
            cs->m_byteToWide[b] = static_cast<int32_t>(wc);
        } else {
            cs->m_byteToWide[b] = -1;
            if (r != YAV_ULQ_INVALID) singleByte = false;
        }
        if (b < 0x80 && !(r == 1 && wc == static_cast<uint32_t>(b))) ascii = false;
    }
    if (cs->m_byteToWide[0] != 0) {
        closeIconv(cs);
        return false;
    }
    cs->m_asciiCompatible = ascii;
    if (singleByte) {
        int count = 0;
        for (int b = 0; b < 256; ++b) {
            if (cs->m_byteToWide[b] < 0) continue;
            cs->m_wideToByte[count].wide = static_cast<uint32_t>(cs->m_byteToWide[b]);
            cs->m_wideToByte[count].byte = static_cast<unsigned char>(b);
            ++count;
        }
        // Stable, so that of two bytes with the same character the lower
        // one is the encoding.
        std::stable_sort(cs->m_wideToByte, cs->m_wideToByte + count,
                         [](const ulq_cs_s::WideByte& a, const ulq_cs_s::WideByte& b) {
                             return a.wide < b.wide;
                         });
        cs->m_wideToByteCount = count;
        cs->m_kind = yav_ulq_kind_table;
        cs->m_maxLength = 1;
        closeIconv(cs);
        return true;
    }
    if (pthread_mutex_init(&cs->m_mutex, nullptr) != 0) {
        closeIconv(cs);
        return false;
    }
    cs->m_mutexMade = true;
    cs->m_kind = yav_ulq_kind_iconv;
    cs->m_maxLength = MB_LEN_MAX;
    return true;
}

// A code-set argument: null is the default code set.
ulq_cs_t resolve(ulq_cs_t cs) { return cs != nullptr ? cs : ulq_get_def_cs(); }

// The permanent handle for the code set called name, made when missing.
// Null when it cannot be made.
ulq_cs_t permanentLocalCs(const char* name) {
    YavMutexLock lock(&s_localMutex);
    for (ulq_cs_s* cs = s_localList; cs != nullptr; cs = cs->m_next) {
        if (strcmp(cs->m_name, name) == 0) return cs;
    }
    ulq_cs_t cs = ulq_cs_new(name);
    if (cs == nullptr) return nullptr;
    cs->m_permanent = true;
    cs->m_next = s_localList;
    s_localList = cs;
    return cs;
}

}  // namespace

ulq_cs_t ulq_cs_new(const char* name) {
    if (name == nullptr || name[0] == '\0' || strlen(name) >= YAV_ULQ_NAME_MAX) return nullptr;
    ulq_cs_s* cs = new (std::nothrow) ulq_cs_s();
    if (cs == nullptr) return nullptr;
    strcpy(cs->m_name, name);
    cs->m_toWide = kNoIconv;
    cs->m_fromWide = kNoIconv;
    if (isUtf8Name(name)) {
        cs->m_kind = yav_ulq_kind_utf8;
        cs->m_asciiCompatible = true;
        cs->m_maxLength = YAV_UTF8_MAX;
    } else if (isAsciiName(name)) {
        cs->m_kind = yav_ulq_kind_ascii;
        cs->m_asciiCompatible = true;
        cs->m_maxLength = 1;
    } else if (!initIconv(cs)) {
        delete cs;
        return nullptr;
    }
    return cs;
}

void ulq_cs_free(ulq_cs_t cs) {
    if (cs == nullptr || cs->m_permanent) return;
    ulq_cs_t self = cs;
    s_defaultCs.compare_exchange_strong(self, nullptr);
    closeIconv(cs);
    if (cs->m_mutexMade) pthread_mutex_destroy(&cs->m_mutex);
    delete cs;
}

const char* ulq_cs_name(ulq_cs_t cs) { return resolve(cs)->m_name; }

int ulq_mb_cur_max(ulq_cs_t cs) { return resolve(cs)->m_maxLength; }

int ulq_cs_is_utf8(ulq_cs_t cs) { return resolve(cs)->m_kind == yav_ulq_kind_utf8 ? 1 : 0; }

int ulq_set_def_cs(ulq_cs_t cs) {
    s_defaultCs.store(cs);
    return 0;
}

ulq_cs_t ulq_get_def_cs() {
    ulq_cs_t cs = s_defaultCs.load();
    return cs != nullptr ? cs : ulq_local_cs();
}

int ulq_os_cs_name(char* buffer, size_t size) {
    const char* name = nl_langinfo(CODESET);
    size_t length = strlen(name);
    if (buffer == nullptr || length >= size) return -1;
    memcpy(buffer, name, length + 1);
    return 0;
}

ulq_cs_t ulq_utf8_cs() {
    static ulq_cs_s handle = makeOwnCoded(yav_ulq_kind_utf8, "UTF8");
    return &handle;
}

ulq_cs_t ulq_local_cs() {
    const char* name = nl_langinfo(CODESET);
    ulq_cs_t last = s_localCs.load();
    if (last != nullptr && sameCodeSet(last->m_name, name)) return last;
    ulq_cs_t cs;
    if (isUtf8Name(name)) {
        cs = ulq_utf8_cs();
    } else if (isAsciiName(name) || (cs = permanentLocalCs(name)) == nullptr) {
        // Out of memory (or an unusable code set) falls back to ASCII,
        // which every code set in use on this platform extends.
        cs = asciiCs();
    }
    s_localCs.store(cs);
    return cs;
}

YavCodeSetScope::YavCodeSetScope(ulq_cs_t cs) : m_cs(resolve(cs)), m_locked(false) {
    if (m_cs->m_kind == yav_ulq_kind_iconv) {
        yavthread_mutex_lock(&m_cs->m_mutex);
        m_locked = true;
    }
}

YavCodeSetScope::~YavCodeSetScope() {
    if (m_locked) yavthread_mutex_unlock(&m_cs->m_mutex);
}

int YavCodeSetScope::decode(const char* s, size_t n, uint32_t* wc) {
    if (n == 0) return YAV_ULQ_INCOMPLETE;
    unsigned char b = static_cast<unsigned char>(s[0]);
    if (b < 0x80 && m_cs->m_asciiCompatible) {
        *wc = b;
        return 1;
    }
    switch (m_cs->m_kind) {
        case yav_ulq_kind_utf8: {
            int r = yav_utf8_decode(s, n, wc);
            return r == YAV_UTF8_INCOMPLETE ? YAV_ULQ_INCOMPLETE : r < 0 ? YAV_ULQ_INVALID : r;
        }
        case yav_ulq_kind_ascii:
            return YAV_ULQ_INVALID;
        case yav_ulq_kind_table:
            if (m_cs->m_byteToWide[b] < 0) return YAV_ULQ_INVALID;
            *wc = static_cast<uint32_t>(m_cs->m_byteToWide[b]);
            return 1;
        case yav_ulq_kind_iconv:
            return iconvDecode(m_cs, reinterpret_cast<const unsigned char*>(s), n, wc);
    }
    return YAV_ULQ_INVALID;
}

int YavCodeSetScope::encode(uint32_t wc, char* out) {
    if (wc < 0x80 && m_cs->m_asciiCompatible) {
        out[0] = static_cast<char>(wc);
        return 1;
    }
    switch (m_cs->m_kind) {
        case yav_ulq_kind_utf8:
            return yav_utf8_encode(wc, out);
        case yav_ulq_kind_ascii:
            return -1;
        case yav_ulq_kind_table:
            return tableEncode(m_cs, wc, out);
        case yav_ulq_kind_iconv:
            return iconvEncode(m_cs, wc, out);
    }
    return -1;
}
