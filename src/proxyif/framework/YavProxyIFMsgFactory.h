// YavProxyIFMsgFactory: makes answer objects of one message type; the
// dispatcher looks a factory up by the result type the server wrote.
//
// Memory: a factory registered with the dispatcher belongs to it and is
// deleted by its shutdown (factories are made with new (std::nothrow)).
// The objects createMsg makes belong to the caller (release with deleteMe).
//
// Threads: createMsg may run on any request thread concurrently.  Not
// copyable.
#ifndef YAV_PROXYIF_FRAMEWORK_YAVPROXYIFMSGFACTORY_H
#define YAV_PROXYIF_FRAMEWORK_YAVPROXYIFMSGFACTORY_H

#include "core/sundry/yav_base.h"
#include "proxyif/framework/YavProxyIFMessage.h"

class YAV_EXPORT YavProxyIFMsgFactory {
  public:
    YavProxyIFMsgFactory() = default;
    virtual ~YavProxyIFMsgFactory() = default;
    YAV_DISALLOW_COPY(YavProxyIFMsgFactory);

    // The message type this factory makes.
    virtual int getType() const = 0;
    // A new message in *out: 0, or YAV_S_NO_MEMORY (*out is then null).
    virtual yav_status_t createMsg(YavProxyIFMessage** out) = 0;
};

#endif  // YAV_PROXYIF_FRAMEWORK_YAVPROXYIFMSGFACTORY_H
