#include "proxyif/ipc/YavClntWorkerPool.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/YavClntWorkerBuffer.h"
#include "proxyif/ipc/YavSharedMem.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSysVSemHelper.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "proxyif/ipc/yav_pool_test_aids.h"
#include "server/YavWorkerServer.h"
#include "server/yav_test_server_process.h"

namespace {

const time_t kNow = 1700000000;
time_t fixedClock() { return kNow; }

// A pool of real System V objects made by an in-process server, and a
// client pool attached to them.  Everything is removed also when a test
// fails (the server's stop, then the key's removeAll).
class ClntWorkerPoolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_key.ok()) << m_key.error();
        ASSERT_TRUE(m_allocators.ok());
        YavClntWorkerPool::m_clock = fixedClock;
    }
    void TearDown() override {
        m_pool.shutdown();
        m_server.stop();
        YavClntWorkerPool::m_clock = m_savedClock;
    }

    void startServer(int workers, unsigned bufferSize = 512) {
        ASSERT_EQ(0u, m_server.start(m_key.path(), workers, bufferSize, &m_echo));
    }
    void startAndAttach(int workers, unsigned bufferSize = 512) {
        startServer(workers, bufferSize);
        ASSERT_EQ(0u, m_pool.initialize(m_key.path()));
    }
    int freeCount() {
        int value = -1;
        EXPECT_EQ(0u, m_pool.getFreeCount(&value));
        return value;
    }
    worker_info serverWorker(int i, int* state) {
        worker_info info;
        memset(&info, 0, sizeof(info));
        EXPECT_EQ(0u, m_server.getWorker(i, state, &info));
        return info;
    }

    YavIpcTestKey m_key;
    YavPoolTestAllocators m_allocators;
    YavEchoHandler m_echo{3};
    YavWorkerServer m_server;
    YavClntWorkerPool m_pool;
    time_t (*m_savedClock)() = YavClntWorkerPool::m_clock;
};

TEST_F(ClntWorkerPoolTest, InitializeReportsAMissingServerOrKeyFile) {
    struct Case {
        std::string path;
        yav_status_t expected;
    } cases[] = {
        {m_key.path(), YAV_S_IPC_NO_SEGMENT},
        {std::string(m_key.path()) + ".absent", YAV_S_IPC_KEY_CREATE},
    };
    for (const Case& c : cases) {
        YavClntWorkerPool pool;
        EXPECT_EQ(c.expected, pool.initialize(c.path.c_str())) << c.path;
        pool.shutdown();
    }
}

TEST_F(ClntWorkerPoolTest, InitializeRefusesAHeaderWhoseRecordsDoNotFit) {
    startServer(2);
    for (int32_t announced : {0, -1, 1000, 0x7fffffff}) {
        m_server.getPool()->getHeader()->numWorkers = announced;
        YavClntWorkerPool pool;
        EXPECT_EQ(YAV_S_IPC_INVALID_WORKER_BUFFER, pool.initialize(m_key.path())) << announced;
        pool.shutdown();
    }
    m_server.getPool()->getHeader()->numWorkers = 2;
    EXPECT_EQ(0u, m_pool.initialize(m_key.path()));
    EXPECT_EQ(2, m_pool.getNumWorkers());
}

TEST_F(ClntWorkerPoolTest, QuestionsRoundTripThroughTheWorkers) {
    startAndAttach(3, 1024);
    const std::vector<std::string> question = {"abc", "", "hello, world", std::string(5, '\0'),
                                               std::string(300, 'x')};
    for (int round = 0; round < 10; ++round) {
        int type = -1;
        std::vector<std::string> answer;
        ASSERT_EQ(0u, yav_pool_round_trip(m_pool, 1, question, &type, &answer));
        EXPECT_EQ(3, type);
        EXPECT_EQ(question, answer);
    }
    EXPECT_EQ(3, freeCount());
    EXPECT_EQ(0, m_pool.activeCount());

    // An answer that does not fit beside its question comes back as an
    // error message.
    int type = -1;
    std::vector<std::string> answer;
    ASSERT_EQ(0u, yav_pool_round_trip(m_pool, 1, {std::string(600, 'y')}, &type, &answer));
    EXPECT_EQ(YavWorkerServer::kErrorMessageType, type);
    uint32_t code = YAV_S_NO_MEMORY;
    EXPECT_EQ((std::vector<std::string>{std::string(reinterpret_cast<char*>(&code), 4)}), answer);
}

