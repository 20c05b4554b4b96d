#include "core/buffers/yav_strtol.h"

#include <cerrno>
#include <cstdint>
#include <type_traits>

#include "core/system/yav_assert.h"

namespace {

const uint64_t kLongMax = 2147483647u;           // INT32_MAX
const uint64_t kLongMinMagnitude = 2147483648u;  // -INT32_MIN
const uint64_t kULongMax = 4294967295u;          // UINT32_MAX

template <class CharT>
uint32_t unitValue(CharT c) {
    return static_cast<uint32_t>(static_cast<typename std::make_unsigned<CharT>::type>(c));
}

// The digit value of a unit in any base up to 36; 36 for a non-digit.
template <class CharT>
uint32_t digitValue(CharT c) {
    uint32_t u = unitValue(c);
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'z') return u - 'a' + 10;
    if (u >= 'A' && u <= 'Z') return u - 'A' + 10;
    return 36;
}

struct Parsed {
    bool valid;  // a digit was found (and the base was valid)
    bool negative;
    bool overflow;  // the magnitude exceeded the limit of its sign
    uint64_t magnitude;
};

// Parses sign and digits; positiveLimit/negativeLimit bound the magnitude.
template <class CharT>
Parsed parse(const CharT* s, int n, int* endIndex, int base, uint64_t positiveLimit,
             uint64_t negativeLimit) {
    YAV_ASSERT(n >= 0 && (s != nullptr || n == 0));
    Parsed result = {false, false, false, 0};
    if (endIndex != nullptr) *endIndex = 0;
    if (base != 0 && (base < 2 || base > 36)) {
        errno = EINVAL;
        return result;
    }
    int i = 0;
    while (i < n && (unitValue(s[i]) == ' ' || unitValue(s[i]) == '\t')) ++i;
    if (i < n && (unitValue(s[i]) == '+' || unitValue(s[i]) == '-')) {
        result.negative = unitValue(s[i]) == '-';
        ++i;
    }
    bool prefix = (base == 0 || base == 16) && n - i >= 3 && unitValue(s[i]) == '0' &&
                  (unitValue(s[i + 1]) == 'x' || unitValue(s[i + 1]) == 'X') &&
                  digitValue(s[i + 2]) < 16;
    if (prefix) {
        i += 2;
        base = 16;
    } else if (base == 0) {
        base = i < n && unitValue(s[i]) == '0' ? 8 : 10;
    }
    uint64_t limit = result.negative ? negativeLimit : positiveLimit;
    int first = i;
    for (; i < n; ++i) {
        uint32_t digit = digitValue(s[i]);
        if (digit >= static_cast<uint32_t>(base)) break;
        // Past the limit only the digits are consumed; the magnitude stays
        // below limit * 36 + 35, far from 64-bit overflow.
        if (!result.overflow) {
            result.magnitude = result.magnitude * static_cast<uint64_t>(base) + digit;
            if (result.magnitude > limit) result.overflow = true;
        }
    }
    if (i == first) return result;
    result.valid = true;
    if (endIndex != nullptr) *endIndex = i;
    return result;
}

template <class CharT>
long strtolUnits(const CharT* s, int n, int* endIndex, int base) {
    Parsed p = parse(s, n, endIndex, base, kLongMax, kLongMinMagnitude);
    if (!p.valid) return 0;
    if (p.overflow) {
        errno = ERANGE;
        return p.negative ? INT32_MIN : INT32_MAX;
    }
    return p.negative ? -static_cast<long>(p.magnitude) : static_cast<long>(p.magnitude);
}

template <class CharT>
unsigned long strtoulUnits(const CharT* s, int n, int* endIndex, int base) {
    Parsed p = parse(s, n, endIndex, base, kULongMax, kULongMax);
    if (!p.valid) return 0;
    if (p.overflow) {
        errno = ERANGE;
        return kULongMax;
    }
    uint32_t value = static_cast<uint32_t>(p.magnitude);
    return p.negative ? static_cast<uint32_t>(0u - value) : value;
}

}  // namespace

long yav_strtol_n(const char* s, int n, int* endIndex, int base) {
    return strtolUnits(s, n, endIndex, base);
}
long yav_strtol_n(const unsigned char* s, int n, int* endIndex, int base) {
    return strtolUnits(s, n, endIndex, base);
}
long yav_strtol_n(const unsigned short* s, int n, int* endIndex, int base) {
    return strtolUnits(s, n, endIndex, base);
}
long yav_strtol_n(const wchar_t* s, int n, int* endIndex, int base) {
    return strtolUnits(s, n, endIndex, base);
}

unsigned long yav_strtoul_n(const char* s, int n, int* endIndex, int base) {
    return strtoulUnits(s, n, endIndex, base);
}
unsigned long yav_strtoul_n(const unsigned char* s, int n, int* endIndex, int base) {
    return strtoulUnits(s, n, endIndex, base);
}
unsigned long yav_strtoul_n(const unsigned short* s, int n, int* endIndex, int base) {
    return strtoulUnits(s, n, endIndex, base);
}
unsigned long yav_strtoul_n(const wchar_t* s, int n, int* endIndex, int base) {
    return strtoulUnits(s, n, endIndex, base);
}
