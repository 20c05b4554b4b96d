#include "server/yav_server_main_support.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

namespace {

TEST(ServerMainSupportTest, ParsesWholeNumbersInRangeOnly) {
    const struct {
        const char* text;
        long min;
        long max;
        bool ok;
        long value;
    } cases[] = {
        {"4", 1, 1024, true, 4},
        {"1024", 1, 1024, true, 1024},
        {"1", 1, 1024, true, 1},
        {"0x10", 0, 100, true, 16},
        {"010", 0, 100, true, 8},
        {"-5", -10, 10, true, -5},
        {"0", 1, 1024, false, 0},
        {"1025", 1, 1024, false, 0},
        {"", 0, 100, false, 0},
        {"12abc", 0, 100, false, 0},
        {"4 ", 0, 100, false, 0},
        {"abc", 0, 100, false, 0},
        {"99999999999999999999999", 0, LONG_MAX, false, 0},
    };
    for (const auto& c : cases) {
        long value = -777;
        EXPECT_EQ(c.ok, yav_parse_long(c.text, c.min, c.max, &value)) << c.text;
        EXPECT_EQ(c.ok ? c.value : -777, value) << c.text;
    }
    long value = -777;
    EXPECT_FALSE(yav_parse_long(nullptr, 0, 10, &value));
    EXPECT_EQ(-777, value);
}

TEST(ServerMainSupportTest, ParsesResetModes) {
    yav_reset_mode_e mode = yav_reset_free_cleaned;
    ASSERT_TRUE(yav_parse_reset_mode("cleaned", &mode));
    EXPECT_EQ(yav_reset_cleaned, mode);
    ASSERT_TRUE(yav_parse_reset_mode("free", &mode));
    EXPECT_EQ(yav_reset_free_cleaned, mode);
    for (const char* bad : {"", "Free", "cleaned ", "freed", "clean"}) {
        EXPECT_FALSE(yav_parse_reset_mode(bad, &mode)) << bad;
        EXPECT_EQ(yav_reset_free_cleaned, mode) << bad;
    }
    EXPECT_FALSE(yav_parse_reset_mode(nullptr, &mode));
}

TEST(ServerMainSupportTest, TakesTheTestControlOptionsOnly) {
    YavServerTestControls c;
    EXPECT_EQ(1, yav_parse_test_control("--delay-ms", "250", &c));
    EXPECT_EQ(1, yav_parse_test_control("--malformed", "loop", &c));
    EXPECT_EQ(1, yav_parse_test_control("--reset-next", "free", &c));
    EXPECT_EQ(1, yav_parse_test_control("--error", "0x35f02201", &c));
    EXPECT_EQ(250, c.delayMs);
    EXPECT_EQ(yav_malformed_loop, c.malformed);
    EXPECT_TRUE(c.resetNext);
    EXPECT_EQ(yav_reset_free_cleaned, c.resetMode);
    EXPECT_TRUE(c.error);
    EXPECT_EQ(0x35f02201u, c.errorCode);

    // Bad values and other options leave the controls as they were.
    YavServerTestControls d;
    const struct {
        const char* opt;
        const char* value;
        int result;
    } cases[] = {
        {"--delay-ms", "-1", -1},      {"--delay-ms", nullptr, -1},
        {"--malformed", "knot", -1},   {"--malformed", nullptr, -1},
        {"--reset-next", "clean", -1}, {"--error", "0x100000000", -1},
        {"--error", "x", -1},          {"--key", "/k", 0},
        {"--delay", "5", 0},
    };
    for (const auto& t : cases) {
        EXPECT_EQ(t.result, yav_parse_test_control(t.opt, t.value, &d)) << t.opt;
    }
    EXPECT_EQ(0, d.delayMs);
    EXPECT_EQ(yav_malformed_none, d.malformed);
    EXPECT_FALSE(d.resetNext);
    EXPECT_FALSE(d.error);
}

TEST(ServerMainSupportTest, BlocksTheGivenSignals) {
    sigset_t before;
    ASSERT_EQ(0, pthread_sigmask(SIG_BLOCK, nullptr, &before));
    sigset_t set;
    yav_block_signals({SIGUSR1, SIGUSR2}, &set);
    sigset_t now;
    ASSERT_EQ(0, pthread_sigmask(SIG_BLOCK, nullptr, &now));
    EXPECT_EQ(1, sigismember(&set, SIGUSR1));
    EXPECT_EQ(1, sigismember(&set, SIGUSR2));
    EXPECT_EQ(0, sigismember(&set, SIGTERM));
    EXPECT_EQ(1, sigismember(&now, SIGUSR1));
    EXPECT_EQ(1, sigismember(&now, SIGUSR2));
    ASSERT_EQ(0, pthread_sigmask(SIG_SETMASK, &before, nullptr));
}

class ServerRestartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_key.ok()) << m_key.error();
        ASSERT_EQ(0u, m_server.start(m_key.path(), 1, 256, &m_echo));
        m_controlFile = std::string(m_key.path()) + ".restart";
    }
    void TearDown() override { m_server.stop(); }
    void touchControlFile() {
        FILE* f = fopen(m_controlFile.c_str(), "w");
        ASSERT_NE(nullptr, f);
        fclose(f);
    }
    bool controlFileExists() const { return access(m_controlFile.c_str(), F_OK) == 0; }

    YavIpcTestKey m_key{"yavmainsupport"};
    YavEchoHandler m_echo{3};
    YavWorkerServer m_server;
    std::string m_controlFile;
};

TEST_F(ServerRestartTest, RestartsOnlyWhenAskedOrTheControlFileExists) {
    unsigned restarts = 0;
    EXPECT_EQ(0u, yav_restart_when_asked(&m_server, false, m_controlFile.c_str(), "t", &restarts));
    EXPECT_EQ(0u, restarts);
    EXPECT_EQ(0u, yav_restart_when_asked(&m_server, false, nullptr, "t", &restarts));
    EXPECT_EQ(0u, restarts);

    EXPECT_EQ(0u, yav_restart_when_asked(&m_server, true, nullptr, "t", &restarts));
    EXPECT_EQ(1u, restarts);

    touchControlFile();
    EXPECT_EQ(0u, yav_restart_when_asked(&m_server, false, m_controlFile.c_str(), "t", &restarts));
    EXPECT_EQ(2u, restarts);
    EXPECT_FALSE(controlFileExists());

    // Once removed, the file no longer asks.
    EXPECT_EQ(0u, yav_restart_when_asked(&m_server, false, m_controlFile.c_str(), "t", &restarts));
    EXPECT_EQ(2u, restarts);
}

}  // namespace