TEST_F(ClntWorkerPoolTest, TakenWorkersAreDistinctAndRecordedUntilGivenBack) {
    startAndAttach(3);
    std::vector<YavClntWorkerBuffer*> bufs;
    std::set<int> ids;
    for (int i = 0; i < 3; ++i) {
        YavClntWorkerBuffer* buf = nullptr;
        ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
        bufs.push_back(buf);
        ids.insert(buf->getInfo()->workerId);
    }
    EXPECT_EQ(3u, ids.size());
    EXPECT_EQ(0, freeCount());
    EXPECT_EQ(3, m_pool.activeCount());
    for (int i = 0; i < 3; ++i) {
        int state = -1;
        worker_info info = serverWorker(i, &state);
        EXPECT_EQ(YavWorkerPool::TAKEN, state);
        EXPECT_EQ(1, info.inUse);
        EXPECT_EQ(kNow, info.takenTime);
    }
    for (YavClntWorkerBuffer* buf : bufs) EXPECT_EQ(0u, m_pool.replaceWorker(buf));
    EXPECT_EQ(3, freeCount());
    EXPECT_EQ(0, m_pool.activeCount());
    for (int i = 0; i < 3; ++i) {
        int state = -1;
        worker_info info = serverWorker(i, &state);
        EXPECT_EQ(YavWorkerPool::FREE, state);
        EXPECT_EQ(0, info.inUse);
        EXPECT_EQ(0, info.takenTime);
    }
}

TEST_F(ClntWorkerPoolTest, GetFreeWorkerBlocksWhileAllAreTakenUntilOneIsGivenBack) {
    startAndAttach(2);
    YavClntWorkerBuffer* first = nullptr;
    YavClntWorkerBuffer* second = nullptr;
    ASSERT_EQ(0u, m_pool.getFreeWorker(&first));
    ASSERT_EQ(0u, m_pool.getFreeWorker(&second));
    int firstId = first->getInfo()->workerId;

    std::atomic<bool> returned{false};
    YavClntWorkerBuffer* third = nullptr;
    yav_status_t thirdStatus = 1;
    std::thread waiter([&] {
        thirdStatus = m_pool.getFreeWorker(&third);
        returned = true;
    });
    usleep(200 * 1000);
    EXPECT_FALSE(returned.load());
    EXPECT_EQ(0u, m_pool.replaceWorker(first));
    waiter.join();
    ASSERT_EQ(0u, thirdStatus);
    EXPECT_EQ(firstId, third->getInfo()->workerId);
    EXPECT_EQ(0u, m_pool.replaceWorker(third));
    EXPECT_EQ(0u, m_pool.replaceWorker(second));
    EXPECT_EQ(2, freeCount());
}

TEST_F(ClntWorkerPoolTest, TheFreeCountNeverExceedsTheNumberOfWorkers) {
    startAndAttach(2);
    EXPECT_EQ(0u, m_pool.signalPoolSemaphore());
    EXPECT_EQ(2, freeCount());
    ASSERT_EQ(0u, m_pool.waitPoolSemaphore());
    EXPECT_EQ(1, freeCount());
    EXPECT_EQ(0u, m_pool.signalPoolSemaphore());
    EXPECT_EQ(2, freeCount());
    EXPECT_EQ(0u, m_pool.signalPoolSemaphore());
    EXPECT_EQ(2, freeCount());
}

