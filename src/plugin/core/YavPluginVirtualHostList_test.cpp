#include "plugin/core/YavPluginVirtualHostList.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

#include "plugin/core/yav_authz_test_aids.h"

namespace {

const uint32_t kHttp = yav_vhost_unsecure;
const uint32_t kHttps = yav_vhost_secure;

// Appends a host with ID, flags and branch; false when anything failed.
bool addHost(YavPluginVirtualHostList* list, const std::string& id, uint32_t flags,
             const std::string& branch, YavAllocator* allocator = nullptr) {
    YavPluginVirtualHost* host = new (std::nothrow) YavPluginVirtualHost(allocator);
    if (host == nullptr) return false;
    host->setFlags(flags);
    if (host->setID(YavStringRef(id.c_str())) != 0 ||
        host->setBranch(YavStringRef(branch.c_str())) != 0 || list->append(host) != 0) {
        delete host;
        return false;
    }
    return true;
}

// The branch of the host found for id in match mode (secure or not) or,
// when exact, in exact-ID mode; "<none>" when none is found.
std::string lookUp(YavPluginVirtualHostList& list, const char* id, bool secure,
                   bool exact = false) {
    YavStringRef ref(id);
    YavPluginVirtualHostKey key;
    if (exact) {
        key.initialize(ref);
    } else {
        key.initialize(ref, secure);
    }
    EXPECT_EQ(0, list.readLock());
    auto it = list.find(key);
    std::string branch =
        it.isEnd() ? "<none>"
                   : std::string((*it)->getBranch().getData(), (*it)->getBranch().getLength());
    EXPECT_EQ(0, list.unlock());
    return branch;
}

TEST(YavPluginVirtualHostListTest, FindsFirstHostInListOrderThatServesTheProtocol) {
    YavPluginVirtualHostList list;
    EXPECT_EQ("<none>", lookUp(list, "www", false));
    EXPECT_EQ("<none>", lookUp(list, "www", true, true));

    ASSERT_TRUE(addHost(&list, "www", kHttp | yav_vhost_unprotected, "open-http"));
    ASSERT_TRUE(addHost(&list, "www", kHttp | kHttps, "protected"));
    ASSERT_TRUE(addHost(&list, "www", kHttps, "late-https"));
    ASSERT_TRUE(addHost(&list, "WWW", kHttp | kHttps, "upper"));
    ASSERT_TRUE(addHost(&list, "none", 0, "no-protocol"));
    ASSERT_TRUE(addHost(&list, "tls", kHttps, "tls-only"));

    struct Case {
        const char* id;
        bool secure;
        bool exact;
        const char* branch;
    };
    const std::vector<Case> cases = {
        {"www", false, false, "open-http"},   {"www", true, false, "protected"},
        {"WWW", false, false, "upper"},       {"Www", false, false, "<none>"},
        {"none", false, false, "<none>"},     {"none", true, false, "<none>"},
        {"none", false, true, "no-protocol"}, {"tls", true, false, "tls-only"},
        {"tls", false, false, "<none>"},      {"tls", false, true, "tls-only"},
        {"www", false, true, "open-http"},    {"ww", false, true, "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.id) + (c.secure ? " https" : " http") +
                     (c.exact ? " exact" : ""));
        EXPECT_EQ(c.branch, lookUp(list, c.id, c.secure, c.exact));
    }
}

TEST(YavPluginVirtualHostListTest, ListDeletesItsHosts) {
    YavAuthzTestAllocator hosts;
    const std::string longBranch(400, 'b');
    {
        YavPluginVirtualHostList list;
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(addHost(&list, "h" + std::to_string(i), kHttp, longBranch, &hosts));
        }
        EXPECT_EQ(5, hosts.live);
        ASSERT_EQ(0, list.writeLock());
        list.delEntries();
        EXPECT_EQ(0, list.unlock());
        EXPECT_EQ(0, hosts.live);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(addHost(&list, "h" + std::to_string(i), kHttp, longBranch, &hosts));
        }
        EXPECT_EQ(3, hosts.live);
    }
    EXPECT_EQ(0, hosts.live);
}

