#include "core/trace/YavTrace.h"

#include <errno.h>
#include <limits.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include "core/msg/yav_status.h"
#include "core/sundry/yav_printf.h"
#include "core/svc/kr_svc.h"
#include "core/system/yav_shutdown.h"
#include "core/system/yav_sys_error.h"
#include "core/trace/YavTraceRegistry.h"

namespace {

pthread_once_t s_once = PTHREAD_ONCE_INIT;
pthread_key_t s_key;
// Set once inside pthread_once; read by every trace line, also by threads
// that never called initOnce, hence atomic.
std::atomic<bool> s_keyValid{false};
yav_status_t s_initStatus = 0;

void create_key() {
    int rc = pthread_key_create(&s_key, &YavTrace::cleanup);
    if (rc == 0) {
        s_keyValid.store(true, std::memory_order_release);
        yav_shutdown_register(yav_shutdown_trace, &YavTrace::shutdown);
        return;
    }
    if (rc == ENOMEM) {
        s_initStatus = YAV_S_NO_MEMORY;
        YAV_SVC_LOG(yav_svc_thread, svc_c_sev_error, "", YAV_S_NO_MEMORY);
    } else {
        s_initStatus = YAV_S_THREAD_INIT_ERRNO;
        YAV_SVC_LOG(yav_svc_thread, svc_c_sev_error, "%s%d", YAV_S_THREAD_INIT_ERRNO,
                    yav_sys_error_utf8_string(rc), rc);
    }
}

// Stores a copy of text in *slot, reusing the block while it is large
// enough.  Null text clears the slot (the block stays for later texts).
yav_status_t store_text(const char* text, char** slot, size_t* capacity) {
    if (text == nullptr) {
        if (*slot != nullptr) (*slot)[0] = '\0';
        return 0;
    }
    size_t need = strlen(text) + 1;
    if (need > *capacity) {
        char* block = static_cast<char*>(realloc(*slot, need));
        if (block == nullptr) {
            YAV_SVC_LOG(yav_svc_thread, svc_c_sev_error, "", YAV_S_NO_MEMORY);
            return YAV_S_NO_MEMORY;
        }
        *slot = block;
        *capacity = need;
    }
    memcpy(*slot, text, need);
    return 0;
}

// The calling thread's record, made on first use.
yav_status_t own_details(YavTrace::ThreadDetails** out) {
    yav_status_t status = YavTrace::initOnce();
    if (status != 0) return status;
    YavTrace::ThreadDetails* details = YavTrace::getThreadDetails();
    if (details == nullptr) {
        details = static_cast<YavTrace::ThreadDetails*>(calloc(1, sizeof *details));
        if (details == nullptr || pthread_setspecific(s_key, details) != 0) {
            free(details);
            YAV_SVC_LOG(yav_svc_thread, svc_c_sev_error, "", YAV_S_NO_MEMORY);
            return YAV_S_NO_MEMORY;
        }
    }
    *out = details;
    return 0;
}

// A detail that was cleared reads as absent.
const char* text_or_null(const char* text) {
    return text != nullptr && text[0] != '\0' ? text : nullptr;
}

}  // namespace

YavTrace::YavTrace(int level, const char* component, YavLog* log)
    : m_log(log),
      m_ownsLog(false),
      m_component(component != nullptr ? component : ""),
      m_level(level) {}

YavTrace::~YavTrace() {
    if (m_ownsLog) delete m_log.load(std::memory_order_relaxed);
}

void YavTrace::setLog(YavLog* log, bool owned) {
    YavLog* old = m_log.exchange(log, std::memory_order_acq_rel);
    if (m_ownsLog && old != log) delete old;
    m_ownsLog = owned;
}

