#include "core/memory/yav_alloc.h"

#include <errno.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/threads/yavthread.h"

static_assert(sizeof(yav_alloc_fixed_header) == YAV_ALLOC_HEADER_SIZE, "fixed header size");
static_assert(sizeof(yav_alloc_var_header) == YAV_ALLOC_HEADER_SIZE, "variable header size");

namespace {

// 60 0D CA FE, four times.
const unsigned char kDefaultPattern[16] = {0x60, 0x0D, 0xCA, 0xFE, 0x60, 0x0D, 0xCA, 0xFE,
                                           0x60, 0x0D, 0xCA, 0xFE, 0x60, 0x0D, 0xCA, 0xFE};

const unsigned kGrowBlocks = 10;

// ---- statistics counters --------------------------------------------------
// Only the thread that holds the allocator (its lock, or the allocator itself
// when unlocked) writes them; relaxed atomics let the reporter read them.

inline long stat_get(const long* counter) { return __atomic_load_n(counter, __ATOMIC_RELAXED); }
inline void stat_set(long* counter, long value) {
    __atomic_store_n(counter, value, __ATOMIC_RELAXED);
}
inline void stat_add(long* counter, long delta) { stat_set(counter, stat_get(counter) + delta); }

inline bool has(const yav_allocator* a, uint32_t flag) { return (a->flags & flag) != 0; }

// ---- lists ----------------------------------------------------------------

inline void list_init(yav_alloc_link* q) { q->next = q->prev = q; }

inline void list_unlink(yav_alloc_link* l) {
    l->prev->next = l->next;
    l->next->prev = l->prev;
}

// The store to next->prev sits between the two stores to l: otherwise the
// compiler writes l's links with one 16-byte store, and reading one link
// back soon after (the next free or allocation of the same block) stalls
// store forwarding on some processors.
inline void list_insert_after(yav_alloc_link* pos, yav_alloc_link* l) {
    yav_alloc_link* next = pos->next;
    l->next = next;
    next->prev = l;
    l->prev = pos;
    pos->next = l;
}

inline void list_push_tail(yav_alloc_link* q, yav_alloc_link* l) { list_insert_after(q->prev, l); }

bool list_contains(const yav_alloc_link* q, const yav_alloc_link* l) {
    for (const yav_alloc_link* p = q->next; p != q; p = p->next) {
        if (p == l) return true;
    }
    return false;
}

// ---- blocks ---------------------------------------------------------------

inline char* user_of(yav_alloc_link* l) {
    return reinterpret_cast<char*>(l) + YAV_ALLOC_HEADER_SIZE;
}

inline yav_alloc_link* link_of(void* user) {
    return reinterpret_cast<yav_alloc_link*>(static_cast<char*>(user) - YAV_ALLOC_HEADER_SIZE);
}

inline yav_alloc_var_header* var_header(yav_alloc_link* l) {
    return reinterpret_cast<yav_alloc_var_header*>(l);
}

inline size_t capacity(const yav_allocator* a, yav_alloc_link* l) {
    return has(a, YAV_ALLOC_VARIABLE) ? var_header(l)->size : a->block_size;
}

// The allocator word must name this allocator; the expression is the text
// that yav_assert_fail prints.
template <class Header>
void assert_owner(yav_allocator* allocator, Header* h) {
    YAV_ASSERT(allocator == h->allocator);
}

void assert_block_owner(yav_allocator* allocator, yav_alloc_link* l) {
    if (has(allocator, YAV_ALLOC_VARIABLE)) {
        assert_owner(allocator, var_header(l));
    } else {
        assert_owner(allocator, reinterpret_cast<yav_alloc_fixed_header*>(l));
    }
}

void set_header(yav_allocator* a, yav_alloc_link* l, size_t size) {
    if (has(a, YAV_ALLOC_VARIABLE)) {
        var_header(l)->size = size;
        var_header(l)->allocator = a;
    } else {
        yav_alloc_fixed_header* h = reinterpret_cast<yav_alloc_fixed_header*>(l);
        h->allocator = a;
        h->unused = nullptr;
    }
}

// Page-protected blocks: one mapping of [header page][user pages][guard
// page]; the header ends the first page so that the user area starts on a
// page boundary.  The guard page is never accessible; the user pages only
// while the block is handed out.

size_t user_pages(const yav_allocator* a, size_t size) {
    size_t pages = size / a->page_size + (size % a->page_size != 0 ? 1 : 0);
    return pages == 0 ? 1 : pages;
}

char* mapping_of(const yav_allocator* a, yav_alloc_link* l) { return user_of(l) - a->page_size; }

void protect_user(const yav_allocator* a, yav_alloc_link* l, int prot) {
    int rc = mprotect(user_of(l), user_pages(a, capacity(a, l)) * a->page_size, prot);
    YAV_ASSERT(rc == 0);
}

yav_alloc_link* map_block(yav_allocator* a, size_t size) {
    if (size > SIZE_MAX - 3 * a->page_size) return nullptr;
    size_t pages = user_pages(a, size);
    size_t total = (pages + 2) * a->page_size;
    void* mem = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) return nullptr;
    char* base = static_cast<char*>(mem);
    if (mprotect(base + (pages + 1) * a->page_size, a->page_size, PROT_NONE) != 0) {
        munmap(mem, total);
        return nullptr;
    }
    return reinterpret_cast<yav_alloc_link*>(base + a->page_size - YAV_ALLOC_HEADER_SIZE);
}

