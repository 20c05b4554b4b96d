#include "proxyif/ipc/YavWorkerPool.h"

#include <pthread.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <new>

#include "core/msg/kr_msg.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "proxyif/framework/YavProxyIFLog.h"
#include "proxyif/ipc/YavSysVSemHelper.h"
#include "proxyif/ipc/YavSysVSharedMem.h"
#include "proxyif/ipc/yav_pool_lock_sync.h"

#if defined(__SANITIZE_THREAD__)
char yav_pool_lock_sync_object;
#endif

unsigned YavWorkerPool::poolMgrSize(int numWorkers) {
    if (numWorkers < 0) numWorkers = 0;
    return STATE_LIST_OFFSET +
           static_cast<unsigned>(numWorkers) * (sizeof(int32_t) + sizeof(worker_info));
}

YavWorkerPool::YavWorkerPool() : m_pid(getpid()) {}

YavWorkerPool::~YavWorkerPool() {
    releaseShm(&m_workerShm, YAV_S_WORKER_SHM_DETACH);
    releaseShm(&m_poolMgrShm, YAV_S_POOL_MGR_SHM_DETACH);
    clearLayout();
}

void YavWorkerPool::releaseShm(YavSharedMem** seg, yav_status_t detachCode) {
    if (*seg == nullptr) return;
    if ((*seg)->getBase() != nullptr) {
        yav_status_t st = (*seg)->detach();
        if (st != 0) {
            char text[256];
            uint32_t textStatus = 0;
            kr_error_inq_text(st, text, sizeof(text), &textStatus);
            if (textStatus != 0) text[0] = '\0';
            YAV_SVC_LOG(yav_svc_proxy_if, svc_c_sev_error, "%s%x", detachCode, text, st);
        }
    }
    delete *seg;
    *seg = nullptr;
}

void YavWorkerPool::clearLayout() {
    m_header = nullptr;
    m_stateList = nullptr;
    m_workerInfo = nullptr;
}

yav_status_t YavWorkerPool::setPath(const char* path) {
    if (path == nullptr) return YAV_S_INVALID_PARAMETER;
    return m_path.set(path) ? 0 : YAV_S_NO_MEMORY;
}

void YavWorkerPool::setCreateSizes(int numWorkers, unsigned poolMgrShmSize,
                                   unsigned workerShmSize) {
    m_numWorkers = numWorkers;
    m_poolMgrShmSize = poolMgrShmSize;
    m_workerShmSize = workerShmSize;
}

yav_status_t YavWorkerPool::initSemaphores(std::atomic<int>* semId, std::atomic<bool>* attached,
                                           char projId, int count, bool create, bool destroyFirst) {
    if (destroyFirst && create) {
        YavSysVSemHelper::destroySemSet(semId->load());
        semId->store(-1);
        attached->store(false);
    }
    // Read before semget: the set found below is at least as new as this one.
    int previous = semId->load();
    key_t key = YavSysVSharedMem::nameToKey(m_path.getData(), projId);
    if (key == -1) return YAV_S_IPC_KEY_CREATE;
    int id = create ? semget(key, count, IPC_CREAT | IPC_EXCL | 0660) : semget(key, 0, 0660);
    if (id == -1) return YavSysVSemHelper::mapError(errno);
    if (create) {
        semId->store(id);
    } else if (!semId->compare_exchange_strong(previous, id)) {
        // Another thread attached meanwhile, to a set found no earlier than
        // this one: keep its id so that the id never goes back to an older
        // (removed) set, which would swallow counts given back to it.
        return 0;
    }
    attached->store(true);
    return 0;
}

yav_status_t YavWorkerPool::initPoolSemaphores(bool create, bool destroyFirst) {
    yav_status_t st =
        initSemaphores(&m_poolSemId, &m_poolSemsAttached, POOL_SEM_ID, 2, create, destroyFirst);
    if (st != 0) return st;
    if (create) {
        st = YavSysVSemHelper::setValue(m_poolSemId.load(), static_cast<unsigned>(m_semNum),
                                        static_cast<unsigned>(m_numWorkers));
    }
    return st;
}

