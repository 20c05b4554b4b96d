// YavWebReqServerQuestion: the server part of a web request question -- the
// virtual-host ID, the server name and the port that received the request,
// each optional.
//
// Wire form (a message value, see YavProxyIFMsgData): the flags word, then
// the present values in the order virtual-host ID (kVHostID, a string),
// name (kName, a string), port (kPort, a 32-bit integer).
//
// Memory: the texts are references to the caller's bytes (the server
// view's, or after unmarshal the received element's).  Threads: one thread
// at a time.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBREQSERVERQUESTION_H
#define YAV_MSG_PLUGIN_YAVWEBREQSERVERQUESTION_H

#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgString.h"

class YAV_EXPORT YavWebReqServerQuestion : public YavProxyIFMsgData {
  public:
    static constexpr int kVHostID = 0x1;
    static constexpr int kName = 0x2;
    static constexpr int kPort = 0x4;
    static constexpr int kAllFlags = kVHostID | kName | kPort;

    YavWebReqServerQuestion() = default;

    // -1 when the encoded size would exceed INT_MAX.
    int marshal(unsigned char* buffer, int size) const override;
    // -1 for unknown flag bits or a value that does not fit in size; the
    // object is then left empty.
    int unmarshal(const unsigned char* buffer, int size) override;
    // "Flags: <n>" and "VHostID: ", "Name: ", "Port: " for present values.
    yav_status_t createString(YavString* out) const override;

    // Each stores the value and then sets its flag.
    void setVHostID(const YavStringRef& id);
    void setName(const YavStringRef& name);
    void setPort(int port);
    // The stored value, or YAV_S_NOT_AVAILABLE when its flag is clear.
    yav_status_t getVHostID(YavStringRef& id) const;
    yav_status_t getName(YavStringRef& name) const;
    yav_status_t getPort(int* port) const;

    int getFlags() const { return m_flags.get(); }
    void clear();

  private:
    YavProxyIFMsgInt m_flags;
    YavProxyIFMsgString m_vhostID;
    YavProxyIFMsgString m_name;
    YavProxyIFMsgInt m_port;
};

#endif  // YAV_MSG_PLUGIN_YAVWEBREQSERVERQUESTION_H
