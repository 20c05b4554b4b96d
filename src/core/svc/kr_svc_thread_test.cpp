// Message save (per thread), many threads logging to one file, and fork.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/svc/kr_svc_test_aids.h"

namespace {

using svc_test::count;
using svc_test::readFile;
using svc_test::SvcTest;

void logError(uint32_t code) { YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "", code); }

TEST_F(SvcTest, MessageSaveCollectsTheCallingThreadsTexts) {
    route("*:DISCARD:");
    kr_svc_debug_routing("pic::DISCARD:", nullptr);
    logError(YAV_S_NOT_SUPPORTED);  // before start: not saved
    EXPECT_EQ("", svc_test::savedMessages());
    kr_svc_msgsave_start();
    logError(YAV_S_NO_MEMORY);
    YAV_SVC_LOG(yav_svc_common, svc_c_sev_warning, "%s%d", YAV_S_SYS_ROUTINE_ERROR_CODE, "stat", 5);
    YAV_SVC_DEBUG(yav_svc_common, 0, "debug records are not saved");
    std::thread([] {
        logError(YAV_S_ACCESS_DENIED);  // another thread's message
        kr_svc_msgsave_start();         // and its own block, freed when it ends
        logError(YAV_S_ACCESS_DENIED);
    }).join();
    kr_svc_msgsave_stop();
    logError(YAV_S_NOT_AVAILABLE);  // after stop: not saved
    const std::string expected =
        "QRXIC0012E   Memory could not be allocated.\n"
        "QRXIC0056E   The stat system routine failed: system error code: 5.\n";
    EXPECT_EQ(expected, svc_test::savedMessages());
    EXPECT_EQ(expected, svc_test::savedMessages());  // printing keeps them
    kr_svc_msgsave_clear();
    EXPECT_EQ("", svc_test::savedMessages());
    kr_svc_msgsave_start();
    logError(YAV_S_NOT_AVAILABLE);
    kr_svc_msgsave_stop();
    EXPECT_EQ("QRXIC0002E   The requested data is not available.\n", svc_test::savedMessages());
    kr_svc_msgsave_clear();
}

TEST_F(SvcTest, LinesOfManyThreadsNeverInterleave) {
    std::string file = path("threads.log");
    route("*:TEXTFILE:" + file);
    const int kThreads = 8;
    const int kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            std::string tag = "thread-" + std::to_string(t) + std::string(100 + t * 37, 'x');
            for (int i = 0; i < kEach; ++i) {
                YAV_SVC_LOG(yav_svc_thread, svc_c_sev_warning, "%s%s%d", YAV_S_SYS_ROUTINE_ERROR,
                            tag.c_str(), "text", i);
            }
        });
    }
    for (std::thread& t : threads) t.join();

    // Every record is its header line followed by its own text line.
    std::vector<std::string> lines = svc_test::lines(readFile(file));
    ASSERT_EQ(2u * kThreads * kEach, lines.size());
    std::regex header(R"(^\S+ 0x35F02037 \S+ WARNING pic Thread \S+ \d+ 0x[0-9a-f]{8,}$)");
    std::regex text(R"(^QRXIC0055E   The thread-(\d)(x+) system routine failed: system error: )"
                    R"(text \(system error code: (\d+)\)\.$)");
    std::vector<int> next(kThreads, 0);  // each thread's records arrive in order
    for (size_t i = 0; i < lines.size(); i += 2) {
        ASSERT_TRUE(std::regex_match(lines[i], header)) << i << ": " << lines[i];
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i + 1], m, text)) << i + 1 << ": " << lines[i + 1];
        int t = std::stoi(m[1]);
        EXPECT_EQ(next[t]++, std::stoi(m[3]));
        EXPECT_EQ(100u + t * 37, m[2].length());
    }
}

TEST_F(SvcTest, ForkWhileAnotherThreadLogsLeavesTheChildAbleToLog) {
    std::string file = path("fork.log");
    route("*:TEXTFILE:" + file);
    kr_svc_debug_routing(("pic::TEXTFILE:" + file).c_str(), nullptr);
    std::atomic<bool> stop{false};
    std::thread logger([&stop] {
        while (!stop.load()) logError(YAV_S_NOT_SUPPORTED);
    });
    std::vector<pid_t> children;
    for (int i = 0; i < 20; ++i) {
        pid_t pid = fork();
        if (pid == 0) {
            alarm(10);  // a child stuck on the layer's mutex dies instead of hanging
            // A debug record needs the layer's own mutex only (message texts
            // need the message layer's too).
            kr_svc_set_progname(("child" + std::to_string(i)).c_str());
            YAV_SVC_DEBUG(yav_svc_common, 0, "from the child");
            _exit(0);
        }
        ASSERT_GT(pid, 0);
        children.push_back(pid);
    }
    stop.store(true);
    logger.join();
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::string written = readFile(file);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(1u, count(written, " child" + std::to_string(i) + " DEBUG0 pic Common ")) << i;
    }
}

}  // namespace
