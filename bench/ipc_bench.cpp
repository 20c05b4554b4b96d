// Shared-memory interface costs: a bare System V semaphore ping-pong with a
// partner process (the baseline: one question and answer round trip costs
// at least this), and writing then iterating an element chain of four
// elements (about 600 bytes) in a segment.
//
// The ping-pong is bench/yav_pingpong.h; its partner is forked before the
// benchmark library starts any thread.  Every IPC object is private
// (IPC_PRIVATE); the segment is marked for removal as soon as it is
// attached, and the semaphore set is removed at exit and on SIGINT, SIGTERM
// and SIGHUP (the partner also ends when its parent dies).
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstdlib>

#include "bench/bench_support.h"
#include "bench/yav_pingpong.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/YavSysVSemHelper.h"
#include "proxyif/ipc/YavSysVSharedMem.h"

namespace {

YavSysVSharedMem g_segment;

void onSignal(int sig) {
    // Only async-signal-safe calls: semctl, kill, waitpid, _exit.
    yav_bench::pingPongKillFromSignal();
    _exit(128 + sig);
}

void BM_SemaphorePingPong(benchmark::State& state) { yav_bench::pingPongRoundTrips(state); }
BENCHMARK(BM_SemaphorePingPong)->UseRealTime();

// Writes four elements (150 bytes each) and reads them back.
bool writeAndIterate(unsigned char* payload) {
    YavSharedMemAllocator a;
    if (a.initialize(g_segment, 128, 1024) != 0) return false;
    for (int i = 0; i < 4; ++i) {
        void* data = nullptr;
        if (a.allocate(150, &data) != 0) return false;
        memcpy(data, payload, 150);
    }
    YavSharedMemIterator it;
    if (it.initialize(&a) != 0) return false;
    unsigned sum = 0;
    while (it.hasMoreElements()) {
        unsigned len = 0;
        void* data = nullptr;
        if (it.getNextElement(&len, &data) != 0) return false;
        sum += len + static_cast<unsigned char*>(data)[len - 1];
    }
    benchmark::DoNotOptimize(sum);
    return sum == 4u * (150u + payload[149]);
}

void BM_ChainWriteIterate(benchmark::State& state) {
    unsigned char payload[150];
    for (unsigned i = 0; i < sizeof payload; ++i) payload[i] = static_cast<unsigned char>(i);
    for (auto _ : state) {
        if (!writeAndIterate(payload)) {
            state.SkipWithError("chain failed");
            break;
        }
    }
    yav_bench::countHeapAllocations(state, 1000, [&] {
        for (int i = 0; i < 1000; ++i) writeAndIterate(payload);
    });
}
BENCHMARK(BM_ChainWriteIterate)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
    atexit(yav_bench::pingPongRemove);

    int shmId = shmget(IPC_PRIVATE, 4096, IPC_CREAT | 0600);
    if (shmId == -1) {
        fprintf(stderr, "shmget: %s\n", strerror(errno));
        return 1;
    }
    yav_status_t status = g_segment.attach(shmId);
    shmctl(shmId, IPC_RMID, nullptr);  // gone once detached, whatever happens
    if (status != 0) {
        fprintf(stderr, "attach: %#x\n", status);
        return 1;
    }

    if (const char* failed = yav_bench::pingPongStart()) {
        fprintf(stderr, "%s: %s\n", failed, strerror(errno));
        return 1;
    }

    int rc = yav_bench::runWithRatios(argc, argv, "Shared-memory costs relative to a round trip:",
                                      {{"BM_ChainWriteIterate", "BM_SemaphorePingPong"}});
    g_segment.detach();
    yav_bench::pingPongRemove();
    return rc;
}
