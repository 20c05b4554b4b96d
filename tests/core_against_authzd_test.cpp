// YavCore against tessaro-authzd, one request at a time: which virtual
// hosts pass before and after initialize and after a refresh, the cache's
// decisions from the server's own open-resource list and permission maps, a
// policy reload reaching the cache, minimum POST sizes, and a local file
// without the plug-in's stanza.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "plugin/core/YavCore.h"
#include "tests/yav_e2e_test_aids.h"

namespace {

std::string statusText(yav_status_t status) {
    char text[32];
    snprintf(text, sizeof text, "status %#x", status);
    return text;
}

// A running server with the default policy (open resources as given) and a
// core over the local file conf, not yet initialized.
class CoreAgainstAuthzdTest : public ::testing::Test {
  protected:
    void start(const std::string& conf, const std::string& open = yav_e2e_open_resources()) {
        ASSERT_EQ("", m_server.setUpError());
        if (conf.empty()) {
            unlink((m_server.dir() + "/tessaro.conf").c_str());
        } else {
            ASSERT_TRUE(m_server.write("tessaro.conf", conf));
        }
        ASSERT_TRUE(m_server.start(yav_e2e_policy(open)));
        m_core.reset(new YavCore("/usr/bin/yav-e2e", m_server.dir().c_str()));
    }
    yav_status_t initialize() { return m_core->initialize(m_server.keyPath(), nullptr); }
    // One request (vhost null: no virtual-host ID): its outcome, what the
    // core logged through the transaction and how often the core had the
    // module prepare the transaction for a retry.
    struct Asked {
        std::string outcome;
        std::vector<std::string> lines;
        int retries = 0;
    };
    Asked askFull(const char* vhost, const std::string& method, const std::string& uri,
                  const std::string& auth = "", int security = 0) {
        YavTestExchange x(security > 0);
        yav_e2e_prepare(x, vhost, method, uri, auth, security);
        Asked asked;
        asked.outcome = yav_e2e_outcome(x, m_core->handleReq(&x.trans));
        for (const auto& line : x.trans.lines) asked.lines.push_back(line.second);
        asked.retries = x.log.count("trans.prepareForRetry(");
        return asked;
    }
    std::string ask(const char* vhost, const std::string& method, const std::string& uri,
                    const std::string& auth = "", int security = 0) {
        return askFull(vhost, method, uri, auth, security).outcome;
    }
    void TearDown() override {
        if (m_core) {
            EXPECT_EQ(0u, m_core->shutdown());
            m_core.reset();
            EXPECT_TRUE(m_server.stopClean());
        }
    }

    YavE2EServer m_server;
    std::unique_ptr<YavCore> m_core;
};

TEST_F(CoreAgainstAuthzdTest, HostsPassByTheLocalFileThenByTheServerThenByBoth) {
    ASSERT_NO_FATAL_FAILURE(
        start("[krweb-plugins]\n"
              "unprotected-virtual-host = local-static\n"
              "virtual-host = shop\n"
              "[local-static]\n"
              "protocols = both\n"));
    const std::string notInitialized = statusText(YAV_S_NOT_INITIALIZED);
    // Outcomes before initialize, after it (the server's hosts replace the
    // local ones) and after a refresh (the local hosts come back behind the
    // server's).  A request without an ID never matches a host; the server
    // forbids what it has no host for.
    struct Case {
        const char* vhost;
        int security;
        const char* before;
        const char* after;
        const char* refreshed;
    } cases[] = {
        {"local-static", 0, "cache", "send 403", "cache"},
        {"local-static", 1, "cache", "send 403", "cache"},
        {"open-host", 0, notInitialized.c_str(), "cache", "cache"},
        // open-host serves http only: the plug-in asks, the server opens.
        {"open-host", 1, notInitialized.c_str(), "continue unauthenticated",
         "continue unauthenticated"},
        {"shop", 1, notInitialized.c_str(), "cache", "cache"},
        {nullptr, 0, notInitialized.c_str(), "send 403", "send 403"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.vhost != nullptr ? c.vhost : "(no ID)") + " security " +
                     std::to_string(c.security));
        EXPECT_EQ(c.before, ask(c.vhost, "GET", "/pub/a.html", "", c.security));
    }
    ASSERT_EQ(0u, initialize());
    EXPECT_EQ(YAV_S_ALREADY_INITIALIZED, initialize());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vhost != nullptr ? c.vhost : "(no ID)");
        EXPECT_EQ(c.after, ask(c.vhost, "GET", "/pub/a.html", "", c.security));
    }
    EXPECT_EQ(0u, YavCoreTestPeer::prepareForRetry(*m_core));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vhost != nullptr ? c.vhost : "(no ID)");
        EXPECT_EQ(c.refreshed, ask(c.vhost, "GET", "/pub/a.html", "", c.security));
    }
}

