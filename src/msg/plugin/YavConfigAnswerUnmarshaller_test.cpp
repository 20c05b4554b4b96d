#include "msg/plugin/YavConfigAnswerUnmarshaller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <random>
#include <thread>

#include "core/msg/yav_status.h"
#include "core/trace/yav_trace_test_aids.h"
#include "msg/plugin/YavConfigAnswerContext.h"
#include "msg/plugin/YavConfigAnswerFactory.h"
#include "msg/plugin/yav_config_test_aids.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

namespace {

typedef YavCfgElements Elements;
typedef std::map<std::string, int> Posts;

YavCfgBytes post(const std::string& key, int v) {
    return yav_cfg_cat({yav_cfg_int(0), yav_cfg_str(key), yav_cfg_int(v)});
}
YavCfgBytes flag(const std::string& name, uint32_t v) {
    return yav_cfg_cat({yav_cfg_int(1), yav_cfg_str(name), yav_cfg_u32(v)});
}
YavCfgBytes pair(const std::string& name, const std::string& value) {
    return yav_cfg_cat({yav_cfg_str(name), yav_cfg_str(value)});
}
YavCfgBytes hosts(int n) { return yav_cfg_cat({yav_cfg_int(3), yav_cfg_int(n)}); }
// The elements of one host whose map has the default pair and methods.
void addHost(Elements* e, const std::string& id, const std::string& branch, int flags,
             const std::string& defaults, const std::vector<std::string>& methodPairs = {}) {
    int size = 1 + static_cast<int>(methodPairs.size()) / 2;
    Elements host = {yav_cfg_str(id), yav_cfg_str(branch), yav_cfg_int(flags), yav_cfg_int(size),
                     pair("<default>", defaults)};
    for (size_t i = 0; i + 1 < methodPairs.size(); i += 2) {
        host.push_back(pair(methodPairs[i], methodPairs[i + 1]));
    }
    e->insert(e->end(), host.begin(), host.end());
}
// Earlier contents: "old" in both tables and one host "h0".
Elements earlier() {
    Elements e = {yav_cfg_int(3), post("old", 1), flag("old", 2), hosts(1)};
    addHost(&e, "h0", "/b0", 8, "r");
    return e;
}

class ConfigAnswerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(0u, YavConfigAnswerUnmarshaller::m_allocator.acquire());
        m_ctx.log = &m_log;
        m_ctx.postURIs = &m_post;
        m_ctx.postURITableSize = YavConfigAnswerContext::kDefaultTableSize;
        m_ctx.configFlags = &m_flags;
        m_ctx.configFlagTableSize = YavConfigAnswerContext::kDefaultTableSize;
        m_ctx.vhosts = &m_hosts;
    }
    void TearDown() override { YavConfigAnswerUnmarshaller::m_allocator.release(); }

    // Reads elements, written as a chain into a segment of exactly the
    // chain's size less cut bytes, as the factory's reader.
    yav_status_t read(const Elements& elements, unsigned cut = 0) {
        YavCfgBytes bytes = yav_cfg_chain(elements);
        return readChain(bytes, static_cast<unsigned>(bytes.size()) - cut);
    }
    // Reads the first size bytes of a chain from a segment of exactly size.
    yav_status_t readChain(const YavCfgBytes& bytes, unsigned size) {
        m_segment.reset(new YavHeapSharedMem(size));
        if (size > 0) memcpy(m_segment->bytes(), bytes.data(), size);
        YavSharedMemIterator it;
        EXPECT_EQ(0u, it.initialize(*m_segment, 0, size));
        YavProxyIFMessage* msg = nullptr;
        EXPECT_EQ(0u, m_factory.createMsg(&msg));
        yav_status_t status = msg->unmarshal(it, &m_ctx);
        m_numCmds = static_cast<YavConfigAnswerUnmarshaller*>(msg)->getNumCmds();
        msg->deleteMe();
        return status;
    }

    YavRecordingLog m_log;
    YavPostURITable m_post;
    YavConfigFlagTable m_flags;
    YavPluginVirtualHostList m_hosts;
    YavConfigAnswerContext m_ctx;
    YavConfigAnswerFactory m_factory;
    std::unique_ptr<YavHeapSharedMem> m_segment;
    int m_numCmds = -1;
};

