#include "proxyif/ipc/YavWorkerBuffer.h"

#include "core/msg/yav_status.h"
#include "proxyif/framework/YavProxyIFLog.h"
#include "proxyif/ipc/YavSharedMem.h"

bool yav_worker_request_region(int32_t memStartOffset, int32_t memSize, uint64_t segSize,
                               unsigned* reqStart, unsigned* reqSize) {
    if (memStartOffset < 0 || memSize < 0) return false;
    uint64_t start = static_cast<uint64_t>(memStartOffset);
    uint64_t size = static_cast<uint64_t>(memSize);
    uint64_t pad = (4 - start % 4) % 4;
    uint64_t overhead = pad + sizeof(yav_worker_buffer_header);
    if (size < overhead || start + size > segSize) return false;
    *reqStart = static_cast<unsigned>(start + overhead);
    *reqSize = static_cast<unsigned>(size - overhead);
    return true;
}

yav_status_t YavWorkerBuffer::initialize(worker_info* info, YavSharedMem& seg) {
    // The record belongs to another process: read it once and check it.
    int32_t memStart = info->memStartOffset;
    int32_t memSize = info->memSize;
    unsigned reqStart = 0;
    unsigned reqSize = 0;
    if (seg.getBase() == nullptr ||
        !yav_worker_request_region(memStart, memSize, seg.getSize(), &reqStart, &reqSize)) {
        return YAV_S_IPC_INVALID_WORKER_BUFFER;
    }
    m_segment = &seg;
    m_info = info;
    m_reqStart = reqStart;
    m_reqSize = reqSize;
    YAV_PROXYIF_TRACE("Initialized worker buffer with the following attributes\n");
    YAV_PROXYIF_TRACE("shmId = %d\n", seg.getId());
    YAV_PROXYIF_TRACE("memSize = %d\n", memSize);
    YAV_PROXYIF_TRACE("memStartOffset = %d\n", memStart);
    YAV_PROXYIF_TRACE("semId = %d\n", info->semId);
    YAV_PROXYIF_TRACE("reqSemNum = %d\n", info->reqSemNum);
    YAV_PROXYIF_TRACE("resSemNum = %d\n", info->resSemNum);
    YAV_PROXYIF_TRACE("****************");
    return 0;
}

yav_worker_buffer_header* YavWorkerBuffer::getHeader() const {
    char* base = static_cast<char*>(m_segment->getBase());
    return reinterpret_cast<yav_worker_buffer_header*>(base + m_reqStart -
                                                       sizeof(yav_worker_buffer_header));
}
