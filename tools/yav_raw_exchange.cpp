#include "tools/yav_raw_exchange.h"

#include <strings.h>

#include <climits>

#include "core/buffers/YavBufferCursor.h"
#include "core/encoders/yav_base64.h"
#include "core/encoders/yav_certificate.h"
#include "core/http/YavHTTP.h"
#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"

namespace {

template <class E>
std::string toString(const YavStringRefT<char, E>& text) {
    return std::string(text.getData(), static_cast<size_t>(text.getLength()));
}

template <class Ref>
void referTo(const std::string& s, Ref* out) {
    out->set(s.data(), static_cast<int>(s.size()));
}

bool sameName(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

template <class Ref>
yav_status_t firstHeader(YavRawHeaders& headers, const YavStringRef& name, Ref* value) {
    const std::string* found = headers.first(toString(name));
    if (found == nullptr) return YAV_S_NOT_AVAILABLE;
    referTo(*found, value);
    return 0;
}

template <class Ref>
yav_status_t nextHeader(YavRawHeaders& headers, Ref* value) {
    const std::string* found = headers.next();
    if (found == nullptr) return YAV_S_NOT_AVAILABLE;
    referTo(*found, value);
    return 0;
}

// Header lines up to and including the empty line; the cursor is left at
// the body.
yav_status_t parseHeaderLines(YavBufferCursor& cursor, YavRawHeaders* headers, std::string* why) {
    for (int line = 2;; ++line) {
        if (YavHTTPParser::wasteTerminator(cursor)) return 0;
        if (cursor.getRemaining() == 0) {
            *why = "the header block does not end with an empty line";
            return YAV_S_HTTP_BAD_REQUEST;
        }
        YavStringRef name;
        YavStringRef value;
        yav_status_t status = YavHTTPParser::parseHeader(cursor, name, value);
        if (status != 0 || !YavHTTPParser::wasteTerminator(cursor)) {
            *why = "line " + std::to_string(line) + " is not a header line (name: value)";
            return status != 0 ? status : YAV_S_HTTP_BAD_REQUEST;
        }
        headers->add(toString(name), toString(value));
    }
}

bool fitsCursor(const std::string& text, std::string* why) {
    if (text.size() > static_cast<size_t>(INT_MAX / 2)) {
        *why = "the message is too large";
        return false;
    }
    return true;
}

}  // namespace

const std::string* YavRawHeaders::scanFrom(List::const_iterator from) {
    for (m_iterPos = from; m_iterPos != m_lines.end(); ++m_iterPos) {
        if (sameName(m_iterPos->first, m_iterName)) return &m_iterPos->second;
    }
    m_iterating = false;
    return nullptr;
}

const std::string* YavRawHeaders::first(const std::string& name) {
    m_iterName = name;
    m_iterating = true;
    return scanFrom(m_lines.begin());
}

const std::string* YavRawHeaders::next() {
    if (!m_iterating) return nullptr;
    return scanFrom(std::next(m_iterPos));
}

void YavRawHeaders::add(const std::string& name, const std::string& value) {
    m_lines.emplace_back(name, value);
}

void YavRawHeaders::remove(const std::string& name) {
    m_iterating = false;  // the iteration may point at a removed line
    for (auto it = m_lines.begin(); it != m_lines.end();) {
        it = sameName(it->first, name) ? m_lines.erase(it) : std::next(it);
    }
}

void YavRawHeaders::set(const std::string& name, const std::string& value) {
    m_iterating = false;
    auto it = m_lines.begin();
    while (it != m_lines.end() && !sameName(it->first, name)) ++it;
    if (it == m_lines.end()) {
        m_lines.emplace_back(name, value);
        return;
    }
    it->first = name;
    it->second = value;
    for (++it; it != m_lines.end();) {
        it = sameName(it->first, name) ? m_lines.erase(it) : std::next(it);
    }
}

yav_status_t YavRawServer::getVHostID(YavStringRef* id) {
    if (m_vhostId.empty()) return YAV_S_NOT_AVAILABLE;
    referTo(m_vhostId, id);
    return 0;
}

yav_status_t YavRawServer::getName(YavStringRef* name) {
    if (m_name.empty()) return YAV_S_NOT_AVAILABLE;
    referTo(m_name, name);
    return 0;
}

yav_status_t YavRawServer::getPort(int* port) {
    *port = m_port;
    return 0;
}

YavRawClientCert* YavRawClientCert::fromFileBytes(const std::string& bytes) {
    static const char kBegin[] = "-----BEGIN CERTIFICATE-----";
    static const char kEnd[] = "-----END CERTIFICATE-----";
    std::string der;
    size_t begin = bytes.find(kBegin);
    if (begin == std::string::npos) {
        der = bytes;
    } else {
        begin += sizeof(kBegin) - 1;
        size_t end = bytes.find(kEnd, begin);
        if (end == std::string::npos) return nullptr;
        der.resize(yav_base64_decoded_max(end - begin));
        size_t length = 0;
        yav_base64_std_decode(bytes.data() + begin, end - begin,
                              reinterpret_cast<unsigned char*>(&der[0]), &length);
        der.resize(length);
    }
    yav_cert_result decoded = {nullptr, nullptr, nullptr};
    if (yav_decode_certificate(reinterpret_cast<const unsigned char*>(der.data()), der.size(),
                               nullptr, &decoded) != 1) {
        return nullptr;
    }
    YavRawClientCert* cert = new (std::nothrow) YavRawClientCert();
    if (cert != nullptr) {
        cert->m_issuer = decoded.issuer;
        cert->m_subject = decoded.subject;
        cert->m_serial = decoded.serial_number;
    }
    yav_certificate_free(nullptr, &decoded);
    return cert;
}

yav_status_t YavRawClientCert::getIssuerDN(YavStringRef* dn) {
    referTo(m_issuer, dn);
    return 0;
}

yav_status_t YavRawClientCert::getSubjectDN(YavStringRef* dn) {
    referTo(m_subject, dn);
    return 0;
}

yav_status_t YavRawClientCert::getSerialNumber(YavStringRef* serial) {
    referTo(m_serial, serial);
    return 0;
}

YavRawSSLSession::YavRawSSLSession(std::string id, YavClientCert* cert) : m_id(std::move(id)) {
    setClientCert(cert);
}

yav_status_t YavRawSSLSession::getID(YavBuffer* id) {
    if (m_id.empty()) return YAV_S_NOT_AVAILABLE;
    id->refer(m_id.data(), static_cast<int>(m_id.size()));
    return 0;
}

template <class View>
yav_status_t YavRawHeaderView<View>::getUTF8Header(const YavStringRef& name, YavStringRef* value) {
    return firstHeader(headers, name, value);
}

template <class View>
yav_status_t YavRawHeaderView<View>::getNCPHeader(const YavStringRef& name,
                                                  YavNCPStringRef* value) {
    return firstHeader(headers, name, value);
}

template <class View>
yav_status_t YavRawHeaderView<View>::getNextUTF8Header(YavStringRef* value) {
    return nextHeader(headers, value);
}

template <class View>
yav_status_t YavRawHeaderView<View>::getNextNCPHeader(YavNCPStringRef* value) {
    return nextHeader(headers, value);
}

template <class View>
yav_status_t YavRawHeaderView<View>::setHeader(const YavStringRef& name,
                                               const YavStringRefT<char>& value) {
    headers.set(toString(name), toString(value));
    return 0;
}

template <class View>
yav_status_t YavRawHeaderView<View>::addHeader(const YavStringRef& name,
                                               const YavStringRefT<char>& value) {
    headers.add(toString(name), toString(value));
    return 0;
}

template class YavRawHeaderView<YavRequest>;
template class YavRawHeaderView<YavResponse>;

// Cookies of the "Cookie" headers: "name=value" pairs separated by ';'.
yav_status_t YavRawRequest::getCookie(const YavStringRef& name, YavNCPStringRef* value,
                                      YavNCPStringRef* path, YavNCPStringRef* domain,
                                      int* version) {
    const std::string wanted = toString(name);
    for (const auto& line : headers.lines()) {
        if (!sameName(line.first, "Cookie")) continue;
        const std::string& text = line.second;
        size_t pos = 0;
        while (pos <= text.size()) {
            size_t end = text.find(';', pos);
            if (end == std::string::npos) end = text.size();
            size_t start = text.find_first_not_of(" \t", pos);
            if (start != std::string::npos && start < end) {
                size_t eq = text.find('=', start);
                if (eq != std::string::npos && eq < end &&
                    text.compare(start, eq - start, wanted) == 0 && eq - start == wanted.size()) {
                    m_cookieValue = text.substr(eq + 1, end - eq - 1);
                    if (value != nullptr) referTo(m_cookieValue, value);
                    if (path != nullptr) path->set("", 0);
                    if (domain != nullptr) domain->set("", 0);
                    if (version != nullptr) *version = -1;
                    return 0;
                }
            }
            pos = end + 1;
        }
    }
    return YAV_S_NOT_AVAILABLE;
}

yav_status_t YavRawRequest::setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                                      const YavStringRefT<char>*, const YavStringRefT<char>*, int) {
    headers.add("Cookie", toString(name) + "=" + toString(value));
    return 0;
}

