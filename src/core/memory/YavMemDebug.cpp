#include "core/memory/YavMemDebug.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "config_mgr/YavConfigBoolean.h"
#include "config_mgr/YavConfigEntriesSchema.h"
#include "config_mgr/YavConfigInt.h"
#include "config_mgr/YavConfigMVString.h"
#include "config_mgr/YavConfigMgr.h"
#include "core/memory/yav_alloc.h"
#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "core/svc/kr_svc.h"
#include "core/threads/yavthread.h"

namespace {

// A list of names in one heap block: the pointer array, then the texts.
struct NameList {
    char** names;
    size_t count;
};

// g_mutex guards the two lists and the statistics switch.
pthread_mutex_t g_mutex = PTHREAD_MUTEX_INITIALIZER;
NameList g_debugged = {nullptr, 0};
NameList g_excluded = {nullptr, 0};
bool g_stats_enabled = false;

yav_status_t copy_names(const char* const* names, size_t count, NameList* out) {
    out->names = nullptr;
    out->count = 0;
    if (count == 0) return 0;
    if (count > SIZE_MAX / sizeof(char*)) return YAV_S_NO_MEMORY;
    size_t array_bytes = count * sizeof(char*);
    size_t bytes = array_bytes;
    for (size_t i = 0; i < count; ++i) {
        size_t length = strlen(names[i]) + 1;
        if (length > SIZE_MAX - bytes) return YAV_S_NO_MEMORY;
        bytes += length;
    }
    char* block = static_cast<char*>(malloc(bytes));
    if (block == nullptr) return YAV_S_NO_MEMORY;
    char** array = reinterpret_cast<char**>(block);
    char* text = block + array_bytes;
    for (size_t i = 0; i < count; ++i) {
        size_t length = strlen(names[i]) + 1;
        memcpy(text, names[i], length);
        array[i] = text;
        text += length;
    }
    out->names = array;
    out->count = count;
    return 0;
}

yav_status_t replace(NameList* list, const char* const* names, size_t count) {
    NameList fresh;
    yav_status_t status = copy_names(names, count, &fresh);
    if (status != 0) return status;
    NameList old;
    {
        YavMutexLock lock(&g_mutex);
        old = *list;
        *list = fresh;
    }
    free(old.names);
    return 0;
}

// True when the list holds the first length bytes of name exactly.
bool holds(const NameList& list, const char* name, size_t length) {
    for (size_t i = 0; i < list.count; ++i) {
        if (strlen(list.names[i]) == length && memcmp(list.names[i], name, length) == 0) {
            return true;
        }
    }
    return false;
}

// The entries of the "debug" stanza, in schema order.
enum { kMemoryOn, kMemoryOff, kMemoryStats, kMemoryStatsPeriod, kEntryCount };

struct DescribedEntry {
    const char* name;
    const char* defaultValue;
};
const DescribedEntry kEntries[kEntryCount] = {
    {"memory-on", nullptr},
    {"memory-off", nullptr},
    {"memory-stats", "false"},
    {"memory-stats-period", nullptr},
};

// Hands the items of a loaded list to setter (which copies them).
yav_status_t apply_names(YavConfigMVString& list,
                         yav_status_t (*setter)(const char* const*, size_t)) {
    size_t count = list.entries();
    const char** names = static_cast<const char**>(calloc(count + 1, sizeof(char*)));
    if (names == nullptr) return YAV_S_NO_MEMORY;
    size_t i = 0;
    for (const YavString* item : list.items()) names[i++] = item->getData();
    yav_status_t status = setter(names, count);
    free(names);
    return status;
}

}  // namespace

yav_status_t YavMemDebug::initialize(YavConfigMgr& mgr) {
    YavConfigEntriesSchema* schema = new (std::nothrow) YavConfigEntriesSchema("YavMemDebug");
    if (schema == nullptr || !schema->ok()) {
        delete schema;
        return YAV_S_NO_MEMORY;
    }
    for (const DescribedEntry& described : kEntries) {
        YavConfigSchemaEntry* entry = new (std::nothrow) YavConfigSchemaEntry();
        yav_status_t status = YAV_S_NO_MEMORY;
        if (entry != nullptr) {
            status = entry->set("debug", described.name, false, described.defaultValue);
            if (status == 0) {
                status = schema->addEntry(entry);  // owned by the schema from here
            } else {
                delete entry;
            }
        }
        if (status != 0) {
            delete schema;
            return status;
        }
    }
    yav_status_t status = mgr.registerSchema(schema, nullptr, true);
    if (status != 0) {
        delete schema;
        return status;
    }
    YavConfigMVString memoryOn;
    YavConfigMVString memoryOff;
    YavConfigBoolean memoryStats;
    YavConfigInt memoryStatsPeriod;
    YavConfigData* values[kEntryCount] = {&memoryOn, &memoryOff, &memoryStats, &memoryStatsPeriod};
    status = schema->loadData(values, -1);
    if (status != 0) return status;
    if (memoryOn.isSet()) status = apply_names(memoryOn, &YavMemDebug::setDebugNames);
    if (status == 0 && memoryOff.isSet()) {
        status = apply_names(memoryOff, &YavMemDebug::setExcludedNames);
    }
    if (status != 0) return status;
    setStatsEnabled(memoryStats.getValue());
    if (memoryStatsPeriod.isSet()) status = setStatsPeriod(memoryStatsPeriod.getValue());
    return status;
}

uint32_t YavMemDebug::flags(yav_status_t nameCode) {
    const char* name = kr_msg_get_default_msg(nameCode);
    uint32_t result;
    bool debugged = false;
    {
        YavMutexLock lock(&g_mutex);
        result = g_stats_enabled ? YAV_ALLOC_STATS : 0;
        size_t length = name != nullptr ? strlen(name) : 0;
        while (name != nullptr) {
            if (holds(g_excluded, name, length)) {
                result = 0;
                break;
            }
            if (holds(g_debugged, name, length)) {
                result = YAV_ALLOC_PAGE_PROTECT;
                debugged = true;
                break;
            }
            const void* dot = memrchr(name, '.', length);
            if (dot == nullptr) break;
            length = static_cast<size_t>(static_cast<const char*>(dot) - name);
        }
    }
    if (debugged) YAV_SVC_DEBUG(yav_svc_memory, 1, "%s: %s", "memory debugging on", name);
    return result;
}

yav_status_t YavMemDebug::setDebugNames(const char* const* names, size_t count) {
    return replace(&g_debugged, names, count);
}

yav_status_t YavMemDebug::setExcludedNames(const char* const* names, size_t count) {
    return replace(&g_excluded, names, count);
}

void YavMemDebug::setStatsEnabled(bool enabled) {
    YavMutexLock lock(&g_mutex);
    g_stats_enabled = enabled;
}

bool YavMemDebug::statsEnabled() {
    YavMutexLock lock(&g_mutex);
    return g_stats_enabled;
}

yav_status_t YavMemDebug::setStatsPeriod(long seconds) {
    return yav_allocator_set_stats_period(seconds);
}

void YavMemDebug::reset() {
    NameList debugged;
    NameList excluded;
    {
        YavMutexLock lock(&g_mutex);
        debugged = g_debugged;
        excluded = g_excluded;
        g_debugged = NameList{nullptr, 0};
        g_excluded = NameList{nullptr, 0};
        g_stats_enabled = false;
    }
    free(debugged.names);
    free(excluded.names);
}
