#include "msg/plugin/YavURCVersionQuestion.h"

#include <climits>
#include <cstring>

#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

YavURCVersionQuestion::YavURCVersionQuestion() {
    memset(m_version, 0, sizeof m_version);
    referToVersion();
}

void YavURCVersionQuestion::referToVersion() {
    YavBuffer bytes;
    bytes.refer(m_version, static_cast<int>(sizeof m_version));
    m_buffer.set(bytes);
}

void YavURCVersionQuestion::setVersion(const YavEpochVersion* version) {
    YAV_ASSERT(version != nullptr);
    version->get(m_version);
    referToVersion();
}

void YavURCVersionQuestion::getVersion(YavEpochVersion& version) const {
    // The buffer refers to m_version at all times (see referToVersion).
    YAV_ASSERT(m_buffer.get().getLen() == YavEpochVersion::kSize);
    version.set(m_version);
}

yav_status_t YavURCVersionQuestion::marshal(YavSharedMemAllocator& a) {
    const int size = m_buffer.marshal(nullptr, 0);
    void* data = nullptr;
    yav_status_t status = a.allocate(static_cast<unsigned>(size), &data);
    if (status != 0) return status;
    m_buffer.marshal(static_cast<unsigned char*>(data), size);
    return 0;
}

yav_status_t YavURCVersionQuestion::unmarshal(YavSharedMemIterator& it, void* /*context*/) {
    unsigned len = 0;
    void* data = nullptr;
    yav_status_t status = it.getNextElement(&len, &data);
    if (status != 0) return status;
    if (len > static_cast<unsigned>(INT_MAX)) return YAV_S_UNMARSHAL_FAILED;
    YavProxyIFMsgBuffer received;
    const int consumed =
        received.unmarshal(static_cast<const unsigned char*>(data), static_cast<int>(len));
    if (consumed < 0 || static_cast<unsigned>(consumed) != len ||
        received.get().getLen() != YavEpochVersion::kSize) {
        return YAV_S_UNMARSHAL_FAILED;
    }
    memcpy(m_version, received.get().getData(), sizeof m_version);
    referToVersion();
    return 0;
}
