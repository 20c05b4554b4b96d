// YavSharedMem: an attachable shared-memory segment with bounded copies in
// and out of it.
//
// A segment object records the base address of its attachment (null when
// detached), a size and the segment id.  The size bounds every read and
// write: create() records the size asked for; attaching a segment whose
// size is not yet known (recorded size 0) records the segment's real size,
// and a recorded size larger than the attached segment is lowered to it,
// so that a segment attached by name in another process is readable up to
// its end and never beyond.  See YavSysVSharedMem for the System V form.
//
// Memory: the object does not own the mapping: its destructor neither
// detaches nor destroys the segment (detach() and destroy() do).  Pointers
// handed out by read(offset, len, void**) stay valid while attached.
//
// Threads: after attachment any thread may read and write through the
// object; attach, detach and destroy run while no other thread uses it.
// Not copyable.
#ifndef YAV_PROXYIF_IPC_YAVSHAREDMEM_H
#define YAV_PROXYIF_IPC_YAVSHAREDMEM_H

#include "core/sundry/yav_base.h"

class YAV_EXPORT YavSharedMem {
  public:
    YavSharedMem() = default;
    virtual ~YavSharedMem();
    YAV_DISALLOW_COPY(YavSharedMem);

    // Makes a new segment for (name, projId) of at least size bytes and
    // attaches it; the recorded size becomes size.
    virtual yav_status_t create(const char* name, char projId, unsigned size) = 0;
    // Attaches the segment id.
    virtual yav_status_t attach(int id) = 0;
    // Attaches the existing segment of (name, projId).
    virtual yav_status_t attach(const char* name, char projId) = 0;
    // Unmaps the segment; the base becomes null.
    virtual yav_status_t detach() = 0;
    // Removes the segment from the system.
    virtual yav_status_t destroy() = 0;
    virtual int getId() const { return m_id; }

    // Copies len bytes from src to base + offset.  YAV_S_INVALID_PARAMETER
    // when detached, offset is negative or offset + len exceeds the size.
    yav_status_t write(int offset, unsigned len, const void* src);
    // Copies len bytes from base + offset to dst; same checks (a negative
    // len is invalid too).
    yav_status_t read(int offset, int len, void* dst);
    // Sets *out to base + offset without copying; same checks.  Note: the
    // argument must be a void** to reach this overload.
    yav_status_t read(int offset, int len, void** out);

    // The attachment's base address, or null.
    void* getBase() const { return m_base; }
    // The recorded size in bytes.
    unsigned getSize() const { return m_size; }

  protected:
    // True when [offset, offset + len) lies inside the recorded size of an
    // attached segment (computed without overflow).
    bool inBounds(long long offset, long long len) const;

    void* m_base = nullptr;
    unsigned m_size = 0;
    int m_id = 0;
};

#endif  // YAV_PROXYIF_IPC_YAVSHAREDMEM_H
