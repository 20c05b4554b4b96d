// The concrete string converters.
#include "core/buffers/YavStringConverter.h"

#include <errno.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>

#include "core/encoders/yav_base64.h"
#include "core/threads/yavthread.h"
#include "core/ulq/yav_utf8_codec.h"

namespace {

// n * perUnit + extra as a bound, or -1 past the longest string.
int scaledBound(int n, int perUnit, int64_t extra = 0) {
    int64_t bound = static_cast<int64_t>(n) * perUnit + extra;
    return bound > YAV_STRING_MAX_LENGTH ? -1 : static_cast<int>(bound);
}

bool isSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The C library's UTF-8 takes values up to 0x7FFFFFFF and surrogates;
// nothing that is not a Unicode scalar value passes a converter.
bool isScalarValue(wchar_t wc) { return wc >= 0 && wc <= 0x10FFFF && !isSurrogate(wc); }

// Writes the bytes of buffer to out when they fit in room.
int emit(const char* buffer, int length, char* out, int room) {
    if (length < 0 || length > room) return -1;
    memcpy(out, buffer, static_cast<size_t>(length));
    return length;
}

ulq_cs_t localOr(ulq_cs_t cs) { return cs != nullptr ? cs : ulq_local_cs(); }

// Length of the character at src in cs (a zero byte is a character of one
// byte), or -1.
int charLength(ulq_cs_t cs, const char* src, int n) {
    int length = ulq_mblen(cs, src, static_cast<size_t>(n));
    return length == 0 ? 1 : length;
}

}  // namespace

// ---- UTF-8 <-> UCS-2 ----------------------------------------------------------

YavUTF8MBToWideConverter::YavUTF8MBToWideConverter()
    : YavStringConverterT(YAV_S_MB_TO_UCS2_FAILED) {}

int YavUTF8MBToWideConverter::maxToLength(const char*, int n) const { return n; }

int YavUTF8MBToWideConverter::convertChar(const char* src, int n, int& consumed,
                                          unsigned short* out, int room) const {
    uint32_t wc = 0;
    int length = yav_utf8_decode(src, static_cast<size_t>(n), &wc);
    if (length <= 0 || wc > 0xFFFF || room < 1) return -1;
    out[0] = static_cast<unsigned short>(wc);
    consumed = length;
    return 1;
}

YavUTF8WideToMBConverter::YavUTF8WideToMBConverter()
    : YavStringConverterT(YAV_S_UCS2_TO_MB_FAILED) {}

int YavUTF8WideToMBConverter::maxToLength(const unsigned short*, int n) const {
    return scaledBound(n, 3);
}

int YavUTF8WideToMBConverter::convertChar(const unsigned short* src, int, int& consumed, char* out,
                                          int room) const {
    if (isSurrogate(src[0])) return -1;
    char buffer[YAV_UTF8_MAX];
    consumed = 1;
    return emit(buffer, yav_utf8_encode(src[0], buffer), out, room);
}

// ---- local code page <-> UCS-2 ------------------------------------------------

YavLCMBToWideConverter::YavLCMBToWideConverter(ulq_cs_t cs)
    : YavStringConverterT(YAV_S_MB_TO_UCS2_FAILED), m_cs(cs) {}

int YavLCMBToWideConverter::maxToLength(const char*, int n) const { return n; }

int YavLCMBToWideConverter::convertChar(const char* src, int n, int& consumed, unsigned short* out,
                                        int room) const {
    wchar_t wc = 0;
    int length = ulq_mbtowc(localOr(m_cs), &wc, src, static_cast<size_t>(n));
    if (length < 0 || wc < 0 || wc > 0xFFFF || room < 1) return -1;
    out[0] = static_cast<unsigned short>(wc);
    consumed = length == 0 ? 1 : length;
    return 1;
}

YavLCWideToMBConverter::YavLCWideToMBConverter(ulq_cs_t cs)
    : YavStringConverterT(YAV_S_UCS2_TO_MB_FAILED), m_cs(cs) {}

int YavLCWideToMBConverter::maxToLength(const unsigned short*, int n) const {
    return scaledBound(n, ulq_mb_cur_max(localOr(m_cs)));
}

int YavLCWideToMBConverter::convertChar(const unsigned short* src, int, int& consumed, char* out,
                                        int room) const {
    if (isSurrogate(src[0])) return -1;
    char buffer[MB_LEN_MAX];
    consumed = 1;
    return emit(buffer, ulq_wctomb(localOr(m_cs), buffer, src[0]), out, room);
}

// ---- local code page <-> wchar_t ----------------------------------------------

