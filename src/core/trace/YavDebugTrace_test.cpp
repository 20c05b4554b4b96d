#include "core/trace/YavDebugTrace.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/trace/YavDebugRoutineTrace.h"
#include "core/trace/yav_trace_test_aids.h"

namespace {

using Texts = std::vector<std::string>;

TEST(YavDebugTraceTest, CollectsPiecesIntoOneLineAtTheEndOfTheScope) {
    YavRecordingLog log;
    YavTrace trace(4, "c", &log);
    {
        YavDebugTrace t(&trace, 4, "d.cpp", 12);
        t.append("header %s", "Host");
        for (int i = 1; i <= 3; ++i) t.append(" %d", i);
        EXPECT_TRUE(log.lines.empty());  // nothing before the scope ends
    }
    ASSERT_EQ(1u, log.lines.size());
    EXPECT_EQ(yav_log_trace_0 + 4, log.lines[0].severity);
    EXPECT_EQ(12, log.lines[0].line);
    EXPECT_EQ(Texts{"[] header Host 1 2 3"}, log.texts());
    {
        YavDebugTrace disabled(&trace, 5, "d.cpp", 13);
        EXPECT_FALSE(disabled.isEnabled());
        disabled.append("x");
        YavDebugTrace empty(&trace, 1, "d.cpp", 14);  // no text: no line
        YavDebugTrace none(nullptr, 0, "d.cpp", 15);
        none.append("x");
        YavDebugTrace t(&trace, 2, "d.cpp", 16);
        t.append("%s", std::string(2000, 'L').c_str());  // beyond the stack buffer
        t.flush();                                       // written now, collecting starts afresh
        t.append("after");
    }
    EXPECT_EQ((Texts{"[] " + std::string(2000, 'L'), "[] after"}), log.texts());
}

void inner(YavTrace* trace, bool withResult) {
    YavDebugRoutineTrace r(trace, 3, "inner", "r.cpp", 30, "(n=2)");
    EXPECT_EQ(2, YavDebugRoutineTrace::getNestingLevel());
    if (withResult) r.setResult("0x%8.8x", 0x35u);
}

void outer(YavTrace* trace, bool withResult) {
    YavDebugRoutineTrace r(trace, 3, "outer", "r.cpp", 20);
    EXPECT_EQ(1, YavDebugRoutineTrace::getNestingLevel());
    inner(trace, withResult);
}

TEST(YavDebugRoutineTraceTest, EntryAndExitLinesAreIndentedByNesting) {
    YavRecordingLog log;
    YavTrace trace(3, "c", &log);
    outer(&trace, true);
    EXPECT_EQ(0, YavDebugRoutineTrace::getNestingLevel());
    for (const YavLoggedLine& line : log.lines) EXPECT_EQ(yav_log_trace_0 + 3, line.severity);
    EXPECT_EQ((Texts{"[] API ENTRY: outer", "[] API ENTRY:   inner (n=2)",
                     "[] API EXIT:    inner: 0x00000035", "[] API EXIT:  outer"}),
              log.texts());

    // A disabled routine writes nothing but still counts for the nesting,
    // also on another thread, which starts at level 0.
    trace.setLevel(2);
    {
        YavDebugRoutineTrace quiet(&trace, 3, "quiet", "r.cpp", 1);
        trace.setLevel(3);
        inner(&trace, false);
        std::thread other([&trace] { outer(&trace, false); });
        other.join();
        trace.setLevel(2);
    }
    EXPECT_EQ(
        (Texts{"[] API ENTRY:   inner (n=2)", "[] API EXIT:    inner", "[] API ENTRY: outer",
               "[] API ENTRY:   inner (n=2)", "[] API EXIT:    inner", "[] API EXIT:  outer"}),
        log.texts());

    // Deep recursion stops indenting at the deepest level.
    trace.setLevel(3);
    std::vector<YavDebugRoutineTrace*> stack;
    for (int i = 0; i < YavDebugRoutineTrace::kMaxIndentLevels + 5; ++i) {
        stack.push_back(new YavDebugRoutineTrace(&trace, 3, "r", "r.cpp", i));
    }
    for (; !stack.empty(); stack.pop_back()) delete stack.back();
    Texts texts = log.texts();
    std::string deepest(2 * YavDebugRoutineTrace::kMaxIndentLevels, ' ');
    EXPECT_EQ("[] API ENTRY: " + deepest + "r", texts[YavDebugRoutineTrace::kMaxIndentLevels + 4]);
    EXPECT_EQ("[] API EXIT:  " + deepest + "r", texts[YavDebugRoutineTrace::kMaxIndentLevels + 5]);
    EXPECT_EQ(0, YavDebugRoutineTrace::getNestingLevel());
}

}  // namespace
