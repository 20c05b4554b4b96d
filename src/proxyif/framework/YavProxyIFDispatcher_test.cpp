#include "proxyif/framework/YavProxyIFDispatcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/msg/yav_status.h"
#include "proxyif/framework/YavErrorMessage.h"
#include "proxyif/framework/yav_dispatch_test_messages.h"
#include "proxyif/ipc/YavClntWorkerBuffer.h"
#include "proxyif/ipc/YavClntWorkerPool.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"
#include "server/yav_test_server_process.h"

namespace {

const int kWorkers = 4;
const size_t kBufferSize = 4096;  // the test server's default worker buffer

// Outstanding blocks of the four per-request class allocators: none may be
// left once a dispatch has returned and its answer has been released.
long outstandingRequestObjects() {
    return yav_class_allocator_outstanding(YavSharedMemAllocator::m_allocator) +
           yav_class_allocator_outstanding(YavSharedMemIterator::m_allocator) +
           yav_class_allocator_outstanding(YavClntWorkerBuffer::m_allocator) +
           yav_class_allocator_outstanding(YavErrorMessage::m_allocator);
}

// Outcome of one dispatch, whose answer, if any, is released.
struct Outcome {
    yav_status_t status = 0xFFFFFFFFu;
    bool retry = false;
    bool answered = false;
};

Outcome dispatchOnce(YavProxyIFDispatcher* dispatcher, YavTestQuestion* question) {
    Outcome out;
    YavProxyIFMessage* answer = nullptr;
    out.status = dispatcher->dispatch(*question, &answer, nullptr, &out.retry);
    out.answered = answer != nullptr;
    if (answer != nullptr) answer->deleteMe();
    return out;
}

class YavProxyIFDispatcherTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_key.ok()) << m_key.error(); }

    // Starts yav_test_authzd under the test's key with kWorkers workers.
    void startServer(std::vector<std::string> extra) {
        extra.push_back("--workers");
        extra.push_back(std::to_string(kWorkers));
        ASSERT_TRUE(yav_start_test_authzd(&m_server, m_key.path(), extra));
    }

    // Initializes the dispatcher and registers an answer factory of type 3.
    void initialize() {
        ASSERT_EQ(0u, m_dispatcher.initialize(nullptr, m_key.path()));
        ASSERT_EQ(0u, m_dispatcher.registerProxyMsgFactory(
                          new YavTestAnswerFactory(yav_msg_web_trans_answer)));
    }

    int freeCount() {
        int value = -1;
        EXPECT_EQ(0u, m_dispatcher.getPool()->getFreeCount(&value));
        return value;
    }

    // Declared in this order so that the dispatcher detaches first, then
    // the server is stopped, then every object under the key is removed.
    YavIpcTestKey m_key;
    YavTestProcess m_server;
    YavProxyIFDispatcher m_dispatcher;
};

TEST_F(YavProxyIFDispatcherTest, RefusesEverythingBeforeInitialize) {
    YavTestQuestion question;
    YavProxyIFMessage* answer = reinterpret_cast<YavProxyIFMessage*>(&question);
    bool retry = true;
    EXPECT_EQ(YAV_S_IPC_NOT_INITIALIZED, m_dispatcher.dispatch(question, &answer, nullptr, &retry));
    EXPECT_FALSE(retry);
    EXPECT_EQ(nullptr, answer);
    YavTestAnswerFactory factory(yav_msg_web_trans_answer);
    EXPECT_EQ(YAV_S_IPC_NOT_INITIALIZED, m_dispatcher.registerProxyMsgFactory(&factory));
    EXPECT_EQ(0u, m_dispatcher.shutdown());
    EXPECT_EQ(nullptr, m_dispatcher.lookupFactory(yav_msg_error));
}

