// YavWebTransAnswerIter: reads a web transaction answer from a worker's
// result region, element by element.
//
// Wire form (elements of the region, native byte order):
//     element 1:     response code (u32, a yav_proxy_rsp_code_e), number of
//                    commands (u32)
//     element 2...:  command code (u32, a yav_proxy_rsp_cmds_e), then the
//                    command's value, if any, as one encoded primitive that
//                    runs to the end of the element
// Commands are read until the elements run out; the announced number is
// kept but never used to stop.
//
// The region comes from another process and is not trusted: a first
// element shorter than 8 bytes or with a response code outside
// 0..yav_max_proxy_rsp_code-1, a command element shorter than 4 bytes and a
// broken chain are refused (unmarshal's status, or next() false with the
// reason in getEndStatus()).  Nothing is read outside an element.
//
// Memory: the command data refers into the region, which must stay
// attached while the answer is read; the iterator passed to unmarshal must
// outlive the calls to next().  Threads: one thread at a time.  Not
// copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBTRANSANSWERITER_H
#define YAV_MSG_PLUGIN_YAVWEBTRANSANSWERITER_H

#include "core/buffers/YavBuffer.h"
#include "msg/core/YavProxyIFMsgData.h"
#include "msg/plugin/YavWebTransAnswerBase.h"

class YAV_EXPORT YavWebTransAnswerIter : public YavWebTransAnswerBase {
  public:
    YavWebTransAnswerIter() = default;
    ~YavWebTransAnswerIter() override = default;

    // Keeps it and reads the first element.  0; the iterator's status when
    // there is no first element; YAV_S_UNMARSHAL_FAILED when it is too short
    // or holds an unknown response code.  context is not used here.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    // Answers are only read by the plug-in: YAV_S_NOT_SUPPORTED.
    yav_status_t marshal(YavSharedMemAllocator& a) override;

    // REQUIRES: unmarshal succeeded.
    yav_proxy_rsp_code_e getRspCode() const {
        return static_cast<yav_proxy_rsp_code_e>(m_rspCode.get());
    }
    int getNumCmds() const { return m_numCmds.get(); }

    // Moves to the next command.  False at the end of the elements (then
    // getEndStatus() is 0) or when the next element cannot be read (then
    // getEndStatus() says why: the iterator's status for a broken chain,
    // YAV_S_UNMARSHAL_FAILED for an element without a whole command code).
    // REQUIRES: unmarshal succeeded.
    bool next();
    yav_status_t getEndStatus() const { return m_endStatus; }

    // The current command code (as received: any value).
    int getCmdID() const { return m_cmdID.get(); }
    // Decodes the current command data into data, which must take all of
    // it.  0 or YAV_S_UNMARSHAL_FAILED (data keeps its previous value or,
    // for a string list, is left empty).
    yav_status_t getCmdData(YavProxyIFMsgData* data) const;
    // The current command data as bytes (a reference into the region).
    void getRawCmdData(YavBuffer* out) const;

  protected:
    void setRspCode(yav_proxy_rsp_code_e code) { m_rspCode.set(code); }

  private:
    YavSharedMemIterator* m_iterator = nullptr;
    YavProxyIFMsgInt m_cmdID;
    YavBuffer m_cmdData;  // refers into the region
    yav_status_t m_endStatus = 0;
};

#endif  // YAV_MSG_PLUGIN_YAVWEBTRANSANSWERITER_H
