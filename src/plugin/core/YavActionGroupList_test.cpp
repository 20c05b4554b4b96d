#include "plugin/core/YavActionGroupList.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "plugin/core/yav_authz_test_aids.h"

namespace {

// Parses text given with an exact length and no terminator, so that a read
// past its end is caught by the address sanitizer.
yav_status_t parse(YavActionGroupList* list, const std::string& text) {
    std::vector<char> bytes(text.begin(), text.end());
    return list->initialize(YavStringRef(bytes.data(), static_cast<int>(bytes.size())));
}

// Anchors of the grammar; RandomTextsAgreeWithGrammar compares the parser
// with a model of it on random texts of the same characters.
TEST(YavActionGroupListTest, ParsesActionSetTexts) {
    struct Case {
        std::string text;
        yav_status_t status;
        YavTestGroups groups;
    };
    const std::vector<Case> cases = {
        {"rx", 0, {{"primary", "rx"}}},
        {"[a]xy[b]z[a]w", 0, {{"a", "xyw"}, {"b", "z"}}},
        {"x[a", YAV_S_URC_INVALID_ACTION_SET, {}},
        {"", 0, {{"primary", ""}}},
        {"[a][b]", 0, {{"a", ""}, {"b", ""}}},
        {"r[primary]x", 0, {{"primary", "rx"}}},
        {"[a[b]c", 0, {{"a[b", "c"}}},
        {"[a]x]y", 0, {{"a", "x]y"}}},
        {"[\xc3\xa9]\xc3\xa0", 0, {{"\xc3\xa9", "\xc3\xa0"}}},
        {std::string("r\0[a", 4), 0, {{"primary", "r"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        YavActionGroupList list;
        EXPECT_EQ(c.status, parse(&list, c.text));
        EXPECT_EQ(c.groups, yav_test_groups(list));
        EXPECT_EQ(c.status == 0, list.isInitialized());
    }
}

TEST(YavActionGroupListTest, InitializeTwiceIsRefusedUntilShutdown) {
    YavActionGroupList list;
    // A text that failed leaves the list ready for another.
    ASSERT_EQ(YAV_S_URC_INVALID_ACTION_SET, parse(&list, "r[a]x[b"));
    ASSERT_EQ(0u, parse(&list, "rx"));
    EXPECT_EQ(YAV_S_ALREADY_INITIALIZED, parse(&list, "[a]b"));
    EXPECT_EQ((YavTestGroups{{"primary", "rx"}}), yav_test_groups(list));

    EXPECT_EQ(0u, list.shutdown());
    EXPECT_TRUE(list.isEmpty());
    EXPECT_FALSE(list.isInitialized());
    ASSERT_EQ(0u, parse(&list, "[a]b"));
    EXPECT_EQ((YavTestGroups{{"a", "b"}}), yav_test_groups(list));
}

TEST(YavActionGroupListTest, GrantedSetCoversRequiredSet) {
    struct Case {
        const char* granted;
        const char* required;
        bool covered;
    };
    const std::vector<Case> cases = {
        {"Tr", "r", true},
        {"Tr", "rT", true},
        {"Tr", "rx", false},
        {"[grp]abc", "[grp]ca", true},
        {"[grp]abc", "c", false},
        {"[a]x", "[a]", true},
        {"[b]x", "[a]", false},
        {"", "", true},
        {"[a]x", "", false},
        {"r[a]xy[b]z", "[b]z[a]yx", true},
        {"r[a]xy[b]z", "[a]x[b]zz", true},
        {"r[a]xy[b]z", "[a]x[b]q", false},
        {"r[a]xy[b]z", "r[c]", false},
        {"[A]x", "[a]x", false},
        {"R", "r", false},
        {"[a]x[a]y", "[a]yx", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.granted) + " / " + c.required);
        YavActionGroupList granted, required;
        ASSERT_EQ(0u, granted.initialize(YavStringRef(c.granted)));
        ASSERT_EQ(0u, required.initialize(YavStringRef(c.required)));
        EXPECT_EQ(c.covered, granted.resolveActionGroupList(required));
    }
    // An empty (never initialized) required list is always covered.
    YavActionGroupList granted, grantedNothing, required;
    ASSERT_EQ(0u, granted.initialize(YavStringRef("[a]x")));
    EXPECT_TRUE(granted.resolveActionGroupList(required));
    EXPECT_TRUE(grantedNothing.resolveActionGroupList(required));
    ASSERT_EQ(0u, required.initialize(YavStringRef("x")));
    EXPECT_FALSE(grantedNothing.resolveActionGroupList(required));
}

// Every allocation of a parse is made to fail in turn: each failure gives
// YAV_S_NO_MEMORY, an empty list and no block left behind; the parse that
// finally succeeds gives the right groups, all freed with the list.
TEST(YavActionGroupListTest, AllocationFailureAtAnyPointLeavesNothing) {
    const std::string longPart(300, 'x');
    const std::vector<std::pair<std::string, YavTestGroups>> cases = {
        {"[a]xy[b]z[a]w", {{"a", "xyw"}, {"b", "z"}}},
        {"r[a]" + longPart + "[a]y", {{"primary", "r"}, {"a", longPart + "y"}}},
        {"[" + longPart + "]" + longPart, {{longPart, longPart}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.substr(0, 20));
        int failures = 0;
        for (bool succeeded = false; !succeeded; ++failures) {
            ASSERT_LT(failures, 100) << "parse never succeeds";
            YavAuthzTestAllocator allocator;
            allocator.refuseFrom = failures;
            {
                YavActionGroupList list(&allocator);
                yav_status_t status = parse(&list, c.first);
                succeeded = status == 0;
                if (succeeded) {
                    EXPECT_EQ(c.second, yav_test_groups(list));
                } else {
                    ASSERT_EQ(YAV_S_NO_MEMORY, status) << "refused from allocation " << failures;
                    EXPECT_TRUE(list.isEmpty());
                    EXPECT_FALSE(list.isInitialized());
                }
            }
            EXPECT_EQ(0, allocator.live) << "refused from allocation " << failures;
        }
        EXPECT_GT(failures, 3);
    }
}

// The grammar as a regular expression: primary actions, then bracketed
// names (anything but "]") each followed by actions (anything but "[").
YavTestGroups modelParse(const std::string& input, bool* valid) {
    std::string text = input.substr(0, input.find('\0'));
    static const std::regex whole("[^\\[]*(\\[[^\\]]*\\][^\\[]*)*");
    static const std::regex group("\\[([^\\]]*)\\]([^\\[]*)");
    *valid = std::regex_match(text, whole);
    YavTestGroups groups;
    if (!*valid) return groups;
    auto add = [&groups](const std::string& name, const std::string& actions) {
        for (auto& g : groups) {
            if (g.first == name) {
                g.second += actions;
                return;
            }
        }
        groups.emplace_back(name, actions);
    };
    size_t first = text.find('[');
    if (first != 0) add("primary", text.substr(0, first));
    if (first == std::string::npos) return groups;
    std::string rest = text.substr(first);
    for (std::sregex_iterator it(rest.begin(), rest.end(), group), end; it != end; ++it) {
        add((*it)[1].str(), (*it)[2].str());
    }
    return groups;
}

TEST(YavActionGroupListTest, RandomTextsAgreeWithGrammar) {
    std::mt19937 random(20261205);
    const char alphabet[] = {'[', ']', 'a', 'b', 'r', '\0', '\x80', '\xc3', '\xff'};
    int valid = 0, invalid = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 24, ' ');
        for (char& ch : text) {
            ch = random() % 3 == 0 ? static_cast<char>(random() & 0xff)
                                   : alphabet[random() % sizeof(alphabet)];
        }
        SCOPED_TRACE(::testing::PrintToString(text));
        bool modelValid = false;
        YavTestGroups expected = modelParse(text, &modelValid);
        YavActionGroupList list;
        yav_status_t status = parse(&list, text);
        ASSERT_EQ(modelValid ? 0u : YAV_S_URC_INVALID_ACTION_SET, status);
        ASSERT_EQ(expected, yav_test_groups(list));
        ++(modelValid ? valid : invalid);
    }
    EXPECT_GT(valid, 300);
    EXPECT_GT(invalid, 300);
}

TEST(YavActionGroupListTest, VeryLongTextsParseOrFail) {
    {
        YavActionGroupList list;
        ASSERT_EQ(0u, parse(&list, std::string(1 << 20, 'r')));
        ASSERT_EQ(1u, list.count());
        EXPECT_EQ(1 << 20, list.getHead()->getActions()->getLength());
    }
    {
        YavActionGroupList list;
        EXPECT_EQ(YAV_S_URC_INVALID_ACTION_SET, parse(&list, "[" + std::string(1 << 20, 'n')));
        EXPECT_TRUE(list.isEmpty());
    }
    {
        std::string text;
        for (int i = 0; i < 2000; ++i) text += "[g" + std::to_string(i % 500) + "]ab";
        YavActionGroupList list;
        ASSERT_EQ(0u, parse(&list, text));
        ASSERT_EQ(500u, list.count());
        EXPECT_EQ("abababab", yav_test_groups(list)[499].second);
        EXPECT_EQ(YAV_S_URC_INVALID_ACTION_SET,
                  YavActionGroupList().initialize(YavStringRef((text + "[").c_str())));
    }
}

}  // namespace
