#include "msg/plugin/YavURCVersionAnswerUnmarshaller.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <map>
#include <random>
#include <string>

#include "core/msg/yav_status.h"
#include "core/trace/yav_trace_test_aids.h"
#include "msg/plugin/YavURCVersionAnswerFactory.h"
#include "msg/plugin/yav_urc_answer_test_aids.h"
#include "plugin/core/yav_authz_test_aids.h"
#include "proxyif/framework/yav_dispatch_test_messages.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "server/YavURCVersionAnswerWriter.h"
#include "urc/plugin/YavUnprotResourceCache.h"

namespace {

typedef std::vector<unsigned char> YavBytes;

// What the cache holds for object in branch: "-" no branch, "none", "all",
// or the granted groups ("primary=r g=ab").  -1 as size: no branch.
std::string find(YavUnprotResourceCache& cache, const char* branch, const char* object) {
    YavString b(branch), name(object);
    void* context = nullptr;
    const YavUnprotResourceCacheBranchDBEntry* e = nullptr;
    cache.readLock();
    std::string r = cache.lookupStart(&b, &context) != 0 ? "-" : "none";
    if (context != nullptr) cache.lookupDB(context, &name, &e);
    if (e != nullptr && e->getPermType() == yav_urc_perm_type_all) r = e->getPerms() ? "?" : "all";
    if (e != nullptr && e->getPermType() == yav_urc_perm_type_some) {
        r.clear();
        for (const auto& g : yav_test_groups(*e->getPerms())) r += g.first + "=" + g.second + " ";
    }
    r += "/" + std::to_string(cache.size(&b)) + "@" +
         std::to_string(cache.getVersion().getCounter());
    cache.unlock();
    return r;
}

class YavURCVersionAnswerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(0u, YavURCVersionAnswerUnmarshaller::m_allocator.acquire()); }
    void TearDown() override {
        // Every reader went back to its allocator (deleteMe).
        EXPECT_EQ(0, yav_class_allocator_outstanding(YavURCVersionAnswerUnmarshaller::m_allocator));
        YavURCVersionAnswerUnmarshaller::m_allocator.release();
    }

    // Reads bytes through a reader from the factory, as the dispatcher does.
    yav_status_t read(const YavBytes& bytes) {
        YavWireAnswer answer(bytes);
        YavURCVersionAnswerFactory factory;
        YavProxyIFMessage* msg = nullptr;
        EXPECT_EQ(0u, factory.createMsg(&msg));
        if (msg == nullptr) return YAV_S_NO_MEMORY;
        EXPECT_EQ(yav_msg_urc_version_answer, msg->getType());
        YavURCVersionAnswerData data{&m_cache, &m_log};
        yav_status_t status = msg->unmarshal(answer.iterator(), &data);
        msg->deleteMe();
        return status;
    }
    void loadOld() {
        ASSERT_EQ(0u, read(YavUrcWireChain()
                               .version(yav_test_version(0x30, 1))
                               .branch("/old", 2)
                               .entry("/old/a", "*")
                               .entry("/old/b", "r")
                               .bytes()));
    }
    void expectOld(const std::string& what) {
        EXPECT_EQ("all/2@1", find(m_cache, "/old", "/old/a")) << what;
        EXPECT_EQ("primary=r /2@1", find(m_cache, "/old", "/old/b")) << what;
        EXPECT_TRUE(m_cache.getVersion() == yav_test_version(0x30, 1)) << what;
    }

    const YavEpochVersion m_new = yav_test_version(0x50, 2);
    YavUnprotResourceCache m_cache;
    YavRecordingLog m_log;
};

// Every answer form the server side writes, byte for byte against chains
// written by hand, then read into the cache.
TEST_F(YavURCVersionAnswerTest, ServerAnswersMatchHandWrittenBytesAndInstall) {
    YavHeapSharedMem seg(512);
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(seg, 0, 512));
    YavURCVersionAnswerWriter w(a);
    ASSERT_EQ(0u, w.writeVersion(m_new));
    ASSERT_EQ(0u, w.finish());
    const YavBytes versionOnly = YavUrcWireChain().version(m_new).bytes();
    EXPECT_EQ(versionOnly, YavBytes(seg.bytes(), seg.bytes() + a.getCurrent()));

    ASSERT_EQ(0u, w.beginBranch(YavStringRef("/b"), 4));
    ASSERT_EQ(0u, w.writeAllEntry(YavStringRef("/b/docs")));
    ASSERT_EQ(0u, w.writeEntry(YavStringRef("/b/x"), YavStringRef("Tr[grp]abc[grp]d")));
    ASSERT_EQ(0u, w.writeEntry(YavStringRef("/b/y"), YavStringRef("")));
    ASSERT_EQ(0u, w.writeEntry(YavStringRef("/b/z"), YavStringRef("**")));
    ASSERT_EQ(0u, w.beginBranch(YavStringRef("/empty"), 0));
    ASSERT_EQ(0u, w.finish());
    const YavBytes full = YavUrcWireChain()
                              .version(m_new)
                              .branch("/b", 4)
                              .entry("/b/docs", "*")
                              .entry("/b/x", "Tr[grp]abc[grp]d")
                              .entry("/b/y", "")
                              .entry("/b/z", "**")
                              .branch("/empty", 0)
                              .bytes();
    EXPECT_EQ(full, YavBytes(seg.bytes(), seg.bytes() + a.getCurrent()));

    loadOld();
    EXPECT_EQ(0u, read(versionOnly));  // current: nothing changes
    expectOld("version only");
    EXPECT_EQ(0u, read(full));
    EXPECT_EQ("-/-1@2", find(m_cache, "/old", "/old/a"));  // replaced whole
    EXPECT_EQ("all/4@2", find(m_cache, "/b", "/b/docs"));
    EXPECT_EQ("primary=Tr grp=abcd /4@2", find(m_cache, "/b", "/b/x"));
    EXPECT_EQ("primary= /4@2", find(m_cache, "/b", "/b/y"));
    EXPECT_EQ("primary=** /4@2", find(m_cache, "/b", "/b/z"));  // only a lone "*" grants all
    EXPECT_EQ("none/0@2", find(m_cache, "/empty", "/empty"));
    EXPECT_TRUE(m_log.texts().empty());
}