void unmap_block(const yav_allocator* a, yav_alloc_link* l) {
    size_t total = (user_pages(a, capacity(a, l)) + 2) * a->page_size;
    munmap(mapping_of(a, l), total);
}

// A new block of size bytes, not on any list and accessible; null when no
// memory can be had.
yav_alloc_link* block_new(yav_allocator* a, size_t size) {
    yav_alloc_link* l;
    if (has(a, YAV_ALLOC_PAGE_PROTECT)) {
        l = map_block(a, size);
    } else {
        if (size > SIZE_MAX - YAV_ALLOC_HEADER_SIZE - a->end_pattern_len) return nullptr;
        l = static_cast<yav_alloc_link*>(malloc(YAV_ALLOC_HEADER_SIZE + size + a->end_pattern_len));
    }
    if (l == nullptr) return nullptr;
    set_header(a, l, size);
    if (a->end_pattern_len != 0) memcpy(user_of(l) + size, a->end_pattern, a->end_pattern_len);
    return l;
}

void block_destroy(yav_allocator* a, yav_alloc_link* l) {
    if (has(a, YAV_ALLOC_PAGE_PROTECT)) {
        unmap_block(a, l);
    } else {
        free(l);
    }
}

// Enlarges a variable block that is on no list to size bytes, keeping its
// content (page-protected blocks lose it: they are only resized while
// free).  Null on failure, with the old block intact.
yav_alloc_link* block_resize(yav_allocator* a, yav_alloc_link* l, size_t size) {
    if (has(a, YAV_ALLOC_PAGE_PROTECT)) {
        if (user_pages(a, size) == user_pages(a, var_header(l)->size)) {
            var_header(l)->size = size;
            return l;
        }
        yav_alloc_link* fresh = block_new(a, size);
        if (fresh != nullptr) unmap_block(a, l);
        return fresh;
    }
    if (size > SIZE_MAX - YAV_ALLOC_HEADER_SIZE - a->end_pattern_len) return nullptr;
    yav_alloc_link* moved =
        static_cast<yav_alloc_link*>(realloc(l, YAV_ALLOC_HEADER_SIZE + size + a->end_pattern_len));
    if (moved == nullptr) return nullptr;
    var_header(moved)->size = size;
    if (a->end_pattern_len != 0) memcpy(user_of(moved) + size, a->end_pattern, a->end_pattern_len);
    return moved;
}

