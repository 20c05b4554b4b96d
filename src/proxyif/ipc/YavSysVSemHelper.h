// YavSysVSemHelper: static operations on System V semaphore sets and the
// mapping of System V errors to status codes.
//
// The operation tables are the pool's: LOCK_OP takes the pool lock
// (semaphore 0), UNLOCK_OP releases it, WAIT_OP takes one free worker
// (semaphore 1), SIGNAL_OP gives one back; all carry SEM_UNDO so the kernel
// reverts what a dying process held.  wait() and signal() (the per-worker
// request and result semaphores) carry no SEM_UNDO.
//
// Threads: holds no state; any thread may call anything.  wait() is a
// cancellation point only through pthread_testcancel after an interruption.
#ifndef YAV_PROXYIF_IPC_YAVSYSVSEMHELPER_H
#define YAV_PROXYIF_IPC_YAVSYSVSEMHELPER_H

#include <sys/sem.h>

#include "core/sundry/yav_base.h"

class YAV_EXPORT YavSysVSemHelper {
  public:
    YavSysVSemHelper() = delete;

    static const struct sembuf LOCK_OP[2];
    static const struct sembuf UNLOCK_OP[1];
    static const struct sembuf WAIT_OP[1];
    static const struct sembuf SIGNAL_OP[1];
    static constexpr unsigned LOCK_OP_COUNT = 2;
    static constexpr unsigned UNLOCK_OP_COUNT = 1;
    static constexpr unsigned WAIT_OP_COUNT = 1;
    static constexpr unsigned SIGNAL_OP_COUNT = 1;
    // WAIT_OP and LOCK_OP as one operation: blocks until a worker is free
    // and the lock is clear, then takes both at once.
    static const struct sembuf WAIT_LOCK_OP[3];
    // The same, failing with EAGAIN instead of blocking.
    static const struct sembuf TRY_WAIT_LOCK_OP[3];
    static constexpr unsigned WAIT_LOCK_OP_COUNT = 3;

    // The status of a System V errno (ENOENT -> YAV_S_IPC_NO_SEGMENT, EIDRM
    // -> YAV_S_IPC_KEY_REMOVED, EINVAL -> YAV_S_IPC_INVALID_ID, ...; any
    // errno not in the table -> YAV_S_IPC_INTERNAL).
    static yav_status_t mapError(int err);

    // Lowers semNum by count, blocking without time-out.  Interrupted by a
    // signal: pthread_testcancel() and wait again.  The set's removal gives
    // YAV_S_IPC_KEY_REMOVED; other failures are mapped.  A count above
    // SHRT_MAX is YAV_S_INVALID_PARAMETER.
    static yav_status_t wait(int semId, unsigned semNum, unsigned count);
    // Raises semNum by count (one semop, no repetition); failures mapped.
    static yav_status_t signal(int semId, unsigned semNum, unsigned count);
    // semop(semId, ops, n); semId -1 does nothing and returns 0.
    static yav_status_t doSemOps(int semId, const struct sembuf* ops, unsigned n);
    // Removes the set; -1 does nothing.
    static yav_status_t destroySemSet(int semId);
    // SETVAL; -1 does nothing.  A value above INT_MAX is
    // YAV_S_INVALID_PARAMETER.
    static yav_status_t setValue(int semId, unsigned semNum, unsigned value);
    // GETVAL into *value.  REQUIRES: value is not null.
    static yav_status_t getValue(int semId, unsigned semNum, int* value);

    // The largest value a semaphore can hold (the kernel's SEMVMX).
    static int maxValue();
    // One semop of the n operations in ops followed by a raise of semNum by
    // one (with SEM_UNDO when undo), all applied together or none, and only
    // if semNum does not end above max.  The bound is checked by the kernel
    // in the same operation: the raise is followed by a raise and a fall of
    // maxValue() - max, and the first of these fails with ERANGE when the
    // value would pass the kernel's limit, that is when semNum would pass
    // max.  *atMax (may be null) tells that nothing was applied because
    // semNum already held max; the status is then 0 (the undo adjustment's
    // own ERANGE, which takes a process some 32767 more raises than takes
    // with SEM_UNDO, reads the same).  The operations are
    // repeated when a signal interrupts them; other failures are mapped.
    // REQUIRES: n <= 4, 0 < max < maxValue(), and ops never raise semNum.
    static yav_status_t opsAndRaiseBounded(int semId, const struct sembuf* ops, unsigned n,
                                           unsigned semNum, bool undo, int max, bool* atMax);
};

#endif  // YAV_PROXYIF_IPC_YAVSYSVSEMHELPER_H
