// Walking the entries of one stanza of a stanza file, as the schemas do when
// they load, validate and dump.
//
// The walk moves the file's cursor; the visitor must not move it.  Used by
// one thread at a time with its file.
#ifndef YAV_CONFIG_MGR_YAV_CONFIG_WALK_H
#define YAV_CONFIG_MGR_YAV_CONFIG_WALK_H

#include "core/file/yav_stanza.h"
#include "core/sundry/yav_base.h"

// Calls visit(entryName, value) for every entry of the stanza, in the
// file's order (value is null for an entry without one).  A stanza that is
// absent, or a null file, gives no call.  Returns the first nonzero status
// of visit, else 0; a failure of the file itself shows in file->status
// (see yav_config_check_stanza).
template <class Visit>
yav_status_t yav_config_walk_stanza(yavStanzaFile* file, const char* stanza, Visit&& visit) {
    if (file == nullptr || !yavStzMoveStanza(file, stanza)) return 0;
    while (file->entryName != nullptr) {
        yav_status_t status =
            visit(static_cast<const char*>(file->entryName), static_cast<const char*>(file->value));
        if (status != 0) return status;
        if (!yavStzMoveNextEntry(file)) break;
    }
    return 0;
}

// After a walk: when the file reports a failure, logs that the stanza could
// not be accessed (with the file's name) and returns the file's status;
// else 0.
yav_status_t yav_config_check_stanza(const yavStanzaFile* file, const char* stanza);

#endif  // YAV_CONFIG_MGR_YAV_CONFIG_WALK_H