// ---- statistics updates (only with YAV_ALLOC_STATS) ----------------------

void stats_grown(yav_allocator* a, size_t size) {
    stat_add(&a->stats.blocks_available, 1);
    stat_add(&a->stats.bytes_available, static_cast<long>(size));
}

void stats_resized_free(yav_allocator* a, size_t oldSize, size_t newSize) {
    stat_add(&a->stats.bytes_available, static_cast<long>(newSize) - static_cast<long>(oldSize));
}

void stats_taken(yav_allocator* a, size_t size) {
    yav_alloc_stats* s = &a->stats;
    long bytes = static_cast<long>(size);
    if (stat_get(&s->blocks_allocated) == 0 || bytes < stat_get(&s->min_block_size)) {
        stat_set(&s->min_block_size, bytes);
    }
    if (bytes > stat_get(&s->max_block_size)) stat_set(&s->max_block_size, bytes);
    stat_add(&s->blocks_available, -1);
    stat_add(&s->bytes_available, -bytes);
    stat_add(&s->blocks_allocated, 1);
    stat_add(&s->bytes_allocated, bytes);
    stat_add(&s->blocks_outstanding, 1);
    stat_add(&s->bytes_outstanding, bytes);
    if (stat_get(&s->blocks_outstanding) > stat_get(&s->peak_blocks_outstanding)) {
        stat_set(&s->peak_blocks_outstanding, stat_get(&s->blocks_outstanding));
    }
    if (stat_get(&s->bytes_outstanding) > stat_get(&s->peak_bytes_outstanding)) {
        stat_set(&s->peak_bytes_outstanding, stat_get(&s->bytes_outstanding));
    }
}

// An outstanding block grew in place from oldSize to newSize.
void stats_grew_outstanding(yav_allocator* a, size_t oldSize, size_t newSize) {
    yav_alloc_stats* s = &a->stats;
    long delta = static_cast<long>(newSize) - static_cast<long>(oldSize);
    if (static_cast<long>(newSize) > stat_get(&s->max_block_size)) {
        stat_set(&s->max_block_size, static_cast<long>(newSize));
    }
    stat_add(&s->bytes_allocated, delta);
    stat_add(&s->bytes_outstanding, delta);
    if (stat_get(&s->bytes_outstanding) > stat_get(&s->peak_bytes_outstanding)) {
        stat_set(&s->peak_bytes_outstanding, stat_get(&s->bytes_outstanding));
    }
}

// A block went back to the free list, by yav_free or by garbage collection.
void stats_returned(yav_allocator* a, size_t size, bool collected) {
    yav_alloc_stats* s = &a->stats;
    long bytes = static_cast<long>(size);
    if (collected) {
        stat_add(&s->blocks_gced, 1);
        stat_add(&s->bytes_gced, bytes);
    } else {
        stat_add(&s->blocks_freed, 1);
        stat_add(&s->bytes_freed, bytes);
    }
    stat_add(&s->blocks_outstanding, -1);
    stat_add(&s->bytes_outstanding, -bytes);
    stat_add(&s->blocks_available, 1);
    stat_add(&s->bytes_available, bytes);
}

// ---- locking --------------------------------------------------------------

class AllocatorLock {
  public:
    explicit AllocatorLock(yav_allocator* a) : m_allocator(a) {
        if (!has(a, YAV_ALLOC_UNLOCKED)) yavthread_mutex_lock(&a->mutex);
    }
    ~AllocatorLock() {
        if (!has(m_allocator, YAV_ALLOC_UNLOCKED)) yavthread_mutex_unlock(&m_allocator->mutex);
    }
    YAV_DISALLOW_COPY(AllocatorLock);

  private:
    yav_allocator* m_allocator;
};

// ---- operations under the lock -------------------------------------------

