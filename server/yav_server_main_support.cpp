#include "server/yav_server_main_support.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool yav_parse_long(const char* text, long min, long max, long* out) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    long value = strtol(text, &end, 0);
    if (errno != 0 || *end != '\0' || value < min || value > max) return false;
    *out = value;
    return true;
}

int yav_parse_test_control(const char* opt, const char* value, YavServerTestControls* controls) {
    bool ok;
    if (strcmp(opt, "--delay-ms") == 0) {
        ok = yav_parse_long(value, 0, 600000, &controls->delayMs);
    } else if (strcmp(opt, "--malformed") == 0) {
        ok = yav_malformed_from_name(value, &controls->malformed);
    } else if (strcmp(opt, "--reset-next") == 0) {
        ok = yav_parse_reset_mode(value, &controls->resetMode);
        if (ok) controls->resetNext = true;
    } else if (strcmp(opt, "--error") == 0) {
        long code = 0;
        ok = yav_parse_long(value, 0, 0xFFFFFFFFL, &code);
        if (ok) {
            controls->error = true;
            controls->errorCode = static_cast<yav_status_t>(code);
        }
    } else {
        return 0;
    }
    return ok ? 1 : -1;
}

bool yav_parse_reset_mode(const char* text, yav_reset_mode_e* out) {
    if (text == nullptr) return false;
    if (strcmp(text, "cleaned") == 0) {
        *out = yav_reset_cleaned;
        return true;
    }
    if (strcmp(text, "free") == 0) {
        *out = yav_reset_free_cleaned;
        return true;
    }
    return false;
}

void yav_block_signals(std::initializer_list<int> sigs, sigset_t* set) {
    sigemptyset(set);
    for (int sig : sigs) sigaddset(set, sig);
    pthread_sigmask(SIG_BLOCK, set, nullptr);
}

yav_status_t yav_restart_when_asked(YavWorkerServer* server, bool asked, const char* controlFile,
                                    const char* program, unsigned* restarts) {
    if (controlFile != nullptr && access(controlFile, F_OK) == 0) asked = true;
    if (!asked) return 0;
    yav_status_t status = server->restart();
    if (controlFile != nullptr) unlink(controlFile);
    if (status != 0) {
        fprintf(stderr, "%s: restart failed: %#x\n", program, status);
        server->stop();
        return status;
    }
    printf("restarted %u\n", ++*restarts);
    fflush(stdout);
    return 0;
}

yav_status_t yav_start_worker_server(YavWorkerServer* server, const char* key, long workers,
                                     long bufferSize, YavWorkerHandler* handler,
                                     const YavServerTestControls& controls, const char* program) {
    yav_status_t st =
        server->start(key, static_cast<int>(workers), static_cast<unsigned>(bufferSize), handler);
    if (st != 0) {
        fprintf(stderr, "%s: cannot create the shared objects: %#x\n", program, st);
        return st;
    }
    server->setMalformed(controls.malformed);
    server->setDelayMs(static_cast<unsigned>(controls.delayMs));
    if (controls.resetNext) server->resetOnNextQuestion(controls.resetMode);
    printf("ready\n");
    fflush(stdout);
    return 0;
}

int yav_serve_until_stopped(YavWorkerServer* server, const sigset_t& set, const char* controlFile,
                            const char* program, const std::function<bool(int sig)>& onSignal) {
    unsigned restarts = 0;
    for (;;) {
        struct timespec tick = {0, 50 * 1000 * 1000};
        int sig = sigtimedwait(&set, nullptr, &tick);
        if (sig == SIGTERM || sig == SIGINT) break;
        if (sig < 0) sig = 0;
        if (onSignal && onSignal(sig)) continue;
        if (yav_restart_when_asked(server, sig == SIGUSR1, controlFile, program, &restarts) != 0) {
            return 1;
        }
    }
    server->stop();
    return 0;
}
