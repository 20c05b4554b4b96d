// yav_test_authzd: a small authorization server for multi-process tests.
//
// Options (all but --key optional):
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
//                         instead (MODE cleaned: state CLEANED; free: FREE with
//                         cleaned = 1) and raise its result semaphore
//   --control-file PATH   restart (remove and recreate every object) whenever
//                         PATH exists; the file is removed after the restart
// Prints "ready" when serving and "restarted <n>" after each restart (SIGUSR1
// also restarts).  SIGTERM or SIGINT removes every object and exits with 0.
// Exit status 2 for bad options, 1 when the objects cannot be created.
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "server/YavWorkerServer.h"
#include "server/yav_server_main_support.h"

namespace {

int usage(const char* why) {
    fprintf(stderr, "yav_test_authzd: %s\n", why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* key = nullptr;
    const char* controlFile = nullptr;
    long workers = 4;
    long bufferSize = 4096;
    long echoType = 3;
    YavServerTestControls controls;

    for (int i = 1; i < argc; ++i) {
        const char* opt = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (value == nullptr) return usage("an option lacks its value");
        ++i;
        const int control = yav_parse_test_control(opt, value, &controls);
        if (control < 0) return usage("bad value of a test option");
        if (control > 0) continue;
        if (strcmp(opt, "--key") == 0) {
            key = value;
        } else if (strcmp(opt, "--workers") == 0) {
            if (!yav_parse_long(value, 1, 1024, &workers)) return usage("bad --workers");
        } else if (strcmp(opt, "--buffer-size") == 0) {
            if (!yav_parse_long(value, 64, 1 << 24, &bufferSize)) return usage("bad --buffer-size");
        } else if (strcmp(opt, "--echo") == 0) {
            if (!yav_parse_long(value, -0x7fffffffL, 0x7fffffffL, &echoType)) {
                return usage("bad --echo");
            }
        } else if (strcmp(opt, "--control-file") == 0) {
            controlFile = value;
        } else {
            return usage("unknown option");
        }
    }
    if (key == nullptr) return usage("--key is required");

    // Signals are taken by the main thread only: block them before any
    // worker thread exists, so every thread inherits the mask.
    sigset_t signals;
    yav_block_signals({SIGTERM, SIGINT, SIGUSR1}, &signals);

    YavEchoHandler echo(static_cast<int>(echoType));
    YavErrorHandler errorHandler(controls.errorCode);
    YavWorkerHandler* handler =
        controls.error ? static_cast<YavWorkerHandler*>(&errorHandler) : &echo;
    YavWorkerServer server;
    if (yav_start_worker_server(&server, key, workers, bufferSize, handler, controls,
                                "yav_test_authzd") != 0) {
        return 1;
    }

    return yav_serve_until_stopped(&server, signals, controlFile, "yav_test_authzd", nullptr);
}
