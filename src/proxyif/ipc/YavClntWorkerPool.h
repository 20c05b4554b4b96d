// YavClntWorkerPool: the plug-in's side of the worker pool.  Hands free
// workers of the authorization server to request threads, takes them back,
// and re-attaches every shared object after the server restarted.
//
// Memory: the pool owns its segment attachments (YavWorkerPool) and the
// buffers it hands out until replaceWorker() takes them back.
//
// Threads: every request thread of the process calls getFreeWorker and
// replaceWorker concurrently; refresher/refresh/waitRefresh coordinate a
// re-attachment (one elected thread refreshes, the others wait).
// initialize and shutdown need exclusive access.  m_activeCount and
// m_refreshing are atomics (a question takes no process-local lock);
// m_mutex and m_cond serve only the refresh: m_refreshing is set and
// cleared under m_mutex, m_cond is broadcast when it changes and, while it
// is set, whenever a caller leaves.  Across processes the pool lock
// semaphore guards the state list and the worker_info records; within the
// process m_lockMutex is held for as long as a thread holds that
// semaphore, so the threads of one process meet on a process-local mutex
// and the semaphore is contended only between processes.  Not copyable.
#ifndef YAV_PROXYIF_IPC_YAVCLNTWORKERPOOL_H
#define YAV_PROXYIF_IPC_YAVCLNTWORKERPOOL_H

#include <pthread.h>

#include <atomic>
#include <ctime>

#include "core/sundry/yav_base.h"
#include "proxyif/ipc/YavWorkerPool.h"

class YavClntWorkerBuffer;

class YavClntWorkerPool : public YavWorkerPool {
  public:
    // A worker FREE with inUse set for more than this many seconds is
    // taken over (its holder is presumed gone).
    static constexpr int kTakeoverSeconds = 30;
    // After this many fruitless scans getFreeWorker sleeps one second.
    static constexpr int kBusyRetries = 500;

    // The clock of takenTime (seconds since the epoch).  Tests replace it.
    static time_t (*m_clock)();

    YavClntWorkerPool();
    ~YavClntWorkerPool() override;
    YAV_DISALLOW_COPY(YavClntWorkerPool);

    // Attaches the four objects named by path.  YAV_S_IPC_KEY_CREATE when
    // path names no file, YAV_S_IPC_NO_SEGMENT when the server has not
    // created them, YAV_S_THREAD_INIT when the mutex or condition cannot be
    // made.
    yav_status_t initialize(const char* path);
    // Takes a free worker; blocks while none is free.  *out belongs to the
    // caller until replaceWorker(*out).  YAV_S_IPC_KEY_REMOVED or
    // YAV_S_IPC_INVALID_ID when the server removed or replaced its objects
    // and the pool needs a refresh (also after a refresh that failed).
    // REQUIRES: YavClntWorkerBuffer::m_allocator is acquired.
    yav_status_t getFreeWorker(YavClntWorkerBuffer** out);
    // Gives the worker back and deletes buf.
    yav_status_t replaceWorker(YavClntWorkerBuffer* buf);
    // True for exactly one caller until refresh() ends.
    bool refresher();
    // Re-attaches everything; run by the elected thread only.
    yav_status_t refresh();
    // Blocks while a refresh is running.
    void waitRefresh();
    // Detaches both segments and destroys the mutex and condition.
    // Semaphore sets are left alone.  Returns 0.
    yav_status_t shutdown();

    // The number of threads between getFreeWorker and replaceWorker.
    int activeCount();
    bool isRefreshing();

  private:
    // Counts the caller as active; false (and not counted) while a refresh
    // is pending.
    bool enter();
    void leave();
    // Takes m_lockMutex with the thread's cancellation disabled (a thread
    // cancelled in the lock wait would keep the mutex); returns the
    // previous cancellation state for releaseLockMutex.
    int holdLockMutex();
    void releaseLockMutex(int cancelState);
    // Takes one count of the free-worker semaphore and the pool lock, both
    // on the set *semId (and m_lockMutex, *cancelState as holdLockMutex);
    // on failure holds none of them.  Re-attaches the pool semaphores once
    // when the set was removed.  YAV_S_IPC_ABANDONED counts as success
    // (traced).
    yav_status_t takeCountAndLock(int* semId, int* cancelState);
    // Releases what takeCountAndLock or lockPoolSet took: the pool lock
    // (giving a count back with it when giveBack) and m_lockMutex.
    yav_status_t unlockHeld(int semId, bool giveBack, int cancelState);

    std::atomic<int> m_activeCount{0};
    std::atomic<bool> m_refreshing{false};
    bool m_syncCreated = false;
    pthread_mutex_t m_mutex;
    pthread_cond_t m_cond;
    pthread_mutex_t m_lockMutex;
};

#endif  // YAV_PROXYIF_IPC_YAVCLNTWORKERPOOL_H
