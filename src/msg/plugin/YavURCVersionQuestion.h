// YavURCVersionQuestion: the question (type yav_msg_urc_version_question)
// in which the plug-in tells the authorization server which version of the
// unprotected-resource cache database it holds.  Wire form: one element
// holding a YavProxyIFMsgBuffer of exactly 20 bytes, the version.
//
// Memory: the question keeps its own copy of the 20 version bytes; its
// buffer value always refers to that copy (also after unmarshal, which
// copies the received bytes in), so nothing refers into a worker buffer.
// Threads: one thread at a time.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVURCVERSIONQUESTION_H
#define YAV_MSG_PLUGIN_YAVURCVERSIONQUESTION_H

#include "msg/core/YavProxyIFMsgBuffer.h"
#include "proxyif/framework/YavProxyIFMessage.h"
#include "urc/plugin/YavEpochVersion.h"

class YAV_EXPORT YavURCVersionQuestion : public YavProxyIFMessage {
  public:
    // The version is all zero until setVersion.
    YavURCVersionQuestion();
    ~YavURCVersionQuestion() override = default;

    // Reads one element holding a 20-byte buffer.  The iterator's status
    // when no element can be read; YAV_S_UNMARSHAL_FAILED when the buffer
    // does not fit its element, is not exactly 20 bytes long or leaves
    // bytes of the element unread.  On failure the version is unchanged.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    // One element of 24 bytes: the length 20 and the version.  The
    // allocator's status when it has no room.
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    int getType() const override { return yav_msg_urc_version_question; }

    // Copies the 20 bytes of version in.  REQUIRES: version not null
    // (asserted).
    void setVersion(const YavEpochVersion* version);
    // Copies the version out.
    void getVersion(YavEpochVersion& version) const;

  private:
    // Points m_buffer at m_version.
    void referToVersion();

    unsigned char m_version[YavEpochVersion::kSize];
    YavProxyIFMsgBuffer m_buffer;
};

#endif  // YAV_MSG_PLUGIN_YAVURCVERSIONQUESTION_H
