// YavConfigAnswerBase: the configuration answer (type
// yav_msg_config_answer) that the authorization server sends for a
// YavConfigQuestion.  It carries the command count of the answer's first
// element (getNumCmds; nothing relies on it matching the commands that
// follow).  Its own marshal and unmarshal do nothing; the reader is
// YavConfigAnswerUnmarshaller.
//
// Memory: holds no pointers.  Threads: one thread at a time.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVCONFIGANSWERBASE_H
#define YAV_MSG_PLUGIN_YAVCONFIGANSWERBASE_H

#include "msg/core/YavProxyIFMsgInt.h"
#include "proxyif/framework/YavProxyIFMessage.h"

class YAV_EXPORT YavConfigAnswerBase : public YavProxyIFMessage {
  public:
    YavConfigAnswerBase() = default;
    ~YavConfigAnswerBase() override = default;

    // Both do nothing and return 0.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    int getType() const override { return yav_msg_config_answer; }

    int getNumCmds() const { return m_numCmds.get(); }

  protected:
    YavProxyIFMsgInt m_numCmds;
};

#endif  // YAV_MSG_PLUGIN_YAVCONFIGANSWERBASE_H
