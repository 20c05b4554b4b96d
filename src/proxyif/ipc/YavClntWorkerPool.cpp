#include "proxyif/ipc/YavClntWorkerPool.h"

#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "core/msg/yav_status.h"
#include "core/threads/yavthread.h"
#include "proxyif/framework/YavProxyIFLog.h"
#include "proxyif/ipc/YavClntWorkerBuffer.h"
#include "proxyif/ipc/YavSharedMem.h"

namespace {

time_t systemClock() { return time(nullptr); }

const char* stateName(int state) {
    switch (state) {
        case YavWorkerPool::TAKEN:
            return "TAKEN";
        case YavWorkerPool::FREE:
            return "FREE";
        case YavWorkerPool::CLEANED:
            return "CLEANED";
        default:
            return "?";
    }
}

// The mutex held with the pool lock is held for two semops at most: a
// waiter spins briefly before it sleeps.
bool initLockMutex(pthread_mutex_t* mutex) {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) return false;
#if defined(PTHREAD_ADAPTIVE_MUTEX_INITIALIZER_NP)
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_ADAPTIVE_NP);
#endif
    bool ok = pthread_mutex_init(mutex, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
    return ok;
}

}  // namespace

time_t (*YavClntWorkerPool::m_clock)() = systemClock;

YavClntWorkerPool::YavClntWorkerPool() = default;

YavClntWorkerPool::~YavClntWorkerPool() {
    if (m_syncCreated) {
        pthread_mutex_destroy(&m_lockMutex);
        pthread_cond_destroy(&m_cond);
        pthread_mutex_destroy(&m_mutex);
        m_syncCreated = false;
    }
}

yav_status_t YavClntWorkerPool::initialize(const char* path) {
    yav_status_t st = setPath(path);
    if (st != 0) return st;
    m_activeCount.store(0);
    m_refreshing.store(false);
    if (!m_syncCreated) {
        if (pthread_mutex_init(&m_mutex, nullptr) != 0) return YAV_S_THREAD_INIT;
        if (pthread_cond_init(&m_cond, nullptr) != 0) {
            pthread_mutex_destroy(&m_mutex);
            return YAV_S_THREAD_INIT;
        }
        if (!initLockMutex(&m_lockMutex)) {
            pthread_cond_destroy(&m_cond);
            pthread_mutex_destroy(&m_mutex);
            return YAV_S_THREAD_INIT;
        }
        m_syncCreated = true;
    }
    st = initPoolSemaphores(false, false);
    if (st == 0) st = initPoolMgrShm(false, false, nullptr);
    if (st == 0) st = initWorkerSemaphores(false, false);
    if (st == 0) st = initWorkerShm(false, false, nullptr);
    if (st != 0) return st;

    YavMutexLock holding(&m_lockMutex);
    st = lockPoolManager();
    if (st == YAV_S_IPC_ABANDONED) {
        YAV_PROXYIF_TRACE("*** Pool lock abandoned ***\n");
        st = 0;
    }
    if (st != 0) return st;
    YavTrace* trace = YavProxyIFLog::peek();
    if (trace != nullptr && trace->isEnabled(YavProxyIFLog::kDefaultLevel)) {
        YAV_PROXYIF_TRACE("Pool Manager info...\n");
        YAV_PROXYIF_TRACE("Ref = %x\n",
                          static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_header)));
        YAV_PROXYIF_TRACE("Version %d%d\n", m_header->versionMajor, m_header->versionMinor);
        char name[sizeof(m_header->serverName) + 1];
        memcpy(name, m_header->serverName, sizeof(m_header->serverName));
        name[sizeof(m_header->serverName)] = '\0';
        YAV_PROXYIF_TRACE("Server Name %s\n", name);
        YAV_PROXYIF_TRACE("numWorkers = %d\n", m_numWorkers);
        YAV_PROXYIF_TRACE("semId = %d\n", m_header->semId);
        YAV_PROXYIF_TRACE("lockNum = %d\n", m_header->lockNum);
        YAV_PROXYIF_TRACE("semNum = %d\n", m_header->semNum);
        YAV_PROXYIF_TRACE("State List Ref = %x\n",
                          static_cast<unsigned>(reinterpret_cast<uintptr_t>(m_stateList)));
        YAV_PROXYIF_TRACE("State List -->");
        for (int i = 0; i < m_numWorkers; ++i) YAV_PROXYIF_TRACE("%s", stateName(m_stateList[i]));
        YAV_PROXYIF_TRACE(" <-- End of State List\n");
    }
    return unlockPoolManager();
}

bool YavClntWorkerPool::enter() {
    // The count and the flag are atomics so that a question passes with no
    // lock at all; the mutex is taken only while a refresh is pending.  A
    // refresh sets the flag and then reads the count, a caller raises the
    // count and then reads the flag (both sequentially consistent): either
    // the refresh sees this caller and waits for it, or the caller sees the
    // refresh and backs out.
    m_activeCount.fetch_add(1);
    if (!m_refreshing.load()) return true;
    leave();
    return false;
}