__attribute__((noinline)) void check_guards_locked(yav_allocator* a) {
    const yav_alloc_link* lists[2] = {&a->free_list, &a->alloc_list};
    for (const yav_alloc_link* q : lists) {
        for (yav_alloc_link* l = q->next; l != q; l = l->next) {
            size_t size = capacity(a, l);
            if (memcmp(user_of(l) + size, a->end_pattern, a->end_pattern_len) != 0) {
                yav_alloc_abort(
                    "Guard bytes after block %p (%lu bytes) overwritten for allocator %s\n",
                    static_cast<void*>(user_of(l)), static_cast<unsigned long>(size),
                    yav_allocator_name(a));
            }
        }
    }
}

// Makes count blocks of the block size and puts them on the free list.
yav_status_t grow_locked(yav_allocator* a, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        yav_alloc_link* l = block_new(a, a->block_size);
        if (l == nullptr) return YAV_S_NO_MEMORY;
        if (has(a, YAV_ALLOC_PAGE_PROTECT)) protect_user(a, l, PROT_NONE);
        list_push_tail(&a->free_list, l);
        ++a->n_blocks;
        ++a->n_free;
        if (has(a, YAV_ALLOC_STATS)) stats_grown(a, a->block_size);
    }
    return 0;
}

// The hot paths (take_locked, return_locked) are inline and only move a
// block between the lists; growing, resizing and the debugging aids are
// out of line, behind one test of the flags each.

// Takes a block for a request that the first free block cannot serve: grows
// an empty growable allocator, enlarges a variable block that is too small.
__attribute__((noinline)) yav_alloc_link* take_slow_locked(yav_allocator* a, size_t size) {
    if (yav_alloc_QIsEmpty(&a->free_list)) {
        if (!has(a, YAV_ALLOC_GROWABLE)) return nullptr;
        // Blocks made before a failure are still usable.
        grow_locked(a, kGrowBlocks);
        if (yav_alloc_QIsEmpty(&a->free_list)) return nullptr;
    }
    yav_alloc_link* l = a->free_list.next;
    size_t size_before = capacity(a, l);
    if (has(a, YAV_ALLOC_VARIABLE) && size_before < size) {
        list_unlink(l);
        yav_alloc_link* resized = block_resize(a, l, size);
        if (resized == nullptr) {
            list_insert_after(&a->free_list, l);
            return nullptr;
        }
        l = resized;
        list_insert_after(&a->free_list, l);
        if (has(a, YAV_ALLOC_STATS)) stats_resized_free(a, size_before, size);
    }
    return l;
}

__attribute__((noinline)) void taken_debug_locked(yav_allocator* a, yav_alloc_link* l) {
    if (has(a, YAV_ALLOC_PAGE_PROTECT)) protect_user(a, l, PROT_READ | PROT_WRITE);
    if (has(a, YAV_ALLOC_STATS)) stats_taken(a, capacity(a, l));
}

__attribute__((noinline)) void returned_debug_locked(yav_allocator* a, yav_alloc_link* l,
                                                     bool collected) {
    if (has(a, YAV_ALLOC_PAGE_PROTECT)) protect_user(a, l, PROT_NONE);
    if (has(a, YAV_ALLOC_STATS)) stats_returned(a, capacity(a, l), collected);
}

// Hands out a block of at least size bytes (the caller has checked that a
// fixed-size allocator's blocks are large enough).
inline void* take_locked(yav_allocator* a, size_t size) {
    uint32_t flags = a->flags;
    if (flags & YAV_ALLOC_GUARDS) check_guards_locked(a);
    yav_alloc_link* l = a->free_list.next;
    if (l == &a->free_list || ((flags & YAV_ALLOC_VARIABLE) && var_header(l)->size < size)) {
        l = take_slow_locked(a, size);
        if (l == nullptr) return nullptr;
    }
    list_unlink(l);
    list_push_tail(&a->alloc_list, l);
    --a->n_free;
    if (flags & (YAV_ALLOC_PAGE_PROTECT | YAV_ALLOC_STATS)) taken_debug_locked(a, l);
    return user_of(l);
}

