// YavWorkerPool: the four System V objects that the plug-in and the
// authorization server share for the worker protocol, and the layouts of the
// two shared segments.
//
// All four objects are named by ftok over one path (the server identifier):
//   'w' worker segment        every worker's buffer
//   'p' pool-manager segment  yav_pool_header, the state list, worker_info[]
//   'q' pool semaphore set    0 = pool lock, 1 = number of free workers
//   'x' worker semaphore set  a request and a result semaphore per worker
// The authorization server creates them (the creating operations, create =
// true); the plug-in only attaches (YavClntWorkerPool).
//
// Memory: the pool owns its two YavSharedMem objects (the attachments, not
// the system objects: the destructor detaches, it never removes).  The
// header, state-list and worker_info pointers point into the mapped
// pool-manager segment and are valid while it stays attached.
//
// Threads: the attach, create, destroy and refresh operations need exclusive
// access to the object.  lockPoolManager/unlockPoolManager and the semaphore
// operations may be called from any thread once attached; the state list
// and worker_info records may only be read or written while the pool lock is
// held.  Not copyable.
#ifndef YAV_PROXYIF_IPC_YAVWORKERPOOL_H
#define YAV_PROXYIF_IPC_YAVWORKERPOOL_H

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

class YavSharedMem;
struct sembuf;

// Header of the pool-manager segment (offsets fixed by the protocol; every
// integer 32-bit in the host's byte order).
struct yav_pool_header {
    int32_t versionMajor;  // written by the server, shown in trace only
    int32_t versionMinor;
    char serverName[60];  // zero-terminated
    int32_t semId;        // pool semaphore set id as the server sees it
    int32_t lockNum;      // number of the lock semaphore
    int32_t semNum;       // number of the free-worker semaphore
    int32_t lockHeld;     // 1 while a holder of the pool lock is inside
    int32_t lockPid;      // process id of the last lock holder
    int32_t lockThread;   // thread id of the last lock holder (truncated)
    int32_t numWorkers;   // N
    int32_t reserved;
};
static_assert(offsetof(yav_pool_header, versionMajor) == 0, "pool header layout");
static_assert(offsetof(yav_pool_header, versionMinor) == 4, "pool header layout");
static_assert(offsetof(yav_pool_header, serverName) == 8, "pool header layout");
static_assert(offsetof(yav_pool_header, semId) == 68, "pool header layout");
static_assert(offsetof(yav_pool_header, lockNum) == 72, "pool header layout");
static_assert(offsetof(yav_pool_header, semNum) == 76, "pool header layout");
static_assert(offsetof(yav_pool_header, lockHeld) == 80, "pool header layout");
static_assert(offsetof(yav_pool_header, lockPid) == 84, "pool header layout");
static_assert(offsetof(yav_pool_header, lockThread) == 88, "pool header layout");
static_assert(offsetof(yav_pool_header, numWorkers) == 92, "pool header layout");
static_assert(sizeof(yav_pool_header) == 100, "pool header layout");

// One worker's record in the pool-manager segment (ten 32-bit ints).
struct worker_info {
    int32_t workerId;   // the worker's index
    int32_t inUse;      // 1 while a plug-in thread holds the worker
    int32_t cleaned;    // set by the server when it reset a held worker
    int32_t takenTime;  // seconds since the epoch when taken, 0 when free
    int32_t reserved;
    int32_t memStartOffset;  // offset of the worker's buffer in the worker segment
    int32_t memSize;         // size of the worker's buffer
    int32_t semId;           // worker semaphore set id
    int32_t reqSemNum;
    int32_t resSemNum;
};
static_assert(sizeof(worker_info) == 40, "worker_info layout");
static_assert(offsetof(worker_info, memStartOffset) == 20, "worker_info layout");
static_assert(offsetof(worker_info, resSemNum) == 36, "worker_info layout");

