// The unprotected-resource cache decision on the request road: a request at
// path depth 5 whose nearest listed ancestor is four levels up, in a branch
// database of 10,000 entries.  Baseline: the same walk of five look-ups in a
// std::unordered_map of the same names, without locks, views or
// permissions.
//
// Both cases use the 15-bucket branch table that a version answer builds.
// Argument 1: the cache looks up through its index, as it does normally.
// Argument 0: the index's memory is refused, so the cache walks the table's
// chains (about 670 entries long) -- the fallback, and the cost the index
// removes.
#include <string>
#include <unordered_map>

#include "bench_support.h"
#include "core/msg/yav_status.h"
#include "urc/plugin/YavUnprotResourceCacheClient.h"
#include "urc/plugin/yav_urc_client_test_aids.h"

namespace {

const int kEntries = 10000;
const char kURI[] = "/d1/d2/d3/d4/page.html";

time_t fixedClock(void*) { return 1000; }

// Refuses every block: the cache then has no index.
class RefusingAllocator : public YavAllocator {
  protected:
    void* do_allocate(size_t) override { return nullptr; }
    void do_deallocate(void*) override {}
};
RefusingAllocator g_refusing;

struct Fixture {
    YavPluginVirtualHostList vhosts;
    YavUnprotResourceCacheClient client;
    bool ok = false;

    explicit Fixture(bool indexed)
        : client(&vhosts, nullptr, nullptr, indexed ? nullptr : &g_refusing) {
        YavPluginVirtualHost* host = new YavPluginVirtualHost();
        YavPermMap* map = new YavPermMap();
        YavActionGroupList* get = new YavActionGroupList();
        if (host->setID(YavStringRef("www")) != 0 || host->setBranch(YavStringRef("/b")) != 0 ||
            map->initialize() != 0 || get->initialize(YavStringRef("r")) != 0 ||
            map->setPerms(new YavStringRef("GET"), get) != 0 || host->setPermMap(map) != 0) {
            return;
        }
        host->setFlags(yav_vhost_unsecure);
        if (vhosts.append(host) != 0) return;

        YavURCDatabase* db = new YavURCDatabase(nullptr, true, true);
        YavURCBranchDB* branch = new YavURCBranchDB(nullptr, true, true);
        if (db->initialize(YavUnprotResourceCache::kDatabaseBuckets) != 0 ||
            branch->initialize(YavUnprotResourceCache::kBranchBuckets) != 0) {
            return;
        }
        for (int i = 0; i < kEntries - 1; ++i) {
            std::string name = "/b/o" + std::to_string(i / 100) + "/p" + std::to_string(i);
            if (branch->add(new YavString(name.c_str()),
                            new YavUnprotResourceCacheBranchDBEntry()) != 0) {
                return;
            }
        }
        YavActionGroupList* granted = new YavActionGroupList();
        if (granted->initialize(YavStringRef("Tr")) != 0 ||
            branch->add(new YavString("/b/d1"), new YavUnprotResourceCacheBranchDBEntry(granted)) !=
                0 ||
            db->add(new YavString("/b"), branch) != 0) {
            return;
        }

        // Enabled with a poll interval that does not run out; the one poll
        // due at the first look-up finds no dispatcher and starts the timer.
        client.setClock(&fixedClock, nullptr);
        client.setConfigParams(true, 1000000000L);
        YavURCTestRequest request("www", 0, kURI, "GET");
        YavUnprotResourceCacheClient::YavURCDecision d;
        if (client.lookupCache(request, &d) != YAV_S_NOT_AVAILABLE) return;
        YavUnprotResourceCache& cache = client.getCache();
        cache.writeLock();
        cache.setDB(db);
        ok = cache.isIndexed() == indexed;
        cache.unlock();
    }
};

Fixture& fixture(bool indexed) {
    // One of each, kept for the whole run.
    static Fixture* withIndex = new Fixture(true);
    static Fixture* withoutIndex = new Fixture(false);
    return indexed ? *withIndex : *withoutIndex;
}

void BM_URCLookupDepth5(benchmark::State& state) {
    Fixture& f = fixture(state.range(0) != 0);
    if (!f.ok) {
        state.SkipWithError("set-up failed");
        return;
    }
    YavURCTestRequest request("www", 0, kURI, "GET");
    YavUnprotResourceCacheClient::YavURCDecision d =
        YavUnprotResourceCacheClient::yav_urc_decision_protected;
    auto once = [&] {
        if (f.client.lookupCache(request, &d) != 0 ||
            d != YavUnprotResourceCacheClient::yav_urc_decision_unprotected) {
            state.SkipWithError("wrong decision");
        }
    };
    once();  // warm
    for (auto _ : state) {
        once();
        benchmark::DoNotOptimize(d);
    }
    yav_bench::countHeapAllocations(state, 1000, [&] {
        for (int i = 0; i < 1000; ++i) once();
    });
}
BENCHMARK(BM_URCLookupDepth5)->Arg(1)->Arg(0);

void BM_StdMapWalkDepth5(benchmark::State& state) {
    std::unordered_map<std::string, int> names;
    for (int i = 0; i < kEntries - 1; ++i) {
        names["/b/o" + std::to_string(i / 100) + "/p" + std::to_string(i)] = 0;
    }
    names["/b/d1"] = 1;
    const std::string object = std::string("/b") + kURI;
    for (auto _ : state) {
        std::string name = object;
        int found = -1;
        while (found < 0) {
            auto it = names.find(name);
            if (it != names.end()) {
                found = it->second;
                break;
            }
            size_t slash = name.rfind('/');
            if (slash == 0 || slash == std::string::npos) break;
            name.resize(slash);
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_StdMapWalkDepth5);

}  // namespace

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(argc, argv, "cache decision / bare map walk",
                                    {{"BM_URCLookupDepth5/1", "BM_StdMapWalkDepth5"},
                                     {"BM_URCLookupDepth5/0", "BM_StdMapWalkDepth5"},
                                     {"BM_URCLookupDepth5/0", "BM_URCLookupDepth5/1"}});
}