void YavTrace::write(int level, const char* file, int line, const char* text, int length) {
    YavLog* log = m_log.load(std::memory_order_acquire);
    if (log == nullptr) return;
    if (text == nullptr) {
        text = "";
        length = 0;
    } else if (length < 0) {
        length = static_cast<int>(strnlen(text, INT_MAX));
    }

    const char* vh = nullptr;
    const char* ip = nullptr;
    ThreadDetails* details = getThreadDetails();
    if (details != nullptr) {
        vh = text_or_null(details->vh);
        ip = text_or_null(details->ip);
    }
    size_t vhLength = vh != nullptr ? strlen(vh) : 0;
    size_t ipLength = ip != nullptr ? strlen(ip) : 0;

    // "%s%s%s[%s] %.*s": "[" vh "] " when a virtual host is known, then the
    // client address in brackets (empty when unknown), a blank, the text.
    size_t total = (vh != nullptr ? vhLength + 3 : 0) + ipLength + 3 + static_cast<size_t>(length);
    char small[1024];
    char* buffer = small;
    if (total + 1 > sizeof small) {
        buffer =
            total <= static_cast<size_t>(INT_MAX) ? static_cast<char*>(malloc(total + 1)) : nullptr;
    }

    int severity = level <= INT_MAX - yav_log_trace_0 ? level + yav_log_trace_0 : INT_MAX;
    const char* component = m_component.getData();
    if (buffer == nullptr) {
        // Without room for the decorated line, the bare text.
        log->logImpl(severity, file, line, component, YavStringRef(text, length));
        return;
    }
    char* p = buffer;
    if (vh != nullptr) {
        *p++ = '[';
        memcpy(p, vh, vhLength);
        p += vhLength;
        *p++ = ']';
        *p++ = ' ';
    }
    *p++ = '[';
    memcpy(p, ip != nullptr ? ip : "", ipLength);
    p += ipLength;
    *p++ = ']';
    *p++ = ' ';
    memcpy(p, text, static_cast<size_t>(length));
    p += length;
    *p = '\0';

    YavStringRef decorated;
    decorated.setTerminated(buffer, static_cast<int>(total));
    log->logImpl(severity, file, line, component, decorated);
    if (buffer != small) free(buffer);
}

void YavTrace::ftrace(int level, const char* file, int line, const char* format, ...) {
    if (!isEnabled(level)) return;
    va_list args;
    va_start(args, format);
    vftrace(level, file, line, format, args);
    va_end(args);
}

void YavTrace::vftrace(int level, const char* file, int line, const char* format, va_list args) {
    if (!isEnabled(level) || getLog() == nullptr) return;
    if (format == nullptr) format = "";
    // Short texts are formatted on the stack, so that a warm thread traces
    // without the heap; longer ones once more into a block of their size.
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = yav_vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        write(level, file, line, format, -1);
    } else if (static_cast<size_t>(n) < sizeof small) {
        write(level, file, line, small, n);
    } else {
        char* block = nullptr;
        int m = yav_vasprintf(&block, format, args);
        if (m >= 0 && block != nullptr) {
            write(level, file, line, block, m);
        } else {
            write(level, file, line, small, static_cast<int>(sizeof small - 1));
        }
        if (block != nullptr) yav_asprintf_free(block);
    }
}

yav_status_t YavTrace::initOnce() {
    pthread_once(&s_once, create_key);
    return s_initStatus;
}

void YavTrace::shutdown() {
    YavTraceRegistry::instance().shutdown();
    if (!s_keyValid.load(std::memory_order_acquire)) return;
    void* details = pthread_getspecific(s_key);
    if (details != nullptr) {
        pthread_setspecific(s_key, nullptr);
        cleanup(details);
    }
}

void YavTrace::cleanup(void* details) {
    ThreadDetails* record = static_cast<ThreadDetails*>(details);
    if (record == nullptr) return;
    free(record->ip);
    free(record->vh);
    free(record);
}

YavTrace::ThreadDetails* YavTrace::getThreadDetails() {
    // Before initOnce no thread can have a record.
    if (!s_keyValid.load(std::memory_order_acquire)) return nullptr;
    return static_cast<ThreadDetails*>(pthread_getspecific(s_key));
}

yav_status_t YavTrace::setThreadIP(const char* text) {
    ThreadDetails* details = nullptr;
    yav_status_t status = own_details(&details);
    if (status != 0) return status;
    return store_text(text, &details->ip, &details->ipCapacity);
}

yav_status_t YavTrace::setThreadVH(const char* text) {
    ThreadDetails* details = nullptr;
    yav_status_t status = own_details(&details);
    if (status != 0) return status;
    return store_text(text, &details->vh, &details->vhCapacity);
}

const char* YavTrace::getThreadIP() {
    ThreadDetails* details = getThreadDetails();
    return details != nullptr ? text_or_null(details->ip) : nullptr;
}

const char* YavTrace::getThreadVH() {
    ThreadDetails* details = getThreadDetails();
    return details != nullptr ? text_or_null(details->vh) : nullptr;
}
