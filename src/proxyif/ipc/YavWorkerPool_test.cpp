#include "proxyif/ipc/YavWorkerPool.h"

#include <gtest/gtest.h>
#include <sys/shm.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "proxyif/ipc/YavSharedMem.h"
#include "proxyif/ipc/YavSysVSemHelper.h"
#include "proxyif/ipc/YavSysVSharedMem.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "proxyif/ipc/yav_pool_test_aids.h"

namespace {

const char kProjIds[] = {'w', 'p', 'q', 'x'};

std::string savedMessages() {
    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    kr_svc_msgsave_print(f);
    fclose(f);
    std::string out(data, size);
    free(data);
    return out;
}

// The creating side of the pool: what the authorization server does with
// YavWorkerPool, without any server threads.
class WorkerPoolTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_key.ok()) << m_key.error(); }

    // Creates all four objects for n workers of size bytes each.
    void create(YavWorkerPool& pool, int n, unsigned size) {
        ASSERT_EQ(0u, pool.setPath(m_key.path()));
        pool.setCreateSizes(n, YavWorkerPool::poolMgrSize(n), n * size);
        int created = 0;
        ASSERT_EQ(0u, pool.initPoolSemaphores(true, false));
        ASSERT_EQ(0u, pool.initPoolMgrShm(true, false, &created));
        EXPECT_EQ(1, created);
        ASSERT_EQ(0u, pool.initWorkerSemaphores(true, false));
        ASSERT_EQ(0u, pool.initWorkerShm(true, false, &created));
        EXPECT_EQ(1, created);
        pool.getHeader()->numWorkers = n;
    }
    bool allFree() {
        for (char id : kProjIds) {
            if (!YavIpcTestKey::keyFree(m_key.key(id))) return false;
        }
        return true;
    }

    YavIpcTestKey m_key;
};

TEST_F(WorkerPoolTest, CreatingLaysOutTheSegmentAndSetsTheFreeCount) {
    YavWorkerPool pool;
    create(pool, 3, 256);
    EXPECT_EQ(100u + 3 * 44, YavWorkerPool::poolMgrSize(3));
    char* base = static_cast<char*>(pool.getPoolMgrShm()->getBase());
    int* states = nullptr;
    ASSERT_EQ(0u, pool.getStateList(&states));
    EXPECT_EQ(base + 100, reinterpret_cast<char*>(states));
    worker_info* info = nullptr;
    ASSERT_EQ(0u, pool.getWorkerInfo(2, &info));
    EXPECT_EQ(base + 100 + 3 * 4 + 2 * 40, reinterpret_cast<char*>(info));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, pool.getWorkerInfo(3, &info));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, pool.getWorkerInfo(-1, &info));
    int value = -1;
    ASSERT_EQ(0u, pool.getFreeCount(&value));
    EXPECT_EQ(3, value);
    pool.setState(1, YavWorkerPool::CLEANED);
    EXPECT_EQ(YavWorkerPool::CLEANED, pool.getState(1));
    EXPECT_EQ(YavWorkerPool::CLEANED, states[1]);
    YavWorkerPool::cleanupPool(m_key.path());
    EXPECT_TRUE(allFree());
}

TEST_F(WorkerPoolTest, CreatingOverAnExistingSegmentAttachesToIt) {
    YavPoolTraceCapture trace;
    YavWorkerPool first;
    create(first, 2, 128);
    first.getHeader()->versionMajor = 42;

    YavWorkerPool second;
    ASSERT_EQ(0u, second.setPath(m_key.path()));
    second.setCreateSizes(2, YavWorkerPool::poolMgrSize(2), 256);
    int created = 7;
    EXPECT_EQ(0u, second.initPoolMgrShm(true, false, &created));
    EXPECT_EQ(0, created);
    EXPECT_TRUE(trace.contains("Shm already exists -- attaching..."));
    EXPECT_EQ(42, second.getHeader()->versionMajor);
    // Semaphore sets are created exclusively.
    EXPECT_EQ(YAV_S_IPC_KEY_EXISTS, second.initPoolSemaphores(true, false));
    YavWorkerPool::cleanupPool(m_key.path());
}

