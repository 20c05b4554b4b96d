#include "plugin/core/YavServer.h"

#include <cstdio>

#include "core/msg/yav_status.h"

YavServer::YavServer() : m_flags(0) {}

YavServer::~YavServer() = default;

yav_status_t YavServer::getPortString(YavStringRefT<char>* port) {
    if ((m_flags & kPortStringBuilt) == 0) {
        int n = 0;
        yav_status_t status = getPort(&n);
        if (status != 0) return status;
        if (n < 1 || n > 65535) return YAV_S_INVALID_SYS_INPUT;

        char digits[8];
        int length = snprintf(digits, sizeof digits, "%d", n);
        m_portString.clear();
        if (!m_portString.append(digits, length)) return YAV_S_NO_MEMORY;
        m_flags |= kPortStringBuilt;
    }
    port->setTerminated(m_portString.getData(), m_portString.getLength());
    return 0;
}