YavLCMBToSysWideConverter::YavLCMBToSysWideConverter()
    : YavStringConverterT(YAV_S_MB_TO_UCS2_FAILED) {}

int YavLCMBToSysWideConverter::maxToLength(const char*, int n) const { return n; }

int YavLCMBToSysWideConverter::convertChar(const char* src, int n, int& consumed, wchar_t* out,
                                           int room) const {
    mbstate_t state;
    memset(&state, 0, sizeof(state));
    wchar_t wc = 0;
    size_t length = mbrtowc(&wc, src, static_cast<size_t>(n), &state);
    // (size_t)-1: invalid; (size_t)-2: cut short by the end of the input.
    if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2) ||
        !isScalarValue(wc) || room < 1) {
        return -1;
    }
    out[0] = wc;
    consumed = length == 0 ? 1 : static_cast<int>(length);
    return 1;
}

YavLCSysWideToMBConverter::YavLCSysWideToMBConverter()
    : YavStringConverterT(YAV_S_UCS2_TO_MB_FAILED) {}

int YavLCSysWideToMBConverter::maxToLength(const wchar_t*, int n) const {
    return scaledBound(n, static_cast<int>(MB_CUR_MAX));
}

int YavLCSysWideToMBConverter::convertChar(const wchar_t* src, int, int& consumed, char* out,
                                           int room) const {
    mbstate_t state;
    memset(&state, 0, sizeof(state));
    if (!isScalarValue(src[0])) return -1;
    char buffer[MB_LEN_MAX];
    size_t length = wcrtomb(buffer, src[0], &state);
    if (length == static_cast<size_t>(-1)) return -1;
    consumed = 1;
    return emit(buffer, static_cast<int>(length), out, room);
}

// ---- local code page <-> UTF-8 ------------------------------------------------

YavCPToUTF8Converter::YavCPToUTF8Converter(ulq_cs_t cs)
    : YavStringConverterT(YAV_S_MB_TO_UCS2_FAILED), m_cs(cs) {}

int YavCPToUTF8Converter::maxToLength(const char*, int n) const {
    // One source byte gives at most one character, of at most 4 bytes.
    return ulq_cs_is_utf8(localOr(m_cs)) ? n : scaledBound(n, YAV_UTF8_MAX);
}

int YavCPToUTF8Converter::convertChar(const char* src, int n, int& consumed, char* out,
                                      int room) const {
    ulq_cs_t cs = localOr(m_cs);
    int length = charLength(cs, src, n);
    if (length < 0) return -1;
    long produced =
        ulq_to_utf8(cs, src, static_cast<size_t>(length), out, static_cast<size_t>(room));
    if (produced < 0) return -1;
    consumed = length;
    return static_cast<int>(produced);
}

YavUTF8ToCPConverter::YavUTF8ToCPConverter(ulq_cs_t cs)
    : YavStringConverterT(YAV_S_UCS2_TO_MB_FAILED), m_cs(cs) {}

int YavUTF8ToCPConverter::maxToLength(const char*, int n) const {
    ulq_cs_t cs = localOr(m_cs);
    return ulq_cs_is_utf8(cs) ? n : scaledBound(n, ulq_mb_cur_max(cs));
}

int YavUTF8ToCPConverter::convertChar(const char* src, int n, int& consumed, char* out,
                                      int room) const {
    uint32_t wc = 0;
    int length = yav_utf8_decode(src, static_cast<size_t>(n), &wc);
    if (length <= 0) return -1;
    long produced = ulq_from_utf8(localOr(m_cs), src, static_cast<size_t>(length), out,
                                  static_cast<size_t>(room));
    if (produced < 0) return -1;
    consumed = length;
    return static_cast<int>(produced);
}

// ---- named code set through iconv ---------------------------------------------

const iconv_t YavCPiConvConverter::kClosed = reinterpret_cast<iconv_t>(-1);

YavCPiConvConverter::YavCPiConvConverter(const char* fromCodeSet, const char* toCodeSet)
    : YavStringConverterT(YAV_S_MB_TO_UCS2_FAILED), m_maxOut(MB_LEN_MAX), m_cd(kClosed) {
    m_namesFit = fromCodeSet != nullptr && toCodeSet != nullptr && strlen(fromCodeSet) < kNameMax &&
                 strlen(toCodeSet) < kNameMax;
    m_from[0] = '\0';
    m_to[0] = '\0';
    if (m_namesFit) {
        strcpy(m_from, fromCodeSet);
        strcpy(m_to, toCodeSet);
    }
    pthread_mutex_init(&m_mutex, nullptr);
}