TEST_F(ConfigAnswerTest, AnswerWithOnlyTheCountLeavesEverythingAlone) {
    ASSERT_EQ(0u, read(earlier()));
    ASSERT_EQ(0u, read({yav_cfg_int(5)}));
    EXPECT_EQ(5, m_numCmds);
    EXPECT_EQ((Posts{{"old", 1}}), yav_cfg_contents(m_post));
    EXPECT_EQ((std::map<std::string, unsigned>{{"old", 2}}), yav_cfg_contents(m_flags));
    EXPECT_EQ(1u, yav_cfg_hosts(m_hosts).size());
    EXPECT_TRUE(m_log.lines.empty());
}

TEST_F(ConfigAnswerTest, TableCommandsReplaceTheWholeTableWithCopies) {
    ASSERT_EQ(0u, read(earlier()));
    m_ctx.postURITableSize = 7;
    // "abcd" is sent unterminated (length 4 counts no zero byte).
    YavCfgBytes unterminated =
        yav_cfg_cat({yav_cfg_int(0), yav_cfg_u32(4), {'a', 'b', 'c', 'd'}, yav_cfg_int(9)});
    ASSERT_EQ(0u, read({yav_cfg_int(4), post("GET:/a", 10), unterminated, flag("f1", 0xFFFFFFFFu),
                        flag("f2", 0)}));
    m_segment.reset();  // nothing may refer into it any more
    EXPECT_EQ((Posts{{"GET:/a", 10}, {"abcd", 9}}), yav_cfg_contents(m_post));
    EXPECT_EQ((std::map<std::string, unsigned>{{"f1", 0xFFFFFFFFu}, {"f2", 0}}),
              yav_cfg_contents(m_flags));
    EXPECT_EQ(7u, YavPostURITable::Lock(m_post).table().bucketCount());
    // An answer for one table leaves the other alone.
    ASSERT_EQ(0u, read({yav_cfg_int(1), flag("f3", 3)}));
    EXPECT_EQ(2u, m_post.count());
    EXPECT_EQ((std::map<std::string, unsigned>{{"f3", 3}}), yav_cfg_contents(m_flags));
}

TEST_F(ConfigAnswerTest, CacheSettingsWithAndWithoutPollInterval) {
    auto cache = [](int enabled) { return yav_cfg_cat({yav_cfg_int(2), yav_cfg_int(enabled)}); };
    m_ctx.cachePollInterval = 99;
    ASSERT_EQ(0u, read({yav_cfg_int(1), cache(0)}));
    EXPECT_FALSE(m_ctx.cacheEnabled);
    EXPECT_EQ(-1, m_ctx.cachePollInterval);
    ASSERT_EQ(0u, read({yav_cfg_int(1), cache(7), yav_cfg_int(600)}));
    EXPECT_TRUE(m_ctx.cacheEnabled);
    EXPECT_EQ(600, m_ctx.cachePollInterval);
    EXPECT_EQ(YAV_S_NO_MEMORY, read({yav_cfg_int(1), cache(1)}));
    EXPECT_EQ(1u, m_log.lines.size());
}

TEST_F(ConfigAnswerTest, VirtualHostsWithPermissionMapsReplaceTheList) {
    ASSERT_EQ(0u, read(earlier()));
    Elements e = {yav_cfg_int(1), hosts(2)};
    addHost(&e, "www", "/web", 12, "r", {"POST", "rm[x]y", "PUT", "[a]b"});
    addHost(&e, "intra", "", 9, "[g]T");
    ASSERT_EQ(0u, read(e));
    const std::vector<std::string> expected = {
        "www /web 12 [primary]r [primary]r [primary]rm[x]y [a]b", "intra  9 [g]T [g]T [g]T [g]T"};
    EXPECT_EQ(expected, yav_cfg_hosts(m_hosts));
    // Nothing refers into the worker buffer: spoil it and look again.
    memset(m_segment->bytes(), 'Z', m_segment->getSize());
    EXPECT_EQ(expected, yav_cfg_hosts(m_hosts));

    ASSERT_EQ(0u, read({yav_cfg_int(1), hosts(0)}));
    EXPECT_TRUE(yav_cfg_hosts(m_hosts).empty());
}

TEST_F(ConfigAnswerTest, UnknownIdentifierIsRefusedAfterItsMessage) {
    ASSERT_EQ(0u, read(earlier()));
    EXPECT_EQ(YAV_S_INVALID_COMMAND, read({yav_cfg_int(2), yav_cfg_int(7), post("never", 1)}));
    ASSERT_EQ(1u, m_log.lines.size());
    EXPECT_EQ(yav_log_error, m_log.lines[0].severity);
    EXPECT_EQ("Tessaro", m_log.lines[0].component);
    EXPECT_NE(std::string::npos, m_log.lines[0].text.find("invalid command was received"));
    EXPECT_NE(std::string::npos, m_log.lines[0].text.find("(0x7)")) << m_log.lines[0].text;
    EXPECT_EQ((Posts{{"old", 1}}), yav_cfg_contents(m_post));
}

