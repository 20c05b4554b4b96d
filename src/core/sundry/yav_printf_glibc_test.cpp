// yav_snprintf against glibc's snprintf on generated specifications whose
// meaning both define alike, each into buffers of several sizes.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/sundry/yav_printf.h"

namespace {

// A deterministic generator with the two draws the cases need.
struct Random {
    std::mt19937_64 engine{20240611};
    uint64_t next() { return engine(); }
    int below(size_t n) { return static_cast<int>(engine() % n); }
    int between(int low, int high) { return low + below(static_cast<size_t>(high - low + 1)); }
};

// Compares both functions on one format, into buffers of exactly the
// output's length plus 1, the length, half of it, 1 and 0 bytes.
class Comparison {
  public:
    template <class... A>
    void run(const std::string& format, A... args) {
        const char* f = format.c_str();
        int full = snprintf(nullptr, 0, f, args...);
        ASSERT_GE(full, 0) << format;
        size_t n = static_cast<size_t>(full);
        for (size_t size : {n + 1, n, n / 2, size_t{1}, size_t{0}}) {
            std::vector<char> expected(size);
            std::vector<char> actual(size);
            int e = snprintf(expected.data(), size, f, args...);
            int a = yav_snprintf(actual.data(), size, f, args...);
            ++m_calls;
            if (a != e || actual != expected) {
                if (m_failures.size() < 10) {
                    m_failures.push_back(format + " size " + std::to_string(size) + ": glibc " +
                                         std::to_string(e) + " [" + text(expected) + "], yav " +
                                         std::to_string(a) + " [" + text(actual) + "]");
                }
                ++m_failureCount;
            }
        }
    }
    void report() const {
        for (const std::string& failure : m_failures) ADD_FAILURE() << failure;
        EXPECT_EQ(m_failureCount, 0) << "of " << m_calls << " calls";
    }

  private:
    static std::string text(const std::vector<char>& bytes) {
        return std::string(bytes.begin(), bytes.end());
    }

