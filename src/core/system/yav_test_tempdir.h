// YavTestTempDir: a fresh, private temporary directory for a test, made
// under $TMPDIR (or /tmp when it is unset or empty) with a given name prefix,
// and removed with everything below it when the object goes away, so a test
// that fails half-way leaves nothing behind.
//
// Test-only and header-only; nothing in the library uses it.  The object owns
// the directory on disk and the strings it hands out.  Removal walks the tree
// bottom-up without following symbolic links (a link is removed, never its
// target), and only the process that made the directory removes it: a forked
// child that ends by returning through its destructors leaves it to the parent.
//
// One thread uses an object at a time.  Not copyable.
#ifndef YAV_CORE_SYSTEM_YAV_TEST_TEMPDIR_H
#define YAV_CORE_SYSTEM_YAV_TEST_TEMPDIR_H

#include <errno.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

class YavTestTempDir {
  public:
    // Makes <$TMPDIR or /tmp>/<prefix>XXXXXX.  Whether it worked is ok(); a
    // test checks it at once: ASSERT_TRUE(dir.ok()) << dir.error();
    explicit YavTestTempDir(const std::string& prefix) : m_owner(getpid()) {
        const char* base = getenv("TMPDIR");
        if (base == nullptr || base[0] == '\0') base = "/tmp";
        std::string pattern = std::string(base) + "/" + prefix + "XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) {
            m_error = "mkdtemp(" + pattern + "): " + strerror(errno);
            return;
        }
        m_path = buffer.data();
    }

    ~YavTestTempDir() {
        if (getpid() != m_owner) return;
        std::string where = m_path;
        if (!remove()) {
            fprintf(stderr, "YavTestTempDir: could not remove %s completely: %s\n", where.c_str(),
                    strerror(errno));
        }
    }

    YavTestTempDir(const YavTestTempDir&) = delete;
    YavTestTempDir& operator=(const YavTestTempDir&) = delete;

    // True when the directory was made.
    bool ok() const { return !m_path.empty(); }
    // Why it was not made ("" when it was).
    const std::string& error() const { return m_error; }

    // The directory, without a trailing "/".
    // REQUIRES: ok()
    const std::string& path() const { return m_path; }
    // <directory>/<name>; name may hold further "/"-separated parts.
    // REQUIRES: ok()
    std::string path(const std::string& name) const { return m_path + "/" + name; }

    // Removes everything below the directory and keeps the directory itself,
    // so one test can start several cases from an empty directory.  Returns
    // false, with errno set, when something could not be removed.
    // REQUIRES: ok()
    bool clear() const {
        return nftw(m_path.c_str(), removeBelowTop, 16, FTW_DEPTH | FTW_PHYS) == 0;
    }

    // Removes the directory and everything below it now, rather than at
    // destruction, so a fixture can check that it went.  Afterwards ok() is
    // false.  Returns false, with errno set, when something could not be
    // removed; true also when there was nothing to remove.
    bool remove() {
        if (!ok()) return true;
        if (nftw(m_path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) != 0) return false;
        m_path.clear();
        return true;
    }

  private:
    // With FTW_DEPTH a directory comes after its contents, so it is empty
    // when removed; with FTW_PHYS a link is an entry of its own (FTW_SL).
    static int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
        return ::remove(path);
    }
    static int removeBelowTop(const char* path, const struct stat*, int, struct FTW* where) {
        return where->level == 0 ? 0 : ::remove(path);
    }

    pid_t m_owner;
    std::string m_path;
    std::string m_error;
};

#endif  // YAV_CORE_SYSTEM_YAV_TEST_TEMPDIR_H
