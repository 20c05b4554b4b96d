#include "proxyif/ipc/YavSysVSemHelper.h"

#include <errno.h>
#include <limits.h>
#include <pthread.h>

#include "core/msg/yav_status.h"

namespace {

// The fourth argument of semctl, which the caller defines.
union yav_semun {
    int val;
    struct semid_ds* buf;
    unsigned short* array;
};

}  // namespace

const struct sembuf YavSysVSemHelper::LOCK_OP[2] = {{0, 0, 0}, {0, 1, SEM_UNDO}};
const struct sembuf YavSysVSemHelper::UNLOCK_OP[1] = {{0, -1, SEM_UNDO}};
const struct sembuf YavSysVSemHelper::WAIT_OP[1] = {{1, -1, SEM_UNDO}};
const struct sembuf YavSysVSemHelper::SIGNAL_OP[1] = {{1, 1, SEM_UNDO}};

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
