// Shared-memory interface costs: a bare System V semaphore ping-pong with a
// partner process (the baseline: one question and answer round trip costs
// at least this), and writing then iterating an element chain of four
// elements (about 600 bytes) in a segment.
//
// The partner is forked before the benchmark library starts any thread.
// Every IPC object is private (IPC_PRIVATE); the segment is marked for
// removal as soon as it is attached, and the semaphore set is removed at
// exit and on SIGINT, SIGTERM and SIGHUP (the partner also ends when its
// parent dies).
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/ipc.h>
#include <sys/prctl.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "bench/bench_support.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/YavSysVSemHelper.h"
#include "proxyif/ipc/YavSysVSharedMem.h"

namespace {

volatile sig_atomic_t g_semId = -1;
volatile sig_atomic_t g_partner = 0;
YavSysVSharedMem g_segment;

void removeObjects() {
    if (g_semId != -1) {
        semctl(g_semId, 0, IPC_RMID);  // also ends the partner's wait
        g_semId = -1;
    }
    if (g_partner > 0) {
        waitpid(g_partner, nullptr, 0);
        g_partner = 0;
    }
}

void onSignal(int sig) {
    // Only async-signal-safe calls: semctl, kill, waitpid, _exit.
    if (g_semId != -1) semctl(g_semId, 0, IPC_RMID);
    if (g_partner > 0) {
        kill(g_partner, SIGKILL);
        waitpid(g_partner, nullptr, 0);
    }
    _exit(128 + sig);
}

// The partner: answers every raise of semaphore 0 with a raise of 1.
[[noreturn]] void partner(int semId) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (;;) {
        struct sembuf take = {0, -1, 0};
        if (semop(semId, &take, 1) != 0) {
            if (errno == EINTR) continue;
            _exit(0);  // the set was removed
        }
        struct sembuf give = {1, 1, 0};
        if (semop(semId, &give, 1) != 0) _exit(0);
    }
}

void BM_SemaphorePingPong(benchmark::State& state) {
    const int semId = g_semId;
    struct sembuf raise = {0, 1, 0};
    struct sembuf await = {1, -1, 0};
    for (auto _ : state) {
        if (semop(semId, &raise, 1) != 0 || semop(semId, &await, 1) != 0) {
            state.SkipWithError("semop failed");
            break;
        }
    }
}
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
    int semId = semget(IPC_PRIVATE, 2, IPC_CREAT | 0600);
    if (semId == -1) {
        fprintf(stderr, "semget: %s\n", strerror(errno));
        return 1;
    }
    g_semId = semId;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
    atexit(removeObjects);

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

    pid_t child = fork();
    if (child == -1) {
        fprintf(stderr, "fork: %s\n", strerror(errno));
        return 1;
    }
    if (child == 0) partner(semId);
    g_partner = child;

    int rc = yav_bench::runWithRatios(argc, argv, "Shared-memory costs relative to a round trip:",
                                      {{"BM_ChainWriteIterate", "BM_SemaphorePingPong"}});
    g_segment.detach();
    removeObjects();
    return rc;
}
