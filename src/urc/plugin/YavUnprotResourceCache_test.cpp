#include "urc/plugin/YavUnprotResourceCache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/hash/YavHashers.h"
#include "core/msg/yav_status.h"
#include "plugin/core/yav_authz_test_aids.h"
#include "urc/plugin/YavURCPrefixHashes.h"

namespace {

typedef std::vector<std::pair<const char*, const char*>> Entries;  // object, "*" or action set

// A database built by hand; action sets are placed through alloc.
YavURCDatabase* buildDB(const std::vector<std::pair<const char*, Entries>>& branches,
                        YavAllocator* alloc = nullptr) {
    YavURCDatabase* db = new YavURCDatabase(nullptr, true, true);
    EXPECT_EQ(0u, db->initialize(YavUnprotResourceCache::kDatabaseBuckets));
    for (const auto& b : branches) {
        YavURCBranchDB* branch = new YavURCBranchDB(nullptr, true, true);
        EXPECT_EQ(0u, branch->initialize(YavUnprotResourceCache::kBranchBuckets));
        for (const auto& e : b.second) {
            YavActionGroupList* perms = nullptr;
            if (strcmp(e.second, "*") != 0) {
                perms = new YavActionGroupList(alloc);
                EXPECT_EQ(0u, perms->initialize(YavStringRef(e.second)));
            }
            EXPECT_EQ(0u, branch->add(new YavString(e.first),
                                      perms ? new YavUnprotResourceCacheBranchDBEntry(perms)
                                            : new YavUnprotResourceCacheBranchDBEntry()));
        }
        EXPECT_EQ(0u, db->add(new YavString(b.first), branch));
    }
    return db;
}

// "status/size/what": what is "-" (no context), "none", "all" or the groups.
std::string lookup(YavUnprotResourceCache& cache, const char* branch, const char* object) {
    YavString b(branch), name(object);
    void* context = &cache;
    const YavUnprotResourceCacheBranchDBEntry* e = nullptr;
    cache.readLock();
    const yav_status_t status = cache.lookupStart(&b, &context);
    std::string what = context == nullptr ? "-" : "none";
    const yav_status_t found = context != nullptr ? cache.lookupDB(context, &name, &e) : 0;
    if (e != nullptr) what = e->getPermType() == yav_urc_perm_type_all ? "all" : "";
    if (e != nullptr && e->getPerms() != nullptr) {
        for (const auto& g : yav_test_groups(*e->getPerms()))
            what += g.first + "=" + g.second + ";";
    }
    const int n = cache.size(&b);
    cache.unlock();
    EXPECT_EQ(0u, found);
    return std::string(status == 0                       ? "ok"
                       : status == YAV_S_URC_NO_DATABASE ? "nodb"
                                                         : "?") +
           "/" + std::to_string(n) + "/" + what;
}

TEST(YavUnprotResourceCacheTest, LooksUpExactNamesInTheirBranch) {
    YavUnprotResourceCache cache;
    EXPECT_EQ("nodb/-1/-", lookup(cache, "/b", "/b/docs"));
    cache.writeLock();
    cache.setDB(buildDB({{"/b", {{"/b/docs", "*"}, {"/b/docs/a.html", "r[g]x"}}},
                         {"/c", {{"/c/docs", "Tr"}}},
                         {"/empty", {}}}));
    cache.unlock();
    const struct {
        const char* branch;
        const char* object;
        const char* expected;
    } cases[] = {
        // Names that are not listed, and other branches, are the index
        // test's; here the entry found carries its permissions.
        {"/b", "/b/docs", "ok/2/all"},         {"/b", "/b/docs/a.html", "ok/2/primary=r;g=x;"},
        {"/c", "/c/docs", "ok/1/primary=Tr;"}, {"/empty", "/empty", "ok/0/none"},
        {"/B", "/b/docs", "nodb/-1/-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, lookup(cache, c.branch, c.object)) << c.object;
}

TEST(YavUnprotResourceCacheTest, SetDBDeletesWhatItReplacesAndSetVersionCopies) {
    YavAuthzTestAllocator alloc;
    {
        YavUnprotResourceCache cache;
        unsigned char bytes[YavEpochVersion::kSize] = {9, 8, 7};
        cache.writeLock();
        cache.setVersion(bytes);
        cache.setDB(buildDB({{"/b", {{"/b/1", "r"}, {"/b/2", "[a]x[b]y"}}}}, &alloc));
        EXPECT_GT(alloc.live, 0);
        cache.setDB(buildDB({{"/n", {{"/n/1", "*"}}}}));
        EXPECT_EQ(0, alloc.live);  // the replaced action sets are gone
        cache.setDB(buildDB({{"/m", {{"/m/1", "w"}}}}, &alloc));
        cache.unlock();
        bytes[0] = 0;
        EXPECT_EQ(9, cache.getVersion().bytes()[0]);
        EXPECT_EQ("nodb/-1/-", lookup(cache, "/n", "/n/1"));
        EXPECT_EQ("ok/1/primary=w;", lookup(cache, "/m", "/m/1"));
    }
    EXPECT_EQ(0, alloc.live);  // and the destructor deletes the last one
}

// ---- The look-up index against the tables it indexes ----

// One key of a hand-made database: kind 0 every action, 1 the set r, 2 a
// null value (hides any later-listed match, as in the table).
struct Key {
    std::string name;
    int kind;
};
struct BranchSpec {
    std::string name;
    std::vector<Key> keys;
    bool withTable;  // false: the branch's value is null
};

YavString* newKey(const std::string& name, const YavComparatorT<char>* comparator) {
    YavString* key = new YavString(name.data(), static_cast<int>(name.size()));
    key->setComparator(comparator);
    return key;
}

YavURCDatabase* makeDB(const std::vector<BranchSpec>& spec,
                       const YavComparatorT<char>* comparator = nullptr) {
    YavURCDatabase* db = new YavURCDatabase(nullptr, true, true);
    EXPECT_EQ(0u, db->initialize(YavUnprotResourceCache::kDatabaseBuckets));
    for (const BranchSpec& b : spec) {
        YavURCBranchDB* table = nullptr;
        if (b.withTable) {
            table = new YavURCBranchDB(nullptr, true, true);
            EXPECT_EQ(0u, table->initialize(YavUnprotResourceCache::kBranchBuckets));
            for (const Key& k : b.keys) {
                YavUnprotResourceCacheBranchDBEntry* entry = nullptr;
                if (k.kind == 0) entry = new YavUnprotResourceCacheBranchDBEntry();
                if (k.kind == 1) {
                    YavActionGroupList* perms = new YavActionGroupList();
                    EXPECT_EQ(0u, perms->initialize(YavStringRef("r")));
                    entry = new YavUnprotResourceCacheBranchDBEntry(perms);
                }
                EXPECT_EQ(0u, table->add(newKey(k.name, comparator), entry));
            }
        }
        EXPECT_EQ(0u, db->add(newKey(b.name, comparator), table));
    }
    return db;
}

// Three names "/b/h" + two characters with one hash (the string hash of
// two-character tails collides often).
std::vector<std::string> collidingNames() {
    std::map<uint32_t, std::vector<std::string>> byHash;
    for (char a = '!'; a <= '~'; ++a) {
        for (char b = '!'; b <= '~'; ++b) {
            std::string name = std::string("/b/h") + a + b;
            std::vector<std::string>& same =
                byHash[yav_string_hasher.hash(name.data(), name.size())];
            same.push_back(name);
            if (same.size() == 3) return same;
        }
    }
    ADD_FAILURE() << "no colliding names";
    return {"/b/h1", "/b/h2", "/b/h3"};
}

// A name "/b/p?" and a longer name with the same hash that starts with
// it: a look-up of the shorter must not find the longer.  Meet in the
// middle: three printable units forward from the short name's hash, two
// bytes backward from it (h = h * 33 XOR u is undone by XOR u, then times
// the inverse of 33 modulo 2^32).
std::pair<std::string, std::string> prefixCollision() {
    uint32_t inverse33 = 33;
    for (int i = 0; i < 5; ++i) inverse33 *= 2 - 33 * inverse33;
    auto unit = [](uint32_t byte) {
        return static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(byte)));
    };
    // Three printable units move the hash only within a narrow band, so
    // not every short name has a partner: try several.
    for (char p = 'a'; p <= 'z'; ++p) {
        const std::string shortName = std::string("/b/p") + p;
        const uint32_t target = yav_string_hasher.hash(shortName.data(), shortName.size());
        // Hashes before the last two bytes d, e (open addressing on the top
        // 17 bits; tail d << 8 | e, 0 for an empty slot).
        const uint32_t mask = (1u << 17) - 1;
        std::vector<uint32_t> hashes(mask + 1), tails(mask + 1, 0);
        for (uint32_t d = 1; d < 256; ++d) {
            for (uint32_t e = 1; e < 256; ++e) {
                const uint32_t h = (((target ^ unit(e)) * inverse33) ^ unit(d)) * inverse33;
                uint32_t i = h >> 15;
                while (tails[i] != 0) i = (i + 1) & mask;
                hashes[i] = h;
                tails[i] = d << 8 | e;
            }
        }
        for (uint32_t a = '!'; a <= '~'; ++a) {
            for (uint32_t b = '!'; b <= '~'; ++b) {
                for (uint32_t c = '!'; c <= '~'; ++c) {
                    const uint32_t h = (((target * 33 ^ unit(a)) * 33 ^ unit(b)) * 33) ^ unit(c);
                    for (uint32_t i = h >> 15; tails[i] != 0; i = (i + 1) & mask) {
                        if (hashes[i] != h) continue;
                        std::string longName = shortName;
                        for (uint32_t u : {a, b, c, tails[i] >> 8, tails[i] & 0xff})
                            longName += static_cast<char>(u);
                        return {shortName, longName};
                    }
                }
            }
        }
    }
    ADD_FAILURE() << "no prefix collision";
    return {"/b/p", "/b/pq"};
}

class YavURCIndexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::vector<std::string> colliding = collidingNames();
        // The search takes a while: once for every test.
        static const std::pair<std::string, std::string> prefixPair = prefixCollision();
        // Duplicates (the later-listed wins; a null value hides), the empty
        // name, an embedded NUL, bytes above 0x7f, two names of one hash, a
        // name whose hash its own prefix shares.
        std::vector<Key> keys = {{"/b/docs", 0},
                                 {"/b/docs/a.html", 1},
                                 {"/b/dup", 0},
                                 {"/b/dup", 1},
                                 {"/b/hidden", 0},
                                 {"/b/hidden", 2},
                                 {"", 0},
                                 {std::string("/b/n\0a", 6), 1},
                                 {"/b/\xc3\xa9t\xc3\xa9", 0},
                                 {colliding[0], 0},
                                 {colliding[1], 1},
                                 {prefixPair.second, 0}};
        // Enough names that probe runs meet and wrap.
        for (int i = 0; i < 300; ++i)
            keys.push_back({"/b/o" + std::to_string(i % 7) + "/p" + std::to_string(i), i % 2});
        m_spec = {{"/b", keys, true},
                  {"/empty", {}, true},
                  {"/shadow", {{"/shadow/x", 0}}, true},
                  {"/shadow", {}, false},  // listed later, found first: no table
                  {"/twice", {{"/twice/old", 0}}, true},
                  {"/twice", {{"/twice/new", 1}}, true}};
        // Every listed name, and names that are not listed.
        m_queries = {std::string("/b/n\0b", 6),
                     colliding[2],
                     prefixPair.first,
                     "/b/doc",
                     "/b/docs/",
                     "/b/docs/a.htm",
                     "/B/docs",
                     "/b",
                     "/nowhere"};
        for (const BranchSpec& b : m_spec) {
            for (const Key& k : b.keys) m_queries.push_back(k.name);
        }
        m_branches = {"/b", "/empty", "/shadow", "/twice", "/nowhere", "", "/b/"};
    }

    // Every query in every branch through the cache, against the find() of
    // the tables of db (the database the cache holds); "" when all agree,
    // else what differed.
    std::string differences(YavUnprotResourceCache& cache, const YavURCDatabase* db) {
        std::string diff;
        EXPECT_EQ(0u, cache.readLock());
        for (const std::string& b : m_branches) {
            YavString branch(b.data(), static_cast<int>(b.size()));
            const YavURCBranchDB* table = db->find(YavStringRef(branch));
            void* context = nullptr;
            const yav_status_t status = cache.lookupStart(&branch, &context);
            const int size = table != nullptr ? static_cast<int>(table->count()) : -1;
            if (status != (table != nullptr ? 0u : YAV_S_URC_NO_DATABASE) ||
                (context != nullptr) != (table != nullptr) || cache.size(&branch) != size) {
                diff += "branch " + b + "; ";
            }
            if (context == nullptr || table == nullptr) continue;
            for (const std::string& q : m_queries) {
                YavString name(q.data(), static_cast<int>(q.size()));
                const YavUnprotResourceCacheBranchDBEntry* expected =
                    table->find(YavStringRef(name));
                const YavUnprotResourceCacheBranchDBEntry* got = &m_sentinel;
                const YavUnprotResourceCacheBranchDBEntry* gotHashed = &m_sentinel;
                EXPECT_EQ(0u, cache.lookupDB(context, &name, &got));
                EXPECT_EQ(0u, cache.lookupDB(context, &name, YavURCPrefixHashes(name).hashOf(name),
                                             &gotHashed));
                if (got != expected || gotHashed != expected) diff += b + ":" + q + "; ";
            }
        }
        EXPECT_EQ(0u, cache.unlock());
        return diff;
    }

    // A cache holding a database of m_spec; its index made from alloc.
    std::string check(YavAuthzTestAllocator* alloc, const YavComparatorT<char>* comparator,
                      bool* indexed) {
        YavUnprotResourceCache cache(alloc);
        YavURCDatabase* db = makeDB(m_spec, comparator);
        EXPECT_EQ(0u, cache.writeLock());
        cache.setDB(db);
        *indexed = cache.isIndexed();
        EXPECT_EQ(0u, cache.unlock());
        // A failed build keeps nothing.
        EXPECT_TRUE(*indexed || alloc->live == 0);
        return differences(cache, db);
    }

    std::vector<BranchSpec> m_spec;
    std::vector<std::string> m_queries;
    std::vector<std::string> m_branches;
    const YavUnprotResourceCacheBranchDBEntry m_sentinel;
};

