// YavWebTransAnswerWriter: the authorization server's writer of web
// transaction answers (type yav_msg_web_trans_answer) into a worker's
// result region, through a YavSharedMemAllocator.
//
// An answer is written as begin(code, n), then exactly n commands, then
// finish().  Each goes into one element of exactly its size:
//     response code (u32) | number of commands (u32)
//     per command: command code (u32) | the command's value, if any, as one
//                  encoded primitive (name/value, string, string list, int
//                  or buffer, as yav_proxy_rsp_cmd_data gives)
// The writer keeps to that form: an unknown response code, a code outside
// the command table, a value missing or given where the command takes
// none, a command after the announced number, or a finish before it
// returns YAV_S_INVALID_PARAMETER and writes nothing, so a well-behaved
// server cannot send a malformed answer by mistake.
//
// Memory: refers to the caller's allocator, which must outlive the writer;
// the values are copied into the region at once.  Threads: one thread at a
// time.  Not copyable.
#ifndef YAV_SERVER_YAVWEBTRANSANSWERWRITER_H
#define YAV_SERVER_YAVWEBTRANSANSWERWRITER_H

#include "core/sundry/yav_base.h"
#include "msg/plugin/yav_web_trans_cmds.h"

class YavSharedMemAllocator;
class YavProxyIFMsgData;

class YavWebTransAnswerWriter {
  public:
    explicit YavWebTransAnswerWriter(YavSharedMemAllocator& answer) : m_answer(answer) {}
    YAV_DISALLOW_COPY(YavWebTransAnswerWriter);

    // The message type to give as the answer type.
    static int getType();

    // The first element.  The allocator's status when the region is full.
    yav_status_t begin(yav_proxy_rsp_code_e code, int numCmds);
    // A command without a value.
    yav_status_t add(yav_proxy_rsp_cmds_e cmd);
    // A command with its value (the kind the command calls for).
    yav_status_t add(yav_proxy_rsp_cmds_e cmd, const YavProxyIFMsgData& value);
    // Checks that every announced command was written.
    yav_status_t finish() const;

  private:
    // Writes the command element; value may be null.
    yav_status_t write(yav_proxy_rsp_cmds_e cmd, const YavProxyIFMsgData* value);

    YavSharedMemAllocator& m_answer;
    bool m_begun = false;
    int m_cmdsLeft = 0;
};

#endif  // YAV_SERVER_YAVWEBTRANSANSWERWRITER_H
