// YavWorkerServer: the authorization server's side of the worker protocol,
// for the reference authorization server and for tests.
//
// start() creates the four shared objects under a key file (a pool of N
// workers, each with a buffer of a given size), marks every worker FREE,
// sets the free count to N and runs one thread per worker.  Each thread
// waits on its worker's request semaphore, reads the question (type, length
// and element chain of the request region), lets the handler write the
// answer as an element chain at the result start offset, sets the result
// type and length and raises the result semaphore.  A question whose type
// or length is out of range, or whose result region does not fit, is
// answered with an error message (type 0, one 4-byte element holding
// YAV_S_INVALID_PARAMETER).  A handler failure is answered with an error
// message holding the handler's status.  stop() ends the threads and
// removes every object.
//
// Test controls make the server misbehave on purpose: reset a worker that a
// client holds, restart (remove and recreate every object) while running,
// write malformed answers, delay answers.  A reset sets the worker's
// `cleaned` flag and leaves it CLEANED or FREE; a sweeper thread sets a
// CLEANED worker back to FREE once its holder gave it back (inUse 0).
//
// Memory: the server owns its YavWorkerPool and threads; the handler
// belongs to the caller and must outlive stop().
//
// Threads: start, stop and restart are called from one controlling thread;
// the test controls and observers from any thread.  m_lock guards the
// behaviour, the generation, m_busy, m_cleanedPending and the flags; the
// worker and sweeper threads and the controls use the pool only while
// m_busy counts them or under m_lock, and restart waits for m_busy to reach
// 0.  The shared records are touched only under the pool lock.  Not
// copyable.
#ifndef YAV_SERVER_YAVWORKERSERVER_H
#define YAV_SERVER_YAVWORKERSERVER_H

#include <pthread.h>

#include <cstdint>

#include "core/sundry/yav_base.h"
#include "proxyif/ipc/YavWorkerPool.h"

class YavSharedMemAllocator;
class YavSharedMemIterator;

// Answers one question.  The handler reads the question's elements from
// question and writes the answer's elements through answer (an allocator
// over the result region), and sets *answerType.  Returning a non-zero
// status makes the server answer with an error message holding it.
// Called on the worker threads, concurrently for different workers.
class YavWorkerHandler {
  public:
    virtual ~YavWorkerHandler() = default;
    virtual yav_status_t handle(int worker, int questionType, YavSharedMemIterator& question,
                                YavSharedMemAllocator& answer, int* answerType) = 0;
};

// Copies every element of the question into the answer, in order, and
// answers with a fixed type.
class YavEchoHandler : public YavWorkerHandler {
  public:
    explicit YavEchoHandler(int answerType) : m_answerType(answerType) {}
    yav_status_t handle(int worker, int questionType, YavSharedMemIterator& question,
                        YavSharedMemAllocator& answer, int* answerType) override;

  private:
    int m_answerType;
};

// Answers every question with an error message holding a fixed code.
class YavErrorHandler : public YavWorkerHandler {
  public:
    explicit YavErrorHandler(yav_status_t code) : m_code(code) {}
    yav_status_t handle(int worker, int questionType, YavSharedMemIterator& question,
                        YavSharedMemAllocator& answer, int* answerType) override;

  private:
    yav_status_t m_code;
};

// Ways to spoil an answer after the handler wrote it.
enum yav_malformed_e {
    yav_malformed_none = 0,
    yav_malformed_length_past_region,  // first element claims more than the region
    yav_malformed_next_outside,        // first element's next offset outside the segment
    yav_malformed_loop,                // the last element points back at the first
    yav_malformed_result_length,       // result length past the worker's buffer
    yav_malformed_result_type,         // result type that names no message
    yav_malformed_result_offset,       // result start offset past the worker's buffer
};

// Names of the kinds ("none", "length", "next", "loop", "result-length",
// "result-type", "result-offset"); false for an unknown name.
bool yav_malformed_from_name(const char* name, yav_malformed_e* kind);

// How a reset leaves the worker.
enum yav_reset_mode_e {
    yav_reset_cleaned = 0,   // state CLEANED
    yav_reset_free_cleaned,  // state FREE with cleaned = 1
};

class YavWorkerServer {
  public:
    // The type of the error message and the result type used by
    // yav_malformed_result_type.
    static constexpr int kErrorMessageType = 0;
    static constexpr int kBogusResultType = 0x7fff0001;
    // Question types accepted (larger ones are refused).
    static constexpr int kMaxQuestionType = 255;

    YavWorkerServer();
    // stop().
    ~YavWorkerServer();
    YAV_DISALLOW_COPY(YavWorkerServer);

