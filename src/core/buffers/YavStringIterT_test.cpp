#include "core/buffers/YavStringIterT.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/buffers/YavString.h"
#include "core/buffers/yav_string_test_aids.h"

namespace {

typedef std::vector<std::string> Tokens;

Tokens tokens(const YavStringRef& text, const char* delimiters, int flags) {
    YavStringIterT<char, YavUTF8Enc> iter(text);
    Tokens out;
    YavStringRef token;
    while (iter.next(token, delimiters, flags))
        out.emplace_back(token.getData(), token.getLength());
    return out;
}

TEST(YavStringIterTest, YieldsNonEmptyTokensBetweenDelimiters) {
    struct Case {
        const char* text;
        const char* delimiters;
        int flags;
        Tokens expected;
    };
    const Case cases[] = {
        {"http,https", ",", 0, {"http", "https"}},
        {",,a,,b,", ",", 0, {"a", "b"}},
        {"/a//b/", "/", 0, {"a", "b"}},
        {"a b;c", " ;", 0, {"a", "b", "c"}},
        {"", ",", 0, {}},
        {",,,", ",", 0, {}},
        {"http, https", ",", 0, {"http", " https"}},
        {"http, https, ,both", ",", yav_iter_skip_spaces, {"http", "https", "both"}},
        {"a,\"b,c\",d", ",", yav_iter_quotes, {"a", "\"b,c\"", "d"}},
        {"a,\"b,c\",d", ",", 0, {"a", "\"b", "c\"", "d"}},
        {"x,\"open,end", ",", yav_iter_quotes, {"x", "\"open,end"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tokens(YavStringRef(c.text), c.delimiters, c.flags), c.expected) << c.text;
    }
}

TEST(YavStringIterTest, StaysWithinAnUnterminatedText) {
    ExactUnits<char> bytes = exactChars("ab,cd,");
    YavStringRef text(bytes.data(), 5);  // "ab,cd": the last ',' is outside
    EXPECT_EQ(tokens(text, ",", 0), (Tokens{"ab", "cd"}));

    YavStringIterT<char, YavUTF8Enc> iter(text);
    YavStringRef token;
    ASSERT_TRUE(iter.next(token, ","));
    EXPECT_EQ(iter.rest().getLength(), 2);
    ASSERT_TRUE(iter.next(token, ","));
    EXPECT_FALSE(iter.next(token, ","));
    EXPECT_EQ(std::string(token.getData(), token.getLength()), "cd");  // unchanged
    iter.restart();
    ASSERT_TRUE(iter.next(token, ","));
    EXPECT_EQ(token.getData(), bytes.data());
}

}  // namespace