TEST_F(ConfigAnswerTest, DestinationsTheQuestionDidNotNameOrCannotHoldAreRefused) {
    ASSERT_EQ(0u, read(earlier()));
    YavConfigAnswerContext full = m_ctx;
    m_ctx = YavConfigAnswerContext();
    m_ctx.log = &m_log;
    for (const YavCfgBytes& command : {post("a", 1), flag("a", 1), hosts(0)}) {
        EXPECT_EQ(YAV_S_INVALID_COMMAND, read({yav_cfg_int(1), command}));
    }
    m_ctx = full;
    m_ctx.postURITableSize = 0;
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, read({yav_cfg_int(1), post("a", 1)}));
    YavProtectedHashTable<YavString, int> notOwning;  // would lose its entries
    m_ctx.postURIs = &notOwning;
    m_ctx.postURITableSize = 5;
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, read({yav_cfg_int(1), post("a", 1)}));
    EXPECT_EQ(0u, notOwning.count());
    EXPECT_EQ((Posts{{"old", 1}}), yav_cfg_contents(m_post));
    EXPECT_EQ(1u, yav_cfg_hosts(m_hosts).size());
    EXPECT_EQ(5u, m_log.lines.size());
}

// Answers of a buggy or hostile server: each is refused with its status and
// one log line, never read past (the segment is exactly the chain's size),
// leaves the tables as the case says and releases every lock.
TEST_F(ConfigAnswerTest, BadAnswersAreRefusedWithoutReadingPastThem) {
    Elements oneHost = {yav_cfg_int(1), hosts(1),       yav_cfg_str("h"),      yav_cfg_str("/b"),
                        yav_cfg_int(8), yav_cfg_int(1), pair("<default>", "r")};
    auto withMap = [&](int size, const std::string& name, const std::string& actions) {
        Elements e = oneHost;
        e[5] = yav_cfg_int(size);
        e[6] = pair(name, actions);
        return e;
    };
    Elements twoAnnounced = oneHost;
    twoAnnounced[1] = hosts(2);
    const YavCfgBytes noValue = yav_cfg_cat({yav_cfg_int(0), yav_cfg_str("k")});
    const YavCfgBytes unterminatedName =
        yav_cfg_cat({yav_cfg_int(0), yav_cfg_u32(3), {'a', 'b', 'c', 'd'}});
    const YavCfgBytes lyingLength = yav_cfg_cat({yav_cfg_int(0), yav_cfg_u32(0x7FFFFFFF)});
    struct Case {
        const char* what;
        Elements elements;
        yav_status_t status;
        size_t hosts = 1;           // afterwards
        Posts post = {{"old", 1}};  // afterwards
        unsigned cut = 0;
    };
    const Case cases[] = {
        {"no element", {}, YAV_S_UNMARSHAL_FAILED},
        {"count too short", {YavCfgBytes{1, 2}}, YAV_S_UNMARSHAL_FAILED},
        {"no identifier", {yav_cfg_int(1), YavCfgBytes{1, 0}}, YAV_S_UNMARSHAL_FAILED},
        {"pair without value", {yav_cfg_int(1), noValue}, YAV_S_UNMARSHAL_FAILED},
        {"unterminated name, no value", {yav_cfg_int(1), unterminatedName}, YAV_S_UNMARSHAL_FAILED},
        {"entry broken after a good one",
         {yav_cfg_int(2), post("a", 1), lyingLength},
         YAV_S_UNMARSHAL_FAILED,
         1,
         {{"a", 1}}},
        {"element longer than the region",
         {yav_cfg_int(1), post("a", 1)},
         YAV_S_IPC_NO_MORE_SEGMENTS,
         1,
         {{"old", 1}},
         4},
        {"negative host count", {yav_cfg_int(1), hosts(-1)}, YAV_S_UNMARSHAL_FAILED},
        {"more hosts announced than sent", twoAnnounced, YAV_S_NO_MEMORY},
        {"host cut after its branch", Elements(oneHost.begin(), oneHost.begin() + 4),
         YAV_S_NO_MEMORY, 0},
        {"map size 0", withMap(0, "<default>", "r"), YAV_S_UNMARSHAL_FAILED, 0},
        {"negative map size", withMap(-1, "<default>", "r"), YAV_S_UNMARSHAL_FAILED, 0},
        {"first pair not <default>", withMap(1, "GET", "r"), YAV_S_UNMARSHAL_FAILED, 0},
        {"more map entries announced", withMap(3, "<default>", "r"), YAV_S_NO_MEMORY, 0},
        {"bad action set", withMap(1, "<default>", "x[a"), YAV_S_URC_INVALID_ACTION_SET, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(0u, read(earlier()));
        m_log.lines.clear();
        EXPECT_EQ(c.status, read(c.elements, c.cut));
        EXPECT_EQ(1u, m_log.lines.size());
        // A lock still held by this thread would stop the process here.
        EXPECT_EQ(c.post, yav_cfg_contents(m_post));
        EXPECT_EQ(c.hosts, yav_cfg_hosts(m_hosts).size());
    }
    ASSERT_EQ(YAV_S_NO_MEMORY, read(twoAnnounced));  // keeps the host read before the gap
    EXPECT_EQ(std::vector<std::string>{"h /b 8 [primary]r [primary]r [primary]r [primary]r"},
              yav_cfg_hosts(m_hosts));
}

// Random damage to a valid answer never reads outside the chain (the
// segment is an exact heap block, so AddressSanitizer sees any overrun) or
// leaves a lock held; every refusal comes with a log line.
TEST_F(ConfigAnswerTest, RandomlyDamagedAnswersFailCleanly) {
    Elements e = {yav_cfg_int(4), post("a", 1), flag("f", 2), pair("k", "v"), hosts(2)};
    addHost(&e, "h1", "/b1", 8, "r", {"GET", "[x]r", "POST", "w"});
    addHost(&e, "h2", "/b2", 0, "T");
    const YavCfgBytes valid = yav_cfg_chain(e);
    std::mt19937 random(20261206);
    for (int round = 0; round < 2000; ++round) {
        YavCfgBytes bytes = valid;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
        }
        unsigned size = static_cast<unsigned>(bytes.size());
        if (round % 3 == 0) size = static_cast<unsigned>(random() % bytes.size());
        m_log.lines.clear();
        if (readChain(bytes, size) != 0) {
            EXPECT_FALSE(m_log.lines.empty()) << round;
        }
        // Each table and the list can be read again: no lock was left held.
        yav_cfg_contents(m_post);
        yav_cfg_contents(m_flags);
        yav_cfg_hosts(m_hosts);
    }
}

