// The second pass of the printf engine (rendering) and the public entry
// points.  The first pass, parsing and fetching the arguments, is
// YavPrintfSpecList.
#include "core/sundry/yav_printf.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/sundry/yav_printf_spec.h"
#include "core/ulq/yav_utf8_codec.h"

namespace {

const char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
const char kLowerDigits[] = "0123456789abcdef";
const char kUpperDigits[] = "0123456789ABCDEF";
const char kNullString[] = "(null)";
const char kNullPointer[] = "(nil)";

// The output of one call: bytes are stored while they fit before the last
// byte of the buffer (kept for the terminator); every byte is counted.
class YavPrintfOutput {
  public:
    YavPrintfOutput(char* buffer, size_t size)
        : m_buffer(buffer), m_size(size), m_limit(size > 0 ? size - 1 : 0), m_length(0) {}
    YAV_DISALLOW_COPY(YavPrintfOutput);

    void put(const char* s, size_t n) {
        if (m_length < m_limit) {
            size_t room = m_limit - m_length;
            copy(m_buffer + m_length, s, n < room ? n : room);
        }
        m_length += n;
    }
    void fill(char c, size_t n) {
        if (m_length < m_limit && n > 0) {
            size_t room = m_limit - m_length;
            memset(m_buffer + m_length, c, n < room ? n : room);
        }
        m_length += n;
    }
    void terminate() {
        if (m_size > 0) m_buffer[m_length < m_limit ? m_length : m_limit] = '\0';
    }
    size_t length() const { return m_length; }

  private:
    // Most pieces of a log line are a few bytes long: they are copied with
    // two fixed-size moves that may overlap instead of a call to memcpy.
    static void copy(char* out, const char* s, size_t n) {
        if (n >= 16) {
            memcpy(out, s, n);
        } else if (n >= 8) {
            memcpy(out, s, 8);
            memcpy(out + n - 8, s + n - 8, 8);
        } else if (n >= 4) {
            memcpy(out, s, 4);
            memcpy(out + n - 4, s + n - 4, 4);
        } else if (n > 0) {
            out[0] = s[0];
            out[n / 2] = s[n / 2];
            out[n - 1] = s[n - 1];
        }
    }

    char* m_buffer;
    size_t m_size;
    size_t m_limit;
    size_t m_length;
};

// Renders the specifications of one parsed format.  The code set is looked
// up only when a conversion needs it (%s with a precision, %S, %C), so that
// formats without those never touch the code-set layer.
class YavPrintfRenderer {
  public:
    YavPrintfRenderer(char* buffer, size_t size, ulq_cs_t codeSet, ulq_cs_t (*defaultCodeSet)(),
                      const YavPrintfSpecList& specs)
        : m_output(buffer, size),
          m_specs(specs),
          m_codeSet(codeSet),
          m_defaultCodeSet(defaultCodeSet),
          m_maxCharLength(0),
          m_utf8(false) {}
    YAV_DISALLOW_COPY(YavPrintfRenderer);

    // The length of the whole output, or -1.
    int render(const char* format);

  private:
    // A specification with its width and precision settled ('*' values
    // fetched, a negative '*' width turned into the '-' flag).
    struct Field {
        uint8_t flags;
        size_t width;
        int precision;  // -1: none
    };

    bool renderSpec(const YavPrintfSpec& spec);
    void renderInteger(char conversion, const Field& field, unsigned long long magnitude,
                       char sign);
    bool renderFloating(char conversion, const Field& field, double value);
    void renderText(const char* s, size_t length, const Field& field);
    bool renderWideString(const wchar_t* s, const Field& field);
    bool renderWideChar(wchar_t wc, const Field& field);
    size_t fittingBytes(const char* s, size_t limit);
    void resolveCodeSet();