yav_status_t YavWorkerPool::initWorkerSemaphores(bool create, bool destroyFirst) {
    return initSemaphores(&m_workerSemId, &m_workerSemsAttached, WORKER_SEM_ID, 2 * m_numWorkers,
                          create, destroyFirst);
}

yav_status_t YavWorkerPool::createOrAttachShm(YavSharedMem* seg, const char* path, char projId,
                                              unsigned size, bool create, int* created) {
    if (!create) return seg->attach(path, projId);
    if (created != nullptr) *created = 0;
    yav_status_t st = seg->create(path, projId, size);
    if (st == YAV_S_IPC_KEY_EXISTS) {
        YAV_PROXYIF_TRACE("Shm already exists -- attaching...\n");
        return seg->attach(path, projId);
    }
    if (st == 0 && created != nullptr) *created = 1;
    return st;
}

yav_status_t YavWorkerPool::initShm(YavSharedMem** seg, char projId, unsigned size, bool create,
                                    bool reattach, int* created) {
    if (*seg != nullptr) {
        // A new object, so that the size of a recreated segment is learnt
        // afresh rather than bounded by the old one.
        if (reattach && create && (*seg)->getBase() != nullptr) (*seg)->destroy();
        releaseShm(seg,
                   projId == WORKER_SHM_ID ? YAV_S_WORKER_SHM_DETACH : YAV_S_POOL_MGR_SHM_DETACH);
    }
    YavSharedMem* fresh = new (std::nothrow) YavSysVSharedMem();
    if (fresh == nullptr) return YAV_S_NO_MEMORY;
    int made = 0;
    yav_status_t st = createOrAttachShm(fresh, m_path.getData(), projId, size, create, &made);
    if (created != nullptr) *created = made;
    if (st != 0) {
        delete fresh;
        return st;
    }
    *seg = fresh;
    return 0;
}

yav_status_t YavWorkerPool::initPoolMgrShm(bool create, bool reattach, int* created) {
    m_pid = getpid();
    clearLayout();
    int made = 0;
    yav_status_t st =
        initShm(&m_poolMgrShm, POOL_MGR_SHM_ID, m_poolMgrShmSize, create, reattach, &made);
    if (created != nullptr) *created = made;
    if (st == 0) {
        char* base = static_cast<char*>(m_poolMgrShm->getBase());
        uint64_t segSize = m_poolMgrShm->getSize();
        int workers = made ? m_numWorkers : reinterpret_cast<yav_pool_header*>(base)->numWorkers;
        // The header comes from another process: the records it announces
        // must lie inside the segment.
        if (segSize < STATE_LIST_OFFSET || workers <= 0 ||
            STATE_LIST_OFFSET +
                    static_cast<uint64_t>(workers) * (sizeof(int32_t) + sizeof(worker_info)) >
                segSize) {
            st = YAV_S_IPC_INVALID_WORKER_BUFFER;
        } else {
            m_numWorkers = workers;
            m_header = reinterpret_cast<yav_pool_header*>(base);
            m_stateList = reinterpret_cast<int32_t*>(base + STATE_LIST_OFFSET);
            m_workerInfo = reinterpret_cast<worker_info*>(base + STATE_LIST_OFFSET +
                                                          sizeof(int32_t) * workers);
            return 0;
        }
    }
    releaseShm(&m_poolMgrShm, YAV_S_POOL_MGR_SHM_DETACH);
    clearLayout();
    m_numWorkers = 0;
    return st;
}

yav_status_t YavWorkerPool::initWorkerShm(bool create, bool reattach, int* created) {
    return initShm(&m_workerShm, WORKER_SHM_ID, m_workerShmSize, create, reattach, created);
}

