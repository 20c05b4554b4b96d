// YavClntWorkerBuffer: the plug-in's side of one taken worker: writes the
// question into the request region, wakes the worker, waits for its answer
// and hands out an iterator over the result region.
//
// Instances come from the static caching allocator m_allocator (acquired by
// the dispatcher; tests acquire it themselves) through create() and go back
// with deleteMe().  A buffer may also live on the stack.
//
// Memory: the allocators and iterators handed out belong to the caller, who
// releases them with deleteMe(); they point into the worker segment and are
// valid while the worker is held and the pool stays attached.
//
// Threads: a buffer belongs to the one thread that took the worker, until
// YavClntWorkerPool::replaceWorker.  Not copyable.
#ifndef YAV_PROXYIF_IPC_YAVCLNTWORKERBUFFER_H
#define YAV_PROXYIF_IPC_YAVCLNTWORKERBUFFER_H

#include "core/memory/YavClassAllocator.h"
#include "core/sundry/yav_base.h"
#include "proxyif/ipc/YavWorkerBuffer.h"

class YavSharedMemAllocator;
class YavSharedMemIterator;

class YavClntWorkerBuffer : public YavWorkerBuffer {
  public:
    // Name code YAV_N_CLIENT_WORKER_BUFFER, initial block size 12.
    static YavClassAllocator m_allocator;

    YavClntWorkerBuffer() = default;
    ~YavClntWorkerBuffer() override = default;
    YAV_DISALLOW_COPY(YavClntWorkerBuffer);

    // A new buffer from m_allocator; null when none can be had.
    // REQUIRES: m_allocator is acquired.
    static YavClntWorkerBuffer* create();
    // Gives a buffer made by create() back to m_allocator.
    virtual void deleteMe();

    // Stores the request start offset in the header and returns a new
    // allocator over the request region; null when none can be made.
    YavSharedMemAllocator* getRequestAllocator();
    // Header: request type, request length = a's used size, result type and
    // length 0, result start offset after the request.
    yav_status_t writeRequest(int type, YavSharedMemAllocator& a);
    // Raises the worker's request semaphore.
    yav_status_t signalRequest();
    // Waits on the worker's result semaphore (no time-out).
    yav_status_t waitResult();
    // Sets the result semaphore to 0.
    yav_status_t resetResult();
    // resetResult and signalRequest: raises the request semaphore in one
    // semop that also checks that the result semaphore is 0; only when a
    // late result is pending there does it reset the result and raise the
    // request in two further calls.
    yav_status_t resetResultAndSignalRequest();
    // The result type and a new iterator over the result region.
    // YAV_S_IPC_INVALID_WORKER_BUFFER when the header names another worker;
    // YAV_S_IPC_NO_MORE_SEGMENTS when the result start or length the server
    // left would reach outside the worker's buffer; YAV_S_NO_MEMORY when no
    // iterator can be had.
    yav_status_t readResult(int& type, YavSharedMemIterator** it);
};

#endif  // YAV_PROXYIF_IPC_YAVCLNTWORKERBUFFER_H
