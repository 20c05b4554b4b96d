// Look-ups on the request road of a protected virtual host, each beside a
// baseline measured in the same run:
//  - finding the last of 50 virtual hosts with a match-mode key (goal: under
//    300 ns), bare and with the list's read lock taken and released, against
//    a scan of 50 std::string IDs in a std::vector;
//  - the covering test of a 3-group required action set against a 5-group
//    granted set (goal: under 100 ns), against the same test written over a
//    std::vector of (name, actions) std::string pairs.
// Heap allocations per operation are reported as mallocs_per_op (plain
// builds); none of the cases should make any.
#include <string>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "plugin/core/YavActionGroupList.h"
#include "plugin/core/YavPluginVirtualHostList.h"

namespace {

constexpr int kHosts = 50;
constexpr int kOpsPerIteration = 100;

std::string hostID(int i) { return "vhost-" + std::to_string(i) + ".example.com:80"; }

// The list of 50 hosts serving http and https, built once.
YavPluginVirtualHostList& hostList() {
    static YavPluginVirtualHostList* list = [] {
        YavPluginVirtualHostList* l = new YavPluginVirtualHostList;
        for (int i = 0; i < kHosts; ++i) {
            YavPluginVirtualHost* host = new YavPluginVirtualHost;
            host->setFlags(yav_vhost_secure | yav_vhost_unsecure);
            if (host->setID(YavStringRef(hostID(i).c_str())) != 0 || l->append(host) != 0) abort();
        }
        return l;
    }();
    return *list;
}

template <class Fn>
void measure(benchmark::State& state, Fn fn) {
    long sink = 0;
    for (auto _ : state) {
        for (int i = 0; i < kOpsPerIteration; ++i) sink += fn();
        benchmark::DoNotOptimize(sink);
    }
    state.SetItemsProcessed(state.iterations() * kOpsPerIteration);
    yav_bench::countHeapAllocations(state, 1000, [&] {
        for (int i = 0; i < 1000; ++i) sink += fn();
    });
    benchmark::DoNotOptimize(sink);
}

void BM_VHostFindLast(benchmark::State& state) {
    YavPluginVirtualHostList& list = hostList();
    std::string id = hostID(kHosts - 1);
    YavStringRef ref(id.c_str(), static_cast<int>(id.size()));
    YavPluginVirtualHostKey key;
    key.initialize(ref, false);
    measure(state, [&] {
        benchmark::DoNotOptimize(ref);
        return list.findValue(key) != nullptr ? 1L : 0L;
    });
}
BENCHMARK(BM_VHostFindLast);

void BM_VHostLockedFindLast(benchmark::State& state) {
    YavPluginVirtualHostList& list = hostList();
    std::string id = hostID(kHosts - 1);
    YavStringRef ref(id.c_str(), static_cast<int>(id.size()));
    YavPluginVirtualHostKey key;
    key.initialize(ref, true);
    measure(state, [&] {
        benchmark::DoNotOptimize(ref);
        list.readLock();
        long found = list.findValue(key) != nullptr ? 1L : 0L;
        list.unlock();
        return found;
    });
}
BENCHMARK(BM_VHostLockedFindLast);

void BM_StdStringScanLast(benchmark::State& state) {
    std::vector<std::string> ids;
    for (int i = 0; i < kHosts; ++i) ids.push_back(hostID(i));
    std::string id = hostID(kHosts - 1);
    measure(state, [&] {
        benchmark::DoNotOptimize(id);
        for (size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] == id) return static_cast<long>(i);
        }
        return -1L;
    });
}
BENCHMARK(BM_StdStringScanLast);

const char kGranted[] = "rT[view]lrx[edit]mdw[admin]abc[audit]gk";
const char kRequired[] = "[edit]wm[view]x[audit]g";

void BM_ResolveActionGroupList(benchmark::State& state) {
    YavActionGroupList granted, required;
    if (granted.initialize(YavStringRef(kGranted)) != 0 ||
        required.initialize(YavStringRef(kRequired)) != 0 || granted.count() != 5 ||
        required.count() != 3 || !granted.resolveActionGroupList(required)) {
        state.SkipWithError("action sets did not parse as expected");
        return;
    }
    measure(state, [&] {
        benchmark::DoNotOptimize(&granted);
        return granted.resolveActionGroupList(required) ? 1L : 0L;
    });
}
BENCHMARK(BM_ResolveActionGroupList);

typedef std::vector<std::pair<std::string, std::string>> StdGroups;

bool stdCovers(const StdGroups& granted, const StdGroups& required) {
    for (const auto& need : required) {
        const std::pair<std::string, std::string>* found = nullptr;
        for (const auto& g : granted) {
            if (g.first == need.first) {
                found = &g;
                break;
            }
        }
        if (found == nullptr) return false;
        for (char c : need.second) {
            if (found->second.find(c) == std::string::npos) return false;
        }
    }
    return true;
}

void BM_StdCovers(benchmark::State& state) {
    StdGroups granted = {
        {"primary", "rT"}, {"view", "lrx"}, {"edit", "mdw"}, {"admin", "abc"}, {"audit", "gk"}};
    StdGroups required = {{"edit", "wm"}, {"view", "x"}, {"audit", "g"}};
    measure(state, [&] {
        benchmark::DoNotOptimize(&granted);
        return stdCovers(granted, required) ? 1L : 0L;
    });
}
BENCHMARK(BM_StdCovers);

}  // namespace

int main(int argc, char** argv) {
    return yav_bench::runWithRatios(argc, argv,
                                    "Time against the std baselines (CPU time, same run):",
                                    {{"BM_VHostFindLast", "BM_StdStringScanLast"},
                                     {"BM_VHostLockedFindLast", "BM_StdStringScanLast"},
                                     {"BM_ResolveActionGroupList", "BM_StdCovers"}});
}
