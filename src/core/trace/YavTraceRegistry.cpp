#include "core/trace/YavTraceRegistry.h"

#include <stdlib.h>

#include <new>

#include "core/msg/kr_msg.h"
#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "core/threads/yavthread.h"
#include "core/trace/YavSvcLog.h"

namespace {

// Storage for the registry, which is placed there once and never destroyed.
alignas(YavTraceRegistry) unsigned char s_storage[sizeof(YavTraceRegistry)];

}  // namespace

YavTraceRegistry::YavTraceRegistry() : m_traces(nullptr, true) {}

YavTraceRegistry& YavTraceRegistry::instance() {
    static YavTraceRegistry* const registry = new (s_storage) YavTraceRegistry();
    return *registry;
}

yav_status_t YavTraceRegistry::initialize() { return YavTrace::initOnce(); }

void YavTraceRegistry::shutdown() {
    YavWriteLock lock(&m_lock);
    m_traces.delEntries();
}

YavTrace* YavTraceRegistry::findLocked(const char* component) const {
    return m_traces.findValue(YavTraceKey(YavStringRef(component)));
}

YavTrace* YavTraceRegistry::add(const char* component, int level, YavLog* log) {
    if (component == nullptr) return nullptr;
    YavWriteLock lock(&m_lock);
    YavTrace* trace = findLocked(component);
    if (trace != nullptr) return trace;
    trace = new (std::nothrow) YavTrace(level, component, log);
    if (trace == nullptr) return nullptr;
    if (!trace->ok() || m_traces.append(trace) != 0) {
        delete trace;
        return nullptr;
    }
    return trace;
}

yav_status_t YavTraceRegistry::remove(const char* component) {
    if (component == nullptr) return YAV_S_NOT_AVAILABLE;
    YavTrace* trace;
    {
        YavWriteLock lock(&m_lock);
        trace = findLocked(component);
        if (trace == nullptr) return YAV_S_NOT_AVAILABLE;
        m_traces.remove(trace);
    }
    delete trace;
    return 0;
}

YavTrace* YavTraceRegistry::get(const char* component) const {
    if (component == nullptr) return nullptr;
    YavReadLock lock(&m_lock);
    return findLocked(component);
}

void YavTraceRegistry::setLevel(int level) {
    YavReadLock lock(&m_lock);
    for (auto it = m_traces.begin(); it != m_traces.end(); ++it) (*it)->setLevel(level);
}

yav_status_t YavTraceRegistry::setLevel(const char* component, int level) {
    if (component == nullptr) return YAV_S_NOT_AVAILABLE;
    YavReadLock lock(&m_lock);
    YavTrace* trace = findLocked(component);
    if (trace == nullptr) return YAV_S_NOT_AVAILABLE;
    trace->setLevel(level);
    return 0;
}

size_t YavTraceRegistry::count() const {
    YavReadLock lock(&m_lock);
    return m_traces.count();
}

bool YavTraceRegistry::svcTraceName(uint32_t nameCode, YavString& name) {
    uint32_t status = 0;
    char* text = kr_msg_get_msg_utf8(nameCode, &status);
    bool ok;
    if (text != nullptr && status == 0) {
        ok = name.set(text);
    } else {
        const char* builtIn = kr_msg_get_default_msg(nameCode);
        ok = builtIn != nullptr && name.set(builtIn);
    }
    free(text);
    return ok;
}

void YavTraceRegistry::svcLevelChanged(uint32_t nameCode, unsigned level) {
    YavString name;
    if (!svcTraceName(nameCode, name)) return;
    // A name without a trace (removed, or never registered) is no error.
    instance().setLevel(name.getData(), static_cast<int>(level));
}

yav_status_t YavTraceRegistry::registerSvc(kr_svc_handle_t handle) {
    // The callback goes in first and the levels are read under the write
    // lock: a change that races with the registration is either read here
    // or applied by the callback once the lock is free.
    kr_svc_set_debug_notify(handle, &YavTraceRegistry::svcLevelChanged);
    YavWriteLock lock(&m_lock);
    unsigned count = kr_svc_subcomp_count(handle);
    for (unsigned subcomponent = 0; subcomponent < count; ++subcomponent) {
        uint32_t nameCode = kr_svc_subcomp_name_code(handle, subcomponent);
        if (nameCode == 0) continue;  // an unnamed sub-component has no trace
        YavString name;
        if (!svcTraceName(nameCode, name)) return YAV_S_NO_MEMORY;
        int level = static_cast<int>(kr_svc_debug_level(handle, subcomponent));

        YavTrace* trace = findLocked(name.getData());
        bool added = false;
        if (trace == nullptr) {
            trace = new (std::nothrow) YavTrace(level, name.getData(), nullptr);
            if (trace == nullptr) return YAV_S_NO_MEMORY;
            if (!trace->ok() || m_traces.append(trace) != 0) {
                delete trace;
                return YAV_S_NO_MEMORY;
            }
            added = true;
        }
        trace->setLevel(level);
        if (trace->getLog() == nullptr) {
            YavSvcLog* log = new (std::nothrow) YavSvcLog(handle, subcomponent);
            if (log == nullptr) {
                if (added) {
                    m_traces.remove(trace);
                    delete trace;
                }
                return YAV_S_NO_MEMORY;
            }
            trace->setLog(log, true);
        }
    }
    return 0;
}
