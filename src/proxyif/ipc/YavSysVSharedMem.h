// YavSysVSharedMem: a YavSharedMem over a System V shared-memory segment
// (ftok, shmget, shmat, shmdt, shmctl).
//
// Keys are ftok(name, projId); failures are mapped with
// YavSysVSemHelper::mapError.  A failed attach writes a trace line through
// YavProxyIFLog.  How the size is recorded: create() records the size asked
// for; attach(id) records the segment's size from shmctl(IPC_STAT) when the
// recorded size is 0 or larger than the segment (so a segment attached by
// name, as the plug-in does, can be read up to its real size); otherwise
// the recorded size is left as it was.
//
// Memory and threads: as YavSharedMem.  Not copyable.
#ifndef YAV_PROXYIF_IPC_YAVSYSVSHAREDMEM_H
#define YAV_PROXYIF_IPC_YAVSYSVSHAREDMEM_H

#include <sys/types.h>

#include "core/sundry/yav_base.h"
#include "proxyif/ipc/YavSharedMem.h"

class YAV_EXPORT YavSysVSharedMem : public YavSharedMem {
  public:
    YavSysVSharedMem() = default;
    ~YavSysVSharedMem() override;
    YAV_DISALLOW_COPY(YavSysVSharedMem);

    // YAV_S_IPC_KEY_CREATE when no key can be formed; YAV_S_IPC_KEY_EXISTS
    // when the segment exists; YAV_S_INVALID_PARAMETER when size cannot be
    // rounded to whole pages; else the mapped errno of shmget / attach.
    yav_status_t create(const char* name, char projId, unsigned size) override;
    yav_status_t attach(int id) override;
    // YAV_S_IPC_KEY_CREATE, YAV_S_IPC_NO_SEGMENT when there is no segment,
    // else the mapped errno.
    yav_status_t attach(const char* name, char projId) override;
    yav_status_t detach() override;
    yav_status_t destroy() override;

    // ftok(name, projId); -1 when no key can be formed (also for a null
    // name).
    static key_t nameToKey(const char* name, char projId);
    // n rounded up to a multiple of the page size (unchanged when already
    // one); 0 when the result does not fit in an unsigned.
    static unsigned roundUpToPageSize(unsigned n);
};

#endif  // YAV_PROXYIF_IPC_YAVSYSVSHAREDMEM_H
