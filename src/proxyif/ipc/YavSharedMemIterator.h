// YavSharedMemIterator: reads, in place, the chain of elements that a
// YavSharedMemAllocator (or the authorization server) wrote into a region
// of a segment.
//
// The region may come from another process and must not be trusted.  The
// iterator only ever reads inside the region and the segment's recorded
// size, and it only moves forward: an element's next offset is accepted
// only when it lies at or beyond the end of the element's data, at a
// multiple of 4 from the region's start, with room for a header before the
// region's end.  Offsets therefore grow strictly, so a chain cannot loop.
// A chain that breaks these rules, or an element whose length runs past
// the region, gives YAV_S_IPC_NO_MORE_SEGMENTS: elements before the fault
// are delivered, the call that reaches the fault fails once, and after it
// hasMoreElements() is false (so no loop over the iterator can spin).
// Lengths and offsets are computed in 64 bits, so no 32-bit value wraps.
//
// Objects are plain objects or made by create() in the class's caching
// allocator m_allocator and given back with deleteMe().
//
// Memory: data pointers point into the segment; they stay valid while the
// segment stays attached and the worker buffer is held.  Owns nothing.
// Threads: one thread at a time.  Not copyable.
#ifndef YAV_PROXYIF_IPC_YAVSHAREDMEMITERATOR_H
#define YAV_PROXYIF_IPC_YAVSHAREDMEMITERATOR_H

#include "core/memory/YavClassAllocator.h"
#include "core/sundry/yav_base.h"
#include "proxyif/ipc/YavSharedMem.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"

class YAV_EXPORT YavSharedMemIterator {
  public:
    YavSharedMemIterator() = default;
    virtual ~YavSharedMemIterator();
    YAV_DISALLOW_COPY(YavSharedMemIterator);

    // Makes an iterator in m_allocator; *out is null on failure.
    // 0 or YAV_S_NO_MEMORY.  REQUIRES: m_allocator acquired (asserted).
    static yav_status_t create(YavSharedMemIterator** out);
    // Gives an object made by create() back.  REQUIRES: made by create().
    virtual void deleteMe();

    // Iterates the region [start, start + size) of seg; a region of fewer
    // than 8 bytes holds no element.  YAV_S_INVALID_PARAMETER (and no
    // element) when seg is not attached or the region does not lie inside
    // its recorded size; else 0.
    yav_status_t initialize(YavSharedMem& seg, unsigned start, unsigned size);
    // Iterates what a has written so far (its region start up to its
    // current offset, never past its region).  Same statuses.
    yav_status_t initialize(YavSharedMemAllocator* a);

    // True while getNextElement has something to answer: an element, or
    // the one failure of a broken chain.
    bool hasMoreElements() const { return m_header != nullptr || m_broken; }
    // Delivers the current element's length and data address and moves on.
    // YAV_S_IPC_NO_MORE_SEGMENTS at the end or on a broken chain.
    yav_status_t getNextElement(unsigned* len, void** data);

    // *len = start + size and *offset = start; when dst is given, copies
    // the first start + size bytes of the segment to offset 0 of dst
    // (through dst->write).  0, YAV_S_INVALID_PARAMETER before initialize,
    // or the status of the write.
    yav_status_t copyRaw(YavSharedMem* dst, int* len, int* offset);

    YavSharedMem* getSegment() const { return m_segment; }
    unsigned getStart() const { return m_start; }
    unsigned getSize() const { return m_size; }
    unsigned getCurrentOffset() const { return m_current; }

    // The caching allocator of the class (name YAV_N_SHMEM_ITERATOR).
    static YavClassAllocator m_allocator;

  private:
    YavSharedMem* m_segment = nullptr;
    unsigned char* m_header = nullptr;  // current element's header, null at the end
    unsigned m_start = 0;
    unsigned m_size = 0;
    unsigned m_current = 0;
    bool m_broken = false;  // the chain is broken here; the next call fails once
    bool m_pooled = false;  // made by create()
};

#endif  // YAV_PROXYIF_IPC_YAVSHAREDMEMITERATOR_H
