#include "core/sundry/yav_printf_spec.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Flag bits by character, from ' ' to '0'.
const uint8_t kFlags['0' - ' ' + 1] = {
    yav_printf_flag_blank,
    0,
    0,
    yav_printf_flag_alt,
    0,
    0,
    0,
    yav_printf_flag_group,
    0,
    0,
    0,
    yav_printf_flag_plus,
    0,
    yav_printf_flag_left,
    0,
    0,
    yav_printf_flag_zero,
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the decimal digits at *p into *value and moves *p past them; false
// when the number exceeds INT_MAX.
bool readNumber(const char** p, int* value) {
    const char* q = *p;
    long long n = 0;
    for (; isDigit(*q); ++q) {
        n = n * 10 + (*q - '0');
        if (n > INT_MAX) return false;
    }
    *p = q;
    *value = static_cast<int>(n);
    return true;
}

// Reads "digits$" at *p: 1 with the 0-based argument in *argument and *p
// moved past the '$', 0 when *p does not start such a position (*p is left
// alone), -1 when the digits exceed INT_MAX or the position is 0.
int readPosition(const char** p, int* argument) {
    if (!isDigit(**p)) return 0;
    const char* q = *p;
    int n = 0;
    if (!readNumber(&q, &n)) return -1;
    if (*q != '$') return 0;
    if (n == 0) return -1;
    *argument = n - 1;
    *p = q + 1;
    return 1;
}

// The first '%' or the terminator at or after p.  The text between the
// specifications of a log line is short: a plain loop finds the next '%'
// sooner than a vectorised search would start.
const char* findPercent(const char* p) {
    for (int i = 0; i < 16; ++i, ++p) {
        if (*p == '%' || *p == '\0') return p;
    }
    return strchrnul(p, '%');
}

yav_printf_arg_type integerType(yav_printf_length length) {
    switch (length) {
        case yav_printf_length_l:
            return yav_printf_arg_long;
        case yav_printf_length_ll:
            return yav_printf_arg_long_long;
        default:
            return yav_printf_arg_int;
    }
}

// The type the value of a specification is fetched with.
yav_printf_arg_type valueType(const YavPrintfSpec& spec) {
    switch (spec.m_conversion) {
        case 'c':
        case 'C':
            return yav_printf_arg_int;
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
            return yav_printf_arg_double;
        case 'p':
        case 's':
        case 'S':
            return yav_printf_arg_pointer;
        default:
            return integerType(spec.m_length);
    }
}

// Checks the length modifier against the conversion and folds "lc" and "ls"
// into 'C' and 'S'.  False for an unknown conversion or a length that does
// not belong to it.
bool settleConversion(YavPrintfSpec* spec) {
    switch (spec->m_conversion) {
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X':
        case '%':
            return true;
        case 'c':
        case 's':
            if (spec->m_length == yav_printf_length_l) {
                spec->m_conversion = spec->m_conversion == 'c' ? 'C' : 'S';
                spec->m_length = yav_printf_length_none;
            }
            return spec->m_length == yav_printf_length_none;
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
            if (spec->m_length == yav_printf_length_l) spec->m_length = yav_printf_length_none;
            return spec->m_length == yav_printf_length_none;
        case 'C':
        case 'S':
        case 'p':
            return spec->m_length == yav_printf_length_none;
        default:
            return false;
    }
}

}  // namespace

YavPrintfSpecList::YavPrintfSpecList()
    : m_formatEnd(nullptr),
      m_specs(m_inlineSpecs),
      m_count(0),
      m_capacity(kYavPrintfInlineSpecs),
      m_references(0),
      m_nextArgument(0),
      m_highestNumbered(-1),
      m_numbered(false),
      m_unnumbered(false),
      m_values(m_inlineValues),
      m_types(m_inlineTypes),
      m_argCount(0) {}

YavPrintfSpecList::~YavPrintfSpecList() {
    if (m_specs != m_inlineSpecs) free(m_specs);
    if (m_values != m_inlineValues) free(m_values);
}

YavPrintfSpec* YavPrintfSpecList::addSpec() {
    if (m_count == m_capacity) {
        if (m_capacity > INT_MAX - kYavPrintfInlineSpecs) return nullptr;
        int capacity = m_capacity + kYavPrintfInlineSpecs;
        size_t bytes = static_cast<size_t>(capacity) * sizeof(YavPrintfSpec);
        YavPrintfSpec* block;
        if (m_specs == m_inlineSpecs) {
            block = static_cast<YavPrintfSpec*>(malloc(bytes));
            if (block != nullptr) memcpy(block, m_inlineSpecs, sizeof(m_inlineSpecs));
        } else {
            // realloc rather than a fresh block each time: large blocks grow
            // in place, so growing by a fixed step stays cheap.
            block = static_cast<YavPrintfSpec*>(realloc(m_specs, bytes));
        }
        if (block == nullptr) return nullptr;
        m_specs = block;
        m_capacity = capacity;
    }
    return &m_specs[m_count++];
}

bool YavPrintfSpecList::parse(const char* format) {
    for (const char* p = findPercent(format);; p = findPercent(p)) {
        if (*p == '\0') {
            m_formatEnd = p;
            return numberArguments();
        }
        YavPrintfSpec* spec = addSpec();
        if (spec == nullptr || !parseSpec(p, spec)) return false;
        p = spec->m_end;
    }
}

