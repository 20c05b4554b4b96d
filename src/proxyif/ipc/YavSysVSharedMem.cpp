#include "proxyif/ipc/YavSysVSharedMem.h"

#include <errno.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include "core/msg/yav_status.h"
#include "proxyif/framework/YavProxyIFLog.h"
#include "proxyif/ipc/YavSysVSemHelper.h"

YavSysVSharedMem::~YavSysVSharedMem() = default;

key_t YavSysVSharedMem::nameToKey(const char* name, char projId) {
    if (name == nullptr) return -1;
    return ftok(name, projId);
}

unsigned YavSysVSharedMem::roundUpToPageSize(unsigned n) {
    const unsigned long long page = static_cast<unsigned long long>(getpagesize());
    const unsigned long long rounded = (n + page - 1) / page * page;
    if (rounded > 0xFFFFFFFFull) return 0;
    return static_cast<unsigned>(rounded);
}

yav_status_t YavSysVSharedMem::create(const char* name, char projId, unsigned size) {
    key_t key = nameToKey(name, projId);
    if (key == -1) return YAV_S_IPC_KEY_CREATE;
    unsigned rounded = roundUpToPageSize(size);
    if (rounded == 0 && size != 0) return YAV_S_INVALID_PARAMETER;
    int id = shmget(key, rounded, IPC_CREAT | IPC_EXCL | 0660);
    if (id == -1) return YavSysVSemHelper::mapError(errno);
    yav_status_t status = attach(id);
    if (status != 0) return status;
    m_size = size;
    return 0;
}

yav_status_t YavSysVSharedMem::attach(const char* name, char projId) {
    key_t key = nameToKey(name, projId);
    if (key == -1) return YAV_S_IPC_KEY_CREATE;
    int id = shmget(key, 0, 0660);
    if (id == -1) return YavSysVSemHelper::mapError(errno);
    return attach(id);
}

yav_status_t YavSysVSharedMem::attach(int id) {
    void* base = shmat(id, nullptr, 0);
    if (base == reinterpret_cast<void*>(-1)) {
        int err = errno;
        YAV_PROXYIF_TRACE("Attach failed...\n");
        return YavSysVSemHelper::mapError(err);
    }
    // The real size bounds every later read and write: a size not known
    // yet (attached by name) or one larger than this segment is replaced.
    struct shmid_ds info;
    if (shmctl(id, IPC_STAT, &info) == -1) {
        int err = errno;
        shmdt(base);
        return YavSysVSemHelper::mapError(err);
    }
    if (m_size == 0 || m_size > info.shm_segsz) {
        m_size = info.shm_segsz > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<unsigned>(info.shm_segsz);
    }
    m_base = base;
    m_id = id;
    return 0;
}

yav_status_t YavSysVSharedMem::detach() {
    if (shmdt(m_base) == -1) return YavSysVSemHelper::mapError(errno);
    m_base = nullptr;
    return 0;
}

yav_status_t YavSysVSharedMem::destroy() {
    if (shmctl(m_id, IPC_RMID, nullptr) == -1) return YavSysVSemHelper::mapError(errno);
    return 0;
}