yav_status_t YavWorkerPool::destroyShm(YavSharedMem** seg, char projId) {
    if (*seg == nullptr) {
        *seg = new (std::nothrow) YavSysVSharedMem();
        if (*seg == nullptr) return YAV_S_NO_MEMORY;
    }
    yav_status_t st = 0;
    if ((*seg)->getBase() == nullptr) {
        st = (*seg)->attach(m_path.getData(), projId);
        if (st == YAV_S_IPC_NO_SEGMENT) {
            delete *seg;
            *seg = nullptr;
            return 0;
        }
    }
    if (st == 0) st = (*seg)->destroy();
    releaseShm(seg, projId == WORKER_SHM_ID ? YAV_S_WORKER_SHM_DETACH : YAV_S_POOL_MGR_SHM_DETACH);
    return st;
}

yav_status_t YavWorkerPool::destroyWorkerShm() { return destroyShm(&m_workerShm, WORKER_SHM_ID); }

yav_status_t YavWorkerPool::destroyPoolMgrShm() {
    clearLayout();
    return destroyShm(&m_poolMgrShm, POOL_MGR_SHM_ID);
}

yav_status_t YavWorkerPool::destroySemaphores(std::atomic<int>* semId, std::atomic<bool>* attached,
                                              char projId) {
    if (!attached->load()) {
        yav_status_t st = initSemaphores(semId, attached, projId, 0, false, false);
        if (st == YAV_S_IPC_NO_SEGMENT) return 0;
        if (st != 0) return st;
    }
    yav_status_t st = YavSysVSemHelper::destroySemSet(semId->load());
    semId->store(-1);
    attached->store(false);
    return st;
}

yav_status_t YavWorkerPool::destroyWorkerSemaphores() {
    return destroySemaphores(&m_workerSemId, &m_workerSemsAttached, WORKER_SEM_ID);
}

yav_status_t YavWorkerPool::destroyPoolSemaphores() {
    return destroySemaphores(&m_poolSemId, &m_poolSemsAttached, POOL_SEM_ID);
}

yav_status_t YavWorkerPool::lockPoolManager() { return lockPoolSet(m_poolSemId.load()); }

yav_status_t YavWorkerPool::unlockPoolManager() {
    if (!m_poolSemsAttached.load()) return 0;
    return unlockPoolSet(m_poolSemId.load());
}

yav_status_t YavWorkerPool::waitPoolSemaphore(int) { return waitPoolSet(m_poolSemId.load()); }

yav_status_t YavWorkerPool::signalPoolSemaphore() { return signalPoolSet(m_poolSemId.load()); }

yav_status_t YavWorkerPool::lockPoolSet(int semId) {
    yav_status_t st =
        semOpsUninterrupted(semId, YavSysVSemHelper::LOCK_OP, YavSysVSemHelper::LOCK_OP_COUNT);
    if (st != 0) return st;
    return noteLockTaken();
}

yav_status_t YavWorkerPool::waitAndLockPoolSet(int semId, bool noWait) {
    yav_status_t st = semOpsUninterrupted(
        semId, noWait ? YavSysVSemHelper::TRY_WAIT_LOCK_OP : YavSysVSemHelper::WAIT_LOCK_OP,
        YavSysVSemHelper::WAIT_LOCK_OP_COUNT);
    if (st != 0) return st;
    return noteLockTaken();
}

yav_status_t YavWorkerPool::noteLockTaken() {
    yav_pool_lock_acquired();
    if (m_header == nullptr) return 0;
    yav_status_t st = 0;
    if (m_header->lockHeld == 0) {
        m_header->lockHeld = 1;
    } else {
        st = YAV_S_IPC_ABANDONED;
    }
    m_header->lockPid = static_cast<int32_t>(m_pid);
    m_header->lockThread = static_cast<int32_t>(pthread_self());
    return st;
}

yav_status_t YavWorkerPool::unlockPoolSet(int semId) {
    if (m_header != nullptr) m_header->lockHeld = 0;
    yav_pool_lock_releasing();
    return YavSysVSemHelper::doSemOps(semId, YavSysVSemHelper::UNLOCK_OP,
                                      YavSysVSemHelper::UNLOCK_OP_COUNT);
}

yav_status_t YavWorkerPool::unlockAndSignalPoolSet(int semId) {
    if (m_header != nullptr) m_header->lockHeld = 0;
    yav_pool_lock_releasing();
    return opsAndSignal(semId, YavSysVSemHelper::UNLOCK_OP, YavSysVSemHelper::UNLOCK_OP_COUNT);
}

