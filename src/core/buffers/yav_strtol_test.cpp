#include "core/buffers/yav_strtol.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/buffers/YavString.h"
#include "core/buffers/yav_string_test_aids.h"

namespace {

// Signs, prefixes, bases, overflow of 32 and of 64 bits, partial parses:
// per base, the inputs separated by '|'.
const std::pair<int, const char*> kInputs[] = {
    {10,
     "|0|42|\t+17|-|+-1|0x1f|12abc|abc|2147483647|2147483648|-2147483648|-2147483649|4294967295|"
     "4294967296|-4294967295|-4294967296|-1|99999999999|-99999999999|99999999999999999999999|"
     "-99999999999999999999999"},
    {0, "  -0x1A| +|0x|0xg|-0x|017|019|08|0x7fffffff|-0X80000001"},
    {16, "0x|0X1f|ffffffff|100000000"},
    {36, "z|Zz"},
    {8, "777|8"},
    {2, "102"},
    {1, "1"},
    {37, "1"},
    {-1, "1"},
};

std::vector<std::string> split(const std::string& inputs) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t bar; (bar = inputs.find('|', start)) != std::string::npos; start = bar + 1) {
        out.push_back(inputs.substr(start, bar - start));
    }
    out.push_back(inputs.substr(start));
    return out;
}

struct Result {
    unsigned long value;
    int end;
    int error;
};

// glibc's 64-bit strtol/strtoul translated to the 32-bit limits: strtol
// clamps; strtoul needs a magnitude that fits 32 bits and wraps a negated
// value modulo 2^32.  glibc leaves the end pointer alone for an invalid base
// (sanitizer interceptors may not), so EINVAL means nothing consumed.
Result glibc(const char* text, int base, bool isUnsigned) {
    char* endPtr = const_cast<char*>(text);
    errno = 0;
    Result r;
    if (!isUnsigned) {
        long v = strtol(text, &endPtr, base);
        r.error = errno;
        if (v > INT32_MAX || v < INT32_MIN) {
            v = v > 0 ? INT32_MAX : INT32_MIN;
            r.error = ERANGE;
        }
        r.value = static_cast<unsigned long>(v);
    } else {
        unsigned long v = strtoul(text, &endPtr, base);
        r.error = errno;
        bool negative = strchr(text, '-') != nullptr;
        if (r.error == ERANGE || (negative ? 0 - v : v) > UINT32_MAX) {
            v = UINT32_MAX;
            r.error = ERANGE;
        }
        r.value = v & 0xFFFFFFFFu;
    }
    r.end = r.error == EINVAL ? 0 : static_cast<int>(endPtr - text);
    return r;
}

TEST(YavStrtolTest, MatchesGlibcClampedTo32Bits) {
    for (const auto& group : kInputs) {
        for (const std::string& input : split(group.second)) {
            const int base = group.first;
            SCOPED_TRACE("\"" + input + "\" base " + std::to_string(base));
            // An exact, unterminated copy: the parser must stop at the length.
            ExactUnits<char> bytes = exactChars(input);
            YavNCPStringRef text(bytes.data(), bytes.size());
            for (bool isUnsigned : {false, true}) {
                Result want = glibc(input.c_str(), base, isUnsigned);
                int end = -1;
                errno = 0;
                unsigned long got = isUnsigned
                                        ? yav_strtoul(text, &end, base)
                                        : static_cast<unsigned long>(yav_strtol(text, &end, base));
                EXPECT_EQ(got, want.value) << (isUnsigned ? "strtoul" : "strtol");
                EXPECT_EQ(errno, want.error);
                EXPECT_EQ(end, want.end);
            }
        }
    }
}

TEST(YavStrtolTest, ParsesEveryUnitTypeAndOnlySpacesAndTabsLead) {
    int end = -1;
    const unsigned short wide[] = {' ', '-', '0', 'x', '1', 'A', 0x0661, 0};
    EXPECT_EQ(yav_strtol(YavWStringRef(wide), &end, 0), -26);
    EXPECT_EQ(end, 6);  // an Arabic-Indic digit is not a digit
    EXPECT_EQ(yav_strtoul(YavSysWString(L"\t4294967295x"), &end, 10), 4294967295ul);
    EXPECT_EQ(end, 11);
    const unsigned char bytes[] = {'1', '2', 0xB2};
    EXPECT_EQ(yav_strtol(YavBinStringRef(bytes, 3), nullptr, 10), 12);
    EXPECT_EQ(yav_strtol(YavString("\n5"), &end, 10), 0);
    EXPECT_EQ(end, 0);
}

}  // namespace
