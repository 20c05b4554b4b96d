// Serviceability logging: the entry points through which libyav reports
// messages (by status code) and debug text, and through which a program
// steers where they go.
//
// A component registers a handle (kr_svc_register) with its table of
// sub-components; each sub-component has a debug level 0-9.  A message is
// logged with a severity and a status code whose text (from the message
// catalogs or the compiled-in table) is the printf format of the
// arguments.  Each of the five severities has a list of destinations (a
// route); each handle has one route for its debug records.  Routes are set
// with routing specifications ("ERROR:STDERR:-;TEXTFILE.3.100000:/var/x.log")
// or come from the environment (SVC_<SEVERITY>, SVC_<COMPONENT>_DBG).
//
// The layer keeps its handles, routes, open log files and settings itself;
// a handle stays valid until it is unregistered as often as it was
// registered (the plug-in's handle "pic" is never freed).  Every function
// may be called from any thread at any time, also before kr_svc_init (the
// first call initialises the layer) and before yavmsg_init.  Logging never
// reports a failure to its caller: a record that cannot be written is
// dropped.  One global mutex guards handles, routes and files; each record
// reaches each destination with one write, so lines of different threads
// never interleave.
#ifndef YAV_CORE_SVC_KR_SVC_H
#define YAV_CORE_SVC_KR_SVC_H

#include <cstdarg>
#include <cstddef>
#include <cstdio>

#include "core/sundry/yav_base.h"
#include "core/ulq/ulq.h"

typedef struct kr_svc_handle_s* kr_svc_handle_t;

// Severity flag values carried by every log call (bits 4-8).  Debug records
// carry their level 1-9 in bits 0-3 instead.
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

// One row of a sub-component table: the name used in debug-level
// specifications and the code whose message text names the matching trace
// (0: none).  A table ends with a row whose name is null.
struct kr_svc_subcomp_t {
    const char* name;
    uint32_t nameCode;
};

// The plug-in's sub-component table, in the order of yav_svc_subcomp.
YAV_EXPORT extern const kr_svc_subcomp_t yav_svc_plugin_subcomps[yav_svc_subcomp_count + 1];

// ---- the layer -------------------------------------------------------------

// Creates the global mutex, the message-save key and the fork handlers.
// Runs when the library is loaded; later calls do nothing (after
// kr_svc_shutdown they create the mutex and key again).
YAV_EXPORT void kr_svc_init();
// Deletes the message-save key (freeing every thread's saved messages),
// closes the log files, forgets the routes, stored debug settings and the
// program name (debug levels stay), and destroys the global mutex.
// yav_shutdown calls it last.
// REQUIRES: no other thread uses the layer while it runs.
YAV_EXPORT void kr_svc_shutdown();
// Closes the log files (later lines to files are dropped).  Runs when the
// library is unloaded; other threads may still log.
YAV_EXPORT void kr_svc__shutdown();

// Registers component with its sub-component table (copied) and returns its
// handle; every sub-component starts at debug level 0, then the debug
// setting stored for the component or SVC_<COMPONENT>_DBG applies.  A
// component that is already registered gives the same handle again (its
// table is kept).  On failure null, with *status YAV_SVC_S_NO_MEMORY or
// YAV_S_INVALID_VALUE (null or empty table or component).
YAV_EXPORT kr_svc_handle_t kr_svc_register(const kr_svc_subcomp_t* table, const char* component,
                                           uint32_t* status);
// Drops one registration; the last one frees the handle.
// REQUIRES: no thread uses the handle after its last unregistration.
YAV_EXPORT void kr_svc_unregister(kr_svc_handle_t handle, uint32_t* status);

// The plug-in's serviceability handle (component "pic").
YAV_EXPORT kr_svc_handle_t yav_svc_plugin_handle();

// The program name printed in every line (copied); until it is set,
// "PID#<process id>".  0 or YAV_SVC_S_NO_MEMORY.
YAV_EXPORT uint32_t kr_svc_set_progname(const char* name);

// ---- logging ---------------------------------------------------------------

// Logs message `code` with the severity in flags; the message text found
// for the code is the printf format of the arguments.  argumentTypes lists
// the conversions of the arguments ("%s%d"); XML records write each as a
// parameter.  codeSet is the code set of string arguments and of the
// result (null: the local code page).
YAV_EXPORT void kr_svc_printf_cs_withfile(kr_svc_handle_t handle, ulq_cs_t codeSet,
                                          const char* file, int line, const char* argumentTypes,
                                          unsigned subcomponent, uint32_t flags, uint32_t code,
                                          ...);
YAV_EXPORT void kr_svc_vprintf_cs_withfile(kr_svc_handle_t handle, ulq_cs_t codeSet,
                                           const char* file, int line, const char* argumentTypes,
                                           unsigned subcomponent, uint32_t flags, uint32_t code,
                                           va_list args);
// The same with arguments in the local code page.
YAV_EXPORT void kr_svc_printf_withfile(kr_svc_handle_t handle, const char* file, int line,
                                       const char* argumentTypes, unsigned subcomponent,
                                       uint32_t flags, uint32_t code, ...);
