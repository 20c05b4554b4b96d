// YavProxyIFDispatcher: the one road from the plug-in to the authorization
// server.  dispatch() puts a question into a free worker's buffer, wakes the
// worker, waits for its answer, builds the answer object with the factory
// registered for the answer's type and hands it back.
//
// Memory: the dispatcher owns the client worker pool and the factory table
// with its factories (deleted by shutdown).  initialize() takes one
// reference on each of the four static caching allocators of the
// per-request classes (YavSharedMemAllocator, YavSharedMemIterator,
// YavClntWorkerBuffer, YavErrorMessage, in that order); shutdown() drops
// them in the same order, and the last reference deletes an allocator.  An
// answer returned by dispatch belongs to the caller (release with
// deleteMe()); values inside it may refer to the worker buffer only until
// dispatch returns.
//
// Threads: dispatch runs on every request thread at once; all per-request
// state lives in the taken worker and on the caller's stack, and the pool
// coordinates the threads.  initialize, registerProxyMsgFactory and
// shutdown change the dispatcher's fields and may only run while no
// dispatch is in progress.  Not copyable.
#ifndef YAV_PROXYIF_FRAMEWORK_YAVPROXYIFDISPATCHER_H
#define YAV_PROXYIF_FRAMEWORK_YAVPROXYIFDISPATCHER_H

#include <atomic>

#include "core/sundry/yav_base.h"
#include "core/trace/YavLog.h"
#include "proxyif/framework/YavProxyIFMessage.h"
#include "proxyif/framework/YavProxyIFMsgFactory.h"

class YavClntWorkerBuffer;
class YavClntWorkerPool;

class YAV_EXPORT YavProxyIFDispatcher {
  public:
    // Entries added to the factory table when it is full.
    static const int kFactoryGrowth = 5;

    YavProxyIFDispatcher() = default;
    // shutdown().
    virtual ~YavProxyIFDispatcher();
    YAV_DISALLOW_COPY(YavProxyIFDispatcher);

    // Creates the trace channel, acquires the four class allocators,
    // attaches to the authorization server's objects named by serverId (a
    // file path) and registers the error message factory.
    // YAV_S_IPC_ALREADY_INITIALIZED when already initialized (nothing
    // changes); otherwise 0 or the first failure (everything undone).
    yav_status_t initialize(YavLog* log, const char* serverId);
    // Appends f to the factory table, growing it by kFactoryGrowth entries
    // when full; from then on the dispatcher owns f.
    // YAV_S_IPC_NOT_INITIALIZED before initialize, YAV_S_INVALID_PARAMETER
    // for a null f, YAV_S_NO_MEMORY when the table cannot grow; on failure
    // f still belongs to the caller.
    yav_status_t registerProxyMsgFactory(YavProxyIFMsgFactory* f);
    // The first registered factory of type, or null.
    YavProxyIFMsgFactory* lookupFactory(int type) const;

    // Sends question and builds its answer into *answer (null unless the
    // result is 0 with an answer).  *shouldRetry tells the caller to send
    // the question again:
    //   not initialized                      YAV_S_IPC_NOT_INITIALIZED, false
    //   the server removed or replaced its
    //   objects (taking a worker, sending
    //   or waiting)                          YAV_S_IPC_KEY_REMOVED, true after
    //                                        a successful refresh of the pool
    //   the server reset the worker          0 without answer, true
    //   no factory for the answer's type,
    //   or an answer of a type that does not
    //   answer this question (see
    //   yav_proxyif_answer_type)             YAV_S_IPC_NO_FACTORY, false
    //   anything else                        its status, false
    // One elected thread re-attaches the pool after a server restart while
    // the others that noticed it wait for it to finish; a thread whose
    // question began before that election does not refresh again.  The worker is
    // given back in every case once taken.
    // REQUIRES: answer and shouldRetry not null.
    yav_status_t dispatch(YavProxyIFMessage& question, YavProxyIFMessage** answer, void* context,
                          bool* shouldRetry);
    // The two halves of dispatch, on a taken worker.  sendRequest marshals
    // the question into the request region, writes the request header and
    // wakes the worker, clearing a late result of an earlier question in
    // the same step (YAV_S_IPC_INVALID_WORKER_BUFFER when no request
    // allocator can be had).  receiveResult waits for the answer
    // (YAV_S_WORKER_RESET when the server reset the worker meanwhile),
    // looks up the factory and unmarshals the answer (released again when
    // that fails).  receiveResult does not know the question, so it takes
    // an answer of any type: its caller must pass a context that every
    // registered answer type can read.
    yav_status_t sendRequest(YavProxyIFMessage& question, YavClntWorkerBuffer& buf);
    yav_status_t receiveResult(YavProxyIFMessage** answer, void* context, YavClntWorkerBuffer& buf);

    // Deletes the factories, shuts the pool down and drops the allocator
    // references.  0; nothing to do when not initialized.
    yav_status_t shutdown();

    bool isInitialized() const { return m_initialized; }
    // The worker pool (null when not initialized).
    YavClntWorkerPool* getPool() const { return m_pool; }
    int getFactoryCount() const { return m_factoryCount; }
    int getFactoryCapacity() const { return m_factoryCapacity; }
    // Number of threads elected to refresh the pool since construction.
    unsigned getRefreshCount() const { return m_refreshes.load(std::memory_order_relaxed); }

  private:
    // Acquires the four class allocators in order; on failure releases
    // those already acquired.
    static yav_status_t acquireAllocators();
    static void releaseAllocators();
    // True when this thread is to refresh the pool: no thread has been
    // elected since generation was read, and the pool elects this one.
    bool elect(unsigned generation);
    // receiveResult for a question of questionType: an answer whose type
    // does not answer it (other than an error message) is refused with
    // YAV_S_IPC_NO_FACTORY before it is made.  -1 takes any type.
    yav_status_t receiveAnswerTo(int questionType, YavProxyIFMessage** answer, void* context,
                                 YavClntWorkerBuffer& buf);

    YavClntWorkerPool* m_pool = nullptr;
    YavProxyIFMsgFactory** m_factories = nullptr;
    int m_factoryCount = 0;
    int m_factoryCapacity = 0;
    bool m_initialized = false;
    bool m_allocatorsAcquired = false;
    std::atomic<unsigned> m_refreshes{0};  // elections so far; read at each dispatch
};

#endif  // YAV_PROXYIF_FRAMEWORK_YAVPROXYIFDISPATCHER_H
