#include "core/hash/YavProtectedHashTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/list/yav_container_test_aids.h"

namespace {

using Protected = YavProtectedHashTable<YavTestItem, int>;

TEST(YavProtectedHashTableTest, LockGivesTheTableForReadingOrWriting) {
    Protected table(nullptr, true, true);
    {
        Protected::Lock lock(table, Protected::yav_lock_write);
        ASSERT_EQ(lock.writableTable().initialize(4), 0u);
        ASSERT_EQ(lock.writableTable().add(new YavTestItem(1, nullptr, 1), new int(10)), 0u);
    }
    ASSERT_EQ(table.add(new YavTestItem(2, nullptr, 2), new int(20)), 0u);
    {
        Protected::Lock lock(static_cast<const Protected&>(table));
        EXPECT_EQ(*lock.table().find(YavTestProbe(2, 2)), 20);
    }
    int value = -1;
    EXPECT_TRUE(table.lookup(YavTestProbe(1, 1), &value));
    EXPECT_EQ(value, 10);
    EXPECT_FALSE(table.lookup(YavTestProbe(3, 3), &value));
    EXPECT_TRUE(table.remove(YavTestProbe(1, 1)));
    EXPECT_EQ(table.count(), 1u);
}

TEST(YavProtectedHashTableDeathTest, WritableTableUnderAReadLockIsAnInconsistency) {
    Protected table;
    EXPECT_DEATH(Protected::Lock(table, Protected::yav_lock_read).writableTable(),
                 "Assertion failed at .*m_mode == yav_lock_write");
}

// One writer adds and removes its keys with the self-locking calls; another
// adds keys and removes them again under one write Lock, so that nobody
// may ever see them.  Readers look keys up and walk the table under read Locks:
// every value must be its key's id.  Run under ThreadSanitizer too.
TEST(YavProtectedHashTableTest, ReadersSeeOnlyWholeChangesWhileWritersWork) {
    Protected table(nullptr, true, true);
    ASSERT_EQ(table.initialize(7), 0u);
    constexpr int kRounds = 400, kHidden = 1000000;
    std::atomic<int> wrong{0}, readersLeft{2};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int id = 0; id < kRounds; ++id) {
            if (table.add(new YavTestItem(id, nullptr, id), new int(id)) != 0) ++wrong;
            // Every third key stays; the others go again at once.
            if (id % 3 != 0 && !table.remove(YavTestProbe(id, id))) ++wrong;
        }
    });
    threads.emplace_back([&] {
        while (readersLeft > 0) {
            Protected::Lock lock(table, Protected::yav_lock_write);
            Protected::Table& t = lock.writableTable();
            for (int k = 0; k < 10; ++k) {
                if (t.add(new YavTestItem(kHidden + k, nullptr, 0), new int(kHidden + k)) != 0) {
                    ++wrong;
                }
            }
            for (int k = 0; k < 10; ++k) {
                if (!t.remove(YavTestProbe(kHidden + k, 0))) ++wrong;
            }
        }
    });
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            for (int i = 0; i < 4 * kRounds; ++i) {
                int id = i % kRounds, value = id;
                if (table.lookup(YavTestProbe(id, id), &value) && value != id) ++wrong;
                if (table.contains(YavTestProbe(kHidden, 0))) ++wrong;
                if (i % 10 != 0) continue;
                Protected::Lock lock(table);
                size_t seen = 0;
                for (auto it = lock.table().begin(); !it.isEnd(); ++it, ++seen) {
                    if (*it.value() != it.key()->id || *it.value() >= kHidden) ++wrong;
                }
                if (seen != lock.table().count()) ++wrong;
            }
            --readersLeft;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(table.count(), static_cast<size_t>((kRounds + 2) / 3));
}

}  // namespace
