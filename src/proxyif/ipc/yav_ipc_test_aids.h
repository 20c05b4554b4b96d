// YavIpcTestKey: a private System V key file for one test, and the cleanup
// of every segment and semaphore set made under it.
//
// The constructor makes a fresh temporary directory with a key file and
// checks that none of the keys ftok(path, id) for the project ids 'w', 'p',
// 'q', 'x' (and any id added with addProjId) names an existing segment or
// semaphore set; when one does (another test's key collides), it makes a
// new key file and tries again, a bounded number of times.  removeAll()
// (also run by the destructor) removes every segment and semaphore set
// under the keys this object accepted, plus every id registered with
// registerShm / registerSem, so a failing test leaves nothing behind.
//
// YavHeapSharedMem: a segment-like test double over a heap block of exactly
// the given size, so that AddressSanitizer reports any access past the end
// of the "segment" (a real segment is mapped in whole pages).  It cannot be
// created or attached by key; detach() only forgets the base.
//
// Test-only and header-only, without a GoogleTest dependency.  Owns the
// directory and its key files.  Only the process that made the object
// cleans up (a forked child leaves it to the parent).  One thread uses an
// object at a time.  Not copyable.
#ifndef YAV_PROXYIF_IPC_YAV_IPC_TEST_AIDS_H
#define YAV_PROXYIF_IPC_YAV_IPC_TEST_AIDS_H

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/system/yav_test_tempdir.h"
#include "proxyif/ipc/YavSharedMem.h"

class YavHeapSharedMem : public YavSharedMem {
  public:
    // A zeroed block of size bytes (ok() false when it could not be had).
    explicit YavHeapSharedMem(unsigned size) {
        m_block = static_cast<unsigned char*>(calloc(size == 0 ? 1 : size, 1));
        if (m_block == nullptr) return;
        m_base = m_block;
        m_size = size;
        m_id = -1;
    }
    ~YavHeapSharedMem() override { free(m_block); }

    bool ok() const { return m_block != nullptr; }
    unsigned char* bytes() { return m_block; }

    yav_status_t create(const char*, char, unsigned) override { return YAV_S_INVALID_PARAMETER; }
    yav_status_t attach(int) override { return YAV_S_INVALID_PARAMETER; }
    yav_status_t attach(const char*, char) override { return YAV_S_INVALID_PARAMETER; }
    yav_status_t detach() override {
        m_base = nullptr;
        return 0;
    }
    yav_status_t destroy() override { return 0; }

  private:
    unsigned char* m_block = nullptr;
};

class YavIpcTestKey {
  public:
    // Attempts at finding a key file whose keys are all free.
    static constexpr int kAttempts = 64;

    explicit YavIpcTestKey(const std::string& prefix = "yavipc")
        : m_dir(prefix), m_owner(getpid()), m_projIds{'w', 'p', 'q', 'x'} {
        if (!m_dir.ok()) {
            m_error = m_dir.error();
            return;
        }
        renew();
    }

    ~YavIpcTestKey() {
        if (getpid() == m_owner) removeAll();
    }

    YavIpcTestKey(const YavIpcTestKey&) = delete;
    YavIpcTestKey& operator=(const YavIpcTestKey&) = delete;

    // True when a key file with free keys exists.
    bool ok() const { return !m_path.empty(); }
    // Why not ("" when ok).
    const std::string& error() const { return m_error; }
    // The key file.  REQUIRES: ok()
    const char* path() const { return m_path.c_str(); }
    // ftok(path(), projId), or -1.
    key_t key(char projId) const { return ok() ? ftok(m_path.c_str(), projId) : -1; }

    // Makes a new key file whose keys are all free and makes it path().
    // Objects under the keys accepted before are still removed later.
    // False (and ok() false) when no free key file was found.
    bool renew() {
        m_path.clear();
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            std::string candidate = m_dir.path("key" + std::to_string(m_serial++));
            int fd = open(candidate.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
            if (fd < 0) {
                m_error = "open(" + candidate + "): " + strerror(errno);
                return false;
            }
            close(fd);
            if (allFree(candidate)) {
                m_path = candidate;
                m_error.clear();
                for (char id : m_projIds) accept(ftok(m_path.c_str(), id));
                return true;
            }
        }
        m_error = "no key file with free System V keys found";
        return false;
    }

    // Adds a project id whose key must be free and is cleaned up.  When its
    // key under the current file is taken, renews.  False when no free key
    // file can be found.
    bool addProjId(char projId) {
        if (std::find(m_projIds.begin(), m_projIds.end(), projId) != m_projIds.end()) return ok();
        m_projIds.push_back(projId);
        if (!ok()) return false;
        key_t k = ftok(m_path.c_str(), projId);
        if (k != -1 && keyFree(k)) {
            accept(k);
            return true;
        }
        return renew();
    }

    // Ids to remove as well (objects made with IPC_PRIVATE, say).
    void registerShm(int id) { m_shmIds.push_back(id); }
    void registerSem(int id) { m_semIds.push_back(id); }

    // Removes every segment and semaphore set under the accepted keys and
    // every registered id.  Returns the number of objects removed.
    int removeAll() {
        int removed = 0;
        for (key_t k : m_keys) {
            int shm = shmget(k, 0, 0);
            if (shm != -1 && shmctl(shm, IPC_RMID, nullptr) == 0) ++removed;
            int sem = semget(k, 0, 0);
            if (sem != -1 && semctl(sem, 0, IPC_RMID) == 0) ++removed;
        }
        for (int id : m_shmIds) {
            if (shmctl(id, IPC_RMID, nullptr) == 0) ++removed;
        }
        for (int id : m_semIds) {
            if (semctl(id, 0, IPC_RMID) == 0) ++removed;
        }
        m_shmIds.clear();
        m_semIds.clear();
        return removed;
    }

    // True when no segment and no semaphore set has key k.
    static bool keyFree(key_t k) {
        if (shmget(k, 0, 0) != -1 || errno != ENOENT) return false;
        if (semget(k, 0, 0) != -1 || errno != ENOENT) return false;
        return true;
    }

  private:
    bool allFree(const std::string& candidate) const {
        for (char id : m_projIds) {
            key_t k = ftok(candidate.c_str(), id);
            if (k == -1 || !keyFree(k)) return false;
        }
        return true;
    }
    void accept(key_t k) {
        if (k != -1 && std::find(m_keys.begin(), m_keys.end(), k) == m_keys.end()) {
            m_keys.push_back(k);
        }
    }

    YavTestTempDir m_dir;
    pid_t m_owner;
    std::vector<char> m_projIds;
    std::vector<key_t> m_keys;  // keys found free and handed out
    std::vector<int> m_shmIds;
    std::vector<int> m_semIds;
    std::string m_path;
    std::string m_error;
    unsigned m_serial = 0;
};

#endif  // YAV_PROXYIF_IPC_YAV_IPC_TEST_AIDS_H
