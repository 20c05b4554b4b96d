// yav_obj_get_parent: the parent of an object name of the authorization
// server's object space ("/branch/dir/file" -> "/branch/dir" -> "/branch"
// -> "/").
//
// Memory: works in place on the caller's string; allocates nothing.
// Threads: any thread, on a string no other thread uses.
#ifndef YAV_URC_PLUGIN_YAV_OBJ_GET_PARENT_H
#define YAV_URC_PLUGIN_YAV_OBJ_GET_PARENT_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

// True when name has a parent, and name is then shortened to it.  Names
// that are empty or do not start with "/" have no parent, nor has "/".  The
// last unit is not looked at, so a trailing "/" does not count as a
// separator: "/a/b/" gives "/a".
YAV_EXPORT bool yav_obj_get_parent(YavString& name);

#endif  // YAV_URC_PLUGIN_YAV_OBJ_GET_PARENT_H