TEST_F(WorkerPoolTest, DestroyingRemovesEachObjectAndToleratesMissingOnes) {
    YavWorkerPool pool;
    create(pool, 2, 128);
    EXPECT_EQ(0u, pool.destroyWorkerShm());
    EXPECT_EQ(0u, pool.destroyPoolMgrShm());
    EXPECT_EQ(nullptr, pool.getHeader());
    EXPECT_EQ(0u, pool.destroyWorkerSemaphores());
    EXPECT_EQ(0u, pool.destroyPoolSemaphores());
    EXPECT_FALSE(pool.poolSemaphoresAttached());
    EXPECT_TRUE(allFree());
    // A second time nothing is left: still success.  A fresh object
    // attaches first, and a missing object counts as removed.
    YavWorkerPool other;
    ASSERT_EQ(0u, other.setPath(m_key.path()));
    EXPECT_EQ(0u, other.destroyWorkerShm());
    EXPECT_EQ(0u, other.destroyPoolMgrShm());
    EXPECT_EQ(0u, other.destroyWorkerSemaphores());
    EXPECT_EQ(0u, other.destroyPoolSemaphores());
    EXPECT_EQ(0u, YavWorkerPool::cleanupPool(m_key.path()));
}

TEST_F(WorkerPoolTest, CleanupPoolRemovesWhatAnotherPoolCreated) {
    {
        YavWorkerPool pool;
        create(pool, 4, 64);
    }
    EXPECT_FALSE(allFree());
    EXPECT_EQ(0u, YavWorkerPool::cleanupPool(m_key.path()));
    EXPECT_TRUE(allFree());
    EXPECT_EQ(0u, YavWorkerPool::cleanupPool((std::string(m_key.path()) + ".none").c_str()));
}

TEST_F(WorkerPoolTest, TheLockRecordsItsHolderAndReportsAnAbandonedOne) {
    YavWorkerPool pool;
    create(pool, 1, 64);
    yav_pool_header* header = pool.getHeader();
    ASSERT_EQ(0u, pool.lockPoolManager());
    EXPECT_EQ(1, header->lockHeld);
    EXPECT_EQ(static_cast<int32_t>(getpid()), header->lockPid);
    EXPECT_EQ(static_cast<int32_t>(pthread_self()), header->lockThread);
    ASSERT_EQ(0u, pool.unlockPoolManager());
    EXPECT_EQ(0, header->lockHeld);
    // A holder that died inside leaves lockHeld set.
    header->lockHeld = 1;
    EXPECT_EQ(YAV_S_IPC_ABANDONED, pool.lockPoolManager());
    EXPECT_EQ(1, header->lockHeld);
    ASSERT_EQ(0u, pool.unlockPoolManager());
    EXPECT_EQ(0u, pool.lockPoolManager());
    ASSERT_EQ(0u, pool.unlockPoolManager());
    YavWorkerPool::cleanupPool(m_key.path());
}

