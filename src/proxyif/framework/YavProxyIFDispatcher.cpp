#include "proxyif/framework/YavProxyIFDispatcher.h"

#include <new>

#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "proxyif/framework/YavErrorMessage.h"
#include "proxyif/framework/YavProxyIFLog.h"
#include "proxyif/ipc/YavClntWorkerBuffer.h"
#include "proxyif/ipc/YavClntWorkerPool.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

namespace {

// The static allocators of the per-request classes, in the order they are
// acquired and released.
YavClassAllocator* const kClassAllocators[] = {
    &YavSharedMemAllocator::m_allocator,
    &YavSharedMemIterator::m_allocator,
    &YavClntWorkerBuffer::m_allocator,
    &YavErrorMessage::m_allocator,
};
const int kClassAllocatorCount = sizeof(kClassAllocators) / sizeof(kClassAllocators[0]);

// The two statuses by which a removed or recreated server object shows.
bool serverObjectsGone(yav_status_t status) {
    return status == YAV_S_IPC_KEY_REMOVED || status == YAV_S_IPC_INVALID_ID;
}

}  // namespace

YavProxyIFDispatcher::~YavProxyIFDispatcher() { shutdown(); }

yav_status_t YavProxyIFDispatcher::acquireAllocators() {
    for (int i = 0; i < kClassAllocatorCount; ++i) {
        yav_status_t status = kClassAllocators[i]->acquire();
        if (status != 0) {
            while (--i >= 0) kClassAllocators[i]->release();
            return status;
        }
    }
    return 0;
}

void YavProxyIFDispatcher::releaseAllocators() {
    for (int i = 0; i < kClassAllocatorCount; ++i) kClassAllocators[i]->release();
}

yav_status_t YavProxyIFDispatcher::initialize(YavLog* log, const char* serverId) {
    if (m_initialized) return YAV_S_IPC_ALREADY_INITIALIZED;
    yav_status_t status = YavProxyIFLog::create(log);
    if (status != 0) return status;
    status = acquireAllocators();
    if (status != 0) return status;
    m_allocatorsAcquired = true;
    m_initialized = true;

    m_pool = new (std::nothrow) YavClntWorkerPool();
    if (m_pool == nullptr) {
        status = YAV_S_NO_MEMORY;
    } else {
        status = m_pool->initialize(serverId);
    }
    if (status == 0) {
        YavProxyIFMsgFactory* errorFactory = new (std::nothrow) YavErrorMessageFactory();
        if (errorFactory == nullptr) {
            status = YAV_S_NO_MEMORY;
        } else {
            status = registerProxyMsgFactory(errorFactory);
            if (status != 0) delete errorFactory;
        }
    }
    if (status != 0) shutdown();
    return status;
}

yav_status_t YavProxyIFDispatcher::registerProxyMsgFactory(YavProxyIFMsgFactory* f) {
    if (!m_initialized) return YAV_S_IPC_NOT_INITIALIZED;
    if (f == nullptr) return YAV_S_INVALID_PARAMETER;
    if (m_factoryCount == m_factoryCapacity) {
        const int capacity = m_factoryCapacity + kFactoryGrowth;
        void* table = YavAllocator::reallocate(nullptr, m_factories,
                                               sizeof(YavProxyIFMsgFactory*) * m_factoryCapacity,
                                               sizeof(YavProxyIFMsgFactory*) * capacity);
        if (table == nullptr) return YAV_S_NO_MEMORY;
        m_factories = static_cast<YavProxyIFMsgFactory**>(table);
        m_factoryCapacity = capacity;
    }
    m_factories[m_factoryCount++] = f;
    return 0;
}

YavProxyIFMsgFactory* YavProxyIFDispatcher::lookupFactory(int type) const {
    for (int i = 0; i < m_factoryCount; ++i) {
        if (m_factories[i]->getType() == type) return m_factories[i];
    }
    return nullptr;
}

