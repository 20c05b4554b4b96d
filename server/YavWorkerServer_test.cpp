#include "server/YavWorkerServer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/YavClntWorkerBuffer.h"
#include "proxyif/ipc/YavClntWorkerPool.h"
#include "proxyif/ipc/YavSharedMem.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "proxyif/ipc/yav_pool_test_aids.h"
#include "server/yav_test_server_process.h"

namespace {

const char kProjIds[] = {'w', 'p', 'q', 'x'};

bool allKeysFree(const YavIpcTestKey& key) {
    for (char id : kProjIds) {
        if (!YavIpcTestKey::keyFree(key.key(id))) return false;
    }
    return true;
}

std::string codeBytes(uint32_t code) { return std::string(reinterpret_cast<char*>(&code), 4); }

class WorkerServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_key.ok()) << m_key.error();
        ASSERT_TRUE(m_allocators.ok());
    }
    void TearDown() override {
        m_pool.shutdown();
        m_server.stop();
    }
    void startAndAttach(int workers, unsigned bufferSize, YavWorkerHandler* handler) {
        ASSERT_EQ(0u, m_server.start(m_key.path(), workers, bufferSize, handler));
        ASSERT_EQ(0u, m_pool.initialize(m_key.path()));
    }

    YavIpcTestKey m_key;
    YavPoolTestAllocators m_allocators;
    YavEchoHandler m_echo{3};
    YavErrorHandler m_error{YAV_S_IPC_NO_FACTORY};
    YavWorkerServer m_server;  // after the handlers: stopped before they go
    YavClntWorkerPool m_pool;
};

TEST_F(WorkerServerTest, StartCreatesTheFourObjectsWithEveryWorkerFree) {
    ASSERT_EQ(0u, m_server.start(m_key.path(), 3, 130, &m_echo));
    EXPECT_EQ(132u, m_server.getBufferSize());
    for (char id : kProjIds) EXPECT_FALSE(YavIpcTestKey::keyFree(m_key.key(id))) << id;

    int semId = semget(m_key.key('x'), 0, 0);
    ASSERT_NE(-1, semId);
    struct semid_ds ds;
    union {
        int val;
        struct semid_ds* buf;
    } arg;
    arg.buf = &ds;
    ASSERT_EQ(0, semctl(semId, 0, IPC_STAT, arg));
    EXPECT_EQ(6u, ds.sem_nsems);

    ASSERT_EQ(0u, m_pool.initialize(m_key.path()));
    const yav_pool_header* header = m_pool.getHeader();
    EXPECT_EQ(3, header->numWorkers);
    EXPECT_EQ(m_pool.getPoolSemId(), header->semId);
    EXPECT_EQ(0, header->lockNum);
    EXPECT_EQ(1, header->semNum);
    EXPECT_EQ(0, header->lockHeld);
    EXPECT_NE(0, header->serverName[0]);
    int freeCount = -1;
    EXPECT_EQ(0u, m_server.getFreeCount(&freeCount));
    EXPECT_EQ(3, freeCount);
    char* workerBase = static_cast<char*>(m_pool.getWorkerShm()->getBase());
    for (int i = 0; i < 3; ++i) {
        worker_info* info = nullptr;
        ASSERT_EQ(0u, m_pool.getWorkerInfo(i, &info));
        EXPECT_EQ(YavWorkerPool::FREE, m_pool.getState(i));
        EXPECT_EQ(i, info->workerId);
        EXPECT_EQ(0, info->inUse);
        EXPECT_EQ(i * 132, info->memStartOffset);
        EXPECT_EQ(132, info->memSize);
        EXPECT_EQ(m_pool.getWorkerSemId(), info->semId);
        EXPECT_EQ(2 * i, info->reqSemNum);
        EXPECT_EQ(2 * i + 1, info->resSemNum);
        EXPECT_EQ(i, reinterpret_cast<yav_worker_buffer_header*>(workerBase + i * 132)->workerId);
    }
    m_pool.shutdown();
    EXPECT_EQ(0u, m_server.stop());
    EXPECT_TRUE(allKeysFree(m_key));
    EXPECT_EQ(0u, m_server.stop());
}