TEST_F(WorkerPoolTest, TheCombinedOperationsTakeAndGiveBackBothOrNothing) {
    YavWorkerPool pool;
    create(pool, 2, 64);
    yav_pool_header* header = pool.getHeader();
    const int id = pool.getPoolSemId();
    auto values = [&]() {
        int lock = -1;
        int count = -1;
        EXPECT_EQ(0u, YavSysVSemHelper::getValue(id, 0, &lock));
        EXPECT_EQ(0u, YavSysVSemHelper::getValue(id, 1, &count));
        return std::make_pair(lock, count);
    };
    using Values = std::pair<int, int>;  // lock, free count

    ASSERT_EQ(0u, pool.waitAndLockPoolSet(id, true));
    EXPECT_EQ(Values(1, 1), values());
    EXPECT_EQ(1, header->lockHeld);
    // The lock is held: a second take gets neither the lock nor a count.
    EXPECT_EQ(YAV_S_IPC_WOULD_BLOCK, pool.waitAndLockPoolSet(id, true));
    EXPECT_EQ(Values(1, 1), values());
    ASSERT_EQ(0u, pool.unlockAndSignalPoolSet(id));
    EXPECT_EQ(Values(0, 2), values());
    EXPECT_EQ(0, header->lockHeld);

    // At N the give-back still releases the lock but leaves the count.
    ASSERT_EQ(0u, pool.lockPoolSet(id));
    ASSERT_EQ(0u, pool.unlockAndSignalPoolSet(id));
    EXPECT_EQ(Values(0, 2), values());
    EXPECT_EQ(0u, pool.signalPoolSet(id));
    EXPECT_EQ(Values(0, 2), values());

    // No free worker: nothing is taken, the lock stays clear.
    ASSERT_EQ(0u, YavSysVSemHelper::setValue(id, 1, 0));
    EXPECT_EQ(YAV_S_IPC_WOULD_BLOCK, pool.waitAndLockPoolSet(id, true));
    EXPECT_EQ(Values(0, 0), values());
    EXPECT_EQ(0u, pool.signalPoolSet(id));
    EXPECT_EQ(Values(0, 1), values());

    // A holder that died inside: both are taken and the lock is reported
    // abandoned.
    header->lockHeld = 1;
    EXPECT_EQ(YAV_S_IPC_ABANDONED, pool.waitAndLockPoolSet(id, false));
    EXPECT_EQ(Values(1, 0), values());
    ASSERT_EQ(0u, pool.unlockAndSignalPoolSet(id));
    EXPECT_EQ(Values(0, 1), values());
    YavWorkerPool::cleanupPool(m_key.path());
    EXPECT_EQ(YAV_S_IPC_INVALID_ID, pool.waitAndLockPoolSet(id, true));
    EXPECT_EQ(YAV_S_IPC_INVALID_ID, pool.unlockAndSignalPoolSet(id));
    EXPECT_EQ(0u, pool.signalPoolSet(id)) << "a count that cannot be raised is left alone";
}

TEST_F(WorkerPoolTest, AttachingSideOnlyForgetsTheOldSetOnRefresh) {
    YavWorkerPool server;
    create(server, 1, 64);
    YavWorkerPool client;
    ASSERT_EQ(0u, client.setPath(m_key.path()));
    ASSERT_EQ(0u, client.initPoolSemaphores(false, false));
    int id = client.getPoolSemId();
    EXPECT_EQ(server.getPoolSemId(), id);
    ASSERT_EQ(0u, client.initPoolSemaphores(false, true));
    EXPECT_EQ(id, client.getPoolSemId());
    int value = -1;
    EXPECT_EQ(0u, server.getFreeCount(&value));
    EXPECT_EQ(1, value);
    YavWorkerPool::cleanupPool(m_key.path());
}

TEST_F(WorkerPoolTest, AFailedDetachIsLoggedByTheDestructor) {
    YavWorkerPool* pool = new YavWorkerPool();
    create(*pool, 1, 64);
    // Unmap both segments behind the pool's back: its own detach fails.
    ASSERT_EQ(0, shmdt(pool->getWorkerShm()->getBase()));
    ASSERT_EQ(0, shmdt(pool->getPoolMgrShm()->getBase()));
    kr_svc_msgsave_clear();
    kr_svc_msgsave_start();
    delete pool;
    kr_svc_msgsave_stop();
    std::string saved = savedMessages();
    kr_svc_msgsave_clear();
    size_t worker = saved.find("from the worker shared memory");
    size_t manager = saved.find("from the pool manager shared memory");
    EXPECT_NE(std::string::npos, worker) << saved;
    EXPECT_NE(std::string::npos, manager) << saved;
    EXPECT_LT(worker, manager);
    YavWorkerPool::cleanupPool(m_key.path());
}

}  // namespace
