#include "core/list/YavList.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/list/yav_container_test_aids.h"

namespace {

using List = YavList<YavTestItem>;
using Ids = std::vector<int>;

TEST(YavListTest, KeepsOrderThroughInsertionsAndRemovals) {
    std::vector<YavTestItem> items;
    for (int id = 0; id < 6; ++id) items.emplace_back(id);
    List list;
    auto at = [&list](int n) {
        List::Iterator it = list.begin();
        while (n-- > 0) ++it;
        return it;
    };
    ASSERT_EQ(list.append(&items[2]), 0u);
    ASSERT_EQ(list.prepend(&items[0]), 0u);
    ASSERT_EQ(list.insertBefore(list.end(), &items[5]), 0u);
    ASSERT_EQ(list.insertBefore(--list.end(), &items[4]), 0u);
    ASSERT_EQ(list.insertBefore(at(1), &items[1]), 0u);
    ASSERT_EQ(list.insertBefore(at(3), &items[3]), 0u);
    EXPECT_EQ(yav_test_ids(list), (Ids{0, 1, 2, 3, 4, 5}));
    for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(list.getAt(i), &items[i]);
    for (size_t i : {size_t{6}, SIZE_MAX}) EXPECT_EQ(list.getAt(i), nullptr);

    EXPECT_EQ(list.remove(list.begin()).value(), &items[1]);  // head
    EXPECT_EQ(*list.remove(at(2)), &items[4]);                // middle
    EXPECT_TRUE(list.remove(--list.end()).isEnd());           // tail
    EXPECT_EQ(yav_test_ids(list), (Ids{1, 2, 4}));
    EXPECT_TRUE(list.remove(&items[2]));
    EXPECT_FALSE(list.remove(&items[2]));
    EXPECT_TRUE(list.remove(list.end()).isEnd());
    EXPECT_EQ(yav_test_ids(list), (Ids{1, 4}));
    EXPECT_EQ(list.getHead(), &items[1]);
    EXPECT_EQ(list.getTail(), &items[4]);
}

TEST(YavListTest, RefusedEntryLeavesTheListUnchanged) {
    YavTestAllocator allocator;
    YavTestItem a(1), b(2), c(3);
    List list(&allocator);
    ASSERT_EQ(list.append(&a), 0u);
    ASSERT_EQ(list.append(&b), 0u);
    EXPECT_EQ(allocator.live, 2);  // one block per entry, from the list's allocator
    allocator.refuse = true;
    EXPECT_EQ(list.append(&c), YAV_S_NO_MEMORY);
    EXPECT_EQ(list.prepend(&c), YAV_S_NO_MEMORY);
    EXPECT_EQ(list.insertBefore(++list.begin(), &c), YAV_S_NO_MEMORY);
    EXPECT_EQ(yav_test_ids(list), (Ids{1, 2}));
}

struct Placed {
    explicit Placed(int* counter) : destroyed(counter) {}
    ~Placed() { ++*destroyed; }
    int* destroyed;
};

TEST(YavListTest, ClearKeepsValuesAndDelEntriesDestroysOwnedOnes) {
    YavTestAllocator allocator;
    int destroyed = 0;
    {
        List owning(&allocator, true), borrowing(&allocator, false);
        YavTestItem kept(0, &destroyed);
        for (int id = 1; id <= 3; ++id)
            ASSERT_EQ(owning.append(new YavTestItem(id, &destroyed)), 0u);
        ASSERT_EQ(borrowing.append(&kept), 0u);
        borrowing.delEntries();
        YavTestItem* taken = owning.getHead();
        owning.remove(owning.begin());  // removal hands the value back
        owning.delEntries();
        EXPECT_EQ(destroyed, 2);
        EXPECT_EQ(allocator.live, 0);
        ASSERT_EQ(owning.append(taken), 0u);
        ASSERT_EQ(owning.append(nullptr), 0u);
        owning.clear();
        EXPECT_EQ(destroyed, 2);
        ASSERT_EQ(owning.append(taken), 0u);

        // Values made with yav_new go back through their allocator word.
        YavList<Placed, YavPlacedDelete> placed(nullptr, true);
        ASSERT_EQ(placed.append(yav_new<Placed>(&allocator, &destroyed)), 0u);
    }
    EXPECT_EQ(destroyed, 5);  // placed, kept, then `taken` by the owning destructor
    EXPECT_EQ(allocator.live, 0);
}

}  // namespace
