#include "plugin/core/YavResponse.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/msg/yav_status.h"
#include "plugin/core/yav_view_test_aids.h"

TEST(YavResponseTest, SetKeepAliveSetsTheConnectionHeaderAndThenTheFlag) {
    YavRecordingResponse response;
    response.presets.set("setHeader", YAV_S_NOT_SUPPORTED);
    EXPECT_EQ(YAV_S_NOT_SUPPORTED, response.setKeepAlive());
    EXPECT_FALSE(response.isKeepAliveSet());
    response.presets.erase("setHeader");
    EXPECT_EQ(0u, response.setKeepAlive());
    EXPECT_TRUE(response.isKeepAliveSet());
    EXPECT_EQ(2, response.callLog().count("rsp.setHeader(Connection,Keep-Alive)"));
    ASSERT_NE(nullptr, response.headers.find("connection"));
    EXPECT_EQ("Keep-Alive", *response.headers.find("connection"));
}

TEST(YavResponseTest, OperationsWithADefaultReportItWhenNotOverridden) {
    YavRecordingResponse response;
    YavNCPStringRef ncp;
    YavBuffer buffer;
    int number = 0;
    YavStringRef text("t");
    const std::pair<const char*, std::function<yav_status_t()>> cases[] = {
        {"finalizeHeader", [&] { return response.finalizeHeader(); }},
        {"finalizeBody", [&] { return response.finalizeBody(); }},
        {"getCookie",
         [&] { return response.getCookie(text, &ncp, &ncp, &ncp, &ncp, &ncp, &number, &number); }},
        {"getBody", [&] { return response.getBody(&buffer); }},
        {"getHTTPBuffer", [&] { return response.getHTTPBuffer(&buffer); }},
        {"getCode", [&] { return response.getCode(&number); }},
        {"getContentType", [&] { return response.getContentType(&ncp); }},
        {"setCaptureRsp", [&] { return response.setCaptureRsp(text, text, text, 1); }},
    };
    for (const auto& c : cases) EXPECT_EQ(YAV_S_NOT_SUPPORTED, c.second()) << c.first;
    EXPECT_EQ(YAV_S_NOT_AVAILABLE, response.getSubCode(&number));
    EXPECT_EQ(0u, response.setSubCode(7));
    EXPECT_EQ(0u, response.beginNew());
    EXPECT_EQ(0u, response.setBodyToDefault());
}