    std::vector<std::string> m_failures;
    int m_failureCount = 0;
    int m_calls = 0;
};

// One generated specification: its '*' values in order, and how its
// arguments are numbered (0: in order, 1: positions in order, 2: the value
// first by position, then the '*' values).
struct Spec {
    std::string text;
    std::vector<int> stars;
    int numbering;
};

// glibc pads a floating value with zeros on the right when '0' meets a
// negative '*' width (C says the '-' that the width implies cancels '0'),
// so floating specifications avoid that pair (floating = true).
Spec makeSpec(Random& random, const char* flags, const char* lengthAndConversion,
              bool floating = false) {
    Spec spec;
    spec.numbering = random.below(3);
    bool widthStar = random.below(3) == 0;
    int precisionKind = random.below(5);  // none, ".", ".N", ".*", none
    bool precisionStar = precisionKind == 3;
    int stars = widthStar + precisionStar;
    int nextPosition = spec.numbering == 2 ? 2 : 1;
    auto position = [&spec](int n) {
        return spec.numbering == 0 ? std::string() : std::to_string(n) + "$";
    };
    spec.text = "%" + position(spec.numbering == 2 ? 1 : stars + 1);
    // Flags in any order, some repeated.
    std::string order = flags;
    for (size_t i = order.size(); i > 1; --i) std::swap(order[i - 1], order[random.below(i)]);
    bool zero = false;
    for (char flag : order) {
        if (random.below(3) == 0) spec.text += flag;
        if (random.below(8) == 0) spec.text += flag;
        zero = zero || (flag == '0' && spec.text.back() == '0');
    }
    if (widthStar) {
        spec.text += "*" + position(nextPosition++);
        spec.stars.push_back(random.between(floating && zero ? 0 : -25, 25));
    } else if (random.below(2) == 0) {
        spec.text += std::to_string(random.between(1, 25));
    }
    if (precisionKind == 1) spec.text += ".";
    if (precisionKind == 2) spec.text += "." + std::to_string(random.between(0, 25));
    if (precisionStar) {
        spec.text += ".*" + position(nextPosition++);
        spec.stars.push_back(random.between(-3, 25));
    }
    spec.text += lengthAndConversion;
    return spec;
}

template <class T>
void compareSpec(Comparison& comparison, const Spec& spec, const std::string& format, T value) {
    const std::vector<int>& s = spec.stars;
    bool valueFirst = spec.numbering == 2;
    if (s.empty()) {
        comparison.run(format, value);
    } else if (s.size() == 1) {
        valueFirst ? comparison.run(format, value, s[0]) : comparison.run(format, s[0], value);
    } else {
        valueFirst ? comparison.run(format, value, s[0], s[1])
                   : comparison.run(format, s[0], s[1], value);
    }
}

template <class T>
T interestingInteger(Random& random) {
    const T fixed[] = {0, 1, -1, 300, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
    return random.below(2) == 0 ? fixed[random.below(6)] : static_cast<T>(random.next());
}

double interestingDouble(Random& random) {
    const double fixed[] = {0.0,  -0.0,  1.5,     -2.5,    0.1,    123456.789, 9.9999,   0.5e-4,
                            1e15, 1e300, DBL_MAX, DBL_MIN, 5e-324, 999999.5,   INFINITY, NAN};
    uint64_t bits = random.next();  // any double, inf and nan included
    double any;
    memcpy(&any, &bits, sizeof(any));
    return random.below(3) == 0 ? any : fixed[random.below(16)];
}

TEST(YavPrintfGlibcTest, AgreesOnGeneratedSpecifications) {
    Random random;
    Comparison comparison;
    const char* lengths[] = {"", "hh", "h", "l", "ll"};
    const char* prefixes[] = {"", "id=", "a b "};
    const char* suffixes[] = {"", " end", "%%", "%5%"};
    for (int i = 0; i < 5000; ++i) {
        int kind = random.below(10);
        std::string conversion;
        Spec spec;
        if (kind < 5) {
            int length = random.below(5);
            conversion = std::string(lengths[length]) + "diouxX"[random.below(6)];
            spec = makeSpec(random, " #'+-0", conversion.c_str());
        } else if (kind == 5) {
            spec = makeSpec(random, "-0", "s");
        } else if (kind == 6) {
            spec = makeSpec(random, "-0", "c");
        } else if (kind < 9) {
            conversion = std::string(random.below(4) == 0 ? "l" : "") + "eEfgG"[random.below(5)];
            spec = makeSpec(random, " #'+-0", conversion.c_str(), true);
        } else {
            spec = makeSpec(random, " +-0", "p");
        }
        std::string format =
            std::string(prefixes[random.below(3)]) + spec.text + suffixes[random.below(4)];
        char last = spec.text.back();
        if (kind < 5) {
            if (conversion.rfind("ll", 0) == 0) {
                compareSpec(comparison, spec, format, interestingInteger<long long>(random));
            } else if (conversion[0] == 'l') {
                compareSpec(comparison, spec, format, interestingInteger<long>(random));
            } else {
                compareSpec(comparison, spec, format, interestingInteger<int>(random));
            }
        } else if (last == 's') {
            std::string text;
            for (int n = random.below(20); n > 0; --n)
                text += static_cast<char>(random.between(32, 126));
            compareSpec(comparison, spec, format, text.c_str());
        } else if (last == 'c') {
            compareSpec(comparison, spec, format, random.between(0, 255));
        } else if (last == 'p') {
            uintptr_t bits = random.below(4) == 0 ? 0 : static_cast<uintptr_t>(random.next());
            compareSpec(comparison, spec, format, reinterpret_cast<void*>(bits));
        } else {
            compareSpec(comparison, spec, format, interestingDouble(random));
        }
    }
    comparison.report();
}

TEST(YavPrintfGlibcTest, AgreesOnLogLinesAndHugeFloatingPrecisions) {
    Comparison comparison;
    comparison.run("%s %d %08x", "request", -17, 0xBEEFu);
    comparison.run("%s [%5lu] %-12s %3d %#lx %s: %ld %c %.3s|%%|%u", "2024-06-11 10:00:00", 4242UL,
                   "proxy-if", 7, 0xdeadUL, "GET /index.html", -9876543210L, 'Q', "abcdef", 0u);
    comparison.run("%3$s %1$d %2$.2f %1$x", 255, 2.345, "pos");
    // Digits past the exact value of a double are zeros that the engine
    // adds itself; they must land where the C library puts them.
    comparison.run("%.1500f|%.1200e|%#.1300g|%.1300g", 1.0 / 3, 5e-324, 2.0, 0.1);
    comparison.run("%-1520.1200f|%+01530.1250E|%#-1400.1200G", -DBL_MAX / 7, 6.02e23, 1e-10);
    comparison.report();
}

}  // namespace