// With debugging on, a block must be on the allocated list before it is
// taken back.
__attribute__((noinline)) void check_handed_out_locked(yav_allocator* a, void* ptr) {
    yav_alloc_link* l = link_of(ptr);
    if (list_contains(&a->alloc_list, l)) return;
    if (list_contains(&a->free_list, l)) {
        yav_alloc_abort("Double free of %p for allocator %s\n", ptr, yav_allocator_name(a));
    }
    yav_alloc_abort("Freeing memory of wrong type %p for allocator %s\n", ptr,
                    yav_allocator_name(a));
}

inline void return_locked(yav_allocator* a, yav_alloc_link* l, bool collected) {
    list_unlink(l);
    list_insert_after(&a->free_list, l);
    ++a->n_free;
    if (a->flags & (YAV_ALLOC_PAGE_PROTECT | YAV_ALLOC_STATS)) {
        returned_debug_locked(a, l, collected);
    }
}

// ---- the guard checker thread ---------------------------------------------

void monotonic_deadline(const struct timespec* period, struct timespec* deadline) {
    clock_gettime(CLOCK_MONOTONIC, deadline);
    deadline->tv_sec += period->tv_sec;
    deadline->tv_nsec += period->tv_nsec;
    if (deadline->tv_nsec >= 1000000000L) {
        deadline->tv_sec += deadline->tv_nsec / 1000000000L;
        deadline->tv_nsec %= 1000000000L;
    }
}

void* guard_checker(void* arg) {
    yav_allocator* a = static_cast<yav_allocator*>(arg);
    YavMutexLock lock(&a->mutex);
    while (!a->guard_stop) {
        struct timespec deadline;
        monotonic_deadline(&a->guard_period, &deadline);
        int rc = pthread_cond_timedwait(&a->guard_cond, &a->mutex, &deadline);
        if (a->guard_stop) break;
        // A wake-up without time-out is a new period (or spurious): the
        // next round starts from now.
        if (rc == ETIMEDOUT) check_guards_locked(a);
    }
    return nullptr;
}

bool init_monotonic_cond(pthread_cond_t* cond) {
    pthread_condattr_t attr;
    if (pthread_condattr_init(&attr) != 0) return false;
    bool ok = pthread_condattr_setclock(&attr, CLOCK_MONOTONIC) == 0 &&
              pthread_cond_init(cond, &attr) == 0;
    pthread_condattr_destroy(&attr);
    return ok;
}

// ---- creation and teardown ------------------------------------------------

// How far yav_allocator_new got; teardown undoes the steps up to there.
enum Stage { kRecord, kMutex, kRegistered, kCondition, kThread, kComplete };

void teardown(yav_allocator* a, Stage stage) {
    bool guard_thread = has(a, YAV_ALLOC_GUARD_THREAD);
    if (guard_thread && stage >= kThread) {
        {
            YavMutexLock lock(&a->mutex);
            a->guard_stop = true;
            pthread_cond_signal(&a->guard_cond);
        }
        pthread_join(a->guard_thread, nullptr);
    }
    if (guard_thread && stage >= kCondition) pthread_cond_destroy(&a->guard_cond);
    if (has(a, YAV_ALLOC_STATS) && stage >= kRegistered) yav_alloc_stats_unregister(a);
    while (!yav_alloc_QIsEmpty(&a->free_list)) {
        yav_alloc_link* l = a->free_list.next;
        list_unlink(l);
        block_destroy(a, l);
    }
    if (!has(a, YAV_ALLOC_UNLOCKED) && stage >= kMutex) pthread_mutex_destroy(&a->mutex);
    if (a->end_pattern != kDefaultPattern) {
        free(const_cast<unsigned char*>(a->end_pattern));
    }
    free(a->component_name);
    free(a);
}

