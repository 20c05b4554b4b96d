// Test aids of the container tests (list and hash folders): an allocator
// that counts its live blocks and refuses on demand, an element that counts
// its destructions, and a look-up key of another type.  Single-threaded.
#ifndef YAV_CORE_LIST_YAV_CONTAINER_TEST_AIDS_H
#define YAV_CORE_LIST_YAV_CONTAINER_TEST_AIDS_H

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/memory/YavAllocator.h"

class YavTestAllocator : public YavAllocator {
  public:
    bool refuse = false;  // every allocation fails while set
    int live = 0;         // blocks handed out and not yet freed

  protected:
    void* do_allocate(size_t size) override { return refuse ? nullptr : (++live, malloc(size)); }
    void do_deallocate(void* ptr) override { --live, free(ptr); }
};

struct YavTestProbe;

// Items are equal when their ids are; the hash is the test's choice, so
// that tests can fill one bucket or give different items equal hashes.
struct YavTestItem {
    YavTestItem(int i, int* destroyedCounter = nullptr, uint32_t h = 0)
        : id(i), hashValue(h), destroyed(destroyedCounter) {}
    ~YavTestItem() { destroyed != nullptr && ++*destroyed; }
    uint32_t hash() const { return hashValue; }
    int compare(const YavTestItem& other) const { return (id > other.id) - (id < other.id); }
    inline int compare(const YavTestProbe& probe) const;

    int id;
    uint32_t hashValue;
    int* destroyed;
};

// A key of another type; counts the comparisons made with it.
struct YavTestProbe {
    YavTestProbe(int i, uint32_t h) : id(i), hashValue(h) {}
    uint32_t hash() const { return hashValue; }
    int compare(const YavTestItem& item) const { return -item.compare(*this); }

    int id;
    uint32_t hashValue;
    mutable int compares = 0;
};

int YavTestItem::compare(const YavTestProbe& probe) const {
    ++probe.compares;
    return (id > probe.id) - (id < probe.id);
}

// The ids of a list from the head, or an empty vector with a failure when
// the walk back from the tail does not agree.
template <class List>
std::vector<int> yav_test_ids(const List& list) {
    std::vector<int> forward, backward;
    for (const auto* item : list) forward.push_back(item->id);
    for (auto it = list.end(); it != list.begin();) backward.insert(backward.begin(), (*--it)->id);
    if (forward != backward || forward.size() != list.count()) return {-1};
    return forward;
}

#endif  // YAV_CORE_LIST_YAV_CONTAINER_TEST_AIDS_H