// Readers look hosts up while a writer replaces the whole list many times.
// Under the read lock a reader must always see one complete generation:
// every host it finds carries the branch of the same generation as the
// list's head.  The writer replaces the list at least kMinGenerations times
// and goes on until the readers have made kMinLookups look-ups, so that the
// two sides overlap however the threads are scheduled.
struct ReplaceRun {
    YavPluginVirtualHostList list;
    std::atomic<bool> done{false};
    std::atomic<long> lookups{0};
    std::atomic<long> torn{0};
    std::atomic<int> started{0};
    static constexpr int kHosts = 20;
    static constexpr int kMinGenerations = 300;
    static constexpr long kMinLookups = 20000;
    static constexpr int kMaxGenerations = 1000000;
    // Look-ups the writer waits for after each replacement.
    static constexpr long kLookupsPerGeneration = kMinLookups / kMinGenerations + 1;
};

bool fillGeneration(YavPluginVirtualHostList* list, int generation) {
    std::string branch = "gen" + std::to_string(generation);
    for (int i = 0; i < ReplaceRun::kHosts; ++i) {
        if (!addHost(list, "h" + std::to_string(i), i % 2 == 0 ? kHttp : kHttps, branch)) {
            return false;
        }
    }
    return true;
}

void* readerMain(void* arg) {
    ReplaceRun* run = static_cast<ReplaceRun*>(arg);
    ++run->started;
    for (long n = 0;; ++n) {
        bool last = run->done.load();
        int i = static_cast<int>(n % ReplaceRun::kHosts);
        std::string id = "h" + std::to_string(i);
        YavStringRef ref(id.c_str());
        YavPluginVirtualHostKey key;
        key.initialize(ref, i % 2 != 0);
        if (run->list.readLock() != 0) return nullptr;
        YavPluginVirtualHost* head = run->list.getHead();
        YavPluginVirtualHost* found = run->list.findValue(key);
        if (head == nullptr || found == nullptr || !found->getBranch().equals(head->getBranch()) ||
            !found->getID().equals(ref)) {
            ++run->torn;
        }
        run->list.unlock();
        ++run->lookups;
        // The lock prefers readers; let the writer in now and then.
        sched_yield();
        if (last) break;
    }
    return nullptr;
}

TEST(YavPluginVirtualHostListTest, ReadersSeeWholeListWhileWriterReplacesIt) {
    ReplaceRun run;
    ASSERT_TRUE(fillGeneration(&run.list, 0));
    const int kReaders = 4;
    pthread_t readers[kReaders];
    for (pthread_t& t : readers) ASSERT_EQ(0, pthread_create(&t, nullptr, readerMain, &run));

    while (run.started.load() < kReaders) sched_yield();
    int generation = 0;
    int replaced = 0;
    while ((generation < ReplaceRun::kMinGenerations ||
            run.lookups.load() < ReplaceRun::kMinLookups) &&
           generation < ReplaceRun::kMaxGenerations) {
        ++generation;
        YavPluginVirtualHostList fresh;  // built before the lock is taken
        if (!fillGeneration(&fresh, generation)) break;
        ASSERT_EQ(0, run.list.writeLock());
        run.list.delEntries();
        while (!fresh.isEmpty()) {
            YavPluginVirtualHost* host = fresh.getHead();
            fresh.remove(host);
            if (run.list.append(host) != 0) delete host;
        }
        ASSERT_EQ(0, run.list.unlock());
        ++replaced;
        // Let the readers look at this generation before the next one: on a
        // loaded machine the writer could otherwise take the lock again and
        // again while the readers wait.
        const long seen = run.lookups.load() + ReplaceRun::kLookupsPerGeneration;
        while (run.lookups.load() < seen) sched_yield();
    }
    run.done = true;
    for (pthread_t t : readers) pthread_join(t, nullptr);

    EXPECT_EQ(generation, replaced);
    EXPECT_GE(replaced, ReplaceRun::kMinGenerations);
    EXPECT_GE(run.lookups.load(), ReplaceRun::kMinLookups);
    EXPECT_EQ(0, run.torn.load());
    EXPECT_EQ(static_cast<size_t>(ReplaceRun::kHosts), run.list.count());
    EXPECT_EQ("gen" + std::to_string(generation),
              std::string(run.list.getHead()->getBranch().getData()));
}

}  // namespace