yav_status_t YavWorkerPool::waitPoolSet(int semId) {
    return semOpsUninterrupted(semId, YavSysVSemHelper::WAIT_OP, YavSysVSemHelper::WAIT_OP_COUNT);
}

yav_status_t YavWorkerPool::signalPoolSet(int semId) { return opsAndSignal(semId, nullptr, 0); }

yav_status_t YavWorkerPool::opsAndSignal(int semId, const struct sembuf* ops, unsigned n) {
    if (semId == -1) return 0;
    // The kernel checks the bound in the same semop when the count's
    // headroom below its limit can express it: no GETVAL, and no window in
    // which another raise could pass N.
    const int headroom = YavSysVSemHelper::maxValue() - m_numWorkers;
    if (m_numWorkers > 0 && headroom > 0 && headroom <= SHRT_MAX) {
        bool atMax = false;
        yav_status_t st = YavSysVSemHelper::opsAndRaiseBounded(
            semId, ops, n, static_cast<unsigned>(m_semNum), true, m_numWorkers, &atMax);
        // Nothing was applied: the other operations still are due.
        if (st == 0 && atMax && n > 0) st = YavSysVSemHelper::doSemOps(semId, ops, n);
        // A count that cannot be raised alone is left as it is, as when it
        // cannot be read below.
        return n == 0 ? 0 : st;
    }
    // Otherwise read the count first (another raise may still slip in
    // between; only a count that was taken is given back this way).
    yav_status_t st = n == 0 ? 0 : YavSysVSemHelper::doSemOps(semId, ops, n);
    if (st != 0) return st;
    int value = 0;
    if (YavSysVSemHelper::getValue(semId, static_cast<unsigned>(m_semNum), &value) != 0) return 0;
    if (value >= m_numWorkers) return 0;
    return YavSysVSemHelper::doSemOps(semId, YavSysVSemHelper::SIGNAL_OP,
                                      YavSysVSemHelper::SIGNAL_OP_COUNT);
}

yav_status_t YavWorkerPool::semOpsUninterrupted(int semId, const struct sembuf* ops, unsigned n) {
    for (;;) {
        yav_status_t st = YavSysVSemHelper::doSemOps(semId, ops, n);
        if (st != YAV_S_IPC_INTERRUPTED) return st;
        // A signal ended the sleep, not the wait.
        pthread_testcancel();
    }
}

bool YavWorkerPool::poolMgrShmIsCurrent() const {
    if (m_poolMgrShm == nullptr || m_poolMgrShm->getBase() == nullptr) return false;
    key_t key = YavSysVSharedMem::nameToKey(m_path.getData(), POOL_MGR_SHM_ID);
    if (key == -1) return false;
    int id = shmget(key, 0, 0);
    return id != -1 && id == m_poolMgrShm->getId();
}

yav_status_t YavWorkerPool::getFreeCount(int* value) const {
    return YavSysVSemHelper::getValue(m_poolSemId.load(), static_cast<unsigned>(m_semNum), value);
}

yav_status_t YavWorkerPool::getWorkerInfo(int i, worker_info** out) {
    if (m_workerInfo == nullptr || i < 0 || i >= m_numWorkers) return YAV_S_INVALID_PARAMETER;
    *out = &m_workerInfo[i];
    return 0;
}

yav_status_t YavWorkerPool::getStateList(int** out) {
    if (m_stateList == nullptr) return YAV_S_INVALID_PARAMETER;
    *out = m_stateList;
    return 0;
}

int YavWorkerPool::getState(int i) const { return m_stateList[i]; }

void YavWorkerPool::setState(int i, int state) { m_stateList[i] = state; }

yav_status_t YavWorkerPool::cleanupPool(const char* path) {
    YavWorkerPool pool;
    if (pool.setPath(path) != 0) return 0;
    pool.destroyWorkerShm();
    pool.destroyPoolMgrShm();
    pool.destroyPoolSemaphores();
    pool.destroyWorkerSemaphores();
    return 0;
}