YAV_EXPORT void kr_svc_vprintf_withfile(kr_svc_handle_t handle, const char* file, int line,
                                        const char* argumentTypes, unsigned subcomponent,
                                        uint32_t flags, uint32_t code, va_list args);

// Writes debug text (printf format, local code page) at a level (1-9) when
// the sub-component's level is at least that level.
YAV_EXPORT void kr_svc__debug_withfile(kr_svc_handle_t handle, const char* file, int line,
                                       unsigned subcomponent, unsigned level, const char* format,
                                       ...) __attribute__((format(printf, 6, 7)));
// Writes UTF-8 text as a debug record, without formatting.
YAV_EXPORT void kr_svc__debug_utf8(kr_svc_handle_t handle, const char* file, int line,
                                   unsigned subcomponent, unsigned level, const char* text);

// ---- debug levels ----------------------------------------------------------

// True when debug text of `level` for the sub-component would be written.
YAV_EXPORT bool kr_svc_debug_enabled(kr_svc_handle_t handle, unsigned subcomponent, unsigned level);
// Sets the debug level (0-9; higher values become 9) of one sub-component.
YAV_EXPORT void kr_svc_set_debug_level(kr_svc_handle_t handle, unsigned subcomponent,
                                       unsigned level);

// The sub-components of a handle: how many, the name code of each (the
// message whose text names the matching trace) and its debug level.
YAV_EXPORT unsigned kr_svc_subcomp_count(kr_svc_handle_t handle);
YAV_EXPORT uint32_t kr_svc_subcomp_name_code(kr_svc_handle_t handle, unsigned subcomponent);
YAV_EXPORT unsigned kr_svc_debug_level(kr_svc_handle_t handle, unsigned subcomponent);

// Called with (name code, new level) for every debug-level change of a
// sub-component of the handle (also through kr_svc_debug_set_levels and
// kr_svc_debug_routing); null removes the callback.  The callback runs
// outside the layer's mutex and may log.
typedef void (*kr_svc_debug_notify_fn)(uint32_t nameCode, unsigned level);
YAV_EXPORT void kr_svc_set_debug_notify(kr_svc_handle_t handle, kr_svc_debug_notify_fn fn);

// ---- routing ---------------------------------------------------------------

// Sets severity routes: "SEVERITY:destination;destination...".  SEVERITY is
// FATAL, ERROR, WARNING, NOTICE, NOTICE_VERBOSE (compared over the length
// of the word before the first ':', so "WARN" is WARNING) or "*" for all
// five.  A destination is how[.gens.limit]:where[:mode[:user[:group]]] with
// how one of STDOUT STDERR XMLSTDOUT XMLSTDERR DISCARD TEXTFILE FILE
// UTF8FILE XMLFILE GOESTO (where = a severity name) or the name of a route
// handled by the route callback.  For files, where may hold one integer
// conversion ("%ld") that receives the process id; gens (at most 99) old
// generations are kept when the file reaches limit bytes; mode is octal;
// user and group are names.  A specification without a second ':' is
// ignored.  A bad one gives YAV_SVC_S_BAD_ROUTE and changes nothing.
YAV_EXPORT void kr_svc_routing(const char* spec, uint32_t* status);
// Sets levels and the debug route of a component:
// "component:subcomp.level,...:destination;...".  For a component not
// registered yet the setting is stored and applies at its registration.
YAV_EXPORT void kr_svc_debug_routing(const char* spec, uint32_t* status);
// Sets debug levels: "component:subcomp.level,subcomp.level"; "*" as the
// sub-component sets all.  Stored for a component not yet registered.
YAV_EXPORT void kr_svc_debug_set_levels(const char* spec, uint32_t* status);

// What a named route's callback receives about one record.
struct kr_svc_route_record {
    const char* route;         // the destination's keyword
    const char* where;         // the text after it ("" when none)
    bool isDebug;              // a debug record
    uint32_t flags;            // severity flag value, or the debug level
    uint32_t code;             // message code (0 for debug records)
    const char* component;     // handle's component name
    const char* subcomponent;  // sub-component name
    const char* file;
    int line;
    const char* text;      // the message text, UTF-8
    const char* textLine;  // the whole line as text routes write it, UTF-8
    size_t textLineLength;
};
// Called for every record routed to a named route, under the layer's mutex:
// it must not change routes or register handles (records it logs itself
// go straight to standard error).  Null removes it.
typedef void (*kr_svc_route_fn)(const kr_svc_route_record* record, void* arg);
YAV_EXPORT void kr_svc_set_route_callback(kr_svc_route_fn fn, void* arg);

// ---- message save ----------------------------------------------------------

// Starts collecting the texts of the messages that the calling thread logs
// (in addition to routing them); stop ends collecting and keeps what was
// collected; print writes the collected texts, one per line, to stream;
// clear discards them.  Per thread.
YAV_EXPORT void kr_svc_msgsave_start();
YAV_EXPORT void kr_svc_msgsave_stop();
YAV_EXPORT void kr_svc_msgsave_print(FILE* stream);
YAV_EXPORT void kr_svc_msgsave_clear();

// ---- convenience macros for the plug-in's handle ---------------------------

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