    void padBefore(const Field& field, size_t used) {
        if (!(field.flags & yav_printf_flag_left) && field.width > used) {
            m_output.fill(' ', field.width - used);
        }
    }
    void padAfter(const Field& field, size_t used) {
        if ((field.flags & yav_printf_flag_left) && field.width > used) {
            m_output.fill(' ', field.width - used);
        }
    }

    YavPrintfOutput m_output;
    const YavPrintfSpecList& m_specs;
    ulq_cs_t m_codeSet;  // null until resolved when the caller gave none
    ulq_cs_t (*m_defaultCodeSet)();
    int m_maxCharLength;  // 0 until resolved
    bool m_utf8;
};

int YavPrintfRenderer::render(const char* format) {
    const char* literal = format;
    for (int i = 0; i < m_specs.count(); ++i) {
        const YavPrintfSpec& spec = m_specs.spec(i);
        m_output.put(literal, static_cast<size_t>(spec.m_start - literal));
        if (!renderSpec(spec) || m_output.length() > INT_MAX) return -1;
        literal = spec.m_end;
    }
    m_output.put(literal, static_cast<size_t>(m_specs.formatEnd() - literal));
    if (m_output.length() > INT_MAX) return -1;
    m_output.terminate();
    return static_cast<int>(m_output.length());
}

bool YavPrintfRenderer::renderSpec(const YavPrintfSpec& spec) {
    Field field;
    field.flags = spec.m_flags;
    int width = spec.m_width;
    if (spec.m_widthArgument >= 0) {
        width = m_specs.value(spec.m_widthArgument).m_int;
        if (width < 0) {
            // -INT_MIN has no int value; C leaves such a width undefined.
            if (width == INT_MIN) return false;
            field.flags |= yav_printf_flag_left;
            width = -width;
        }
    }
    field.width = width > 0 ? static_cast<size_t>(width) : 0;
    field.precision = spec.m_precision;
    if (spec.m_precisionArgument >= 0) {
        int precision = m_specs.value(spec.m_precisionArgument).m_int;
        field.precision = precision < 0 ? -1 : precision;
    }
    if (field.flags & yav_printf_flag_left) field.flags &= ~yav_printf_flag_zero;

    if (spec.m_conversion == '%') {
        m_output.put("%", 1);
        return true;
    }
    const YavPrintfValue& value = m_specs.value(spec.m_argument);
    char conversion = spec.m_conversion;
    switch (conversion) {
        case 'd':
        case 'i': {
            long long v;
            switch (spec.m_length) {
                case yav_printf_length_hh:
                    v = static_cast<signed char>(value.m_int);
                    break;
                case yav_printf_length_h:
                    v = static_cast<short>(value.m_int);
                    break;
                case yav_printf_length_l:
                    v = value.m_long;
                    break;
                case yav_printf_length_ll:
                    v = value.m_longLong;
                    break;
                default:
                    v = value.m_int;
                    break;
            }
            unsigned long long magnitude = static_cast<unsigned long long>(v);
            char sign = 0;
            if (v < 0) {
                magnitude = 0 - magnitude;
                sign = '-';
            } else if (field.flags & yav_printf_flag_plus) {
                sign = '+';
            } else if (field.flags & yav_printf_flag_blank) {
                sign = ' ';
            }
            renderInteger(conversion, field, magnitude, sign);
            return true;
        }
        case 'o':
        case 'u':
        case 'x':
        case 'X': {
            unsigned long long magnitude;
            switch (spec.m_length) {
                case yav_printf_length_hh:
                    magnitude = static_cast<unsigned char>(value.m_int);
                    break;
                case yav_printf_length_h:
                    magnitude = static_cast<unsigned short>(value.m_int);
                    break;
                case yav_printf_length_l:
                    magnitude = static_cast<unsigned long>(value.m_long);
                    break;
                case yav_printf_length_ll:
                    magnitude = static_cast<unsigned long long>(value.m_longLong);
                    break;
                default:
                    magnitude = static_cast<unsigned int>(value.m_int);
                    break;
            }
            renderInteger(conversion, field, magnitude, 0);
            return true;
        }
        case 'p': {
            if (value.m_pointer == nullptr) {
                renderText(kNullPointer, sizeof(kNullPointer) - 1, field);
                return true;
            }
            char sign = (field.flags & yav_printf_flag_plus)    ? '+'
                        : (field.flags & yav_printf_flag_blank) ? ' '
                                                                : 0;
            renderInteger('p', field, reinterpret_cast<uintptr_t>(value.m_pointer), sign);
            return true;
        }
        case 'c': {
            char c = static_cast<char>(static_cast<unsigned char>(value.m_int));
            renderText(&c, 1, field);
            return true;
        }
        case 's': {
            const char* s = static_cast<const char*>(value.m_pointer);
            if (s == nullptr) s = kNullString;
            size_t length = field.precision < 0
                                ? strlen(s)
                                : fittingBytes(s, static_cast<size_t>(field.precision));
            renderText(s, length, field);
            return true;
        }
        case 'S':
            return renderWideString(static_cast<const wchar_t*>(value.m_pointer), field);
        case 'C':
            // A wint_t argument, promoted to int when passed.
            return renderWideChar(static_cast<wchar_t>(static_cast<unsigned>(value.m_int)), field);
        default:
            return renderFloating(conversion, field, value.m_double);
    }
}

// [blanks] [sign] [0x] [zeros] digits [blanks]
void YavPrintfRenderer::renderInteger(char conversion, const Field& field,
                                      unsigned long long magnitude, char sign) {
    char buffer[24];
    char* end = buffer + sizeof(buffer);
    char* digits = end;
    bool isZero = magnitude == 0;
    // As in C, a zero value with a zero precision has no digits at all.
    if (!isZero || field.precision != 0) {
        if (conversion == 'd' || conversion == 'i' || conversion == 'u') {
            // Two digits a step; in 32 bits while the value allows.
            while (magnitude > UINT32_MAX) {
                unsigned pair = static_cast<unsigned>(magnitude % 100);
                magnitude /= 100;
                digits -= 2;
                memcpy(digits, kDigitPairs + 2 * pair, 2);
            }
            uint32_t small = static_cast<uint32_t>(magnitude);
            while (small >= 100) {
                unsigned pair = small % 100;
                small /= 100;
                digits -= 2;
                memcpy(digits, kDigitPairs + 2 * pair, 2);
            }
            if (small >= 10) {
                digits -= 2;
                memcpy(digits, kDigitPairs + 2 * small, 2);
            } else {
                *--digits = static_cast<char>('0' + small);
            }
        } else if (conversion == 'o') {
            do {
                *--digits = static_cast<char>('0' + (magnitude & 7));
                magnitude >>= 3;
            } while (magnitude != 0);
        } else {
            const char* table = conversion == 'X' ? kUpperDigits : kLowerDigits;
            do {
                *--digits = table[magnitude & 15];
                magnitude >>= 4;
            } while (magnitude != 0);
        }
    }
    size_t digitCount = static_cast<size_t>(end - digits);
    size_t zeros = 0;
    if (field.precision > 0 && static_cast<size_t>(field.precision) > digitCount) {
        zeros = static_cast<size_t>(field.precision) - digitCount;
    }
    // '#' with 'o' makes the first digit a 0 (by raising the precision).
    if (conversion == 'o' && (field.flags & yav_printf_flag_alt) && zeros == 0 &&
        (digitCount == 0 || *digits != '0')) {
        zeros = 1;
    }
    char prefix[3];
    size_t prefixLength = 0;
    if (sign != 0) prefix[prefixLength++] = sign;
    if (conversion == 'p' || ((conversion == 'x' || conversion == 'X') &&
                              (field.flags & yav_printf_flag_alt) && !isZero)) {
        prefix[prefixLength++] = '0';
        prefix[prefixLength++] = conversion == 'X' ? 'X' : 'x';
    }
    size_t used = prefixLength + zeros + digitCount;
    size_t padding = field.width > used ? field.width - used : 0;
    // A precision cancels zero padding.
    if ((field.flags & yav_printf_flag_zero) && field.precision < 0) {
        zeros += padding;
        padding = 0;
    }
    if (!(field.flags & yav_printf_flag_left)) m_output.fill(' ', padding);
    m_output.put(prefix, prefixLength);
    m_output.fill('0', zeros);
    m_output.put(digits, digitCount);
    if (field.flags & yav_printf_flag_left) m_output.fill(' ', padding);
}

// The C library renders the digits of a floating value (the same digits
// as its printf) into a local buffer; the width is applied here.  The
// grouping flag is dropped, as it is for integers, so that output does not
// depend on the locale's thousands separator; the radix character is the C
// library's (that of the LC_NUMERIC locale).
//
// The exact decimal value of a double ends within kExactFractionDigits
// digits after the point (2^-1074 has 1074), so every digit of a larger
// precision is a zero: those zeros are added here instead of being made by
// the C library, whose time grows with the precision.
bool YavPrintfRenderer::renderFloating(char conversion, const Field& field, double value) {
    constexpr int kExactFractionDigits = 1100;
    char format[8];
    char* f = format;
    *f++ = '%';
    if (field.flags & yav_printf_flag_plus) *f++ = '+';
    if (field.flags & yav_printf_flag_blank) *f++ = ' ';
    if (field.flags & yav_printf_flag_alt) *f++ = '#';
    *f++ = '.';
    *f++ = '*';
    *f++ = conversion;
    *f = '\0';
    int precision = field.precision < 0 ? 6 : field.precision;
    size_t zeros = 0;
    if (precision > kExactFractionDigits) {
        zeros = static_cast<size_t>(precision - kExactFractionDigits);
        precision = kExactFractionDigits;
    }
    // Longest body: sign, 309 integer digits of DBL_MAX, point, digits.
    char body[kExactFractionDigits + 400];
    int n = snprintf(body, sizeof(body), format, precision, value);
    if (n < 0 || static_cast<size_t>(n) >= sizeof(body)) return false;
    size_t length = static_cast<size_t>(n);
    bool finite = std::isfinite(value);
    // %g drops trailing zeros unless '#' is given; inf and nan have none.
    if (!finite ||
        ((conversion == 'g' || conversion == 'G') && !(field.flags & yav_printf_flag_alt))) {
        zeros = 0;
    }
    // The zeros go at the end of the digits: before an exponent, if any.
    size_t split = length;
    if (zeros > 0) {
        const void* e = memchr(body, conversion == 'E' || conversion == 'G' ? 'E' : 'e', length);
        if (e != nullptr) split = static_cast<size_t>(static_cast<const char*>(e) - body);
    }
    size_t used = length + zeros;
    size_t padding = field.width > used ? field.width - used : 0;
    bool left = (field.flags & yav_printf_flag_left) != 0;
    size_t lead = 0;
    if (!left && (field.flags & yav_printf_flag_zero) && finite) {
        // Zero padding goes after the sign; inf and nan are padded with blanks.
        if (body[0] == '-' || body[0] == '+' || body[0] == ' ') lead = 1;
        m_output.put(body, lead);
        m_output.fill('0', padding);
    } else if (!left) {
        m_output.fill(' ', padding);
    }
    m_output.put(body + lead, split - lead);
    m_output.fill('0', zeros);
    m_output.put(body + split, length - split);
    if (left) m_output.fill(' ', padding);
    return true;
}

void YavPrintfRenderer::renderText(const char* s, size_t length, const Field& field) {
    padBefore(field, length);
    m_output.put(s, length);
    padAfter(field, length);
}

void YavPrintfRenderer::resolveCodeSet() {
    if (m_maxCharLength != 0) return;
    if (m_codeSet == nullptr) m_codeSet = m_defaultCodeSet();
    m_maxCharLength = ulq_mb_cur_max(m_codeSet);
    m_utf8 = ulq_cs_is_utf8(m_codeSet) != 0;
}

// How many bytes of s, at most limit, hold whole characters.  Only the
// bytes before the terminator or the limit are read (C allows an array
// without terminator when a precision is given).  A byte that cannot start
// a character counts as one byte; a character that the limit cuts is left
// out.  In UTF-8 the two are told apart exactly; in other multi-byte code
// sets, whose layer answers -1 for both, an undecodable sequence within
// the last character's length before the limit is taken to be cut.
size_t YavPrintfRenderer::fittingBytes(const char* s, size_t limit) {
    size_t available = strnlen(s, limit);
    if (available == 0) return 0;
    resolveCodeSet();
    if (m_maxCharLength == 1) return available;
    bool cutByLimit = available == limit;
    size_t i = 0;
    while (i < available) {
        if (static_cast<unsigned char>(s[i]) < 0x80 && m_utf8) {
            ++i;
            continue;
        }
        int length;
        bool cut;
        if (m_utf8) {
            uint32_t wc;
            length = yav_utf8_decode(s + i, available - i, &wc);
            cut = length == YAV_UTF8_INCOMPLETE && cutByLimit;
        } else {
            length = ulq_mblen(m_codeSet, s + i, available - i);
            cut = length < 0 && cutByLimit && available - i < static_cast<size_t>(m_maxCharLength);
        }
        if (cut) break;
        i += length > 0 ? static_cast<size_t>(length) : 1;
    }
    return i;
}

// Each character is converted twice, once to measure (for the padding
// and to fail before writing anything) and once to write.
bool YavPrintfRenderer::renderWideString(const wchar_t* s, const Field& field) {
    if (s == nullptr) {
        size_t length = sizeof(kNullString) - 1;
        if (field.precision >= 0 && static_cast<size_t>(field.precision) < length) {
            length = static_cast<size_t>(field.precision);
        }
        renderText(kNullString, length, field);
        return true;
    }
    resolveCodeSet();
    size_t limit = field.precision < 0 ? SIZE_MAX : static_cast<size_t>(field.precision);
    size_t length = 0;
    size_t count = 0;
    // A character after the precision is full is not converted at all.
    for (; s[count] != L'\0' && length < limit; ++count) {
        char bytes[MB_LEN_MAX];
        int n = ulq_wctomb(m_codeSet, bytes, s[count]);
        if (n < 0) return false;
        if (static_cast<size_t>(n) > limit - length) break;
        length += static_cast<size_t>(n);
    }
    padBefore(field, length);
    for (size_t i = 0; i < count; ++i) {
        char bytes[MB_LEN_MAX];
        int n = ulq_wctomb(m_codeSet, bytes, s[i]);
        if (n < 0) return false;
        m_output.put(bytes, static_cast<size_t>(n));
    }
    padAfter(field, length);
    return true;
}

bool YavPrintfRenderer::renderWideChar(wchar_t wc, const Field& field) {
    resolveCodeSet();
    char bytes[MB_LEN_MAX];
    int n = ulq_wctomb(m_codeSet, bytes, wc);
    if (n < 0) return false;
    renderText(bytes, static_cast<size_t>(n), field);
    return true;
}

int formatWith(char* buffer, size_t size, ulq_cs_t codeSet, ulq_cs_t (*defaultCodeSet)(),
               const char* format, va_list args) {
    if (buffer == nullptr) size = 0;
    if (size > 0) buffer[0] = '\0';
    if (format == nullptr) return -1;
    YavPrintfSpecList specs;
    if (!specs.parse(format)) return -1;
    specs.fetch(args);
    YavPrintfRenderer renderer(buffer, size, codeSet, defaultCodeSet, specs);
    int length = renderer.render(format);
    if (length < 0 && size > 0) buffer[0] = '\0';
    return length;
}

int allocateWith(char** result, ulq_cs_t codeSet, ulq_cs_t (*defaultCodeSet)(), const char* format,
                 va_list args) {
    if (result == nullptr) return -1;
    *result = nullptr;
    va_list measureArgs;
    va_copy(measureArgs, args);
    int length = formatWith(nullptr, 0, codeSet, defaultCodeSet, format, measureArgs);
    va_end(measureArgs);
    if (length < 0) return -1;
    size_t size = static_cast<size_t>(length) + 1;
    char* block = static_cast<char*>(malloc(size));
    if (block == nullptr) return -1;
    // The arguments are the same, so the output is as measured; a string
    // argument changed meanwhile by another thread is not ours to format.
    if (formatWith(block, size, codeSet, defaultCodeSet, format, args) != length) {
        free(block);
        return -1;
    }
    *result = block;
    return length;
}

}  // namespace

