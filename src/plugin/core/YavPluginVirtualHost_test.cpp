#include "plugin/core/YavPluginVirtualHost.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "plugin/core/yav_authz_test_aids.h"

namespace {

TEST(YavPluginVirtualHostTest, FlagAccessorsReadTheirBits) {
    YavPluginVirtualHost host;
    EXPECT_EQ(0u, host.getFlags());
    for (uint32_t flags = 0; flags < 64; ++flags) {
        SCOPED_TRACE(flags);
        host.setFlags(flags);
        EXPECT_EQ(flags, host.getFlags());
        EXPECT_EQ((flags & 1) != 0, host.isCaseInsensitive());
        EXPECT_EQ((flags & 2) != 0, host.isWin32Filesystem());
        EXPECT_EQ((flags & 4) != 0, host.isSecure());
        EXPECT_EQ((flags & 8) != 0, host.isUnsecure());
        EXPECT_EQ((flags & 16) != 0, host.isUnprotected());
    }
    host.setFlags(yav_vhost_secure);
    host.addFlags(yav_vhost_unsecure | yav_vhost_unprotected);
    EXPECT_EQ(4u | 8u | 16u, host.getFlags());
    host.addFlags(yav_vhost_secure);
    EXPECT_EQ(4u | 8u | 16u, host.getFlags());
}

TEST(YavPluginVirtualHostTest, MatchesIdAndProtocol) {
    struct Case {
        uint32_t flags;
        const char* id;
        const char* probe;
        bool secure;
        bool match;
    };
    const uint32_t both = yav_vhost_secure | yav_vhost_unsecure;
    const std::vector<Case> cases = {
        {yav_vhost_unsecure, "www", "www", false, true},
        {yav_vhost_unsecure, "www", "www", true, false},
        {yav_vhost_secure, "www", "www", true, true},
        {yav_vhost_secure, "www", "www", false, false},
        {both, "www", "www", true, true},
        {both, "www", "www", false, true},
        {0, "www", "www", false, false},
        {yav_vhost_unprotected | yav_vhost_case_insensitive, "www", "www", false, false},
        {both, "www", "WWW", false, false},
        {both, "www", "ww", false, false},
        {both, "www", "wwww", false, false},
        {both, "", "", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.id) + " / " + c.probe + (c.secure ? " https" : " http"));
        YavPluginVirtualHost host;
        ASSERT_EQ(0u, host.setID(YavStringRef(c.id)));
        host.setFlags(c.flags);
        EXPECT_EQ(c.match, host.match(YavStringRef(c.probe), c.secure));
    }
}

// A map whose method list is placed through allocator, so that the test can
// see when the map and its lists are gone.
YavPermMap* makeMap(YavAllocator* allocator) {
    YavPermMap* map = new (std::nothrow) YavPermMap(allocator);
    if (map == nullptr || map->initialize() != 0) {
        delete map;
        return nullptr;
    }
    YavActionGroupList* list = new (std::nothrow) YavActionGroupList(allocator);
    YavStringRef* method = new (std::nothrow) YavStringRef("GET");
    if (list == nullptr || method == nullptr || list->initialize(YavStringRef("r[a]x")) != 0 ||
        map->setPerms(method, list) != 0) {
        delete list;
        delete method;
        delete map;
        return nullptr;
    }
    return map;
}

TEST(YavPluginVirtualHostTest, NewPermMapDeletesOldMapWithItsLists) {
    YavAuthzTestAllocator first, second;
    {
        YavPluginVirtualHost host;
        EXPECT_EQ(nullptr, host.getPermMap());
        YavPermMap* map1 = makeMap(&first);
        ASSERT_NE(nullptr, map1);
        ASSERT_EQ(0u, host.setPermMap(map1));
        EXPECT_EQ(map1, host.getPermMap());
        ASSERT_GT(first.live, 0);

        YavPermMap* map2 = makeMap(&second);
        ASSERT_NE(nullptr, map2);
        ASSERT_EQ(0u, host.setPermMap(map2));
        EXPECT_EQ(map2, host.getPermMap());
        EXPECT_EQ(0, first.live);
        EXPECT_GT(second.live, 0);

        // Setting the same map again keeps it.
        ASSERT_EQ(0u, host.setPermMap(map2));
        EXPECT_NE(nullptr, host.getPermMap()->getPerms(YavStringRef("GET")));
    }
    EXPECT_EQ(0, second.live);
}

}  // namespace