TEST_F(YavProxyIFDispatcherTest, InitializeFailsWithoutServerAndUndoesEverything) {
    const unsigned referencesBefore = YavErrorMessage::m_allocator.references();
    EXPECT_EQ(YAV_S_IPC_NO_SEGMENT, m_dispatcher.initialize(nullptr, m_key.path()));
    EXPECT_FALSE(m_dispatcher.isInitialized());
    EXPECT_EQ(nullptr, m_dispatcher.getPool());
    EXPECT_EQ(referencesBefore, YavErrorMessage::m_allocator.references());
    std::string missing = std::string(m_key.path()) + ".missing";
    EXPECT_EQ(YAV_S_IPC_KEY_CREATE, m_dispatcher.initialize(nullptr, missing.c_str()));
    EXPECT_EQ(referencesBefore, YavSharedMemAllocator::m_allocator.references());
}

TEST_F(YavProxyIFDispatcherTest, QuestionGoesToServerProcessAndAnswerComesFromFactory) {
    startServer({"--echo", "3"});
    initialize();
    EXPECT_NE(nullptr, m_dispatcher.lookupFactory(yav_msg_error));
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        YavTestQuestion question;
        std::vector<YavTestPairs> sent;
        for (int e = 0; e <= round % 4; ++e) {
            YavTestPairs pairs;
            for (int p = 0; p <= (round + e) % 3; ++p) {
                pairs.emplace_back("name" + std::to_string(p),
                                   std::string(static_cast<size_t>(round * 7 + e), 'v'));
            }
            question.addPairs(pairs);
            sent.push_back(pairs);
        }
        int context = round;
        YavProxyIFMessage* answer = nullptr;
        bool retry = true;
        ASSERT_EQ(0u, m_dispatcher.dispatch(question, &answer, &context, &retry));
        EXPECT_FALSE(retry);
        ASSERT_NE(nullptr, answer);
        YavTestAnswer* echo = dynamic_cast<YavTestAnswer*>(answer);
        ASSERT_NE(nullptr, echo);
        EXPECT_EQ(yav_msg_web_trans_answer, echo->getType());
        EXPECT_EQ(sent, echo->elements());
        EXPECT_EQ(&context, echo->context());
        answer->deleteMe();
        EXPECT_EQ(0, outstandingRequestObjects());
    }
    EXPECT_EQ(kWorkers, freeCount());
}

TEST_F(YavProxyIFDispatcherTest, ErrorMessageAnswerCarriesExactlyItsCode) {
    startServer({"--error", std::to_string(YAV_S_IPC_ACCESS_DENIED)});
    initialize();
    YavTestQuestion question;
    question.addPairs({{"x", "y"}});
    YavProxyIFMessage* answer = nullptr;
    bool retry = true;
    ASSERT_EQ(0u, m_dispatcher.dispatch(question, &answer, nullptr, &retry));
    EXPECT_FALSE(retry);
    ASSERT_NE(nullptr, answer);
    ASSERT_EQ(yav_msg_error, answer->getType());
    EXPECT_EQ(YAV_S_IPC_ACCESS_DENIED, static_cast<YavErrorMessage*>(answer)->getCode());
    EXPECT_EQ(1, outstandingRequestObjects());  // the answer itself
    answer->deleteMe();
    EXPECT_EQ(0, outstandingRequestObjects());
}

TEST_F(YavProxyIFDispatcherTest, InitializeTwiceKeepsFirstSetupAndShutdownTwiceIsHarmless) {
    startServer({"--echo", "3"});
    initialize();
    YavClntWorkerPool* pool = m_dispatcher.getPool();
    const int factories = m_dispatcher.getFactoryCount();
    const unsigned references = YavSharedMemIterator::m_allocator.references();
    EXPECT_EQ(YAV_S_IPC_ALREADY_INITIALIZED, m_dispatcher.initialize(nullptr, m_key.path()));
    EXPECT_EQ(pool, m_dispatcher.getPool());
    EXPECT_EQ(factories, m_dispatcher.getFactoryCount());
    EXPECT_EQ(references, YavSharedMemIterator::m_allocator.references());
    YavTestQuestion question;
    question.addPairs({{"k", "v"}});
    EXPECT_EQ(0u, dispatchOnce(&m_dispatcher, &question).status);

    EXPECT_EQ(0u, m_dispatcher.shutdown());
    EXPECT_EQ(references - 1, YavSharedMemIterator::m_allocator.references());
    EXPECT_EQ(0u, m_dispatcher.shutdown());
    EXPECT_EQ(references - 1, YavSharedMemIterator::m_allocator.references());
    EXPECT_EQ(YAV_S_IPC_NOT_INITIALIZED, dispatchOnce(&m_dispatcher, &question).status);
    // A new cycle works again.
    initialize();
    EXPECT_EQ(0u, dispatchOnce(&m_dispatcher, &question).status);
}

