// YavConfigAnswerFactory: makes the reader of configuration answers
// (YavConfigAnswerUnmarshaller) for the dispatcher, which looks it up by
// the result type yav_msg_config_answer.
//
// Memory: the readers come from YavConfigAnswerUnmarshaller::m_allocator
// and belong to the caller of createMsg (release with deleteMe()).  A
// registered factory belongs to the dispatcher.
//
// Threads: createMsg may run on any thread while the class allocator is
// acquired.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVCONFIGANSWERFACTORY_H
#define YAV_MSG_PLUGIN_YAVCONFIGANSWERFACTORY_H

#include "proxyif/framework/YavProxyIFMsgFactory.h"

class YAV_EXPORT YavConfigAnswerFactory : public YavProxyIFMsgFactory {
  public:
    YavConfigAnswerFactory() = default;
    ~YavConfigAnswerFactory() override = default;

    int getType() const override { return yav_msg_config_answer; }
    // A new reader in *out: 0, or YAV_S_NO_MEMORY (*out null) when the
    // class allocator has no block.
    // REQUIRES: YavConfigAnswerUnmarshaller::m_allocator acquired
    // (assertion "m_allocator").
    yav_status_t createMsg(YavProxyIFMessage** out) override;
};

#endif  // YAV_MSG_PLUGIN_YAVCONFIGANSWERFACTORY_H
