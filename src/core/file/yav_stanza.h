// Stanza files: reading, navigating and editing text files of named
// sections ("[stanza]" heads) holding "name = value" entries.
//
// A yavStanzaFile is a handle made by yavStzFileOpen and destroyed by
// yavStzFileClose.  It keeps a cursor (current stanza, current entry,
// current line) that the move functions advance; callers read stanzaName,
// entryName, value and status directly after each move.  Functions that
// return int return nonzero for success and 0 for failure, with the reason
// in status.  A failure leaves the handle "at end" (no current stanza or
// entry); yavStzMoveFirstStanza or yavStzMoveStanza starts afresh.
//
// Syntax as read: lines are read through a 512-byte buffer (a longer line
// continues as the next logical line) and converted from the local code
// page (the current locale's code set, ulq_local_cs) to wide characters; a
// multi-byte character cut by the 511-byte boundary fails that conversion.  Leading whitespace is
// skipped; empty lines and lines starting with "#" are ignored.  "[name]" starts a stanza (the name
// taken exactly, text after "]" ignored).  Other lines are entries: the name
// runs to the first "=" (trailing whitespace trimmed), the value starts at
// the first non-blank after it, ends at the first "#" and is trimmed at the
// end; an empty value is delivered as null.  Entries before the first head
// belong to no stanza.  Duplicate stanzas and entries are allowed; a look-up
// finds the first in iteration order.
//
// Memory: the handle owns fileName.  Uncached, stanzaName, entryName and
// value are copies owned by the handle and replaced on every move.  Cached
// (YAV_STZ_CACHED), the whole file is read at open into `cache`, the lock is
// released and the stream closed; the three fields then point into the
// cache, which owns every string until close.  Cached stanzas are visited in
// the reverse of their file order (entries keep file order).
//
// Threads: a handle is used by one thread at a time; nothing in it is
// locked.  Processes are kept apart by an fcntl lock on the whole file
// (shared for reading, exclusive for update) held from open to close
// (cached: only while the file is read).  fcntl locks belong to the
// process, not the handle: closing any handle of a file releases every lock
// the process holds on it, so a process keeps one handle per file.
//
// Editing rewrites the file through a scratch file "/tmp/stzlink<pid>": a
// stale file of that name is removed, then the name is created exclusively
// (never through a link, mode 0600); when that fails the edit fails with
// YAV_S_STZ_UPDATE_FAILED and the file is unchanged.  Two handles of one
// process must not edit at the same time.
//
// Lines written by the editing operations are "[%s]\n" and "%s = %s\n" (a
// null value written as an empty string).  A written line must fit the
// 512-byte line buffer (at most 511 bytes with its newline) and may not hold
// a newline character; an entry name must also be one that reads back as
// itself (not empty, no "=", no blank at either end, not starting with "["
// or "#"), a value may not hold "#" (it would start a comment), and a
// stanza name may not hold "]".  Otherwise the edit is refused with
// YAV_S_STZ_INVALID_ARGUMENT and the file is left unchanged.  A handle opened
// with both YAV_STZ_READ and YAV_STZ_UPDATE has a read-only stream and a
// shared lock: editing it is refused with YAV_S_STZ_READ_ONLY.  Text appended
// at the end of a file whose last line lacks a newline is put on a line of
// its own (a newline is written first).
//
// The handle is a plain structure; it is not copyable in any meaningful
// way (copies would share the stream and strings): use only the pointer.
#ifndef YAV_CORE_FILE_YAV_STANZA_H
#define YAV_CORE_FILE_YAV_STANZA_H

#include <cstdio>

#include "core/sundry/yav_base.h"

// Open flags.
constexpr int YAV_STZ_READ = 1;    // stdio mode "r", shared (read) lock
constexpr int YAV_STZ_UPDATE = 2;  // stdio mode "r+", exclusive lock; needed to edit
constexpr int YAV_STZ_NOWAIT = 4;  // fail at once instead of waiting for the lock
constexpr int YAV_STZ_CACHED = 8;  // read everything at open, then unlock and close

// Size of the line buffers (bytes for the narrow line, characters for the
// wide one); a line holds at most one unit less.
constexpr int YAV_STZ_LINE_SIZE = 512;

struct yavStzCachedEntry {
    char* name;   // owned
    char* value;  // owned; null when the entry has no value
    yavStzCachedEntry* next;
};

struct yavStzCachedStanza {
    char* name;  // owned
    yavStzCachedEntry* firstEntry;
    yavStzCachedStanza* next;
    yavStzCachedEntry* lastEntry;  // where the next entry is appended while loading
};

// The in-memory copy of a file: the stanza list and the two cursors.
struct yavStzCache {
    yavStzCachedStanza* firstStanza;
    yavStzCachedStanza* currentStanza;
    yavStzCachedEntry* currentEntry;
};

