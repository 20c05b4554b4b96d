#include "server/YavWebReqQuestionReader.h"

#include <strings.h>

#include <climits>

#include "core/buffers/YavBufferCursor.h"
#include "core/http/YavHTTPParser.h"
#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/plugin/YavWebReqQuestionBase.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

namespace {

typedef YavWebReqQuestionBase Q;

// A question has at most five elements: flags, HTTP message, strings,
// server part, SSL part.
constexpr int kMaxElements = 5;

struct Element {
    const unsigned char* data;
    unsigned len;
};

void reset(YavWebReqQuestionData* out) {
    out->flags = 0;
    out->httpMessage.refer(nullptr, 0);
    out->method = yav_http_method_unknown;
    for (YavStringRef* s :
         {&out->methodText, &out->target, &out->version, &out->headerBlock, &out->clientIP,
          &out->uri, &out->query, &out->connectionID, &out->wsaUser}) {
        s->clear();
    }
    out->secure = false;
    out->server.clear();
    out->ssl.clear();
}

}  // namespace

yav_status_t YavWebReqQuestionReader::read(YavSharedMemIterator& it, YavWebReqQuestionData* out) {
    reset(out);

    Element elements[kMaxElements];
    int count = 0;
    do {
        unsigned len = 0;
        void* data = nullptr;
        yav_status_t status = it.getNextElement(&len, &data);
        if (status != 0) return status;
        if (count == kMaxElements || len > static_cast<unsigned>(INT_MAX)) {
            return YAV_S_UNMARSHAL_FAILED;
        }
        elements[count++] = Element{static_cast<const unsigned char*>(data), len};
    } while (it.hasMoreElements());

    YavProxyIFMsgInt flags;
    if (elements[0].len != 4 || flags.unmarshal(elements[0].data, 4) != 4 ||
        (flags.get() & ~Q::kAllFlags) != 0) {
        return YAV_S_UNMARSHAL_FAILED;
    }
    out->flags = flags.get();

    const bool hasStrings = out->has(Q::kStringFlags);
    const int expected =
        (hasStrings ? 1 : 0) + (out->has(Q::kServer) ? 1 : 0) + (out->has(Q::kSSLSession) ? 1 : 0);
    int next = 1;
    // One element more than the flags announce otherwise is the HTTP
    // message; an empty message travels as no element.
    if (count - 1 == expected + 1) {
        if (!out->has(Q::kHTTPMessage) || elements[1].len == 0) return YAV_S_UNMARSHAL_FAILED;
        out->httpMessage.refer(elements[1].data, static_cast<int>(elements[1].len));
        ++next;
    } else if (count - 1 != expected) {
        return YAV_S_UNMARSHAL_FAILED;
    }

    yav_status_t status = 0;
    if (hasStrings) {
        status = readStrings(elements[next].data, elements[next].len, out);
        if (status != 0) return status;
        ++next;
    }
    if (out->has(Q::kServer)) {
        status = readPart(elements[next].data, elements[next].len, &out->server);
        if (status != 0) return status;
        ++next;
    }
    if (out->has(Q::kSSLSession)) {
        status = readPart(elements[next].data, elements[next].len, &out->ssl);
        if (status != 0) return status;
        out->secure = true;
    }
    return out->httpMessage.isEmpty() ? 0 : parseHTTP(out);
}

yav_status_t YavWebReqQuestionReader::readStrings(const unsigned char* data, unsigned len,
                                                  YavWebReqQuestionData* out) {
    const struct {
        int flag;
        YavStringRef* value;
    } strings[] = {{Q::kClientIP, &out->clientIP},
                   {Q::kURI, &out->uri},
                   {Q::kQuery, &out->query},
                   {Q::kConnectionID, &out->connectionID},
                   {Q::kWSAUser, &out->wsaUser}};
    const int size = static_cast<int>(len);
    int offset = 0;
    for (const auto& s : strings) {
        if (!out->has(s.flag)) continue;
        const int n = YavProxyIFMsgString::read(data + offset, size - offset, s.value);
        if (n < 0) return YAV_S_UNMARSHAL_FAILED;
        offset += n;
    }
    return offset == size ? 0 : YAV_S_UNMARSHAL_FAILED;
}

yav_status_t YavWebReqQuestionReader::readPart(const unsigned char* data, unsigned len,
                                               YavProxyIFMsgData* part) {
    const int consumed = part->unmarshal(data, static_cast<int>(len));
    return consumed >= 0 && static_cast<unsigned>(consumed) == len ? 0 : YAV_S_UNMARSHAL_FAILED;
}

yav_status_t YavWebReqQuestionReader::parseHTTP(YavWebReqQuestionData* out) {
    YavBufferCursor cursor(out->httpMessage);
    yav_status_t status = YavHTTPParser::parseRequestLine(cursor, out->method, &out->methodText,
                                                          out->target, out->version);
    // An extension method is the server's to judge, not a malformed question.
    if (status != 0 && status != YAV_S_HTTP_BAD_METHOD) return status;
    out->headerBlock.set(cursor.getCurrentText(), cursor.getRemaining());
    return 0;
}

yav_status_t YavWebReqQuestionReader::findHeader(const YavWebReqQuestionData& data,
                                                 const YavStringRef& name, YavStringRef* value) {
    YavBufferCursor cursor(data.headerBlock.getData(), data.headerBlock.getLength());
    while (!cursor.atEnd()) {
        YavStringRef headerName;
        YavStringRef headerValue;
        // The empty line (or anything that is not a header) ends the block.
        if (YavHTTPParser::parseHeader(cursor, headerName, headerValue) != 0) break;
        if (headerName.getLength() == name.getLength() &&
            strncasecmp(headerName.getData(), name.getData(),
                        static_cast<size_t>(name.getLength())) == 0) {
            *value = headerValue;
            return 0;
        }
        if (!YavHTTPParser::wasteTerminator(cursor)) break;
    }
    return YAV_S_NOT_AVAILABLE;
}
