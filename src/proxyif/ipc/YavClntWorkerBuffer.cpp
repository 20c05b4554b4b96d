#include "proxyif/ipc/YavClntWorkerBuffer.h"

#include <sys/sem.h>

#include <cerrno>
#include <climits>

#include "core/msg/yav_status.h"
#include "proxyif/framework/YavProxyIFLog.h"
#include "proxyif/ipc/YavSharedMem.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/YavSysVSemHelper.h"

YavClassAllocator YavClntWorkerBuffer::m_allocator(YAV_N_CLIENT_WORKER_BUFFER, 12);

YavClntWorkerBuffer* YavClntWorkerBuffer::create() {
    return m_allocator.make<YavClntWorkerBuffer>();
}

void YavClntWorkerBuffer::deleteMe() { m_allocator.destroy(this); }

YavSharedMemAllocator* YavClntWorkerBuffer::getRequestAllocator() {
    if (m_segment == nullptr) return nullptr;
    getHeader()->reqStartOffset = static_cast<int32_t>(m_reqStart);
    YavSharedMemAllocator* a = nullptr;
    if (YavSharedMemAllocator::create(&a) != 0 || a == nullptr) return nullptr;
    if (a->initialize(*m_segment, m_reqStart, m_reqSize) != 0) {
        a->deleteMe();
        return nullptr;
    }
    return a;
}

yav_status_t YavClntWorkerBuffer::writeRequest(int type, YavSharedMemAllocator& a) {
    if (m_segment == nullptr || a.getSegment() != m_segment || a.getStart() != m_reqStart) {
        return YAV_S_INVALID_PARAMETER;
    }
    unsigned length = a.getCurrent() - a.getStart();
    uint64_t resultStart = yav_worker_result_start(m_reqStart, length);
    yav_worker_buffer_header* header = getHeader();
    header->reqType = type;
    header->reqLength = static_cast<int32_t>(length);
    header->resType = 0;
    header->resLength = 0;
    header->resStartOffset = static_cast<int32_t>(resultStart);
    YAV_PROXYIF_TRACE(
        "Wrote request --> Start Offset = %d, Length = %d\n, Result Start Offset = %d\n",
        static_cast<int>(m_reqStart), static_cast<int>(length), static_cast<int>(resultStart));
    return 0;
}

yav_status_t YavClntWorkerBuffer::signalRequest() {
    if (m_info == nullptr) return YAV_S_IPC_INVALID_WORKER_BUFFER;
    return YavSysVSemHelper::signal(m_info->semId, static_cast<unsigned>(m_info->reqSemNum), 1);
}

yav_status_t YavClntWorkerBuffer::resetResultAndSignalRequest() {
    if (m_info == nullptr) return YAV_S_IPC_INVALID_WORKER_BUFFER;
    const int semId = m_info->semId;
    const int32_t reqSemNum = m_info->reqSemNum;
    const int32_t resSemNum = m_info->resSemNum;
    if (reqSemNum < 0 || reqSemNum > USHRT_MAX || resSemNum < 0 || resSemNum > USHRT_MAX) {
        return YAV_S_INVALID_PARAMETER;
    }
    struct sembuf ops[2];
    ops[0].sem_num = static_cast<unsigned short>(resSemNum);
    ops[0].sem_op = 0;
    ops[0].sem_flg = IPC_NOWAIT;
    ops[1].sem_num = static_cast<unsigned short>(reqSemNum);
    ops[1].sem_op = 1;
    ops[1].sem_flg = 0;
    // Neither operation can sleep, so no interruption to repeat.
    if (semop(semId, ops, 2) == 0) return 0;
    if (errno != EAGAIN) return YavSysVSemHelper::mapError(errno);
    yav_status_t st = resetResult();
    if (st == 0) st = signalRequest();
    return st;
}

yav_status_t YavClntWorkerBuffer::waitResult() {
    if (m_info == nullptr) return YAV_S_IPC_INVALID_WORKER_BUFFER;
    return YavSysVSemHelper::wait(m_info->semId, static_cast<unsigned>(m_info->resSemNum), 1);
}

yav_status_t YavClntWorkerBuffer::resetResult() {
    if (m_info == nullptr) return YAV_S_IPC_INVALID_WORKER_BUFFER;
    return YavSysVSemHelper::setValue(m_info->semId, static_cast<unsigned>(m_info->resSemNum), 0);
}

yav_status_t YavClntWorkerBuffer::readResult(int& type, YavSharedMemIterator** it) {
    *it = nullptr;
    if (m_info == nullptr) return YAV_S_IPC_INVALID_WORKER_BUFFER;
    yav_worker_buffer_header* header = getHeader();
    if (header->workerId != m_info->workerId) return YAV_S_IPC_INVALID_WORKER_BUFFER;
    // The server wrote these: the result must lie inside this worker's
    // buffer, after its header.
    int32_t start = header->resStartOffset;
    int32_t length = header->resLength;
    if (start < 0 || length < 0 || static_cast<uint64_t>(start) < m_reqStart ||
        static_cast<uint64_t>(start) + static_cast<uint64_t>(length) > getBufferEnd()) {
        return YAV_S_IPC_NO_MORE_SEGMENTS;
    }
    type = header->resType;
    YavSharedMemIterator* iterator = nullptr;
    yav_status_t st = YavSharedMemIterator::create(&iterator);
    if (st != 0 || iterator == nullptr) return YAV_S_NO_MEMORY;
    st = iterator->initialize(*m_segment, static_cast<unsigned>(start),
                              static_cast<unsigned>(length));
    if (st != 0) {
        iterator->deleteMe();
        return st;
    }
    *it = iterator;
    return 0;
}
