#include "msg/plugin/YavWebTransAnswerUnmarshaller.h"

#include <climits>
#include <cstdint>

#include "core/http/YavHTTPHeaders.h"
#include "core/msg/kr_msg.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"
#include "core/trace/YavTraceRegistry.h"
#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/core/YavProxyIFMsgStringList.h"
#include "plugin/core/YavTransaction.h"
#include "urc/plugin/YavEpochVersion.h"

YavClassAllocator YavWebTransAnswerUnmarshaller::m_allocator(YAV_N_RSP_PARSER, 44);

namespace {

// The strings of the web-log-user command.
constexpr unsigned kWebLogUserStrings = 3;
// Status code set when the server's request for a client certificate
// cannot be carried out.
constexpr int kInternalServerError = 500;
// Room for the decimal digits of a 64-bit length and the terminator.
constexpr int kDecimalSize = 24;

// A received string is used only with its terminator (the empty string of
// length 0 needs none): text that was cut short is refused, not guessed at.
bool terminated(const YavStringRef& text) { return text.isTerminated() || text.getLength() == 0; }

// Logs messageCode through the transaction with the text of status and
// status itself.
void logFailure(YavTransaction* trans, yav_status_t messageCode, yav_status_t status) {
    char text[YavTransaction::kLogBufferSize];
    uint32_t textStatus = 0;
    kr_error_inq_text(status, text, sizeof text, &textStatus);
    if (textStatus != 0) text[0] = '\0';
    trans->logMessage(yav_log_level_error, static_cast<int>(messageCode), text, status);
}

// Returns status, logged under messageCode when it is a failure.
yav_status_t logged(YavTransaction* trans, yav_status_t messageCode, yav_status_t status) {
    if (status != 0) logFailure(trans, messageCode, status);
    return status;
}

// Writes value in decimal into out (kDecimalSize bytes); returns the length.
int formatDecimal(uint64_t value, char* out) {
    char digits[kDecimalSize];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < n; ++i) out[i] = digits[n - 1 - i];
    out[n] = '\0';
    return n;
}

// Sets the "Content-Length" header of message to length.
yav_status_t setContentLength(YavMessage* message, uint64_t length) {
    char text[kDecimalSize];
    const int n = formatDecimal(length, text);
    return message->setHeader(yav_hdr_content_length, YavStringRefT<char>(text, n));
}

// A finalize step that the view does not offer has nothing to do.
yav_status_t finalizeStatus(yav_status_t status) {
    return status == YAV_S_NOT_SUPPORTED ? 0 : status;
}

}  // namespace

// The body state of one answer: the new request body, the response body
// pieces with their total length, and the body file.  All of it refers into
// the worker buffer.
class YavWebTransAnswerUnmarshaller::Bodies {
  public:
    struct Piece {
        const unsigned char* data;
        int len;
    };

    explicit Bodies(YavTransaction* trans) : m_trans(trans) {}
    ~Bodies() {
        if (m_overflow != nullptr) m_trans->deallocate(m_overflow);
    }
    YAV_DISALLOW_COPY(Bodies);

    // Appends a piece.  0 or YAV_S_NO_MEMORY (nothing changes then).
    yav_status_t addPiece(const YavBuffer& piece) {
        if (m_count >= kInlineBodyPieces + m_overflowCapacity) {
            yav_status_t status = growOverflow();
            if (status != 0) return status;
        }
        Piece* slot = m_count < kInlineBodyPieces ? &m_inline[m_count]
                                                  : &m_overflow[m_count - kInlineBodyPieces];
        slot->data = piece.getData();
        slot->len = piece.getLen();
        ++m_count;
        m_total += static_cast<uint64_t>(piece.getLen());
        return 0;
    }
    // Forgets the pieces (an allocated array is kept for later pieces).
    void clearPieces() {
        m_count = 0;
        m_total = 0;
    }
    int pieceCount() const { return m_count; }
    uint64_t total() const { return m_total; }
    const Piece& piece(int i) const {
        return i < kInlineBodyPieces ? m_inline[i] : m_overflow[i - kInlineBodyPieces];
    }

    YavBuffer requestBody;
    bool hasRequestBody = false;
    YavStringRef fileName;
    bool hasFileName = false;
    bool moreBodyData = false;