TEST_F(WorkerServerTest, StartRefusesBadArgumentsAndCreatesNothing) {
    struct Case {
        int workers;
        unsigned bufferSize;
        bool handler;
    } cases[] = {{0, 256, true},  {-1, 256, true},     {1025, 256, true},
                 {2, 256, false}, {2, 1u << 31, true}, {1024, 1u << 21, true}};
    for (const Case& c : cases) {
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, m_server.start(m_key.path(), c.workers, c.bufferSize,
                                                          c.handler ? &m_echo : nullptr))
            << c.workers << " " << c.bufferSize;
        EXPECT_FALSE(m_server.isRunning());
        EXPECT_TRUE(allKeysFree(m_key));
    }
    EXPECT_EQ(YAV_S_IPC_KEY_CREATE,
              m_server.start((std::string(m_key.path()) + ".absent").c_str(), 1, 256, &m_echo));
}

TEST_F(WorkerServerTest, AQuestionOutOfRangeIsAnsweredWithAnErrorMessage) {
    startAndAttach(1, 256, &m_echo);
    // Header fields a client could get wrong, each with the error it earns.
    struct Case {
        const char* what;
        int32_t type;
        int32_t lengthDelta;  // added to the request length
        int32_t startDelta;   // added to the request start
        int32_t resultDelta;  // added to the result start
        bool answered;        // false: not even an error fits
    } cases[] = {
        {"negative type", -1, 0, 0, 0, true},
        {"type too large", YavWorkerServer::kMaxQuestionType + 1, 0, 0, 0, true},
        {"length past the buffer", 1, 4096, 0, 4096, false},
        {"negative length", 1, -100, 0, 0, true},
        {"start inside the header", 1, 0, -8, 0, true},
        {"result overlapping the question", 1, 0, 0, -4, true},
        {"result start unaligned", 1, 0, 0, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        YavClntWorkerBuffer* buf = nullptr;
        ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
        YavSharedMemAllocator* a = buf->getRequestAllocator();
        ASSERT_NE(nullptr, a);
        void* data = nullptr;
        ASSERT_EQ(0u, a->allocate(8, &data));
        memset(data, 'q', 8);
        ASSERT_EQ(0u, buf->writeRequest(c.type, *a));
        a->deleteMe();
        yav_worker_buffer_header* header = buf->getHeader();
        header->reqLength += c.lengthDelta;
        header->reqStartOffset += c.startDelta;
        header->resStartOffset += c.resultDelta;
        const int32_t resultStart = header->resStartOffset;
        ASSERT_EQ(0u, buf->resetResult());
        ASSERT_EQ(0u, buf->signalRequest());
        ASSERT_EQ(0u, buf->waitResult());
        EXPECT_EQ(YavWorkerServer::kErrorMessageType, header->resType);
        if (c.answered) {
            header->resStartOffset = resultStart;
            int type = -1;
            std::vector<std::string> answer;
            EXPECT_EQ(0u, yav_pool_read(buf, &type, &answer));
            EXPECT_EQ(std::vector<std::string>{codeBytes(YAV_S_INVALID_PARAMETER)}, answer);
        } else {
            EXPECT_EQ(0, header->resLength);
        }
        ASSERT_EQ(0u, m_pool.replaceWorker(buf));
    }
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"fine"}, &type, &answer));
    EXPECT_EQ(3, type);
}

TEST_F(WorkerServerTest, TheErrorHandlerAnswersWithItsCode) {
    startAndAttach(2, 256, &m_error);
    int type = -1;
    std::vector<std::string> answer;
    ASSERT_EQ(0u, yav_pool_round_trip(m_pool, 2, {"a", "b"}, &type, &answer));
    EXPECT_EQ(YavWorkerServer::kErrorMessageType, type);
    EXPECT_EQ(std::vector<std::string>{codeBytes(YAV_S_IPC_NO_FACTORY)}, answer);
}