bool YavPrintfSpecList::parseSpec(const char* percent, YavPrintfSpec* spec) {
    const char* p = percent + 1;
    spec->m_start = percent;
    spec->m_argument = -1;
    spec->m_width = -1;
    spec->m_widthArgument = -1;
    spec->m_precision = -1;
    spec->m_precisionArgument = -1;
    spec->m_flags = 0;
    spec->m_length = yav_printf_length_none;

    int position = -1;
    if (readPosition(&p, &position) < 0) return false;
    // The flag characters all lie between ' ' and '0'.
    for (unsigned k; (k = static_cast<unsigned char>(*p) - ' ') <= '0' - ' ' && kFlags[k] != 0;
         ++p) {
        spec->m_flags |= kFlags[k];
    }

    if (*p == '*') {
        ++p;
        if (!takeStarArgument(&p, &spec->m_widthArgument)) return false;
    } else if (isDigit(*p) && !readNumber(&p, &spec->m_width)) {
        return false;
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            ++p;
            if (!takeStarArgument(&p, &spec->m_precisionArgument)) return false;
        } else {
            spec->m_precision = 0;
            if (isDigit(*p) && !readNumber(&p, &spec->m_precision)) return false;
        }
    }

    switch (*p) {
        case 'h':
            ++p;
            spec->m_length = yav_printf_length_h;
            if (*p == 'h') {
                ++p;
                spec->m_length = yav_printf_length_hh;
            }
            break;
        case 'l':
            ++p;
            spec->m_length = yav_printf_length_l;
            if (*p == 'l') {
                ++p;
                spec->m_length = yav_printf_length_ll;
            }
            break;
        case 'z':
            ++p;
            spec->m_length = yav_printf_length_l;
            break;
        default:
            break;
    }

    spec->m_conversion = *p;
    if (*p == '\0' || !settleConversion(spec)) return false;
    spec->m_end = p + 1;
    if (spec->m_conversion == '%') {
        return position < 0 && spec->m_widthArgument < 0 && spec->m_precisionArgument < 0;
    }
    return takeArgument(position, &spec->m_argument);
}

bool YavPrintfSpecList::takeArgument(int position, int* argument) {
    if (position >= 0) {
        m_numbered = true;
        *argument = position;
    } else {
        if (m_nextArgument == INT_MAX) return false;
        m_unnumbered = true;
        *argument = m_nextArgument++;
    }
    // Every reference counts: a format can name at most as many arguments
    // as it has references, which bounds the value array before it is made.
    if (m_references == INT_MAX) return false;
    ++m_references;
    if (*argument > m_highestNumbered) m_highestNumbered = *argument;
    return true;
}

bool YavPrintfSpecList::takeStarArgument(const char** p, int* argument) {
    int position = -1;
    int named = readPosition(p, &position);
    return named >= 0 && takeArgument(position, argument);
}

bool YavPrintfSpecList::numberArguments() {
    if (m_numbered && m_unnumbered) return false;
    int count = m_highestNumbered + 1;
    // An argument that nothing names has no known type, so neither it nor
    // any argument after it could be fetched.
    if (count > m_references) return false;
    if (count > kYavPrintfInlineArgs) {
        size_t each = sizeof(YavPrintfValue) + sizeof(yav_printf_arg_type);
        void* block = malloc(static_cast<size_t>(count) * each);
        if (block == nullptr) return false;
        m_values = static_cast<YavPrintfValue*>(block);
        m_types = reinterpret_cast<yav_printf_arg_type*>(m_values + count);
    }
    m_argCount = count;
    // Unnumbered arguments are named once each, in the order of the
    // specifications, which is all fetch needs to know.
    if (!m_numbered) return true;
    memset(m_types, yav_printf_arg_unknown, static_cast<size_t>(count));
    auto assign = [this](int argument, yav_printf_arg_type type) {
        if (argument < 0) return true;
        yav_printf_arg_type& slot = m_types[argument];
        if (slot == yav_printf_arg_unknown) slot = type;
        return slot == type;
    };
    for (int i = 0; i < m_count; ++i) {
        const YavPrintfSpec& spec = m_specs[i];
        if (!assign(spec.m_widthArgument, yav_printf_arg_int) ||
            !assign(spec.m_precisionArgument, yav_printf_arg_int) ||
            !assign(spec.m_argument, valueType(spec))) {
            return false;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (m_types[i] == yav_printf_arg_unknown) return false;
    }
    return true;
}

void YavPrintfSpecList::fetch(va_list args) {
    va_list list;
    va_copy(list, args);
    auto fetchOne = [&list](yav_printf_arg_type type, YavPrintfValue* value) {
        switch (type) {
            case yav_printf_arg_int:
                value->m_int = va_arg(list, int);
                break;
            case yav_printf_arg_long:
                value->m_long = va_arg(list, long);
                break;
            case yav_printf_arg_long_long:
                value->m_longLong = va_arg(list, long long);
                break;
            case yav_printf_arg_double:
                value->m_double = va_arg(list, double);
                break;
            case yav_printf_arg_pointer:
                value->m_pointer = va_arg(list, const void*);
                break;
            case yav_printf_arg_unknown:
                break;
        }
    };
    if (m_numbered) {
        for (int i = 0; i < m_argCount; ++i) fetchOne(m_types[i], &m_values[i]);
    } else {
        for (int i = 0; i < m_count; ++i) {
            const YavPrintfSpec& spec = m_specs[i];
            if (spec.m_widthArgument >= 0) {
                m_values[spec.m_widthArgument].m_int = va_arg(list, int);
            }
            if (spec.m_precisionArgument >= 0) {
                m_values[spec.m_precisionArgument].m_int = va_arg(list, int);
            }
            if (spec.m_argument >= 0) fetchOne(valueType(spec), &m_values[spec.m_argument]);
        }
    }
    va_end(list);
}