TEST_F(CoreAgainstAuthzdTest, TheNearestListedAncestorDecidesForTheMethodsActions) {
    ASSERT_NO_FATAL_FAILURE(start("[krweb-plugins]\nvirtual-host = shop\n"));
    ASSERT_EQ(0u, initialize());
    // What the cache decides locally ("cache"), else what the server says
    // to a request without credentials.
    struct Case {
        const char* method;
        const char* uri;
        const char* outcome;
    } cases[] = {
        {"GET", "/pub", "cache"},                         // the listed object itself
        {"GET", "/pub/", "cache"},                        // trailing "/" dropped
        {"GET", "//pub///a/b/c.html", "cache"},           // slashes collapse
        {"DELETE", "/pub/a.html", "cache"},               // "*" grants every action
        {"GET", "/pub/closed/a.html", "send 401"},        // nearer entry closes again
        {"GET", "/pub/closed", "send 401"},               //
        {"GET", "/pub/closed/reopened/a.html", "cache"},  // and opens again below
        {"GET", "/pub/closedx/a.html", "cache"},          // a name prefix is no ancestor
        {"GET", "/public/a.html", "send 401"},            //
        {"GET", "/PUB/a.html", "send 401"},               // case-sensitive host
        {"GET", "/img/a.png", "cache"},                   // r covers GET's r
        {"HEAD", "/img/a.png", "cache"},                  // no own entry: default r
        {"PROPFIND", "/img/a.png", "cache"},              //
        {"POST", "/img/a.png", "send 401"},               // r does not cover rw
        {"GET", "/", "send 401"},                         // the branch is not listed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.outcome, ask("shop", c.method, c.uri)) << c.method << " " << c.uri;
    }
}

TEST_F(CoreAgainstAuthzdTest, AReloadReachesTheCacheWithTheFirstAnswerCarryingItsVersion) {
    ASSERT_NO_FATAL_FAILURE(start("[krweb-plugins]\nvirtual-host = shop\n", "/shop/pub = *\n"));
    ASSERT_EQ(0u, initialize());
    ASSERT_EQ("cache", ask("shop", "GET", "/pub/a.html"));
    ASSERT_EQ("send 401", ask("shop", "GET", "/news/a.html"));

    ASSERT_TRUE(m_server.reload(yav_e2e_policy("/shop/news = *\n"), 2));
    // Until an answer carries version 2 the cache keeps its old decisions.
    EXPECT_EQ("cache", ask("shop", "GET", "/pub/a.html"));
    EXPECT_EQ("cache", ask("shop", "GET", "/pub/b.html"));
    // The server already decides by the new policy, and its answer carries
    // the new version, so the cache fetches the new list.
    EXPECT_EQ("continue unauthenticated", ask("shop", "GET", "/news/a.html"));
    EXPECT_EQ("send 401", ask("shop", "GET", "/pub/a.html"));
    EXPECT_EQ("cache", ask("shop", "GET", "/news/b.html"));
}