yav_status_t YavRawRequest::removeHeader(const YavStringRef& name) {
    headers.remove(toString(name));
    return 0;
}

yav_status_t YavRawRequest::getQuery(YavStringRef* out) {
    if (!hasQuery) return YAV_S_NOT_AVAILABLE;
    referTo(query, out);
    return 0;
}

yav_status_t YavRawRequest::setQuery(const YavStringRef& text) {
    query = toString(text);
    hasQuery = true;
    return 0;
}

yav_status_t YavRawRequest::getURI(YavStringRef* out) {
    if (uri.empty()) return YAV_S_NOT_AVAILABLE;
    referTo(uri, out);
    return 0;
}

yav_status_t YavRawRequest::setURI(const YavStringRef& text) {
    uri = toString(text);
    return 0;
}

yav_status_t YavRawRequest::getClientIP(YavStringRef& ip) {
    referTo(clientIP, &ip);
    return 0;
}

yav_status_t YavRawRequest::getSecurity(int* out) {
    *out = security;
    return 0;
}

yav_status_t YavRawRequest::getMethod(YavHTTPMethod* out) {
    YavStringRef text(method.data(), static_cast<int>(method.size()));
    YavHTTP::getMethod(text, *out);
    return 0;
}

yav_status_t YavRawRequest::getMethod(YavStringRef* out) {
    referTo(method, out);
    return 0;
}

