#include "proxyif/ipc/YavSysVSharedMem.h"

#include <gtest/gtest.h>
#include <limits.h>
#include <sys/shm.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

namespace {

class YavSysVSharedMemTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_key.ok()) << m_key.error(); }
    YavIpcTestKey m_key;
};

TEST(YavSysVSharedMemPageTest, RoundsUpToWholePages) {
    const unsigned page = static_cast<unsigned>(getpagesize());
    const std::vector<std::pair<unsigned, unsigned>> cases = {
        {0, 0},
        {1, page},
        {page - 1, page},
        {page, page},
        {page + 1, 2 * page},
        {3 * page, 3 * page},
        {UINT_MAX, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, YavSysVSharedMem::roundUpToPageSize(c.first)) << c.first;
    }
}

TEST_F(YavSysVSharedMemTest, CreateRecordsTheAskedSizeAndMapsWholePages) {
    YavSysVSharedMem seg;
    ASSERT_EQ(0u, seg.create(m_key.path(), 'w', 100));
    EXPECT_EQ(100u, seg.getSize());
    ASSERT_NE(nullptr, seg.getBase());
    struct shmid_ds info;
    ASSERT_EQ(0, shmctl(seg.getId(), IPC_STAT, &info));
    EXPECT_EQ(static_cast<size_t>(getpagesize()), info.shm_segsz);
    EXPECT_EQ(0660u, info.shm_perm.mode & 0777);
    EXPECT_EQ(0u, seg.detach());
    EXPECT_EQ(nullptr, seg.getBase());
    EXPECT_EQ(0u, seg.destroy());
}

TEST_F(YavSysVSharedMemTest, ReadAndWriteStayInsideTheRecordedSize) {
    YavSysVSharedMem seg;
    ASSERT_EQ(0u, seg.create(m_key.path(), 'w', 100));
    const char text[] = "0123456789";
    struct Case {
        int offset;
        long long len;
        bool ok;
    };
    const std::vector<Case> cases = {
        {0, 10, true},
        {90, 10, true},
        {96, 4, true},
        {100, 0, true},
        {96, 5, false},
        {100, 1, false},
        {101, 0, false},
        {-1, 1, false},
        {-4, 8, false},
        {INT_MAX, 10, false},
        {8, -1, false},
        {1, UINT_MAX, false},
        {INT_MAX, INT_MAX, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.len));
        const yav_status_t expected = c.ok ? 0 : YAV_S_INVALID_PARAMETER;
        std::vector<char> buffer(c.ok ? static_cast<size_t>(c.len) + 1 : 16, 'x');
        if (c.len >= 0) {
            EXPECT_EQ(expected, seg.write(c.offset, static_cast<unsigned>(c.len), text));
        }
        if (c.len <= INT_MAX) {
            EXPECT_EQ(expected, seg.read(c.offset, static_cast<int>(c.len), buffer.data()));
            void* where = nullptr;
            EXPECT_EQ(expected, seg.read(c.offset, static_cast<int>(c.len), &where));
            if (c.ok) {
                EXPECT_EQ(static_cast<char*>(seg.getBase()) + c.offset, where);
            }
        }
    }
    char back[4];
    ASSERT_EQ(0u, seg.write(50, 4, "abcd"));
    ASSERT_EQ(0u, seg.read(50, 4, back));
    EXPECT_EQ(0, memcmp(back, "abcd", 4));
    EXPECT_EQ(0u, seg.detach());
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, seg.read(50, 4, back)) << "detached";
    EXPECT_EQ(0u, seg.destroy());
}

TEST_F(YavSysVSharedMemTest, AttachByNameSeesTheSegmentUpToItsRealSize) {
    YavSysVSharedMem server;
    ASSERT_EQ(0u, server.create(m_key.path(), 'p', 5000));
    ASSERT_EQ(0u, server.write(4990, 10, "shared!!!!"));

    YavSysVSharedMem plugin;
    ASSERT_EQ(0u, plugin.attach(m_key.path(), 'p'));
    EXPECT_EQ(server.getId(), plugin.getId());
    const unsigned segsz = YavSysVSharedMem::roundUpToPageSize(5000);
    EXPECT_EQ(segsz, plugin.getSize());
    char back[10];
    ASSERT_EQ(0u, plugin.read(4990, 10, back));
    EXPECT_EQ(0, memcmp(back, "shared!!!!", 10));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, plugin.read(static_cast<int>(segsz) - 4, 5, back));

    // Attached again to a smaller segment, the recorded size shrinks to it.
    YavSysVSharedMem small;
    ASSERT_EQ(0u, small.create(m_key.path(), 'q', 10));
    ASSERT_EQ(0u, plugin.detach());
    ASSERT_EQ(0u, plugin.attach(m_key.path(), 'q'));
    EXPECT_EQ(static_cast<unsigned>(getpagesize()), plugin.getSize());

    EXPECT_EQ(0u, plugin.detach());
    EXPECT_EQ(0u, small.detach());
    EXPECT_EQ(0u, small.destroy());
    EXPECT_EQ(0u, server.detach());
    EXPECT_EQ(0u, server.destroy());
}

TEST_F(YavSysVSharedMemTest, CreateAndAttachFailuresHaveTheirStatus) {
    YavSysVSharedMem first;
    ASSERT_EQ(0u, first.create(m_key.path(), 'w', 64));
    YavSysVSharedMem second;
    EXPECT_EQ(YAV_S_IPC_KEY_EXISTS, second.create(m_key.path(), 'w', 64));
    EXPECT_EQ(nullptr, second.getBase());

    EXPECT_EQ(YAV_S_IPC_NO_SEGMENT, second.attach(m_key.path(), 'x'));
    const std::string missing = std::string(m_key.path()) + ".none";
    EXPECT_EQ(YAV_S_IPC_KEY_CREATE, second.attach(missing.c_str(), 'w'));
    EXPECT_EQ(YAV_S_IPC_KEY_CREATE, second.create(missing.c_str(), 'w', 64));
    EXPECT_EQ(YAV_S_IPC_KEY_CREATE, second.attach(nullptr, 'w'));
    EXPECT_EQ(YAV_S_IPC_INVALID_ID, second.attach(-1));
    EXPECT_EQ(0u, second.getSize());

    // After destroy the key names nothing; the old mapping stays usable.
    EXPECT_EQ(0u, first.destroy());
    EXPECT_EQ(YAV_S_IPC_NO_SEGMENT, second.attach(m_key.path(), 'w'));
    EXPECT_EQ(0u, first.write(0, 4, "live"));
    EXPECT_EQ(0u, first.detach());
    EXPECT_EQ(YAV_S_IPC_INVALID_ID, first.destroy());
}

}  // namespace
