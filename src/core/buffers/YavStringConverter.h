// String converters: each turns a sequence of From units in one encoding
// into To units in another and appends them to a YavStringT<To>.
//
// A converter works one character (or, for Base64, one group) at a time:
// maxToLength bounds the output, doAppend reserves that much room in the
// target once, converts into it directly and sets the length.  On failure
// the target keeps its text and length (its capacity may have grown).
// Converters never read past the n source units they are given and never
// write past the room they are offered.
//
// Converters hold no text.  All but YavCPiConvConverter are stateless and
// may be shared by any number of threads; YavCPiConvConverter guards its
// iconv descriptor with its own mutex.  Code-set handles passed to a
// constructor stay owned by the caller and must outlive the converter; a
// null handle means the local code page (YavLC*, YavCP*, YavUTF8ToCP*) or
// the code-set layer's default code set (YavULQ*), looked up at each call.
// Not copyable.
#ifndef YAV_CORE_BUFFERS_YAVSTRINGCONVERTER_H
#define YAV_CORE_BUFFERS_YAVSTRINGCONVERTER_H

#include <iconv.h>
#include <pthread.h>

#include <cstddef>

#include "core/buffers/YavString.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"
#include "core/ulq/ulq.h"

template <class From, class To>
class YavStringConverterT {
  public:
    virtual ~YavStringConverterT() {}
    YAV_DISALLOW_COPY(YavStringConverterT);

    // An upper bound of the units that converting the n units at src gives,
    // or -1 when it would exceed the longest string.
    // REQUIRES: n >= 0; src points at n readable units.
    virtual int maxToLength(const From* src, int n) const = 0;

    // Converts the character (or group) at src, of which n >= 1 units are
    // readable: writes at most room units to out, stores the source units
    // used in consumed (>= 1) and returns the units written; a negative
    // value when the source does not convert or the output does not fit.
    virtual int convertChar(const From* src, int n, int& consumed, To* out, int room) const = 0;

    // Converts n units at src (negative n: up to a zero unit) and appends
    // the result to target.  0, the converter's failure status when the
    // source does not convert, YAV_S_NO_MEMORY when the room could not be
    // had, or the status of checkReady.
    template <class Enc>
    yav_status_t doAppend(YavStringT<To, Enc>& target, const From* src, int n) const;

    // Status that doAppend reports for a source that does not convert.
    yav_status_t failureStatus() const { return m_failure; }

  protected:
    explicit YavStringConverterT(yav_status_t failure) : m_failure(failure) {}

    // 0 when the converter can work; otherwise doAppend returns this.
    virtual yav_status_t checkReady() const { return 0; }

  private:
    yav_status_t m_failure;
};

template <class From, class To>
template <class Enc>
yav_status_t YavStringConverterT<From, To>::doAppend(YavStringT<To, Enc>& target, const From* src,
                                                     int n) const {
    yav_status_t ready = checkReady();
    if (ready != 0) return ready;
    if (src == nullptr) return n > 0 ? YAV_S_INVALID_VALUE : 0;
    if (n < 0) {
        n = 0;
        while (src[n] != 0) {
            if (n == YAV_STRING_MAX_LENGTH) return YAV_S_NO_MEMORY;
            ++n;
        }
    }
    if (n == 0) return 0;
    int oldLength = target.getLength();
    int bound = maxToLength(src, n);
    if (bound < 0 || bound > YAV_STRING_MAX_LENGTH - oldLength) return YAV_S_NO_MEMORY;
    if (!target.reserve(oldLength + bound)) return YAV_S_NO_MEMORY;
    To* out = target.getWritableData() + oldLength;
    int written = 0;
    for (int pos = 0; pos < n;) {
        int consumed = 0;
        int units = convertChar(src + pos, n - pos, consumed, out + written, bound - written);
        if (units < 0) {
            target.setLength(oldLength);
            return m_failure;
        }
        // A converter that steps nowhere or past its input, or writes past
        // its room, is wrong in itself.
        YAV_ASSERT(consumed >= 1 && consumed <= n - pos && units <= bound - written);
        pos += consumed;
        written += units;
    }
    target.setLength(oldLength + written);
    return 0;
}

// UTF-8 <-> UCS-2.  Characters above U+FFFF and surrogate units fail.
class YAV_EXPORT YavUTF8MBToWideConverter : public YavStringConverterT<char, unsigned short> {
  public:
    YavUTF8MBToWideConverter();
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, unsigned short* out,
                    int room) const override;
};

class YAV_EXPORT YavUTF8WideToMBConverter : public YavStringConverterT<unsigned short, char> {
  public:
    YavUTF8WideToMBConverter();
    int maxToLength(const unsigned short* src, int n) const override;
    int convertChar(const unsigned short* src, int n, int& consumed, char* out,
                    int room) const override;
};

// Local code page <-> UCS-2, one character at a time with ulq_mbtowc and
// ulq_wctomb.
class YAV_EXPORT YavLCMBToWideConverter : public YavStringConverterT<char, unsigned short> {
  public:
    explicit YavLCMBToWideConverter(ulq_cs_t cs = nullptr);
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, unsigned short* out,
                    int room) const override;

  private:
    ulq_cs_t m_cs;
};