TEST_F(CoreAgainstAuthzdTest, MinimumPostSizesAreFoundOnlyUnderTheirExactKey) {
    ASSERT_NO_FATAL_FAILURE(start("[krweb-plugins]\nvirtual-host = shop\n"));
    ASSERT_EQ(0u, initialize());
    struct Case {
        const char* first;
        const char* second;
        bool found;
    } cases[] = {
        {"shop", "/form", true},   {"shop", "/form/", false}, {"shop", "/for", false},
        {"sho", "/form", false},   {"/form", "shop", false},  {"shop:", "/form", false},
        {"shop:/form", "", false}, {"", "shop:/form", false}, {"shop", "", false},
    };
    for (const Case& c : cases) {
        int size = -7;
        yav_status_t status =
            m_core->getMinPostData(YavStringRef(c.first), YavStringRef(c.second), &size);
        EXPECT_EQ(c.found ? 0u : YAV_S_NOT_AVAILABLE, status) << c.first << " " << c.second;
        EXPECT_EQ(c.found ? 512 : -7, size) << c.first << " " << c.second;
    }
}

// A local file without the plug-in's stanza, or no file at all: the core
// works from the server's hosts, also through a refresh forced by a server
// restart (whose reading of the local file fails).
TEST_F(CoreAgainstAuthzdTest, WithoutTheLocalStanzaTheServersHostsServeThroughARestart) {
    const char* confs[] = {"[other]\nvirtual-host = shop\n", ""};
    for (const char* conf : confs) {
        SCOPED_TRACE(*conf != '\0' ? "no stanza" : "no file");
        ASSERT_NO_FATAL_FAILURE(start(conf));
        EXPECT_EQ(statusText(YAV_S_NOT_INITIALIZED), ask("shop", "GET", "/pub/a.html"));
        ASSERT_EQ(0u, initialize());
        const std::string alice = yav_authz_basic("alice", "pw-alice");
        EXPECT_EQ("continue alice", ask("shop", "GET", "/doc.html", alice));
        ASSERT_TRUE(m_server.process().sendSignal(SIGUSR1));
        ASSERT_TRUE(m_server.process().waitForLine("restarted 1"));
        // The first question finds the objects replaced: the core refreshes
        // (its local file fails it) and asks again.
        Asked first = askFull("shop", "GET", "/doc.html", alice);
        EXPECT_EQ("continue alice", first.outcome);
        EXPECT_EQ(1, first.retries);
        EXPECT_EQ("cache", ask("shop", "GET", "/pub/a.html"));
        EXPECT_EQ("cache", ask("open-host", "GET", "/a.html"));
        TearDown();
        if (HasFatalFailure()) return;
    }
}

// The server's mode file switches its answers while it serves; lines it
// does not understand change nothing.
TEST_F(CoreAgainstAuthzdTest, TheModeFileSwitchesTheServersAnswersWhileItServes) {
    ASSERT_NO_FATAL_FAILURE(start("[krweb-plugins]\nvirtual-host = shop\n"));
    ASSERT_EQ(0u, initialize());
    const std::string bob = yav_authz_basic("bob", "pw-bob");
    const char* refused[] = {"error",    "error 0",  "malformed", "malformed bogus",
                             "delay -1", "normal 1", "faster",    ""};
    for (const char* line : refused) {
        ASSERT_TRUE(m_server.sendMode(line, "mode refused")) << line;
        EXPECT_EQ("send 403", ask("shop", "GET", "/doc.html", bob)) << line;
    }
    ASSERT_TRUE(m_server.setMode("error " + std::to_string(YAV_S_NOT_SUPPORTED)));
    Asked refused503 = askFull("shop", "GET", "/doc.html", bob);
    EXPECT_EQ("default 503", refused503.outcome);
    ASSERT_EQ(1u, refused503.lines.size());
    EXPECT_EQ(0u, refused503.lines[0].find("QRXIC0641E")) << refused503.lines[0];
    EXPECT_EQ("cache", ask("shop", "GET", "/pub/a.html"));
    ASSERT_TRUE(m_server.setMode("normal"));
    EXPECT_EQ("send 403", ask("shop", "GET", "/doc.html", bob));
    ASSERT_TRUE(m_server.setMode("malformed result-type"));
    EXPECT_EQ("default 503", ask("shop", "GET", "/doc.html", bob));
    ASSERT_TRUE(m_server.setMode("normal"));
    EXPECT_EQ("send 403", ask("shop", "GET", "/doc.html", bob));
}

}  // namespace
