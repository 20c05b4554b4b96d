#include "core/list/YavSearchableList.h"

#include <gtest/gtest.h>

#include "core/list/yav_container_test_aids.h"

namespace {

TEST(YavSearchableListTest, FindsTheFirstMatchFromTheHeadSkippingNulls) {
    YavTestItem first(5), other(6), second(5);
    YavSearchableList<YavTestItem, YavTestProbe> list;
    for (YavTestItem* item : {static_cast<YavTestItem*>(nullptr), &other, &first, &second}) {
        ASSERT_EQ(list.append(item), 0u);
    }
    const auto& constList = list;
    EXPECT_EQ(*list.find(YavTestProbe(5, 0)), &first);
    EXPECT_EQ(constList.findValue(YavTestProbe(6, 0)), &other);
    EXPECT_TRUE(constList.find(YavTestProbe(4, 0)).isEnd());
    list.remove(&first);
    EXPECT_EQ(*constList.find(YavTestProbe(5, 0)), &second);
}

}  // namespace
