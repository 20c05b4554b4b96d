// The cost of one question and answer through the dispatcher, in one run:
// - baseline: a bare System V semaphore ping-pong with a partner process
//   (the least any round trip through a worker costs);
// - the protocol's floor: the ping-pong plus the four semaphore operations
//   on the pool set that every dispatch makes, without the library;
// - dispatch: a question of about 600 bytes in 4 elements (name/value
//   pairs) answered with about 200 bytes, through a pool of 8 workers
//   served by the server library in this process, from 1, 2, 8 and 32
//   client threads.
// Printed at the end: single-thread dispatch / ping-pong and / floor,
// floor / ping-pong, and the throughput of 32 threads relative to 2
// (2-thread time per dispatch over 32-thread time per dispatch).  Heap allocations per warm
// dispatch are reported as mallocs_per_op (the server's threads count too).  Every thread runs the
// same number of dispatches; slowest_share is the slowest thread's throughput over the mean of all
// threads (1 when the workers are shared evenly, near 0 when a thread starves).
//
// The ping-pong (bench/yav_pingpong.h) is the shared-memory benchmark's
// too.  The partner is forked before any thread starts.  Every IPC
// object is removed at the end: the ping-pong set (also on SIGINT, SIGTERM,
// SIGHUP), the server's objects (stop) and anything left under the key.
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/sem.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdint>
#include <string>

#include "bench/bench_support.h"
#include "bench/yav_pingpong.h"
#include "core/memory/YavClassAllocator.h"
#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "proxyif/framework/YavProxyIFDispatcher.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "server/YavWorkerServer.h"

namespace {

const int kWorkers = 8;  // the size of the pool (and of the floor's count)

// ---- ping-pong baseline ---------------------------------------------------

YavIpcTestKey* g_key = nullptr;

// The floor's pool set (BM_ProtocolFloor below).
volatile sig_atomic_t g_floorSemId = -1;

void removeFloorSet() {
    if (g_floorSemId != -1) semctl(g_floorSemId, 0, IPC_RMID);
    g_floorSemId = -1;
}

void onSignal(int sig) {
    // System calls only (removeAll walks its lists and calls shmctl and
    // semctl): the server's objects go with the ping-pong set.
    if (g_key != nullptr) g_key->removeAll();
    removeFloorSet();
    yav_bench::pingPongKillFromSignal();
    _exit(128 + sig);
}

void BM_SemPingPong(benchmark::State& state) { yav_bench::pingPongRoundTrips(state); }
BENCHMARK(BM_SemPingPong)->UseRealTime();

// ---- the protocol's own floor ---------------------------------------------

// The semaphore operations a dispatch cannot do without, and nothing else:
// the ping-pong's round trip plus the four pool-set operations that take
// and give back a worker (count and lock in one operation, unlock; lock,
// unlock with the count given back under its bound of kWorkers), on a
// private two-semaphore set with the library's flags.  Every system call
// costs about as much as on the library's path, so dispatch / floor is the
// library's own overhead and floor / ping-pong the protocol's on this
// machine.
void BM_ProtocolFloor(benchmark::State& state) {
    const int pingPong = yav_bench::g_pingPongSemId;
    const int pool = semget(IPC_PRIVATE, 2, IPC_CREAT | 0600);
    if (pool == -1 || semctl(pool, 1, SETVAL, kWorkers) != 0) {
        if (pool != -1) semctl(pool, 0, IPC_RMID);
        state.SkipWithError("cannot make the pool set");
        return;
    }
    g_floorSemId = pool;
    const short room = static_cast<short>(SHRT_MAX - kWorkers);
    struct sembuf waitLock[3] = {{1, -1, SEM_UNDO}, {0, 0, 0}, {0, 1, SEM_UNDO}};
    struct sembuf unlock[1] = {{0, -1, SEM_UNDO}};
    struct sembuf request[2] = {{1, 0, IPC_NOWAIT}, {0, 1, 0}};
    struct sembuf result[1] = {{1, -1, 0}};
    struct sembuf lock[2] = {{0, 0, 0}, {0, 1, SEM_UNDO}};
    struct sembuf giveBack[4] = {
        {0, -1, SEM_UNDO}, {1, 1, SEM_UNDO}, {1, room, 0}, {1, static_cast<short>(-room), 0}};
    for (auto _ : state) {
        if (semop(pool, waitLock, 3) != 0 || semop(pool, unlock, 1) != 0 ||
            semop(pingPong, request, 2) != 0 || semop(pingPong, result, 1) != 0 ||
            semop(pool, lock, 2) != 0 || semop(pool, giveBack, 4) != 0) {
            state.SkipWithError("semop failed");
            break;
        }
    }
    removeFloorSet();
}
BENCHMARK(BM_ProtocolFloor)->UseRealTime();

// ---- question, answer and server handler ----------------------------------

const int kElements = 4;
const int kAnswerValueLength = 180;

char g_value[128];
char g_answerValue[kAnswerValueLength + 1];

// Four elements, each one name/value pair of about 150 bytes.
class BenchQuestion : public YavProxyIFMessage {
  public:
    BenchQuestion() {
        m_pair.set(YavStringRef("x-benchmark-header"),
                   YavStringRef(g_value, static_cast<int>(sizeof g_value) - 1));
    }
    yav_status_t unmarshal(YavSharedMemIterator&, void*) override {
        return YAV_S_INVALID_PARAMETER;
    }
    yav_status_t marshal(YavSharedMemAllocator& a) override {
        const int size = m_pair.marshal(nullptr, 0);
        for (int i = 0; i < kElements; ++i) {
            void* data = nullptr;
            yav_status_t status = a.allocate(static_cast<unsigned>(size), &data);
            if (status != 0) return status;
            m_pair.marshal(static_cast<unsigned char*>(data), size);
        }
        return 0;
    }
    int getType() const override { return yav_msg_web_req_question; }