TEST_F(YavProxyIFDispatcherTest, FactoryTableGrowsByFiveAndLookupFindsFirstOfType) {
    startServer({"--echo", "3"});
    ASSERT_EQ(0u, m_dispatcher.initialize(nullptr, m_key.path()));
    EXPECT_EQ(1, m_dispatcher.getFactoryCount());
    EXPECT_EQ(5, m_dispatcher.getFactoryCapacity());
    std::vector<YavProxyIFMsgFactory*> made;
    for (int type = 1; type <= 11; ++type) {
        made.push_back(new YavTestAnswerFactory(type % 8));
        ASSERT_EQ(0u, m_dispatcher.registerProxyMsgFactory(made.back()));
    }
    EXPECT_EQ(12, m_dispatcher.getFactoryCount());
    EXPECT_EQ(15, m_dispatcher.getFactoryCapacity());
    EXPECT_EQ(made[2], m_dispatcher.lookupFactory(3));  // type 3 also at index 10
    EXPECT_EQ(yav_msg_error, m_dispatcher.lookupFactory(0)->getType());
    EXPECT_EQ(nullptr, m_dispatcher.lookupFactory(99));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, m_dispatcher.registerProxyMsgFactory(nullptr));
}

TEST_F(YavProxyIFDispatcherTest, WorkerResetDuringQuestionAsksForRetryWithoutAnswer) {
    for (const char* mode : {"cleaned", "free"}) {
        SCOPED_TRACE(mode);
        m_server.stop();
        m_dispatcher.shutdown();
        startServer({"--echo", "3", "--reset-next", mode});
        initialize();
        YavTestQuestion question;
        question.addPairs({{"q", "1"}});
        YavProxyIFMessage* answer = nullptr;
        bool retry = false;
        EXPECT_EQ(0u, m_dispatcher.dispatch(question, &answer, nullptr, &retry));
        EXPECT_TRUE(retry);
        EXPECT_EQ(nullptr, answer);
        EXPECT_EQ(0, outstandingRequestObjects());
        // The question sent again is answered.
        ASSERT_EQ(0u, m_dispatcher.dispatch(question, &answer, nullptr, &retry));
        EXPECT_FALSE(retry);
        ASSERT_NE(nullptr, answer);
        answer->deleteMe();
        EXPECT_EQ(kWorkers, freeCount());
    }
}

