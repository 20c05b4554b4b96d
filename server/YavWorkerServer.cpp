#include "server/YavWorkerServer.h"

#include <sys/time.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

#include "core/msg/yav_status.h"
#include "core/threads/yavthread.h"
#include "proxyif/ipc/YavSharedMem.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/YavSysVSemHelper.h"

namespace {

const int kMaxWorkers = 1024;
const unsigned kMinBufferSize = 64;
const unsigned kMaxPoolBytes = 1u << 30;
const unsigned kHeaderSize = sizeof(yav_worker_buffer_header);
// Room for the smallest answer, an error message: one header and 4 bytes.
const unsigned kMinResultRoom = YavSharedMemAllocator::kHeaderSize + 4;

struct MalformedName {
    const char* name;
    yav_malformed_e kind;
};

const MalformedName kMalformedNames[] = {
    {"none", yav_malformed_none},
    {"length", yav_malformed_length_past_region},
    {"next", yav_malformed_next_outside},
    {"loop", yav_malformed_loop},
    {"result-length", yav_malformed_result_length},
    {"result-type", yav_malformed_result_type},
    {"result-offset", yav_malformed_result_offset},
};

// Writes an error message (one element of 4 bytes holding code).
yav_status_t writeErrorMessage(YavSharedMemAllocator& a, yav_status_t code) {
    void* data = nullptr;
    yav_status_t st = a.allocate(sizeof(uint32_t), &data);
    if (st != 0) return st;
    uint32_t value = code;
    memcpy(data, &value, sizeof(value));
    return 0;
}

uint32_t readU32(const char* p) {
    uint32_t v;
    memcpy(&v, p, sizeof(v));
    return v;
}

void writeU32(char* p, uint32_t v) { memcpy(p, &v, sizeof(v)); }

}  // namespace

bool yav_malformed_from_name(const char* name, yav_malformed_e* kind) {
    if (name == nullptr) return false;
    for (const MalformedName& entry : kMalformedNames) {
        if (strcmp(entry.name, name) == 0) {
            *kind = entry.kind;
            return true;
        }
    }
    return false;
}

yav_status_t YavEchoHandler::handle(int, int, YavSharedMemIterator& question,
                                    YavSharedMemAllocator& answer, int* answerType) {
    while (question.hasMoreElements()) {
        unsigned len = 0;
        void* in = nullptr;
        yav_status_t st = question.getNextElement(&len, &in);
        if (st != 0) return st;
        void* out = nullptr;
        st = answer.allocate(len, &out);
        if (st != 0) return st;
        memcpy(out, in, len);
    }
    *answerType = m_answerType;
    return 0;
}

yav_status_t YavErrorHandler::handle(int, int, YavSharedMemIterator&, YavSharedMemAllocator& answer,
                                     int* answerType) {
    *answerType = YavWorkerServer::kErrorMessageType;
    return writeErrorMessage(answer, m_code);
}

YavWorkerServer::YavWorkerServer() {
    pthread_mutex_init(&m_lock, nullptr);
    pthread_cond_init(&m_cond, nullptr);
}

YavWorkerServer::~YavWorkerServer() {
    stop();
    pthread_cond_destroy(&m_cond);
    pthread_mutex_destroy(&m_lock);
}