  private:
    yav_status_t growOverflow() {
        const int capacity = m_overflowCapacity == 0 ? kInlineBodyPieces : 2 * m_overflowCapacity;
        if (capacity > static_cast<int>(INT_MAX / sizeof(Piece))) return YAV_S_NO_MEMORY;
        const unsigned newSize = static_cast<unsigned>(capacity * sizeof(Piece));
        const unsigned oldSize = static_cast<unsigned>(m_overflowCapacity * sizeof(Piece));
        void* block = m_overflow == nullptr ? m_trans->allocate(newSize)
                                            : m_trans->reallocate(m_overflow, oldSize, newSize);
        if (block == nullptr) return YAV_S_NO_MEMORY;
        m_overflow = static_cast<Piece*>(block);
        m_overflowCapacity = capacity;
        return 0;
    }

    YavTransaction* m_trans;
    Piece m_inline[kInlineBodyPieces];
    Piece* m_overflow = nullptr;  // from the transaction's allocator
    int m_overflowCapacity = 0;
    int m_count = 0;
    uint64_t m_total = 0;
};

yav_status_t YavWebTransAnswerUnmarshaller::create(YavWebTransAnswerUnmarshaller** out) {
    YAV_ASSERT(out != nullptr);
    *out = m_allocator.make<YavWebTransAnswerUnmarshaller>();
    return *out != nullptr ? 0 : YAV_S_NO_MEMORY;
}

void YavWebTransAnswerUnmarshaller::deleteMe() { m_allocator.destroy(this); }

yav_status_t YavWebTransAnswerUnmarshaller::unmarshal(YavSharedMemIterator& it, void* context) {
    YAV_ASSERT(context != nullptr);
    YavTransaction* trans = static_cast<YavTransaction*>(context);
    if (!trans->hasRequest() || !trans->hasResponse()) {
        trans->logMessage(yav_log_level_error, static_cast<int>(YAV_S_INVALID_TRANSACTION));
        return YAV_S_INVALID_TRANSACTION_PASSED;
    }
    yav_status_t status = YavWebTransAnswerIter::unmarshal(it, context);
    if (status != 0) {
        trans->logMessage(yav_log_level_error, static_cast<int>(YAV_S_INVALID_TRANSACTION));
        return YAV_S_UNMARSHAL_FAILED;
    }
    Bodies bodies(trans);
    // next() only moves forward through the chain, so the loop ends.
    while (next()) {
        bool stop = false;
        status = applyCommand(trans, &bodies, &stop);
        if (status != 0 || stop) return status;
    }
    status = getEndStatus();
    if (status != 0) {
        trans->logMessage(yav_log_level_error, static_cast<int>(YAV_S_INVALID_TRANSACTION));
        return status;
    }
    if (trans->shouldRetry() || bodies.moreBodyData) return 0;
    return finish(trans, &bodies);
}

yav_status_t YavWebTransAnswerUnmarshaller::readData(YavTransaction* trans, YavProxyIFMsgData* data,
                                                     yav_status_t messageCode) {
    yav_status_t status = getCmdData(data);
    return logged(trans, messageCode, status);
}

yav_status_t YavWebTransAnswerUnmarshaller::readString(YavTransaction* trans,
                                                       YavProxyIFMsgString* data,
                                                       yav_status_t messageCode) {
    yav_status_t status = getCmdData(data);
    if (status == 0 && !terminated(data->get())) status = YAV_S_UNMARSHAL_FAILED;
    return logged(trans, messageCode, status);
}

yav_status_t YavWebTransAnswerUnmarshaller::applyCommand(YavTransaction* trans, Bodies* bodies,
                                                         bool* stop) {
    const int cmd = getCmdID();
    switch (yav_proxy_rsp_cmd_data(cmd)) {
        case yav_rsp_data_name_value:
            return applyNameValue(trans, cmd);
        case yav_rsp_data_string:
            return applyString(trans, cmd, bodies);
        case yav_rsp_data_int:
            return applyInt(trans, cmd, bodies);
        case yav_rsp_data_buffer:
            return applyBuffer(trans, cmd, bodies);
        case yav_rsp_data_string_list:
            return applyWebLogUser(trans);
        case yav_rsp_data_none:
            break;
    }
    YavResponse* rsp = trans->getResponse();
    yav_status_t status = 0;
    switch (cmd) {
        case yav_rsp_req_client_cert:
            return applyClientCert(trans, stop);
        case yav_rsp_req_wsa:
            return applyWSA(trans);
        case yav_rsp_clear_existing_body:
            bodies->clearPieces();
            return 0;
        case yav_rsp_set_keep_alive:
            status = rsp->setKeepAlive();
            return logged(trans, YAV_S_RSP_SET_HEADER, status);
        case yav_rsp_begin_new_rsp:
            status = rsp->beginNew();
            return logged(trans, YAV_S_RSP_BEGIN_NEW, status);
        case yav_rsp_set_body_to_default:
            status = rsp->setBodyToDefault();
            return logged(trans, YAV_S_RSP_SET_DEFAULT_BODY, status);
        case yav_rsp_remove_header:
        case yav_rsp_remove_cookie:
            trans->logMessage(yav_log_level_error, static_cast<int>(YAV_S_UNSUPPORTED_COMMAND_CODE),
                              cmd);
            return YAV_S_UNSUPPORTED_COMMAND;
        default:
            // Unassigned codes, the response-command marker and codes past
            // the table.
            trans->logMessage(yav_log_level_error, static_cast<int>(YAV_S_INVALID_COMMAND_CODE),
                              cmd);
            return YAV_S_INVALID_COMMAND;
    }
}