YavCPiConvConverter::~YavCPiConvConverter() {
    if (m_cd != kClosed) iconv_close(m_cd);
    pthread_mutex_destroy(&m_mutex);
}

yav_status_t YavCPiConvConverter::initialize() {
    if (m_cd != kClosed) return YAV_S_ALREADY_INITIALIZED;
    if (!m_namesFit) return YAV_S_INVALID_VALUE;
    iconv_t cd = iconv_open(m_to, m_from);
    if (cd == kClosed) return errno == ENOMEM ? YAV_S_NO_MEMORY : YAV_S_INVALID_VALUE;
    m_cd = cd;
    // A character takes at most 4 bytes in UTF-8; other targets may add
    // shift sequences around it.
    ulq_cs_t target = ulq_cs_new(m_to);
    if (target != nullptr && ulq_cs_is_utf8(target)) m_maxOut = YAV_UTF8_MAX;
    ulq_cs_free(target);
    return 0;
}

yav_status_t YavCPiConvConverter::checkReady() const {
    return m_cd != kClosed ? 0 : YAV_S_NOT_INITIALIZED;
}

int YavCPiConvConverter::maxToLength(const char*, int n) const { return scaledBound(n, m_maxOut); }

int YavCPiConvConverter::convertChar(const char* src, int n, int& consumed, char* out,
                                     int room) const {
    if (m_cd == kClosed) return -1;
    YavMutexLock lock(&m_mutex);
    // The source is offered one byte more at a time, each attempt from the
    // initial state and ended by a flush, so the character's length is
    // exact and its output complete.
    int limit = n < MB_LEN_MAX ? n : MB_LEN_MAX;
    for (int k = 1; k <= limit; ++k) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char buffer[2 * MB_LEN_MAX];
        char* in = const_cast<char*>(src);
        size_t inLeft = static_cast<size_t>(k);
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        size_t r = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
        if (r == static_cast<size_t>(-1)) {
            if (errno == EINVAL) continue;
            return -1;
        }
        // A positive count means an inexact conversion: no true form.
        if (r != 0 || iconv(m_cd, nullptr, nullptr, &outPtr, &outLeft) != 0) return -1;
        int produced = static_cast<int>(sizeof(buffer) - outLeft);
        if (produced == 0) continue;  // only a shift sequence so far
        if (produced > m_maxOut) return -1;
        consumed = k;
        return emit(buffer, produced, out, room);
    }
    return -1;
}

// ---- lower-casing ---------------------------------------------------------------

YavUSAsciiToLowerConverter::YavUSAsciiToLowerConverter()
    : YavStringConverterT(YAV_S_INVALID_VALUE) {}

int YavUSAsciiToLowerConverter::maxToLength(const char*, int n) const { return n; }

int YavUSAsciiToLowerConverter::convertChar(const char* src, int, int& consumed, char* out,
                                            int room) const {
    if (room < 1) return -1;
    char c = src[0];
    out[0] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    consumed = 1;
    return 1;
}

YavUTF8ToLowerConverter::YavUTF8ToLowerConverter() : YavStringConverterT(YAV_S_MB_TO_UCS2_FAILED) {}

int YavUTF8ToLowerConverter::maxToLength(const char* src, int n) const {
    // A lower-case form takes at most 4 bytes: a 2-byte character may grow
    // by 2, a 3-byte one by 1.  ASCII stays ASCII.
    int64_t growth = 0;
    for (int i = 0; i < n; ++i) {
        unsigned char b = static_cast<unsigned char>(src[i]);
        if (b >= 0xC0 && b < 0xE0) growth += 2;
        if (b >= 0xE0 && b < 0xF0) growth += 1;
    }
    return scaledBound(n, 1, growth);
}

int YavUTF8ToLowerConverter::convertChar(const char* src, int n, int& consumed, char* out,
                                         int room) const {
    unsigned char b = static_cast<unsigned char>(src[0]);
    if (b < 0x80) {
        if (room < 1) return -1;
        out[0] = (b >= 'A' && b <= 'Z') ? static_cast<char>(b - 'A' + 'a') : src[0];
        consumed = 1;
        return 1;
    }
    uint32_t wc = 0;
    int length = yav_utf8_decode(src, static_cast<size_t>(n), &wc);
    if (length <= 0) return -1;
    wchar_t lowered = ulq_towlower(nullptr, static_cast<wchar_t>(wc));
    char buffer[YAV_UTF8_MAX];
    int produced = lowered < 0 ? -1 : yav_utf8_encode(static_cast<uint32_t>(lowered), buffer);
    consumed = length;
    return emit(buffer, produced, out, room);
}

