#include "server/YavConfigAnswerWriter.h"

#include <gtest/gtest.h>

#include "core/msg/yav_status.h"
#include "msg/plugin/YavConfigAnswerContext.h"
#include "msg/plugin/YavConfigAnswerFactory.h"
#include "msg/plugin/YavConfigAnswerUnmarshaller.h"
#include "msg/plugin/YavConfigQuestion.h"
#include "msg/plugin/yav_config_test_aids.h"
#include "proxyif/framework/YavErrorMessage.h"
#include "proxyif/framework/YavProxyIFDispatcher.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

namespace {

const YavConfigNameInt kPostURIs[] = {{"GET:/a", 10}, {"POST:/long/path", 0xFFFFFFFFu}};
const YavConfigNameInt kFlags[] = {{"f", 5}};
const YavConfigMethodPerms kMethods[] = {{"POST", "rm"}, {"PUT", "[a]b"}};
const YavConfigVHost kHosts[] = {{"www", "/web", 12, "r", kMethods, 2},
                                 {"intra", "", 9, "[g]T", nullptr, 0}};

YavConfigAnswerData sampleData(bool cacheEnabled = true) {
    YavConfigAnswerData d;
    d.postURIs = kPostURIs;
    d.numPostURIs = 2;
    d.configFlags = kFlags;
    d.numConfigFlags = 1;
    d.cacheEnabled = cacheEnabled;
    d.cachePollInterval = 300;
    d.vhosts = kHosts;
    d.numVHosts = 2;
    return d;
}

YavCfgBytes ints(int a, int b) { return yav_cfg_cat({yav_cfg_int(a), yav_cfg_int(b)}); }
YavCfgBytes pair(const char* name, const char* value) {
    return yav_cfg_cat({yav_cfg_str(name), yav_cfg_str(value)});
}

TEST(YavConfigAnswerWriterTest, EveryAnswerFormHasItsExactBytes) {
    const struct {
        int requestType;
        YavConfigAnswerData data;
        YavCfgElements expected;
    } cases[] = {
        {0,
         sampleData(),
         {yav_cfg_int(2), yav_cfg_cat({yav_cfg_int(0), yav_cfg_str("GET:/a"), yav_cfg_int(10)}),
          yav_cfg_cat({yav_cfg_int(0), yav_cfg_str("POST:/long/path"), yav_cfg_int(-1)})}},
        {1,
         sampleData(),
         {yav_cfg_int(1), yav_cfg_cat({yav_cfg_int(1), yav_cfg_str("f"), yav_cfg_int(5)})}},
        {2, sampleData(), {yav_cfg_int(1), ints(2, 1), yav_cfg_int(300)}},
        {2, sampleData(false), {yav_cfg_int(1), ints(2, 0)}},
        {3,
         sampleData(),
         {yav_cfg_int(1), ints(3, 2), yav_cfg_str("www"), yav_cfg_str("/web"), yav_cfg_int(12),
          yav_cfg_int(3), pair("<default>", "r"), pair("POST", "rm"), pair("PUT", "[a]b"),
          yav_cfg_str("intra"), yav_cfg_str(""), yav_cfg_int(9), yav_cfg_int(1),
          pair("<default>", "[g]T")}},
    };
    for (const auto& c : cases) {
        for (unsigned start : {0u, 24u}) {
            SCOPED_TRACE(std::to_string(c.requestType) + " at " + std::to_string(start));
            YavHeapSharedMem segment(1024);
            YavSharedMemAllocator a;
            ASSERT_EQ(0u, a.initialize(segment, start, 1024 - start));
            ASSERT_EQ(0u, YavConfigAnswerWriter(a).writeAnswer(c.requestType, c.data));
            EXPECT_EQ(yav_cfg_chain(c.expected, start),
                      YavCfgBytes(segment.bytes() + start, segment.bytes() + a.getCurrent()));
        }
    }
}

TEST(YavConfigAnswerWriterTest, RefusesBadRequestsAndFullRegions) {
    YavHeapSharedMem segment(64);
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(segment, 0, 64));
    YavConfigAnswerWriter writer(a);
    YavConfigAnswerData negative = sampleData();
    negative.numVHosts = -1;
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, writer.writeAnswer(4, sampleData()));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, writer.writeAnswer(3, negative));
    EXPECT_EQ(YAV_S_NO_MEMORY, writer.writeAnswer(3, sampleData()));
    // A question is exactly one element of 4 bytes.
    for (const YavCfgElements& bad : {YavCfgElements{}, YavCfgElements{ints(1, 1)},
                                      YavCfgElements{yav_cfg_int(1), yav_cfg_int(1)}}) {
        YavCfgBytes bytes = yav_cfg_chain(bad);
        std::copy(bytes.begin(), bytes.end(), segment.bytes());
        YavSharedMemIterator it;
        ASSERT_EQ(0u, it.initialize(segment, 0, static_cast<unsigned>(bytes.size())));
        int requestType = -1;
        EXPECT_EQ(YAV_S_UNMARSHAL_FAILED, YavConfigAnswerWriter::readQuestion(it, &requestType));
        EXPECT_EQ(-1, requestType);
    }
}

