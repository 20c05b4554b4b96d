#include "proxyif/framework/YavProxyIFLog.h"

#include <gtest/gtest.h>

#include <string>

#include "core/trace/YavTraceRegistry.h"
#include "core/trace/yav_trace_test_aids.h"

namespace {

int g_evaluated = 0;
int counted(int v) {
    ++g_evaluated;
    return v;
}

class YavProxyIFLogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Another test of this binary may have made the channel already.
        YavProxyIFLog::forget();
    }
    void TearDown() override {
        YavTrace* trace = YavProxyIFLog::peek();
        if (trace != nullptr) {
            trace->setLevel(0);
            trace->setLog(nullptr, false);
        }
    }
    YavRecordingLog m_log;
};

TEST_F(YavProxyIFLogTest, TracesNothingBeforeTheChannelExists) {
    g_evaluated = 0;
    YAV_PROXYIF_TRACE("value %d\n", counted(1));
    YAV_PROXYIF_LTRACE(0, "value %d\n", counted(2));
    EXPECT_EQ(1, YavProxyIFLog::fprintf(__FILE__, __LINE__, "direct %d", 3));
    EXPECT_EQ(1, YavProxyIFLog::lfprintf(0, __FILE__, __LINE__, "direct %d", 4));
    EXPECT_EQ(0, g_evaluated);
    EXPECT_DEATH(YavProxyIFLog::get(), "Assertion failed at .*: m_trace");
}

TEST_F(YavProxyIFLogTest, WritesAtAndBelowTheTraceLevelOnly) {
    ASSERT_EQ(0u, YavProxyIFLog::create(&m_log));
    YavTrace* trace = YavProxyIFLog::get();
    ASSERT_EQ(trace, YavTraceRegistry::instance().get("tessaro.proxy-if"));
    trace->setLog(&m_log, false);

    trace->setLevel(6);
    g_evaluated = 0;
    YAV_PROXYIF_TRACE("hidden %d\n", counted(1));
    EXPECT_EQ(1, YavProxyIFLog::fprintf("f.cpp", 3, "hidden too"));
    EXPECT_EQ(0, g_evaluated) << "a disabled level evaluates no argument";
    EXPECT_TRUE(m_log.lines.empty());

    YAV_PROXYIF_LTRACE(6, "level %d of %s", counted(6), "six");
    EXPECT_EQ(1, YavProxyIFLog::lfprintf(2, "g.cpp", 77, "low %s", "level"));
    trace->setLevel(7);
    const int line = __LINE__ + 1;
    YAV_PROXYIF_TRACE("Attach failed...%c", '!');
    ASSERT_EQ(3u, m_log.lines.size());
    EXPECT_NE(std::string::npos, m_log.lines[0].text.find("level 6 of six"));
    EXPECT_EQ(yav_log_trace_0 + 6, m_log.lines[0].severity);
    EXPECT_EQ("g.cpp", m_log.lines[1].file);
    EXPECT_EQ(77, m_log.lines[1].line);
    EXPECT_NE(std::string::npos, m_log.lines[1].text.find("low level"));
    EXPECT_EQ(__FILE__, m_log.lines[2].file);
    EXPECT_EQ(line, m_log.lines[2].line);
    EXPECT_NE(std::string::npos, m_log.lines[2].text.find("Attach failed...!"));
    EXPECT_EQ("tessaro.proxy-if", m_log.lines[2].component);
}

TEST_F(YavProxyIFLogTest, CreatingAgainKeepsTheChannel) {
    ASSERT_EQ(0u, YavProxyIFLog::create(nullptr));
    YavTrace* first = YavProxyIFLog::get();
    ASSERT_EQ(0u, YavProxyIFLog::create(&m_log));
    EXPECT_EQ(first, YavProxyIFLog::get());
}

}  // namespace