TEST_F(ClntWorkerPoolTest, AFreeWorkerHeldForMoreThanThirtySecondsIsTakenOver) {
    struct Case {
        int age;
        int expectedWorker;
        int expectedFree;
    } cases[] = {
        {31, 0, 1},  // taken over: the lost count comes back once
        {30, 1, 0},  // still the holder's: the scan moves on
    };
    startAndAttach(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.age);
        // A holder that died after taking worker 0 and its count.
        worker_info info;
        int state = -1;
        info = serverWorker(0, &state);
        info.inUse = 1;
        info.cleaned = 1;
        info.takenTime = static_cast<int32_t>(kNow - c.age);
        ASSERT_EQ(0u, m_server.setWorker(0, YavWorkerPool::FREE, info));
        ASSERT_EQ(0u, m_pool.waitPoolSemaphore());

        YavClntWorkerBuffer* buf = nullptr;
        ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
        EXPECT_EQ(c.expectedWorker, buf->getInfo()->workerId);
        EXPECT_EQ(c.expectedFree, freeCount());
        worker_info held = serverWorker(c.expectedWorker, &state);
        EXPECT_EQ(1, held.inUse);
        EXPECT_EQ(0, held.cleaned);
        EXPECT_EQ(kNow, held.takenTime);
        if (c.expectedWorker != 0) {
            worker_info skipped = serverWorker(0, &state);
            EXPECT_EQ(1, skipped.inUse);
            EXPECT_EQ(kNow - c.age, skipped.takenTime);
        }
        ASSERT_EQ(0u, m_pool.replaceWorker(buf));
        // Back to a clean pool for the next case.
        info = serverWorker(0, &state);
        info.inUse = 0;
        info.cleaned = 0;
        info.takenTime = 0;
        ASSERT_EQ(0u, m_server.setWorker(0, YavWorkerPool::FREE, info));
        while (freeCount() < 2) ASSERT_EQ(0u, m_pool.signalPoolSemaphore());
    }
}

TEST_F(ClntWorkerPoolTest, AWorkerWhoseBufferLiesOutsideTheSegmentIsNotHandedOut) {
    startAndAttach(1, 256);
    int state = -1;
    worker_info good = serverWorker(0, &state);
    // The segment may be larger than the buffers (whole pages).
    const int32_t seg = static_cast<int32_t>(m_pool.getWorkerShm()->getSize());
    struct Case {
        int32_t start;
        int32_t size;
    } cases[] = {{-4, 256},
                 {0, seg + 1},
                 {seg, 32},
                 {seg - 16, 32},
                 {0, 31},
                 {1, 34},
                 {0x7ffffff0, 0x7ffffff0},
                 {0, -1}};
    for (const Case& c : cases) {
        worker_info bad = good;
        bad.memStartOffset = c.start;
        bad.memSize = c.size;
        ASSERT_EQ(0u, m_server.setWorker(0, YavWorkerPool::FREE, bad));
        YavClntWorkerBuffer* buf = nullptr;
        EXPECT_EQ(YAV_S_IPC_INVALID_WORKER_BUFFER, m_pool.getFreeWorker(&buf))
            << c.start << " " << c.size;
        if (buf != nullptr) {
            ADD_FAILURE() << "a worker outside the segment was handed out";
            m_pool.replaceWorker(buf);
        }
        worker_info after = serverWorker(0, &state);
        EXPECT_EQ(YavWorkerPool::FREE, state);
        EXPECT_EQ(0, after.inUse);
        EXPECT_EQ(1, freeCount());
        EXPECT_EQ(0, m_pool.activeCount());
    }
    ASSERT_EQ(0u, m_server.setWorker(0, YavWorkerPool::FREE, good));
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"ok"}, &type, &answer));
}

