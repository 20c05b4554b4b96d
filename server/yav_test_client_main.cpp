// yav_test_client: a plug-in process for multi-process tests of the worker
// pool.  It attaches to the pool, takes workers and optionally the pool
// lock, then waits to be killed, so a test can see what the pool makes of a
// holder that died.
//
// Options:
//   --key PATH   attach to the pool under PATH (required)
//   --take N     take N workers (getFreeWorker), printing "took <worker>" each
//   --lock       then take the pool lock and keep it
// Prints "holding" when done and waits; prints "failed <status>" and exits
// with 1 when a step fails; exits with 2 for bad options.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/YavClntWorkerBuffer.h"
#include "proxyif/ipc/YavClntWorkerPool.h"

namespace {

int failed(yav_status_t st) {
    printf("failed %#x\n", st);
    fflush(stdout);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* key = nullptr;
    long take = 0;
    bool lock = false;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--key") == 0 && i + 1 < argc) {
            key = argv[++i];
        } else if (strcmp(argv[i], "--take") == 0 && i + 1 < argc) {
            char* end = nullptr;
            take = strtol(argv[++i], &end, 10);
            if (*end != '\0' || take < 0 || take > 1024) return 2;
        } else if (strcmp(argv[i], "--lock") == 0) {
            lock = true;
        } else {
            return 2;
        }
    }
    if (key == nullptr) return 2;

    yav_status_t st = YavClntWorkerBuffer::m_allocator.acquire();
    if (st != 0) return failed(st);
    YavClntWorkerPool pool;
    st = pool.initialize(key);
    if (st != 0) return failed(st);
    for (long i = 0; i < take; ++i) {
        YavClntWorkerBuffer* buf = nullptr;
        st = pool.getFreeWorker(&buf);
        if (st != 0) return failed(st);
        printf("took %d\n", buf->getInfo()->workerId);
    }
    if (lock) {
        st = pool.lockPoolManager();
        if (st != 0 && st != YAV_S_IPC_ABANDONED) return failed(st);
    }
    printf("holding\n");
    fflush(stdout);
    for (;;) pause();
}