yav_status_t YavWebTransAnswerUnmarshaller::applyNameValue(YavTransaction* trans, int cmd) {
    yav_status_t messageCode = YAV_S_REQ_ADD_HEADER;
    if (cmd == yav_req_set_header) messageCode = YAV_S_REQ_SET_HEADER;
    if (cmd == yav_rsp_add_header) messageCode = YAV_S_RSP_ADD_HEADER;
    if (cmd == yav_rsp_set_header) messageCode = YAV_S_RSP_SET_HEADER;
    YavProxyIFMsgNameValue pair;
    yav_status_t status = readData(trans, &pair, messageCode);
    if (status != 0) return status;
    if (!terminated(pair.getName()) || !terminated(pair.getValue())) {
        logFailure(trans, messageCode, YAV_S_UNMARSHAL_FAILED);
        return YAV_S_UNMARSHAL_FAILED;
    }
    const YavStringRef& name = pair.getName();
    const YavStringRefT<char> value(pair.getValue().getData(), pair.getValue().getLength());
    switch (cmd) {
        case yav_req_add_header:
            status = trans->getRequest()->addHeader(name, value);
            break;
        case yav_req_set_header:
            status = trans->getRequest()->setHeader(name, value);
            break;
        case yav_rsp_add_header:
            status = trans->getResponse()->addHeader(name, value);
            break;
        default:
            status = trans->getResponse()->setHeader(name, value);
            break;
    }
    return logged(trans, messageCode, status);
}

yav_status_t YavWebTransAnswerUnmarshaller::applyString(YavTransaction* trans, int cmd,
                                                        Bodies* bodies) {
    yav_status_t messageCode = 0;
    switch (cmd) {
        case yav_req_remove_header:
            messageCode = YAV_S_REQ_SET_HEADER;
            break;
        case yav_req_set_method:
            messageCode = YAV_S_REQ_SET_METHOD;
            break;
        case yav_req_set_uri:
            messageCode = YAV_S_REQ_SET_URI;
            break;
        case yav_req_set_version:
            messageCode = YAV_S_REQ_SET_VERSION;
            break;
        case yav_req_set_query:
            messageCode = YAV_S_REQ_SET_QUERY;
            break;
        case yav_rsp_set_body_from_file:
            messageCode = YAV_S_RSP_SET_BODY;
            break;
        case yav_rsp_set_content_type:
            messageCode = YAV_S_RSP_SET_CONTENT_TYPE;
            break;
        default:
            messageCode = YAV_S_RSP_CAPTURE;
            break;
    }
    YavProxyIFMsgString data;
    yav_status_t status = readString(trans, &data, messageCode);
    if (status != 0) return status;
    const YavStringRef& text = data.get();
    YavRequest* req = trans->getRequest();
    switch (cmd) {
        case yav_req_remove_header:
            status = req->removeHeader(text);
            break;
        case yav_req_set_method:
            status = req->setMethod(text);
            break;
        case yav_req_set_uri:
            status = req->setURI(text);
            break;
        case yav_req_set_version:
            status = req->setVersion(text);
            break;
        case yav_req_set_query:
            status = req->setQuery(text);
            break;
        case yav_rsp_set_content_type:
            status = trans->getResponse()->setContentType(text);
            break;
        case yav_rsp_set_body_from_file:
            // Only one file can make up a body; the first one stays.
            if (bodies->hasFileName) {
                trans->writeLog(yav_log_level_error, "Can only set the body from one file!");
            } else {
                bodies->fileName = text;
                bodies->hasFileName = true;
            }
            return 0;
        default: {
            // Capture: the response is sent to the server with the request's
            // virtual host, URI and security.  A request without a server
            // view cannot say which host it belongs to.
            YavServer* server = req->getServer();
            if (server == nullptr) {
                status = YAV_S_INVALID_COMMAND;
                break;
            }
            YavStringRef vhostId;
            YavStringRef uri;
            int security = 0;
            status = server->getVHostID(&vhostId);
            if (status == 0) {
                status = req->getURI(&uri);
                // A request without a URI is captured with an empty one.
                if (status == YAV_S_NOT_AVAILABLE) {
                    uri.set("", 0);
                    status = 0;
                }
            }
            if (status == 0) status = req->getSecurity(&security);
            if (status == 0) {
                status = trans->getResponse()->setCaptureRsp(text, vhostId, uri, security);
            }
            break;
        }
    }
    return logged(trans, messageCode, status);
}