yav_status_t YavWorkerServer::start(const char* keyPath, int numWorkers, unsigned bufferSize,
                                    YavWorkerHandler* handler) {
    if (m_running || keyPath == nullptr || handler == nullptr || numWorkers < 1 ||
        numWorkers > kMaxWorkers || bufferSize > kMaxPoolBytes) {
        return YAV_S_INVALID_PARAMETER;
    }
    bufferSize = (bufferSize + 3) & ~3u;
    if (bufferSize < kMinBufferSize) bufferSize = kMinBufferSize;
    if (static_cast<uint64_t>(bufferSize) * static_cast<uint64_t>(numWorkers) > kMaxPoolBytes) {
        return YAV_S_INVALID_PARAMETER;
    }
    m_keyPath = strdup(keyPath);
    if (m_keyPath == nullptr) return YAV_S_NO_MEMORY;
    m_numWorkers = numWorkers;
    m_bufferSize = bufferSize;
    m_handler = handler;
    m_malformed = yav_malformed_none;
    m_delayMs = 0;
    m_resetNext = false;
    m_stopping = false;
    m_restarting = false;
    m_generation = 0;
    m_busy = 0;
    m_answered = 0;
    m_cleanedPending = 0;

    YavWorkerPool::cleanupPool(m_keyPath);
    yav_status_t st = createObjects();
    if (st != 0) {
        free(m_keyPath);
        m_keyPath = nullptr;
        return st;
    }
    m_workers = new (std::nothrow) Worker[numWorkers];
    if (m_workers == nullptr) {
        destroyObjects();
        free(m_keyPath);
        m_keyPath = nullptr;
        return YAV_S_NO_MEMORY;
    }
    m_running = true;
    for (int i = 0; i < numWorkers; ++i) {
        m_workers[i].server = this;
        m_workers[i].index = i;
        m_workers[i].started =
            yavthread_create(&m_workers[i].thread, nullptr, workerMain, &m_workers[i]) == 0;
        if (!m_workers[i].started) st = YAV_S_THREAD_INIT;
    }
    m_sweeperStarted = yavthread_create(&m_sweeper, nullptr, sweeperMain, this) == 0;
    if (!m_sweeperStarted) st = YAV_S_THREAD_INIT;
    if (st != 0) stop();
    return st;
}

yav_status_t YavWorkerServer::createObjects() {
    YavWorkerPool* pool = new (std::nothrow) YavWorkerPool();
    if (pool == nullptr) return YAV_S_NO_MEMORY;
    m_pool = pool;
    pool->setCreateSizes(m_numWorkers, YavWorkerPool::poolMgrSize(m_numWorkers),
                         m_bufferSize * static_cast<unsigned>(m_numWorkers));
    yav_status_t st = pool->setPath(m_keyPath);
    if (st == 0) st = pool->initPoolSemaphores(true, false);
    int created = 0;
    if (st == 0) st = pool->initPoolMgrShm(true, false, &created);
    if (st == 0 && !created) st = YAV_S_IPC_KEY_EXISTS;
    if (st == 0) st = pool->initWorkerSemaphores(true, false);
    if (st == 0) st = pool->initWorkerShm(true, false, &created);
    if (st == 0 && !created) st = YAV_S_IPC_KEY_EXISTS;
    if (st != 0) {
        destroyObjects();
        return st;
    }

    yav_pool_header* header = pool->getHeader();
    header->versionMajor = 1;
    header->versionMinor = 0;
    memset(header->serverName, 0, sizeof(header->serverName));
    strncpy(header->serverName, "yav-worker-server", sizeof(header->serverName) - 1);
    header->semId = pool->getPoolSemId();
    header->lockNum = 0;
    header->semNum = 1;
    header->lockHeld = 0;
    header->lockPid = 0;
    header->lockThread = 0;
    header->numWorkers = m_numWorkers;
    char* workerBase = static_cast<char*>(pool->getWorkerShm()->getBase());
    for (int i = 0; i < m_numWorkers; ++i) {
        worker_info* info = nullptr;
        pool->getWorkerInfo(i, &info);
        memset(info, 0, sizeof(*info));
        info->workerId = i;
        info->memStartOffset = static_cast<int32_t>(bufferOffset(i));
        info->memSize = static_cast<int32_t>(m_bufferSize);
        info->semId = pool->getWorkerSemId();
        info->reqSemNum = 2 * i;
        info->resSemNum = 2 * i + 1;
        yav_worker_buffer_header* buffer =
            reinterpret_cast<yav_worker_buffer_header*>(workerBase + bufferOffset(i));
        memset(buffer, 0, sizeof(*buffer));
        buffer->workerId = i;
    }
    // A plug-in may already hold the new pool semaphores (the free count is
    // N from their creation) and takes a worker as soon as its state reads
    // FREE: publish the states only once every record and buffer header is
    // written, or this loop would wipe a request already put in a buffer.
    int* states = nullptr;
    st = pool->getStateList(&states);
    if (st != 0) {
        destroyObjects();
        return st;
    }
    for (int i = 0; i < m_numWorkers; ++i) {
        __atomic_store_n(&states[i], YavWorkerPool::FREE, __ATOMIC_RELEASE);
    }
    return 0;
}

