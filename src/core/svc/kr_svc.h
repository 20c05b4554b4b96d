// Serviceability logging: the entry points through which libyav reports
// messages (by status code) and debug text.
//
// This is the first, minimal form of the layer: every call writes one
// formatted line to standard error.  Routing, catalogs, XML records and file
// rotation replace the bodies later without changing these entry points.
// All functions may be called from any thread; logging never fails towards
// the caller.
#ifndef YAV_CORE_SVC_KR_SVC_H
#define YAV_CORE_SVC_KR_SVC_H

#include <cstdarg>

#include "core/sundry/yav_base.h"

typedef struct kr_svc_handle_s* kr_svc_handle_t;

// Severity flag values carried by every log call (bits 4-8).
enum : uint32_t {
    svc_c_sev_fatal = 0x10,
    svc_c_sev_error = 0x20,
    svc_c_sev_warning = 0x30,
    svc_c_sev_notice = 0x40,
    svc_c_sev_notice_verbose = 0x50,
};

// Sub-components of the plug-in's handle ("pic"), in table order.
enum yav_svc_subcomp {
    yav_svc_common = 0,
    yav_svc_http_parser,
    yav_svc_iis,
    yav_svc_config_mgr,
    yav_svc_authz_server,
    yav_svc_thread,
    yav_svc_module,
    yav_svc_process_mgr,
    yav_svc_proxy_if,
    yav_svc_version,
    yav_svc_plugin,
    yav_svc_sso_a,
    yav_svc_request,
    yav_svc_sso_b,
    yav_svc_memory,
    yav_svc_urc,
    yav_svc_hpt,
    yav_svc_stats,
    yav_svc_subcomp_count
};

// The plug-in's serviceability handle (component "pic").
YAV_EXPORT kr_svc_handle_t yav_svc_plugin_handle();

// Logs message `code`; its text is the printf format of the arguments.
// argumentTypes lists the conversions of the arguments ("%s%d").
YAV_EXPORT void kr_svc_printf_withfile(kr_svc_handle_t handle, const char* file, int line,
                                       const char* argumentTypes, unsigned subcomponent,
                                       uint32_t flags, uint32_t code, ...);
YAV_EXPORT void kr_svc_vprintf_withfile(kr_svc_handle_t handle, const char* file, int line,
                                        const char* argumentTypes, unsigned subcomponent,
                                        uint32_t flags, uint32_t code, va_list args);

// Writes debug text at a level (1-9) when the sub-component's level is at
// least that level.
YAV_EXPORT void kr_svc__debug_withfile(kr_svc_handle_t handle, const char* file, int line,
                                       unsigned subcomponent, unsigned level, const char* format,
                                       ...) __attribute__((format(printf, 6, 7)));

// True when debug text of `level` for the sub-component would be written.
YAV_EXPORT bool kr_svc_debug_enabled(kr_svc_handle_t handle, unsigned subcomponent, unsigned level);
// Sets the debug level (0-9) of one sub-component.
YAV_EXPORT void kr_svc_set_debug_level(kr_svc_handle_t handle, unsigned subcomponent,
                                       unsigned level);

// The sub-components of a handle: how many, the name code of each (the
// message whose text names the matching trace) and its debug level.
YAV_EXPORT unsigned kr_svc_subcomp_count(kr_svc_handle_t handle);
YAV_EXPORT uint32_t kr_svc_subcomp_name_code(kr_svc_handle_t handle, unsigned subcomponent);
YAV_EXPORT unsigned kr_svc_debug_level(kr_svc_handle_t handle, unsigned subcomponent);

// Writes text as a debug record of the sub-component at level (when the
// level is enabled), without formatting.
YAV_EXPORT void kr_svc__debug_utf8(kr_svc_handle_t handle, const char* file, int line,
                                   unsigned subcomponent, unsigned level, const char* text);

// Called with (name code, new level) for every debug-level change of a
// sub-component of the handle; null removes the callback.
typedef void (*kr_svc_debug_notify_fn)(uint32_t nameCode, unsigned level);
YAV_EXPORT void kr_svc_set_debug_notify(kr_svc_handle_t handle, kr_svc_debug_notify_fn fn);

#define YAV_SVC_LOG(subcomp, severity, argTypes, code, ...)                                    \
    kr_svc_printf_withfile(yav_svc_plugin_handle(), __FILE__, __LINE__, (argTypes), (subcomp), \
                           (severity), (code), ##__VA_ARGS__)

#define YAV_SVC_DEBUG(subcomp, level, ...)                                                 \
    do {                                                                                   \
        if (kr_svc_debug_enabled(yav_svc_plugin_handle(), (subcomp), (level)))             \
            kr_svc__debug_withfile(yav_svc_plugin_handle(), __FILE__, __LINE__, (subcomp), \
                                   (level), __VA_ARGS__);                                  \
    } while (0)

#endif  // YAV_CORE_SVC_KR_SVC_H
