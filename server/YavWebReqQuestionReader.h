// YavWebReqQuestionReader: the authorization server's reader of web request
// questions (type yav_msg_web_req_question) from a worker's request region.
//
// read() takes the element chain apart into a YavWebReqQuestionData: the
// flags word, the raw HTTP message and, parsed from it, the method, the
// request target, the version and the header lines; the client IP, URI,
// query, connection ID and WSA user; the security indicator (the SSL part
// is present); the server part and the SSL-session part with its
// certificate.  The question comes from another process and is not
// trusted: a chain that breaks the layout (unknown flags, a missing or
// surplus element, a value running past its element or leaving bytes of it
// unread) is refused with a status and nothing past an element is read.
//
// Layout read:
//     flags (exactly 4 bytes) | HTTP message (when kHTTPMessage and not
//     empty) | strings (when any of kStringFlags) | server part (kServer) |
//     SSL part (kSSLSession)
// Because an empty HTTP message is sent as no element at all, the reader
// tells whether element 2 is the message by counting the elements.
//
// Memory: the data holds references into the region (and into nothing
// else); it is valid only while the region is.  Static functions; any
// thread may read its own region.  The data is not copyable.
#ifndef YAV_SERVER_YAVWEBREQQUESTIONREADER_H
#define YAV_SERVER_YAVWEBREQQUESTIONREADER_H

#include "core/buffers/YavBuffer.h"
#include "core/buffers/YavString.h"
#include "core/http/YavHTTP.h"
#include "core/sundry/yav_base.h"
#include "msg/plugin/YavWebReqSSLSessQuestion.h"
#include "msg/plugin/YavWebReqServerQuestion.h"

class YavSharedMemIterator;

struct YavWebReqQuestionData {
    YavWebReqQuestionData() = default;
    YAV_DISALLOW_COPY(YavWebReqQuestionData);

    int flags = 0;  // YavWebReqQuestionBase::k... bits
    // The raw request; empty when absent.
    YavBuffer httpMessage;
    // From the request line of httpMessage (all empty without one); an
    // extension method is yav_http_method_unknown with its text in
    // methodText.
    YavHTTPMethod method = yav_http_method_unknown;
    YavStringRef methodText;
    YavStringRef target;
    YavStringRef version;
    // The bytes after the request line: the header lines, the empty line
    // and any body.  Searched by YavWebReqQuestionReader::findHeader.
    YavStringRef headerBlock;

    YavStringRef clientIP;
    YavStringRef uri;
    YavStringRef query;
    YavStringRef connectionID;
    YavStringRef wsaUser;

    // The request came over SSL (the SSL part is present).
    bool secure = false;
    YavWebReqServerQuestion server;  // flags 0 when absent
    YavWebReqSSLSessQuestion ssl;    // flags 0 when absent

    bool has(int flag) const { return (flags & flag) != 0; }
};

class YavWebReqQuestionReader {
  public:
    YavWebReqQuestionReader() = delete;

    // Reads the question at the iterator's position into *out (which is
    // emptied first).  0; the iterator's status when the chain breaks or
    // has no element; YAV_S_UNMARSHAL_FAILED for a layout the plug-in does
    // not write; the HTTP parser's status for a message whose request line
    // does not parse.  On failure *out holds nothing useful.
    // REQUIRES: out != nullptr.
    static yav_status_t read(YavSharedMemIterator& it, YavWebReqQuestionData* out);

    // The value of the first header line called name (ASCII case ignored)
    // in data.headerBlock, up to the empty line.  YAV_S_NOT_AVAILABLE when
    // there is none.  REQUIRES: value != nullptr.
    static yav_status_t findHeader(const YavWebReqQuestionData& data, const YavStringRef& name,
                                   YavStringRef* value);

  private:
    static yav_status_t readStrings(const unsigned char* data, unsigned len,
                                    YavWebReqQuestionData* out);
    static yav_status_t readPart(const unsigned char* data, unsigned len, YavProxyIFMsgData* part);
    static yav_status_t parseHTTP(YavWebReqQuestionData* out);
};

#endif  // YAV_SERVER_YAVWEBREQQUESTIONREADER_H
