// YavTraceRegistry: the process-wide set of named traces.
//
// Components find their trace by name ("tessaro.http") and the
// configuration steers the levels by name.  registerSvc binds the
// registry to a serviceability handle: each named sub-component of the
// handle gets a trace of the same name, at the sub-component's debug level,
// writing through a YavSvcLog of that sub-component; later debug-level
// changes made through the serviceability layer reach the trace of the
// same name through a notification callback.
//
// A name is registered once: add() for a name already present returns the
// trace that holds it, unchanged (change it with setLevel / setLog).
//
// Memory: the registry owns its traces (and through them the logs they
// own); remove() and shutdown() delete them.  The registry itself is never
// destroyed, so that late callers find an empty registry, not freed memory.
//
// Threads: m_lock (a read-write lock) guards the list: add, remove,
// registerSvc and shutdown take it for writing; get and setLevel for
// reading (levels are atomic, the list does not change).  A trace pointer
// from add or get stays valid until its trace is removed.
// REQUIRES: remove and shutdown run only when no thread still uses the
// trace they delete.  Not copyable.
#ifndef YAV_CORE_TRACE_YAVTRACEREGISTRY_H
#define YAV_CORE_TRACE_YAVTRACEREGISTRY_H

#include <pthread.h>

#include <cstddef>

#include "core/list/YavSearchableList.h"
#include "core/sundry/yav_base.h"
#include "core/svc/kr_svc.h"
#include "core/trace/YavLog.h"
#include "core/trace/YavTrace.h"
#include "core/trace/YavTraceKey.h"

class YAV_EXPORT YavTraceRegistry {
  public:
    // The process-wide registry, made on first use.
    static YavTraceRegistry& instance();

    // Prepares the per-thread details of traces (YavTrace::initOnce).
    // 0 or its failure; calling again is harmless.
    yav_status_t initialize();
    // Removes every trace, deleting the logs they own.
    void shutdown();

    // The trace named component, made at level with log (not owned) when
    // there is none yet.  Null when component is null or memory ran out.
    YavTrace* add(const char* component, int level, YavLog* log);
    // Deletes the named trace.  0, or YAV_S_NOT_AVAILABLE when there is none.
    yav_status_t remove(const char* component);
    // The named trace, or null.
    YavTrace* get(const char* component) const;
    // Sets the level of every trace.
    void setLevel(int level);
    // Sets the level of the named trace.  0, or YAV_S_NOT_AVAILABLE.
    yav_status_t setLevel(const char* component, int level);
    // Number of traces.
    size_t count() const;

    // Adds a trace for every named sub-component of handle (see above) and
    // registers for its debug-level changes.  A trace that exists already
    // takes the sub-component's level, and a YavSvcLog when it has no log.
    // 0, or YAV_S_NO_MEMORY (traces added before the failure stay).
    // REQUIRES: handle is not null.
    yav_status_t registerSvc(kr_svc_handle_t handle);

    // The trace name of a serviceability name code (the code's message
    // text) into name.  False when no text could be had.
    static bool svcTraceName(uint32_t nameCode, YavString& name);

  private:
    YavTraceRegistry();
    ~YavTraceRegistry() = delete;
    YAV_DISALLOW_COPY(YavTraceRegistry);

    static void svcLevelChanged(uint32_t nameCode, unsigned level);
    YavTrace* findLocked(const char* component) const;

    mutable pthread_rwlock_t m_lock = PTHREAD_RWLOCK_INITIALIZER;
    YavSearchableList<YavTrace, YavTraceKey> m_traces;  // owning; guarded by m_lock
};

#endif  // YAV_CORE_TRACE_YAVTRACEREGISTRY_H
