// The statistics registry of the procedural allocator and its reporter
// thread.  g_mutex guards the registry list, the period and the started
// flag; the reporter holds it while it writes, so an allocator that has left
// the registry is never read again.
#include <errno.h>
#include <stdio.h>
#include <time.h>

#include "core/memory/yav_alloc.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/threads/yavthread.h"

namespace {

pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t g_cond;
pthread_once_t g_cond_once = PTHREAD_ONCE_INIT;
bool g_cond_ready = false;
yav_allocator* g_registry = nullptr;
bool g_reporter_started = false;
long g_period = YAV_ALLOC_DEFAULT_STATS_PERIOD;
// Counts period changes, so the reporter can tell them from spurious wakes.
unsigned long g_period_changes = 0;

void init_cond() {
    pthread_condattr_t attr;
    if (pthread_condattr_init(&attr) != 0) return;
    g_cond_ready = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 &&
                   pthread_cond_init(&g_cond, &attr) == 0;
    pthread_condattr_destroy(&attr);
}

long load(const long* counter) { return __atomic_load_n(counter, __ATOMIC_RELAXED); }

// The reported counters with their labels, in reporting order.
struct Line {
    const char* label;
    long yav_alloc_stats::*counter;
};

const Line kLines[] = {
    {"min block size:     %ld", &yav_alloc_stats::min_block_size},
    {"max block size:     %ld", &yav_alloc_stats::max_block_size},
    {"blocks available:   %ld", &yav_alloc_stats::blocks_available},
    {"blocks allocated:   %ld", &yav_alloc_stats::blocks_allocated},
    {"blocks freed:       %ld", &yav_alloc_stats::blocks_freed},
    {"blocks gced:        %ld", &yav_alloc_stats::blocks_gced},
    {"blocks outstanding: %ld", &yav_alloc_stats::blocks_outstanding},
    {"bytes available:    %ld", &yav_alloc_stats::bytes_available},
    {"bytes allocated:    %ld", &yav_alloc_stats::bytes_allocated},
    {"bytes freed:        %ld", &yav_alloc_stats::bytes_freed},
    {"bytes gced:         %ld", &yav_alloc_stats::bytes_gced},
    {"bytes outstanding:  %ld", &yav_alloc_stats::bytes_outstanding},
};

void report_locked() {
    if (!kr_svc_debug_enabled(yav_svc_plugin_handle(), yav_svc_memory, 1)) return;
    for (yav_allocator* a = g_registry; a != nullptr; a = a->stats_next) {
        const char* name = yav_allocator_name(a);
        for (const Line& line : kLines) {
            // The component name holds only letters, digits, '_', '-' and
            // "xNN", so it cannot add a conversion to the format.
            char format[256];
            if (a->component_name != nullptr) {
                snprintf(format, sizeof format, "%%s.%s: %s", a->component_name, line.label);
            } else {
                snprintf(format, sizeof format, "%%s: %s", line.label);
            }
            YAV_SVC_DEBUG(yav_svc_memory, 1, format, name, load(&(a->stats.*line.counter)));
        }
    }
}

void* reporter(void*) {
    YavMutexLock lock(&g_mutex);
    for (;;) {
        unsigned long changes = g_period_changes;
        struct timespec deadline;
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += g_period;
        int rc = 0;
        while (rc != ETIMEDOUT && changes == g_period_changes) {
            rc = pthread_cond_timedwait(&g_cond, &g_mutex, &deadline);
        }
        if (rc == ETIMEDOUT) report_locked();
    }
    return nullptr;
}

}  // namespace

yav_status_t yav_alloc_stats_register(yav_allocator* allocator) {
    pthread_once(&g_cond_once, init_cond);
    if (!g_cond_ready) return YAV_S_THREAD_INIT;
    YavMutexLock lock(&g_mutex);
    if (!g_reporter_started) {
        pthread_t thread;
        if (yavthread_create(&thread, nullptr, reporter, nullptr) != 0) return YAV_S_THREAD_INIT;
        pthread_detach(thread);
        g_reporter_started = true;
    }
    allocator->stats_next = g_registry;
    g_registry = allocator;
    return 0;
}

void yav_alloc_stats_unregister(yav_allocator* allocator) {
    YavMutexLock lock(&g_mutex);
    for (yav_allocator** p = &g_registry; *p != nullptr; p = &(*p)->stats_next) {
        if (*p == allocator) {
            *p = allocator->stats_next;
            allocator->stats_next = nullptr;
            return;
        }
    }
}

yav_status_t yav_allocator_set_stats_period(long seconds) {
    if (seconds <= 0) return YAV_S_INVALID_VALUE;
    pthread_once(&g_cond_once, init_cond);
    YavMutexLock lock(&g_mutex);
    g_period = seconds;
    ++g_period_changes;
    if (g_cond_ready) pthread_cond_broadcast(&g_cond);
    return 0;
}

void yav_allocator_report_stats() {
    YavMutexLock lock(&g_mutex);
    report_locked();
}

void yav_allocator_get_stats(yav_allocator* allocator, yav_alloc_stats* stats) {
    bool locked = !(allocator->flags & YAV_ALLOC_UNLOCKED);
    if (locked) yavthread_mutex_lock(&allocator->mutex);
    for (const Line& line : kLines) stats->*line.counter = load(&(allocator->stats.*line.counter));
    stats->peak_blocks_outstanding = load(&allocator->stats.peak_blocks_outstanding);
    stats->peak_bytes_outstanding = load(&allocator->stats.peak_bytes_outstanding);
    if (locked) yavthread_mutex_unlock(&allocator->mutex);
}