TEST_F(ClntWorkerPoolTest, AWorkerResetDuringAQuestionIsRecognisedAndGivenBack) {
    YavPoolTraceCapture trace;
    startAndAttach(2);
    m_server.resetOnNextQuestion(yav_reset_free_cleaned);
    YavClntWorkerBuffer* buf = nullptr;
    ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
    int id = buf->getInfo()->workerId;
    ASSERT_EQ(0u, yav_pool_send(buf, 1, {"question"}));
    ASSERT_EQ(0u, buf->waitResult());
    EXPECT_EQ(1, buf->getInfo()->cleaned);
    EXPECT_EQ(0u, m_pool.replaceWorker(buf));

    std::string line;
    ASSERT_TRUE(trace.contains("Replacing cleaned worker ", &line));
    EXPECT_EQ("Replacing cleaned worker " + std::to_string(id) +
                  ": Cleaned: " + std::to_string(kNow) + ", Replaced: " + std::to_string(kNow),
              line.substr(line.find("Replacing")));
    int state = -1;
    worker_info info = serverWorker(id, &state);
    EXPECT_EQ(YavWorkerPool::FREE, state);
    EXPECT_EQ(0, info.cleaned);
    EXPECT_EQ(0, info.inUse);
    EXPECT_EQ(2, freeCount());
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"again"}, &type, &answer));
    EXPECT_EQ(std::vector<std::string>{"again"}, answer);
}

TEST_F(ClntWorkerPoolTest, RaisingTheRequestClearsALateResultFirst) {
    startAndAttach(1);
    const int kLate[] = {0, 1, 3};  // results pending before the question
    for (int late : kLate) {
        SCOPED_TRACE(late);
        YavClntWorkerBuffer* buf = nullptr;
        ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
        const int semId = buf->getInfo()->semId;
        const unsigned resSem = static_cast<unsigned>(buf->getInfo()->resSemNum);
        ASSERT_EQ(0u, YavSysVSemHelper::setValue(semId, resSem, static_cast<unsigned>(late)));
        const unsigned answeredBefore = m_server.getAnswered();
        YavSharedMemAllocator* a = buf->getRequestAllocator();
        ASSERT_NE(nullptr, a);
        void* data = nullptr;
        ASSERT_EQ(0u, a->allocate(5, &data));
        memcpy(data, "hello", 5);
        ASSERT_EQ(0u, buf->writeRequest(1, *a));
        a->deleteMe();
        ASSERT_EQ(0u, buf->resetResultAndSignalRequest());
        ASSERT_EQ(0u, buf->waitResult());
        // Once the server has answered, its one raise was the one awaited:
        // nothing is left over for the next question.
        while (m_server.getAnswered() == answeredBefore) sched_yield();
        int pending = -1;
        ASSERT_EQ(0u, YavSysVSemHelper::getValue(semId, resSem, &pending));
        EXPECT_EQ(0, pending);
        int type = -1;
        std::vector<std::string> answer;
        ASSERT_EQ(0u, yav_pool_read(buf, &type, &answer));
        EXPECT_EQ(std::vector<std::string>{"hello"}, answer);
        ASSERT_EQ(0u, m_pool.replaceWorker(buf));
    }
    EXPECT_EQ(1, freeCount());
}

TEST_F(ClntWorkerPoolTest, AWorkerResetToCleanedStaysCleanedUntilTheServerFreesIt) {
    YavPoolTraceCapture trace;
    startAndAttach(1);
    YavClntWorkerBuffer* buf = nullptr;
    ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
    ASSERT_EQ(0u, m_server.resetWorker(0, yav_reset_cleaned));
    ASSERT_EQ(0u, buf->waitResult());
    EXPECT_EQ(1, buf->getInfo()->cleaned);
    EXPECT_EQ(0u, m_pool.replaceWorker(buf));
    EXPECT_FALSE(trace.contains("Replacing cleaned worker"));
    // The server's sweeper frees it once the holder let go; then it serves.
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"after"}, &type, &answer));
    EXPECT_EQ(std::vector<std::string>{"after"}, answer);
}

