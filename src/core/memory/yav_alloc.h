// yav_allocator: the procedural block allocator under YavCachingAllocator.
//
// An allocator owns a set of blocks, each taken from the process heap once
// and then handed out and given back without returning to the heap.  Blocks
// are either all of one size (fixed allocators) or of varying size (variable
// allocators: a block too small for a request is resized with realloc).  A
// whole unit of work is reclaimed at once with yav_allocator_gc.
//
// Memory: the record, its blocks, its component name and a custom end
// pattern belong to the allocator and are freed by yav_allocator_delete.
// Blocks handed out remain the allocator's; callers give them back with
// yav_free (or all at once with yav_allocator_gc).
//
// Threads: unless YAV_ALLOC_UNLOCKED is set, every operation takes the
// allocator's mutex and any thread may call it.  An unlocked allocator must be
// used by one thread at a time.  The statistics counters are written with
// relaxed atomic stores, so the statistics reporter may read them from its own
// thread without the allocator's lock.
//
// Not copyable: the record is the sentinel of its own block lists.
#ifndef YAV_CORE_MEMORY_YAV_ALLOC_H
#define YAV_CORE_MEMORY_YAV_ALLOC_H

#include <pthread.h>
#include <stddef.h>
#include <time.h>

#include "core/sundry/yav_base.h"

// Flags of yav_allocator_new.
// Blocks of varying size; otherwise every block is blockSize bytes.
constexpr uint32_t YAV_ALLOC_VARIABLE = 0x00000001;
// When no block is free, 10 more are made; otherwise allocation fails.
constexpr uint32_t YAV_ALLOC_GROWABLE = 0x00000002;
// yav_allocator_delete refuses while blocks are outstanding.
constexpr uint32_t YAV_ALLOC_STRICT_DELETE = 0x00000004;
// One thread only: no mutex.
constexpr uint32_t YAV_ALLOC_UNLOCKED = 0x00000008;
// Statistics lines carry the trace component name.
constexpr uint32_t YAV_ALLOC_NAMED_STATS = 0x00000010;
// Every block is followed by the end pattern, checked on allocation and on
// garbage collection.
constexpr uint32_t YAV_ALLOC_GUARDS = 0x01000000;
// The caller supplies the end pattern (implies guards).
constexpr uint32_t YAV_ALLOC_CUSTOM_PATTERN = 0x02000000;
// Every block sits in its own pages, followed by an inaccessible page, and
// is inaccessible while free (clears guards and custom pattern).
constexpr uint32_t YAV_ALLOC_PAGE_PROTECT = 0x04000000;
// Counters are maintained and reported by the statistics reporter.
constexpr uint32_t YAV_ALLOC_STATS = 0x10000000;
// A background thread checks every guard periodically (implies guards,
// forces locking).
constexpr uint32_t YAV_ALLOC_GUARD_THREAD = 0x80000000;

// Flags under which yav_free checks that a block was handed out by the
// allocator before taking it back.
constexpr uint32_t YAV_ALLOC_DEBUG_FLAGS = YAV_ALLOC_GUARDS | YAV_ALLOC_CUSTOM_PATTERN |
                                           YAV_ALLOC_PAGE_PROTECT | YAV_ALLOC_STATS |
                                           YAV_ALLOC_GUARD_THREAD;

// Size of a block header; user areas follow it and stay 16-byte aligned.
constexpr size_t YAV_ALLOC_HEADER_SIZE = 32;

// Periods (seconds) of the statistics reporter and of the guard checker
// unless set.
constexpr long YAV_ALLOC_DEFAULT_STATS_PERIOD = 300;
constexpr long YAV_ALLOC_DEFAULT_GUARD_PERIOD = 30;

// Link of a circular doubly linked list; a list is its sentinel link.
struct yav_alloc_link {
    yav_alloc_link* next;
    yav_alloc_link* prev;
};

inline bool yav_alloc_QIsEmpty(const yav_alloc_link* queue) { return queue->next == queue; }

struct yav_allocator;

// Header of a block of a fixed-size allocator (padded to 32 bytes).
struct yav_alloc_fixed_header {
    yav_alloc_link link;
    yav_allocator* allocator;
    void* unused;
};

// Header of a block of a variable allocator: size is the capacity of the
// user area.  A block that yav_alloc_var makes without an allocator has a
// null allocator word.
struct yav_alloc_var_header {
    yav_alloc_link link;
    size_t size;
    yav_allocator* allocator;
};

// Statistics.  Block sizes are capacities of the blocks handed out; the
// "available" counters describe the free list; allocated, freed and gced are
// totals since creation; outstanding is what is handed out now.  The peak
// counters (the highest outstanding values seen) are not reported.
struct yav_alloc_stats {
    long min_block_size;
    long max_block_size;
    long blocks_available;
    long blocks_allocated;
    long blocks_freed;
    long blocks_gced;
    long blocks_outstanding;
    long bytes_available;
    long bytes_allocated;
    long bytes_freed;
    long bytes_gced;
    long bytes_outstanding;
    long peak_blocks_outstanding;
    long peak_bytes_outstanding;
};

