// The HTTP header names, header values and URL fragments that the library
// writes and looks for.
//
// Process-wide constants built by static initialisers before any other code
// runs; each references constant text (never copied, never freed).  They are
// only read afterwards, so any thread may use them without locking.  The
// header names are YavHTTPHdrNameRef objects whose hash is computed when they
// are built.
#ifndef YAV_CORE_HTTP_YAVHTTPHEADERS_H
#define YAV_CORE_HTTP_YAVHTTPHEADERS_H

#include "core/buffers/YavString.h"
#include "core/http/YavHTTPHdrNameRef.h"
#include "core/sundry/yav_base.h"

// Header names.
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_accept_charset;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_accept_language;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_accept_ranges;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_authorization;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_cache_control;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_connection;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_content_length;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_content_range;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_content_type;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_cookie;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_host;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_if_modified_since;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_if_match;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_if_none_match;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_if_range;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_if_unmodified_since;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_last_modified;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_location;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_no_cache;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_pragma;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_referer;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_set_cookie;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_user_agent;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_transfer_encoding;
YAV_EXPORT extern const YavHTTPHdrNameRef yav_hdr_www_authenticate;

// Header values, protocol names and URL fragments.
YAV_EXPORT extern const YavStringRef yav_val_text_html;
YAV_EXPORT extern const YavStringRef yav_val_text_html_iso_8859_1;
YAV_EXPORT extern const YavStringRef yav_val_text_html_utf8;
YAV_EXPORT extern const YavStringRef yav_val_form_data;
YAV_EXPORT extern const YavStringRef yav_val_conn_close;
YAV_EXPORT extern const YavStringRef yav_val_conn_keep_alive;
YAV_EXPORT extern const YavStringRef yav_protocol_http;
YAV_EXPORT extern const YavStringRef yav_protocol_https;
YAV_EXPORT extern const YavStringRef yav_scheme_http;
YAV_EXPORT extern const YavStringRef yav_scheme_https;
YAV_EXPORT extern const YavStringRef yav_str_ampersand;
YAV_EXPORT extern const YavStringRef yav_str_equals;
YAV_EXPORT extern const YavStringRef yav_str_question;
YAV_EXPORT extern const YavStringRef yav_str_slash;
YAV_EXPORT extern const YavStringRef yav_str_crlf;
YAV_EXPORT extern const YavStringRef yav_str_header_sep;
YAV_EXPORT extern const YavStringRef yav_str_scheme;

#endif  // YAV_CORE_HTTP_YAVHTTPHEADERS_H