    // Creates the objects under keyPath (removing what a dead server left
    // there first) and starts numWorkers threads answering through handler.
    // bufferSize is each worker's buffer size (rounded up to a multiple of
    // 4, at least 64).  YAV_S_INVALID_PARAMETER for a null handler or a
    // numWorkers outside 1..1024; an IPC status when an object cannot be
    // created (everything created is removed again).
    yav_status_t start(const char* keyPath, int numWorkers, unsigned bufferSize,
                       YavWorkerHandler* handler);
    // Ends the threads (waking them by removing the semaphore sets), joins
    // them and removes every object.  Harmless when not started.
    yav_status_t stop();
    // Removes every object and creates all of them anew (new ids, every
    // worker FREE, free count N) while the threads keep running; waits for
    // answers in progress first.
    yav_status_t restart();

    // Test controls.
    void setHandler(YavWorkerHandler* handler);
    void setMalformed(yav_malformed_e kind);
    // Each answer is delayed by ms milliseconds (stop and restart cut the
    // delay short).
    void setDelayMs(unsigned ms);
    // The next question is not answered: the worker is reset (mode) and its
    // result semaphore raised.
    void resetOnNextQuestion(yav_reset_mode_e mode);
    // Resets worker i now (mode) under the pool lock and raises its result
    // semaphore.  YAV_S_INVALID_PARAMETER for a bad index.
    yav_status_t resetWorker(int i, yav_reset_mode_e mode);

    // Observers (under the pool lock where they read shared records).
    bool isRunning() const { return m_running; }
    int getNumWorkers() const { return m_numWorkers; }
    unsigned getBufferSize() const { return m_bufferSize; }
    yav_status_t getFreeCount(int* value);
    // The state and a copy of the worker_info of worker i.
    yav_status_t getWorker(int i, int* state, worker_info* info);
    // Changes the worker_info of worker i under the pool lock (tests set
    // inUse, takenTime, cleaned).  YAV_S_INVALID_PARAMETER for a bad index.
    yav_status_t setWorker(int i, int state, const worker_info& info);
    // Number of questions answered (or reset) since start.
    unsigned getAnswered();
    // Number of completed restarts.
    unsigned getGeneration();
    // The pool (creating side).  REQUIRES: running; valid until the next
    // restart or stop.
    YavWorkerPool* getPool() const { return m_pool; }

  private:
    struct Worker {
        YavWorkerServer* server;
        int index;
        pthread_t thread;
        bool started;
    };

    static void* workerMain(void* arg);
    static void* sweeperMain(void* arg);
    // The test controls as one question sees them (read under m_lock).
    struct Controls {
        YavWorkerHandler* handler;
        yav_malformed_e malformed;
        bool reset;
        yav_reset_mode_e resetMode;
    };

    void serve(int index);
    // Answers the question in worker index's buffer.  REQUIRES: counted in
    // m_busy.
    void answer(int index, const Controls& controls);
    void sweep();
    // Leaves the worker as a server reset leaves it.  REQUIRES: the pool lock.
    static void markReset(YavWorkerPool* pool, int index, yav_reset_mode_e mode);
    void spoil(yav_malformed_e kind, yav_worker_buffer_header* header, char* base,
               unsigned resStart, unsigned resultSize, unsigned segSize);
    yav_status_t createObjects();
    void destroyObjects();
    // Counts the caller in m_busy (so the pool stays) after checking that
    // the server runs and i is a worker index; leavePool undoes it and adds
    // cleanedAdded workers for the sweeper.
    yav_status_t enterPool(int i, YavWorkerPool** pool);
    void leavePool(int cleanedAdded);
    // Waits ms milliseconds or until stop/restart.  REQUIRES: m_lock held.
    void delayLocked(unsigned ms);
    uint64_t bufferOffset(int i) const { return static_cast<uint64_t>(i) * m_bufferSize; }

    YavWorkerPool* m_pool = nullptr;
    Worker* m_workers = nullptr;
    pthread_t m_sweeper;
    bool m_sweeperStarted = false;
    char* m_keyPath = nullptr;
    int m_numWorkers = 0;
    unsigned m_bufferSize = 0;
    bool m_running = false;

    pthread_mutex_t m_lock;
    pthread_cond_t m_cond;
    YavWorkerHandler* m_handler = nullptr;
    yav_malformed_e m_malformed = yav_malformed_none;
    unsigned m_delayMs = 0;
    bool m_resetNext = false;
    yav_reset_mode_e m_resetMode = yav_reset_cleaned;
    bool m_stopping = false;
    bool m_restarting = false;
    unsigned m_generation = 0;
    int m_busy = 0;            // threads using m_pool outside m_lock
    int m_cleanedPending = 0;  // workers reset to CLEANED not yet FREE again
    unsigned m_answered = 0;
};

#endif  // YAV_SERVER_YAVWORKERSERVER_H
