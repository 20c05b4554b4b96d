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

}  // namespace

time_t (*YavClntWorkerPool::m_clock)() = systemClock;

YavClntWorkerPool::YavClntWorkerPool() = default;

YavClntWorkerPool::~YavClntWorkerPool() {
    if (m_syncCreated) {
        pthread_cond_destroy(&m_cond);
        pthread_mutex_destroy(&m_mutex);
        m_syncCreated = false;
    }
}

yav_status_t YavClntWorkerPool::initialize(const char* path) {
    yav_status_t st = setPath(path);
    if (st != 0) return st;
    m_activeCount = 0;
    m_refreshing = false;
    if (!m_syncCreated) {
        if (pthread_mutex_init(&m_mutex, nullptr) != 0) return YAV_S_THREAD_INIT;
        if (pthread_cond_init(&m_cond, nullptr) != 0) {
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

void YavClntWorkerPool::leave() {
    YavMutexLock lock(&m_mutex);
    --m_activeCount;
    pthread_cond_broadcast(&m_cond);
}

yav_status_t YavClntWorkerPool::getFreeWorker(YavClntWorkerBuffer** out) {
    *out = nullptr;
    {
        YavMutexLock lock(&m_mutex);
        while (m_refreshing) pthread_cond_wait(&m_cond, &m_mutex);
        ++m_activeCount;
    }
    // A failed refresh left nothing to scan: ask for another refresh before
    // taking a count (the segments change only while no thread is active).
    if (m_stateList == nullptr || m_workerShm == nullptr) {
        leave();
        return YAV_S_IPC_KEY_REMOVED;
    }
    // Every count taken below is given back on every path that does not
    // hand out a worker, and on the set it was taken from: a lost count
    // would leave the threads blocked in the wait for ever.
    yav_status_t st = 0;
    int attempts = 0;
    for (;;) {
        int semId = getPoolSemId();
        YAV_PROXYIF_TRACE("Waiting on pool semaphore...\n");
        st = waitPoolSet(semId);
        if (st == YAV_S_IPC_KEY_REMOVED) {
            if (initPoolSemaphores(false, false) != 0) break;  // the server is not back yet
            semId = getPoolSemId();
            YAV_PROXYIF_TRACE("Waiting on pool semaphore...\n");
            st = waitPoolSet(semId);
        }
        if (st != 0) break;
        st = lockPoolSet(semId);
        if (st == YAV_S_IPC_ABANDONED) {
            YAV_PROXYIF_TRACE("*** Pool lock abandoned ***\n");
            st = 0;
        }
        if (st != 0) {
            signalPoolSet(semId);
            break;
        }

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
            YavClntWorkerBuffer* buf = YavClntWorkerBuffer::create();
            st = buf == nullptr ? YAV_S_NO_MEMORY : buf->initialize(info, *m_workerShm);
            if (st == 0) {
                info->inUse = 1;
                info->cleaned = 0;
                info->takenTime = static_cast<int32_t>(now);
                *out = buf;
                unlockPoolSet(semId);
                return 0;
            }
            // Leave the worker as it was found and give its count back.
            if (buf != nullptr) buf->deleteMe();
            setState(found, FREE);
            signalPoolSet(semId);
            unlockPoolSet(semId);
            break;
        }

        // The free count and the state list disagree: give the count back
        // and try again, pausing now and then so the holders can catch up.
        signalPoolSet(semId);
        if (!poolMgrShmIsCurrent()) {
            // The server replaced the pool-manager segment: this state list
            // is no longer kept, and entries left TAKEN in it never become
            // free.  The pool needs a refresh, which waits for this thread.
            unlockPoolSet(semId);
            st = YAV_S_IPC_KEY_REMOVED;
            break;
        }
        if (++attempts >= kBusyRetries) {
            unlockPoolSet(semId);
            yavthread_sleep_np(1);
            attempts = 0;
        } else {
            unlockPoolSet(semId);
        }
    }
    leave();
    return st;
}

yav_status_t YavClntWorkerPool::replaceWorker(YavClntWorkerBuffer* buf) {
    // Lock, unlock and give back on one set (see getFreeWorker).
    const int semId = getPoolSemId();
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
        buf->deleteMe();
        unlockPoolSet(semId);
        st = signalPoolSet(semId);
    } else {
        // Interruptions are repeated, so the lock fails only when the set
        // is gone, and the count with it.
        buf->deleteMe();
    }
    leave();
    return st;
}

bool YavClntWorkerPool::refresher() {
    YavMutexLock lock(&m_mutex);
    if (m_refreshing) return false;
    m_refreshing = true;
    pthread_cond_broadcast(&m_cond);
    return true;
}

yav_status_t YavClntWorkerPool::refresh() {
    yav_status_t st = initPoolSemaphores(false, true);
    if (st == 0) st = initWorkerSemaphores(false, true);
    {
        YavMutexLock lock(&m_mutex);
        while (m_activeCount > 0) pthread_cond_wait(&m_cond, &m_mutex);
    }
    if (st == 0) {
        st = initPoolMgrShm(false, true, nullptr);
        if (st == 0) st = initWorkerShm(false, true, nullptr);
    }
    YavMutexLock lock(&m_mutex);
    m_refreshing = false;
    pthread_cond_broadcast(&m_cond);
    return st;
}

void YavClntWorkerPool::waitRefresh() {
    YavMutexLock lock(&m_mutex);
    while (m_refreshing) pthread_cond_wait(&m_cond, &m_mutex);
}

yav_status_t YavClntWorkerPool::shutdown() {
    YAV_PROXYIF_TRACE("Detaching from worker shared memory...\n");
    releaseShm(&m_workerShm, YAV_S_WORKER_SHM_DETACH);
    releaseShm(&m_poolMgrShm, YAV_S_POOL_MGR_SHM_DETACH);
    clearLayout();
    if (m_syncCreated) {
        pthread_cond_destroy(&m_cond);
        pthread_mutex_destroy(&m_mutex);
        m_syncCreated = false;
    }
    return 0;
}

int YavClntWorkerPool::activeCount() {
    if (!m_syncCreated) return 0;
    YavMutexLock lock(&m_mutex);
    return m_activeCount;
}

bool YavClntWorkerPool::isRefreshing() {
    if (!m_syncCreated) return false;
    YavMutexLock lock(&m_mutex);
    return m_refreshing;
}