void YavWorkerServer::destroyObjects() {
    if (m_pool == nullptr) return;
    m_pool->destroyWorkerSemaphores();
    m_pool->destroyPoolSemaphores();
    m_pool->destroyWorkerShm();
    m_pool->destroyPoolMgrShm();
    delete m_pool;
    m_pool = nullptr;
}

yav_status_t YavWorkerServer::stop() {
    if (!m_running) return 0;
    {
        YavMutexLock lock(&m_lock);
        m_stopping = true;
        pthread_cond_broadcast(&m_cond);
        // Removing the semaphore sets wakes every worker thread.
        if (m_pool != nullptr) {
            m_pool->destroyWorkerSemaphores();
            m_pool->destroyPoolSemaphores();
        }
    }
    for (int i = 0; i < m_numWorkers; ++i) {
        if (m_workers[i].started) pthread_join(m_workers[i].thread, nullptr);
    }
    if (m_sweeperStarted) pthread_join(m_sweeper, nullptr);
    m_sweeperStarted = false;
    delete[] m_workers;
    m_workers = nullptr;
    destroyObjects();
    free(m_keyPath);
    m_keyPath = nullptr;
    m_running = false;
    return 0;
}

yav_status_t YavWorkerServer::restart() {
    {
        YavMutexLock lock(&m_lock);
        if (!m_running || m_stopping) return YAV_S_INVALID_PARAMETER;
        m_restarting = true;
        pthread_cond_broadcast(&m_cond);
        while (m_busy > 0) pthread_cond_wait(&m_cond, &m_lock);
    }
    // No answer is in progress and no thread starts one until the
    // generation changes: the objects can go.
    destroyObjects();
    yav_status_t st = createObjects();
    YavMutexLock lock(&m_lock);
    ++m_generation;
    m_cleanedPending = 0;
    m_restarting = false;
    pthread_cond_broadcast(&m_cond);
    return st;
}

void* YavWorkerServer::workerMain(void* arg) {
    Worker* worker = static_cast<Worker*>(arg);
    worker->server->serve(worker->index);
    return nullptr;
}

void YavWorkerServer::serve(int index) {
    // One pass of m_lock before and one after each answer: the controls
    // are read while the lock is held anyway, and only a restart waiting
    // for m_busy to drain is woken (a broadcast per answer would wake the
    // sweeper for nothing on every question).
    YavMutexLock lock(&m_lock);
    for (;;) {
        while (m_restarting && !m_stopping) pthread_cond_wait(&m_cond, &m_lock);
        if (m_stopping || m_pool == nullptr) return;
        unsigned generation = m_generation;
        int semId = m_pool->getWorkerSemId();
        pthread_mutex_unlock(&m_lock);
        yav_status_t st = YavSysVSemHelper::wait(semId, static_cast<unsigned>(2 * index), 1);
        pthread_mutex_lock(&m_lock);
        if (m_stopping) return;
        if (m_restarting || generation != m_generation) continue;
        // The set went away without a restart (someone else removed it):
        // nothing more can come to this worker.
        if (st != 0) return;
        ++m_busy;
        if (m_delayMs > 0) delayLocked(m_delayMs);
        Controls controls;
        controls.handler = m_handler;
        controls.malformed = m_malformed;
        controls.reset = m_resetNext;
        controls.resetMode = m_resetMode;
        m_resetNext = false;
        pthread_mutex_unlock(&m_lock);
        answer(index, controls);
        pthread_mutex_lock(&m_lock);
        --m_busy;
        ++m_answered;
        if (m_restarting && m_busy == 0) pthread_cond_broadcast(&m_cond);
    }
}

