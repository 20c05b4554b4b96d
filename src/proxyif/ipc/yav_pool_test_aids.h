// Test aids of the worker-pool tests: the class allocators a client needs,
// a question/answer round trip through a taken worker, and a capture of the
// "tessaro.proxy-if" trace.
//
// Test-only and header-only (no GoogleTest dependency).  One thread uses an
// object at a time; the trace capture may receive lines from any thread.
#ifndef YAV_PROXYIF_IPC_YAV_POOL_TEST_AIDS_H
#define YAV_PROXYIF_IPC_YAV_POOL_TEST_AIDS_H

#include <cstring>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/trace/yav_trace_test_aids.h"
#include "proxyif/framework/YavProxyIFLog.h"
#include "proxyif/ipc/YavClntWorkerBuffer.h"
#include "proxyif/ipc/YavClntWorkerPool.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

// Holds a reference on the three class allocators a client uses (as the
// dispatcher does) for the object's lifetime.
class YavPoolTestAllocators {
  public:
    YavPoolTestAllocators() {
        m_ok = YavClntWorkerBuffer::m_allocator.acquire() == 0;
        m_ok = (YavSharedMemAllocator::m_allocator.acquire() == 0) && m_ok;
        m_ok = (YavSharedMemIterator::m_allocator.acquire() == 0) && m_ok;
    }
    ~YavPoolTestAllocators() {
        YavSharedMemIterator::m_allocator.release();
        YavSharedMemAllocator::m_allocator.release();
        YavClntWorkerBuffer::m_allocator.release();
    }
    YavPoolTestAllocators(const YavPoolTestAllocators&) = delete;
    YavPoolTestAllocators& operator=(const YavPoolTestAllocators&) = delete;
    bool ok() const { return m_ok; }

  private:
    bool m_ok;
};

// Writes a question of the given elements into buf and raises its request
// semaphore (the result semaphore is reset first).
inline yav_status_t yav_pool_send(YavClntWorkerBuffer* buf, int type,
                                  const std::vector<std::string>& elements) {
    YavSharedMemAllocator* a = buf->getRequestAllocator();
    if (a == nullptr) return YAV_S_IPC_INVALID_WORKER_BUFFER;
    yav_status_t st = 0;
    for (const std::string& e : elements) {
        void* data = nullptr;
        st = a->allocate(static_cast<unsigned>(e.size()), &data);
        if (st != 0) break;
        memcpy(data, e.data(), e.size());
    }
    if (st == 0) st = buf->writeRequest(type, *a);
    a->deleteMe();
    if (st == 0) st = buf->resetResult();
    if (st == 0) st = buf->signalRequest();
    return st;
}

// Reads the answer's type and every element; the iterator's failure is
// returned (elements before it are kept).
inline yav_status_t yav_pool_read(YavClntWorkerBuffer* buf, int* type,
                                  std::vector<std::string>* elements) {
    YavSharedMemIterator* it = nullptr;
    yav_status_t st = buf->readResult(*type, &it);
    if (st != 0) return st;
    while (it->hasMoreElements()) {
        unsigned len = 0;
        void* data = nullptr;
        st = it->getNextElement(&len, &data);
        if (st != 0) break;
        elements->emplace_back(static_cast<const char*>(data), len);
    }
    it->deleteMe();
    return st;
}

// One question and its answer through a worker of pool: take, send, wait,
// read, give back.  YAV_S_WORKER_RESET when the server reset the worker.
inline yav_status_t yav_pool_round_trip(YavClntWorkerPool& pool, int type,
                                        const std::vector<std::string>& question, int* answerType,
                                        std::vector<std::string>* answer) {
    YavClntWorkerBuffer* buf = nullptr;
    yav_status_t st = pool.getFreeWorker(&buf);
    if (st != 0) return st;
    st = yav_pool_send(buf, type, question);
    if (st == 0) st = buf->waitResult();
    if (st == 0 && buf->getInfo()->cleaned != 0) st = YAV_S_WORKER_RESET;
    if (st == 0) st = yav_pool_read(buf, answerType, answer);
    yav_status_t replaced = pool.replaceWorker(buf);
    return st != 0 ? st : replaced;
}

// Routes the "tessaro.proxy-if" trace at level 9 into a recording log for
// the object's lifetime.
class YavPoolTraceCapture {
  public:
    YavPoolTraceCapture() {
        YavProxyIFLog::create(nullptr);
        YavTrace* trace = YavProxyIFLog::peek();
        if (trace != nullptr) {
            trace->setLog(&m_log, false);
            trace->setLevel(9);
        }
    }
    ~YavPoolTraceCapture() {
        YavTrace* trace = YavProxyIFLog::peek();
        if (trace != nullptr) {
            trace->setLevel(0);
            trace->setLog(nullptr, false);
        }
    }
    YavPoolTraceCapture(const YavPoolTraceCapture&) = delete;
    YavPoolTraceCapture& operator=(const YavPoolTraceCapture&) = delete;

    // Every text traced so far.
    std::vector<std::string> texts() {
        for (std::string& t : m_log.texts()) m_kept.push_back(t);
        return m_kept;
    }
    // True when some text traced so far contains part; the first such text
    // in *found.
    bool contains(const std::string& part, std::string* found = nullptr) {
        for (const std::string& t : texts()) {
            if (t.find(part) != std::string::npos) {
                if (found != nullptr) *found = t;
                return true;
            }
        }
        return false;
    }

  private:
    YavRecordingLog m_log;
    std::vector<std::string> m_kept;
};

#endif  // YAV_PROXYIF_IPC_YAV_POOL_TEST_AIDS_H
