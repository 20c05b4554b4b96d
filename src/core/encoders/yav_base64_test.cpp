#include "core/encoders/yav_base64.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/system/yav_test_command.h"
#include "core/system/yav_test_tempdir.h"

namespace {

typedef void (*Encoder)(const unsigned char*, size_t, char*, size_t);
typedef void (*Decoder)(const char*, size_t, unsigned char*, size_t*);

struct Alphabet {
    const char* name;
    Encoder encode;
    Decoder decode;
    char last;  // the symbol of value 63
};
const Alphabet kAlphabets[] = {
    {"std", yav_base64_std_encode, yav_base64_std_decode, '/'},
    {"uri", yav_base64_uri_encode, yav_base64_uri_decode, '-'},
};

std::string encode(const Alphabet& a, const std::string& bytes) {
    // Exactly the documented size, so that ASan reports a write past it.
    std::vector<char> out(yav_base64_encoded_size(bytes.size()));
    a.encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data(),
             out.size());
    EXPECT_EQ(out.back(), '\0');
    return std::string(out.data());
}

std::string decode(const Alphabet& a, const std::string& textIn) {
    // Exact-size copies on the heap: reads past the input or writes past the
    // documented bound are reported by ASan.
    std::vector<char> in(textIn.begin(), textIn.end());
    std::vector<unsigned char> out(yav_base64_decoded_max(in.size()));
    size_t n = 12345;
    a.decode(in.data(), in.size(), out.data(), &n);
    EXPECT_LE(n, out.size());
    return std::string(reinterpret_cast<const char*>(out.data()), std::min(n, out.size()));
}

TEST(YavBase64Test, ValueSixtyThreeUsesEachAlphabetsLastSymbol) {
    const std::string bytes("\xfb\xff\xbf", 3);  // 111110 111111 111110 111111
    for (const Alphabet& a : kAlphabets) {
        std::string expected = std::string("+") + a.last + "+" + a.last;
        EXPECT_EQ(encode(a, bytes), expected) << a.name;
        EXPECT_EQ(decode(a, expected), bytes) << a.name;
    }
    // A symbol of the other alphabet is skipped, as white space is.
    EXPECT_EQ(decode(kAlphabets[0], "--+7"), "\xfb");
    EXPECT_EQ(decode(kAlphabets[1], "//+7"), "\xfb");
}

TEST(YavBase64Test, DecodingSkipsNonSymbolsAndStopsAtPaddingOrAPartialGroup) {
    const struct {
        std::string text;
        std::string bytes;
    } cases[] = {
        {"YW Jj", "abc"},
        {"Y\r\nW\tJj\n", "abc"},
        {"YQ==", "a"},
        {"YQ", "a"},
        {"YWI", "ab"},
        {"Y", ""},
        {"YWJjY", "abc"},
        {"YQ==YWJj", "a"},
        {"=YWJj", ""},
        {"YW\x80\xff"
         "Jj",
         "abc"},
        {"*YW.Jj!", "abc"},
        {"", ""},
    };
    for (const Alphabet& a : kAlphabets) {
        for (const auto& c : cases)
            EXPECT_EQ(decode(a, c.text), c.bytes) << a.name << " " << c.text;
    }
}

TEST(YavBase64Test, EncoderLeavesAnOutputThatIsTooSmallUntouched) {
    for (const Alphabet& a : kAlphabets) {
        for (size_t n = 0; n < 8; ++n) {
            std::string bytes(n, 'q');
            size_t need = yav_base64_encoded_size(n);
            std::vector<char> out(need + 4, '#');
            a.encode(reinterpret_cast<const unsigned char*>(bytes.data()), n, out.data(), need - 1);
            EXPECT_EQ(std::count(out.begin(), out.end(), '#'), static_cast<long>(out.size()))
                << a.name << " n=" << n;
            a.encode(reinterpret_cast<const unsigned char*>(bytes.data()), n, out.data(), need);
            EXPECT_EQ(strlen(out.data()), need - 1);
            EXPECT_EQ(out[need], '#') << "wrote past the terminator";
        }
    }
}

// ---- differential tests against the base64 program --------------------------

class Base64ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (system("command -v base64 >/dev/null 2>&1") != 0) GTEST_SKIP() << "no base64";
        ASSERT_TRUE(m_dir.ok()) << m_dir.error();
    }

    // Output of `base64 <options> file` where file holds input.
    std::string run(const std::string& options, const std::string& input) {
        std::string path = m_dir.path("in");
        FILE* f = fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f == nullptr) return "";
        EXPECT_EQ(fwrite(input.data(), 1, input.size(), f), input.size());
        fclose(f);
        return yav_test_command_output("base64 " + options + " '" + path + "'");
    }

    YavTestTempDir m_dir{"yav_base64_"};
};

// Every length from 0 to 200 bytes, then a few longer ones; decoding the
// program's wrapped output on every seventh case.
TEST_F(Base64ProgramTest, AgreesOnRandomBytesInBothAlphabets) {
    std::mt19937 random(20261205);
    for (int round = 0; round < 211; ++round) {
        size_t n = round <= 200 ? static_cast<size_t>(round) : 201 + random() % 700;
        std::string bytes;
        for (size_t i = 0; i < n; ++i) bytes.push_back(static_cast<char>(random()));

        std::string reference = run("-w0", bytes);
        EXPECT_EQ(encode(kAlphabets[0], bytes), reference) << "n=" << n;
        std::string uriReference = reference;
        std::replace(uriReference.begin(), uriReference.end(), '/', '-');
        EXPECT_EQ(encode(kAlphabets[1], bytes), uriReference) << "n=" << n;
        if (round % 7 != 0) continue;

        // The program's wrapped output (line breaks every 76 symbols) decodes
        // to the bytes, and so does the same text in the URI-safe alphabet.
        std::string wrapped = run("", bytes);
        EXPECT_EQ(decode(kAlphabets[0], wrapped), bytes) << "n=" << n;
        std::replace(wrapped.begin(), wrapped.end(), '/', '-');
        EXPECT_EQ(decode(kAlphabets[1], wrapped), bytes) << "n=" << n;
    }
}

// Random text, the decoder's worst case: decode() checks the reported length
// against the bound, ASan every access.  The bytes re-encode to the symbols
// that were read, up to the bits a final partial group drops.
TEST(YavBase64Test, RandomTextDecodesWithinTheBound) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (size_t i = random() % 40; i > 0; --i) text.push_back(static_cast<char>(random()));
        std::string symbols;
        for (char c : text) {
            if (c == '=') break;
            if (yav_base64_std_alphabet.valueOf(c) != YAV_BASE64_NOT_SYMBOL) symbols += c;
        }
        std::string bytes = decode(kAlphabets[0], text);
        EXPECT_EQ(bytes.size(), symbols.size() * 3 / 4);
        size_t exact = bytes.size() * 4 / 3;
        EXPECT_EQ(encode(kAlphabets[0], bytes).substr(0, exact), symbols.substr(0, exact));
    }
}

}  // namespace
