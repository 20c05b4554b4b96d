#include "config_mgr/YavConfigSchema.h"

#include <gtest/gtest.h>

#include <vector>

#include "config_mgr/YavConfigEntriesSchema.h"
#include "config_mgr/YavConfigSchemaEntry.h"
#include "core/msg/yav_status.h"

namespace {

TEST(YavConfigSchemaEntryTest, AnEmptyOrMissingDefaultIsNoDefault) {
    YavConfigSchemaEntry entry;
    ASSERT_EQ(0u, entry.set("debug", "memory-stats", false, "false"));
    EXPECT_STREQ("false", entry.getDefaultValue());
    ASSERT_EQ(0u, entry.set("debug", "x", false, ""));
    EXPECT_EQ(nullptr, entry.getDefaultValue());
    ASSERT_EQ(0u, entry.set("debug", "x", false, nullptr));
    EXPECT_EQ(nullptr, entry.getDefaultValue());
}

TEST(YavConfigSchemaEntryTest, MatchesAnotherEntryOnlyWhenEverythingIsEqual) {
    struct Case {
        const char* stanza;
        const char* name;
        bool qualify;
        const char* defaultValue;
        bool matches;
    };
    const Case cases[] = {
        {"s", "n", true, "d", true},  {"s", "n", false, "d", false},
        {"S", "n", true, "d", false}, {"s", "N", true, "d", false},
        {"s", "n", true, "e", false}, {"s", "n", true, nullptr, false},
    };
    YavConfigSchemaEntry base;
    ASSERT_EQ(0u, base.set("s", "n", true, "d"));
    for (const Case& c : cases) {
        YavConfigSchemaEntry other;
        ASSERT_EQ(0u, other.set(c.stanza, c.name, c.qualify, c.defaultValue));
        EXPECT_EQ(c.matches, base.matches(other)) << c.stanza << " " << c.name;
        EXPECT_EQ(c.matches, other.matches(base)) << c.stanza << " " << c.name;
    }
}

TEST(YavConfigSchemaEntryTest, MatchesStanzaAndNameWithTheQualifiedOnlyFlag) {
    YavConfigSchemaEntry qualifying;
    YavConfigSchemaEntry plain;
    ASSERT_EQ(0u, qualifying.set("s", "n", true));
    ASSERT_EQ(0u, plain.set("s", "n", false));
    EXPECT_TRUE(qualifying.matches(YavLCPStringRef("s"), YavLCPStringRef("n"), true));
    EXPECT_TRUE(qualifying.matches(YavLCPStringRef("s"), YavLCPStringRef("n"), false));
    EXPECT_FALSE(plain.matches(YavLCPStringRef("s"), YavLCPStringRef("n"), true));
    EXPECT_TRUE(plain.matches(YavLCPStringRef("s"), YavLCPStringRef("n"), false));
    EXPECT_FALSE(plain.matches(YavLCPStringRef("s"), YavLCPStringRef("n2"), false));
    EXPECT_FALSE(plain.matches(YavLCPStringRef("s:q"), YavLCPStringRef("n"), false));
}

class RecordingUpdater : public YavConfigUpdater {
  public:
    yav_status_t update(int what) override {
        calls.push_back(what);
        return 0;
    }
    std::vector<int> calls;
};

TEST(YavConfigSchemaTest, UpdateReachesTheLatestUpdaterOnly) {
    YavConfigEntriesSchema schema("name");
    EXPECT_EQ(0u, schema.update(1));  // no updater yet
    RecordingUpdater first;
    RecordingUpdater second;
    schema.addUpdater(&first);
    EXPECT_EQ(0u, schema.update(2));
    schema.addUpdater(&second);
    EXPECT_EQ(0u, schema.update(3));
    EXPECT_EQ(std::vector<int>{2}, first.calls);
    EXPECT_EQ(std::vector<int>{3}, second.calls);
}

TEST(YavConfigSchemaTest, QualifierDecidesTheBaseMatch) {
    YavConfigEntriesSchema a("a");
    YavConfigEntriesSchema b("b");
    EXPECT_FALSE(a.hasQualifier());
    EXPECT_TRUE(a.matches(&b));  // names do not count
    ASSERT_EQ(0u, a.setQualifier("q"));
    EXPECT_TRUE(a.hasQualifier());
    EXPECT_FALSE(a.matches(&b));
    ASSERT_EQ(0u, b.setQualifier("q"));
    EXPECT_TRUE(a.matches(&b));
    ASSERT_EQ(0u, a.setQualifier(nullptr));
    EXPECT_FALSE(a.hasQualifier());
    EXPECT_FALSE(a.matches(nullptr));
}

}  // namespace
