// YavWebTransAnswerBase: the web transaction answer (message type
// yav_msg_web_trans_answer) that the authorization server sends for a web
// request or web response question: a response code that tells the core
// what to do with the request, and the number of commands that follow.
//
// This base only holds the two values and names codes; reading the answer
// is YavWebTransAnswerIter's and applying it YavWebTransAnswerUnmarshaller's
// work.  Its marshal and unmarshal do nothing.
//
// Memory: holds no pointers.  Threads: one thread at a time; the static
// name look-ups may run on any thread.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBTRANSANSWERBASE_H
#define YAV_MSG_PLUGIN_YAVWEBTRANSANSWERBASE_H

#include "core/buffers/YavString.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/plugin/yav_web_trans_cmds.h"
#include "proxyif/framework/YavProxyIFMessage.h"

class YAV_EXPORT YavWebTransAnswerBase : public YavProxyIFMessage {
  public:
    YavWebTransAnswerBase() = default;
    ~YavWebTransAnswerBase() override = default;

    // Nothing to read or write at this level: 0.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    int getType() const override { return yav_msg_web_trans_answer; }

    // *name refers to the constant name of cmdID.
    // REQUIRES: 0 <= cmdID < yav_max_proxy_rsp_cmd (asserted); name != null.
    static void getCmdName(yav_proxy_rsp_cmds_e cmdID, YavStringRef* name);
    // *name refers to the constant name of code.
    // REQUIRES: 0 <= code < yav_max_proxy_rsp_code (asserted); name != null.
    static void getRspCodeName(yav_proxy_rsp_code_e code, YavStringRef* name);

  protected:
    YavProxyIFMsgInt m_rspCode;  // a yav_proxy_rsp_code_e
    YavProxyIFMsgInt m_numCmds;  // as announced by the server; not trusted
};

#endif  // YAV_MSG_PLUGIN_YAVWEBTRANSANSWERBASE_H
