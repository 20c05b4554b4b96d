#include "msg/plugin/yav_web_trans_cmds.h"

const char* const yav_proxy_rsp_cmd_names[yav_max_proxy_rsp_cmd] = {
    "yav_req_add_header",
    "yav_req_set_header",
    "yav_req_remove_header",
    "yav_req_set_method",
    "yav_req_set_uri",
    "yav_req_set_version",
    "yav_req_set_query",
    "yav_req_set_body",
    "yav_req_set_web_log_user",
    "yav_req_get_body",
    "unassigned",
    "unassigned",
    "unassigned",
    "unassigned",
    "unassigned",
    "unassigned",
    "unassigned",
    "unassigned",
    "unassigned",
    "unassigned",
    "yav_first_response_code",
    "yav_rsp_add_header",
    "yav_rsp_set_header",
    "yav_rsp_remove_header",
    "yav_rsp_set_response_code",
    "yav_rsp_set_body",
    "yav_rsp_set_body_from_file",
    "yav_rsp_remove_cookie",
    "yav_rsp_set_content_type",
    "yav_rsp_req_client_cert",
    "yav_rsp_set_keep_alive",
    "yav_rsp_set_trace_level",
    "yav_rsp_clear_existing_body",
    "yav_rsp_req_wsa",
    "yav_rsp_capture_rsp",
    "yav_rsp_begin_new_rsp",
    "yav_rsp_set_body_to_default",
    "yav_rsp_set_response_sub_code",
    "yav_rsp_urc_version",
};

const char* const yav_proxy_rsp_code_names[yav_max_proxy_rsp_code] = {
    "yav_severe_error",
    "yav_continue",
    "yav_continue_uninteresting",
    "yav_send_rsp_to_client",
    "yav_send_default_rsp_to_client",
    "yav_require_more_body_data",
};

yav_proxy_rsp_data_e yav_proxy_rsp_cmd_data(int cmd) {
    switch (cmd) {
        case yav_req_add_header:
        case yav_req_set_header:
        case yav_rsp_add_header:
        case yav_rsp_set_header:
            return yav_rsp_data_name_value;
        case yav_req_remove_header:
        case yav_req_set_method:
        case yav_req_set_uri:
        case yav_req_set_version:
        case yav_req_set_query:
        case yav_rsp_set_body_from_file:
        case yav_rsp_set_content_type:
        case yav_rsp_capture_rsp:
            return yav_rsp_data_string;
        case yav_req_set_web_log_user:
            return yav_rsp_data_string_list;
        case yav_req_get_body:
        case yav_rsp_set_response_code:
        case yav_rsp_set_trace_level:
        case yav_rsp_set_response_sub_code:
            return yav_rsp_data_int;
        case yav_req_set_body:
        case yav_rsp_set_body:
        case yav_rsp_urc_version:
            return yav_rsp_data_buffer;
        default:
            return yav_rsp_data_none;
    }
}