// Questions that do not fit and answers that cannot become an answer
// object: the dispatch fails with a status and no answer, never crashes or
// loops, and the worker and every per-request object are given back.
TEST_F(YavProxyIFDispatcherTest, UnusableAnswersFailWithStatusAndWorkerBack) {
    const std::vector<yav_status_t> broken = {YAV_S_IPC_NO_MORE_SEGMENTS, YAV_S_UNMARSHAL_FAILED};
    enum QuestionKind { kTwoElements, kEmpty, kLargerThanBuffer };
    struct Case {
        std::vector<std::string> server;
        QuestionKind question;
        std::vector<yav_status_t> accepted;
    };
    const std::vector<Case> cases = {
        // A question larger than the worker's buffer.
        {{"--echo", "3"}, kLargerThanBuffer, {YAV_S_NO_MEMORY}},
        // An answer type without a factory.
        {{"--echo", std::to_string(yav_msg_urc_version_answer)},
         kTwoElements,
         {YAV_S_IPC_NO_FACTORY}},
        {{"--echo", "3", "--malformed", "result-type"}, kTwoElements, {YAV_S_IPC_NO_FACTORY}},
        // An error message without its element.
        {{"--echo", std::to_string(yav_msg_error)}, kEmpty, {YAV_S_UNMARSHAL_FAILED}},
        // Element chains and result headers spoiled by the server.
        {{"--echo", "3", "--malformed", "length"}, kTwoElements, broken},
        {{"--echo", "3", "--malformed", "next"}, kTwoElements, broken},
        {{"--echo", "3", "--malformed", "loop"}, kTwoElements, broken},
        {{"--echo", "3", "--malformed", "result-length"}, kTwoElements, broken},
        {{"--echo", "3", "--malformed", "result-offset"}, kTwoElements, broken},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server.back());
        m_server.stop();
        m_dispatcher.shutdown();
        startServer(c.server);
        initialize();
        YavTestQuestion question;
        if (c.question == kTwoElements) {
            question.addPairs({{"first", "element"}});
            question.addPairs({{"second", "element"}, {"with", "two pairs"}});
        } else if (c.question == kLargerThanBuffer) {
            question.addElement(std::string(kBufferSize, 'q'));
        }
        for (int round = 0; round < 3; ++round) {
            YavProxyIFMessage* answer = nullptr;
            bool retry = true;
            yav_status_t status = m_dispatcher.dispatch(question, &answer, nullptr, &retry);
            EXPECT_NE(c.accepted.end(), std::find(c.accepted.begin(), c.accepted.end(), status))
                << std::hex << status;
            EXPECT_FALSE(retry);
            EXPECT_EQ(nullptr, answer);
            EXPECT_EQ(0, outstandingRequestObjects());
            EXPECT_EQ(kWorkers, freeCount());
        }
    }
}

// An answer reads the context that its own question's caller passes: a
// configuration answer to a web request would take the transaction for the
// configuration context.  Such an answer is refused before it is made.
TEST_F(YavProxyIFDispatcherTest, AnAnswerToAnotherKindOfQuestionIsRefusedBeforeItIsMade) {
    startServer({"--echo", std::to_string(yav_msg_config_answer)});
    initialize();
    ASSERT_EQ(
        0u, m_dispatcher.registerProxyMsgFactory(new YavTestAnswerFactory(yav_msg_config_answer)));
    YavTestQuestion web;
    web.addPairs({{"q", "1"}});
    YavProxyIFMessage* answer = nullptr;
    bool retry = true;
    EXPECT_EQ(YAV_S_IPC_NO_FACTORY, m_dispatcher.dispatch(web, &answer, nullptr, &retry));
    EXPECT_EQ(nullptr, answer);
    EXPECT_FALSE(retry);
    EXPECT_EQ(0, outstandingRequestObjects());
    EXPECT_EQ(kWorkers, freeCount());

    YavTestQuestion config(yav_msg_config_question);
    config.addPairs({{"q", "1"}});
    ASSERT_EQ(0u, m_dispatcher.dispatch(config, &answer, nullptr, &retry));
    ASSERT_NE(nullptr, answer);
    EXPECT_EQ(yav_msg_config_answer, answer->getType());
    answer->deleteMe();
}

