#include "server/YavWebTransAnswerWriter.h"

#include <cstring>

#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgData.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "proxyif/framework/YavProxyIFMessage.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"

namespace {
constexpr unsigned kIntSize = 4;
}  // namespace

int YavWebTransAnswerWriter::getType() { return yav_msg_web_trans_answer; }

yav_status_t YavWebTransAnswerWriter::begin(yav_proxy_rsp_code_e code, int numCmds) {
    if (m_begun || code < 0 || code >= yav_max_proxy_rsp_code || numCmds < 0) {
        return YAV_S_INVALID_PARAMETER;
    }
    void* data = nullptr;
    yav_status_t status = m_answer.allocate(2 * kIntSize, &data);
    if (status != 0) return status;
    unsigned char* bytes = static_cast<unsigned char*>(data);
    YavProxyIFMsgInt(code).marshal(bytes, kIntSize);
    YavProxyIFMsgInt(numCmds).marshal(bytes + kIntSize, kIntSize);
    m_begun = true;
    m_cmdsLeft = numCmds;
    return 0;
}

yav_status_t YavWebTransAnswerWriter::add(yav_proxy_rsp_cmds_e cmd) { return write(cmd, nullptr); }

yav_status_t YavWebTransAnswerWriter::add(yav_proxy_rsp_cmds_e cmd,
                                          const YavProxyIFMsgData& value) {
    return write(cmd, &value);
}

yav_status_t YavWebTransAnswerWriter::finish() const {
    return m_begun && m_cmdsLeft == 0 ? 0 : YAV_S_INVALID_PARAMETER;
}

yav_status_t YavWebTransAnswerWriter::write(yav_proxy_rsp_cmds_e cmd,
                                            const YavProxyIFMsgData* value) {
    if (!m_begun || m_cmdsLeft == 0 || cmd < 0 || cmd >= yav_max_proxy_rsp_cmd) {
        return YAV_S_INVALID_PARAMETER;
    }
    const bool takesValue = yav_proxy_rsp_cmd_data(cmd) != yav_rsp_data_none;
    if (takesValue != (value != nullptr)) return YAV_S_INVALID_PARAMETER;
    int valueSize = 0;
    if (value != nullptr) {
        valueSize = value->marshal(nullptr, 0);
        if (valueSize < 0 || static_cast<unsigned>(valueSize) > ~0u - kIntSize) {
            return YAV_S_INVALID_PARAMETER;
        }
    }
    void* data = nullptr;
    yav_status_t status = m_answer.allocate(kIntSize + static_cast<unsigned>(valueSize), &data);
    if (status != 0) return status;
    unsigned char* bytes = static_cast<unsigned char*>(data);
    YavProxyIFMsgInt(cmd).marshal(bytes, kIntSize);
    if (value != nullptr) value->marshal(bytes + kIntSize, valueSize);
    --m_cmdsLeft;
    return 0;
}
