// YavConfigAnswerContext: the record that the core passes as the dispatch
// context with every configuration question.  The configuration answer
// reader (YavConfigAnswerUnmarshaller) fills the destination that the
// question names: the POST-URI table (identifier 0), the flag table (1),
// the cache settings (2, out fields) or the virtual-host list (3).  The
// destinations a question does not use stay null / zero; an answer that
// carries data for a missing destination is refused.
//
// YavPostURITable and YavConfigFlagTable: the core's two configuration
// tables, each a hash table with its own read-write lock
// (YavProtectedHashTable).  Keys are YavString copies made with
// `new (std::nothrow)`, values ints / unsigned ints made the same way; both
// tables own their keys and values and delete them when entries go.  They
// use the default comparator and hasher of YavString (yav_strcmp,
// yav_string_hasher).  The core owns one instance of each.
//
// Memory: the context points to the core's log, tables and list; it owns
// none of them.  It lives on the stack of the thread that asks the
// question.
//
// Threads: the tables and the list are shared with request threads through
// their locks (see YavProtectedHashTable and YavPluginVirtualHostList); the
// context itself belongs to the asking thread.  The context is copyable;
// the tables are not.
#ifndef YAV_MSG_PLUGIN_YAVCONFIGANSWERCONTEXT_H
#define YAV_MSG_PLUGIN_YAVCONFIGANSWERCONTEXT_H

#include "core/buffers/YavString.h"
#include "core/hash/YavProtectedHashTable.h"
#include "core/sundry/yav_base.h"

class YavLog;
class YavPluginVirtualHostList;

// Minimum amount of POST data, by key.
class YAV_EXPORT YavPostURITable : public YavProtectedHashTable<YavString, int> {
  public:
    // Owns its keys and values; entries come from allocator (null = heap).
    // The table has no buckets until the first initialize.
    explicit YavPostURITable(YavAllocator* allocator = nullptr);
    YAV_DISALLOW_COPY(YavPostURITable);
};

// Configuration flag words, by name.
class YAV_EXPORT YavConfigFlagTable : public YavProtectedHashTable<YavString, unsigned int> {
  public:
    // As YavPostURITable.
    explicit YavConfigFlagTable(YavAllocator* allocator = nullptr);
    YAV_DISALLOW_COPY(YavConfigFlagTable);
};

struct YavConfigAnswerContext {
    // Bucket count that the core gives each table.
    static const int kDefaultTableSize = 20;

    YavLog* log = nullptr;  // error lines of the answer reader (may be null)
    YavProtectedHashTable<YavString, int>* postURIs = nullptr;  // identifier 0
    int postURITableSize = 0;  // buckets of the refilled POST-URI table
    YavProtectedHashTable<YavString, unsigned int>* configFlags = nullptr;  // identifier 1
    int configFlagTableSize = 0;                 // buckets of the refilled flag table
    YavPluginVirtualHostList* vhosts = nullptr;  // identifier 3
    bool cacheEnabled = false;                   // out, identifier 2
    long cachePollInterval = 0;                  // out, identifier 2: seconds, -1 when disabled
};

#endif  // YAV_MSG_PLUGIN_YAVCONFIGANSWERCONTEXT_H
