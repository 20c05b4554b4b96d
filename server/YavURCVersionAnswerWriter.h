// YavURCVersionAnswerWriter: the authorization server's writer of URC
// version answers (type yav_msg_urc_version_answer) into a worker's result
// region, through a YavSharedMemAllocator.
//
// An answer is written in this order: writeVersion once; then for each
// branch database beginBranch(name, N) followed by exactly N writeEntry /
// writeAllEntry calls; then finish.  An answer that stops after the version
// tells the plug-in that its copy is current.  Each value goes into an
// element of exactly its encoded size:
//     YavProxyIFMsgBuffer (20 bytes) | per branch: YavProxyIFMsgString name,
//     YavProxyIFMsgInt N, N x YavProxyIFMsgNameValue (object name, "*" or an
//     action set)
// The writer keeps to that order: a call out of order, a negative count or
// a finish before the announced entries are written returns
// YAV_S_INVALID_PARAMETER and writes nothing, so a well-behaved server
// cannot send a malformed answer by mistake.
//
// Memory: refers to the caller's allocator, which must outlive the writer;
// the texts given are copied into the region at once.  Threads: one thread
// at a time.  Not copyable.
#ifndef YAV_SERVER_YAVURCVERSIONANSWERWRITER_H
#define YAV_SERVER_YAVURCVERSIONANSWERWRITER_H

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"
#include "urc/plugin/YavEpochVersion.h"

class YavSharedMemAllocator;
class YavProxyIFMsgData;

class YavURCVersionAnswerWriter {
  public:
    explicit YavURCVersionAnswerWriter(YavSharedMemAllocator& answer) : m_answer(answer) {}
    YAV_DISALLOW_COPY(YavURCVersionAnswerWriter);

    // The message type to give as the answer type.
    static int getType();

    // The first element: the server's current version.  The allocator's
    // status when the region is full.
    yav_status_t writeVersion(const YavEpochVersion& version);
    // The name and the entry count of the next branch database.
    yav_status_t beginBranch(const YavStringRef& branch, int entries);
    // One entry of the current branch: the actions of actionSet are granted
    // on objectName.
    yav_status_t writeEntry(const YavStringRef& objectName, const YavStringRef& actionSet);
    // One entry of the current branch: every action is granted.
    yav_status_t writeAllEntry(const YavStringRef& objectName);
    // Checks that the answer is complete (every announced entry written).
    yav_status_t finish() const;

  private:
    // Writes value as one element of exactly its encoded size.
    yav_status_t writeElement(const YavProxyIFMsgData& value);

    YavSharedMemAllocator& m_answer;
    bool m_versionWritten = false;
    int m_entriesLeft = 0;  // of the current branch
};

#endif  // YAV_SERVER_YAVURCVERSIONANSWERWRITER_H
