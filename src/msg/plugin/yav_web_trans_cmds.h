// The commands of a web transaction answer (yav_proxy_rsp_cmds_e) and the
// printable names of the commands and of the answer's response codes.
//
// An answer from the authorization server carries a response code
// (yav_proxy_rsp_code_e) and a list of commands; each command is a code of
// the table below followed by at most one encoded value, whose kind
// yav_proxy_rsp_cmd_data gives.
//
// Plain constants and constant tables; any thread may use them.
#ifndef YAV_MSG_PLUGIN_YAV_WEB_TRANS_CMDS_H
#define YAV_MSG_PLUGIN_YAV_WEB_TRANS_CMDS_H

#include "core/sundry/yav_base.h"
#include "plugin/core/yav_proxy_rsp_code.h"

enum yav_proxy_rsp_cmds_e {
    yav_req_add_header = 0,
    yav_req_set_header = 1,
    yav_req_remove_header = 2,
    yav_req_set_method = 3,
    yav_req_set_uri = 4,
    yav_req_set_version = 5,
    yav_req_set_query = 6,
    yav_req_set_body = 7,
    yav_req_set_web_log_user = 8,
    yav_req_get_body = 9,
    // 10-19 are unassigned.
    // Marks where the response commands begin; not a command itself.
    yav_first_response_code = 20,
    yav_rsp_add_header = 21,
    yav_rsp_set_header = 22,
    yav_rsp_remove_header = 23,  // never carried out
    yav_rsp_set_response_code = 24,
    yav_rsp_set_body = 25,
    yav_rsp_set_body_from_file = 26,
    yav_rsp_remove_cookie = 27,  // never carried out
    yav_rsp_set_content_type = 28,
    yav_rsp_req_client_cert = 29,
    yav_rsp_set_keep_alive = 30,
    yav_rsp_set_trace_level = 31,
    yav_rsp_clear_existing_body = 32,
    yav_rsp_req_wsa = 33,
    yav_rsp_capture_rsp = 34,
    yav_rsp_begin_new_rsp = 35,
    yav_rsp_set_body_to_default = 36,
    yav_rsp_set_response_sub_code = 37,
    yav_rsp_urc_version = 38,
    // The number of codes; not a code.
    yav_max_proxy_rsp_cmd = 39
};

// The kind of value that follows a command code.
enum yav_proxy_rsp_data_e {
    yav_rsp_data_none = 0,         // no value
    yav_rsp_data_name_value = 1,   // YavProxyIFMsgNameValue
    yav_rsp_data_string = 2,       // YavProxyIFMsgString
    yav_rsp_data_string_list = 3,  // YavProxyIFMsgStringList
    yav_rsp_data_int = 4,          // YavProxyIFMsgInt
    yav_rsp_data_buffer = 5        // YavProxyIFMsgBuffer
};

// Names indexed by code: "yav_req_add_header", ..., "unassigned" for 10-19.
YAV_EXPORT extern const char* const yav_proxy_rsp_cmd_names[yav_max_proxy_rsp_cmd];
// Names indexed by response code: "yav_severe_error", ...
YAV_EXPORT extern const char* const yav_proxy_rsp_code_names[yav_max_proxy_rsp_code];

// The value kind of command code cmd; yav_rsp_data_none for any code that
// is not a command the plug-in carries out (unassigned, unsupported, out of
// range).
YAV_EXPORT yav_proxy_rsp_data_e yav_proxy_rsp_cmd_data(int cmd);

#endif  // YAV_MSG_PLUGIN_YAV_WEB_TRANS_CMDS_H
