// Pieces shared by the worker-server programs (tessaro-authzd and
// yav_test_authzd): option values, the signal mask of the main loop and the
// restart step.  Free functions without state of their own; call them from
// the program's main thread.
#ifndef YAV_SERVER_YAV_SERVER_MAIN_SUPPORT_H
#define YAV_SERVER_YAV_SERVER_MAIN_SUPPORT_H

#include <signal.h>

#include <functional>
#include <initializer_list>

#include "server/YavWorkerServer.h"

// Parses text as a whole number (decimal, 0x hex or 0 octal) in [min, max]
// into *out.  False, leaving *out alone, for empty or null text, trailing
// characters, overflow or a value out of range.
bool yav_parse_long(const char* text, long min, long max, long* out);

// "cleaned" (state CLEANED) or "free" (FREE with cleaned = 1) into *out;
// false for anything else.
bool yav_parse_reset_mode(const char* text, yav_reset_mode_e* out);

// Blocks sigs in the calling thread and fills *set with them, for a main
// loop that takes them with sigtimedwait.  Call before any thread is
// started, so every thread inherits the mask and only the main thread takes
// the signals.
void yav_block_signals(std::initializer_list<int> sigs, sigset_t* set);

// Restarts server (removes and recreates every object) when asked is true
// or controlFile (may be null) exists; the control file is removed after
// the restart.  On success prints "restarted <n>" to stdout with n the new
// value of *restarts.  A failed restart is reported on stderr under program,
// the server is stopped and the status returned.  0 when no restart was
// asked for.
yav_status_t yav_restart_when_asked(YavWorkerServer* server, bool asked, const char* controlFile,
                                    const char* program, unsigned* restarts);

// The main loop of a worker-server program, on its main thread: takes the
// signals of set (see yav_block_signals) every 50 ms.  SIGTERM and SIGINT
// stop server and return 0.  Anything else (a signal, or 0 for a quiet
// tick) goes first to onSignal when given; when it returns false, SIGUSR1
// or an existing controlFile (may be null) restarts server as
// yav_restart_when_asked does, and a failed restart returns 1.
int yav_serve_until_stopped(YavWorkerServer* server, const sigset_t& set, const char* controlFile,
                            const char* program, const std::function<bool(int sig)>& onSignal);

// The test controls a worker-server program takes from its command line.
struct YavServerTestControls {
    long delayMs = 0;
    yav_malformed_e malformed = yav_malformed_none;
    bool resetNext = false;
    yav_reset_mode_e resetMode = yav_reset_cleaned;
    bool error = false;  // answer every question with an error message
    yav_status_t errorCode = 0;
};

// Takes one of the test-control options --delay-ms MS, --malformed KIND,
// --reset-next MODE and --error CODE into *controls: 1 when opt is one of
// them and value is good, 0 when opt is none of them (nothing changed), -1
// when value is bad (null, out of range, unknown name).
int yav_parse_test_control(const char* opt, const char* value, YavServerTestControls* controls);

// Starts server under key with workers buffers of bufferSize bytes served by
// handler, applies controls and prints "ready" to stdout.  A failed start is
// reported on stderr under program and its status returned.
yav_status_t yav_start_worker_server(YavWorkerServer* server, const char* key, long workers,
                                     long bufferSize, YavWorkerHandler* handler,
                                     const YavServerTestControls& controls, const char* program);

#endif  // YAV_SERVER_YAV_SERVER_MAIN_SUPPORT_H