TEST_F(ConfigAnswerTest, ReadersNeverSeeAHalfReplacedTableOrList) {
    // Answer g puts value g under "a" and "b" and one host with branch g
    // whose GET list is [g]x: readers must always see one generation.
    auto answer = [](int g) {
        std::string gs = std::to_string(g);
        Elements e = {yav_cfg_int(3), post("a", g), post("b", g), hosts(1)};
        addHost(&e, "h", gs, 8, "r", {"GET", "[" + gs + "]x"});
        return e;
    };
    ASSERT_EQ(0u, read(answer(0)));
    std::atomic<bool> done(false);
    std::atomic<int> mismatches(0);
    auto reader = [&]() {
        while (!done.load()) {
            {
                YavPostURITable::Lock lock(m_post);
                const int* a = lock.table().find(YavStringRef("a"));
                const int* b = lock.table().find(YavStringRef("b"));
                if (a == nullptr || b == nullptr || *a != *b) ++mismatches;
            }
            std::vector<std::string> h = yav_cfg_hosts(m_hosts);
            if (h.size() != 1 || h[0].find("[" + h[0].substr(2, h[0].find(' ', 2) - 2) + "]x") ==
                                     std::string::npos) {
                ++mismatches;
            }
        }
    };
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) readers.emplace_back(reader);
    for (int g = 1; g <= 150; ++g) ASSERT_EQ(0u, read(answer(g)));
    done = true;
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(0, mismatches.load());
    EXPECT_EQ((Posts{{"a", 150}, {"b", 150}}), yav_cfg_contents(m_post));
}

TEST(ConfigAnswerDeathTest, MissingAllocatorOrHostListStopsTheProcess) {
    ASSERT_FALSE(YavConfigAnswerUnmarshaller::m_allocator.isAcquired());
    YavProxyIFMessage* msg = nullptr;
    EXPECT_DEATH(YavConfigAnswerFactory().createMsg(&msg), "Assertion failed.*m_allocator");
    YavConfigAnswerUnmarshaller reader;
    EXPECT_DEATH(reader.getVHostListData(nullptr), "Assertion failed.*vHostList");
}

}  // namespace
