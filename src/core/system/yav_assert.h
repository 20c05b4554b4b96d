// Internal-inconsistency checks.
//
// YAV_ASSERT is for conditions that cannot be false unless libyav itself is
// wrong (a null the design forbids, a failing lock, corrupted guard bytes).
// It is never used for bad input from a peer, a client or a file: such input
// yields a status code.  The check is kept in every build type.
#ifndef YAV_CORE_SYSTEM_YAV_ASSERT_H
#define YAV_CORE_SYSTEM_YAV_ASSERT_H

#include "core/sundry/yav_base.h"

// Writes "Assertion failed at <file>:<line>: <expression>\n" to standard
// error and aborts the process.
[[noreturn]] YAV_EXPORT void yav_assert_fail(const char* file, int line, const char* expression);

#define YAV_ASSERT(expr) \
    ((expr) ? static_cast<void>(0) : yav_assert_fail(__FILE__, __LINE__, #expr))

#endif  // YAV_CORE_SYSTEM_YAV_ASSERT_H