TEST_F(ClntWorkerPoolTest, ReadResultRefusesResultsOutsideTheWorkersBuffer) {
    struct Case {
        yav_malformed_e kind;
        yav_status_t expected;
    } cases[] = {
        {yav_malformed_result_length, YAV_S_IPC_NO_MORE_SEGMENTS},
        {yav_malformed_result_offset, YAV_S_IPC_NO_MORE_SEGMENTS},
        {yav_malformed_length_past_region, YAV_S_IPC_NO_MORE_SEGMENTS},
        {yav_malformed_next_outside, YAV_S_IPC_NO_MORE_SEGMENTS},
        {yav_malformed_loop, YAV_S_IPC_NO_MORE_SEGMENTS},
    };
    startAndAttach(2, 256);
    for (const Case& c : cases) {
        m_server.setMalformed(c.kind);
        int type = -1;
        std::vector<std::string> answer;
        EXPECT_EQ(c.expected, yav_pool_round_trip(m_pool, 1, {"one", "two"}, &type, &answer))
            << c.kind;
        EXPECT_LE(answer.size(), 2u);
        EXPECT_EQ(2, freeCount());
    }
    m_server.setMalformed(yav_malformed_result_type);
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"one"}, &type, &answer));
    EXPECT_EQ(YavWorkerServer::kBogusResultType, type);
}

TEST_F(ClntWorkerPoolTest, ReadResultRefusesABufferThatNamesAnotherWorker) {
    startAndAttach(2);
    YavClntWorkerBuffer* buf = nullptr;
    ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
    ASSERT_EQ(0u, yav_pool_send(buf, 1, {"x"}));
    ASSERT_EQ(0u, buf->waitResult());
    buf->getHeader()->workerId = buf->getInfo()->workerId + 1;
    int type = -1;
    YavSharedMemIterator* it = nullptr;
    EXPECT_EQ(YAV_S_IPC_INVALID_WORKER_BUFFER, buf->readResult(type, &it));
    EXPECT_EQ(nullptr, it);
    buf->getHeader()->workerId = buf->getInfo()->workerId;
    EXPECT_EQ(0u, m_pool.replaceWorker(buf));
}

TEST_F(ClntWorkerPoolTest, WritesItsTraceLines) {
    YavPoolTraceCapture trace;
    startAndAttach(2);
    int type = -1;
    std::vector<std::string> answer;
    ASSERT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"abcd"}, &type, &answer));
    m_pool.shutdown();
    for (const char* expected :
         {"Pool Manager info...", "numWorkers = 2", "State List -->", "FREE",
          " <-- End of State List", "Waiting on pool semaphore...", "Client ",
          "Initialized worker buffer with the following attributes", "memSize = 512",
          "Wrote request --> Start Offset = ", "Detaching from worker shared memory..."}) {
        EXPECT_TRUE(trace.contains(expected)) << expected;
    }
    std::string line;
    ASSERT_TRUE(trace.contains("Wrote request", &line));
    // One element of 4 bytes: the request length is 12.
    EXPECT_NE(std::string::npos, line.find("Length = 12\n"));
}

TEST_F(ClntWorkerPoolTest, AClientKilledWhileHoldingTheLockAndAWorkerDoesNotStopOthers) {
    YavPoolTraceCapture trace;
    startServer(2);
    YavTestProcess client;
    ASSERT_TRUE(client.start("yav_test_client", {"--key", m_key.path(), "--take", "1", "--lock"}));
    std::string took;
    ASSERT_TRUE(client.waitForPrefix("took ", &took));
    int deadWorker = std::stoi(took.substr(5));
    ASSERT_TRUE(client.waitForLine("holding"));
    int status = client.kill();
    ASSERT_TRUE(WIFSIGNALED(status));

    // SEM_UNDO released the lock; lockHeld still says 1: abandoned.
    ASSERT_EQ(0u, m_pool.initialize(m_key.path()));
    EXPECT_TRUE(trace.contains("*** Pool lock abandoned ***"));
    EXPECT_EQ(0, m_pool.getHeader()->lockHeld);
    YavClntWorkerBuffer* buf = nullptr;
    ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
    EXPECT_NE(deadWorker, buf->getInfo()->workerId);
    ASSERT_EQ(0u, yav_pool_send(buf, 1, {"alive"}));
    ASSERT_EQ(0u, buf->waitResult());
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_read(buf, &type, &answer));
    EXPECT_EQ(std::vector<std::string>{"alive"}, answer);
    EXPECT_EQ(0u, m_pool.replaceWorker(buf));
}

