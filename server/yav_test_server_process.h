// YavTestProcess: starts one of the test programs in YAV_SERVER_BIN_DIR
// (yav_test_authzd, yav_test_client) as a child process, reads its standard
// output line by line, and stops it.
//
// yav_test_authzd options (all but --key optional):
//   --key PATH            key file naming the four shared objects (must exist)
//   --workers N           number of workers (default 4)
//   --buffer-size BYTES   size of each worker buffer (default 4096)
//   --echo TYPE           echo every question's elements back as an answer of
//                         TYPE (default 3); an unknown TYPE makes an unknown
//                         answer type
//   --error CODE          answer every question with an error message (type 0)
//                         holding CODE (decimal or 0x hex)
//   --malformed KIND      spoil every answer: length, next, loop,
//                         result-length, result-type, result-offset
//   --delay-ms MS         delay every answer by MS milliseconds
//   --reset-next MODE     do not answer the next question; reset its worker
//                         instead (MODE cleaned: state CLEANED; free: FREE
//                         with cleaned = 1) and raise its result semaphore
//   --control-file PATH   restart (remove and recreate every object) whenever
//                         PATH exists; the file is removed after the restart
// It prints "ready" when serving and "restarted <n>" after each restart
// (SIGUSR1 also restarts); SIGTERM or SIGINT removes every object and exits
// with status 0.  It exits with status 2 for bad options and 1 when the
// objects cannot be created (the message goes to standard error).
//
// yav_test_client options:
//   --key PATH      attach to the pool under PATH
//   --take N        take N workers (getFreeWorker), printing "took <i>" each
//   --lock          then take the pool lock and keep it
// It prints "holding" and waits to be killed; it exits with status 1 when a
// step fails ("failed <status>" on standard output).
//
// Header-only, so that YAV_SERVER_BIN_DIR (given to test programs) applies.
//
// Memory: the object owns the child and the pipe.  The destructor kills a
// child still running (SIGKILL) and reaps it.
//
// Threads: one thread uses an object.  Not copyable.
#ifndef YAV_SERVER_YAV_TEST_SERVER_PROCESS_H
#define YAV_SERVER_YAV_TEST_SERVER_PROCESS_H

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

#ifndef YAV_SERVER_BIN_DIR
#error "YAV_SERVER_BIN_DIR names the directory of the test programs"
#endif

class YavTestProcess {
  public:
    YavTestProcess() = default;
    ~YavTestProcess();
    YavTestProcess(const YavTestProcess&) = delete;
    YavTestProcess& operator=(const YavTestProcess&) = delete;

    // Starts program (a name in YAV_SERVER_BIN_DIR or a path containing a
    // '/') with args.  False when it cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& args);
    // Reads standard-output lines until one equals line (true) or the
    // program closes its output or timeoutMs passes (false).
    bool waitForLine(const std::string& line, int timeoutMs = 20000);
    // Reads standard-output lines until one starts with prefix; the line in
    // *out.
    bool waitForPrefix(const std::string& prefix, std::string* out, int timeoutMs = 20000);
    // Sends sig to the child.
    bool sendSignal(int sig);
    // SIGTERM and waitpid; the wait status (as waitpid gives it), or -1.
    int stop();
    // SIGKILL and waitpid; the wait status, or -1.
    int kill();
    pid_t pid() const { return m_pid; }
    // Every line read so far.
    const std::vector<std::string>& lines() const { return m_lines; }

  private:
    bool readLine(std::string* line, int timeoutMs);
    int reap(int sig);

    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_pending;
    std::vector<std::string> m_lines;
};

// Starts yav_test_authzd with --key keyPath plus extra and waits for
// "ready".  False when it does not come up.
bool yav_start_test_authzd(YavTestProcess* process, const std::string& keyPath,
                           const std::vector<std::string>& extra);

inline long long yav_test_process_now_ms() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

inline YavTestProcess::~YavTestProcess() {
    if (m_pid > 0) reap(SIGKILL);
    if (m_out >= 0) close(m_out);
}

inline bool YavTestProcess::start(const std::string& program,
                                  const std::vector<std::string>& args) {
    if (m_pid > 0) return false;
    std::string path = program.find('/') == std::string::npos
                           ? std::string(YAV_SERVER_BIN_DIR) + "/" + program
                           : program;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    m_pid = pid;
    m_out = fds[0];
    m_pending.clear();
    m_lines.clear();
    return true;
}

inline bool YavTestProcess::readLine(std::string* line, int timeoutMs) {
    long long deadline = yav_test_process_now_ms() + timeoutMs;
    for (;;) {
        size_t nl = m_pending.find('\n');
        if (nl != std::string::npos) {
            *line = m_pending.substr(0, nl);
            m_pending.erase(0, nl + 1);
            m_lines.push_back(*line);
            return true;
        }
        if (m_out < 0) return false;
        long long left = deadline - yav_test_process_now_ms();
        if (left <= 0) return false;
        struct pollfd pfd = {m_out, POLLIN, 0};
        int rc = poll(&pfd, 1, static_cast<int>(left));
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0) return false;
        char buf[512];
        ssize_t n = read(m_out, buf, sizeof(buf));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(m_out);
            m_out = -1;
            continue;
        }
        m_pending.append(buf, static_cast<size_t>(n));
    }
}

inline bool YavTestProcess::waitForLine(const std::string& line, int timeoutMs) {
    std::string got;
    return waitForPrefix(line, &got, timeoutMs) && got == line;
}

inline bool YavTestProcess::waitForPrefix(const std::string& prefix, std::string* out,
                                          int timeoutMs) {
    long long deadline = yav_test_process_now_ms() + timeoutMs;
    std::string line;
    for (;;) {
        long long left = deadline - yav_test_process_now_ms();
        if (left <= 0 || !readLine(&line, static_cast<int>(left))) return false;
        if (line.compare(0, prefix.size(), prefix) == 0) {
            *out = line;
            return true;
        }
    }
}

inline bool YavTestProcess::sendSignal(int sig) { return m_pid > 0 && ::kill(m_pid, sig) == 0; }

inline int YavTestProcess::reap(int sig) {
    if (m_pid <= 0) return -1;
    ::kill(m_pid, sig);
    int status = 0;
    pid_t rc;
    do {
        rc = waitpid(m_pid, &status, 0);
    } while (rc < 0 && errno == EINTR);
    m_pid = -1;
    return rc < 0 ? -1 : status;
}

inline int YavTestProcess::stop() { return reap(SIGTERM); }

inline int YavTestProcess::kill() { return reap(SIGKILL); }

inline bool yav_start_test_authzd(YavTestProcess* process, const std::string& keyPath,
                                  const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"--key", keyPath};
    args.insert(args.end(), extra.begin(), extra.end());
    if (!process->start("yav_test_authzd", args)) return false;
    return process->waitForLine("ready");
}

#endif  // YAV_SERVER_YAV_TEST_SERVER_PROCESS_H