TEST_F(YavURCVersionAnswerTest, WriterRefusesCallsOutOfOrderAndHalfBranches) {
    YavHeapSharedMem seg(128);
    YavSharedMemAllocator a;
    ASSERT_EQ(0u, a.initialize(seg, 0, 59));  // room for the version and 27 bytes
    YavURCVersionAnswerWriter w(a);
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.beginBranch(YavStringRef("/b"), 0));
    ASSERT_EQ(0u, w.writeVersion(m_new));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.writeVersion(m_new));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.writeAllEntry(YavStringRef("/b/x")));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.beginBranch(YavStringRef("/b"), -1));
    EXPECT_EQ(YAV_S_NO_MEMORY, w.beginBranch(YavStringRef("/b"), 0));  // needs 28
    EXPECT_EQ(32u, a.getCurrent());
    ASSERT_EQ(0u, a.initialize(seg, 0, 128));
    YavURCVersionAnswerWriter w2(a);
    ASSERT_EQ(0u, w2.writeVersion(m_new));
    ASSERT_EQ(0u, w2.beginBranch(YavStringRef("/b"), 1));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w2.finish());
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w2.beginBranch(YavStringRef("/c"), 0));
    ASSERT_EQ(0u, w2.writeAllEntry(YavStringRef("/b/x")));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w2.writeAllEntry(YavStringRef("/b/y")));
    EXPECT_EQ(0u, w2.finish());
}

// A malformed answer fails with a status and one error line; the cache
// stays exactly as it was.
TEST_F(YavURCVersionAnswerTest, MalformedAnswersLeaveTheCacheAlone) {
    typedef YavUrcWireChain C;
    typedef YavWireValue V;
    const unsigned char zeros[24] = {0};
    const YavBytes v = V().buf(m_new.bytes(), 20).bytes();
    const C versioned = C().version(m_new);  // for the cases that fail later
    const struct {
        const char* what;
        C chain;
        yav_status_t status;
    } cases[] = {
        {"no element", C(), YAV_S_IPC_NO_MORE_SEGMENTS},
        {"19-byte version", C().element(V().buf(zeros, 19)), YAV_S_UNMARSHAL_FAILED},
        {"21-byte version", C().element(V().buf(zeros, 21)), YAV_S_UNMARSHAL_FAILED},
        {"version cut short", C().element(v, 16), YAV_S_UNMARSHAL_FAILED},
        {"element past region", C().element(v, 4096), YAV_S_IPC_NO_MORE_SEGMENTS},
        {"no count", C(versioned).element(V().str("/b")), YAV_S_IPC_NO_MORE_SEGMENTS},
        {"unterminated branch", C(versioned).element(V().unterminated("/b")).element(V().u32(0)),
         YAV_S_UNMARSHAL_FAILED},
        {"count too high", C(versioned).branch("/b", 3).entry("/b/1", "*"),
         YAV_S_IPC_NO_MORE_SEGMENTS},
        {"count into next branch", C(versioned).branch("/b", 2).entry("/1", "*").branch("/c", 0),
         YAV_S_UNMARSHAL_FAILED},
        {"count too low", C(versioned).branch("/b", 1).entry("/1", "*").entry("/2", "r"),
         YAV_S_UNMARSHAL_FAILED},
        {"negative count", C(versioned).branch("/b", -1).entry("/1", "*"), YAV_S_UNMARSHAL_FAILED},
        {"8-byte count", C(versioned).element(V().str("/b")).element(V().u32(1).u32(0)),
         YAV_S_UNMARSHAL_FAILED},
        {"2-byte count", C(versioned).element(V().str("/b")).element(V().u32(0).bytes(), 2),
         YAV_S_UNMARSHAL_FAILED},
        {"entry without value", C(versioned).branch("/b", 1).element(V().str("/b/x")),
         YAV_S_UNMARSHAL_FAILED},
        {"value past element", C(versioned).branch("/b", 1).element(V().str("/x").u32(9).u32(7)),
         YAV_S_UNMARSHAL_FAILED},
        {"unterminated value",
         C(versioned).branch("/b", 1).element(V().str("/x").unterminated("rw")),
         YAV_S_UNMARSHAL_FAILED},
        {"unterminated name",
         C(versioned).branch("/b", 1).element(V().unterminated("/xy").str("r")),
         YAV_S_UNMARSHAL_FAILED},
        {"unclosed [", C(versioned).branch("/b", 2).entry("/1", "*").entry("/2", "x[a"),
         YAV_S_URC_INVALID_ACTION_SET},
        {"unclosed [ later",
         C(versioned).branch("/b", 1).entry("/1", "r").branch("/c", 1).entry("/2", "[g]r[h"),
         YAV_S_URC_INVALID_ACTION_SET},
    };
    // The message each refusal logs.
    const std::map<yav_status_t, std::string> ids = {{YAV_S_UNMARSHAL_FAILED, "QRXIC0517E"},
                                                     {YAV_S_IPC_NO_MORE_SEGMENTS, "QRXIC0519E"},
                                                     {YAV_S_URC_INVALID_ACTION_SET, "QRXIC1153E"}};
    loadOld();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.status, read(c.chain.bytes()));
        expectOld(c.what);
        ASSERT_EQ(1u, m_log.lines.size());
        EXPECT_EQ(yav_log_error, m_log.lines[0].severity);
        EXPECT_EQ("Tessaro", m_log.lines[0].component);
        EXPECT_NE(std::string::npos, m_log.lines[0].text.find(ids.at(c.status)));
        m_log.lines.clear();
    }
}