yav_status_t YavProxyIFDispatcher::dispatch(YavProxyIFMessage& question, YavProxyIFMessage** answer,
                                            void* context, bool* shouldRetry) {
    *shouldRetry = false;
    *answer = nullptr;
    if (!m_initialized) return YAV_S_IPC_NOT_INITIALIZED;

    // Whether this thread was elected to re-attach the pool.  It is asked
    // while this thread still counts as active (before the worker is given
    // back), so that a refresh waiting for it cannot end in between.  A
    // thread whose question began before another thread's election saw the
    // old objects; it waits for that refresh instead of running a second
    // one (a failure seen in getFreeWorker is reported after the thread
    // stopped counting as active).
    const unsigned generation = m_refreshes.load(std::memory_order_acquire);
    bool elected = false;
    YavClntWorkerBuffer* buf = nullptr;
    yav_status_t status = m_pool->getFreeWorker(&buf);
    if (status != 0) {
        if (serverObjectsGone(status)) elected = elect(generation);
    } else {
        // sendRequest resets a late result of an earlier use of this
        // worker as it raises the request, so that it cannot wake this
        // question.
        status = sendRequest(question, *buf);
        if (status == 0) status = receiveAnswerTo(question.getType(), answer, context, *buf);
        if (serverObjectsGone(status)) elected = elect(generation);
        // The status of giving the worker back does not change the
        // question's outcome: a server that went away meanwhile shows on
        // the next dispatch.
        m_pool->replaceWorker(buf);
    }

    if (status == YAV_S_WORKER_RESET) {
        *shouldRetry = true;
        return 0;
    }
    if (serverObjectsGone(status)) {
        if (elected) {
            if (m_pool->refresh() == 0) *shouldRetry = true;
        } else {
            m_pool->waitRefresh();
            *shouldRetry = true;
        }
        return YAV_S_IPC_KEY_REMOVED;
    }
    return status;
}

bool YavProxyIFDispatcher::elect(unsigned generation) {
    if (m_refreshes.load(std::memory_order_acquire) != generation) return false;
    if (!m_pool->refresher()) return false;
    m_refreshes.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

yav_status_t YavProxyIFDispatcher::sendRequest(YavProxyIFMessage& question,
                                               YavClntWorkerBuffer& buf) {
    YavSharedMemAllocator* a = buf.getRequestAllocator();
    if (a == nullptr) return YAV_S_IPC_INVALID_WORKER_BUFFER;
    yav_status_t status = question.marshal(*a);
    if (status == 0) status = buf.writeRequest(question.getType(), *a);
    if (status == 0) status = buf.resetResultAndSignalRequest();
    a->deleteMe();
    return status;
}

yav_status_t YavProxyIFDispatcher::receiveResult(YavProxyIFMessage** answer, void* context,
                                                 YavClntWorkerBuffer& buf) {
    return receiveAnswerTo(-1, answer, context, buf);
}

yav_status_t YavProxyIFDispatcher::receiveAnswerTo(int questionType, YavProxyIFMessage** answer,
                                                   void* context, YavClntWorkerBuffer& buf) {
    *answer = nullptr;
    yav_status_t status = buf.waitResult();
    if (status != 0) return status;
    // The server sets cleaned in the shared record when it reset this
    // worker while it served the question; the buffer then holds no answer.
    if (__atomic_load_n(&buf.getInfo()->cleaned, __ATOMIC_ACQUIRE) != 0) {
        return YAV_S_WORKER_RESET;
    }
    int type = 0;
    YavSharedMemIterator* it = nullptr;
    status = buf.readResult(type, &it);
    if (status != 0) return status;

    const int expected = yav_proxyif_answer_type(questionType);
    YavProxyIFMsgFactory* factory = nullptr;
    if (expected != -1 && type != expected && type != yav_msg_error) {
        // Its unmarshal would take the context for something it is not.
        YAV_PROXYIF_TRACE("Answer type %d does not answer a question of type %d\n", type,
                          questionType);
    } else {
        factory = lookupFactory(type);
        if (factory == nullptr) YAV_PROXYIF_TRACE("No factory for answer type %d\n", type);
    }
    if (factory == nullptr) {
        status = YAV_S_IPC_NO_FACTORY;
    } else {
        status = factory->createMsg(answer);
        if (status == 0) {
            status = (*answer)->unmarshal(*it, context);
            if (status != 0) {
                (*answer)->deleteMe();
                *answer = nullptr;
            }
        } else {
            *answer = nullptr;
        }
    }
    it->deleteMe();
    return status;
}

yav_status_t YavProxyIFDispatcher::shutdown() {
    if (!m_initialized) return 0;
    m_initialized = false;
    for (int i = 0; i < m_factoryCount; ++i) delete m_factories[i];
    YavAllocator::deallocate(nullptr, m_factories);
    m_factories = nullptr;
    m_factoryCount = 0;
    m_factoryCapacity = 0;
    if (m_pool != nullptr) {
        m_pool->shutdown();
        delete m_pool;
        m_pool = nullptr;
    }
    if (m_allocatorsAcquired) {
        releaseAllocators();
        m_allocatorsAcquired = false;
    }
    return 0;
}