void YavClntWorkerPool::leave() {
    m_activeCount.fetch_sub(1);
    if (m_refreshing.load()) {
        // A refresh may be waiting for the count to drain.
        YavMutexLock lock(&m_mutex);
        pthread_cond_broadcast(&m_cond);
    }
}

int YavClntWorkerPool::holdLockMutex() {
    // A thread cancelled in a wait for the pool lock would leave the mutex
    // held for ever: no cancellation while it is held.
    int cancelState = PTHREAD_CANCEL_ENABLE;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
    yavthread_mutex_lock(&m_lockMutex);
    return cancelState;
}

void YavClntWorkerPool::releaseLockMutex(int cancelState) {
    yavthread_mutex_unlock(&m_lockMutex);
    pthread_setcancelstate(cancelState, nullptr);
}

yav_status_t YavClntWorkerPool::takeCountAndLock(int* semIdOut, int* cancelState) {
    bool reattached = false;
    for (;;) {
        const int semId = getPoolSemId();
        YAV_PROXYIF_TRACE("Waiting on pool semaphore...\n");
        // With more callers in this process than workers the count is most
        // likely 0: go straight to the wait rather than first try in vain.
        yav_status_t st = YAV_S_IPC_WOULD_BLOCK;
        const bool tryFirst = m_activeCount.load(std::memory_order_relaxed) <= m_numWorkers;
        if (tryFirst) {
            *cancelState = holdLockMutex();
            st = waitAndLockPoolSet(semId, true);
        }
        if (st == YAV_S_IPC_WOULD_BLOCK) {
            // No worker is free (or another process holds the lock): wait
            // for the count alone, without the mutex, which the threads of
            // this process need to give their workers back.  This wait is
            // a cancellation point.
            if (tryFirst) releaseLockMutex(*cancelState);
            st = waitPoolSet(semId);
            if (st == 0) {
                *cancelState = holdLockMutex();
                st = lockPoolSet(semId);
                if (st != 0 && st != YAV_S_IPC_ABANDONED) {
                    releaseLockMutex(*cancelState);
                    signalPoolSet(semId);
                    return st;
                }
            }
        } else if (st != 0 && st != YAV_S_IPC_ABANDONED) {
            releaseLockMutex(*cancelState);
        }
        if (st == YAV_S_IPC_ABANDONED) {
            YAV_PROXYIF_TRACE("*** Pool lock abandoned ***\n");
            st = 0;
        }
        if (st == 0) {
            *semIdOut = semId;
            return 0;
        }
        // The set was removed: attach the new one (when the server is back)
        // and wait once more.
        if (st != YAV_S_IPC_KEY_REMOVED || reattached) return st;
        reattached = true;
        if (initPoolSemaphores(false, false) != 0) return st;
    }
}

yav_status_t YavClntWorkerPool::unlockHeld(int semId, bool giveBack, int cancelState) {
    yav_status_t st = giveBack ? unlockAndSignalPoolSet(semId) : unlockPoolSet(semId);
    releaseLockMutex(cancelState);
    return st;
}

yav_status_t YavClntWorkerPool::getFreeWorker(YavClntWorkerBuffer** out) {
    *out = nullptr;
    while (!enter()) waitRefresh();
    // A failed refresh left nothing to scan: ask for another refresh before
    // taking a count (the segments change only while no thread is active).
    if (m_stateList == nullptr || m_workerShm == nullptr) {
        leave();
        return YAV_S_IPC_KEY_REMOVED;
    }
    // Every count taken below is given back on every path that does not
    // hand out a worker, and on the set it was taken from: a lost count
    // would leave the threads blocked in the wait for ever.  The count is
    // given back in the same semop that releases the lock.
    // The buffer is made before the lock is taken, so that the lock is
    // held for no allocation.
    YavClntWorkerBuffer* buf = YavClntWorkerBuffer::create();
    if (buf == nullptr) {
        leave();
        return YAV_S_NO_MEMORY;
    }
    yav_status_t st = 0;
    int attempts = 0;
    for (;;) {
        int semId = -1;
        int cancelState = PTHREAD_CANCEL_ENABLE;
        st = takeCountAndLock(&semId, &cancelState);
        if (st != 0) break;

        time_t now = m_clock();
        int found = -1;
        for (int i = 0; i < m_numWorkers; ++i) {
            if (m_stateList[i] != FREE) continue;
            worker_info* info = &m_workerInfo[i];
            if (info->inUse == 0) {
                found = i;
                break;
            }
            if (now - static_cast<time_t>(info->takenTime) > kTakeoverSeconds) {
                // The holder is presumed gone: take its count back too.
                info->cleaned = 0;
                info->inUse = 0;
                info->takenTime = 0;
                signalPoolSet(semId);
                found = i;
                break;
            }
        }

        if (found >= 0) {
            worker_info* info = &m_workerInfo[found];
            setState(found, TAKEN);
            YAV_PROXYIF_TRACE("Client %d using worker %d", static_cast<int>(m_pid), found);
            st = buf->initialize(info, *m_workerShm);
            if (st == 0) {
                info->inUse = 1;
                info->cleaned = 0;
                info->takenTime = static_cast<int32_t>(now);
                *out = buf;
                unlockHeld(semId, false, cancelState);
                return 0;
            }
            // Leave the worker as it was found and give its count back.
            setState(found, FREE);
            unlockHeld(semId, true, cancelState);
            break;
        }

        // The free count and the state list disagree: give the count back
        // and try again, pausing now and then so the holders can catch up.
        if (!poolMgrShmIsCurrent()) {
            // The server replaced the pool-manager segment: this state list
            // is no longer kept, and entries left TAKEN in it never become
            // free.  The pool needs a refresh, which waits for this thread.
            unlockHeld(semId, true, cancelState);
            st = YAV_S_IPC_KEY_REMOVED;
            break;
        }
        unlockHeld(semId, true, cancelState);
        if (++attempts >= kBusyRetries) {
            yavthread_sleep_np(1);
            attempts = 0;
        }
    }
    buf->deleteMe();
    leave();
    return st;
}