// Random damage: nothing is read outside the exact-size segment
// (AddressSanitizer), and a refused answer installs nothing.
TEST_F(YavURCVersionAnswerTest, DamagedAnswersNeverHalfInstall) {
    const YavBytes good = YavUrcWireChain()
                              .version(m_new)
                              .branch("/b", 3)
                              .entry("/b/docs", "*")
                              .entry("/b/x", "r[g]ab")
                              .entry("/b/y", "[h]z")
                              .branch("/e", 0)
                              .bytes();
    std::mt19937 rng(20261205);
    int refused = 0;
    for (int round = 0; round < 2000 && !HasFailure(); ++round) {
        YavBytes bad(good);
        if (round % 3 == 0) bad.resize(rng() % bad.size());
        for (int f = round % 3; f > 0; --f)
            bad[rng() % bad.size()] = static_cast<unsigned char>(rng());
        loadOld();
        if (read(bad) != 0) {
            ++refused;
            expectOld("round " + std::to_string(round));
        }
    }
    EXPECT_GT(refused, 1000);
}

// Readers look up through one shared branch string while answers swap the
// database: answer k has k entries and counter k, so a count other than the
// counter means a reader saw a half-made swap.  Run under ThreadSanitizer.
struct Readers {
    YavUnprotResourceCache* cache;
    YavString branch{"/b"};
    std::atomic<bool> done{false};
    std::atomic<int> mismatches{0};
    std::atomic<long> lookups{0};
};

void* readerMain(void* arg) {
    Readers* s = static_cast<Readers*>(arg);
    YavString first("/b/0");
    while (!s->done.load()) {
        void* context = nullptr;
        const YavUnprotResourceCacheBranchDBEntry* entry = nullptr;
        s->cache->readLock();
        const int counter = s->cache->getVersion().getCounter();
        const int n = s->cache->size(&s->branch);
        if (s->cache->lookupStart(&s->branch, &context) == 0) {
            s->cache->lookupDB(context, &first, &entry);
        }
        s->cache->unlock();
        if (counter == 0 ? n != -1 : (n != counter || entry == nullptr)) s->mismatches++;
        s->lookups++;
    }
    return nullptr;
}

TEST_F(YavURCVersionAnswerTest, ReadersLookUpWhileAnswersSwapTheDatabase) {
    Readers s;
    s.cache = &m_cache;
    pthread_t readers[4];
    for (pthread_t& t : readers) ASSERT_EQ(0, pthread_create(&t, nullptr, readerMain, &s));
    for (int k = 1; k <= 30; ++k) {
        YavUrcWireChain chain;
        chain.version(yav_test_version(0x70, k)).branch("/b", k);
        for (int i = 0; i < k; ++i) chain.entry("/b/" + std::to_string(i), i % 2 ? "*" : "r[g]x");
        EXPECT_EQ(0u, read(chain.bytes()));
        EXPECT_EQ(0u, read(YavUrcWireChain().version(yav_test_version(0x70, k + 100)).bytes()));
    }
    const long seen = s.lookups.load();
    while (s.lookups.load() < seen + 100) sched_yield();
    s.done.store(true);
    for (pthread_t t : readers) pthread_join(t, nullptr);
    EXPECT_EQ(0, s.mismatches.load());
    EXPECT_EQ(30, m_cache.getVersion().getCounter());
}

}  // namespace