TEST_F(ClntWorkerPoolTest, AfterAServerRestartOneThreadRefreshesWhileTheOthersWait) {
    startAndAttach(2);
    int oldSemId = m_pool.getPoolSemId();
    ASSERT_EQ(0u, m_server.restart());
    YavClntWorkerBuffer* buf = nullptr;
    yav_status_t st = m_pool.getFreeWorker(&buf);
    EXPECT_TRUE(st == YAV_S_IPC_INVALID_ID || st == YAV_S_IPC_KEY_REMOVED) << std::hex << st;

    const int kThreads = 6;
    std::atomic<int> ready{0};
    std::atomic<int> elected{0};
    std::atomic<int> waitedOut{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&] {
            ++ready;
            while (ready.load() < kThreads) {
            }
            if (m_pool.refresher()) {
                ++elected;
            } else {
                m_pool.waitRefresh();
                ++waitedOut;
            }
        });
    }
    while (elected.load() + waitedOut.load() < kThreads && elected.load() == 0) usleep(1000);
    // Give the losers time to reach waitRefresh: none may leave it yet.
    usleep(100 * 1000);
    EXPECT_EQ(1, elected.load());
    EXPECT_EQ(0, waitedOut.load());
    EXPECT_TRUE(m_pool.isRefreshing());
    EXPECT_EQ(0u, m_pool.refresh());
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(kThreads - 1, waitedOut.load());
    EXPECT_FALSE(m_pool.isRefreshing());

    EXPECT_NE(oldSemId, m_pool.getPoolSemId());
    EXPECT_EQ(m_server.getPool()->getPoolSemId(), m_pool.getPoolSemId());
    EXPECT_EQ(m_server.getPool()->getWorkerSemId(), m_pool.getWorkerSemId());
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"fresh"}, &type, &answer));
    EXPECT_EQ(std::vector<std::string>{"fresh"}, answer);
}

TEST_F(ClntWorkerPoolTest, RefreshWaitsForActiveCallersToGiveTheirWorkersBack) {
    startAndAttach(2);
    YavClntWorkerBuffer* held = nullptr;
    ASSERT_EQ(0u, m_pool.getFreeWorker(&held));
    ASSERT_TRUE(m_pool.refresher());
    std::atomic<bool> done{false};
    std::thread refresher([&] {
        EXPECT_EQ(0u, m_pool.refresh());
        done = true;
    });
    usleep(100 * 1000);
    EXPECT_FALSE(done.load());
    EXPECT_EQ(0u, m_pool.replaceWorker(held));
    refresher.join();
    EXPECT_TRUE(done.load());
    EXPECT_EQ(0, m_pool.activeCount());
}

