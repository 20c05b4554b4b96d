// YavProxyIFMessage: the abstract base of every question that the plug-in
// sends to the authorization server and every answer that comes back.
//
// A message writes itself into a worker buffer as a chain of elements
// (marshal, through a YavSharedMemAllocator) and reads itself from one
// (unmarshal, through a YavSharedMemIterator).  Values read by unmarshal may
// refer into the worker buffer, which the dispatcher gives back before
// dispatch returns: an answer copies what it keeps, or applies it during
// unmarshal.
//
// Memory: an answer made by a factory belongs to whoever receives it and is
// released with deleteMe(), which gives the object back the way it was
// allocated (the default deletes it).
//
// Threads: a message belongs to the one thread that builds or reads it.
// Not copyable.
#ifndef YAV_PROXYIF_FRAMEWORK_YAVPROXYIFMESSAGE_H
#define YAV_PROXYIF_FRAMEWORK_YAVPROXYIFMESSAGE_H

#include "core/sundry/yav_base.h"

class YavSharedMemAllocator;
class YavSharedMemIterator;

// The message type written as request or result type in the worker buffer
// header.
enum yav_proxyif_msg_type_e {
    yav_msg_error = 0,                 // YavErrorMessage (answer)
    yav_msg_web_req_question = 1,      // web request question
    yav_msg_config_question = 2,       // configuration question
    yav_msg_web_trans_answer = 3,      // web transaction answer
    yav_msg_config_answer = 4,         // configuration answer
    yav_msg_web_rsp_question = 5,      // web response question
    yav_msg_urc_version_question = 6,  // unprotected-resource cache version question
    yav_msg_urc_version_answer = 7,    // unprotected-resource cache version answer
};

// The answer type that answers a question of questionType (an error
// message may answer any question), or -1 for a question type outside this
// table, whose answers are taken as they come.  An answer reads the
// dispatch context as what its own question's caller passes (the
// transaction, the configuration context, the cache's update data): an
// answer of another question's type must never be unmarshalled.
inline int yav_proxyif_answer_type(int questionType) {
    switch (questionType) {
        case yav_msg_web_req_question:
        case yav_msg_web_rsp_question:
            return yav_msg_web_trans_answer;
        case yav_msg_config_question:
            return yav_msg_config_answer;
        case yav_msg_urc_version_question:
            return yav_msg_urc_version_answer;
        default:
            return -1;
    }
}

class YAV_EXPORT YavProxyIFMessage {
  public:
    YavProxyIFMessage() = default;
    virtual ~YavProxyIFMessage() = default;
    YAV_DISALLOW_COPY(YavProxyIFMessage);

    // Releases the object the way it was allocated.
    virtual void deleteMe() { delete this; }
    // Reads the message from the elements of it.  context is what the
    // caller of dispatch passed.  0 or a status (YAV_S_UNMARSHAL_FAILED for
    // values that do not fit their element, or the iterator's status).
    virtual yav_status_t unmarshal(YavSharedMemIterator& it, void* context) = 0;
    // Writes the message as elements through a.  0 or a status.
    virtual yav_status_t marshal(YavSharedMemAllocator& a) = 0;
    // One of yav_proxyif_msg_type_e.
    virtual int getType() const = 0;
};

#endif  // YAV_PROXYIF_FRAMEWORK_YAVPROXYIFMESSAGE_H
