// YavURCVersionAnswerFactory: makes the reader of URC version answers
// (YavURCVersionAnswerUnmarshaller) for the dispatcher.
//
// Memory: the objects it makes come from the unmarshaller's class allocator
// and belong to the caller (release with deleteMe).  Threads: createMsg may
// run on any thread while that allocator is acquired.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVURCVERSIONANSWERFACTORY_H
#define YAV_MSG_PLUGIN_YAVURCVERSIONANSWERFACTORY_H

#include "proxyif/framework/YavProxyIFMsgFactory.h"

class YAV_EXPORT YavURCVersionAnswerFactory : public YavProxyIFMsgFactory {
  public:
    int getType() const override { return yav_msg_urc_version_answer; }
    // A new YavURCVersionAnswerUnmarshaller in *out: 0, or YAV_S_NO_MEMORY
    // (*out null).  REQUIRES: YavURCVersionAnswerUnmarshaller::m_allocator
    // acquired (asserted).
    yav_status_t createMsg(YavProxyIFMessage** out) override;
};

#endif  // YAV_MSG_PLUGIN_YAVURCVERSIONANSWERFACTORY_H