// A server restarted with another number of workers: after the refresh
// every new worker is handed out, the count is bounded by the new number,
// and nothing refers to the old layout.
TEST_F(ClntWorkerPoolTest, ARefreshAdoptsTheRestartedServersNumberOfWorkers) {
    startAndAttach(2);
    for (int workers : {4, 1}) {
        SCOPED_TRACE(workers);
        m_server.stop();
        startServer(workers);
        ASSERT_TRUE(m_pool.refresher());
        ASSERT_EQ(0u, m_pool.refresh());
        EXPECT_EQ(workers, m_pool.getNumWorkers());
        std::vector<YavClntWorkerBuffer*> bufs(static_cast<size_t>(workers), nullptr);
        std::set<int> ids;
        for (YavClntWorkerBuffer*& buf : bufs) {
            ASSERT_EQ(0u, m_pool.getFreeWorker(&buf));
            ids.insert(buf->getInfo()->workerId);
            ASSERT_EQ(0u, yav_pool_send(buf, 1, {"each"}));
        }
        EXPECT_EQ(static_cast<size_t>(workers), ids.size());
        EXPECT_EQ(0, freeCount());
        for (YavClntWorkerBuffer* buf : bufs) {
            ASSERT_EQ(0u, buf->waitResult());
            int type = -1;
            std::vector<std::string> answer;
            EXPECT_EQ(0u, yav_pool_read(buf, &type, &answer));
            EXPECT_EQ(std::vector<std::string>{"each"}, answer);
            EXPECT_EQ(0u, m_pool.replaceWorker(buf));
        }
        EXPECT_EQ(0u, m_pool.signalPoolSemaphore());
        EXPECT_EQ(workers, freeCount());
    }
}

// A refresh that found the semaphore sets but not yet the segments leaves
// nothing to scan: getFreeWorker must ask for another refresh without
// keeping a free count, or after N such calls every thread blocks for ever.
TEST_F(ClntWorkerPoolTest, AfterAHalfFinishedRefreshNoCountIsKeptAndTheNextRefreshRecovers) {
    startAndAttach(2);
    m_server.stop();
    YavWorkerPool maker;  // the new server, caught between its semaphores and segments
    ASSERT_EQ(0u, maker.setPath(m_key.path()));
    maker.setCreateSizes(2, YavWorkerPool::poolMgrSize(2), 1024);
    ASSERT_EQ(0u, maker.initPoolSemaphores(true, false));
    ASSERT_EQ(0u, maker.initWorkerSemaphores(true, false));
    ASSERT_TRUE(m_pool.refresher());
    EXPECT_EQ(YAV_S_IPC_NO_SEGMENT, m_pool.refresh());
    EXPECT_EQ(maker.getPoolSemId(), m_pool.getPoolSemId());
    for (int call = 0; call < 3; ++call) {
        YavClntWorkerBuffer* buf = nullptr;
        ASSERT_EQ(YAV_S_IPC_KEY_REMOVED, m_pool.getFreeWorker(&buf)) << call;
        EXPECT_EQ(nullptr, buf);
        ASSERT_EQ(2, freeCount()) << "call " << call << " kept a count";
        EXPECT_EQ(0, m_pool.activeCount());
    }
    EXPECT_EQ(0u, maker.destroyPoolSemaphores());
    EXPECT_EQ(0u, maker.destroyWorkerSemaphores());
    startServer(2);
    ASSERT_TRUE(m_pool.refresher());
    EXPECT_EQ(0u, m_pool.refresh());
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"back"}, &type, &answer));
    EXPECT_EQ(std::vector<std::string>{"back"}, answer);
    EXPECT_EQ(2, freeCount());
}

// A refresh that finds no server keeps the removed set's id: operations on
// it fail (and ask for another refresh) instead of succeeding on id -1
// without waiting or locking.
TEST_F(ClntWorkerPoolTest, ARefreshWithoutServerLeavesTakingAWorkerFailing) {
    startAndAttach(2);
    const int oldSemId = m_pool.getPoolSemId();
    m_server.stop();
    ASSERT_TRUE(m_pool.refresher());
    EXPECT_EQ(YAV_S_IPC_NO_SEGMENT, m_pool.refresh());
    EXPECT_EQ(oldSemId, m_pool.getPoolSemId());
    YavClntWorkerBuffer* buf = nullptr;
    yav_status_t st = m_pool.getFreeWorker(&buf);
    EXPECT_TRUE(st == YAV_S_IPC_INVALID_ID || st == YAV_S_IPC_KEY_REMOVED) << std::hex << st;
    EXPECT_EQ(nullptr, buf);
    if (buf != nullptr) m_pool.replaceWorker(buf);
    EXPECT_EQ(0, m_pool.activeCount());
}

