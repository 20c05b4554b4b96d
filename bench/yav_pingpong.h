// The round-trip baseline of the IPC benchmarks: a bare System V semaphore
// ping-pong with a partner process.  One raise of semaphore 0 by the
// benchmark is answered by the partner with one raise of semaphore 1, so a
// question and answer through a worker costs at least one such round trip.
//
// One ping-pong per program: the set id and the partner's pid are process
// globals, so a signal handler can remove them.  Start it before any thread
// starts (it forks).  The set is private (IPC_PRIVATE); removing it ends the
// partner's wait, and the partner also ends when its parent dies.  Not
// copyable (free functions over process state); call from the main thread,
// except pingPongRoundTrips (the benchmark's thread) and
// pingPongKillFromSignal (signal handlers).
#ifndef YAV_BENCH_YAV_PINGPONG_H
#define YAV_BENCH_YAV_PINGPONG_H

#include <benchmark/benchmark.h>
#include <errno.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/prctl.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

namespace yav_bench {

inline volatile sig_atomic_t g_pingPongSemId = -1;
inline volatile sig_atomic_t g_pingPongPartner = 0;

// The partner: answers every raise of semaphore 0 with a raise of 1.
[[noreturn]] inline void pingPongPartner(int semId) {
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

// Creates the set and forks the partner.  Returns null on success, else the
// name of the call that failed (errno tells why); what was made before the
// failure is removed by pingPongRemove.
inline const char* pingPongStart() {
    int semId = semget(IPC_PRIVATE, 2, IPC_CREAT | 0600);
    if (semId == -1) return "semget";
    g_pingPongSemId = semId;
    pid_t pid = fork();
    if (pid == 0) pingPongPartner(semId);
    if (pid < 0) return "fork";
    g_pingPongPartner = pid;
    return nullptr;
}

// Removes the set and waits for the partner to end.  Safe to call twice or
// after a failed start.
inline void pingPongRemove() {
    if (g_pingPongSemId != -1) {
        semctl(g_pingPongSemId, 0, IPC_RMID);  // also ends the partner's wait
        g_pingPongSemId = -1;
    }
    if (g_pingPongPartner > 0) {
        waitpid(g_pingPongPartner, nullptr, 0);
        g_pingPongPartner = 0;
    }
}

// For signal handlers: async-signal-safe calls only (semctl, kill, waitpid).
inline void pingPongKillFromSignal() {
    if (g_pingPongSemId != -1) semctl(g_pingPongSemId, 0, IPC_RMID);
    if (g_pingPongPartner > 0) {
        kill(g_pingPongPartner, SIGKILL);
        waitpid(g_pingPongPartner, nullptr, 0);
    }
}

// The measured loop: one round trip per iteration.
// REQUIRES: pingPongStart succeeded.
inline void pingPongRoundTrips(benchmark::State& state) {
    const int semId = g_pingPongSemId;
    struct sembuf raise = {0, 1, 0};
    struct sembuf await = {1, -1, 0};
    for (auto _ : state) {
        if (semop(semId, &raise, 1) != 0 || semop(semId, &await, 1) != 0) {
            state.SkipWithError("semop failed");
            break;
        }
    }
}

}  // namespace yav_bench

#endif  // YAV_BENCH_YAV_PINGPONG_H
