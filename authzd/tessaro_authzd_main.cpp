// tessaro-authzd: the reference authorization server.
//
// Usage: tessaro-authzd --policy FILE --key PATH [options]
//   --policy FILE         the policy (stanza file; examples/authzd-policy.conf)
//   --key PATH            key file naming the four shared objects (must exist)
//   --workers N           number of workers (default 4)
//   --buffer-size BYTES   size of each worker buffer (default 16384)
//   --check               read the policy, print "policy ok" and exit
// Test modes:
//   --delay-ms MS         delay every answer by MS milliseconds
//   --reset-next MODE     reset the worker of the next question instead of
//                         answering (cleaned: state CLEANED; free: FREE with
//                         cleaned = 1)
//   --error CODE          answer every question with an error message
//   --malformed KIND      spoil every answer: length, next, loop,
//                         result-length, result-type, result-offset
//   --control-file PATH   restart (remove and recreate every object) whenever
//                         PATH exists; the file is removed afterwards
//   --mode-file PATH      whenever PATH exists, read its first line and switch
//                         the test mode while serving: "normal", "error CODE",
//                         "malformed KIND" or "delay MS"; the file is removed
//                         and "mode <line>" (or "mode refused") printed.
//                         Write it under another name and rename it into
//                         place, so that it is never read half written.
// Signals: SIGHUP re-reads the policy (an invalid one is reported and the
// old one kept) and starts a new cache version; SIGUSR1 restarts the IPC
// objects; SIGUSR2 resets the worker of the next question; SIGTERM and
// SIGINT remove every object and exit with 0.
// Prints "ready" when serving, "reloaded <counter>", "reload failed",
// "restarted <n>" and "mode ..." as they happen.  Exit status 2 for bad
// options, 3 for an invalid policy (file, line and reason on standard
// error), 1 when the objects cannot be created.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "authzd/YavAuthzHandler.h"
#include "server/YavWorkerServer.h"
#include "server/yav_server_main_support.h"

namespace {

int usage(const char* why) {
    fprintf(stderr, "tessaro-authzd: %s\n", why);
    return 2;
}

// Answers every question with an error message holding the code set last;
// the code may change while the worker threads answer.
class YavSwitchableErrorHandler : public YavWorkerHandler {
  public:
    void setCode(yav_status_t code) { m_code.store(code); }
    yav_status_t handle(int worker, int questionType, YavSharedMemIterator& question,
                        YavSharedMemAllocator& answer, int* answerType) override {
        YavErrorHandler fixed(m_code.load());
        return fixed.handle(worker, questionType, question, answer, answerType);
    }

  private:
    std::atomic<yav_status_t> m_code{0};
};

// Applies the mode named by the first line of path (see the usage above)
// and removes the file.  Nothing when path is null or absent.
void switchModeWhenAsked(const char* path, YavWorkerServer* server, YavWorkerHandler* policy,
                         YavSwitchableErrorHandler* errors) {
    if (path == nullptr) return;
    FILE* f = fopen(path, "r");
    if (f == nullptr) return;
    char line[128] = {};
    bool read = fgets(line, sizeof line, f) != nullptr;
    fclose(f);
    unlink(path);
    line[strcspn(line, "\r\n")] = '\0';
    const char* space = strchr(line, ' ');
    std::string word =
        read ? std::string(line, space != nullptr ? space - line : strlen(line)) : std::string();
    const char* value = space != nullptr ? space + 1 : nullptr;
    long number = 0;
    yav_malformed_e kind = yav_malformed_none;
    bool ok = true;
    if (word == "normal" && value == nullptr) {
        server->setHandler(policy);
        server->setMalformed(yav_malformed_none);
        server->setDelayMs(0);
    } else if (word == "error" && yav_parse_long(value, 1, 0xFFFFFFFFL, &number)) {
        errors->setCode(static_cast<yav_status_t>(number));
        server->setHandler(errors);
    } else if (word == "malformed" && yav_malformed_from_name(value, &kind)) {
        server->setMalformed(kind);
    } else if (word == "delay" && yav_parse_long(value, 0, 600000, &number)) {
        server->setDelayMs(static_cast<unsigned>(number));
    } else {
        ok = false;
    }
    printf("mode %s\n", ok ? line : "refused");
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const char* key = nullptr;
    const char* policyPath = nullptr;
    const char* controlFile = nullptr;
    const char* modeFile = nullptr;
    long workers = 4;
    long bufferSize = 16384;
    YavServerTestControls controls;
    bool checkOnly = false;

    for (int i = 1; i < argc; ++i) {
        const char* opt = argv[i];
        if (strcmp(opt, "--check") == 0) {
            checkOnly = true;
            continue;
        }
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (value == nullptr) return usage("an option lacks its value");
        ++i;
        const int control = yav_parse_test_control(opt, value, &controls);
        if (control < 0) return usage("bad value of a test option");
        if (control > 0) continue;
        if (strcmp(opt, "--key") == 0) {
            key = value;
        } else if (strcmp(opt, "--policy") == 0) {
            policyPath = value;
        } else if (strcmp(opt, "--workers") == 0) {
            if (!yav_parse_long(value, 1, 1024, &workers)) return usage("bad --workers");
        } else if (strcmp(opt, "--buffer-size") == 0) {
            if (!yav_parse_long(value, 1024, 1 << 24, &bufferSize)) {
                return usage("bad --buffer-size");
            }
        } else if (strcmp(opt, "--control-file") == 0) {
            controlFile = value;
        } else if (strcmp(opt, "--mode-file") == 0) {
            modeFile = value;
        } else {
            return usage("unknown option");
        }
    }
    if (policyPath == nullptr) return usage("--policy is required");
    if (key == nullptr && !checkOnly) return usage("--key is required");

    YavAuthzHandler handler;
    std::string why;
    if (handler.load(policyPath, &why) != 0) {
        fprintf(stderr, "tessaro-authzd: invalid policy: %s\n", why.c_str());
        return 3;
    }
    if (checkOnly) {
        printf("policy ok\n");
        return 0;
    }

    // Signals are taken by the main thread only: block them before any
    // worker thread exists, so every thread inherits the mask.
    sigset_t signals;
    yav_block_signals({SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2}, &signals);

    YavSwitchableErrorHandler errorHandler;
    errorHandler.setCode(controls.errorCode);
    YavWorkerHandler* serving =
        controls.error ? static_cast<YavWorkerHandler*>(&errorHandler) : &handler;
    YavWorkerServer server;
    if (yav_start_worker_server(&server, key, workers, bufferSize, serving, controls,
                                "tessaro-authzd") != 0) {
        return 1;
    }

    return yav_serve_until_stopped(&server, signals, controlFile, "tessaro-authzd", [&](int sig) {
        if (sig == SIGHUP) {
            if (handler.reload(&why) == 0) {
                printf("reloaded %d\n", static_cast<int>(handler.getVersion().getCounter()));
            } else {
                fprintf(stderr, "tessaro-authzd: invalid policy kept out: %s\n", why.c_str());
                printf("reload failed\n");
            }
            fflush(stdout);
            return true;
        }
        if (sig == SIGUSR2) {
            server.resetOnNextQuestion(yav_reset_cleaned);
            return true;
        }
        switchModeWhenAsked(modeFile, &server, &handler, &errorHandler);
        return false;
    });
}
