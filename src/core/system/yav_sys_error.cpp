#include "core/system/yav_sys_error.h"

#include <errno.h>
#include <pthread.h>
#include <string.h>

#include <atomic>
#include <new>

#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/threads/yavthread.h"

namespace {

// One thread's text buffers, linked into a process-wide list so that
// yav_shutdown can free the buffers of threads that are still alive.
struct ErrorBuffers {
    ErrorBuffers* prev;
    ErrorBuffers* next;
    char lcp[YAV_SYS_ERROR_TEXT_SIZE];
    char utf8[YAV_SYS_ERROR_TEXT_SIZE];
};

// g_mutex guards g_buffers and the creation and deletion of g_key;
// g_keyReady is set (release) only after g_key is valid.
pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
std::atomic<bool> g_keyReady{false};
pthread_key_t g_key;
ErrorBuffers* g_buffers = nullptr;

void unlink_locked(ErrorBuffers* buffers) {
    if (buffers->prev != nullptr) {
        buffers->prev->next = buffers->next;
    } else {
        g_buffers = buffers->next;
    }
    if (buffers->next != nullptr) buffers->next->prev = buffers->prev;
}

// Thread-exit destructor of the key.
extern "C" void release_thread_buffers(void* value) {
    ErrorBuffers* buffers = static_cast<ErrorBuffers*>(value);
    {
        YavMutexLock lock(&g_mutex);
        unlink_locked(buffers);
    }
    delete buffers;
}

// The calling thread's buffers, made on first use; null when the key or
// the memory cannot be had.
ErrorBuffers* thread_buffers() {
    if (!g_keyReady.load(std::memory_order_acquire)) {
        YavMutexLock lock(&g_mutex);
        if (!g_keyReady.load(std::memory_order_relaxed)) {
            if (pthread_key_create(&g_key, release_thread_buffers) != 0) return nullptr;
            g_keyReady.store(true, std::memory_order_release);
        }
    }
    ErrorBuffers* buffers = static_cast<ErrorBuffers*>(pthread_getspecific(g_key));
    if (buffers != nullptr) return buffers;

    buffers = new (std::nothrow) ErrorBuffers;
    if (buffers == nullptr) return nullptr;
    if (pthread_setspecific(g_key, buffers) != 0) {
        delete buffers;
        return nullptr;
    }
    YavMutexLock lock(&g_mutex);
    buffers->prev = nullptr;
    buffers->next = g_buffers;
    if (g_buffers != nullptr) g_buffers->prev = buffers;
    g_buffers = buffers;
    return buffers;
}

// The system's text for err without a buffer of ours: glibc's strerror_r
// returns its own immutable text for a known number and writes into the
// given buffer only for an unknown one.
const char* unbuffered_text(int err) {
    char scratch[1];
    const char* text = strerror_r(err, scratch, sizeof scratch);
    return text == scratch ? "Unknown error" : text;
}

// Fills buffers->lcp with the text of err and returns it.
const char* fill_lcp(ErrorBuffers* buffers, int err) {
    const char* text = strerror_r(err, buffers->lcp, sizeof buffers->lcp);
    if (text != buffers->lcp) {
        size_t len = strnlen(text, sizeof buffers->lcp - 1);
        memcpy(buffers->lcp, text, len);
        buffers->lcp[len] = '\0';
    }
    return buffers->lcp;
}

}  // namespace

yav_status_t yav_sys_status(int err, const char* routine) {
    switch (err) {
        case 0:
            return 0;
        case ENOENT:
            return YAV_S_NO_SUCH_RESOURCE;
        case ENOMEM:
        case ENOSPC:
            return YAV_S_NO_MEMORY;
        case EACCES:
            return YAV_S_ACCESS_DENIED;
        case ENOTDIR:
        case EINVAL:
            return YAV_S_INVALID_SYS_INPUT;
        default:
            break;
    }
    const char* name = routine != nullptr ? routine : "unknown";
    // A number the system does not know has no text worth printing.
    if (strerrordesc_np(err) != nullptr) {
        YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "%s%s%d", YAV_S_SYS_ROUTINE_ERROR, name,
                    yav_sys_error_utf8_string(err), err);
    } else {
        YAV_SVC_LOG(yav_svc_common, svc_c_sev_error, "%s%d", YAV_S_SYS_ROUTINE_ERROR_CODE, name,
                    err);
    }
    return YAV_S_SYS_ROUTINE_FAILED;
}

size_t yav_sys_to_utf8_prefix(ulq_cs_t cs, const char* src, size_t len, char* dst, size_t dstSize) {
    size_t room = dstSize - 1;
    long whole = ulq_to_utf8(cs, src, len, dst, room);
    if (whole >= 0) {
        dst[whole] = '\0';
        return static_cast<size_t>(whole);
    }
    // The text does not fit or holds a character that cannot be converted:
    // convert one character at a time and keep what fits.  Every round
    // consumes at least one byte.
    size_t in = 0;
    size_t out = 0;
    while (in < len) {
        int charLen = ulq_mblen(cs, src + in, len - in);
        if (charLen == 0) charLen = 1;  // a zero byte is a character of its own
        if (charLen < 0) break;
        long written =
            ulq_to_utf8(cs, src + in, static_cast<size_t>(charLen), dst + out, room - out);
        if (written < 0) break;
        in += static_cast<size_t>(charLen);
        out += static_cast<size_t>(written);
    }
    dst[out] = '\0';
    return out;
}

const char* yav_sys_error_lcp_string(int err) {
    ErrorBuffers* buffers = thread_buffers();
    if (buffers == nullptr) return unbuffered_text(err);
    return fill_lcp(buffers, err);
}

const char* yav_sys_error_utf8_string(int err) {
    ErrorBuffers* buffers = thread_buffers();
    if (buffers == nullptr) return unbuffered_text(err);
    const char* text = fill_lcp(buffers, err);
    ulq_cs_t local = ulq_local_cs();
    if (local == nullptr) return text;
    yav_sys_to_utf8_prefix(local, text, strlen(text), buffers->utf8, sizeof buffers->utf8);
    return buffers->utf8;
}

void yav_sys_error_release_buffers() {
    YavMutexLock lock(&g_mutex);
    if (!g_keyReady.load(std::memory_order_relaxed)) return;
    // A deleted key runs no destructors, so every thread's buffers are
    // freed here, and the key is made again on the next use.
    pthread_key_delete(g_key);
    g_keyReady.store(false, std::memory_order_release);
    while (g_buffers != nullptr) {
        ErrorBuffers* next = g_buffers->next;
        delete g_buffers;
        g_buffers = next;
    }
}

bool yav_sys_error_has_buffer() {
    return g_keyReady.load(std::memory_order_acquire) && pthread_getspecific(g_key) != nullptr;
}
