#include "plugin/core/YavPluginVirtualHostKey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/hash/YavComparators.h"
#include "plugin/core/yav_authz_test_aids.h"

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

TEST(YavPluginVirtualHostKeyTest, ComparesInBothModes) {
    enum Mode { exact, http, https };
    struct Case {
        Mode mode;
        const char* keyID;
        const char* hostID;
        uint32_t hostFlags;
        int expected;  // sign of the result
    };
    const uint32_t both = yav_vhost_secure | yav_vhost_unsecure;
    const std::vector<Case> cases = {
        // Exact-ID mode ignores the protocols.
        {exact, "www", "www", 0, 0},
        {exact, "www", "www", both, 0},
        {exact, "www", "wwx", both, -1},
        {exact, "ww", "www", both, -1},
        {exact, "www", "ww", both, 1},
        {exact, "WWW", "www", both, -1},
        {exact, "", "", 0, 0},
        // Match mode: the host's protocol must fit the request.
        {http, "www", "www", yav_vhost_unsecure, 0},
        {https, "www", "www", both, 0},
        {https, "www", "www", yav_vhost_unsecure, 1},
        {http, "www", "www", yav_vhost_secure, -1},
        {http, "www", "www", 0, -1},
        {https, "www", "www", 0, 1},
        // Different IDs keep the ID order whatever the protocol.
        {https, "aaa", "bbb", both, -1},
        {https, "ww", "www", yav_vhost_unsecure, -1},
        {http, "www", "ww", yav_vhost_secure, 1},
        {http, "WWW", "www", both, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.keyID) + " / " + c.hostID + " mode " + std::to_string(c.mode) +
                     " flags " + std::to_string(c.hostFlags));
        YavPluginVirtualHost host;
        ASSERT_EQ(0u, host.setID(YavStringRef(c.hostID)));
        host.setFlags(c.hostFlags);
        YavStringRef id(c.keyID);
        YavPluginVirtualHostKey key;
        ASSERT_EQ(0u, c.mode == exact ? key.initialize(id) : key.initialize(id, c.mode == https));
        EXPECT_EQ(c.mode != exact, key.isMatchMode());
        EXPECT_EQ(c.mode == https, key.isSecure());
        EXPECT_EQ(&id, key.getID());
        EXPECT_EQ(c.expected, sign(key.compare(host)));
    }
}

// IDs are ordered with the comparator of the key's reference, which is not
// called when the key refers to the host's own text.
TEST(YavPluginVirtualHostKeyTest, ExactModeUsesKeyComparatorUnlessSameText) {
    YavPluginVirtualHost host;
    ASSERT_EQ(0u, host.setID(YavStringRef("Www")));

    host.setFlags(yav_vhost_unsecure);
    YavStringRef upper("WWW");
    upper.setComparator(&yav_icase_strcmp);
    YavPluginVirtualHostKey key;
    key.initialize(upper);
    EXPECT_EQ(0, key.compare(host));
    // In match mode the host's own (case-sensitive) comparator decides the
    // match; the key's only orders.
    key.initialize(upper, false);
    EXPECT_EQ(-1, key.compare(host));
    key.initialize(upper, true);
    EXPECT_EQ(1, key.compare(host));

    YavCountingComparator counting;
    YavStringRef same(host.getID());
    same.setComparator(&counting);
    key.initialize(same);
    EXPECT_EQ(0, key.compare(host));
    EXPECT_EQ(0, counting.calls);

    YavStringRef prefix(host.getID().getData(), 2);
    prefix.setComparator(&counting);
    key.initialize(prefix);
    EXPECT_EQ(-1, sign(key.compare(host)));
    EXPECT_EQ(1, counting.calls);
}

}  // namespace