  private:
    YavProxyIFMsgNameValue m_pair;
};

// The answer: one element holding one name/value pair; made in a class
// allocator so a warm dispatch needs no heap.
class BenchAnswer : public YavProxyIFMessage {
  public:
    static YavClassAllocator m_allocator;

    static void* operator new(size_t size, const std::nothrow_t&) noexcept {
        return YavAllocator::allocate(m_allocator.allocator(), size);
    }
    static void operator delete(void* p) noexcept {
        YavAllocator::deallocate(m_allocator.allocator(), p);
    }

    yav_status_t unmarshal(YavSharedMemIterator& it, void*) override {
        unsigned len = 0;
        void* data = nullptr;
        yav_status_t status = it.getNextElement(&len, &data);
        if (status != 0) return status;
        YavProxyIFMsgNameValue pair;
        if (pair.unmarshal(static_cast<const unsigned char*>(data), static_cast<int>(len)) < 0) {
            return YAV_S_UNMARSHAL_FAILED;
        }
        m_valueLength = pair.getValue().getLength();
        return 0;
    }
    yav_status_t marshal(YavSharedMemAllocator&) override { return YAV_S_INVALID_PARAMETER; }
    int getType() const override { return yav_msg_web_trans_answer; }
    int valueLength() const { return m_valueLength; }