void YavWorkerServer::delayLocked(unsigned ms) {
    struct timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (!m_stopping && !m_restarting) {
        if (pthread_cond_timedwait(&m_cond, &m_lock, &deadline) == ETIMEDOUT) break;
    }
}

void YavWorkerServer::markReset(YavWorkerPool* pool, int index, yav_reset_mode_e mode) {
    worker_info* info = nullptr;
    if (pool->getWorkerInfo(index, &info) != 0) return;
    info->cleaned = 1;
    pool->setState(index, mode == yav_reset_cleaned ? YavWorkerPool::CLEANED : YavWorkerPool::FREE);
}

void YavWorkerServer::answer(int index, const Controls& controls) {
    YavWorkerPool* pool = m_pool;
    YavSharedMem* seg = pool->getWorkerShm();
    char* base = static_cast<char*>(seg->getBase());
    const uint64_t headerOffset = bufferOffset(index);
    const uint64_t bufferEnd = headerOffset + m_bufferSize;
    const uint64_t regionStart = headerOffset + kHeaderSize;
    yav_worker_buffer_header* header =
        reinterpret_cast<yav_worker_buffer_header*>(base + headerOffset);
    const int resSemNum = 2 * index + 1;

    YavWorkerHandler* const handler = controls.handler;
    const yav_malformed_e malformed = controls.malformed;
    const yav_reset_mode_e resetMode = controls.resetMode;

    if (controls.reset) {
        yav_status_t st = pool->lockPoolManager();
        if (st == 0 || st == YAV_S_IPC_ABANDONED) {
            markReset(pool, index, resetMode);
            pool->unlockPoolManager();
        }
        if (resetMode == yav_reset_cleaned) {
            YavMutexLock lock(&m_lock);
            ++m_cleanedPending;
            pthread_cond_broadcast(&m_cond);
        }
        YavSysVSemHelper::signal(pool->getWorkerSemId(), static_cast<unsigned>(resSemNum), 1);
        return;
    }

    // The header was written by a client: read it once and check it.
    const int32_t reqType = header->reqType;
    const int32_t reqLength = header->reqLength;
    const int32_t reqStart = header->reqStartOffset;
    const int32_t resStart = header->resStartOffset;
    bool questionOk =
        reqType >= 0 && reqType <= kMaxQuestionType && reqLength >= 0 && reqStart >= 0 &&
        static_cast<uint64_t>(reqStart) >= regionStart &&
        static_cast<uint64_t>(reqStart) + static_cast<uint64_t>(reqLength) <= bufferEnd;
    bool resultOk = resStart >= 0 && resStart % 4 == 0 &&
                    static_cast<uint64_t>(resStart) >= regionStart &&
                    static_cast<uint64_t>(resStart) + kMinResultRoom <= bufferEnd;
    if (questionOk && resultOk) {
        questionOk = static_cast<uint64_t>(resStart) >=
                     static_cast<uint64_t>(reqStart) + static_cast<uint64_t>(reqLength);
    }
    if (!resultOk) {
        // Nowhere to write even an error message: an empty error answer.
        header->resType = kErrorMessageType;
        header->resLength = 0;
        YavSysVSemHelper::signal(pool->getWorkerSemId(), static_cast<unsigned>(resSemNum), 1);
        return;
    }

    const unsigned resultSize = static_cast<unsigned>(bufferEnd - static_cast<uint64_t>(resStart));
    YavSharedMemAllocator out;
    out.initialize(*seg, static_cast<unsigned>(resStart), resultSize);
    int answerType = kErrorMessageType;
    yav_status_t st = YAV_S_INVALID_PARAMETER;
    if (questionOk) {
        YavSharedMemIterator question;
        st = question.initialize(*seg, static_cast<unsigned>(reqStart),
                                 static_cast<unsigned>(reqLength));
        if (st == 0) st = handler->handle(index, reqType, question, out, &answerType);
    }
    if (st != 0) {
        out.reset();
        writeErrorMessage(out, st);
        answerType = kErrorMessageType;
    }
    unsigned used = out.getCurrent() - out.getStart();
    if (used > resultSize) used = resultSize;
    header->resType = answerType;
    header->resLength = static_cast<int32_t>(used);
    spoil(malformed, header, base, static_cast<unsigned>(resStart), resultSize, seg->getSize());
    YavSysVSemHelper::signal(pool->getWorkerSemId(), static_cast<unsigned>(resSemNum), 1);
}