yav_status_t YavRawRequest::setMethod(YavHTTPMethod code) {
    if (code == yav_http_method_unknown) return YAV_S_HTTP_BAD_METHOD;
    YavStringRef name;
    YavHTTP::getMethodName(code, name);
    method = toString(name);
    return 0;
}

yav_status_t YavRawRequest::setMethod(const YavStringRef& text) {
    method = toString(text);
    return 0;
}

yav_status_t YavRawRequest::getVersion(YavStringRef* out) {
    referTo(version, out);
    return 0;
}

yav_status_t YavRawRequest::setVersion(const YavStringRef& text) {
    version = toString(text);
    return 0;
}

yav_status_t YavRawRequest::getPostData(YavBuffer* data) {
    data->refer(body.data(), static_cast<int>(body.size()));
    return 0;
}

yav_status_t YavRawRequest::setBody(const YavBuffer& data) {
    body.assign(reinterpret_cast<const char*>(data.getData()), static_cast<size_t>(data.getLen()));
    return 0;
}

yav_status_t YavRawRequest::getHTTPBuffer(YavBuffer* out) {
    out->refer(raw.data(), static_cast<int>(raw.size()));
    return 0;
}

yav_status_t YavRawRequest::setWebLogUser(const YavStringRef& first, const YavStringRef& second,
                                          const YavStringRef& third) {
    webLogUser = {toString(first), toString(second), toString(third)};
    return 0;
}

yav_status_t YavRawResponse::setCookie(const YavStringRef& name, const YavStringRefT<char>& value,
                                       const YavStringRefT<char>* path,
                                       const YavStringRefT<char>* domain,
                                       const YavStringRefT<char>* comment,
                                       const YavStringRefT<char>* maxAge, int secure, int version) {
    std::string line = toString(name) + "=" + toString(value);
    if (path != nullptr) line += "; Path=" + toString(*path);
    if (domain != nullptr) line += "; Domain=" + toString(*domain);
    if (comment != nullptr) line += "; Comment=" + toString(*comment);
    if (maxAge != nullptr) line += "; Max-Age=" + toString(*maxAge);
    if (secure != 0) line += "; Secure";
    if (version >= 0) line += "; Version=" + std::to_string(version);
    headers.add("Set-Cookie", line);
    return 0;
}

yav_status_t YavRawResponse::getBody(YavBuffer* out) {
    out->refer(body.data(), static_cast<int>(body.size()));
    return 0;
}

yav_status_t YavRawResponse::getHTTPBuffer(YavBuffer* out) {
    if (raw.empty()) return YAV_S_NOT_AVAILABLE;
    out->refer(raw.data(), static_cast<int>(raw.size()));
    return 0;
}

yav_status_t YavRawResponse::setBody(const YavBuffer& data) {
    body.append(reinterpret_cast<const char*>(data.getData()), static_cast<size_t>(data.getLen()));
    return 0;
}

yav_status_t YavRawResponse::setBodyFromFile(const YavStringRef& path) {
    bodyFile = toString(path);
    return 0;
}

