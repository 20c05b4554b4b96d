#include "authzd/YavAuthzDecision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authzd/yav_authzd_test_aids.h"

namespace {

class YavAuthzDecisionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok());
        std::string path = yav_authz_write_file(m_dir, "p.conf", yav_authz_test_policy());
        std::string error;
        ASSERT_EQ(0u, m_policy.load(path.c_str(), &error)) << error;
    }

    YavTestTempDir m_dir{"authzdec"};
    YavAuthzPolicy m_policy;
};

TEST_F(YavAuthzDecisionTest, DecidesByOpenEntriesCredentialsAndNearestAccessList) {
    const std::string alice = yav_authz_basic("alice", "pw-alice");
    const std::string bob = yav_authz_basic("bob", "pw-bob");
    struct Case {
        const char* vhost;
        const char* method;
        const char* uri;
        std::string auth;
        yav_authz_verdict_e verdict;
        const char* user;
        const char* object;
    };
    const std::vector<Case> cases = {
        // Open resources, nearest listed ancestor first.
        {"www", "GET", "/pub/a/b.html", "", yav_authz_open, "", "/web/pub/a/b.html"},
        {"www", "POST", "/pub/form", "", yav_authz_open, "", "/web/pub/form"},
        {"www", "GET", "/img/logo.png", "", yav_authz_open, "", "/web/img/logo.png"},
        // r on /web/img does not cover POST's rw; nor does [none] cover r.
        {"www", "POST", "/img/logo.png", "", yav_authz_unauthenticated, "", "/web/img/logo.png"},
        {"www", "GET", "/pub/closed/x", "", yav_authz_unauthenticated, "", "/web/pub/closed/x"},
        // Protected: no or bad credentials ask for them.
        {"www", "GET", "/doc", "", yav_authz_unauthenticated, "", "/web/doc"},
        {"www", "GET", "/doc", yav_authz_basic("alice", "wrong"), yav_authz_unauthenticated, "",
         "/web/doc"},
        {"www", "GET", "/doc", yav_authz_basic("mallory", "pw-alice"), yav_authz_unauthenticated,
         "", "/web/doc"},
        {"www", "GET", "/doc", "Bearer abc", yav_authz_unauthenticated, "", "/web/doc"},
        {"www", "GET", "/doc", "Basic !!!!", yav_authz_unauthenticated, "", "/web/doc"},
        // Groups: staff has r on /web, so GET passes and POST (rw) does not.
        {"www", "GET", "/doc/", bob, yav_authz_allowed, "bob", "/web/doc"},
        {"www", "POST", "/doc", bob, yav_authz_forbidden, "bob", "/web/doc"},
        // /web/admin lists only alice: the nearer list hides the group's.
        {"www", "GET", "/admin/x", bob, yav_authz_forbidden, "bob", "/web/admin/x"},
        {"www", "POST", "/admin/x", alice, yav_authz_allowed, "alice", "/web/admin/x"},
        // Repeated slashes collapse as the plug-in's names do.
        {"www", "GET", "//admin///x", alice, yav_authz_allowed, "alice", "/web/admin/x"},
        // Dot segments are never judged by an ancestor.
        {"www", "GET", "/pub/../admin/x", alice, yav_authz_forbidden, "", "/web/pub/../admin/x"},
        // Unprotected and unknown hosts.
        {"open-host", "DELETE", "/any", "", yav_authz_open, "", ""},
        {"nohost", "GET", "/pub/a", "", yav_authz_forbidden, "", ""},
    };
    for (const Case& c : cases) {
        YavAuthzRequest req;
        req.vhostID = c.vhost;
        req.method = c.method;
        req.uri = c.uri;
        req.authorization = c.auth;
        YavAuthzResult result;
        ASSERT_EQ(0u, yav_authz_decide(m_policy, req, &result)) << c.uri;
        EXPECT_EQ(c.verdict, result.verdict) << c.vhost << " " << c.method << " " << c.uri;
        EXPECT_EQ(c.user, result.user) << c.uri;
        EXPECT_EQ(c.object, result.objectName) << c.uri;
    }
}

TEST(YavAuthzParentTest, WalksUpToTheRoot) {
    std::string name = "/a/b/c/";
    std::vector<std::string> seen;
    while (yav_authz_parent(&name)) seen.push_back(name);
    EXPECT_EQ((std::vector<std::string>{"/a/b", "/a", "/"}), seen);
    std::string relative = "a/b";
    EXPECT_FALSE(yav_authz_parent(&relative));
    std::string empty;
    EXPECT_FALSE(yav_authz_parent(&empty));
}

TEST(YavAuthzBasicTest, SplitsOnlyWellFormedCredentials) {
    struct Case {
        std::string header;
        bool ok;
        const char* user;
        const char* password;
    };
    const std::vector<Case> cases = {
        {yav_authz_basic("u", "p:q"), true, "u", "p:q"},
        {"  bAsIc " + yav_authz_basic("u", "").substr(6), true, "u", ""},
        {"Basic", false, "", ""},
        {"Basic ", false, "", ""},
        {yav_authz_basic("", "p"), false, "", ""},
        {"Basic dXNlcg==", false, "", ""},  // "user" without a colon
        {"Digest dXNlcjpw", false, "", ""},
        {"Basic " + std::string(5000, 'A'), false, "", ""},
    };
    for (const Case& c : cases) {
        std::string user;
        std::string password;
        EXPECT_EQ(c.ok, yav_authz_parse_basic(c.header, &user, &password)) << c.header;
        if (c.ok) {
            EXPECT_EQ(c.user, user);
            EXPECT_EQ(c.password, password);
        }
    }
}

TEST(YavAuthzPasswordTest, MatchesOnlyTheRightPassword) {
    const std::string hash = "$5$saltA$YFlBXGP.cVv5qVYMr7BclEezvZsdwEtMEQr31rjAYd6";
    EXPECT_TRUE(yav_authz_check_password("pw-alice", hash));
    EXPECT_FALSE(yav_authz_check_password("pw-alicf", hash));
    EXPECT_FALSE(yav_authz_check_password("", hash));
    EXPECT_FALSE(yav_authz_check_password("pw-alice", ""));
    EXPECT_FALSE(yav_authz_check_password("pw-alice", "not-a-hash-at-all"));
}

}  // namespace