// A thread that re-attached the new pool semaphores still scans the old
// state list until the refresh; entries left TAKEN there (their holders
// could not lock the removed set) never become free.  The scan must end
// and ask for the refresh rather than spin, since the refresh waits for it.
TEST_F(ClntWorkerPoolTest, AScanOfAReplacedStateListEndsAndAsksForARefresh) {
    startAndAttach(2);
    m_pool.setState(0, YavWorkerPool::TAKEN);
    m_pool.setState(1, YavWorkerPool::TAKEN);
    ASSERT_EQ(0u, m_server.restart());
    ASSERT_EQ(0u, m_pool.initPoolSemaphores(false, false));
    ASSERT_EQ(m_server.getPool()->getPoolSemId(), m_pool.getPoolSemId());
    std::atomic<bool> returned{false};
    yav_status_t st = 0;
    YavClntWorkerBuffer* buf = nullptr;
    std::thread taker([&] {
        st = m_pool.getFreeWorker(&buf);
        returned = true;
    });
    for (int ms = 0; ms < 30000 && !returned.load(); ++ms) usleep(1000);
    if (!returned.load()) {
        ADD_FAILURE() << "getFreeWorker kept scanning a replaced state list";
        m_pool.setState(0, YavWorkerPool::FREE);  // lets it end
    }
    taker.join();
    EXPECT_EQ(YAV_S_IPC_KEY_REMOVED, st) << std::hex << st;
    if (buf != nullptr) m_pool.replaceWorker(buf);
    EXPECT_EQ(2, freeCount());
    ASSERT_TRUE(m_pool.refresher());
    EXPECT_EQ(0u, m_pool.refresh());
    int type = -1;
    std::vector<std::string> answer;
    EXPECT_EQ(0u, yav_pool_round_trip(m_pool, 1, {"fresh"}, &type, &answer));
}

std::atomic<int> g_signalsHandled{0};
void countSignal(int) { ++g_signalsHandled; }

TEST_F(ClntWorkerPoolTest, ASignalDuringTheWaitForAFreeWorkerDoesNotEndTheWait) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer defers the handler, so its run cannot be observed";
#endif
    startAndAttach(1);
    YavClntWorkerBuffer* held = nullptr;
    ASSERT_EQ(0u, m_pool.getFreeWorker(&held));
    struct sigaction action;
    struct sigaction saved;
    memset(&action, 0, sizeof(action));
    action.sa_handler = countSignal;  // no SA_RESTART: the semop fails with EINTR
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(0, sigaction(SIGUSR2, &action, &saved));
    g_signalsHandled = 0;
    yav_status_t st = 0xFFFFFFFFu;
    std::thread waiter([&] {
        YavClntWorkerBuffer* buf = nullptr;
        st = m_pool.getFreeWorker(&buf);
        if (buf != nullptr) m_pool.replaceWorker(buf);
    });
    const int semId = m_pool.getPoolSemId();
    for (int ms = 0; ms < 30000 && semctl(semId, 1, GETNCNT) < 1; ++ms) usleep(1000);
    EXPECT_EQ(1, semctl(semId, 1, GETNCNT));
    pthread_kill(waiter.native_handle(), SIGUSR2);
    for (int ms = 0; ms < 30000 && g_signalsHandled.load() == 0; ++ms) usleep(1000);
    EXPECT_EQ(1, g_signalsHandled.load());
    EXPECT_EQ(0u, m_pool.replaceWorker(held));
    waiter.join();
    EXPECT_EQ(0u, st) << std::hex << st;
    EXPECT_EQ(1, freeCount());
    sigaction(SIGUSR2, &saved, nullptr);
}

}  // namespace
