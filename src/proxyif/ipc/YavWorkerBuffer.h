// YavWorkerBuffer: one worker's buffer in the worker segment, seen through
// its worker_info record.
//
// The buffer (memSize bytes at memStartOffset) starts with a 32-byte
// yav_worker_buffer_header, then the request region, then the result
// region.  The request region starts at memStartOffset + pad + 32 with
// pad = (4 - memStartOffset mod 4) mod 4; the result region starts at the
// request start + request length rounded up to a multiple of 4.
//
// The values of the worker_info record come from the authorization server,
// another process: initialize() checks that the buffer lies inside the
// worker segment and keeps the checked offset and size, so later accesses
// never leave the segment even when the record changes.
//
// Memory: the segment and the worker_info record belong to the worker pool;
// the buffer only points at them and is valid while the pool stays attached.
//
// Threads: a buffer belongs to the one thread that took the worker.  Not
// copyable.
#ifndef YAV_PROXYIF_IPC_YAVWORKERBUFFER_H
#define YAV_PROXYIF_IPC_YAVWORKERBUFFER_H

#include <cstdint>

#include "core/sundry/yav_base.h"
#include "proxyif/ipc/YavWorkerPool.h"

class YavSharedMem;

// Computes the request region of a worker buffer of memSize bytes at
// memStartOffset in a segment of segSize bytes.  False when the buffer
// does not lie within the segment or has no room for its header.
bool yav_worker_request_region(int32_t memStartOffset, int32_t memSize, uint64_t segSize,
                               unsigned* reqStart, unsigned* reqSize);

// The result start offset that follows a request of reqLength bytes at
// reqStart: reqStart + reqLength rounded up to a multiple of 4.
inline uint64_t yav_worker_result_start(uint64_t reqStart, uint64_t reqLength) {
    return (reqStart + reqLength + 3) & ~static_cast<uint64_t>(3);
}

class YavWorkerBuffer {
  public:
    YavWorkerBuffer() = default;
    virtual ~YavWorkerBuffer() = default;
    YAV_DISALLOW_COPY(YavWorkerBuffer);

    // Records the worker and its segment and writes the buffer's attributes
    // to the trace.  YAV_S_IPC_INVALID_WORKER_BUFFER when the record's
    // buffer does not lie inside the segment (nothing recorded then).
    yav_status_t initialize(worker_info* info, YavSharedMem& seg);

    worker_info* getInfo() const { return m_info; }
    YavSharedMem* getSegment() const { return m_segment; }
    // The buffer's header in the mapped segment.
    // REQUIRES: initialized.
    yav_worker_buffer_header* getHeader() const;
    // The checked request region (offsets from the segment base).
    unsigned getRequestStart() const { return m_reqStart; }
    unsigned getRequestSize() const { return m_reqSize; }
    // One past the buffer's last byte (offset from the segment base).
    uint64_t getBufferEnd() const { return static_cast<uint64_t>(m_reqStart) + m_reqSize; }

  protected:
    YavSharedMem* m_segment = nullptr;
    worker_info* m_info = nullptr;
    unsigned m_reqStart = 0;
    unsigned m_reqSize = 0;
};

#endif  // YAV_PROXYIF_IPC_YAVWORKERBUFFER_H
