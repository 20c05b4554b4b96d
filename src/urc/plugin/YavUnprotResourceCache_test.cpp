#include "urc/plugin/YavUnprotResourceCache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "plugin/core/yav_authz_test_aids.h"

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
        {"/b", "/b/docs", "ok/2/all"},         {"/b", "/b/docs/a.html", "ok/2/primary=r;g=x;"},
        {"/b", "/b/Docs", "ok/2/none"},   // case-sensitive
        {"/b", "/b/doc", "ok/2/none"},    // no prefix match
        {"/b", "/b/docs/", "ok/2/none"},  // no normalising here
        {"/b", "/c/docs", "ok/2/none"},   // another branch's object
        {"/c", "/c/docs", "ok/1/primary=Tr;"}, {"/empty", "/empty", "ok/0/none"},
        {"/B", "/b/docs", "nodb/-1/-"},        {"", "/b/docs", "nodb/-1/-"},
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

}  // namespace
