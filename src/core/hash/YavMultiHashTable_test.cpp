#include "core/hash/YavMultiHashTable.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/buffers/YavString.h"
#include "core/hash/yav_hash_bucket.h"
#include "core/list/yav_container_test_aids.h"

namespace {

using Table = YavMultiHashTable<YavTestItem, YavTestItem>;
using Ids = std::vector<int>;

// The ids of a value list; {-1} for no list.
Ids values(const Table::ValueList* list) {
    if (list == nullptr) return {-1};
    Ids ids;
    for (const YavTestItem* v : *list) ids.push_back(v->id);
    return ids;
}

TEST(YavMultiHashTableTest, GroupsValuesPerKeyAndKeepsKeysInUnfoldedBucketsInOrder) {
    int keysGone = 0, valuesGone = 0;
    {
        Table table(nullptr, true, true);
        ASSERT_EQ(table.initialize(17), 0u);
        // 0x12345678 mod 17 = 4 (folded as YavHashTable does, it would be
        // 11); 4 and 21 share that bucket, 5 does not.
        ASSERT_EQ(yav_hash_bucket(0x12345678, 17), 11u);
        const struct {
            int key;
            uint32_t hash;
            int value;
        } adds[] = {{1, 0x12345678, 10}, {2, 4, 20}, {1, 0x12345678, 11},
                    {3, 21, 30},         {4, 5, 40}, {1, 0x12345678, 12}};
        for (const auto& a : adds) {
            ASSERT_EQ(table.addValue(new YavTestItem(a.key, &keysGone, a.hash),
                                     new YavTestItem(a.value, &valuesGone)),
                      0u);
        }
        EXPECT_EQ(keysGone, 2);  // the repeated keys 1, no longer needed
        EXPECT_EQ(values(table.find(YavTestProbe(1, 0x12345678))), (Ids{10, 11, 12}));
        EXPECT_EQ(table.findFirst(YavTestProbe(2, 4))->id, 20);
        EXPECT_EQ(table.find(YavTestProbe(2, 5)), nullptr);
        EXPECT_EQ(table.count(), 4u);
        EXPECT_EQ(table.valueCount(), 6u);
        Ids chain, iterated;
        for (const Table::Entry* e = table.bucket(4); e != nullptr; e = e->next()) {
            chain.push_back(e->key()->id);
        }
        EXPECT_EQ(chain, (Ids{1, 2, 3}));
        EXPECT_EQ(table.bucket(11), nullptr);
        for (Table::ConstIterator it = table.begin(); it != table.end(); ++it) {
            iterated.push_back(it.key()->id);
        }
        EXPECT_EQ(iterated, (Ids{1, 2, 3, 4}));
        EXPECT_TRUE(table.remove(YavTestProbe(1, 0x12345678)));
        EXPECT_FALSE(table.remove(YavTestProbe(1, 0x12345678)));
        EXPECT_EQ(keysGone + valuesGone, 2 + 1 + 3);
        EXPECT_EQ(table.count(), 3u);
        EXPECT_EQ(table.valueCount(), 3u);
        table.delEntries();
        EXPECT_EQ(keysGone + valuesGone, 12);
        EXPECT_EQ(table.count(), 0u);
        EXPECT_EQ(table.valueCount(), 0u);
        // The counts start again from an emptied table, also after clear()
        // and a new initialize().
        YavTestItem k(7, nullptr, 1), v(70);
        Table borrowing;
        ASSERT_EQ(borrowing.initialize(3), 0u);
        ASSERT_EQ(borrowing.addValue(&k, &v), 0u);
        borrowing.clear();
        EXPECT_EQ(borrowing.valueCount(), 0u);
        ASSERT_EQ(borrowing.addValue(&k, &v), 0u);
        ASSERT_EQ(borrowing.initialize(5), 0u);
        EXPECT_EQ(borrowing.count(), 0u);
        EXPECT_EQ(borrowing.valueCount(), 0u);
        EXPECT_EQ(borrowing.find(YavTestProbe(7, 1)), nullptr);
    }
}

TEST(YavMultiHashTableTest, RefusedAllocationLeavesTheTableAndTheOfferedKeyAlone) {
    YavTestAllocator allocator;
    int destroyed = 0;
    // Heap objects: an owning table would delete them if it took them.
    auto heapKey = std::make_unique<YavTestItem>(1, &destroyed, 3);
    auto heapOther = std::make_unique<YavTestItem>(2, &destroyed, 3);
    auto heapValue = std::make_unique<YavTestItem>(10);
    YavTestItem& key = *heapKey;
    YavTestItem& other = *heapOther;
    YavTestItem& value = *heapValue;
    Table table(&allocator, true, true);
    EXPECT_EQ(table.addValue(&key, &value), YAV_S_NOT_INITIALIZED);
    ASSERT_EQ(table.initialize(5), 0u);
    ASSERT_EQ(table.addValue(new YavTestItem(1, &destroyed, 3), new YavTestItem(11)), 0u);
    int live = allocator.live;
    allocator.refuse = true;
    EXPECT_EQ(table.addValue(&key, &value), YAV_S_NO_MEMORY);    // existing key
    EXPECT_EQ(table.addValue(&other, &value), YAV_S_NO_MEMORY);  // new key
    allocator.refuse = false;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(allocator.live, live);
    EXPECT_EQ(values(table.find(YavTestProbe(1, 3))), (Ids{11}));
    EXPECT_EQ(table.find(YavTestProbe(2, 3)), nullptr);

    Table borrowing;  // a repeated key stays the caller's
    YavTestItem again(1, &destroyed, 3);
    ASSERT_EQ(borrowing.initialize(3), 0u);
    ASSERT_EQ(borrowing.addValue(&key, &value), 0u);
    ASSERT_EQ(borrowing.addValue(&again, &value), 0u);
    EXPECT_EQ(destroyed, 0);
}

TEST(YavMultiHashTableTest, ArgumentNamesReferIntoTheQueryAndCollectStringValues) {
    const char query[] = "a=1&bb=2&a=3";
    YavMultiHashTable<YavStringRef, YavString> args(nullptr, true, true);
    ASSERT_EQ(args.initialize(17), 0u);
    for (auto [name, length, text] : {std::tuple{0, 1, "1"}, {4, 2, "2"}, {9, 1, "3"}}) {
        YavString* value = new YavString(text);
        ASSERT_TRUE(value->ok());
        ASSERT_EQ(args.addValue(new YavStringRef(query + name, length), value), 0u);
    }
    auto texts = [](const YavMultiHashTable<YavStringRef, YavString>::ValueList* list) {
        std::vector<std::string> out;
        for (const YavString* v : *list) out.emplace_back(v->getData());
        return out;
    };
    EXPECT_EQ(texts(args.find(YavStringRef("a"))), (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(texts(args.find(YavString("bb"))), (std::vector<std::string>{"2"}));
    EXPECT_EQ(args.find(YavStringRef("b")), nullptr);
}

}  // namespace
