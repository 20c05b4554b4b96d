// Locking of stanza files between processes.  fcntl locks belong to a
// process, so the other holder is a forked child; it only opens the file,
// reports through a pipe, waits for the parent and _exits.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "core/file/yav_stanza.h"
#include "core/file/yav_stanza_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

using stz_test::StanzaTest;

// A child process that holds a lock on a file until released.
class LockHolder {
  public:
    // Forks a child that locks path (F_RDLCK or F_WRLCK) and waits.  ready()
    // tells whether it got the lock.
    LockHolder(const std::string& path, short type) {
        int toParent[2];
        int toChild[2];
        if (pipe(toParent) != 0) return;
        if (pipe(toChild) != 0) {
            close(toParent[0]);
            close(toParent[1]);
            return;
        }
        fflush(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            close(toParent[0]);
            close(toChild[1]);
            alarm(30);
            int fd = ::open(path.c_str(), type == F_RDLCK ? O_RDONLY : O_RDWR);
            struct flock lock = {};
            lock.l_type = type;
            lock.l_whence = SEEK_SET;
            char ok = fd >= 0 && fcntl(fd, F_SETLK, &lock) == 0 ? '1' : '0';
            if (write(toParent[1], &ok, 1) != 1) _exit(2);
            char go;
            if (read(toChild[0], &go, 1) < 0) _exit(3);
            _exit(0);
        }
        close(toParent[1]);
        close(toChild[0]);
        m_release = toChild[1];
        char ok = '0';
        if (m_pid > 0 && read(toParent[0], &ok, 1) == 1) m_ready = ok == '1';
        close(toParent[0]);
    }

    ~LockHolder() {
        if (m_release >= 0) close(m_release);  // the child's read returns
        if (m_pid > 0) {
            int status = 0;
            waitpid(m_pid, &status, 0);
        }
    }

    bool ready() const { return m_ready; }

    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

  private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_ready = false;
};

TEST_F(StanzaTest, AnUpdateOpenWithoutWaitingFailsWhileAnotherProcessReads) {
    std::string path = file("[a]\nx = 1\n");
    {
        LockHolder reader(path, F_RDLCK);
        ASSERT_TRUE(reader.ready());
        yav_status_t status = 0;
        EXPECT_EQ(nullptr, yavStzFileOpen(path.c_str(), YAV_STZ_UPDATE | YAV_STZ_NOWAIT, &status));
        EXPECT_EQ(YAV_S_STZ_WOULD_BLOCK, status);
        // Readers share the file.
        yavStanzaFile* shared =
            yavStzFileOpen(path.c_str(), YAV_STZ_READ | YAV_STZ_NOWAIT, &status);
        EXPECT_NE(nullptr, shared);
        EXPECT_EQ(0u, status);
        yavStzFileClose(shared);
    }
    {
        LockHolder writer(path, F_WRLCK);
        ASSERT_TRUE(writer.ready());
        yav_status_t status = 0;
        EXPECT_EQ(nullptr, yavStzFileOpen(path.c_str(),
                                          YAV_STZ_READ | YAV_STZ_CACHED | YAV_STZ_NOWAIT, &status));
        EXPECT_EQ(YAV_S_STZ_WOULD_BLOCK, status);
    }
    // Once the other process is gone the update open succeeds.
    yav_status_t status = 1;
    yavStanzaFile* handle = yavStzFileOpen(path.c_str(), YAV_STZ_UPDATE | YAV_STZ_NOWAIT, &status);
    EXPECT_NE(nullptr, handle);
    EXPECT_EQ(0u, status);
    yavStzFileClose(handle);
}

TEST_F(StanzaTest, TheLockIsHeldUntilCloseAndCachedOpensReleaseItAtOnce) {
    std::string path = file("[a]\nx = 1\n");
    yav_status_t status = 1;
    yavStanzaFile* cached = yavStzFileOpen(path.c_str(), YAV_STZ_READ | YAV_STZ_CACHED, &status);
    ASSERT_NE(nullptr, cached);
    {
        LockHolder writer(path, F_WRLCK);  // nothing held by us any more
        EXPECT_TRUE(writer.ready());
    }
    yavStanzaFile* reader = yavStzFileOpen(path.c_str(), YAV_STZ_READ, &status);
    ASSERT_NE(nullptr, reader);
    {
        LockHolder writer(path, F_WRLCK);
        EXPECT_FALSE(writer.ready());
    }
    yavStzFileClose(reader);
    {
        LockHolder writer(path, F_WRLCK);
        EXPECT_TRUE(writer.ready());
    }
    yavStzFileClose(cached);
}

}  // namespace
