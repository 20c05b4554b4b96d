#include "proxyif/ipc/YavSysVSemHelper.h"

#include <errno.h>
#include <limits.h>
#include <pthread.h>

#include <atomic>

#include "core/msg/yav_status.h"

namespace {

// The fourth argument of semctl, which the caller defines.
union yav_semun {
    int val;
    struct semid_ds* buf;
    unsigned short* array;
    struct seminfo* info;
};

// The value the kernel's SEMVMX has on every System V implementation that
// does not report it.
const int kDefaultMaxValue = 32767;

std::atomic<int> g_maxValue{0};

}  // namespace

const struct sembuf YavSysVSemHelper::LOCK_OP[2] = {{0, 0, 0}, {0, 1, SEM_UNDO}};
const struct sembuf YavSysVSemHelper::UNLOCK_OP[1] = {{0, -1, SEM_UNDO}};
const struct sembuf YavSysVSemHelper::WAIT_OP[1] = {{1, -1, SEM_UNDO}};
const struct sembuf YavSysVSemHelper::SIGNAL_OP[1] = {{1, 1, SEM_UNDO}};
const struct sembuf YavSysVSemHelper::WAIT_LOCK_OP[3] = {
    {1, -1, SEM_UNDO}, {0, 0, 0}, {0, 1, SEM_UNDO}};
const struct sembuf YavSysVSemHelper::TRY_WAIT_LOCK_OP[3] = {
    {1, -1, SEM_UNDO | IPC_NOWAIT}, {0, 0, IPC_NOWAIT}, {0, 1, SEM_UNDO}};

yav_status_t YavSysVSemHelper::mapError(int err) {
    switch (err) {
        case ENOENT:
            return YAV_S_IPC_NO_SEGMENT;
        case EINTR:
            return YAV_S_IPC_INTERRUPTED;
        case EAGAIN:
            return YAV_S_IPC_WOULD_BLOCK;
        case ENOMEM:
            return YAV_S_IPC_NO_MEMORY;
        case EACCES:
            return YAV_S_IPC_ACCESS_DENIED;
        case EEXIST:
            return YAV_S_IPC_KEY_EXISTS;
        case EINVAL:
            return YAV_S_IPC_INVALID_ID;
        case EMFILE:
            return YAV_S_IPC_SEGMENT_LIMIT;
        case ENOSPC:
            return YAV_S_IPC_SYSTEM_LIMIT;
        case EIDRM:
            return YAV_S_IPC_KEY_REMOVED;
        default:
            return YAV_S_IPC_INTERNAL;
    }
}

yav_status_t YavSysVSemHelper::wait(int semId, unsigned semNum, unsigned count) {
    if (count > SHRT_MAX || semNum > USHRT_MAX) return YAV_S_INVALID_PARAMETER;
    struct sembuf op;
    op.sem_num = static_cast<unsigned short>(semNum);
    op.sem_op = static_cast<short>(-static_cast<int>(count));
    op.sem_flg = 0;
    for (;;) {
        if (semop(semId, &op, 1) == 0) return 0;
        if (errno != EINTR) return mapError(errno);
        // A signal ended the sleep, not the wait; honour a pending
        // cancellation before sleeping again.
        pthread_testcancel();
    }
}

yav_status_t YavSysVSemHelper::signal(int semId, unsigned semNum, unsigned count) {
    if (count > SHRT_MAX || semNum > USHRT_MAX) return YAV_S_INVALID_PARAMETER;
    struct sembuf op;
    op.sem_num = static_cast<unsigned short>(semNum);
    op.sem_op = static_cast<short>(count);
    op.sem_flg = 0;
    if (semop(semId, &op, 1) == 0) return 0;
    return mapError(errno);
}

yav_status_t YavSysVSemHelper::doSemOps(int semId, const struct sembuf* ops, unsigned n) {
    if (semId == -1) return 0;
    // semop does not change the operations; glibc only lacks the const.
    if (semop(semId, const_cast<struct sembuf*>(ops), n) == 0) return 0;
    return mapError(errno);
}

yav_status_t YavSysVSemHelper::destroySemSet(int semId) {
    if (semId == -1) return 0;
    if (semctl(semId, 0, IPC_RMID) == 0) return 0;
    return mapError(errno);
}

yav_status_t YavSysVSemHelper::setValue(int semId, unsigned semNum, unsigned value) {
    if (semId == -1) return 0;
    if (value > INT_MAX) return YAV_S_INVALID_PARAMETER;
    yav_semun arg;
    arg.val = static_cast<int>(value);
    if (semctl(semId, static_cast<int>(semNum), SETVAL, arg) == 0) return 0;
    return mapError(errno);
}

yav_status_t YavSysVSemHelper::getValue(int semId, unsigned semNum, int* value) {
    int v = semctl(semId, static_cast<int>(semNum), GETVAL);
    if (v == -1) return mapError(errno);
    *value = v;
    return 0;
}

int YavSysVSemHelper::maxValue() {
    int value = g_maxValue.load(std::memory_order_relaxed);
    if (value > 0) return value;
    value = kDefaultMaxValue;
#if defined(IPC_INFO)
    struct seminfo info;
    yav_semun arg;
    arg.info = &info;
    if (semctl(0, 0, IPC_INFO, arg) != -1 && info.semvmx > 0) value = info.semvmx;
#endif
    g_maxValue.store(value, std::memory_order_relaxed);
    return value;
}

yav_status_t YavSysVSemHelper::opsAndRaiseBounded(int semId, const struct sembuf* ops, unsigned n,
                                                  unsigned semNum, bool undo, int max,
                                                  bool* atMax) {
    if (atMax != nullptr) *atMax = false;
    const int headroom = maxValue() - max;
    if (n > 4 || max <= 0 || headroom <= 0 || headroom > SHRT_MAX || semNum > USHRT_MAX) {
        return YAV_S_INVALID_PARAMETER;
    }
    struct sembuf all[7];
    for (unsigned i = 0; i < n; ++i) all[i] = ops[i];
    const unsigned short num = static_cast<unsigned short>(semNum);
    const short room = static_cast<short>(headroom);
    all[n] = {num, 1, static_cast<short>(undo ? SEM_UNDO : 0)};
    all[n + 1] = {num, room, 0};
    all[n + 2] = {num, static_cast<short>(-room), 0};
    for (;;) {
        if (semop(semId, all, n + 3) == 0) return 0;
        if (errno == ERANGE) {
            if (atMax != nullptr) *atMax = true;
            return 0;
        }
        if (errno != EINTR) return mapError(errno);
        pthread_testcancel();
    }
}
