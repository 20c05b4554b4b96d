// YavCachedServer: the plug-in's own complete server view, for requests that
// have no live web-server request behind them (YavCachedRequest).  It knows
// only a virtual-host ID; name, port and port string are not offered.
//
// Memory: the ID is a reference to the caller's text (no copy), which must
// outlive the view's use of it.
//
// Threads: one thread at a time; no locks.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVCACHEDSERVER_H
#define YAV_PLUGIN_CORE_YAVCACHEDSERVER_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavServer.h"

class YAV_EXPORT YavCachedServer : public YavServer {
  public:
    // The ID starts empty.
    YavCachedServer();
    ~YavCachedServer() override;

    // 0, *id referring to the text given to setVHostID.
    yav_status_t getVHostID(YavStringRef* id) override;
    // YAV_S_NOT_SUPPORTED.
    yav_status_t getName(YavStringRef* name) override;
    yav_status_t getPort(int* port) override;
    yav_status_t getPortString(YavStringRefT<char>* port) override;

    // Refers to id's text from now on.
    virtual void setVHostID(const YavStringRef& id);

  private:
    YavStringRef m_vhostID;
};

#endif  // YAV_PLUGIN_CORE_YAVCACHEDSERVER_H