yav_status_t YavClntWorkerPool::replaceWorker(YavClntWorkerBuffer* buf) {
    // Lock, unlock and give back on one set (see getFreeWorker).
    const int semId = getPoolSemId();
    const int cancelState = holdLockMutex();
    yav_status_t st = lockPoolSet(semId);
    if (st == YAV_S_IPC_ABANDONED) {
        YAV_PROXYIF_TRACE("*** Pool lock abandoned ***\n");
        st = 0;
    }
    if (st == 0) {
        worker_info* info = buf->getInfo();
        long index = info == nullptr || m_workerInfo == nullptr ? -1 : info - m_workerInfo;
        if (index >= 0 && index < m_numWorkers) {
            int state = getState(static_cast<int>(index));
            if (state == TAKEN) {
                setState(static_cast<int>(index), FREE);
            } else if (state == FREE && info->cleaned != 0) {
                YAV_PROXYIF_LTRACE(0, "Replacing cleaned worker %d: Cleaned: %d, Replaced: %d",
                                   static_cast<int>(index), info->takenTime,
                                   static_cast<int>(m_clock()));
                info->cleaned = 0;
            }
            info->takenTime = 0;
            info->inUse = 0;
        }
        st = unlockHeld(semId, true, cancelState);
        buf->deleteMe();
    } else {
        // Interruptions are repeated, so the lock fails only when the set
        // is gone, and the count with it.
        releaseLockMutex(cancelState);
        buf->deleteMe();
    }
    leave();
    return st;
}

bool YavClntWorkerPool::refresher() {
    YavMutexLock lock(&m_mutex);
    if (m_refreshing.load()) return false;
    m_refreshing.store(true);
    pthread_cond_broadcast(&m_cond);
    return true;
}

yav_status_t YavClntWorkerPool::refresh() {
    yav_status_t st = initPoolSemaphores(false, true);
    if (st == 0) st = initWorkerSemaphores(false, true);
    {
        YavMutexLock lock(&m_mutex);
        while (m_activeCount.load() > 0) pthread_cond_wait(&m_cond, &m_mutex);
    }
    if (st == 0) {
        st = initPoolMgrShm(false, true, nullptr);
        if (st == 0) st = initWorkerShm(false, true, nullptr);
    }
    YavMutexLock lock(&m_mutex);
    m_refreshing.store(false);
    pthread_cond_broadcast(&m_cond);
    return st;
}

void YavClntWorkerPool::waitRefresh() {
    YavMutexLock lock(&m_mutex);
    while (m_refreshing.load()) pthread_cond_wait(&m_cond, &m_mutex);
}

yav_status_t YavClntWorkerPool::shutdown() {
    YAV_PROXYIF_TRACE("Detaching from worker shared memory...\n");
    releaseShm(&m_workerShm, YAV_S_WORKER_SHM_DETACH);
    releaseShm(&m_poolMgrShm, YAV_S_POOL_MGR_SHM_DETACH);
    clearLayout();
    if (m_syncCreated) {
        pthread_mutex_destroy(&m_lockMutex);
        pthread_cond_destroy(&m_cond);
        pthread_mutex_destroy(&m_mutex);
        m_syncCreated = false;
    }
    return 0;
}

int YavClntWorkerPool::activeCount() { return m_activeCount.load(); }

bool YavClntWorkerPool::isRefreshing() { return m_refreshing.load(); }
