// Shared helpers of the serviceability tests: a fixture that resets the
// layer and owns a fresh temporary directory, environment settings undone
// at the end of a test, and file and process helpers.
#ifndef YAV_CORE_SVC_KR_SVC_TEST_AIDS_H
#define YAV_CORE_SVC_KR_SVC_TEST_AIDS_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/svc/kr_svc.h"
#include "core/svc/kr_svc_internal.h"
#include "core/system/yav_test_tempdir.h"

namespace svc_test {

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) out.push_back(line);
    return out;
}

inline size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// What kr_svc_msgsave_print writes.
inline std::string savedMessages() {
    char* data = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&data, &size);
    kr_svc_msgsave_print(f);
    fclose(f);
    std::string out(data, size);
    free(data);
    return out;
}

// Runs fn in a forked child; the text it returns ("" = success) comes back
// through a pipe.  A child that does not finish within 20 s is killed.
inline std::string inChild(const std::function<std::string()>& fn) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        alarm(20);
        std::string result = fn();
        if (!result.empty() && write(fds[1], result.data(), result.size()) < 0) _exit(3);
        _exit(0);
    }
    close(fds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) result.append(buffer, n);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        result += " (child ended with status " + std::to_string(status) + ")";
    }
    return result;
}

// Resets the layer before and after each test, undoes environment
// settings, and provides a temporary directory removed at the end.
class SvcTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.ok()) << m_dir.error();
        kr_svc_test_reset();
    }

    void TearDown() override {
        kr_svc_test_reset();
        for (auto it = m_env.rbegin(); it != m_env.rend(); ++it) {
            const auto& saved = *it;
            if (saved.second.first) {
                setenv(saved.first.c_str(), saved.second.second.c_str(), 1);
            } else {
                unsetenv(saved.first.c_str());
            }
        }
        EXPECT_TRUE(m_dir.remove()) << m_dir.path() << ": " << strerror(errno);
    }

    // Sets (value non-null) or removes an environment variable for this test.
    void env(const char* name, const char* value) {
        const char* old = getenv(name);
        m_env.emplace_back(name, std::make_pair(old != nullptr, old != nullptr ? old : ""));
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }

    std::string path(const std::string& name) const { return m_dir.path(name); }

    // Sets a route and expects success.
    static void route(const std::string& spec) {
        uint32_t status = 1;
        kr_svc_routing(spec.c_str(), &status);
        EXPECT_EQ(0u, status) << spec;
    }

    YavTestTempDir m_dir{"kr_svc_test."};
    std::vector<std::pair<std::string, std::pair<bool, std::string>>> m_env;
};

}  // namespace svc_test

#endif  // YAV_CORE_SVC_KR_SVC_TEST_AIDS_H
