#include "proxyif/ipc/yav_ipc_test_aids.h"

#include <gtest/gtest.h>

namespace {

bool shmExists(int id) {
    struct shmid_ds info;
    return shmctl(id, IPC_STAT, &info) == 0;
}

TEST(YavIpcTestKeyTest, RemovesObjectsUnderItsKeysAndRegisteredIds) {
    YavIpcTestKey key;
    ASSERT_TRUE(key.ok()) << key.error();
    ASSERT_TRUE(key.addProjId('z'));
    const int seg = shmget(key.key('w'), 64, IPC_CREAT | IPC_EXCL | 0600);
    const int extra = shmget(key.key('z'), 64, IPC_CREAT | IPC_EXCL | 0600);
    const int sems = semget(key.key('x'), 2, IPC_CREAT | IPC_EXCL | 0600);
    const int priv = shmget(IPC_PRIVATE, 64, IPC_CREAT | 0600);
    ASSERT_NE(-1, priv);
    key.registerShm(priv);
    ASSERT_NE(-1, seg);
    ASSERT_NE(-1, extra);
    ASSERT_NE(-1, sems);
    EXPECT_FALSE(YavIpcTestKey::keyFree(key.key('w')));
    EXPECT_EQ(4, key.removeAll());
    for (char id : {'w', 'p', 'q', 'x', 'z'})
        EXPECT_TRUE(YavIpcTestKey::keyFree(key.key(id))) << id;
    EXPECT_FALSE(shmExists(priv));
}

TEST(YavIpcTestKeyTest, RenewGivesFreeKeysAndStillCleansTheOldOnes) {
    int seg = -1;
    key_t oldKey = -1;
    {
        YavIpcTestKey key;
        ASSERT_TRUE(key.ok()) << key.error();
        const std::string oldPath = key.path();
        oldKey = key.key('p');
        seg = shmget(oldKey, 64, IPC_CREAT | IPC_EXCL | 0600);
        ASSERT_NE(-1, seg);
        ASSERT_TRUE(key.renew());
        EXPECT_NE(oldPath, key.path());
        EXPECT_TRUE(YavIpcTestKey::keyFree(key.key('p')));
        EXPECT_TRUE(shmExists(seg)) << "renew removes nothing";
    }
    EXPECT_FALSE(shmExists(seg));
    EXPECT_TRUE(YavIpcTestKey::keyFree(oldKey));
}

}  // namespace
