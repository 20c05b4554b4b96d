// YavSharedMemAllocator: writes a message into a region of a shared segment
// as a chain of elements.
//
// Element layout (native byte order), each starting at a multiple of 4
// from the region's start:
//     u32 data length L | u32 offset of the next header from the segment
//     base, or kEndMark for the last element | L data bytes | 0-3 bytes of
//     padding to a multiple of 4 (not written)
// allocate() appends one element and links the previous one to it; the
// element's data area is filled by the caller.
//
// Objects are either plain objects (stack, member) or made by create() in
// the class's caching allocator m_allocator (acquired by the dispatcher)
// and given back with deleteMe().
//
// Memory: the allocator points into the segment, which must stay attached
// (and the worker buffer it covers held) while the allocator is used; it
// owns nothing.  Threads: one thread at a time.  Not copyable.
#ifndef YAV_PROXYIF_IPC_YAVSHAREDMEMALLOCATOR_H
#define YAV_PROXYIF_IPC_YAVSHAREDMEMALLOCATOR_H

#include <cstdint>

#include "core/memory/YavClassAllocator.h"
#include "core/sundry/yav_base.h"
#include "proxyif/ipc/YavSharedMem.h"

class YAV_EXPORT YavSharedMemAllocator {
  public:
    // Size of an element header.
    static constexpr unsigned kHeaderSize = 8;
    // The next-offset of the last element.
    static constexpr uint32_t kEndMark = 0xFFFFFFFFu;
    // Padding after L data bytes.
    static constexpr unsigned pad(unsigned len) { return (4 - len % 4) % 4; }

    YavSharedMemAllocator() = default;
    virtual ~YavSharedMemAllocator();
    YAV_DISALLOW_COPY(YavSharedMemAllocator);

    // Makes an allocator in m_allocator; *out is null on failure.
    // 0 or YAV_S_NO_MEMORY.  REQUIRES: m_allocator acquired (asserted).
    static yav_status_t create(YavSharedMemAllocator** out);
    // Gives an object made by create() back to m_allocator.
    // REQUIRES: made by create() (asserted).
    virtual void deleteMe();

    // Region [start, start + size) of seg; no element written yet.
    // YAV_S_INVALID_PARAMETER when seg is not attached or the region does
    // not lie inside its recorded size (nothing changes then); else 0.
    yav_status_t initialize(YavSharedMem& seg, unsigned start, unsigned size);
    // Forgets the chain written so far.
    void reset();
    // Appends an element of len data bytes and sets *data to its data area.
    // YAV_S_NO_MEMORY when fewer than 8 + len bytes are left (nothing is
    // written); YAV_S_INVALID_PARAMETER before initialize.
    yav_status_t allocate(unsigned len, void** data);

    YavSharedMem* getSegment() const { return m_segment; }
    unsigned getStart() const { return m_start; }
    unsigned getSize() const { return m_size; }
    // Where the next header goes (may lie up to 3 bytes past the region's
    // end after an element that fills it with an unpadded length).
    unsigned getCurrent() const { return m_current; }

    // The caching allocator of the class (name YAV_N_SHMEM_ALLOCATOR).
    static YavClassAllocator m_allocator;

  private:
    YavSharedMem* m_segment = nullptr;
    unsigned char* m_last = nullptr;  // header of the last element written
    unsigned m_size = 0;
    unsigned m_start = 0;
    unsigned m_current = 0;
    bool m_pooled = false;  // made by create()
};

#endif  // YAV_PROXYIF_IPC_YAVSHAREDMEMALLOCATOR_H
