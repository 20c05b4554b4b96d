#include "core/buffers/yav_format_string.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <string>

#include "core/buffers/yav_string_test_aids.h"

namespace {

TEST(YavFormatStringTest, ReplacesKeysAndCopiesEverythingElse) {
    const YavStringRef values[] = {YavStringRef("X"), YavStringRef("<user>"),
                                   YavStringRef("\xE2\x82\xAC")};
    struct Case {
        const char* tmpl;
        const char* expected;
    };
    const Case cases[] = {
        {"%a%%b", "X%b"},
        {"ends in %", "ends in %"},
        {"%", "%"},
        {"%%%", "%%"},
        {"", ""},
        {"no placeholders", "no placeholders"},
        {"%u logged in as %u", "<user> logged in as <user>"},
        {"%q is no key", "q is no key"},
        {"%\xE2\x82\xAC", "\xE2\x82\xAC"},            // a multi-byte X that is no key
        {"price: %\xC3\xA9", "price: \xE2\x82\xAC"},  // a multi-byte key
        {"%\xFF!", "\xFF!"},                          // an undecodable X
    };
    // Key at character index 2 is the two-byte e-acute.
    YavStringRef keys("au\xC3\xA9");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tmpl);
        YavString out;
        ASSERT_TRUE(out.set("stale"));
        ASSERT_TRUE(yav_format_string(YavStringRef(c.tmpl), keys, values, out));
        EXPECT_EQ(std::string(out.getData(), out.getLength()), c.expected);
    }
}

TEST(YavFormatStringTest, ReadsOnlyWithinUnterminatedTexts) {
    ExactUnits<char> tmpl = exactChars("[%k]%");
    ExactUnits<char> keys = exactChars("k");
    ExactUnits<char> value = exactChars("VALUE");
    const YavLCPStringRef values[] = {YavLCPStringRef(value.data(), value.size())};
    YavLCPString out;
    ASSERT_TRUE(yav_format_lcp_string(YavLCPStringRef(tmpl.data(), tmpl.size()),
                                      YavLCPStringRef(keys.data(), keys.size()), values, out));
    EXPECT_STREQ(out.getData(), "[VALUE]%");
}

TEST(YavFormatStringTest, ReportsMemoryShortage) {
    YavRefusingAllocator allocator;
    allocator.m_refuse = true;
    std::string longValue(300, 'v');
    const YavStringRef values[] = {YavStringRef(longValue.c_str())};
    YavString out(&allocator);
    EXPECT_FALSE(yav_format_string(YavStringRef("%a"), YavStringRef("a"), values, out));
    // Unterminated keys need a terminated copy, which cannot be made.
    EXPECT_FALSE(
        yav_format_string(YavStringRef("a"), YavStringRef("ab", 1, &allocator), values, out));
}

}  // namespace