int yav_vsnprintf_cs(char* buffer, size_t size, ulq_cs_t codeSet, const char* format,
                     va_list args) {
    return formatWith(buffer, size, codeSet, ulq_get_def_cs, format, args);
}

int yav_vsnprintf(char* buffer, size_t size, const char* format, va_list args) {
    return formatWith(buffer, size, nullptr, ulq_get_def_cs, format, args);
}

int yav_vsnprintf_lcp(char* buffer, size_t size, const char* format, va_list args) {
    return formatWith(buffer, size, nullptr, ulq_local_cs, format, args);
}

int yav_vsnprintf_utf8(char* buffer, size_t size, const char* format, va_list args) {
    return formatWith(buffer, size, nullptr, ulq_utf8_cs, format, args);
}

int yav_snprintf_cs(char* buffer, size_t size, ulq_cs_t codeSet, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = formatWith(buffer, size, codeSet, ulq_get_def_cs, format, args);
    va_end(args);
    return length;
}

int yav_snprintf(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = formatWith(buffer, size, nullptr, ulq_get_def_cs, format, args);
    va_end(args);
    return length;
}

int yav_snprintf_lcp(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = formatWith(buffer, size, nullptr, ulq_local_cs, format, args);
    va_end(args);
    return length;
}

int yav_snprintf_utf8(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = formatWith(buffer, size, nullptr, ulq_utf8_cs, format, args);
    va_end(args);
    return length;
}

