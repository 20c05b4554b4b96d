#include "core/html/YavHTML.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/buffers/yav_string_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

std::string text(const YavString& s) { return std::string(s.getData(), s.getLength()); }

TEST(YavHTMLTest, TaintedOnlyByMarkupCharacters) {
    const struct {
        std::string input;
        bool tainted;
    } cases[] = {
        {"", false},          {"plain text", false}, {"a & b", false},
        {"it's", false},      {">", true},           {"a<b", true},
        {"say \"hi\"", true}, {"&lt;", false},       {std::string("x\0<", 3), true},
    };
    for (const auto& c : cases) {
        ExactUnits<char> input = exactChars(c.input);
        EXPECT_EQ(YavHTML::tainted(YavStringRef(input.data(), input.size())), c.tainted) << c.input;
    }
}

TEST(YavHTMLTest, EscapeReplacesTheFourCharactersAndUnescapeRestoresThem) {
    const struct {
        std::string plain;
        std::string escaped;
    } cases[] = {
        {"", ""},
        {"nothing special", "nothing special"},
        {"a<b & \"c\"", "a&lt;b &amp; &quot;c&quot;"},
        {"it's", "it's"},
        {"&amp;", "&amp;amp;"},
        {"\xc3\xa9<\xe2\x82\xac", "\xc3\xa9&lt;\xe2\x82\xac"},
        {std::string("a\0&", 3), std::string("a\0&amp;", 7)},
    };
    for (const auto& c : cases) {
        ExactUnits<char> plain = exactChars(c.plain);
        YavString escaped("[");
        ASSERT_EQ(YavHTML::escape(YavStringRef(plain.data(), plain.size()), escaped), 0u);
        EXPECT_EQ(text(escaped), "[" + c.escaped);

        ExactUnits<char> input = exactChars(c.escaped);
        YavString back("[");
        ASSERT_EQ(YavHTML::unescape(YavStringRef(input.data(), input.size()), back), 0u);
        EXPECT_EQ(text(back), "[" + c.plain);
    }
}

TEST(YavHTMLTest, UnescapeCopiesWhatIsNotOneOfTheFourEntities) {
    const struct {
        std::string input;
        std::string expected;
    } cases[] = {
        {"&AMP;", "&AMP;"},
        {"&amp", "&amp"},
        {"&", "&"},
        {"a&&lt;", "a&<"},
        {"&#60;&#x3c;", "&#60;&#x3c;"},
        {"&apos;", "&apos;"},
        {"&quot", "&quot"},
        {"&gt;&lt;&quot;&amp;", "><\"&"},
        {"&amp;lt;", "&lt;"},
        {"x&g", "x&g"},
    };
    for (const auto& c : cases) {
        ExactUnits<char> input = exactChars(c.input);
        YavString out;
        ASSERT_EQ(YavHTML::unescape(YavStringRef(input.data(), input.size()), out), 0u);
        EXPECT_EQ(text(out), c.expected) << c.input;
    }
}

TEST(YavHTMLTest, OutOfMemoryIsReportedAndKeepsWhatWasAppended) {
    // Longer than the inline buffer, so that the output must move to the heap.
    std::string input(300, 'x');
    input += "<tail>";
    for (int unescape = 0; unescape < 2; ++unescape) {
        YavRefusingAllocator allocator;
        allocator.m_refuse = true;
        YavString out("kept", -1, &allocator);
        ExactUnits<char> chars = exactChars(input);
        YavStringRef ref(chars.data(), chars.size());
        yav_status_t status = unescape ? YavHTML::unescape(ref, out) : YavHTML::escape(ref, out);
        EXPECT_EQ(status, YAV_S_NO_MEMORY);
        EXPECT_EQ(text(out), "kept");
    }
    // The first reservation succeeds; escaping needs more than the input length.
    YavRefusingAllocator allocator;
    YavString out(&allocator);
    std::string tainted(300, '<');
    ExactUnits<char> chars = exactChars(tainted);
    YavStringRef ref(chars.data(), chars.size());
    ASSERT_TRUE(out.reserve(tainted.size()));
    allocator.m_refuse = true;
    EXPECT_EQ(YavHTML::escape(ref, out), YAV_S_NO_MEMORY);
    ASSERT_GT(out.getLength(), 0);
    EXPECT_EQ(text(out).find_first_not_of("&lt;"), std::string::npos);
}

// Random texts built from the bytes that matter to entities, each in a
// block of exactly its size: unescape never reads past it, never grows the
// text, and undoes escape.
TEST(YavHTMLTest, RandomTextsUnescapeWithinBoundsAndRoundTrip) {
    const char alphabet[] = "&;#<>\"amptgquolAMPx1 \x80\xff";
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (size_t n = random() % 40; n > 0; --n) {
            text.push_back(alphabet[random() % (sizeof alphabet - 1)]);
        }
        auto exact = exactChars(text);
        YavStringRef ref(exact.data(), exact.size());
        YavString plain;
        ASSERT_EQ(0u, YavHTML::unescape(ref, plain)) << text;
        EXPECT_LE(plain.getLength(), exact.size()) << text;

        YavString escaped, back;
        ASSERT_EQ(0u, YavHTML::escape(ref, escaped)) << text;
        EXPECT_FALSE(YavHTML::tainted(YavStringRef(escaped.getData(), escaped.getLength())));
        ASSERT_EQ(0u,
                  YavHTML::unescape(YavStringRef(escaped.getData(), escaped.getLength()), back));
        EXPECT_EQ(text, std::string(back.getData(), back.getLength()));
    }
}

}  // namespace