// The whole road: dispatcher, worker server with the configuration
// handler, the registered factory and the reader filling the tables.
TEST(YavConfigAnswerRoadTest, QuestionsThroughTheDispatcherFillTheConfiguration) {
    YavIpcTestKey key;
    ASSERT_TRUE(key.ok()) << key.error();
    ASSERT_EQ(0u, YavConfigAnswerUnmarshaller::m_allocator.acquire());
    YavPostURITable post;
    YavConfigFlagTable flags;
    YavPluginVirtualHostList hosts;
    YavConfigAnswerContext ctx;
    ctx.postURIs = &post;
    ctx.postURITableSize = YavConfigAnswerContext::kDefaultTableSize;
    ctx.configFlags = &flags;
    ctx.configFlagTableSize = YavConfigAnswerContext::kDefaultTableSize;
    ctx.vhosts = &hosts;
    const YavConfigAnswerData data = sampleData();
    YavConfigAnswerHandler handler(&data);
    YavWorkerServer server;
    ASSERT_EQ(0u, server.start(key.path(), 2, 1024, &handler));
    YavProxyIFDispatcher dispatcher;
    ASSERT_EQ(0u, dispatcher.initialize(nullptr, key.path()));
    ASSERT_EQ(0u, dispatcher.registerProxyMsgFactory(new YavConfigAnswerFactory()));

    // Types 0-3 are answered with configuration, 9 with an error message.
    for (int type : {0, 1, 2, 3, 9}) {
        YavConfigQuestion question(static_cast<YavConfigQuestion::yav_config_req_msg_type_e>(type));
        YavProxyIFMessage* answer = nullptr;
        bool retry = true;
        ASSERT_EQ(0u, dispatcher.dispatch(question, &answer, &ctx, &retry));
        EXPECT_FALSE(retry);
        ASSERT_NE(nullptr, answer);
        if (type == 9) {
            ASSERT_EQ(yav_msg_error, answer->getType());
            EXPECT_EQ(YAV_S_INVALID_PARAMETER, static_cast<YavErrorMessage*>(answer)->getCode());
        } else {
            EXPECT_EQ(yav_msg_config_answer, answer->getType());
        }
        answer->deleteMe();
    }
    EXPECT_EQ((std::map<std::string, int>{{"GET:/a", 10}, {"POST:/long/path", -1}}),
              yav_cfg_contents(post));
    EXPECT_EQ((std::map<std::string, unsigned>{{"f", 5}}), yav_cfg_contents(flags));
    EXPECT_TRUE(ctx.cacheEnabled);
    EXPECT_EQ(300, ctx.cachePollInterval);
    EXPECT_EQ((std::vector<std::string>{"www /web 12 [primary]r [primary]r [primary]rm [a]b",
                                        "intra  9 [g]T [g]T [g]T [g]T"}),
              yav_cfg_hosts(hosts));
    EXPECT_EQ(0u, dispatcher.shutdown());
    EXPECT_EQ(0u, server.stop());
    YavConfigAnswerUnmarshaller::m_allocator.release();
}

}  // namespace
