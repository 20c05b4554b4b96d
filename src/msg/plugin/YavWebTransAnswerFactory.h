// YavWebTransAnswerFactory: makes the reader of web transaction answers
// (YavWebTransAnswerUnmarshaller) for the dispatcher, which looks it up by
// the result type yav_msg_web_trans_answer.
//
// Memory: the readers come from YavWebTransAnswerUnmarshaller::m_allocator
// and belong to the caller of createMsg (release with deleteMe()).  A
// registered factory belongs to the dispatcher.
//
// Threads: createMsg may run on any thread while the class allocator is
// acquired.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBTRANSANSWERFACTORY_H
#define YAV_MSG_PLUGIN_YAVWEBTRANSANSWERFACTORY_H

#include "proxyif/framework/YavProxyIFMsgFactory.h"

class YAV_EXPORT YavWebTransAnswerFactory : public YavProxyIFMsgFactory {
  public:
    YavWebTransAnswerFactory() = default;
    ~YavWebTransAnswerFactory() override = default;

    int getType() const override { return yav_msg_web_trans_answer; }
    // A new reader in *out: 0, or YAV_S_NO_MEMORY (*out null) when the
    // class allocator has no block.
    // REQUIRES: YavWebTransAnswerUnmarshaller::m_allocator acquired
    // (assertion "m_allocator").
    yav_status_t createMsg(YavProxyIFMessage** out) override;
};

#endif  // YAV_MSG_PLUGIN_YAVWEBTRANSANSWERFACTORY_H
