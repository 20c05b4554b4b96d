#include "core/msg/yav_msg_table.h"

#include <pthread.h>

#include <atomic>

#include "core/msg/yav_status.h"
#include "core/threads/yavthread.h"

namespace {

// Tables defined at run time.  A slot is written under s_defineMutex before
// s_definedCount publishes it and is never changed afterwards, so readers
// need no lock.
pthread_mutex_t s_defineMutex = PTHREAD_MUTEX_INITIALIZER;
yav_msg_table s_defined[YAV_MSG_MAX_DEFINED_TABLES];
std::atomic<unsigned> s_definedCount{0};

const char* search(const yav_msg_entry* entries, unsigned count, uint32_t code) {
    if (count == 0 || code < entries[0].code || code > entries[count - 1].code) return nullptr;
    unsigned lo = 0;
    unsigned hi = count;
    while (lo < hi) {
        unsigned mid = lo + (hi - lo) / 2;
        uint32_t c = entries[mid].code;
        if (c == code) return entries[mid].text;
        if (c < code) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return nullptr;
}

bool isKnown(const yav_msg_entry* table) {
    for (unsigned i = 0; i < yav_builtin_msg_table_count; ++i) {
        if (yav_builtin_msg_tables[i].entries == table) return true;
    }
    unsigned defined = s_definedCount.load(std::memory_order_acquire);
    for (unsigned i = 0; i < defined; ++i) {
        if (s_defined[i].entries == table) return true;
    }
    return false;
}

}  // namespace

void kr_msg_define_msg_table(const yav_msg_entry* table, unsigned count, uint32_t* status) {
    uint32_t result = YAV_S_OK;
    if (table == nullptr || count == 0) {
        result = YAV_S_INVALID_PARAMETER;
    } else {
        for (unsigned i = 1; i < count; ++i) {
            if (table[i - 1].code >= table[i].code) {
                result = YAV_S_INVALID_PARAMETER;
                break;
            }
        }
    }
    if (result == YAV_S_OK) {
        YavMutexLock lock(&s_defineMutex);
        if (!isKnown(table)) {
            unsigned defined = s_definedCount.load(std::memory_order_relaxed);
            if (defined == YAV_MSG_MAX_DEFINED_TABLES) {
                result = YAV_SVC_S_NO_MEMORY;
            } else {
                s_defined[defined] = {table, count};
                s_definedCount.store(defined + 1, std::memory_order_release);
            }
        }
    }
    if (status != nullptr) *status = result;
}

const char* kr_msg_get_default_msg(uint32_t code) {
    for (unsigned i = 0; i < yav_builtin_msg_table_count; ++i) {
        const char* text =
            search(yav_builtin_msg_tables[i].entries, yav_builtin_msg_tables[i].count, code);
        if (text != nullptr) return text;
    }
    unsigned defined = s_definedCount.load(std::memory_order_acquire);
    for (unsigned i = 0; i < defined; ++i) {
        const char* text = search(s_defined[i].entries, s_defined[i].count, code);
        if (text != nullptr) return text;
    }
    return nullptr;
}
