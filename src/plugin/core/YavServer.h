// YavServer: the web server that received a request, as the plug-in sees
// it -- the virtual host, the host name used in URLs and the TCP port.
//
// The web-server module implements the pure operations by derivation; the
// request view (YavRequest) owns its server view and deletes it through the
// virtual destructor.  The core reads the virtual-host ID for every request,
// the request view builds full URLs from the name and the port string, and
// the question to the authorization server carries all three.
//
// Statuses: 0 on success, YAV_S_NOT_SUPPORTED when the view does not offer
// the operation, YAV_S_NOT_AVAILABLE when the datum is absent.
//
// Memory: references handed out point into memory the view owns (the port
// string is a member) and stay valid as long as the view.
//
// Threads: a server view belongs to one request and is used by one thread
// at a time; no locks.  Not copyable.
#ifndef YAV_PLUGIN_CORE_YAVSERVER_H
#define YAV_PLUGIN_CORE_YAVSERVER_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

class YAV_EXPORT YavServer {
  public:
    // The port string starts empty and unbuilt.
    YavServer();
    virtual ~YavServer();
    YAV_DISALLOW_COPY(YavServer);

    // The identifier of the virtual host that received the request: the ID
    // the plug-in matches against its virtual-host list.
    virtual yav_status_t getVHostID(YavStringRef* id) = 0;
    // The host name of the server as it appears in URLs.
    virtual yav_status_t getName(YavStringRef* name) = 0;
    // The TCP port that received the request.
    virtual yav_status_t getPort(int* port) = 0;
    // The port in decimal, asked for once with getPort and cached: the
    // failing status of getPort; YAV_S_INVALID_SYS_INPUT for a port outside
    // 1..65535 (on every call; the port is asked for again each time);
    // otherwise 0 with *port referring to the cached text, valid as long as
    // the view.  REQUIRES: port != nullptr.
    virtual yav_status_t getPortString(YavStringRefT<char>* port);

  private:
    static constexpr unsigned char kPortStringBuilt = 0x80;

    unsigned char m_flags;  // kPortStringBuilt once m_portString holds the port
    YavString m_portString;
};

#endif  // YAV_PLUGIN_CORE_YAVSERVER_H