  private:
    int m_valueLength = 0;
};
YavClassAllocator BenchAnswer::m_allocator(YAV_N_GENERAL_ALLOCATOR, sizeof(BenchAnswer));

class BenchAnswerFactory : public YavProxyIFMsgFactory {
  public:
    int getType() const override { return yav_msg_web_trans_answer; }
    yav_status_t createMsg(YavProxyIFMessage** out) override {
        *out = new (std::nothrow) BenchAnswer();
        return *out != nullptr ? 0 : YAV_S_NO_MEMORY;
    }
};

// Reads the question's elements and answers with one pair of about 200
// bytes.
class BenchHandler : public YavWorkerHandler {
  public:
    yav_status_t handle(int, int, YavSharedMemIterator& question, YavSharedMemAllocator& answer,
                        int* answerType) override {
        unsigned total = 0;
        while (question.hasMoreElements()) {
            unsigned len = 0;
            void* data = nullptr;
            yav_status_t status = question.getNextElement(&len, &data);
            if (status != 0) return status;
            total += len;
        }
        if (total == 0) return YAV_S_INVALID_PARAMETER;
        YavProxyIFMsgNameValue pair;
        pair.set(YavStringRef("status"), YavStringRef(g_answerValue, kAnswerValueLength));
        const int size = pair.marshal(nullptr, 0);
        void* data = nullptr;
        yav_status_t status = answer.allocate(static_cast<unsigned>(size), &data);
        if (status != 0) return status;
        pair.marshal(static_cast<unsigned char*>(data), size);
        *answerType = yav_msg_web_trans_answer;
        return 0;
    }
};

YavWorkerServer* g_server = nullptr;
BenchHandler g_handler;
YavProxyIFDispatcher g_dispatcher;

bool dispatchOne(BenchQuestion& question) {
    YavProxyIFMessage* answer = nullptr;
    bool retry = false;
    yav_status_t status = g_dispatcher.dispatch(question, &answer, nullptr, &retry);
    bool ok = status == 0 && answer != nullptr &&
              static_cast<BenchAnswer*>(answer)->valueLength() == kAnswerValueLength;
    if (answer != nullptr) answer->deleteMe();
    return ok;
}

// Each thread's time for its share of the iterations (every thread runs
// the same number), for the slowest thread's share of the mean throughput.
const int kMaxThreads = 32;
std::atomic<int64_t> g_threadNanos[kMaxThreads];

int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void BM_Dispatch(benchmark::State& state) {
    BenchQuestion question;
    const int me = state.thread_index();
    const bool timed = state.threads() > 1 && me < kMaxThreads;
    int64_t start = 0;
    for (auto _ : state) {
        if (timed && start == 0) start = nowNanos();
        if (!dispatchOne(question)) {
            state.SkipWithError("dispatch failed");
            break;
        }
        if (timed) g_threadNanos[me].store(nowNanos() - start);
    }
    state.SetItemsProcessed(state.iterations());
    if (me == 0 && state.threads() > 1 && state.threads() <= kMaxThreads) {
        // Every thread has left the loop (the benchmark's stop barrier).
        // With equal counts a thread's throughput is 1 / its time: the
        // slowest share is 1 / the longest time over the mean of 1 / time.
        int64_t longest = 0;
        double rates = 0;
        for (int i = 0; i < state.threads(); ++i) {
            const int64_t t = g_threadNanos[i].load();
            if (t > 0) rates += 1.0 / static_cast<double>(t);
            if (t > longest) longest = t;
        }
        if (longest > 0 && rates > 0) {
            state.counters["slowest_share"] =
                1.0 / static_cast<double>(longest) / (rates / state.threads());
        }
    }
    if (state.threads() == 1) {
        yav_bench::countHeapAllocations(state, 1000, [&] {
            for (int i = 0; i < 1000; ++i) dispatchOne(question);
        });
    }
}
BENCHMARK(BM_Dispatch)->Threads(1)->Threads(2)->Threads(8)->Threads(32)->UseRealTime();

bool startServer() {
    memset(g_value, 'v', sizeof g_value - 1);
    memset(g_answerValue, 'a', kAnswerValueLength);
    g_key = new YavIpcTestKey("yavdispbench");
    if (!g_key->ok()) {
        fprintf(stderr, "no key file: %s\n", g_key->error().c_str());
        return false;
    }
    g_server = new YavWorkerServer();
    yav_status_t status = g_server->start(g_key->path(), kWorkers, 4096, &g_handler);
    if (status == 0) status = BenchAnswer::m_allocator.acquire();
    if (status == 0) status = g_dispatcher.initialize(nullptr, g_key->path());
    if (status == 0) {
        BenchAnswerFactory* factory = new (std::nothrow) BenchAnswerFactory();
        status =
            factory == nullptr ? YAV_S_NO_MEMORY : g_dispatcher.registerProxyMsgFactory(factory);
        if (status != 0) delete factory;
    }
    if (status != 0) fprintf(stderr, "cannot set up the dispatcher: %#x\n", status);
    return status == 0;
}

void stopServer() {
    g_dispatcher.shutdown();
    if (BenchAnswer::m_allocator.isAcquired()) BenchAnswer::m_allocator.release();
    if (g_server != nullptr) g_server->stop();
    delete g_server;
    g_server = nullptr;
    delete g_key;  // removes anything left under the key
    g_key = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGINT, onSignal);
    signal(SIGTERM, onSignal);
    signal(SIGHUP, onSignal);
    if (const char* failed = yav_bench::pingPongStart()) {
        perror(failed);
        yav_bench::pingPongRemove();
        return 1;
    }
    int rc = 1;
    if (startServer()) {
        rc = yav_bench::runWithRatios(
            argc, argv, "Ratios (same run):",
            {{"BM_Dispatch/real_time/threads:1", "BM_SemPingPong/real_time"},
             {"BM_Dispatch/real_time/threads:1", "BM_ProtocolFloor/real_time"},
             {"BM_ProtocolFloor/real_time", "BM_SemPingPong/real_time"},
             {"BM_Dispatch/real_time/threads:2", "BM_Dispatch/real_time/threads:32"}});
    }
    stopServer();
    yav_bench::pingPongRemove();
    return rc;
}
