// Process initialisation of the message layer, the locale and the
// serviceability components of the plug-in.
//
// yavmsg_init runs its body once per process (the first call's arguments
// count): it takes the base name of programName as the program name of
// every log line, sets the locale from the environment, extends NLSPATH and
// ULQDIR with the plug-in's message and code-set directories, registers the
// serviceability components "pic" (the plug-in; the handle is
// yav_svc_plugin_handle()) and "pco" (the configuration programs), and,
// when utf8Default is non-zero, makes UTF-8 the code-set layer's default
// code set.  Problems are reported to the system log and standard error.
// Any thread may call these functions.
#ifndef YAV_CORE_SVC_YAVMSG_INIT_H
#define YAV_CORE_SVC_YAVMSG_INIT_H

#include "core/sundry/yav_base.h"
#include "core/svc/kr_svc.h"

// 1 on success, 0 when the program name or the components could not be set
// up; every later call returns 1.
YAV_EXPORT int yavmsg_init(const char* programName, int utf8Default);

// The handle of the component "pco"; null until yavmsg_init registered it.
YAV_EXPORT kr_svc_handle_t yav_svc_config_handle();

#endif  // YAV_CORE_SVC_YAVMSG_INIT_H
