// YavConfigQuestion: the question (type yav_msg_config_question) by which
// the plug-in asks the authorization server for one kind of configuration.
// Wire form: one element of 4 bytes holding the request type as a
// YavProxyIFMsgInt.  The server answers with a configuration answer whose
// commands carry the same value as identifier.
//
// Memory: holds no pointers.  Threads: one thread at a time.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVCONFIGQUESTION_H
#define YAV_MSG_PLUGIN_YAVCONFIGQUESTION_H

#include "msg/core/YavProxyIFMsgInt.h"
#include "proxyif/framework/YavProxyIFMessage.h"

class YAV_EXPORT YavConfigQuestion : public YavProxyIFMessage {
  public:
    // What the question asks for; the answer's commands for it carry the
    // same value as identifier.
    enum yav_config_req_msg_type_e : int {
        yav_config_post_uris = 0,     // minimum POST data per URI
        yav_config_flags = 1,         // configuration flags
        yav_config_urc = 2,           // unprotected-resource cache settings
        yav_config_virtual_hosts = 3  // virtual hosts with permission maps
    };

    // Asks for the POST-URI table until told otherwise.
    YavConfigQuestion() : m_requestType(yav_config_post_uris) {}
    explicit YavConfigQuestion(yav_config_req_msg_type_e requestType)
        : m_requestType(requestType) {}
    ~YavConfigQuestion() override = default;

    // Reads one element of exactly 4 bytes into the request type (any
    // value is taken; the reader decides what it serves).  The iterator's
    // status when the element cannot be read; YAV_S_UNMARSHAL_FAILED when
    // there is no element or it is not 4 bytes long.  On failure the
    // request type is unchanged.
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;
    // One element of 4 bytes holding the request type; the allocator's
    // status when it has no room.
    yav_status_t marshal(YavSharedMemAllocator& a) override;
    int getType() const override { return yav_msg_config_question; }

    yav_config_req_msg_type_e getRequestType() const { return m_requestType; }
    void setRequestType(yav_config_req_msg_type_e requestType) { m_requestType = requestType; }

  private:
    yav_config_req_msg_type_e m_requestType;
};

#endif  // YAV_MSG_PLUGIN_YAVCONFIGQUESTION_H