// The 32-byte header at the start of every worker buffer.
struct yav_worker_buffer_header {
    int32_t workerId;  // must equal the worker_info's workerId (server)
    int32_t reserved;
    int32_t reqType;         // request message type (plug-in)
    int32_t reqLength;       // used size of the request chain (plug-in)
    int32_t reqStartOffset;  // from the worker segment base (plug-in)
    int32_t resType;         // plug-in sets 0, server the answer's type
    int32_t resLength;       // plug-in sets 0, server the answer's length
    int32_t resStartOffset;  // from the worker segment base (plug-in)
};
static_assert(sizeof(yav_worker_buffer_header) == 32, "worker buffer header layout");
static_assert(offsetof(yav_worker_buffer_header, resStartOffset) == 28,
              "worker buffer header layout");

class YavWorkerPool {
  public:
    // Worker states in the state list.
    static constexpr int TAKEN = 0;
    static constexpr int FREE = 1;
    static constexpr int CLEANED = 2;

    // Project ids of the four objects.
    static constexpr char WORKER_SHM_ID = 'w';
    static constexpr char POOL_MGR_SHM_ID = 'p';
    static constexpr char POOL_SEM_ID = 'q';
    static constexpr char WORKER_SEM_ID = 'x';

    // Offset of the state list in the pool-manager segment.
    static constexpr unsigned STATE_LIST_OFFSET = 100;

    // Size of a pool-manager segment for numWorkers workers.
    static unsigned poolMgrSize(int numWorkers);

    YavWorkerPool();
    // Detaches and deletes the worker segment, then the pool-manager segment;
    // a failed detach is written to the serviceability log.
    virtual ~YavWorkerPool();
    YAV_DISALLOW_COPY(YavWorkerPool);

    // Sets the path that names the four objects (copied).
    yav_status_t setPath(const char* path);
    const char* getPath() const { return m_path.getData(); }

    // Creating side only: the number of workers and the two segment sizes
    // that the create operations use.
    // REQUIRES: numWorkers > 0, poolMgrSize >= poolMgrSize(numWorkers).
    void setCreateSizes(int numWorkers, unsigned poolMgrShmSize, unsigned workerShmSize);

    // Attaches (or creates, with the free count set to N) the pool
    // semaphore set.  destroyFirst: the creating side first removes the set
    // held so far; the attaching side never removes the server's objects.
    // The attaching side replaces the id only when the set is found, and
    // only if no other thread replaced it meanwhile (that thread's set is
    // no older): threads use the id without a lock, so it never becomes -1
    // (on which every operation would succeed without effect) nor goes
    // back to an older set.  After a failure the old id stays; it names a
    // removed set, on which every operation fails.
    yav_status_t initPoolSemaphores(bool create, bool destroyFirst);
    yav_status_t initWorkerSemaphores(bool create, bool destroyFirst);
    // reattach: the old attachment is replaced (the creating side removes
    // the old segment first, the attaching side detaches it).
    // created (may be null) is set to 1 when this call created the segment.
    // On the attaching side the number of workers read from the header is
    // checked against the segment's size (YAV_S_IPC_INVALID_WORKER_BUFFER
    // when the records would not fit).
    yav_status_t initPoolMgrShm(bool create, bool reattach, int* created);
    yav_status_t initWorkerShm(bool create, bool reattach, int* created);
    static yav_status_t createOrAttachShm(YavSharedMem* seg, const char* path, char projId,
                                          unsigned size, bool create, int* created);

    yav_status_t destroyWorkerShm();
    yav_status_t destroyPoolMgrShm();
    yav_status_t destroyWorkerSemaphores();
    yav_status_t destroyPoolSemaphores();

