#include "msg/plugin/YavWebReqPartCodec.h"

#include <climits>

#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgInt.h"

int YavWebReqPartCodec::marshal(int flags, const Slot* slots, int count, unsigned char* buffer,
                                int size) {
    const YavProxyIFMsgInt word(flags);
    int64_t total = word.marshal(nullptr, 0);
    for (int i = 0; i < count; ++i) {
        if ((flags & slots[i].flag) == 0) continue;
        const int n = slots[i].value->marshal(nullptr, 0);
        if (n < 0) return -1;
        total += n;
    }
    if (total > INT_MAX) return -1;
    if (size == 0) return static_cast<int>(total);

    YAV_MSG_ASSERT(total <= size, "length <= size");
    int offset = word.marshal(buffer, size);
    for (int i = 0; i < count; ++i) {
        if ((flags & slots[i].flag) == 0) continue;
        offset += slots[i].value->marshal(buffer + offset, size - offset);
    }
    return offset;
}

int YavWebReqPartCodec::unmarshal(const unsigned char* buffer, int size, int knownFlags,
                                  const ReadSlot* slots, int count, int* flags) {
    YavProxyIFMsgInt word;
    int offset = word.unmarshal(buffer, size);
    if (offset < 0 || (word.get() & ~knownFlags) != 0) return -1;
    for (int i = 0; i < count; ++i) {
        if ((word.get() & slots[i].flag) == 0) continue;
        const int n = slots[i].value->unmarshal(buffer + offset, size - offset);
        if (n < 0) return -1;
        offset += n;
    }
    *flags = word.get();
    return offset;
}

yav_status_t YavWebReqPartCodec::createString(int flags, const Slot* slots, int count,
                                              YavString* out) {
    out->clear();
    if (!out->append("Flags: ") || !YavProxyIFMsgInt::appendDecimal(out, flags)) {
        return YAV_S_NO_MEMORY;
    }
    YavString value(out->getAllocator());
    for (int i = 0; i < count; ++i) {
        if ((flags & slots[i].flag) == 0) continue;
        yav_status_t status = slots[i].value->createString(&value);
        if (status != 0) return status;
        if (!out->append(" ") || !out->append(slots[i].label) || !out->append(": ") ||
            !out->append(YavStringRef(value))) {
            return YAV_S_NO_MEMORY;
        }
    }
    return 0;
}
