// Helpers shared by the stanza-file sources (reading, cached form, editing).
// Not part of the programming interface.  Same threading rules as the
// handle: one thread per handle at a time.
#ifndef YAV_CORE_FILE_YAV_STANZA_INTERNAL_H
#define YAV_CORE_FILE_YAV_STANZA_INTERNAL_H

#include "core/file/yav_stanza.h"

// A heap copy of text (free with free()), or null when memory ran out.
// REQUIRES: text is not null.
char* yav_zDup(const char* text);

// Clears stanzaName, entryName and value, freeing them when the handle owns
// them (uncached).
void yav_zClearStanza(yavStanzaFile* handle);
void yav_zClearEntry(yavStanzaFile* handle);

// Cached form: the scanner over the node lists, building the cache from an
// open handle, and freeing it.
int yav_zCacheMoveNextLine(yavStanzaFile* handle, int seekStanza, int acceptStanza);
// Publishes the cursors of the cache in stanzaName, entryName and value.
void yav_zCacheShowCursor(yavStanzaFile* handle);
// Reads the whole file through the uncached handle into a new cache.
// Returns 0 (a syntax error ends the reading but keeps what was read), or
// YAV_S_STZ_NO_MEMORY or YAV_S_STZ_READ_FAILED (nothing is kept).  On
// success *cache is the new cache.
yav_status_t yav_zCacheLoad(yavStanzaFile* handle, yavStzCache** cache);
void yav_zCacheFree(yavStzCache* cache);

#endif  // YAV_CORE_FILE_YAV_STANZA_INTERNAL_H
