// The library-wide shutdown: releases the state that libyav's shared
// layers keep for the whole process.
//
// yav_shutdown first frees the per-thread error-text buffers (this
// folder's own state), then calls the release hooks that the other layers
// registered, in the fixed order of yav_shutdown_stage.  A layer registers
// its hook when it sets up its state; hooks stay registered and must
// tolerate being called when their state is already released (yav_shutdown
// may run more than once).
//
// Registration may happen from any thread.  yav_shutdown itself
// REQUIRES: no other thread uses libyav while it runs.
#ifndef YAV_CORE_SYSTEM_YAV_SHUTDOWN_H
#define YAV_CORE_SYSTEM_YAV_SHUTDOWN_H

#include "core/sundry/yav_base.h"

// The stages after the error buffers, in the order yav_shutdown runs them.
enum yav_shutdown_stage {
    yav_shutdown_routine_trace = 0,  // routine-trace state
    yav_shutdown_trace,              // trace state
    yav_shutdown_messages,           // message layer
    yav_shutdown_svc,                // serviceability layer, always last
    yav_shutdown_stage_count
};

typedef void (*yav_shutdown_hook_t)();

// Sets the hook of a stage, replacing any earlier one; null clears it.
// YAV_S_INVALID_VALUE for a stage outside the enumeration.
YAV_EXPORT yav_status_t yav_shutdown_register(yav_shutdown_stage stage, yav_shutdown_hook_t hook);

YAV_EXPORT void yav_shutdown();

#endif  // YAV_CORE_SYSTEM_YAV_SHUTDOWN_H
