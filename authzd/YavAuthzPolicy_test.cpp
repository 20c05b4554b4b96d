#include "authzd/YavAuthzPolicy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authzd/yav_authzd_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

TEST(YavAuthzPolicyTest, ReadsEveryStanzaOfAValidPolicy) {
    YavTestTempDir dir("authzpol");
    ASSERT_TRUE(dir.ok());
    std::string path = yav_authz_write_file(dir, "p.conf", yav_authz_test_policy());
    YavAuthzPolicy policy;
    std::string error;
    ASSERT_EQ(0u, policy.load(path.c_str(), &error)) << error;

    EXPECT_EQ("Test Realm", policy.realm);
    EXPECT_EQ("X-User", policy.userHeader);
    EXPECT_EQ(30, policy.cachePollInterval);
    const YavConfigAnswerData& c = policy.configData();
    ASSERT_EQ(2, c.numVHosts);
    EXPECT_STREQ("www", c.vhosts[0].id);
    EXPECT_STREQ("/web", c.vhosts[0].branch);
    EXPECT_EQ(YAV_AUTHZ_VH_HTTP | YAV_AUTHZ_VH_HTTPS, c.vhosts[0].flags);
    EXPECT_STREQ("r", c.vhosts[0].defaultPerms);
    ASSERT_EQ(1, c.vhosts[0].numMethods);
    EXPECT_STREQ("POST", c.vhosts[0].methods[0].method);
    EXPECT_STREQ("rw", c.vhosts[0].methods[0].actions);
    EXPECT_EQ(YAV_AUTHZ_VH_HTTP | YAV_AUTHZ_VH_UNPROTECTED, c.vhosts[1].flags);
    ASSERT_EQ(1, c.numPostURIs);
    EXPECT_STREQ("/web/upload", c.postURIs[0].name);
    EXPECT_EQ(512u, c.postURIs[0].value);
    ASSERT_EQ(1, c.numConfigFlags);
    EXPECT_EQ(3u, c.configFlags[0].value);
    EXPECT_TRUE(c.cacheEnabled);
    EXPECT_EQ(30, c.cachePollInterval);

    ASSERT_NE(nullptr, policy.findOpen("/web", "/web/img"));
    EXPECT_EQ("r", policy.findOpen("/web", "/web/img")->actions);
    EXPECT_EQ(nullptr, policy.findOpen("/other", "/web/img"));
    ASSERT_NE(nullptr, policy.findAcl("/web/admin"));
    ASSERT_EQ(1u, policy.findAcl("/web/admin")->entries.size());
    EXPECT_FALSE(policy.findAcl("/web/admin")->entries[0].isGroup);
    EXPECT_EQ("alice", policy.findAcl("/web/admin")->entries[0].name);
    EXPECT_TRUE(policy.isMember("staff", "alice"));
    EXPECT_FALSE(policy.isMember("staff", "carol"));
    EXPECT_EQ(nullptr, policy.findUser("carol"));
}

// Open entries are found by branch and object together, a name listed twice
// answers with its first entry, and a branch whose name is a prefix of
// another does not lend it its entries.
TEST(YavAuthzPolicyTest, OpenEntriesAreFoundByBranchAndObjectFirstListedFirst) {
    YavTestTempDir dir("authzopen");
    ASSERT_TRUE(dir.ok());
    std::string path = yav_authz_write_file(dir, "p.conf",
                                            "[open /web]\n"
                                            "/web/a = r\n"
                                            "/web/a = *\n"
                                            "[open /we]\n"
                                            "/web/b = w\n");
    YavAuthzPolicy policy;
    std::string error;
    ASSERT_EQ(0u, policy.load(path.c_str(), &error)) << error;
    ASSERT_NE(nullptr, policy.findOpen("/web", "/web/a"));
    EXPECT_EQ("r", policy.findOpen("/web", "/web/a")->actions);
    EXPECT_EQ(nullptr, policy.findOpen("/we", "/web/a"));
    EXPECT_EQ(nullptr, policy.findOpen("/web", "/web/b"));
    ASSERT_NE(nullptr, policy.findOpen("/we", "/web/b"));
    EXPECT_EQ("w", policy.findOpen("/we", "/web/b")->actions);
    EXPECT_EQ(nullptr, policy.findOpen("/web", "/web"));
}

TEST(YavAuthzPolicyTest, TheShippedExampleIsValid) {
    YavAuthzPolicy policy;
    std::string error;
    EXPECT_EQ(0u, policy.load(YAV_AUTHZD_EXAMPLES "/authzd-policy.conf", &error)) << error;
    EXPECT_EQ(3, policy.configData().numVHosts);
}