int yav_vasprintf_cs(char** result, ulq_cs_t codeSet, const char* format, va_list args) {
    return allocateWith(result, codeSet, ulq_get_def_cs, format, args);
}

int yav_vasprintf(char** result, const char* format, va_list args) {
    return allocateWith(result, nullptr, ulq_get_def_cs, format, args);
}

int yav_vasprintf_lcp(char** result, const char* format, va_list args) {
    return allocateWith(result, nullptr, ulq_local_cs, format, args);
}

int yav_vasprintf_utf8(char** result, const char* format, va_list args) {
    return allocateWith(result, nullptr, ulq_utf8_cs, format, args);
}

int yav_asprintf_cs(char** result, ulq_cs_t codeSet, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = allocateWith(result, codeSet, ulq_get_def_cs, format, args);
    va_end(args);
    return length;
}

int yav_asprintf(char** result, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = allocateWith(result, nullptr, ulq_get_def_cs, format, args);
    va_end(args);
    return length;
}

int yav_asprintf_lcp(char** result, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = allocateWith(result, nullptr, ulq_local_cs, format, args);
    va_end(args);
    return length;
}

int yav_asprintf_utf8(char** result, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = allocateWith(result, nullptr, ulq_utf8_cs, format, args);
    va_end(args);
    return length;
}

void yav_asprintf_free(char* result) { free(result); }
