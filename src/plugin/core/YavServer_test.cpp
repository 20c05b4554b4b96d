#include "plugin/core/YavServer.h"

#include <gtest/gtest.h>

#include <string>

#include "core/msg/yav_status.h"
#include "plugin/core/YavCachedServer.h"
#include "plugin/core/YavSSLSession.h"
#include "plugin/core/yav_view_test_aids.h"

TEST(YavServerTest, PortStringIsTheDecimalPortAskedForOnce) {
    struct Case {
        int port;
        const char* expected;
    };
    const Case cases[] = {{80, "80"}, {1, "1"}, {443, "443"}, {8080, "8080"}, {65535, "65535"}};
    for (const Case& c : cases) {
        YavRecordingServer server;
        server.presets.set("getPort", 0, "", c.port);
        for (int call = 0; call < 2; ++call) {
            YavStringRefT<char> port;
            ASSERT_EQ(0u, server.getPortString(&port)) << c.port;
            EXPECT_EQ(std::string(c.expected), yav_test_text(port));
            // The cached text stays even when the port would now differ.
            server.presets.set("getPort", 0, "", 1234);
        }
        EXPECT_EQ(1, server.callLog().count("srv.getPort("));
    }
}

// A port outside the TCP range, or a failing getPort, is refused on every
// call (nothing is cached) and leaves the text alone.
TEST(YavServerTest, PortStringRefusesBadOrFailingPortsOnEveryCall) {
    struct Case {
        yav_status_t portStatus;  // 1: getPort not preset
        int port;
        yav_status_t expected;
    };
    const Case cases[] = {
        {0, 0, YAV_S_INVALID_SYS_INPUT},
        {0, -1, YAV_S_INVALID_SYS_INPUT},
        {0, 65536, YAV_S_INVALID_SYS_INPUT},
        {1, 0, YAV_S_NOT_SUPPORTED},
        {YAV_S_NOT_AVAILABLE, 0, YAV_S_NOT_AVAILABLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        YavRecordingServer server;
        if (c.portStatus != 1) server.presets.set("getPort", c.portStatus, "", c.port);
        YavStringRefT<char> text("untouched");
        EXPECT_EQ(c.expected, server.getPortString(&text));
        EXPECT_EQ(c.expected, server.getPortString(&text));
        EXPECT_EQ(2, server.callLog().count("srv.getPort("));
        EXPECT_EQ("untouched", yav_test_text(text));
        server.presets.set("getPort", 0, "", 8443);
        EXPECT_EQ(0u, server.getPortString(&text));
        EXPECT_EQ("8443", yav_test_text(text));
    }
}

TEST(YavCachedServerTest, HandsOutItsIDAndOffersNothingElse) {
    YavCachedServer server;
    YavStringRef text("x");
    EXPECT_EQ(0u, server.getVHostID(&text));
    EXPECT_TRUE(text.isEmpty());
    const char* id = "vhost-7";
    server.setVHostID(YavStringRef(id));
    EXPECT_EQ(0u, server.getVHostID(&text));
    EXPECT_EQ(id, text.getData());
    EXPECT_EQ("vhost-7", yav_test_text(text));

    int number = 0;
    YavStringRefT<char> port;
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, server.getName(&text));
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, server.getPort(&number));
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, server.getPortString(&port));
}

TEST(YavSSLSessionTest, DefaultsOfASessionAndItsCertificateViewsLifetime) {
    YavRecordingSSLSession session;
    YavBuffer id;
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, session.getID(&id));
    EXPECT_TRUE(session.canRequestClientCert());
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, session.requestClientCert());
    EXPECT_EQ(nullptr, session.getClientCert());
    EXPECT_FALSE(session.isClientCertRequested());
    bool firstGone = false;
    bool secondGone = false;
    {
        YavRecordingSSLSession session;
        auto* first = new YavRecordingClientCert(nullptr, &firstGone);
        session.setClientCert(first);
        session.setClientCert(first);  // the same view again is kept
        EXPECT_FALSE(firstGone);
        session.setClientCert(new YavRecordingClientCert(nullptr, &secondGone));
        EXPECT_TRUE(firstGone);
        EXPECT_FALSE(secondGone);
    }
    EXPECT_TRUE(secondGone);
}
