// YavTraceKey: a component name used to find a YavTrace in a searchable
// list (compare gives 0 when the trace has exactly that name).
//
// The key refers to the caller's text and must not outlive it.  Copyable;
// one thread at a time (the reference may measure its text lazily).
#ifndef YAV_CORE_TRACE_YAVTRACEKEY_H
#define YAV_CORE_TRACE_YAVTRACEKEY_H

#include "core/buffers/YavString.h"
#include "core/trace/YavTrace.h"

class YavTraceKey {
  public:
    explicit YavTraceKey(const YavStringRef& name) : m_name(name) {}

    // <0, 0 or >0 as the key's name orders before, equal to or after the
    // trace's component name (byte order).
    int compare(const YavTrace& trace) const {
        return m_name.compare(YavStringRef(trace.getComponent()));
    }

  private:
    YavStringRef m_name;
};

#endif  // YAV_CORE_TRACE_YAVTRACEKEY_H