// The allocator record.  The free list comes first: the record is its
// sentinel.  mutex guards the lists, the counts and the statistics writes
// (for a locked allocator), guard_period and guard_stop.
struct yav_allocator {
    yav_alloc_link free_list;
    yav_alloc_link alloc_list;
    yav_status_t name_code;
    char* component_name;  // owned; null when no name was given
    pthread_mutex_t mutex;
    unsigned long n_blocks;
    unsigned long n_free;
    uint32_t flags;
    size_t block_size;
    const unsigned char* end_pattern;
    size_t end_pattern_len;
    size_t page_size;
    pthread_t guard_thread;
    pthread_cond_t guard_cond;
    struct timespec guard_period;
    yav_alloc_stats stats;
    // Not part of the classic record: asks the guard thread to end, and links
    // the allocator into the statistics registry.
    bool guard_stop;
    yav_allocator* stats_next;
};

// Creates an allocator.  name (may be null) becomes the trace component
// name; nameCode names the allocator by its message text.  On success
// *allocator is set and 0 returned; on failure *allocator is null and
// the status is YAV_S_NO_MEMORY (memory), YAV_S_THREAD_INIT (mutex,
// condition variable or background thread).  The status is also stored in
// *status when status is not null.
YAV_EXPORT yav_status_t yav_allocator_new(uint32_t flags, yav_status_t nameCode, const char* name,
                                          size_t blockSize, unsigned initialBlocks,
                                          yav_allocator** allocator, yav_status_t* status);

// The same with a caller-supplied end pattern (copied; used when not null
// and patternLen is not 0, and then YAV_ALLOC_CUSTOM_PATTERN is set).
YAV_EXPORT yav_status_t yav_allocator_new_with_pattern(uint32_t flags, yav_status_t nameCode,
                                                       const char* name, size_t blockSize,
                                                       unsigned initialBlocks,
                                                       const unsigned char* pattern,
                                                       size_t patternLen, yav_allocator** allocator,
                                                       yav_status_t* status);

// Frees every free block, the mutex and the record.  With
// YAV_ALLOC_STRICT_DELETE and blocks outstanding: YAV_S_ALLOC_OUTSTANDING and
// nothing changes.  YAV_S_MUTEX_LOCK when the lock cannot be taken.
// Outstanding blocks of a non-strict allocator are abandoned, not freed.
// A null allocator is ignored.
YAV_EXPORT yav_status_t yav_allocator_delete(yav_allocator* allocator);

// Moves every outstanding block back to the free list.
YAV_EXPORT void yav_allocator_gc(yav_allocator* allocator);

// A block of the allocator's block size, or null (no free block and not
// growable, or no memory).  A variable allocator gives a block of its
// initial block size.
// REQUIRES: allocator is not null.
YAV_EXPORT void* yav_alloc(yav_allocator* allocator);

// A block of at least size bytes, or null.  A null allocator mallocs the
// block with a header of its own (give it back with yav_free(nullptr, p)).
// A fixed-size allocator serves requests up to its block size.
YAV_EXPORT void* yav_alloc_var(yav_allocator* allocator, size_t size);

// Resizes a block of yav_alloc_var.  A null ptr allocates; newSize 0 frees
// and gives null; a block already large enough is returned unchanged;
// otherwise the content is kept in a larger block.  On failure null is
// returned and ptr stays valid.
YAV_EXPORT void* yav_realloc_var(yav_allocator* allocator, void* ptr, size_t newSize);

// A copy of size bytes of src in a block of the allocator; null when size
// is 0 or on failure.
YAV_EXPORT void* yav_alloc_dup(yav_allocator* allocator, const void* src, size_t size);

// Gives a block back.  Null is ignored.  With a debug flag set, a block the
// allocator has not handed out aborts the process with a line on standard
// output; a block of another allocator aborts through yav_assert_fail.
YAV_EXPORT void yav_free(yav_allocator* allocator, void* ptr);

// Checks the end pattern of every block; corruption aborts the process.
// Does nothing for an allocator without guards.
YAV_EXPORT void yav_allocator_check_guards(yav_allocator* allocator);

// Sets the period of the allocator's guard checker (when it has one) and
// wakes it so the new period applies at once.  YAV_S_INVALID_VALUE for a
// negative or all-zero period.
YAV_EXPORT yav_status_t yav_alloc_set_guard_checker_period(yav_allocator* allocator,
                                                           const struct timespec* period);

// Sets the statistics reporter's period in seconds (default 300).
// YAV_S_INVALID_VALUE unless seconds > 0.
YAV_EXPORT yav_status_t yav_allocator_set_stats_period(long seconds);

// Writes the statistics of every registered allocator now, the way the
// reporter thread does each period.
YAV_EXPORT void yav_allocator_report_stats();

// The statistics registry (allocators with YAV_ALLOC_STATS).  register
// starts the reporter thread on first use (YAV_S_THREAD_INIT when it cannot
// be started); unregister is a no-op for an allocator not registered.
yav_status_t yav_alloc_stats_register(yav_allocator* allocator);
void yav_alloc_stats_unregister(yav_allocator* allocator);

// A copy of the counters, taken under the allocator's lock when it has one.
YAV_EXPORT void yav_allocator_get_stats(yav_allocator* allocator, yav_alloc_stats* stats);

// The allocator's name: the message text of its name code, or "<unknown>".
YAV_EXPORT const char* yav_allocator_name(const yav_allocator* allocator);

// Writes the formatted line to standard output and aborts the process.
// Used for guard corruption and for frees of blocks the allocator did not
// hand out.
[[noreturn]] void yav_alloc_abort(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif  // YAV_CORE_MEMORY_YAV_ALLOC_H