void YavWorkerServer::spoil(yav_malformed_e kind, yav_worker_buffer_header* header, char* base,
                            unsigned resStart, unsigned resultSize, unsigned segSize) {
    char* first = base + resStart;
    const unsigned used = static_cast<unsigned>(header->resLength);
    switch (kind) {
        case yav_malformed_none:
            break;
        case yav_malformed_length_past_region:
            if (used >= YavSharedMemAllocator::kHeaderSize) writeU32(first, resultSize);
            break;
        case yav_malformed_next_outside:
            // The whole region is announced so that the next offset is read.
            if (used >= YavSharedMemAllocator::kHeaderSize) {
                writeU32(first + 4, segSize + 64);
                header->resLength = static_cast<int32_t>(resultSize);
            }
            break;
        case yav_malformed_loop: {
            if (used < YavSharedMemAllocator::kHeaderSize) break;
            // Walk to the last element and point it back at the first.
            unsigned offset = resStart;
            for (;;) {
                uint32_t next = readU32(base + offset + 4);
                if (next == YavSharedMemAllocator::kEndMark || next <= offset ||
                    next >= resStart + used) {
                    break;
                }
                offset = next;
            }
            writeU32(base + offset + 4, resStart);
            header->resLength = static_cast<int32_t>(resultSize);
            break;
        }
        case yav_malformed_result_length:
            header->resLength = static_cast<int32_t>(2 * m_bufferSize);
            break;
        case yav_malformed_result_type:
            header->resType = kBogusResultType;
            break;
        case yav_malformed_result_offset:
            header->resStartOffset = static_cast<int32_t>(segSize + 64);
            break;
    }
}

void* YavWorkerServer::sweeperMain(void* arg) {
    static_cast<YavWorkerServer*>(arg)->sweep();
    return nullptr;
}

void YavWorkerServer::sweep() {
    // Workers reset to CLEANED go back to FREE once their holder gave them
    // back (inUse 0); polled only while such workers exist.
    YavMutexLock lock(&m_lock);
    while (!m_stopping) {
        if (m_cleanedPending == 0 || m_restarting || m_pool == nullptr) {
            pthread_cond_wait(&m_cond, &m_lock);
            continue;
        }
        // Counted as busy, so the pool stays while the lock is awaited
        // without m_lock.
        YavWorkerPool* pool = m_pool;
        ++m_busy;
        pthread_mutex_unlock(&m_lock);
        int freed = 0;
        yav_status_t st = pool->lockPoolManager();
        if (st == 0 || st == YAV_S_IPC_ABANDONED) {
            for (int i = 0; i < m_numWorkers; ++i) {
                worker_info* info = nullptr;
                if (pool->getWorkerInfo(i, &info) != 0) continue;
                if (pool->getState(i) == YavWorkerPool::CLEANED && info->inUse == 0) {
                    info->cleaned = 0;
                    pool->setState(i, YavWorkerPool::FREE);
                    ++freed;
                }
            }
            pool->unlockPoolManager();
        }
        pthread_mutex_lock(&m_lock);
        --m_busy;
        m_cleanedPending = freed >= m_cleanedPending ? 0 : m_cleanedPending - freed;
        pthread_cond_broadcast(&m_cond);
        if (m_cleanedPending > 0) delayLocked(20);
    }
}

