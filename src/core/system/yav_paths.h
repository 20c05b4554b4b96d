// The install directories of the plug-in.
//
// yav_paths is a table of 17 directory strings, each ending with "/".  Two
// entries are completed once per process on first use (under pthread_once):
// the log directory (index 2) and the localized HTML directory (index 5).
// Afterwards the table is read-only and any thread may read it.  The
// directory prefixes are build settings (cmake/yav_paths.cmake).  The
// strings are static: callers never free them.
#ifndef YAV_CORE_SYSTEM_YAV_PATHS_H
#define YAV_CORE_SYSTEM_YAV_PATHS_H

#include "core/sundry/yav_base.h"

enum yav_dir_type {
    YAV_BIN_DIR = 0,
    YAV_CFG_DIR = 1,  // the configuration directory ("tessaro.conf")
    YAV_LOG_DIR = 2,  // completed from YAV_VAR_LOG_DIR
    YAV_SBIN_DIR = 3,
    YAV_LIB_DIR = 4,
    YAV_HTML_LANG_DIR = 5,  // completed: the localized subdirectory of YAV_HTML_DIR
    YAV_DB_DIR = 6,
    YAV_KEYTAB_DIR = 7,
    YAV_INITD_DIR = 8,
    YAV_RC3D_DIR = 9,
    YAV_SM_DIR = 10,
    YAV_PLUGIN_LIB_DIR = 11,
    YAV_MSG_DIR = 12,  // message catalogs
    YAV_ULQ_DIR = 13,  // data of the code-set layer
    YAV_HTML_DIR = 14,
    YAV_RUN_LIB_DIR = 15,
    YAV_VAR_LOG_DIR = 16,
    YAV_DB_LAST_ENTRY = 17
};

// The directory of that index.  An index outside 0..16 stops the process
// (internal error).
YAV_EXPORT const char* yav_get_path(int dir_type);

// "/opt/Calvenor" (the code-set layer's prefix) when name is exactly that
// string, else null; yav_get_kr_path() is yav_kr_get_path of it, computed
// once per process.
YAV_EXPORT const char* yav_kr_get_path(const char* name);
YAV_EXPORT const char* yav_get_kr_path();

// Normalises path in place: leading blanks and tabs removed, runs of "/"
// collapsed, trailing blanks and tabs cut, a final "/" removed (so "/"
// itself becomes "").  A null path is left alone.
YAV_EXPORT void yav_canonicalize_path(char* path);

#endif  // YAV_CORE_SYSTEM_YAV_PATHS_H
