// YavWebReqPartCodec: the encoding shared by the parts of a web request
// question (server, SSL session, client certificate): a flags word followed
// by the values whose flag is set, in a fixed order, each encoded as its
// own message value.
//
// A part describes its values as a table of {flag, value} slots in wire
// order; the codec measures, writes and reads them.  Static functions
// without state; any thread may call them with its own objects.
#ifndef YAV_MSG_PLUGIN_YAVWEBREQPARTCODEC_H
#define YAV_MSG_PLUGIN_YAVWEBREQPARTCODEC_H

#include "msg/core/YavProxyIFMsgData.h"

class YavWebReqPartCodec {
  public:
    // A value and the flag that announces it; label names it in the trace
    // form.
    struct Slot {
        int flag;
        const YavProxyIFMsgData* value;
        const char* label;
    };
    // The same for reading.
    struct ReadSlot {
        int flag;
        YavProxyIFMsgData* value;
    };

    YavWebReqPartCodec() = delete;

    // marshal(buffer, size) of the part whose flags word is flags: with size
    // 0 the encoded size, else writes it and returns the bytes written.  -1
    // when the encoded size exceeds INT_MAX.
    // REQUIRES: as YavProxyIFMsgData::marshal.
    static int marshal(int flags, const Slot* slots, int count, unsigned char* buffer, int size);
    // Reads the flags word into *flags and the values it announces into the
    // slots; returns the bytes consumed, or -1 when the word has bits
    // outside knownFlags or a value does not fit in size.
    static int unmarshal(const unsigned char* buffer, int size, int knownFlags,
                         const ReadSlot* slots, int count, int* flags);
    // Replaces *out with "Flags: <n>" followed by " <label>: <trace form>"
    // for each present value.  0 or YAV_S_NO_MEMORY.
    static yav_status_t createString(int flags, const Slot* slots, int count, YavString* out);
};

#endif  // YAV_MSG_PLUGIN_YAVWEBREQPARTCODEC_H
