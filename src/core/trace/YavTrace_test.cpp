#include "core/trace/YavTrace.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/trace/yav_trace_test_aids.h"

namespace {

using Texts = std::vector<std::string>;

// Each test starts and ends with no thread details on the main thread.
class YavTraceTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(0, YavTrace::initOnce());
        TearDown();
    }
    void TearDown() override {
        YavTrace::setThreadIP(nullptr);
        YavTrace::setThreadVH(nullptr);
    }
};

TEST_F(YavTraceTest, WritesLevelsUpToItsOwnAsTraceSeverities) {
    YavRecordingLog log;
    YavTrace trace(3, "tessaro.test", &log);
    for (int level = 0; level <= 4; ++level) trace.trace(level, "t.cpp", 10 + level, "x", -1);
    ASSERT_EQ(4u, log.lines.size());
    for (int level = 0; level < 4; ++level) {
        const YavLoggedLine& line = log.lines[level];
        EXPECT_EQ("TRACE " + std::to_string(level), YavLog::getSeverityName(line.severity));
        EXPECT_EQ(10 + level, line.line);
        EXPECT_EQ("t.cpp", line.file);
        EXPECT_EQ("tessaro.test", line.component);
    }
    log.texts();
    trace.setLevel(4);
    trace.trace(4, "t.cpp", 1, YavStringRef("four"));
    trace.setLevel(0);
    trace.trace(1, "t.cpp", 1, YavStringRef("one"));
    trace.trace(0, "t.cpp", 1, YavStringRef("zero"));
    EXPECT_EQ((Texts{"[] four", "[] zero"}), log.texts());
}

TEST_F(YavTraceTest, LinesCarryTheThreadsVirtualHostAndClientAddress) {
    struct Case {
        const char *vh, *ip, *expected;
    };
    const std::vector<Case> cases = {
        {"www", "10.0.0.1", "[www] [10.0.0.1] x"},
        {nullptr, nullptr, "[] x"},
        {nullptr, "10.0.0.1", "[10.0.0.1] x"},
        {"www", nullptr, "[www] [] x"},
        {"", "", "[] x"},                              // an empty detail is no detail
        {"a-much-longer-name.example.com", "fe80::1",  // the stored copies grow
         "[a-much-longer-name.example.com] [fe80::1] x"},
    };
    YavRecordingLog log;
    YavTrace trace(9, "c", &log);
    for (const Case& c : cases) {
        ASSERT_EQ(0, YavTrace::setThreadVH(c.vh));
        ASSERT_EQ(0, YavTrace::setThreadIP(c.ip));
        trace.trace(1, "f", 1, YavStringRef("x"));
        EXPECT_EQ(Texts{c.expected}, log.texts());
        EXPECT_EQ(c.vh != nullptr && *c.vh != '\0', YavTrace::getThreadVH() != nullptr);
    }
    char buffer[] = "host-a";  // the details are copies
    ASSERT_EQ(0, YavTrace::setThreadVH(buffer));
    buffer[5] = 'b';
    EXPECT_STREQ("host-a", YavTrace::getThreadVH());
}

TEST_F(YavTraceTest, ThreadDetailsBelongToTheirThread) {
    YavRecordingLog log;
    YavTrace trace(5, "c", &log);
    ASSERT_EQ(0, YavTrace::setThreadVH("main-host"));
    const int kThreads = 6;
    std::vector<std::thread> threads;
    std::vector<int> startedBare(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&trace, &startedBare, t] {
            startedBare[t] = YavTrace::getThreadDetails() == nullptr;
            std::string vh = "vh" + std::to_string(t), ip = "10.0.0." + std::to_string(t);
            for (int i = 0; i < 50; ++i) {
                YavTrace::setThreadVH(vh.c_str());
                YavTrace::setThreadIP(ip.c_str());
                trace.trace(1, "f", t, YavStringRef("x"));
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_STREQ("main-host", YavTrace::getThreadVH());
    EXPECT_EQ(std::vector<int>(kThreads, 1), startedBare);
    ASSERT_EQ(static_cast<size_t>(kThreads * 50), log.lines.size());
    for (const YavLoggedLine& l : log.lines) {
        std::string t = std::to_string(l.line);
        EXPECT_EQ("[vh" + t + "] [10.0.0." + t + "] x", l.text);
    }
}

TEST_F(YavTraceTest, FormatsAndBoundsTexts) {
    YavRecordingLog log;
    YavTrace trace(2, "c", &log);
    YavTrace::setThreadVH("h");
    std::string longText(5000, 'q');  // beyond the stack buffers
    trace.ftrace(2, "f", 1, "%s-%d-%5.2f", "a", 7, 1.5);
    trace.ftrace(1, "f", 2, "%s", longText.c_str());
    trace.trace(1, "f", 3, longText.c_str(), static_cast<int>(longText.size()));
    trace.trace(1, "f", 4, "abcdef", 3);  // bytes after the length are not read
    trace.trace(1, "f", 5, nullptr, 10);
    trace.ftrace(3, "f", 6, "%s", "disabled");
    EXPECT_EQ((Texts{"[h] [] a-7- 1.50", "[h] [] " + longText, "[h] [] " + longText, "[h] [] abc",
                     "[h] [] "}),
              log.texts());

    int evaluated = 0;  // the macro evaluates nothing for a disabled level
    YAV_TRACE(&trace, 3, "%d", ++evaluated);
    YavTrace* none = nullptr;
    YAV_TRACE(none, 0, "%d", ++evaluated);
    YAV_TRACE(&trace, 2, "n=%d", ++evaluated);
    EXPECT_EQ(1, evaluated);
    ASSERT_EQ(1u, log.lines.size());
    EXPECT_NE(std::string::npos, log.lines[0].file.find("YavTrace_test.cpp"));
    EXPECT_EQ(Texts{"[h] [] n=1"}, log.texts());
}

TEST_F(YavTraceTest, OwnedLogsAreDeletedWithTheTraceOrWhenReplaced) {
    int destroyed = 0;
    {
        YavTrace trace(1, "c", nullptr);
        trace.trace(0, "f", 1, "no log: nothing happens", -1);
        YavRecordingLog* first = new YavRecordingLog(&destroyed);
        trace.setLog(first, true);
        trace.setLog(first, true);  // the same log again is kept
        EXPECT_EQ(0, destroyed);
        YavRecordingLog borrowed(&destroyed);
        trace.setLog(&borrowed, false);  // the owned one goes
        EXPECT_EQ(1, destroyed);
        trace.trace(0, "f", 1, "to borrowed", -1);
        EXPECT_EQ(1u, borrowed.lines.size());
        trace.setLog(new YavRecordingLog(&destroyed), true);  // the borrowed one stays
        EXPECT_EQ(1, destroyed);
    }
    EXPECT_EQ(3, destroyed);  // the borrowed log by its scope, the owned one by the trace
}

}  // namespace