yav_status_t YavRawResponse::getCode(int* out) {
    if (code == 0) return YAV_S_NOT_AVAILABLE;
    *out = code;
    return 0;
}

yav_status_t YavRawResponse::setCode(int newCode) {
    if (newCode < 100 || newCode > 999) return YAV_S_INVALID_SYS_INPUT;
    code = newCode;
    YavStringRef text;
    YavHTTP::getReason(newCode, text);
    reason = toString(text);
    return 0;
}

yav_status_t YavRawResponse::getContentType(YavNCPStringRef* type) {
    const std::string* found = headers.first("Content-Type");
    if (found == nullptr) return YAV_S_NOT_AVAILABLE;
    referTo(*found, type);
    return 0;
}

yav_status_t YavRawResponse::setContentType(const YavStringRef& type) {
    headers.set("Content-Type", toString(type));
    return 0;
}

yav_status_t YavRawResponse::setDefaultResponse(int value) {
    useDefault = value != 0;
    return 0;
}

yav_status_t YavRawResponse::beginNew() {
    code = 0;
    reason.clear();
    headers = YavRawHeaders();
    body.clear();
    bodyFile.clear();
    useDefault = false;
    return 0;
}

YavRawTransaction::YavRawTransaction(YavRawRequest* request, YavRawResponse* response)
    : YavTransaction(nullptr) {
    m_request = request;
    m_response = response;
}

yav_status_t YavRawTransaction::writeLog(yav_log_levels_e level, const char* text) {
    static const char* const kLevels[] = {"error", "warning", "info", "debug"};
    const char* name = level >= 0 && level <= yav_log_level_debug ? kLevels[level] : "?";
    logLines.push_back(std::string(name) + ": " + text);
    return 0;
}

yav_status_t yav_raw_parse_request(const std::string& text, YavRawRequest* request,
                                   std::string* why) {
    if (!fitsCursor(text, why)) return YAV_S_INVALID_SYS_INPUT;
    request->raw = text;
    YavBufferCursor cursor(request->raw.data(), static_cast<int>(request->raw.size()));
    YavHTTPMethod code;
    YavStringRef method;
    YavStringRef target;
    YavStringRef version;
    yav_status_t status = YavHTTPParser::parseRequestLine(cursor, code, &method, target, version);
    // Methods outside the parser's table (DELETE, PATCH, ...) still travel
    // as their text.
    if (status == YAV_S_HTTP_BAD_METHOD && method.getLength() > 0) status = 0;
    if (status != 0) {
        *why = "the first line is not a request line (METHOD URI HTTP/x.y)";
        return status;
    }
    std::string uri = toString(target);
    size_t question = uri.find('?');
    request->hasQuery = question != std::string::npos;
    if (request->hasQuery) {
        request->query = uri.substr(question + 1);
        uri.resize(question);
    }
    request->method = toString(method);
    request->uri = uri;
    request->version = toString(version);
    status = parseHeaderLines(cursor, &request->headers, why);
    if (status != 0) return status;
    request->body =
        request->raw.substr(request->raw.size() - static_cast<size_t>(cursor.getRemaining()));
    return 0;
}

yav_status_t yav_raw_parse_response(const std::string& text, YavRawResponse* response,
                                    std::string* why) {
    if (!fitsCursor(text, why)) return YAV_S_INVALID_SYS_INPUT;
    response->raw = text;
    YavBufferCursor cursor(response->raw.data(), static_cast<int>(response->raw.size()));
    YavStringRef version;
    YavStringRef code;
    YavStringRef reason;
    yav_status_t status = YavHTTPParser::parseStatusLine(cursor, version, code, reason);
    if (status != 0) {
        *why = "the first line is not a status line (HTTP/x.y CODE reason)";
        return status;
    }
    const char* digits = code.getData();
    response->code = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
    response->reason = toString(reason);
    status = parseHeaderLines(cursor, &response->headers, why);
    if (status != 0) return status;
    response->body =
        response->raw.substr(response->raw.size() - static_cast<size_t>(cursor.getRemaining()));
    return 0;
}

const char* yav_raw_result_name(yav_proxy_rsp_code_e code) {
    switch (code) {
        case yav_severe_error:
            return "yav_severe_error";
        case yav_continue:
            return "yav_continue";
        case yav_continue_uninteresting:
            return "yav_continue_uninteresting";
        case yav_send_rsp_to_client:
            return "yav_send_rsp_to_client";
        case yav_send_default_rsp_to_client:
            return "yav_send_default_rsp_to_client";
        case yav_require_more_body_data:
            return "yav_require_more_body_data";
        case yav_max_proxy_rsp_code:
            break;
    }
    return "unknown";
}
