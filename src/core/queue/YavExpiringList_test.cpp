#include "core/queue/YavExpiringList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <limits>
#include <vector>

#include "core/msg/yav_status.h"

namespace {

std::atomic<int> g_destroyed{0};
std::atomic<time_t> g_now{0};
time_t test_clock() { return g_now.load(); }

class Entry : public YavExpiringListEntry {
  public:
    explicit Entry(int id) : m_id(id) {}
    ~Entry() override { ++g_destroyed; }
    int m_id;
};

class YavExpiringListTest : public testing::Test {
  protected:
    void SetUp() override {
        g_destroyed = 0;
        g_now = 1000;
    }
    // Adds entries stamped with the given times, oldest first.
    static void fill(YavExpiringList& list, const std::vector<time_t>& stamps) {
        for (size_t i = 0; i < stamps.size(); ++i) {
            g_now = stamps[i];
            list.add(new (nullptr) Entry(static_cast<int>(i)));
        }
    }
};

TEST_F(YavExpiringListTest, AddRemoveAndClearKeepNewestFirst) {
    YavExpiringList list;
    ASSERT_EQ(0u, list.initialize(60, 0, test_clock, false));
    EXPECT_EQ(YAV_S_ALREADY_INITIALIZED, list.initialize(60, 0, test_clock, false));
    EXPECT_EQ(nullptr, list.remove());
    std::vector<Entry*> e;
    for (int i = 0; i < 6; ++i) {
        g_now = 10 * i;
        e.push_back(new (nullptr) Entry(i));
        list.add(e.back());
    }
    // Unlink the oldest, a middle and the newest entry; the rest keep order.
    for (int i : {0, 3, 5}) {
        list.removeEntry(e[i]);
        delete e[i];
    }
    EXPECT_EQ(3u, list.entries());
    YavExpiringListEntry* newest = list.remove();
    EXPECT_EQ(e[4], newest);
    EXPECT_EQ(40, newest->stamp());
    delete newest;
    g_destroyed = 0;
    EXPECT_EQ(2u, list.expire(1000));  // walks from the oldest left, e[1]
    EXPECT_EQ(0u, list.entries());

    fill(list, {1, 2});
    g_destroyed = 0;
    list.clear();
    EXPECT_EQ(0u, list.entries());
    EXPECT_EQ(2, g_destroyed);
    YavExpiringList other;
    EXPECT_EQ(YAV_S_INVALID_VALUE, other.initialize(0, 0, test_clock, false));
}

TEST_F(YavExpiringListTest, ExpiresOldEntriesAboveTheMinimum) {
    const struct {
        std::vector<time_t> stamps;  // oldest first
        unsigned minimum;
        time_t now;
        unsigned expired;
    } cases[] = {
        {{100, 200, 300}, 0, 160, 0},   // 100 + 60 is not before 160
        {{100, 200, 300}, 0, 161, 1},   // it is before 161
        {{100, 200, 300}, 0, 1000, 3},  // all
        {{100, 200, 300}, 2, 1000, 1},  // keep the minimum (the newest)
        {{100, 200, 300}, 3, 1000, 0},
        {{100, 300, 200}, 0, 300, 1},  // stops at the first young entry
        {{}, 0, 1000, 0},
    };
    for (const auto& c : cases) {
        YavExpiringList list;
        ASSERT_EQ(0u, list.initialize(60, c.minimum, test_clock, false));
        fill(list, c.stamps);
        g_destroyed = 0;
        EXPECT_EQ(c.expired, list.expire(c.now)) << c.now << " min " << c.minimum;
        EXPECT_EQ(static_cast<int>(c.expired), g_destroyed.load());
        EXPECT_EQ(c.stamps.size() - c.expired, list.entries());
        // What remains are the newest entries.
        for (size_t i = c.stamps.size(); i > c.expired; --i) {
            YavExpiringListEntry* e = list.remove();
            ASSERT_NE(nullptr, e);
            EXPECT_EQ(static_cast<int>(i - 1), static_cast<Entry*>(e)->m_id);
            delete e;
        }
    }
    YavExpiringList list;
    ASSERT_EQ(0u, list.initialize(60, 0, test_clock, false));
    fill(list, {std::numeric_limits<time_t>::max() - 10});
    EXPECT_EQ(0u, list.expire(std::numeric_limits<time_t>::max()));  // no overflow
}

TEST_F(YavExpiringListTest, CleanerThreadExpiresAndStopsWithTheList) {
    {
        YavExpiringList list;
        ASSERT_EQ(0u, list.initialize(1, 1, test_clock));
        fill(list, {10, 20, 30});
        g_now = 1000;
        // The cleaner runs every second; wait for it with a generous bound.
        for (int i = 0; i < 1000 && list.entries() > 1; ++i) usleep(10000);
        EXPECT_EQ(1u, list.entries());
        EXPECT_EQ(2, g_destroyed);
    }
    EXPECT_EQ(3, g_destroyed);  // the destructor stopped the cleaner and destroyed the rest
}

}  // namespace
