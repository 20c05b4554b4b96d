// Test aids of the virtual-host, action-group and permission-map tests: an
// allocator that counts its live blocks and can refuse from a chosen
// allocation on, and a comparator that counts its calls.  Single-threaded.
#ifndef YAV_PLUGIN_CORE_YAV_AUTHZ_TEST_AIDS_H
#define YAV_PLUGIN_CORE_YAV_AUTHZ_TEST_AIDS_H

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/hash/YavComparators.h"
#include "core/memory/YavAllocator.h"
#include "plugin/core/YavActionGroupList.h"

class YavAuthzTestAllocator : public YavAllocator {
  public:
    int live = 0;         // blocks handed out and not yet freed
    int granted = 0;      // allocations that succeeded so far
    int refuseFrom = -1;  // allocations numbered from 0 fail from this one on (-1: never)

  protected:
    void* do_allocate(size_t size) override {
        if (refuseFrom >= 0 && granted >= refuseFrom) return nullptr;
        ++granted;
        ++live;
        return malloc(size);
    }
    void do_deallocate(void* ptr) override {
        if (ptr == nullptr) return;
        --live;
        free(ptr);
    }
};

// strncmp's order, counting the calls.
class YavCountingComparator : public YavComparatorT<char> {
  public:
    mutable int calls = 0;
    int compare(const char* a, const char* b, size_t n) const override {
        ++calls;
        return strncmp(a, b, n);
    }
};

typedef std::vector<std::pair<std::string, std::string>> YavTestGroups;

// The groups of a list, from the head, as (name, actions) pairs; a group
// whose actions were never set shows "<unset>".
inline YavTestGroups yav_test_groups(const YavActionGroupList& list) {
    YavTestGroups groups;
    for (const YavActionGroup* g : list) {
        const YavString* actions = g->getActions();
        groups.emplace_back(std::string(g->getName()->getData(), g->getName()->getLength()),
                            actions != nullptr
                                ? std::string(actions->getData(), actions->getLength())
                                : std::string("<unset>"));
    }
    return groups;
}

#endif  // YAV_PLUGIN_CORE_YAV_AUTHZ_TEST_AIDS_H
