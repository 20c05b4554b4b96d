#include "msg/plugin/YavWebRspQuestion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "msg/plugin/yav_webq_test_aids.h"
#include "plugin/core/yav_view_test_aids.h"

namespace {

std::vector<YavTestBytes> layout(const std::string& http, const std::string& vhost,
                                 const std::string& session, int secure) {
    YavTestBytes a, b, c, d;
    yav_test_put_buffer(&a, http);
    yav_test_put_string(&b, vhost);
    yav_test_put_string(&c, session);
    yav_test_put_int(&d, secure);
    return {a, b, c, d};
}

TEST(YavWebRspQuestionTest, WritesFourElementsAlsoWhenEmptyAndReadsThemBack) {
    const struct {
        std::string http, vhost, session;
        int secure;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\n\r\nbody", "vhost-1", "sess", 1},
        {"", "", "", 0},
        {"abcde", "abcd", "abc", -5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.http);
        YavWebRspQuestion q;
        EXPECT_EQ(yav_msg_web_rsp_question, q.getType());
        YavBuffer http;
        http.refer(c.http.data(), static_cast<int>(c.http.size()));
        q.setHTTPBuffer(http);
        q.setVHostID(YavStringRef(c.vhost.c_str()));
        q.setSessionID(YavStringRef(c.session.c_str()));
        q.setIsSecure(c.secure);

        std::vector<YavTestBytes> expected = layout(c.http, c.vhost, c.session, c.secure);
        YavTestRegion region(yav_test_chain_size(expected));
        ASSERT_EQ(0u, q.marshal(region.allocator));
        EXPECT_EQ(expected, region.elements());

        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(&region.allocator));
        YavWebRspQuestion back;
        ASSERT_EQ(0u, back.unmarshal(it, nullptr));
        YavBuffer httpBack;
        back.getHTTPBuffer(&httpBack);
        EXPECT_EQ(c.http, yav_test_text(httpBack));
        YavStringRef text;
        back.getVHostID(&text);
        EXPECT_EQ(c.vhost, yav_test_text(text));
        back.getSessionID(&text);
        EXPECT_EQ(c.session, yav_test_text(text));
        int secure = 0;
        back.isSecure(&secure);
        EXPECT_EQ(c.secure, secure);
    }
}

TEST(YavWebRspQuestionTest, RegionTooSmallFailsAtTheFirstElementThatDoesNotFit) {
    std::vector<YavTestBytes> expected = layout("xyz", "v", "s", 1);
    const unsigned full = yav_test_chain_size(expected);
    for (unsigned size = 0; size < full; ++size) {
        SCOPED_TRACE(size);
        YavWebRspQuestion q;
        YavBuffer http;
        http.refer("xyz", 3);
        q.setHTTPBuffer(http);
        q.setVHostID(YavStringRef("v"));
        q.setSessionID(YavStringRef("s"));
        YavTestRegion region(size);
        if (region.initStatus != 0) continue;
        EXPECT_EQ(YAV_S_NO_MEMORY, q.marshal(region.allocator));
        EXPECT_LT(region.elements().size(), 4u);
    }
}

TEST(YavWebRspQuestionTest, RefusesMissingShortAndOverlongElements) {
    const std::vector<YavTestBytes> good = layout("ab", "v", "s", 1);
    auto with = [&](size_t index, const YavTestBytes& element) {
        std::vector<YavTestBytes> e = good;
        e[index] = element;
        return e;
    };
    const YavTestBytes lying = yav_test_ints({9, 0});  // buffer length 9 in a 8-byte element
    YavTestBytes padded = good[3];                     // the integer with 4 bytes too many
    yav_test_put_int(&padded, 0);
    const struct {
        const char* name;
        std::vector<YavTestBytes> elements;
        yav_status_t expected;
    } cases[] = {
        {"three elements", {good[0], good[1], good[2]}, YAV_S_IPC_NO_MORE_SEGMENTS},
        {"no elements", {}, YAV_S_IPC_NO_MORE_SEGMENTS},
        {"lying buffer length", with(0, lying), YAV_S_UNMARSHAL_FAILED},
        {"empty string element", with(1, YavTestBytes()), YAV_S_UNMARSHAL_FAILED},
        {"integer with trailing bytes", with(3, padded), YAV_S_UNMARSHAL_FAILED},
        {"short integer", with(3, YavTestBytes{1, 0}), YAV_S_UNMARSHAL_FAILED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        YavTestChain chain(c.elements);
        ASSERT_EQ(0u, chain.status);
        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(&chain.region.allocator));
        YavWebRspQuestion q;
        EXPECT_EQ(c.expected, q.unmarshal(it, nullptr));
    }
}

}  // namespace