class YAV_EXPORT YavLCWideToMBConverter : public YavStringConverterT<unsigned short, char> {
  public:
    explicit YavLCWideToMBConverter(ulq_cs_t cs = nullptr);
    int maxToLength(const unsigned short* src, int n) const override;
    int convertChar(const unsigned short* src, int n, int& consumed, char* out,
                    int room) const override;

  private:
    ulq_cs_t m_cs;
};

// Local code page <-> wchar_t through the C library under the current
// locale (mbrtowc / wcrtomb, each character from the initial state).
class YAV_EXPORT YavLCMBToSysWideConverter : public YavStringConverterT<char, wchar_t> {
  public:
    YavLCMBToSysWideConverter();
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, wchar_t* out, int room) const override;
};

class YAV_EXPORT YavLCSysWideToMBConverter : public YavStringConverterT<wchar_t, char> {
  public:
    YavLCSysWideToMBConverter();
    int maxToLength(const wchar_t* src, int n) const override;
    int convertChar(const wchar_t* src, int n, int& consumed, char* out, int room) const override;
};

// Local code page <-> UTF-8 with ulq_to_utf8 / ulq_from_utf8.
class YAV_EXPORT YavCPToUTF8Converter : public YavStringConverterT<char, char> {
  public:
    explicit YavCPToUTF8Converter(ulq_cs_t cs = nullptr);
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, char* out, int room) const override;

  private:
    ulq_cs_t m_cs;
};

class YAV_EXPORT YavUTF8ToCPConverter : public YavStringConverterT<char, char> {
  public:
    explicit YavUTF8ToCPConverter(ulq_cs_t cs = nullptr);
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, char* out, int room) const override;

  private:
    ulq_cs_t m_cs;
};

// Text in a named code set to another (UTF-8 unless named) through iconv.
// Two steps: construct with the names, then initialize(), which opens the
// descriptor.  doAppend before a successful initialize gives
// YAV_S_NOT_INITIALIZED.  m_mutex guards the descriptor's state.
class YAV_EXPORT YavCPiConvConverter : public YavStringConverterT<char, char> {
  public:
    explicit YavCPiConvConverter(const char* fromCodeSet, const char* toCodeSet = "UTF-8");
    ~YavCPiConvConverter() override;

    // 0; YAV_S_INVALID_VALUE for a code set that iconv does not know (or a
    // name longer than 63 bytes); YAV_S_NO_MEMORY; YAV_S_ALREADY_INITIALIZED
    // when called again after success.
    yav_status_t initialize();
    bool ok() const { return m_cd != kClosed; }

    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, char* out, int room) const override;

  protected:
    yav_status_t checkReady() const override;

  private:
    static constexpr size_t kNameMax = 64;
    static const iconv_t kClosed;

    char m_from[kNameMax];
    char m_to[kNameMax];
    bool m_namesFit;
    // Most output bytes one source character may give.
    int m_maxOut;
    iconv_t m_cd;
    mutable pthread_mutex_t m_mutex;
};

// Lower-casing.  ASCII: A-Z only, every other byte copied.  UTF-8: bytes
// below 0x80 by the ASCII rule, other characters with the current locale's
// towlower; the lower form may be longer than the original (U+023A, two
// bytes, lowers to U+2C65, three), which maxToLength allows for.
class YAV_EXPORT YavUSAsciiToLowerConverter : public YavStringConverterT<char, char> {
  public:
    YavUSAsciiToLowerConverter();
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, char* out, int room) const override;
};

class YAV_EXPORT YavUTF8ToLowerConverter : public YavStringConverterT<char, char> {
  public:
    YavUTF8ToLowerConverter();
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, char* out, int room) const override;
};

// Base64 with the standard alphabet and '=' padding.  Decoding is strict:
// only alphabet symbols, whole groups of four, padding only at the end of
// the last group, and no bits set beyond the data in a padded group.
class YAV_EXPORT YavBinaryToBase64Converter : public YavStringConverterT<unsigned char, char> {
  public:
    YavBinaryToBase64Converter();
    int maxToLength(const unsigned char* src, int n) const override;
    int convertChar(const unsigned char* src, int n, int& consumed, char* out,
                    int room) const override;
};

class YAV_EXPORT YavBase64ToBinaryConverter : public YavStringConverterT<char, unsigned char> {
  public:
    YavBase64ToBinaryConverter();
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, unsigned char* out,
                    int room) const override;
};

// UCS-2 <-> a code set (default: the layer's default code set) through
// ulq_from_ucs2_r / ulq_to_ucs2_r.
class YAV_EXPORT YavULQWideToMBConverter : public YavStringConverterT<unsigned short, char> {
  public:
    explicit YavULQWideToMBConverter(ulq_cs_t cs = nullptr);
    int maxToLength(const unsigned short* src, int n) const override;
    int convertChar(const unsigned short* src, int n, int& consumed, char* out,
                    int room) const override;

  private:
    ulq_cs_t m_cs;
};

class YAV_EXPORT YavULQMBToWideConverter : public YavStringConverterT<char, unsigned short> {
  public:
    explicit YavULQMBToWideConverter(ulq_cs_t cs = nullptr);
    int maxToLength(const char* src, int n) const override;
    int convertChar(const char* src, int n, int& consumed, unsigned short* out,
                    int room) const override;

  private:
    ulq_cs_t m_cs;
};

#endif  // YAV_CORE_BUFFERS_YAVSTRINGCONVERTER_H