struct yavStanzaFile {
    FILE* fp;             // open stream; null when cached (after loading) and after close
    char* fileName;       // owned copy of the path
    int openFlags;        // the flags given to open
    yav_status_t status;  // status of the last operation, 0 for success
    long stanzaOffset;    // offset just after the current stanza's head line
    long lineOffset;      // offset of the current line (entry, next head, or end of file)
    char* value;          // current entry's value (local code page), or null
    char* stanzaName;     // current stanza, or null at the end of the file
    char* entryName;      // current entry, or null when the stanza has no further entry
    yavStzCache* cache;   // owned; null when uncached
};

// Opens path with flags (a combination of the YAV_STZ_ flags: at least one
// of READ and UPDATE, never UPDATE with CACHED) and positions the handle on
// the first stanza and its first entry.  Returns the handle, or null with
// the reason in *status (status may be null).  *status is 0 on success;
// uncached, a failure of that first move is in the handle's status.
// Cached, a syntax error ends the reading (logged; the cache keeps what came
// before it) and the open still succeeds; a file that cannot be read
// (YAV_S_STZ_READ_FAILED) or memory running out fails the open.
YAV_EXPORT yavStanzaFile* yavStzFileOpen(const char* path, int flags,
                                         yav_status_t* status = nullptr);
// Releases the lock, closes the stream and frees everything the handle
// owns, and the handle.  Null is ignored.
YAV_EXPORT void yavStzFileClose(yavStanzaFile* handle);

// ---- moves (REQUIRES: handle is not null) ----------------------------------
YAV_EXPORT int yavStzMoveFirstStanza(yavStanzaFile* handle);
// At the end of the file stanzaName becomes null (still success).
YAV_EXPORT int yavStzMoveNextStanza(yavStanzaFile* handle);
// Fails (status 0) when no stanza has the name.
YAV_EXPORT int yavStzMoveStanza(yavStanzaFile* handle, const char* name);
YAV_EXPORT int yavStzMoveFirstEntry(yavStanzaFile* handle);
// At the end of the stanza entryName and value become null (still success).
YAV_EXPORT int yavStzMoveNextEntry(yavStanzaFile* handle);
// Fails (status 0) when the current stanza has no entry of the name.
YAV_EXPORT int yavStzMoveEntryInStanza(yavStanzaFile* handle, const char* name);
YAV_EXPORT int yavStzMoveEntry(yavStanzaFile* handle, const char* stanza, const char* name);

// Number of entries of the current stanza; the entry that was current (by
// name) is current again afterwards.  0 when status is nonzero or there is
// no current stanza or entry; on an error while counting, the count so far.
YAV_EXPORT int yavStzStanzaSize(yavStanzaFile* handle);

// ---- editing (uncached handles opened with YAV_STZ_UPDATE alone) -----------
// Replaces the current entry's line by "name = value" (a trailing comment
// is lost).  value may be null (no value).
YAV_EXPORT void yavStzChangeValue(yavStanzaFile* handle, const char* value);
// Makes the stanza current, appending "[name]" at the end when it is absent.
YAV_EXPORT void yavStzAddStanza(yavStanzaFile* handle, const char* name);
// Changes the first entry of the name in the current stanza, or adds one at
// the end of the stanza; the entry becomes current.
YAV_EXPORT void yavStzAddEntry(yavStanzaFile* handle, const char* name, const char* value);
// Inserts an entry before the current line; it becomes current.
YAV_EXPORT void yavStzInsertEntry(yavStanzaFile* handle, const char* name, const char* value);
// Removes the first entry of the name in the stanza (YAV_S_CFG_ENTRY_MISSING
// when there is none).  Afterwards the stream stands at the end of the file
// and there is no current entry: move again before going on.
YAV_EXPORT int yavStzDeleteEntry(yavStanzaFile* handle, const char* stanza, const char* name);
// Removes the current entry's line (needs a current stanza and entry).
YAV_EXPORT int yavStzDeleteCurrentEntry(yavStanzaFile* handle);

// Parses the whole file from the start; nonzero when no line is in error.
// Needs an uncached handle (a cached one gives YAV_S_STZ_NOT_OPEN).
YAV_EXPORT int yavStzValidate(yavStanzaFile* handle);

// ---- internal ---------------------------------------------------------------
// The line scanner behind every move: next stanza (seekStanza and
// acceptStanza), next entry (neither), or the validation walk (acceptStanza
// only).
int yav_zMoveNextLine(yavStanzaFile* handle, int seekStanza, int acceptStanza);
// Records a failure: clears the cursor ("at end") and stores code in status.
void yav_zSetError(yavStanzaFile* handle, yav_status_t code);
// Replaces the bytes [from, to) of stream by text, through the scratch file.
// Returns 1, or 0 on failure.  The stream is left at the end of the file.
int yav_zReplaceText(FILE* stream, long from, long to, const char* text);
// Releases the lock and closes the stream (fp becomes null).
void yav_zFileCloseDescriptor(yavStanzaFile* handle);

#endif  // YAV_CORE_FILE_YAV_STANZA_H