yav_status_t YavWebTransAnswerUnmarshaller::applyInt(YavTransaction* trans, int cmd,
                                                     Bodies* bodies) {
    yav_status_t messageCode = YAV_S_REQ_GET_BODY;
    if (cmd == yav_rsp_set_response_code) messageCode = YAV_S_RSP_SET_CODE;
    if (cmd == yav_rsp_set_trace_level) messageCode = YAV_S_SET_TRACE_LEVEL;
    if (cmd == yav_rsp_set_response_sub_code) messageCode = YAV_S_RSP_SET_SUB_CODE;
    YavProxyIFMsgInt data;
    yav_status_t status = readData(trans, &data, messageCode);
    if (status != 0) return status;
    const int value = data.get();
    switch (cmd) {
        case yav_req_get_body: {
            YavRequest* req = trans->getRequest();
            status = req->retrieveBody(value);
            if (status == 0) {
                req->setBodyRequested(true);
                trans->setRetry(true);
            } else if (status == YAV_S_NOT_AVAILABLE) {
                // The module must read more of the body before the request
                // can be sent again.
                req->setBodyRequested(true);
                setRspCode(yav_require_more_body_data);
                bodies->moreBodyData = true;
                status = 0;
            }
            break;
        }
        case yav_rsp_set_response_code:
            status = trans->getResponse()->setCode(value);
            break;
        case yav_rsp_set_trace_level:
            YavTraceRegistry::instance().setLevel(value);
            break;
        default:
            status = trans->getResponse()->setSubCode(value);
            break;
    }
    return logged(trans, messageCode, status);
}

yav_status_t YavWebTransAnswerUnmarshaller::applyBuffer(YavTransaction* trans, int cmd,
                                                        Bodies* bodies) {
    yav_status_t messageCode = YAV_S_REQ_SET_BODY;
    if (cmd == yav_rsp_set_body) messageCode = YAV_S_RSP_SET_BODY;
    if (cmd == yav_rsp_urc_version) messageCode = YAV_S_URC_VERSION_NOT_SENT;
    YavProxyIFMsgBuffer data;
    yav_status_t status = readData(trans, &data, messageCode);
    if (status != 0) return status;
    const YavBuffer& bytes = data.get();
    switch (cmd) {
        case yav_req_set_body:
            // A later body replaces an earlier one.
            bodies->requestBody.refer(bytes.getData(), bytes.getLen());
            bodies->hasRequestBody = true;
            break;
        case yav_rsp_set_body:
            status = bodies->addPiece(bytes);
            break;
        default:
            if (bytes.getLen() != YavEpochVersion::kSize) {
                status = YAV_S_INVALID_COMMAND;
            } else {
                trans->setURCVersion(bytes.getData());
            }
            break;
    }
    return logged(trans, messageCode, status);
}

yav_status_t YavWebTransAnswerUnmarshaller::applyWebLogUser(YavTransaction* trans) {
    YavProxyIFMsgStringList list(YavProxyIFMsgStringList::kInlineEntries, trans->allocator());
    yav_status_t status = readData(trans, &list, YAV_S_REQ_SET_WEB_LOG_USER);
    if (status != 0) return status;
    if (list.entries() != kWebLogUserStrings) {
        logFailure(trans, YAV_S_REQ_SET_WEB_LOG_USER, YAV_S_INVALID_COMMAND);
        return YAV_S_INVALID_COMMAND;
    }
    YavStringRef* texts[kWebLogUserStrings];
    for (unsigned i = 0; i < kWebLogUserStrings; ++i) {
        texts[i] = list.get();
        if (texts[i] == nullptr || !terminated(*texts[i])) {
            logFailure(trans, YAV_S_REQ_SET_WEB_LOG_USER, YAV_S_UNMARSHAL_FAILED);
            return YAV_S_UNMARSHAL_FAILED;
        }
    }
    status = trans->getRequest()->setWebLogUser(*texts[0], *texts[1], *texts[2]);
    return logged(trans, YAV_S_REQ_SET_WEB_LOG_USER, status);
}

