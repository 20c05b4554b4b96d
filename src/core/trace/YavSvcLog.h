// YavSvcLog: a YavLog that hands its text to the serviceability layer as a
// debug record of one sub-component of a serviceability handle.
//
// The severity chooses the debug level of the record: a trace line of
// level n (severity TRACE n) becomes a record of level n, so the
// sub-component's debug level filters it exactly as the trace's level
// does; INFO, WARNING and ERROR lines (which are not debug output by
// nature, but reach this log only through traces and front ends) become
// records of level 1, the lowest enabled debug level; trace levels above 9
// (the highest debug level) become 9.  The component name
// is not part of the record: the sub-component names it already.  The
// serviceability layer adds time, thread and location itself, so the text
// goes as it is, and the local-code-page flag is ignored.
//
// Memory: the handle belongs to the serviceability layer and outlives the
// log.  Threads: no mutable state; any thread may log.  Not copyable.
#ifndef YAV_CORE_TRACE_YAVSVCLOG_H
#define YAV_CORE_TRACE_YAVSVCLOG_H

#include "core/sundry/yav_base.h"
#include "core/svc/kr_svc.h"
#include "core/trace/YavLog.h"

class YAV_EXPORT YavSvcLog : public YavLog {
  public:
    // REQUIRES: handle is not null.
    YavSvcLog(kr_svc_handle_t handle, unsigned subcomponent)
        : m_handle(handle), m_subcomponent(subcomponent) {}

    void logImpl(int severity, const char* file, int line, const char* component,
                 const YavStringRef& text) override;

    kr_svc_handle_t getHandle() const { return m_handle; }
    unsigned getSubcomponent() const { return m_subcomponent; }

    // The debug level of a record for a line of this severity.
    static unsigned debugLevel(int severity);

  private:
    kr_svc_handle_t m_handle;
    unsigned m_subcomponent;
};

#endif  // YAV_CORE_TRACE_YAVSVCLOG_H