    // Takes the pool lock.  YAV_S_IPC_ABANDONED when the previous holder
    // died inside (lockHeld still 1): the lock is held all the same.
    yav_status_t lockPoolManager();
    yav_status_t unlockPoolManager();
    // Blocks until a worker is free and takes one from the free count.
    yav_status_t waitPoolSemaphore(int unused = 0);
    // Gives one back to the free count, which never exceeds N (nothing is
    // done, and 0 returned, when it is at N or cannot be raised).
    yav_status_t signalPoolSemaphore();
    // The same four operations on the set semId.  A thread that waited or
    // locked on one set gives back or unlocks on that same set, even when
    // another thread attached a newer one meanwhile (unlocking a set it
    // did not lock would block, or release another holder's lock).  The
    // lock and the wait are repeated when a signal interrupts them.
    yav_status_t lockPoolSet(int semId);
    yav_status_t unlockPoolSet(int semId);
    yav_status_t waitPoolSet(int semId);
    yav_status_t signalPoolSet(int semId);
    // waitPoolSet and lockPoolSet in one semop: blocks until a worker is
    // free and the lock is clear and takes both, or takes neither (on
    // failure nothing is held).  YAV_S_IPC_ABANDONED as for lockPoolSet.
    // noWait: YAV_S_IPC_WOULD_BLOCK instead of blocking.
    yav_status_t waitAndLockPoolSet(int semId, bool noWait = false);
    // unlockPoolSet and signalPoolSet in one semop (the count still never
    // exceeds N: when it is at N only the lock is released).
    yav_status_t unlockAndSignalPoolSet(int semId);
    // True while the attached pool-manager segment is the one the path
    // names now (false after the server removed or replaced it).
    bool poolMgrShmIsCurrent() const;
    // The current free count (GETVAL of semaphore 1).
    yav_status_t getFreeCount(int* value) const;

    // Plain access to the mapped arrays.
    // REQUIRES: the pool-manager segment is attached and 0 <= i < workers.
    yav_status_t getWorkerInfo(int i, worker_info** out);
    yav_status_t getStateList(int** out);
    int getState(int i) const;
    void setState(int i, int state);

    // Removes everything a dead server left behind under path, ignoring
    // every error.  Returns 0.
    static yav_status_t cleanupPool(const char* path);

    yav_pool_header* getHeader() const { return m_header; }
    int getNumWorkers() const { return m_numWorkers; }
    YavSharedMem* getWorkerShm() const { return m_workerShm; }
    YavSharedMem* getPoolMgrShm() const { return m_poolMgrShm; }
    int getPoolSemId() const { return m_poolSemId.load(std::memory_order_relaxed); }
    int getWorkerSemId() const { return m_workerSemId.load(std::memory_order_relaxed); }
    bool poolSemaphoresAttached() const {
        return m_poolSemsAttached.load(std::memory_order_relaxed);
    }
    bool workerSemaphoresAttached() const {
        return m_workerSemsAttached.load(std::memory_order_relaxed);
    }

  protected:
    // Makes the segment object for projId and attaches (or creates) it.
    yav_status_t initShm(YavSharedMem** seg, char projId, unsigned size, bool create, bool reattach,
                         int* created);
    yav_status_t initSemaphores(std::atomic<int>* semId, std::atomic<bool>* attached, char projId,
                                int count, bool create, bool destroyFirst);
    yav_status_t destroySemaphores(std::atomic<int>* semId, std::atomic<bool>* attached,
                                   char projId);
    // Detaches and deletes a segment object, logging a failed detach with
    // detachCode.
    static void releaseShm(YavSharedMem** seg, yav_status_t detachCode);
    void clearLayout();
    static yav_status_t semOpsUninterrupted(int semId, const struct sembuf* ops, unsigned n);
    // Records the holder in the header after the lock was taken.
    yav_status_t noteLockTaken();
    // The given operations and a raise of the free count in one semop,
    // skipping the raise when the count is at N.
    yav_status_t opsAndSignal(int semId, const struct sembuf* ops, unsigned n);
    yav_status_t destroyShm(YavSharedMem** seg, char projId);

    YavSharedMem* m_poolMgrShm = nullptr;
    yav_pool_header* m_header = nullptr;
    int32_t* m_stateList = nullptr;
    worker_info* m_workerInfo = nullptr;
    YavSharedMem* m_workerShm = nullptr;
    int m_numWorkers = 0;
    YavString m_path;
    unsigned m_poolMgrShmSize = 0;
    unsigned m_workerShmSize = 0;
    // Atomic: a thread in getFreeWorker may re-attach the pool semaphores
    // while others wait on them.
    std::atomic<bool> m_poolSemsAttached{false};
    std::atomic<bool> m_workerSemsAttached{false};
    std::atomic<int> m_poolSemId{-1};
    std::atomic<int> m_workerSemId{-1};
    int m_semNum = 1;
    int m_lockNum = 0;
    pid_t m_pid = 0;
};

#endif  // YAV_PROXYIF_IPC_YAVWORKERPOOL_H
