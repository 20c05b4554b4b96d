#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "msg/core/yav_msg_test_aids.h"
#include "msg/plugin/YavWebReqSSLSessQuestion.h"
#include "msg/plugin/YavWebReqServerQuestion.h"
#include "msg/plugin/yav_webq_test_aids.h"
#include "plugin/core/yav_view_test_aids.h"

namespace {

TEST(YavWebReqQuestionPartsTest, SSLPartDefaultsAndFlagSetters) {
    YavWebReqSSLSessQuestion ssl;
    EXPECT_TRUE(ssl.canRequestClientCert());
    EXPECT_FALSE(ssl.hasClientCert());
    ssl.setCanRequestClientCert(false);
    EXPECT_FALSE(ssl.canRequestClientCert());
    ssl.setClientCertRequested(true);
    EXPECT_TRUE(ssl.getClientCertRequested());
    ssl.setClientCertRequested(false);
    EXPECT_FALSE(ssl.getClientCertRequested());
    EXPECT_EQ(YavWebReqSSLSessQuestion::kCanRequestValue, ssl.getFlags());
    YavBuffer id;
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, ssl.getID(id));
    // Flag 0x4 alone has no value on the wire.
    ssl.setClientCertRequested(true);
    int written = 0;
    EXPECT_EQ(yav_test_ints({0xC, 0}), yav_marshal_bytes(ssl, &written, 0));
    EXPECT_EQ(8, written);
}

// A filled SSL part reads back what it wrote and refuses every truncation
// of it (exact heap blocks: reading past one is reported by ASan).
TEST(YavWebReqQuestionPartsTest, PartsReadBackAndRefuseTruncatedInput) {
    YavWebReqSSLSessQuestion ssl;
    YavBuffer sessionID;
    sessionID.refer("\x09\x08\x07", 3);
    ssl.setID(sessionID);
    ssl.setCanRequestClientCert(true);
    ssl.getClientCert()->setIssuerDN(YavStringRef("CN=issuer"));
    ssl.getClientCert()->setSerialNumber(YavStringRef("42"));
    ssl.setClientCert();
    YavWebReqServerQuestion server;
    server.setVHostID(YavStringRef("vh"));
    server.setPort(-7);

    int written = 0;
    YavTestBytes sslBytes = yav_marshal_bytes(ssl, &written);
    ASSERT_EQ(static_cast<int>(sslBytes.size()), written);
    YavTestBytes serverBytes = yav_marshal_bytes(server, &written);
    ASSERT_EQ(static_cast<int>(serverBytes.size()), written);

    YavExactBlock sslBlock(sslBytes);
    YavWebReqSSLSessQuestion sslBack;
    ASSERT_EQ(sslBlock.size(), sslBack.unmarshal(sslBlock.data(), sslBlock.size()));
    EXPECT_EQ(ssl.getFlags(), sslBack.getFlags());
    YavBuffer idBack;
    ASSERT_EQ(0u, sslBack.getID(idBack));
    EXPECT_EQ("\x09\x08\x07", yav_test_text(idBack));
    YavStringRef text;
    ASSERT_EQ(0u, sslBack.getClientCert()->getSerialNumber(text));
    EXPECT_EQ("42", yav_test_text(text));
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, sslBack.getClientCert()->getSubjectDN(text));

    YavExactBlock serverBlock(serverBytes);
    YavWebReqServerQuestion serverBack;
    ASSERT_EQ(serverBlock.size(), serverBack.unmarshal(serverBlock.data(), serverBlock.size()));
    int port = 0;
    ASSERT_EQ(0u, serverBack.getPort(&port));
    EXPECT_EQ(-7, port);
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, serverBack.getName(text));

    for (const YavTestBytes* bytes : {&sslBytes, &serverBytes}) {
        for (size_t n = 0; n < bytes->size(); ++n) {
            SCOPED_TRACE(n);
            YavExactBlock cut(bytes->data(), n);
            YavWebReqSSLSessQuestion s;
            YavWebReqServerQuestion v;
            EXPECT_EQ(-1, bytes == &sslBytes ? s.unmarshal(cut.data(), cut.size())
                                             : v.unmarshal(cut.data(), cut.size()));
            EXPECT_EQ(0, bytes == &sslBytes ? s.getFlags() : v.getFlags());
        }
    }
}

TEST(YavWebReqQuestionPartsTest, UnknownFlagBitsAndLyingLengthsAreRefused) {
    const struct {
        const char* name;
        YavTestBytes bytes;
    } cases[] = {
        {"server flag 0x8", yav_test_ints({0x8})},
        {"ssl flag 0x10", yav_test_ints({0x10})},
        {"cert flag 0x8 inside ssl", yav_test_ints({0x2, 0x8})},
        {"ssl id length past the end", yav_test_ints({0x1, 0x7fffffff, 0})},
        {"server name length 2^32-1", yav_test_ints({0x2, -1, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        YavExactBlock block(c.bytes);
        YavWebReqSSLSessQuestion ssl;
        YavWebReqServerQuestion server;
        const bool isServer = std::string(c.name).compare(0, 6, "server") == 0;
        EXPECT_EQ(-1, isServer ? server.unmarshal(block.data(), block.size())
                               : ssl.unmarshal(block.data(), block.size()));
    }
}

TEST(YavWebReqQuestionPartsTest, TraceFormNamesThePresentValues) {
    YavWebReqServerQuestion server;
    server.setName(YavStringRef("a b"));
    server.setPort(443);
    YavString out;
    ASSERT_EQ(0u, server.createString(&out));
    EXPECT_EQ("Flags: 6 Name: a%20b Port: 443", yav_test_text(YavStringRef(out)));
}

}  // namespace
