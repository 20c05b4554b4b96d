// yav_proxy_rsp_code_e: what the web-server module is to do with a request
// once the plug-in has handled it.  The authorization server sends one of
// these codes with every web transaction answer; the core stores it in the
// transaction (YavTransaction::setResult), where the module reads it.
//
// Plain constants; any thread may use them.
#ifndef YAV_PLUGIN_CORE_YAV_PROXY_RSP_CODE_H
#define YAV_PLUGIN_CORE_YAV_PROXY_RSP_CODE_H

enum yav_proxy_rsp_code_e {
    // Something went wrong that the module cannot recover from: fail the
    // request (typically with HTTP status 500).
    yav_severe_error = 0,
    // Serve the request, with whatever the answer changed in it.
    yav_continue = 1,
    // Serve the request; the plug-in does not need to see its response.
    yav_continue_uninteresting = 2,
    // Send the response the answer built in the response view.
    yav_send_rsp_to_client = 3,
    // Send the module's default response for the code set in the response
    // view (the response view was told so through setDefaultResponse(1)).
    yav_send_default_rsp_to_client = 4,
    // The authorization server needs more of the request body: read it and
    // hand the request to the core again.
    yav_require_more_body_data = 5,
    // The number of codes; not a code.
    yav_max_proxy_rsp_code = 6
};

#endif  // YAV_PLUGIN_CORE_YAV_PROXY_RSP_CODE_H
