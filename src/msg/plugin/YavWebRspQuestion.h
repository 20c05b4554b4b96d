// YavWebRspQuestion: the web response question (message type
// yav_msg_web_rsp_question), in which the plug-in shows the authorization
// server a response it asked to see.  Four elements, each holding one
// value, in this order: the raw HTTP response (YavProxyIFMsgBuffer), the
// virtual-host ID and the session ID (YavProxyIFMsgString each) and the
// is-secure indicator (YavProxyIFMsgInt).  Always four elements, also when
// the texts are empty.
//
// Memory: the values are references: to the caller's bytes after the
// setters, to the worker buffer after unmarshal (valid only while it is
// held).  Threads: one thread at a time.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBRSPQUESTION_H
#define YAV_MSG_PLUGIN_YAVWEBRSPQUESTION_H

#include "core/buffers/YavBuffer.h"
#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "proxyif/framework/YavProxyIFMessage.h"

class YAV_EXPORT YavWebRspQuestion : public YavProxyIFMessage {
  public:
    YavWebRspQuestion() = default;
    ~YavWebRspQuestion() override = default;

    // Each field as one element of exactly its encoded size.  The
    // allocator's status at the first failure (YAV_S_NO_MEMORY when the
    // region is full or a value is too large to encode).
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    // Reads the four elements.  The iterator's status when an element is
    // missing; YAV_S_UNMARSHAL_FAILED when a value does not fill its
    // element exactly.  Values read before a failure are kept.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    int getType() const override { return yav_msg_web_rsp_question; }

    void setHTTPBuffer(const YavBuffer& buffer) { m_httpBuffer.set(buffer); }
    void setVHostID(const YavStringRef& id) { m_vhostID.set(id); }
    void setSessionID(const YavStringRef& id) { m_sessionID.set(id); }
    void setIsSecure(int secure) { m_isSecure.set(secure); }
    // REQUIRES: non-null outputs.
    void getHTTPBuffer(YavBuffer* buffer) const;
    void getVHostID(YavStringRef* id) const { *id = m_vhostID.get(); }
    void getSessionID(YavStringRef* id) const { *id = m_sessionID.get(); }
    void isSecure(int* secure) const { *secure = m_isSecure.get(); }

  private:
    YavProxyIFMsgBuffer m_httpBuffer;
    YavProxyIFMsgString m_vhostID;
    YavProxyIFMsgString m_sessionID;
    YavProxyIFMsgInt m_isSecure;
};

#endif  // YAV_MSG_PLUGIN_YAVWEBRSPQUESTION_H
