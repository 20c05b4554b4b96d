#include "plugin/core/YavPermMap.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "plugin/core/yav_authz_test_aids.h"

namespace {

// A heap action set parsed from text, its groups placed through allocator.
YavActionGroupList* makeList(const char* text, YavAllocator* allocator = nullptr) {
    YavActionGroupList* list = new (std::nothrow) YavActionGroupList(allocator);
    if (list != nullptr && list->initialize(YavStringRef(text)) != 0) {
        delete list;
        list = nullptr;
    }
    return list;
}

YavStringRef* makeMethod(const char* name) { return new (std::nothrow) YavStringRef(name); }

std::string actionsOf(const YavActionGroupList* list) {
    if (list == nullptr) return "<none>";
    std::string out;
    for (const auto& g : yav_test_groups(*list)) out += "[" + g.first + "]" + g.second;
    return out;
}

TEST(YavPermMapTest, LatestEntryOfAMethodElseTheDefaultListDecides) {
    YavPermMap map;
    ASSERT_EQ(0u, map.initialize());
    EXPECT_EQ(5u, map.getMethodTable().bucketCount());
    EXPECT_EQ(nullptr, map.getPerms(YavStringRef("GET")));

    ASSERT_EQ(0u, map.setPerms(makeMethod("GET"), makeList("r")));
    EXPECT_EQ("[primary]r", actionsOf(map.getPerms(YavStringRef("GET"))));
    EXPECT_EQ(nullptr, map.getPerms(YavStringRef("POST")));

    ASSERT_EQ(0u, map.setDefaultPerms(makeList("T")));
    ASSERT_EQ(0u, map.setPerms(makeMethod("POST"), makeList("[w]m")));
    const std::vector<std::pair<const char*, const char*>> lookups = {
        {"GET", "[primary]r"}, {"POST", "[w]m"},   {"get", "[primary]T"},
        {"PUT", "[primary]T"}, {"", "[primary]T"}, {"GETX", "[primary]T"},
    };
    for (const auto& l : lookups) {
        SCOPED_TRACE(l.first);
        EXPECT_EQ(l.second, actionsOf(map.getPerms(YavStringRef(l.first))));
    }
    // A later entry for a method hides the earlier one; an entry without a
    // list still hides the default list.
    ASSERT_EQ(0u, map.setPerms(makeMethod("GET"), makeList("x")));
    EXPECT_EQ("[primary]x", actionsOf(map.getPerms(YavStringRef("GET"))));
    EXPECT_EQ(3u, map.getMethodTable().count());
    ASSERT_EQ(0u, map.setPerms(makeMethod("GET"), nullptr));
    EXPECT_EQ(nullptr, map.getPerms(YavStringRef("GET")));
    EXPECT_EQ("[primary]T", actionsOf(map.getPerms(YavStringRef("PUT"))));
}

TEST(YavPermMapTest, InitializeShutdownAndNewDefaultDeleteWhatTheyReplace) {
    YavAuthzTestAllocator lists, other;
    YavPermMap map;
    ASSERT_EQ(0u, map.initialize());
    ASSERT_EQ(0u, map.setDefaultPerms(makeList("S", &other)));
    ASSERT_GT(other.live, 0);
    ASSERT_EQ(0u, map.setDefaultPerms(makeList("T", &lists)));
    EXPECT_EQ(0, other.live);
    EXPECT_EQ("[primary]T", actionsOf(map.getPerms(YavStringRef("GET"))));
    ASSERT_EQ(0u, map.setPerms(makeMethod("GET"), makeList("r[a]b", &lists)));
    ASSERT_GT(lists.live, 0);

    ASSERT_EQ(0u, map.initialize());
    EXPECT_EQ(0, lists.live);
    EXPECT_EQ(nullptr, map.getDefaultPerms());
    EXPECT_TRUE(map.getMethodTable().isEmpty());
    EXPECT_EQ(nullptr, map.getPerms(YavStringRef("GET")));

    ASSERT_EQ(0u, map.setDefaultPerms(makeList("T", &lists)));
    ASSERT_EQ(0u, map.setPerms(makeMethod("GET"), makeList("r", &lists)));
    EXPECT_EQ(0u, map.shutdown());
    EXPECT_EQ(0, lists.live);
    EXPECT_EQ(nullptr, map.getPerms(YavStringRef("GET")));
}

TEST(YavPermMapTest, EntryThatCannotBeAllocatedStaysWithCaller) {
    YavAuthzTestAllocator allocator;
    allocator.refuseFrom = 0;
    YavPermMap map(&allocator);
    EXPECT_EQ(YAV_S_NO_MEMORY, map.initialize());

    allocator.refuseFrom = -1;
    ASSERT_EQ(0u, map.initialize());
    ASSERT_EQ(0u, map.setPerms(makeMethod("GET"), makeList("r")));
    allocator.refuseFrom = allocator.granted;
    YavStringRef* method = makeMethod("POST");
    YavActionGroupList* perms = makeList("w");
    EXPECT_EQ(YAV_S_NO_MEMORY, map.setPerms(method, perms));
    EXPECT_EQ(1u, map.getMethodTable().count());
    EXPECT_EQ(nullptr, map.getPerms(YavStringRef("POST")));
    EXPECT_EQ("[primary]r", actionsOf(map.getPerms(YavStringRef("GET"))));
    // Still the caller's: deleting them here must not double-free later.
    delete method;
    delete perms;
}

TEST(YavPermMapDeathTest, NullMethodIsInternalError) {
    YavPermMap map;
    ASSERT_EQ(0u, map.initialize());
    EXPECT_DEATH(map.setPerms(nullptr, nullptr), "method != nullptr");
}

}  // namespace