// Each invalid form is refused with the line that holds it and its reason.
TEST(YavAuthzPolicyTest, RefusesInvalidFormsNamingFileLineAndReason) {
    struct Case {
        std::string text;
        int line;
        std::string reason;
        yav_status_t status;
    };
    const std::vector<Case> cases = {
        {"[users]\nbob\n", 2, "entry without '='", YAV_S_STZ_NO_SEPARATOR},
        {"# c\n[users\n", 2, "stanza head without ']'", YAV_S_STZ_NO_BRACKET},
        {"x = 1\n[users]\n", 1, "entry before the first stanza", YAV_S_CFG_INVALID_VALUE},
        {"[authzd]\n\n[nope]\n", 3, "unknown stanza [nope]", YAV_S_CFG_UNRECOGNIZED_ENTRY},
        {"[authzd]\nrealm = a\ncolour = red\n", 3, "colour: unknown entry",
         YAV_S_CFG_INVALID_VALUE},
        {"[authzd]\ncache = maybe\n", 2, "expected yes or no", YAV_S_CFG_INVALID_VALUE},
        {"[authzd]\ncache-poll-interval = 0\n", 2, "1 to 86400", YAV_S_CFG_INVALID_VALUE},
        {"[vhost a]\nbranch = /a\nflags = http bogus\n", 3, "unknown flag",
         YAV_S_CFG_INVALID_VALUE},
        {"[vhost a]\nbranch = a\n", 2, "branch must start with '/'", YAV_S_CFG_INVALID_VALUE},
        {"[vhost a]\nflags = http\n", 1, "has no branch", YAV_S_CFG_ENTRY_MISSING},
        {"[vhost a]\nbranch = /a\n", 1, "neither http nor https", YAV_S_CFG_ENTRY_MISSING},
        {"[vhost a]\nbranch = /a\nflags = 8\nget = r\n", 4, "methods are upper case",
         YAV_S_CFG_INVALID_VALUE},
        {"[vhost a]\nbranch = /a\nflags = 8\nPUT = r[w\n", 4, "invalid action set: r[w",
         YAV_S_CFG_INVALID_VALUE},
        {"[vhost a]\nbranch = /a\nflags = 8\n[vhost a]\n", 4, "virtual host defined twice",
         YAV_S_CFG_INVALID_VALUE},
        {"[open web]\n", 1, "open branch must start with '/'", YAV_S_CFG_INVALID_VALUE},
        {"[open /w]\n/w/a = *\nb = r\n", 3, "object must start with '/'", YAV_S_CFG_INVALID_VALUE},
        {"[open /w]\n/w/a = x]y\n", 2, "invalid action set", YAV_S_CFG_INVALID_VALUE},
        {"[acl /w]\nperson bob = r\n", 2, "expected \"user <name>\"", YAV_S_CFG_INVALID_VALUE},
        {"[acl /w]\nuser bob = r\n[acl /w]\n", 3, "access list defined twice",
         YAV_S_CFG_INVALID_VALUE},
        {"[users]\nbob = short\n", 2, "password hash too short", YAV_S_CFG_INVALID_VALUE},
        {"[users]\nbob = $5$abcdefghijklmnop\nbob = $5$abcdefghijklmnop\n", 3, "user defined twice",
         YAV_S_CFG_INVALID_VALUE},
        {"[post-sizes]\n/a = -1\n", 2, "not a number", YAV_S_CFG_INVALID_VALUE},
        {"[config-flags]\nf = 0x100000000\n", 2, "not a number", YAV_S_CFG_INVALID_VALUE},
    };
    YavTestTempDir dir("authzpol");
    ASSERT_TRUE(dir.ok());
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::string path = yav_authz_write_file(dir, "bad" + std::to_string(i), c.text);
        ASSERT_FALSE(path.empty());
        YavAuthzPolicy policy;
        std::string error;
        EXPECT_EQ(c.status, policy.load(path.c_str(), &error)) << c.text;
        std::string where = path + ":" + std::to_string(c.line) + ": ";
        EXPECT_EQ(0u, error.find(where)) << error << " for " << c.text;
        EXPECT_NE(std::string::npos, error.find(c.reason)) << error << " for " << c.text;
    }
}

TEST(YavAuthzPolicyTest, AMissingFileIsReportedWithLineZero) {
    YavAuthzPolicy policy;
    std::string error;
    EXPECT_EQ(YAV_S_STZ_READ_FAILED, policy.load("/nonexistent/authzd.conf", &error));
    EXPECT_EQ("/nonexistent/authzd.conf:0: cannot read the file", error);
}

TEST(YavAuthzPolicyTest, ActionSetsMustCloseEveryBracket) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", true},     {"rx", true},    {"[a]x[b]", true}, {"r[a", false},
        {"r]a", false}, {"[[a]", false}, {"[a]]", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, yav_authz_valid_action_set(c.first)) << c.first;
    }
}

}  // namespace