TEST_F(YavProxyIFDispatcherTest, ServerRestartIsRefreshedByOneThreadAndRetriedWithoutInitialize) {
    const int kThreads = 4;
    startServer({"--echo", "3"});
    initialize();
    YavTestQuestion warmQuestion;
    warmQuestion.addPairs({{"warm", "1"}});
    ASSERT_EQ(0u, dispatchOnce(&m_dispatcher, &warmQuestion).status);
    const unsigned refreshesBefore = m_dispatcher.getRefreshCount();
    // A new server process: every object is removed and made anew.
    m_server.stop();
    startServer({"--echo", "3"});
    std::vector<Outcome> first(kThreads), second(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            YavTestQuestion question;
            question.addPairs({{"thread", std::to_string(t)}});
            first[t] = dispatchOnce(&m_dispatcher, &question);
            second[t] = first[t].retry ? dispatchOnce(&m_dispatcher, &question) : first[t];
        });
    }
    for (std::thread& t : threads) t.join();

    int refreshedAnswers = 0;
    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE(t);
        if (first[t].status == YAV_S_IPC_KEY_REMOVED) {
            // Noticed the restart: asked to retry, no answer.
            EXPECT_TRUE(first[t].retry);
            EXPECT_FALSE(first[t].answered);
            ++refreshedAnswers;
        } else {
            // Came after the refresh had ended.
            EXPECT_EQ(0u, first[t].status) << std::hex << first[t].status;
            EXPECT_TRUE(first[t].answered);
        }
        EXPECT_EQ(0u, second[t].status) << std::hex << second[t].status;
        EXPECT_TRUE(second[t].answered);
        EXPECT_FALSE(second[t].retry);
    }
    EXPECT_GE(refreshedAnswers, 1);
    EXPECT_EQ(refreshesBefore + 1, m_dispatcher.getRefreshCount());
    EXPECT_EQ(kWorkers, freeCount());
    EXPECT_EQ(0, outstandingRequestObjects());
}

// Several threads keep dispatching while the server removes and recreates
// every object.  Whatever the order of events, each thread must get answers
// again once the new server is up; a thread that is still stuck after a
// generous limit fails the test instead of hanging it.
TEST_F(YavProxyIFDispatcherTest, RestartWhileThreadsAreMidQuestionEndsInSuccessEverywhere) {
    const int kThreads = 4;
    const int kAnswersAfterRestart = 3;
    const auto kLimit = std::chrono::seconds(60);
    std::string control = std::string(m_key.path()) + ".restart";
    startServer({"--echo", "3", "--delay-ms", "2", "--control-file", control});
    initialize();
    std::atomic<bool> restarted{false};
    std::atomic<int> unexpected{0};
    std::vector<int> successesAfter(kThreads, 0);
    std::mutex doneMutex;
    std::condition_variable doneCond;
    int done = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            YavTestQuestion question;
            question.addPairs({{"load", std::to_string(t)}});
            for (int i = 0; i < 2000 && successesAfter[t] < kAnswersAfterRestart; ++i) {
                bool after = restarted.load();
                Outcome o = dispatchOnce(&m_dispatcher, &question);
                if (o.status == 0 && o.answered) {
                    if (after) ++successesAfter[t];
                } else if (o.status != YAV_S_IPC_KEY_REMOVED) {
                    fprintf(stderr, "thread %d: status %#x retry %d answered %d\n", t, o.status,
                            o.retry, o.answered);
                    ++unexpected;
                }
            }
            std::lock_guard<std::mutex> lock(doneMutex);
            ++done;
            doneCond.notify_all();
        });
    }
    FILE* f = fopen(control.c_str(), "w");
    EXPECT_NE(nullptr, f);
    if (f != nullptr) fclose(f);
    std::string line;
    EXPECT_TRUE(m_server.waitForPrefix("restarted", &line));
    restarted = true;
    bool allDone = false;
    {
        std::unique_lock<std::mutex> lock(doneMutex);
        allDone = doneCond.wait_for(lock, kLimit, [&] { return done == kThreads; });
    }
    if (!allDone) {
        // The stuck threads cannot be joined: remove the server and its
        // objects, then end the process with a failure.
        fprintf(stderr, "stuck: %d of %d threads done\n", done, kThreads);
        m_server.kill();
        m_key.removeAll();
        _exit(1);
    }
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(kAnswersAfterRestart, successesAfter[t]) << t;
    EXPECT_EQ(0, unexpected.load());
    EXPECT_GE(m_dispatcher.getRefreshCount(), 1u);
    EXPECT_EQ(kWorkers, freeCount());
    EXPECT_EQ(0, outstandingRequestObjects());
}

}  // namespace