// ---- Base64 ---------------------------------------------------------------------

YavBinaryToBase64Converter::YavBinaryToBase64Converter()
    : YavStringConverterT(YAV_S_INVALID_VALUE) {}

int YavBinaryToBase64Converter::maxToLength(const unsigned char*, int n) const {
    int64_t groups = (static_cast<int64_t>(n) + 2) / 3;
    return groups * 4 > YAV_STRING_MAX_LENGTH ? -1 : static_cast<int>(groups * 4);
}

int YavBinaryToBase64Converter::convertChar(const unsigned char* src, int n, int& consumed,
                                            char* out, int room) const {
    if (room < 4) return -1;
    int take = n < 3 ? n : 3;
    yav_base64_encode_group(yav_base64_std_alphabet, src, take, out);
    consumed = take;
    return 4;
}

YavBase64ToBinaryConverter::YavBase64ToBinaryConverter()
    : YavStringConverterT(YAV_S_INVALID_VALUE) {}

int YavBase64ToBinaryConverter::maxToLength(const char*, int n) const {
    return static_cast<int>((static_cast<int64_t>(n) + 3) / 4 * 3);
}

int YavBase64ToBinaryConverter::convertChar(const char* src, int n, int& consumed,
                                            unsigned char* out, int room) const {
    if (n < 4) return -1;
    const YavBase64Alphabet& alphabet = yav_base64_std_alphabet;
    unsigned v[4];
    int symbols = 4;
    for (int i = 0; i < 4; ++i) {
        v[i] = alphabet.valueOf(src[i]);
        if (v[i] != YAV_BASE64_NOT_SYMBOL) continue;
        // Padding: only as the last one or two of the last group.
        if (src[i] != YAV_BASE64_PAD || i < 2 || n != 4) return -1;
        if (i == 2 && src[3] != YAV_BASE64_PAD) return -1;
        symbols = i;
        break;
    }
    // Bits of a padded group's last symbol beyond the data must be zero, so
    // that every byte sequence has one encoding.
    if (symbols == 2 && (v[1] & 0x0F) != 0) return -1;
    if (symbols == 3 && (v[2] & 0x03) != 0) return -1;
    int produced = symbols - 1;
    if (room < produced) return -1;
    out[0] = static_cast<unsigned char>((v[0] << 2) | (v[1] >> 4));
    if (produced > 1) out[1] = static_cast<unsigned char>(((v[1] & 0x0F) << 4) | (v[2] >> 2));
    if (produced > 2) out[2] = static_cast<unsigned char>(((v[2] & 0x03) << 6) | v[3]);
    consumed = 4;
    return produced;
}

// ---- UCS-2 <-> code set through the layer's UCS-2 functions ----------------------

YavULQWideToMBConverter::YavULQWideToMBConverter(ulq_cs_t cs)
    : YavStringConverterT(YAV_S_UCS2_TO_MB_FAILED), m_cs(cs) {}

int YavULQWideToMBConverter::maxToLength(const unsigned short*, int n) const {
    return scaledBound(n, ulq_mb_cur_max(m_cs));
}

int YavULQWideToMBConverter::convertChar(const unsigned short* src, int, int& consumed, char* out,
                                         int room) const {
    const ulq_wchar_t* in = src;
    size_t inLeft = 1;
    char* outPtr = out;
    size_t outLeft = static_cast<size_t>(room);
    if (ulq_from_ucs2_r(m_cs, &in, &inLeft, &outPtr, &outLeft) != 0) return -1;
    consumed = 1;
    return static_cast<int>(outPtr - out);
}

YavULQMBToWideConverter::YavULQMBToWideConverter(ulq_cs_t cs)
    : YavStringConverterT(YAV_S_MB_TO_UCS2_FAILED), m_cs(cs) {}

int YavULQMBToWideConverter::maxToLength(const char*, int n) const { return n; }

int YavULQMBToWideConverter::convertChar(const char* src, int n, int& consumed, unsigned short* out,
                                         int room) const {
    if (room < 1) return -1;
    const char* in = src;
    size_t inLeft = static_cast<size_t>(n);
    ulq_wchar_t* outPtr = out;
    size_t outLeft = 1;
    // With room for one unit the conversion stops after one character
    // (E2BIG when more follow); no progress means the character failed.
    ulq_to_ucs2_r(m_cs, &in, &inLeft, &outPtr, &outLeft);
    if (outLeft != 0) return -1;
    consumed = static_cast<int>(in - src);
    return 1;
}
