#include "core/svc/kr_svc.h"

#include <pthread.h>

#include <atomic>
#include <cstdio>

#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"

struct kr_svc_handle_s {
    const char* component;
    std::atomic<unsigned> levels[yav_svc_subcomp_count];
    std::atomic<kr_svc_debug_notify_fn> notify;
};

namespace {

kr_svc_handle_s g_plugin_handle = {"pic", {}, {nullptr}};

// Name codes of the plug-in's sub-components, in table order.
const uint32_t kSubcompNameCodes[yav_svc_subcomp_count] = {YAV_T_GENERAL,  YAV_T_HTTP,
                                                           YAV_T_IIS,      YAV_T_CONFIGMGR,
                                                           YAV_T_PROXY,    YAV_T_THREAD,
                                                           YAV_T_MODULE,   YAV_T_PROCESSMGR,
                                                           YAV_T_PROXY_IF, YAV_T_VERSION,
                                                           YAV_T_PLUGIN,   0,
                                                           YAV_T_REQUEST,  0,
                                                           YAV_T_MEMORY,   YAV_T_URC,
                                                           YAV_T_HPT,      YAV_T_STATS};

const char* severity_name(uint32_t flags) {
    switch (flags & 0x1f0) {
        case svc_c_sev_fatal:
            return "FATAL";
        case svc_c_sev_error:
            return "ERROR";
        case svc_c_sev_warning:
            return "WARNING";
        case svc_c_sev_notice:
            return "NOTICE";
        default:
            return "NOTICE_VERBOSE";
    }
}

}  // namespace

kr_svc_handle_t yav_svc_plugin_handle() { return &g_plugin_handle; }

void kr_svc_vprintf_withfile(kr_svc_handle_t handle, const char* file, int line,
                             const char* /*argumentTypes*/, unsigned /*subcomponent*/,
                             uint32_t flags, uint32_t code, va_list args) {
    char text[2048];
    const char* format = kr_msg_get_default_msg(code);
    if (format != nullptr) {
        vsnprintf(text, sizeof text, format, args);
    } else {
        snprintf(text, sizeof text, "Unknown message number 0x%8.8lx",
                 static_cast<unsigned long>(code));
    }
    fprintf(stderr, "0x%8.8lX %s %s %s %d %s\n", static_cast<unsigned long>(code),
            severity_name(flags), handle->component, file, line, text);
}

void kr_svc_printf_withfile(kr_svc_handle_t handle, const char* file, int line,
                            const char* argumentTypes, unsigned subcomponent, uint32_t flags,
                            uint32_t code, ...) {
    va_list args;
    va_start(args, code);
    kr_svc_vprintf_withfile(handle, file, line, argumentTypes, subcomponent, flags, code, args);
    va_end(args);
}

bool kr_svc_debug_enabled(kr_svc_handle_t handle, unsigned subcomponent, unsigned level) {
    return subcomponent < yav_svc_subcomp_count &&
           handle->levels[subcomponent].load(std::memory_order_relaxed) >= level;
}

void kr_svc_set_debug_level(kr_svc_handle_t handle, unsigned subcomponent, unsigned level) {
    if (subcomponent >= yav_svc_subcomp_count) return;
    if (level > 9) level = 9;
    handle->levels[subcomponent].store(level, std::memory_order_relaxed);
    kr_svc_debug_notify_fn fn = handle->notify.load();
    if (fn != nullptr && kSubcompNameCodes[subcomponent] != 0) {
        fn(kSubcompNameCodes[subcomponent], level);
    }
}

unsigned kr_svc_subcomp_count(kr_svc_handle_t) { return yav_svc_subcomp_count; }

uint32_t kr_svc_subcomp_name_code(kr_svc_handle_t, unsigned subcomponent) {
    return subcomponent < yav_svc_subcomp_count ? kSubcompNameCodes[subcomponent] : 0;
}

unsigned kr_svc_debug_level(kr_svc_handle_t handle, unsigned subcomponent) {
    return subcomponent < yav_svc_subcomp_count
               ? handle->levels[subcomponent].load(std::memory_order_relaxed)
               : 0;
}

void kr_svc_set_debug_notify(kr_svc_handle_t handle, kr_svc_debug_notify_fn fn) {
    handle->notify.store(fn);
}

void kr_svc__debug_utf8(kr_svc_handle_t handle, const char* file, int line, unsigned subcomponent,
                        unsigned level, const char* text) {
    kr_svc__debug_withfile(handle, file, line, subcomponent, level, "%s", text);
}

void kr_svc__debug_withfile(kr_svc_handle_t handle, const char* file, int line,
                            unsigned subcomponent, unsigned level, const char* format, ...) {
    if (!kr_svc_debug_enabled(handle, subcomponent, level)) return;
    char text[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    fprintf(stderr, "DEBUG%u %s %s %d %s\n", level, handle->component, file, line, text);
}
