#include "msg/plugin/YavWebTransAnswerIter.h"

#include <climits>

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

namespace {
constexpr unsigned kIntSize = 4;
}  // namespace

yav_status_t YavWebTransAnswerIter::unmarshal(YavSharedMemIterator& it, void* /*context*/) {
    m_iterator = &it;
    m_endStatus = 0;
    m_cmdID.set(0);
    m_cmdData.refer(nullptr, 0);
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t status = it.getNextElement(&len, &data);
    if (status != 0) return status;
    if (len < 2 * kIntSize) return YAV_S_UNMARSHAL_FAILED;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    YavProxyIFMsgInt code;
    YavProxyIFMsgInt count;
    if (code.unmarshal(bytes, kIntSize) < 0 || count.unmarshal(bytes + kIntSize, kIntSize) < 0) {
        return YAV_S_UNMARSHAL_FAILED;
    }
    // The core hands the code on to the module as an enumerator: a value
    // outside the enumeration would reach the module unchecked.
    if (code.get() < 0 || code.get() >= yav_max_proxy_rsp_code) return YAV_S_UNMARSHAL_FAILED;
    m_rspCode.set(code.get());
    m_numCmds.set(count.get());
    return 0;
}

yav_status_t YavWebTransAnswerIter::marshal(YavSharedMemAllocator& /*a*/) {
    return YAV_S_NOT_SUPPORTED;
}

bool YavWebTransAnswerIter::next() {
    YAV_ASSERT(m_iterator != nullptr);
    if (m_endStatus != 0 || !m_iterator->hasMoreElements()) return false;
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t status = m_iterator->getNextElement(&len, &data);
    if (status != 0) {
        m_endStatus = status;
        return false;
    }
    if (len < kIntSize || len > static_cast<unsigned>(INT_MAX)) {
        m_endStatus = YAV_S_UNMARSHAL_FAILED;
        return false;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    m_cmdID.unmarshal(bytes, kIntSize);
    m_cmdData.refer(bytes + kIntSize, static_cast<int>(len - kIntSize));
    return true;
}

yav_status_t YavWebTransAnswerIter::getCmdData(YavProxyIFMsgData* data) const {
    YAV_ASSERT(data != nullptr);
    const int size = m_cmdData.getLen();
    const int consumed = data->unmarshal(m_cmdData.getData(), size);
    // The value runs to the end of its element: bytes left over mean the
    // element does not hold a value of the kind the command calls for.
    if (consumed < 0 || consumed != size) return YAV_S_UNMARSHAL_FAILED;
    return 0;
}

void YavWebTransAnswerIter::getRawCmdData(YavBuffer* out) const {
    YAV_ASSERT(out != nullptr);
    out->refer(m_cmdData.getData(), m_cmdData.getLen());
}