void YavWorkerServer::setHandler(YavWorkerHandler* handler) {
    if (handler == nullptr) return;
    YavMutexLock lock(&m_lock);
    m_handler = handler;
}

void YavWorkerServer::setMalformed(yav_malformed_e kind) {
    YavMutexLock lock(&m_lock);
    m_malformed = kind;
}

void YavWorkerServer::setDelayMs(unsigned ms) {
    YavMutexLock lock(&m_lock);
    m_delayMs = ms;
}

void YavWorkerServer::resetOnNextQuestion(yav_reset_mode_e mode) {
    YavMutexLock lock(&m_lock);
    m_resetNext = true;
    m_resetMode = mode;
}

yav_status_t YavWorkerServer::enterPool(int i, YavWorkerPool** pool) {
    YavMutexLock lock(&m_lock);
    if (!m_running || m_stopping || m_restarting || m_pool == nullptr) {
        return YAV_S_INVALID_PARAMETER;
    }
    if (i < 0 || i >= m_numWorkers) return YAV_S_INVALID_PARAMETER;
    ++m_busy;
    *pool = m_pool;
    return 0;
}

void YavWorkerServer::leavePool(int cleanedAdded) {
    YavMutexLock lock(&m_lock);
    --m_busy;
    m_cleanedPending += cleanedAdded;
    pthread_cond_broadcast(&m_cond);
}

yav_status_t YavWorkerServer::resetWorker(int i, yav_reset_mode_e mode) {
    YavWorkerPool* pool = nullptr;
    yav_status_t st = enterPool(i, &pool);
    if (st != 0) return st;
    st = pool->lockPoolManager();
    if (st == 0 || st == YAV_S_IPC_ABANDONED) {
        markReset(pool, i, mode);
        pool->unlockPoolManager();
        st = YavSysVSemHelper::signal(pool->getWorkerSemId(), static_cast<unsigned>(2 * i + 1), 1);
    }
    leavePool(st == 0 && mode == yav_reset_cleaned ? 1 : 0);
    return st;
}

yav_status_t YavWorkerServer::getFreeCount(int* value) {
    YavWorkerPool* pool = nullptr;
    yav_status_t st = enterPool(0, &pool);
    if (st != 0) return st;
    st = pool->getFreeCount(value);
    leavePool(0);
    return st;
}

yav_status_t YavWorkerServer::getWorker(int i, int* state, worker_info* info) {
    YavWorkerPool* pool = nullptr;
    yav_status_t st = enterPool(i, &pool);
    if (st != 0) return st;
    st = pool->lockPoolManager();
    if (st == 0 || st == YAV_S_IPC_ABANDONED) {
        worker_info* record = nullptr;
        pool->getWorkerInfo(i, &record);
        *state = pool->getState(i);
        *info = *record;
        st = pool->unlockPoolManager();
    }
    leavePool(0);
    return st;
}

yav_status_t YavWorkerServer::setWorker(int i, int state, const worker_info& info) {
    YavWorkerPool* pool = nullptr;
    yav_status_t st = enterPool(i, &pool);
    if (st != 0) return st;
    st = pool->lockPoolManager();
    if (st == 0 || st == YAV_S_IPC_ABANDONED) {
        worker_info* record = nullptr;
        pool->getWorkerInfo(i, &record);
        pool->setState(i, state);
        *record = info;
        st = pool->unlockPoolManager();
    }
    leavePool(0);
    return st;
}

unsigned YavWorkerServer::getAnswered() {
    YavMutexLock lock(&m_lock);
    return m_answered;
}

unsigned YavWorkerServer::getGeneration() {
    YavMutexLock lock(&m_lock);
    return m_generation;
}
