#include "core/system/yav_shutdown.h"

#include <pthread.h>

#include "core/msg/yav_status.h"
#include "core/system/yav_sys_error.h"
#include "core/threads/yavthread.h"

namespace {

// g_mutex guards g_hooks.  Both are constant-initialised, so layers may
// register from static initialisers.
pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
yav_shutdown_hook_t g_hooks[yav_shutdown_stage_count] = {};

}  // namespace

yav_status_t yav_shutdown_register(yav_shutdown_stage stage, yav_shutdown_hook_t hook) {
    if (static_cast<unsigned>(stage) >= yav_shutdown_stage_count) return YAV_S_INVALID_VALUE;
    YavMutexLock lock(&g_mutex);
    g_hooks[stage] = hook;
    return 0;
}

void yav_shutdown() {
    yav_sys_error_release_buffers();
    // Copy the hooks so that none runs under the registry's lock: a hook
    // may well register again.
    yav_shutdown_hook_t hooks[yav_shutdown_stage_count];
    {
        YavMutexLock lock(&g_mutex);
        for (unsigned i = 0; i < yav_shutdown_stage_count; ++i) hooks[i] = g_hooks[i];
    }
    for (yav_shutdown_hook_t hook : hooks) {
        if (hook != nullptr) hook();
    }
}
