#include "server/YavURCVersionAnswerWriter.h"

#include "core/buffers/YavBuffer.h"
#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "proxyif/framework/YavProxyIFMessage.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"

int YavURCVersionAnswerWriter::getType() { return yav_msg_urc_version_answer; }

yav_status_t YavURCVersionAnswerWriter::writeElement(const YavProxyIFMsgData& value) {
    const int size = value.marshal(nullptr, 0);
    if (size < 0) return YAV_S_INVALID_PARAMETER;
    void* data = nullptr;
    yav_status_t status = m_answer.allocate(static_cast<unsigned>(size), &data);
    if (status != 0) return status;
    value.marshal(static_cast<unsigned char*>(data), size);
    return 0;
}

yav_status_t YavURCVersionAnswerWriter::writeVersion(const YavEpochVersion& version) {
    if (m_versionWritten) return YAV_S_INVALID_PARAMETER;
    YavBuffer bytes;
    bytes.refer(version.bytes(), YavEpochVersion::kSize);
    YavProxyIFMsgBuffer value;
    value.set(bytes);
    yav_status_t status = writeElement(value);
    if (status == 0) m_versionWritten = true;
    return status;
}

yav_status_t YavURCVersionAnswerWriter::beginBranch(const YavStringRef& branch, int entries) {
    if (!m_versionWritten || m_entriesLeft != 0 || entries < 0) return YAV_S_INVALID_PARAMETER;
    YavProxyIFMsgString name;
    name.set(branch);
    YavProxyIFMsgInt count(entries);
    // Both sizes are checked before either element is written, so a full
    // region never leaves a name without its count.
    const int nameSize = name.marshal(nullptr, 0);
    if (nameSize < 0) return YAV_S_INVALID_PARAMETER;
    const long long needed = 2 * YavSharedMemAllocator::kHeaderSize + nameSize + sizeof(int);
    const long long room = static_cast<long long>(m_answer.getStart()) + m_answer.getSize() -
                           static_cast<long long>(m_answer.getCurrent());
    if (room < needed) return YAV_S_NO_MEMORY;
    yav_status_t status = writeElement(name);
    if (status == 0) status = writeElement(count);
    if (status == 0) m_entriesLeft = entries;
    return status;
}

yav_status_t YavURCVersionAnswerWriter::writeEntry(const YavStringRef& objectName,
                                                   const YavStringRef& actionSet) {
    if (m_entriesLeft <= 0) return YAV_S_INVALID_PARAMETER;
    YavProxyIFMsgNameValue pair;
    pair.set(objectName, actionSet);
    yav_status_t status = writeElement(pair);
    if (status == 0) --m_entriesLeft;
    return status;
}

yav_status_t YavURCVersionAnswerWriter::writeAllEntry(const YavStringRef& objectName) {
    return writeEntry(objectName, YavStringRef("*", 1));
}

yav_status_t YavURCVersionAnswerWriter::finish() const {
    return m_versionWritten && m_entriesLeft == 0 ? 0 : YAV_S_INVALID_PARAMETER;
}
