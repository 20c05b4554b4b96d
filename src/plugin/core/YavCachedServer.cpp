#include "plugin/core/YavCachedServer.h"

#include "core/msg/yav_status.h"

YavCachedServer::YavCachedServer() = default;

YavCachedServer::~YavCachedServer() = default;

yav_status_t YavCachedServer::getVHostID(YavStringRef* id) {
    *id = m_vhostID;
    return 0;
}

yav_status_t YavCachedServer::getName(YavStringRef*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedServer::getPort(int*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavCachedServer::getPortString(YavStringRefT<char>*) { return YAV_S_NOT_SUPPORTED; }

void YavCachedServer::setVHostID(const YavStringRef& id) { m_vhostID = id; }
