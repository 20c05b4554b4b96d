#include "core/encoders/yav_base64_alphabet.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(YavBase64AlphabetTest, ReverseTablesInvertTheSymbolsAndRejectEverythingElse) {
    const struct {
        const YavBase64Alphabet* alphabet;
        std::string symbols;
    } cases[] = {
        {&yav_base64_std_alphabet,
         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"},
        {&yav_base64_uri_alphabet,
         "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(c.alphabet->symbols), c.symbols);
        for (int b = 0; b < 256; ++b) {
            size_t index = c.symbols.find(static_cast<char>(b));
            unsigned char expected =
                (b == 0 || index == std::string::npos) ? YAV_BASE64_NOT_SYMBOL : index;
            EXPECT_EQ(c.alphabet->valueOf(static_cast<char>(b)), expected) << "byte " << b;
        }
    }
    EXPECT_EQ(yav_base64_std_alphabet.valueOf(YAV_BASE64_PAD), YAV_BASE64_NOT_SYMBOL);
}

}  // namespace