// The trace component form of a name: white space and punctuation other
// than '_' become '-', letters, digits and '_' stay, any other byte becomes
// "x%02X".
char* make_component_name(const char* name) {
    size_t length = strlen(name);
    if (length > (SIZE_MAX - 1) / 3) return nullptr;
    char* out = static_cast<char*>(malloc(length * 3 + 1));
    if (out == nullptr) return nullptr;
    char* p = out;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        bool space = c == ' ' || (c >= '\t' && c <= '\r');
        bool punct = c > ' ' && c < 0x7f && !alnum;
        if (alnum || c == '_') {
            *p++ = static_cast<char>(c);
        } else if (space || punct) {
            *p++ = '-';
        } else {
            p += snprintf(p, 4, "x%02X", c);
        }
    }
    *p = '\0';
    return out;
}

}  // namespace

// ---- interface ------------------------------------------------------------

yav_status_t yav_allocator_new_with_pattern(uint32_t flags, yav_status_t nameCode, const char* name,
                                            size_t blockSize, unsigned initialBlocks,
                                            const unsigned char* pattern, size_t patternLen,
                                            yav_allocator** allocator, yav_status_t* status) {
    yav_status_t result = 0;
    yav_allocator* a = nullptr;
    Stage stage = kRecord;
    bool custom = pattern != nullptr && patternLen != 0;

    do {
        a = static_cast<yav_allocator*>(calloc(1, sizeof(yav_allocator)));
        if (a == nullptr) {
            result = YAV_S_NO_MEMORY;
            break;
        }
        list_init(&a->free_list);
        list_init(&a->alloc_list);
        a->end_pattern = kDefaultPattern;
        a->name_code = nameCode;
        a->block_size = blockSize;

        // Settings that imply or exclude one another, in this order.
        if (custom) flags |= YAV_ALLOC_CUSTOM_PATTERN;
        if (flags & YAV_ALLOC_GUARD_THREAD) {
            flags = (flags & ~YAV_ALLOC_UNLOCKED) | YAV_ALLOC_GUARDS;
        }
        if (flags & YAV_ALLOC_PAGE_PROTECT) {
            flags &= ~(YAV_ALLOC_GUARDS | YAV_ALLOC_CUSTOM_PATTERN);
        }
        if (flags & YAV_ALLOC_CUSTOM_PATTERN) flags |= YAV_ALLOC_GUARDS;
        a->flags = flags;

        if (name != nullptr) {
            a->component_name = make_component_name(name);
            if (a->component_name == nullptr) {
                result = YAV_S_NO_MEMORY;
                break;
            }
        }
        if (has(a, YAV_ALLOC_CUSTOM_PATTERN) && custom) {
            unsigned char* copy = static_cast<unsigned char*>(malloc(patternLen));
            if (copy == nullptr) {
                result = YAV_S_NO_MEMORY;
                break;
            }
            memcpy(copy, pattern, patternLen);
            a->end_pattern = copy;
            a->end_pattern_len = patternLen;
        } else if (has(a, YAV_ALLOC_GUARDS)) {
            a->end_pattern_len = sizeof kDefaultPattern;
        }
        if (has(a, YAV_ALLOC_PAGE_PROTECT)) {
            long page = sysconf(_SC_PAGESIZE);
            a->page_size = page > 0 ? static_cast<size_t>(page) : 4096;
        }

        if (!has(a, YAV_ALLOC_UNLOCKED)) {
            if (pthread_mutex_init(&a->mutex, nullptr) != 0) {
                result = YAV_S_THREAD_INIT;
                break;
            }
        }
        stage = kMutex;

        if (has(a, YAV_ALLOC_STATS)) {
            result = yav_alloc_stats_register(a);
            if (result != 0) break;
        }
        stage = kRegistered;

        if (has(a, YAV_ALLOC_GUARD_THREAD)) {
            a->guard_period.tv_sec = YAV_ALLOC_DEFAULT_GUARD_PERIOD;
            a->guard_period.tv_nsec = 0;
            if (!init_monotonic_cond(&a->guard_cond)) {
                result = YAV_S_THREAD_INIT;
                break;
            }
            stage = kCondition;
            if (yavthread_create(&a->guard_thread, nullptr, guard_checker, a) != 0) {
                result = YAV_S_THREAD_INIT;
                break;
            }
        }
        stage = kThread;

        // A page-protected variable allocator that cannot grow keeps one block
        // more, so that a block can be moved to a larger one.
        unsigned blocks = initialBlocks;
        if (has(a, YAV_ALLOC_PAGE_PROTECT) && has(a, YAV_ALLOC_VARIABLE) &&
            !has(a, YAV_ALLOC_GROWABLE) && blocks != ~0u) {
            ++blocks;
        }
        {
            AllocatorLock lock(a);
            result = grow_locked(a, blocks);
        }
        if (result != 0) break;
        stage = kComplete;
    } while (false);

    if (result != 0 && a != nullptr) {
        teardown(a, stage);
        a = nullptr;
    }
    *allocator = a;
    if (status != nullptr) *status = result;
    return result;
}

