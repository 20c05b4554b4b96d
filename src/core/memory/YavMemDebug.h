// YavMemDebug: which debugging aids the allocators of a given name get.
//
// Allocator names are dotted paths (the message text of the allocator's name
// code); a setting for a name applies to every name below it unless a
// nearer name says otherwise.  Two lists steer it: names excluded from
// debugging and names to debug (page protection).  When no name on the path
// is listed, allocators get statistics if those are enabled for all.
//
// initialize() fills the settings from the "debug" stanza of the
// configuration manager's file (memory-off, memory-on, memory-stats,
// memory-stats-period); tests and programs may set them directly.  The
// settings are process-wide; one mutex guards them, so every function may
// be called from any thread.  Allocators read their flags once, when they
// are created.  Static only: not instantiable.
#ifndef YAV_CORE_MEMORY_YAVMEMDEBUG_H
#define YAV_CORE_MEMORY_YAVMEMDEBUG_H

#include <stddef.h>

#include "core/sundry/yav_base.h"

class YavConfigMgr;

class YAV_EXPORT YavMemDebug {
  public:
    YavMemDebug() = delete;

    // The yav_allocator flags to add for an allocator named by nameCode:
    // 0 for an excluded name, YAV_ALLOC_PAGE_PROTECT for a debugged one
    // (and a debug line naming it), else YAV_ALLOC_STATS when statistics are
    // enabled for all, else 0.  The nearest listed name on the path wins;
    // at one name, exclusion wins.
    static uint32_t flags(yav_status_t nameCode);

    // Replace the lists with copies of count names.  YAV_S_NO_MEMORY leaves
    // the old list in place.
    // REQUIRES: names has count non-null entries (names may be null when
    // count is 0).
    static yav_status_t setDebugNames(const char* const* names, size_t count);
    static yav_status_t setExcludedNames(const char* const* names, size_t count);

    // Statistics for every allocator not otherwise listed.
    static void setStatsEnabled(bool enabled);
    static bool statsEnabled();

    // Hands the period to the statistics reporter (yav_allocator_set_stats_period).
    static yav_status_t setStatsPeriod(long seconds);

    // Registers the "YavMemDebug" schema (validated) with mgr, loads the
    // entries memory-on, memory-off, memory-stats (default "false") and
    // memory-stats-period of the stanza "debug" and applies them: each list
    // that is given replaces the current one, the statistics switch is set,
    // and a given period goes to setStatsPeriod.  0 or the first failure;
    // settings applied before a failure stay.
    static yav_status_t initialize(YavConfigMgr& mgr);

    // Empties both lists and disables statistics.
    static void reset();
};

#endif  // YAV_CORE_MEMORY_YAVMEMDEBUG_H
