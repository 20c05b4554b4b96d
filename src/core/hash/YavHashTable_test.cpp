#include "core/hash/YavHashTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/buffers/YavString.h"
#include "core/list/yav_container_test_aids.h"

namespace {

using Table = YavHashTable<YavTestItem, YavTestItem>;
using Ids = std::vector<int>;

Ids chain(const Table& table, uint32_t i) {
    Ids ids;
    for (const Table::Entry* e = table.bucket(i); e != nullptr; e = e->next()) {
        ids.push_back(e->key()->id);
    }
    return ids;
}

TEST(YavHashTableTest, ChainsTakeNewEntriesFirstAndCompareOnlyOnEqualHashes) {
    Table table;
    YavTestItem a(1, nullptr, 0x101), b(2, nullptr, 0x201), c(3, nullptr, 0x201),
        far(4, nullptr, 0xABCD0000);
    EXPECT_EQ(table.add(&a, &a), YAV_S_NOT_INITIALIZED);
    EXPECT_EQ(table.initialize(0), YAV_S_INVALID_VALUE);
    ASSERT_EQ(table.initialize(256), 0u);
    for (YavTestItem* key : {&a, &b, &c, &far}) ASSERT_EQ(table.add(key, key), 0u);
    // 0x101 and 0x201 fall into bucket 1; 0xABCD0000 folds into 0xCD, not 0.
    EXPECT_EQ(chain(table, 1), (Ids{3, 2, 1}));
    EXPECT_EQ(chain(table, 0xCD), (Ids{4}));
    EXPECT_EQ(table.bucket(256), nullptr);

    // b sits behind c, which has the same hash; a's and far's searches
    // compare once; a key of another hash is never compared.
    for (auto [key, compares] : {std::pair{&a, 1}, {&b, 2}, {&c, 1}, {&far, 1}}) {
        YavTestProbe probe(key->id, key->hashValue);
        EXPECT_EQ(table.find(probe), key);
        EXPECT_EQ(probe.compares, compares) << key->id;
    }
    YavTestProbe sameHash(9, 0x201), otherHash(9, 0x301);
    EXPECT_FALSE(table.contains(sameHash) || table.contains(otherHash));
    EXPECT_EQ(sameHash.compares + otherHash.compares, 2);

    YavTestItem hiding(1, nullptr, 0x101);  // a later equal key hides the earlier one
    ASSERT_EQ(table.add(&hiding, &b), 0u);
    EXPECT_EQ(table.find(YavTestProbe(1, 0x101)), &b);
    EXPECT_TRUE(table.remove(YavTestProbe(1, 0x101)));
    EXPECT_EQ(static_cast<const Table&>(table).findIter(YavTestProbe(1, 0x101)).key(), &a);
}

TEST(YavHashTableTest, RemovesHeadMiddleAndTailOfAChainDestroyingWhatItOwns) {
    // Chain order after adding 1, 2, 3 is 3, 2, 1.
    for (auto [id, left] : {std::pair{3, Ids{2, 1}}, {2, Ids{3, 1}}, {1, Ids{3, 2}}}) {
        for (bool byIterator : {false, true}) {
            int destroyed = 0;
            Table table(nullptr, true, true);
            ASSERT_EQ(table.initialize(1), 0u);
            for (int k = 1; k <= 3; ++k) {
                ASSERT_EQ(table.add(new YavTestItem(k, &destroyed, 5),
                                    new YavTestItem(k * 10, &destroyed)),
                          0u);
            }
            if (byIterator) {
                Table::Iterator next = table.remove(table.findIter(YavTestProbe(id, 5)));
                EXPECT_EQ(next.isEnd() ? 0 : next.key()->id, id - 1);
            } else {
                EXPECT_TRUE(table.remove(YavTestProbe(id, 5)));
            }
            EXPECT_EQ(destroyed, 2) << id;  // its key and its value
            EXPECT_EQ(chain(table, 0), left);
            for (int k : left) EXPECT_EQ(table.find(YavTestProbe(k, 5))->id, k * 10);
        }
    }
}

TEST(YavHashTableTest, IteratesEveryEntryOnceInBucketOrderAndRemovesWhileIterating) {
    Table table;
    ASSERT_EQ(table.initialize(13), 0u);
    std::vector<YavTestItem> keys;
    for (int i = 0; i < 50; ++i) keys.emplace_back(i, nullptr, i * 7919u);
    for (YavTestItem& key : keys) ASSERT_EQ(table.add(&key, nullptr), 0u);
    Ids byBuckets, byIterator;
    for (uint32_t i = 0; i < table.bucketCount(); ++i) {
        for (int id : chain(table, i)) byBuckets.push_back(id);
    }
    for (Table::ConstIterator it = table.begin(); it != table.end(); ++it) {
        byIterator.push_back(it.key()->id);
    }
    EXPECT_EQ(byIterator, byBuckets);
    EXPECT_EQ(byIterator.size(), 50u);

    for (Table::Iterator it = table.begin(); !it.isEnd();) {
        it = it.key()->id % 2 == 0 ? table.remove(it) : ++it;
    }
    EXPECT_EQ(table.count(), 25u);
    for (const YavTestItem& key : keys) {
        EXPECT_EQ(table.contains(YavTestProbe(key.id, key.hashValue)), key.id % 2 == 1);
    }
}

// clear() keeps keys and values; delEntries(), initialize() and the
// destructor destroy the parts the table owns (one key and value each here).
TEST(YavHashTableTest, DestroysOnlyOwnedPartsAndRefusedAllocationsChangeNothing) {
    for (auto [ownsKeys, ownsValues] :
         {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        YavTestAllocator allocator;
        int keys = 0, values = 0;
        YavTestItem *k[3], *v[3];
        for (int i = 0; i < 3; ++i) {
            k[i] = new YavTestItem(i, &keys, 0);
            v[i] = new YavTestItem(i, &values);
        }
        {
            Table table(&allocator, ownsKeys, ownsValues);
            allocator.refuse = true;
            EXPECT_EQ(table.initialize(4), YAV_S_NO_MEMORY);
            allocator.refuse = false;
            ASSERT_EQ(table.initialize(4), 0u);
            ASSERT_EQ(table.add(k[0], v[0]), 0u);
            table.clear();
            ASSERT_EQ(table.add(k[0], v[0]), 0u);
            allocator.refuse = true;
            EXPECT_EQ(table.add(k[1], v[1]), YAV_S_NO_MEMORY);
            allocator.refuse = false;
            EXPECT_EQ(chain(table, 0), (Ids{0}));
            table.delEntries();
            ASSERT_EQ(table.add(k[1], v[1]), 0u);
            ASSERT_EQ(table.initialize(5), 0u);
            ASSERT_EQ(table.add(k[2], v[2]), 0u);
        }
        EXPECT_EQ(keys, ownsKeys ? 3 : 0);
        EXPECT_EQ(values, ownsValues ? 3 : 0);
        EXPECT_EQ(allocator.live, 0);
        for (int i = 0; i < 3; ++i) {
            if (!ownsKeys) delete k[i];
            if (!ownsValues) delete v[i];
        }
    }
}

TEST(YavHashTableTest, StringKeysAreFoundByStringsAndByReferencesIntoLargerText) {
    YavHashTable<YavString, int> table(nullptr, true, true);
    ASSERT_EQ(table.initialize(5), 0u);
    const char* names[] = {"GET", "POST", "PUT", "", "/a/b/c"};
    for (int i = 0; i < 5; ++i) {
        YavString* key = new YavString(names[i]);
        ASSERT_TRUE(key->ok());
        ASSERT_EQ(table.add(key, new int(i)), 0u);
    }
    const char text[] = "POSTGET/a/b/cd";
    const struct {
        YavStringRef probe;
        int value;  // -1: absent
    } cases[] = {
        {YavStringRef(text, 4), 1},     {YavStringRef(text + 4, 3), 0},
        {YavStringRef(text + 7, 6), 4}, {YavStringRef(text + 7, 7), -1},
        {YavStringRef(text, 0), 3},     {YavStringRef(text, 3), -1},
        {YavStringRef("get"), -1},      {YavStringRef("PUT"), 2},
    };
    for (const auto& c : cases) {
        const int* value = table.find(c.probe);
        EXPECT_EQ(value != nullptr ? *value : -1, c.value)
            << std::string(c.probe.getData(), c.probe.getLength());
    }
    EXPECT_EQ(*table.find(YavString("PUT")), 2);
    EXPECT_TRUE(table.remove(YavStringRef(text, 4)));
    EXPECT_EQ(table.find(YavString("POST")), nullptr);
}

}  // namespace
