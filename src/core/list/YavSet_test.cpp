#include "core/list/YavSet.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "core/list/yav_container_test_aids.h"

namespace {

TEST(YavSetTest, KeepsTheFirstOfEqualElementsAndDestroysOfferedDuplicatesItOwns) {
    int destroyed = 0;
    YavTestAllocator allocator;
    YavTestItem a(1, &destroyed), b(1, &destroyed);
    // On the heap: an owning set would delete it if it took it.
    auto heapThree = std::make_unique<YavTestItem>(3, &destroyed);
    YavTestItem& three = *heapThree;
    {
        YavSet<YavTestItem> owning(&allocator, true), borrowing;
        YavTestItem* one = new YavTestItem(1, &destroyed);
        EXPECT_EQ(owning.add(one), 0u);
        EXPECT_EQ(owning.add(new YavTestItem(2, &destroyed)), 0u);
        EXPECT_EQ(owning.add(new YavTestItem(1, &destroyed)), 0u);
        EXPECT_EQ(destroyed, 1);  // the offered duplicate, at once
        EXPECT_EQ(owning.add(one), 0u);
        EXPECT_EQ(destroyed, 1);  // offering the held element again keeps it
        EXPECT_EQ(yav_test_ids(owning), (std::vector<int>{1, 2}));
        EXPECT_EQ(owning.getHead(), one);

        allocator.refuse = true;
        EXPECT_EQ(owning.add(&three), YAV_S_NO_MEMORY);  // and `three` is not destroyed
        EXPECT_FALSE(owning.contains(three));

        EXPECT_EQ(borrowing.add(&a), 0u);
        EXPECT_EQ(borrowing.add(&b), 0u);  // not owned: left to the caller
        EXPECT_EQ(borrowing.count(), 1u);
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 3);
    EXPECT_EQ(allocator.live, 0);
}

}  // namespace