yav_status_t YavWebTransAnswerUnmarshaller::applyClientCert(YavTransaction* trans, bool* stop) {
    YavSSLSession* session = trans->getRequest()->getSSLSession();
    // Without an SSL session there is nothing to ask a certificate on.
    if (session == nullptr) {
        logFailure(trans, YAV_S_REQ_CLIENT_CERT, YAV_S_INVALID_COMMAND);
        return YAV_S_INVALID_COMMAND;
    }
    yav_status_t status = session->requestClientCert();
    if (status == 0 || status == YAV_S_NOT_AVAILABLE) session->setClientCertRequested(true);
    if (takeClientRequest(trans, status)) return 0;
    // The request cannot go on without the certificate: fail it with 500
    // and ignore the rest of the answer.
    logFailure(trans, YAV_S_REQ_CLIENT_CERT, status);
    setRspCode(yav_severe_error);
    status = trans->getResponse()->setCode(kInternalServerError);
    if (status != 0) return logged(trans, YAV_S_RSP_SET_CODE, status);
    *stop = true;
    return 0;
}

yav_status_t YavWebTransAnswerUnmarshaller::applyWSA(YavTransaction* trans) {
    yav_status_t status = trans->getRequest()->requestWSA();
    if (takeClientRequest(trans, status)) return 0;
    logFailure(trans, YAV_S_REQ_WSA, status);
    return status;
}

bool YavWebTransAnswerUnmarshaller::takeClientRequest(YavTransaction* trans, yav_status_t status) {
    if (status == 0 || status == YAV_S_NOT_AVAILABLE) {
        trans->setRetry(true);
        return true;
    }
    if (status == YAV_S_TRANSITIONAL_RESPONSE) return true;
    if (status == YAV_S_REQUIRES_CONTINUE) {
        setRspCode(yav_continue);
        return true;
    }
    return false;
}

yav_status_t YavWebTransAnswerUnmarshaller::finish(YavTransaction* trans, Bodies* bodies) {
    YavRequest* req = trans->getRequest();
    YavResponse* rsp = trans->getResponse();
    yav_status_t status = 0;
    if (bodies->pieceCount() > 0 || bodies->hasFileName) {
        status = setContentLength(rsp, bodies->total());
        if (status != 0) return logged(trans, YAV_S_RSP_SET_BODY, status);
    }
    if (bodies->hasRequestBody) {
        status = setContentLength(req, static_cast<uint64_t>(bodies->requestBody.getLen()));
        if (status != 0) return logged(trans, YAV_S_REQ_SET_BODY, status);
    }
    status = finalizeStatus(req->finalizeHeader());
    if (status != 0) return logged(trans, YAV_S_REQ_SET_BODY, status);
    status = finalizeStatus(rsp->finalizeHeader());
    if (status != 0) return logged(trans, YAV_S_RSP_SET_BODY, status);
    if (bodies->hasRequestBody) {
        status = req->setBody(bodies->requestBody);
        if (status != 0) return logged(trans, YAV_S_REQ_SET_BODY, status);
    }
    YavBuffer piece;
    for (int i = 0; i < bodies->pieceCount(); ++i) {
        piece.refer(bodies->piece(i).data, bodies->piece(i).len);
        status = rsp->setBody(piece);
        if (status != 0) return logged(trans, YAV_S_RSP_SET_BODY, status);
    }
    if (bodies->hasFileName) {
        status = rsp->setBodyFromFile(bodies->fileName);
        if (status != 0) return logged(trans, YAV_S_RSP_SET_BODY, status);
    }
    status = finalizeStatus(req->finalizeBody());
    if (status != 0) return logged(trans, YAV_S_REQ_SET_BODY, status);
    status = finalizeStatus(rsp->finalizeBody());
    if (status != 0) return logged(trans, YAV_S_RSP_SET_BODY, status);
    return 0;
}
