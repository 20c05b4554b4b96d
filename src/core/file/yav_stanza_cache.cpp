// Stanza files: the cached form (the whole file read into node lists).
#include <stdlib.h>

#include <new>

#include "core/file/yav_stanza.h"
#include "core/file/yav_stanza_internal.h"
#include "core/msg/yav_status.h"

void yav_zCacheShowCursor(yavStanzaFile* handle) {
    const yavStzCache* cache = handle->cache;
    handle->stanzaName = cache->currentStanza != nullptr ? cache->currentStanza->name : nullptr;
    handle->entryName = cache->currentEntry != nullptr ? cache->currentEntry->name : nullptr;
    handle->value = cache->currentEntry != nullptr ? cache->currentEntry->value : nullptr;
}

int yav_zCacheMoveNextLine(yavStanzaFile* handle, int seekStanza, int acceptStanza) {
    yavStzCache* cache = handle->cache;
    yavStzCachedStanza* stanza = cache->currentStanza;
    yavStzCachedEntry* entry = cache->currentEntry;
    if (seekStanza) {
        stanza = stanza != nullptr ? stanza->next : nullptr;
        entry = stanza != nullptr ? stanza->firstEntry : nullptr;
    } else if (!acceptStanza) {
        entry = entry != nullptr ? entry->next : nullptr;
    } else if (entry != nullptr && entry->next != nullptr) {
        // The validation walk: the stanza's entries, then on into the next
        // stanza.
        entry = entry->next;
    } else {
        stanza = stanza != nullptr ? stanza->next : nullptr;
        entry = stanza != nullptr ? stanza->firstEntry : nullptr;
    }
    cache->currentStanza = stanza;
    cache->currentEntry = entry;
    yav_zCacheShowCursor(handle);
    return 1;
}

void yav_zCacheFree(yavStzCache* cache) {
    if (cache == nullptr) return;
    yavStzCachedStanza* stanza = cache->firstStanza;
    while (stanza != nullptr) {
        yavStzCachedEntry* entry = stanza->firstEntry;
        while (entry != nullptr) {
            yavStzCachedEntry* next = entry->next;
            free(entry->name);
            free(entry->value);
            delete entry;
            entry = next;
        }
        yavStzCachedStanza* next = stanza->next;
        free(stanza->name);
        delete stanza;
        stanza = next;
    }
    delete cache;
}

yav_status_t yav_zCacheLoad(yavStanzaFile* handle, yavStzCache** result) {
    *result = nullptr;
    yavStzCache* cache = new (std::nothrow) yavStzCache();
    if (cache == nullptr) return YAV_S_STZ_NO_MEMORY;

    // The handle is still uncached here: its strings are its own, and the
    // entry strings are moved into the nodes.  A failing move (a syntax
    // error, already logged) leaves the handle at end, which ends the loops.
    yavStzMoveFirstStanza(handle);
    while (handle->status == 0 && handle->stanzaName != nullptr) {
        yavStzCachedStanza* stanza = new (std::nothrow) yavStzCachedStanza();
        if (stanza == nullptr) {
            yav_zCacheFree(cache);
            return YAV_S_STZ_NO_MEMORY;
        }
        stanza->name = yav_zDup(handle->stanzaName);
        if (stanza->name == nullptr) {
            delete stanza;
            yav_zCacheFree(cache);
            return YAV_S_STZ_NO_MEMORY;
        }
        stanza->next = cache->firstStanza;
        cache->firstStanza = stanza;

        while (handle->entryName != nullptr) {
            yavStzCachedEntry* entry = new (std::nothrow) yavStzCachedEntry();
            if (entry == nullptr) {
                yav_zCacheFree(cache);
                return YAV_S_STZ_NO_MEMORY;
            }
            entry->name = handle->entryName;
            entry->value = handle->value;
            handle->entryName = nullptr;
            handle->value = nullptr;
            if (stanza->lastEntry == nullptr) {
                stanza->firstEntry = entry;
            } else {
                stanza->lastEntry->next = entry;
            }
            stanza->lastEntry = entry;
            if (!yavStzMoveNextEntry(handle)) break;
        }
        if (handle->status != 0) break;
        yavStzMoveNextStanza(handle);
    }
    // Memory running out inside the scanner, or a file that cannot be
    // read at all (a directory, an I/O error), is no syntax error: it fails
    // the load.
    if (handle->status == YAV_S_STZ_NO_MEMORY || handle->status == YAV_S_STZ_READ_FAILED) {
        yav_status_t failure = handle->status;
        yav_zCacheFree(cache);
        return failure;
    }
    handle->status = 0;
    *result = cache;
    return 0;
}
