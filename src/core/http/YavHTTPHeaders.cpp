#include "core/http/YavHTTPHeaders.h"

namespace {

// A reference to a literal, known to be terminated: neither measuring nor
// getTerminated ever has to write into a shared constant.
YavStringRef literal(const char* text, int length) {
    YavStringRef ref;
    ref.setTerminated(text, length);
    return ref;
}

}  // namespace

#define YAV_HTTP_CONST(type, name, text) \
    const type name(literal(text, static_cast<int>(sizeof(text) - 1)))

YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_accept_charset, "Accept-Charset");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_accept_language, "Accept-Language");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_accept_ranges, "Accept-Ranges");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_authorization, "Authorization");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_cache_control, "Cache-Control");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_connection, "Connection");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_content_length, "Content-Length");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_content_range, "Content-Range");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_content_type, "Content-Type");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_cookie, "Cookie");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_host, "Host");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_if_modified_since, "If-Modified-Since");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_if_match, "If-Match");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_if_none_match, "If-None-Match");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_if_range, "If-Range");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_if_unmodified_since, "If-Unmodified-Since");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_last_modified, "Last-Modified");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_location, "Location");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_no_cache, "No-Cache");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_pragma, "Pragma");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_referer, "Referer");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_set_cookie, "Set-Cookie");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_user_agent, "User-Agent");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_transfer_encoding, "Transfer-Encoding");
YAV_HTTP_CONST(YavHTTPHdrNameRef, yav_hdr_www_authenticate, "WWW-authenticate");

YAV_HTTP_CONST(YavStringRef, yav_val_text_html, "text/html");
YAV_HTTP_CONST(YavStringRef, yav_val_text_html_iso_8859_1, "text/html; charset=iso-8859-1");
YAV_HTTP_CONST(YavStringRef, yav_val_text_html_utf8, "text/html; charset=utf-8");
YAV_HTTP_CONST(YavStringRef, yav_val_form_data, "application/x-www-form-urlencoded");
YAV_HTTP_CONST(YavStringRef, yav_val_conn_close, "close");
YAV_HTTP_CONST(YavStringRef, yav_val_conn_keep_alive, "keep-alive");
YAV_HTTP_CONST(YavStringRef, yav_protocol_http, "http");
YAV_HTTP_CONST(YavStringRef, yav_protocol_https, "https");
YAV_HTTP_CONST(YavStringRef, yav_scheme_http, "http://");
YAV_HTTP_CONST(YavStringRef, yav_scheme_https, "https://");
YAV_HTTP_CONST(YavStringRef, yav_str_ampersand, "&");
YAV_HTTP_CONST(YavStringRef, yav_str_equals, "=");
YAV_HTTP_CONST(YavStringRef, yav_str_question, "?");
YAV_HTTP_CONST(YavStringRef, yav_str_slash, "/");
YAV_HTTP_CONST(YavStringRef, yav_str_crlf, "\r\n");
YAV_HTTP_CONST(YavStringRef, yav_str_header_sep, ": ");
YAV_HTTP_CONST(YavStringRef, yav_str_scheme, "://");