yav_status_t yav_allocator_new(uint32_t flags, yav_status_t nameCode, const char* name,
                               size_t blockSize, unsigned initialBlocks, yav_allocator** allocator,
                               yav_status_t* status) {
    return yav_allocator_new_with_pattern(flags, nameCode, name, blockSize, initialBlocks, nullptr,
                                          0, allocator, status);
}

yav_status_t yav_allocator_delete(yav_allocator* allocator) {
    if (allocator == nullptr) return 0;
    bool locked = !has(allocator, YAV_ALLOC_UNLOCKED);
    if (locked && pthread_mutex_lock(&allocator->mutex) != 0) return YAV_S_MUTEX_LOCK;
    bool outstanding = allocator->n_free != allocator->n_blocks;
    if (locked) yavthread_mutex_unlock(&allocator->mutex);
    if (has(allocator, YAV_ALLOC_STRICT_DELETE) && outstanding) return YAV_S_ALLOC_OUTSTANDING;
    teardown(allocator, kComplete);
    return 0;
}

void yav_allocator_gc(yav_allocator* allocator) {
    AllocatorLock lock(allocator);
    if (has(allocator, YAV_ALLOC_GUARDS)) check_guards_locked(allocator);
    while (allocator->n_free < allocator->n_blocks && !yav_alloc_QIsEmpty(&allocator->alloc_list)) {
        return_locked(allocator, allocator->alloc_list.next, true);
    }
    YAV_ASSERT(yav_alloc_QIsEmpty(&allocator->alloc_list));
}

void* yav_alloc(yav_allocator* allocator) {
    AllocatorLock lock(allocator);
    return take_locked(allocator, allocator->block_size);
}

void* yav_alloc_var(yav_allocator* allocator, size_t size) {
    if (allocator == nullptr) {
        if (size > SIZE_MAX - YAV_ALLOC_HEADER_SIZE) return nullptr;
        yav_alloc_var_header* h =
            static_cast<yav_alloc_var_header*>(malloc(YAV_ALLOC_HEADER_SIZE + size));
        if (h == nullptr) return nullptr;
        h->link.next = h->link.prev = nullptr;
        h->size = size;
        h->allocator = nullptr;
        return user_of(&h->link);
    }
    if (!has(allocator, YAV_ALLOC_VARIABLE) && size > allocator->block_size) return nullptr;
    AllocatorLock lock(allocator);
    return take_locked(allocator, size);
}

