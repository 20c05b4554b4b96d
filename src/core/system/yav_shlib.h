// Modules: opening shared objects and resolving their symbols (dlopen,
// dlsym, dlclose with immediate binding).
//
// Error texts are written, in UTF-8 and always terminated, into a buffer
// that the caller owns (errorText of errorTextSize bytes, null to do
// without); a text that does not fit is cut before the first character
// that does not fit whole.  The functions may be called from any thread;
// a handle may be shared between threads but closed only once.
#ifndef YAV_CORE_SYSTEM_YAV_SHLIB_H
#define YAV_CORE_SYSTEM_YAV_SHLIB_H

#include <cstddef>

#include "core/sundry/yav_base.h"

typedef void* yav_shlib_handle_t;

// Opens the module at path with immediate binding.  On failure the
// system's text goes to errorText and the status is YAV_S_MODULE_OPEN.
YAV_EXPORT yav_status_t yav_shlib_open(const char* path, yav_shlib_handle_t* handle,
                                       char* errorText, size_t errorTextSize);

// Resolves symbol in an open module.  On failure (also for a symbol that
// is absent) the system's text goes to errorText and the status is
// YAV_S_MODULE_OPEN: the module cannot be used as asked.
YAV_EXPORT yav_status_t yav_shlib_resolve(yav_shlib_handle_t handle, const char* symbol,
                                          void** address, char* errorText, size_t errorTextSize);

// Closes a module; YAV_S_SYS_ROUTINE_FAILED when the system refuses.
YAV_EXPORT yav_status_t yav_shlib_close(yav_shlib_handle_t handle);

// Opens the module called name with the help of a null-terminated list of
// directories (directories itself may be null).
//
// A name containing '/' is opened as it is.  Otherwise, for each directory
// in turn, the candidates are dir/name, dir/lib<name>.so and dir/<name>.so;
// the first that opens is the module.  A candidate that exists but does not
// open ends the search with its error (a broken module is not silently
// replaced by a later one).  When no directory has a candidate, name alone
// is given to the system, which searches its own library path.
//
// The path that was opened is copied to foundPath (foundPathSize bytes,
// null to do without); when it does not fit, the module is closed again and
// the status is YAV_S_INVALID_VALUE.
YAV_EXPORT yav_status_t yav_shlib_open_path(const char* name, const char* const* directories,
                                            yav_shlib_handle_t* handle, char* foundPath,
                                            size_t foundPathSize, char* errorText,
                                            size_t errorTextSize);

#endif  // YAV_CORE_SYSTEM_YAV_SHLIB_H