TEST_F(WorkerServerTest, MalformedAnswersBreakTheChainTheWayAsked) {
    startAndAttach(1, 512, &m_echo);
    struct Case {
        yav_malformed_e kind;
        size_t delivered;  // elements read before the failure
    } cases[] = {
        {yav_malformed_length_past_region, 0},
        {yav_malformed_next_outside, 1},
        {yav_malformed_loop, 3},
    };
    for (const Case& c : cases) {
        m_server.setMalformed(c.kind);
        int type = -1;
        std::vector<std::string> answer;
        EXPECT_EQ(YAV_S_IPC_NO_MORE_SEGMENTS,
                  yav_pool_round_trip(m_pool, 1, {"one", "two", "three"}, &type, &answer))
            << c.kind;
        EXPECT_EQ(c.delivered, answer.size()) << c.kind;
    }
    m_server.setMalformed(yav_malformed_none);
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"one", "two"}, &type, &answer));
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), answer);
    for (const char* name :
         {"none", "length", "next", "loop", "result-length", "result-type", "result-offset"}) {
        yav_malformed_e kind;
        EXPECT_TRUE(yav_malformed_from_name(name, &kind)) << name;
    }
    yav_malformed_e kind;
    EXPECT_FALSE(yav_malformed_from_name("loops", &kind));
}

TEST_F(WorkerServerTest, ARestartReplacesEveryObjectWhileTheThreadsKeepServing) {
    startAndAttach(2, 256, &m_echo);
    YavClntWorkerBuffer* buf = nullptr;
    ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
    int oldPoolSem = m_pool.getPoolSemId();
    int oldWorkerSem = m_pool.getWorkerSemId();
    ASSERT_EQ(0u, m_server.restart());
    EXPECT_EQ(1u, m_server.getGeneration());
    EXPECT_NE(oldPoolSem, m_server.getPool()->getPoolSemId());
    EXPECT_NE(oldWorkerSem, m_server.getPool()->getWorkerSemId());
    // The held worker's semaphores are gone with the old set.
    yav_status_t st = buf->signalRequest();
    EXPECT_TRUE(st == YAV_S_IPC_INVALID_ID || st == YAV_S_IPC_KEY_REMOVED) << std::hex << st;
    // Giving it back cannot take the old lock either; the buffer is freed.
    st = m_pool.replaceWorker(buf);
    EXPECT_TRUE(st == YAV_S_IPC_INVALID_ID || st == YAV_S_IPC_KEY_REMOVED) << std::hex << st;
    EXPECT_EQ(0, m_pool.activeCount());
    ASSERT_TRUE(m_pool.refresher());
    ASSERT_EQ(0u, m_pool.refresh());
    int freeCount = -1;
    EXPECT_EQ(0u, m_server.getFreeCount(&freeCount));
    EXPECT_EQ(2, freeCount);
    for (int round = 0; round < 4; ++round) {
        int type = -1;
        std::vector<std::string> answer;
        ASSERT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"again"}, &type, &answer));
        EXPECT_EQ(std::vector<std::string>{"again"}, answer);
    }
}

TEST_F(WorkerServerTest, TestControlsRefuseBadWorkerIndexes) {
    startAndAttach(2, 256, &m_echo);
    int state = -1;
    worker_info info;
    memset(&info, 0, sizeof(info));
    for (int i : {-1, 2, 100}) {
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, m_server.resetWorker(i, yav_reset_cleaned));
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, m_server.getWorker(i, &state, &info));
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, m_server.setWorker(i, YavWorkerPool::FREE, info));
    }
}

class TestAuthzdTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_key.ok()) << m_key.error();
        ASSERT_TRUE(m_allocators.ok());
    }
    void TearDown() override { m_pool.shutdown(); }

    YavIpcTestKey m_key;
    YavPoolTestAllocators m_allocators;
    YavClntWorkerPool m_pool;
};

TEST_F(TestAuthzdTest, ServesRestartsAndRemovesEverythingOnSigterm) {
    YavTestProcess server;
    std::string control = std::string(m_key.path()) + ".restart";
    ASSERT_TRUE(yav_start_test_authzd(
        &server, m_key.path(), {"--workers", "2", "--echo", "7", "--control-file", control}));
    ASSERT_EQ(0u, m_pool.initialize(m_key.path()));
    int type = -1;
    std::vector<std::string> answer;
    ASSERT_EQ(0u, yav_pool_round_trip(m_pool, 6, {"ping", "pong"}, &type, &answer));
    EXPECT_EQ(7, type);
    EXPECT_EQ((std::vector<std::string>{"ping", "pong"}), answer);

    ASSERT_TRUE(server.sendSignal(SIGUSR1));
    ASSERT_TRUE(server.waitForLine("restarted 1"));
    { std::ofstream(control.c_str()) << "x"; }
    ASSERT_TRUE(server.waitForLine("restarted 2"));
    ASSERT_TRUE(m_pool.refresher());
    ASSERT_EQ(0u, m_pool.refresh());
    answer.clear();
    ASSERT_EQ(0u, yav_pool_round_trip(m_pool, 6, {"after"}, &type, &answer));
    EXPECT_EQ(std::vector<std::string>{"after"}, answer);

    m_pool.shutdown();
    int status = server.stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
    EXPECT_TRUE(allKeysFree(m_key));
}

TEST_F(TestAuthzdTest, BehaviourOptionsShapeTheAnswers) {
    struct Case {
        std::vector<std::string> options;
        yav_status_t expected;
        int type;
        std::vector<std::string> answer;
    } cases[] = {
        {{"--error", "0x35f02201"}, 0, 0, {codeBytes(YAV_S_IPC_NO_FACTORY)}},
        {{"--echo", "99"}, 0, 99, {"q"}},
        {{"--malformed", "length"}, YAV_S_IPC_NO_MORE_SEGMENTS, 3, {}},
        {{"--malformed", "result-length"}, YAV_S_IPC_NO_MORE_SEGMENTS, -1, {}},
        {{"--reset-next", "free"}, YAV_S_WORKER_RESET, -1, {}},
        {{"--delay-ms", "5"}, 0, 3, {"q"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options[0] + " " + c.options[1]);
        YavTestProcess server;
        ASSERT_TRUE(yav_start_test_authzd(&server, m_key.path(), c.options));
        YavClntWorkerPool pool;
        ASSERT_EQ(0u, pool.initialize(m_key.path()));
        int type = -1;
        std::vector<std::string> answer;
        EXPECT_EQ(c.expected, yav_pool_round_trip(pool, 1, {"q"}, &type, &answer));
        EXPECT_EQ(c.type, type);
        EXPECT_EQ(c.answer, answer);
        pool.shutdown();
        int status = server.stop();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_TRUE(allKeysFree(m_key));
    }
}

TEST_F(TestAuthzdTest, BadOptionsEndWithStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--key"},
        {"--key", m_key.path(), "--workers", "0"},
        {"--key", m_key.path(), "--malformed", "sideways"},
        {"--key", m_key.path(), "--reset-next", "later"},
        {"--key", m_key.path(), "--bogus", "1"},
    };
    for (const std::vector<std::string>& args : cases) {
        YavTestProcess server;
        ASSERT_TRUE(server.start("yav_test_authzd", args));
        std::string line;
        EXPECT_FALSE(server.waitForPrefix("ready", &line, 5000));
        int status = server.stop();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    }
    EXPECT_TRUE(allKeysFree(m_key));
}

}  // namespace