void* yav_realloc_var(yav_allocator* allocator, void* ptr, size_t newSize) {
    if (ptr == nullptr) return yav_alloc_var(allocator, newSize);
    if (newSize == 0) {
        yav_free(allocator, ptr);
        return nullptr;
    }
    yav_alloc_link* l = link_of(ptr);
    if (allocator == nullptr) {
        if (var_header(l)->size >= newSize) return ptr;
        if (newSize > SIZE_MAX - YAV_ALLOC_HEADER_SIZE) return nullptr;
        yav_alloc_var_header* h =
            static_cast<yav_alloc_var_header*>(realloc(l, YAV_ALLOC_HEADER_SIZE + newSize));
        if (h == nullptr) return nullptr;
        h->size = newSize;
        return user_of(&h->link);
    }
    if (!has(allocator, YAV_ALLOC_VARIABLE))
        return newSize <= allocator->block_size ? ptr : nullptr;

    size_t old_size;
    {
        AllocatorLock lock(allocator);
        if (has(allocator, YAV_ALLOC_DEBUG_FLAGS)) check_handed_out_locked(allocator, ptr);
        assert_block_owner(allocator, l);
        old_size = var_header(l)->size;
        if (old_size >= newSize) return ptr;
        if (!has(allocator, YAV_ALLOC_PAGE_PROTECT)) {
            // Grow in place; the block keeps its place on the allocated list.
            yav_alloc_link* before = l->prev;
            list_unlink(l);
            yav_alloc_link* moved = block_resize(allocator, l, newSize);
            if (moved == nullptr) {
                list_insert_after(before, l);
                return nullptr;
            }
            list_insert_after(before, moved);
            if (has(allocator, YAV_ALLOC_STATS))
                stats_grew_outstanding(allocator, old_size, newSize);
            return user_of(moved);
        }
    }
    // Page-protected blocks move to a new block so that the old one becomes
    // inaccessible.
    void* fresh = yav_alloc_var(allocator, newSize);
    if (fresh == nullptr) return nullptr;
    memcpy(fresh, ptr, old_size);
    yav_free(allocator, ptr);
    return fresh;
}

void* yav_alloc_dup(yav_allocator* allocator, const void* src, size_t size) {
    if (size == 0) return nullptr;
    void* copy = yav_alloc_var(allocator, size);
    if (copy != nullptr) memcpy(copy, src, size);
    return copy;
}

void yav_free(yav_allocator* allocator, void* ptr) {
    if (ptr == nullptr) return;
    yav_alloc_link* l = link_of(ptr);
    if (allocator == nullptr) {
        free(l);
        return;
    }
    AllocatorLock lock(allocator);
    if (has(allocator, YAV_ALLOC_DEBUG_FLAGS)) check_handed_out_locked(allocator, ptr);
    assert_block_owner(allocator, l);
    return_locked(allocator, l, false);
}

void yav_allocator_check_guards(yav_allocator* allocator) {
    if (!has(allocator, YAV_ALLOC_GUARDS)) return;
    AllocatorLock lock(allocator);
    check_guards_locked(allocator);
}

yav_status_t yav_alloc_set_guard_checker_period(yav_allocator* allocator,
                                                const struct timespec* period) {
    if (period == nullptr || period->tv_sec < 0 || period->tv_nsec < 0 ||
        period->tv_nsec >= 1000000000L || (period->tv_sec == 0 && period->tv_nsec == 0)) {
        return YAV_S_INVALID_VALUE;
    }
    AllocatorLock lock(allocator);
    allocator->guard_period = *period;
    if (has(allocator, YAV_ALLOC_GUARD_THREAD)) pthread_cond_signal(&allocator->guard_cond);
    return 0;
}

const char* yav_allocator_name(const yav_allocator* allocator) {
    const char* text = kr_msg_get_default_msg(allocator->name_code);
    return text != nullptr ? text : "<unknown>";
}

void yav_alloc_abort(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vfprintf(stdout, format, args);
    va_end(args);
    fflush(stdout);
    abort();
}