TEST_F(YavURCIndexTest, AnswersAsTheTablesDoWithOrWithoutIndex) {
    YavAuthzTestAllocator alloc;
    bool indexed = false;
    // Each block of the index refused in turn, until the whole index fits:
    // the branch records, the branch names' slots and the slots of the four
    // tables with entries.
    int refusals = 0;
    for (; refusals < 20; ++refusals) {
        alloc.refuseFrom = refusals;
        alloc.granted = 0;
        EXPECT_EQ("", check(&alloc, nullptr, &indexed)) << "block " << refusals << " refused";
        if (indexed) break;
    }
    EXPECT_EQ(6, refusals);
    // Keys compared otherwise than with yav_strcmp are not indexed.
    YavCountingComparator strncmpButNotYavStrcmp;
    alloc.refuseFrom = -1;
    EXPECT_EQ("", check(&alloc, &strncmpButNotYavStrcmp, &indexed));
    EXPECT_FALSE(indexed);
    EXPECT_EQ(0, alloc.live);
}

TEST_F(YavURCIndexTest, SecondDatabaseReplacesTheIndexAndNullFreesIt) {
    YavAuthzTestAllocator alloc;
    YavUnprotResourceCache cache(&alloc);
    ASSERT_EQ(0u, cache.writeLock());
    cache.setDB(makeDB(m_spec));
    const int firstBlocks = alloc.live;
    // Fewer branches, other names: nothing of the first may answer.
    YavURCDatabase* second = makeDB({{"/twice", {{"/twice/other", 0}}, true}, {"/b", {}, true}});
    cache.setDB(second);
    EXPECT_TRUE(cache.isIndexed());
    EXPECT_LT(alloc.live, firstBlocks);
    ASSERT_EQ(0u, cache.unlock());
    m_queries.push_back("/twice/other");
    EXPECT_EQ("", differences(cache, second));

    ASSERT_EQ(0u, cache.writeLock());
    cache.setDB(nullptr);
    EXPECT_FALSE(cache.isIndexed());
    EXPECT_EQ(0, alloc.live);
    ASSERT_EQ(0u, cache.unlock());
    EXPECT_EQ("nodb/-1/-", lookup(cache, "/b", "/b/docs"));
}

TEST(YavURCPrefixHashesTest, EveryPrefixHashesAsItsOwnHasherSays) {
    std::string longName = "/x";
    while (longName.size() < 300) longName += "/segment";
    const std::string names[] = {
        "",      "/", "/b/d1/d2/d3/d4/page.html", "/\xc3\xa9\xff\x80/a", std::string("/n\0ul", 5),
        longName};
    for (const std::string& n : names) {
        YavString name(n.data(), static_cast<int>(n.size()));
        const YavURCPrefixHashes hashes(name);
        for (int len = static_cast<int>(n.size()); len >= 0; --len) {
            name.setLength(len);
            EXPECT_EQ(yav_string_hasher.hash(n.data(), static_cast<size_t>(len)),
                      hashes.hashOf(name))
                << n.substr(0, 20) << " length " << len;
        }
    }
    // A name with another hasher is hashed by that hasher.
    YavString name("/Mixed/Case");
    name.setHasher(&yav_icase_string_hasher);
    const YavURCPrefixHashes hashes(name);
    name.setLength(6);
    EXPECT_EQ(yav_icase_string_hasher.hash("/mixed", 6), hashes.hashOf(name));
}

}  // namespace
