// YavWebTransAnswerUnmarshaller: reads a web transaction answer and carries
// out its commands on the transaction passed as the dispatch context, while
// it reads them.  When unmarshal returns 0 the request and response views
// have been changed and finalised as the answer asked, and only the
// response code (getRspCode) remains for the core.
//
// Commands that change headers, URI, query, method, version, status code,
// content type and the like go to the views at once.  Bodies are gathered
// and applied after the last command: "Content-Length" is set first, the
// headers of the request and then of the response are finalised, then the
// new request body, the response body pieces in the order received and a
// body file are handed over, and the bodies are finalised.  Nothing is
// finalised when a command asked for a retry (the transaction's retry flag)
// or for more request body data (response code yav_require_more_body_data).
//
// The first failing command ends the answer: what was applied stays
// applied, nothing later runs, nothing is finalised; the failure is logged
// through the transaction (logMessage, level yav_log_error, with the
// command's message) and its status returned.  A refused request for a
// client certificate instead sets status code 500 and response code
// yav_severe_error and ends the answer with 0.
//
// The answer comes from another process and is not trusted: values that do
// not fill their element exactly, strings without their terminator, a
// cache version of another length than 20 bytes, a web-log-user list of
// other than 3 strings, unknown command codes and truncated elements are
// refused with a status and a log line; nothing is read outside an
// element.
//
// Memory: objects come from the class's caching allocator m_allocator
// (name YAV_N_RSP_PARSER, acquired by the plug-in core) through create()
// or the factory and go back with deleteMe().  The command data refers to
// the worker buffer and is consumed within unmarshal; the views copy what
// they keep.  Up to kInlineBodyPieces response body pieces are held without
// allocation, further ones in an array from the transaction's allocator,
// freed before unmarshal returns.
//
// Threads: one thread at a time (the request's thread).  The trace-level
// command changes the process-wide trace registry.  Not copyable.
#ifndef YAV_MSG_PLUGIN_YAVWEBTRANSANSWERUNMARSHALLER_H
#define YAV_MSG_PLUGIN_YAVWEBTRANSANSWERUNMARSHALLER_H

#include "core/memory/YavClassAllocator.h"
#include "msg/plugin/YavWebTransAnswerIter.h"

class YavTransaction;
class YavProxyIFMsgString;

class YAV_EXPORT YavWebTransAnswerUnmarshaller : public YavWebTransAnswerIter {
  public:
    // Response body pieces held without allocation.
    static constexpr int kInlineBodyPieces = 20;

    YavWebTransAnswerUnmarshaller() = default;
    ~YavWebTransAnswerUnmarshaller() override = default;

    // Makes an object in m_allocator; *out is null on failure.
    // 0 or YAV_S_NO_MEMORY.  REQUIRES: m_allocator acquired (asserted).
    static yav_status_t create(YavWebTransAnswerUnmarshaller** out);
    // Gives an object made by create() back to m_allocator.
    void deleteMe() override;
    // Reads the answer and applies it to context, the YavTransaction* of
    // the request.  0 or the first failing status:
    // YAV_S_INVALID_TRANSACTION_PASSED for a transaction without request or
    // response view; YAV_S_UNMARSHAL_FAILED (or the iterator's status) for
    // an answer without a readable first element, a truncated element or a
    // value that does not fit its command; YAV_S_INVALID_COMMAND,
    // YAV_S_UNSUPPORTED_COMMAND; YAV_S_NO_MEMORY; a view's status.
    // REQUIRES: context != nullptr (asserted).
    yav_status_t unmarshal(YavSharedMemIterator& it, void* context) override;

    // The caching allocator of the class (name YAV_N_RSP_PARSER, initial
    // block size 44; objects take sizeof the class).
    static YavClassAllocator m_allocator;

  private:
    class Bodies;
    // Carries out the current command.  *stop is set when the answer ends
    // here successfully (a refused client-certificate request).
    yav_status_t applyCommand(YavTransaction* trans, Bodies* bodies, bool* stop);
    // Decodes the current command data into data; on failure logs
    // messageCode with the status.
    yav_status_t readData(YavTransaction* trans, YavProxyIFMsgData* data, yav_status_t messageCode);
    // The same for a string, which must carry its terminator.
    yav_status_t readString(YavTransaction* trans, YavProxyIFMsgString* data,
                            yav_status_t messageCode);
    yav_status_t applyNameValue(YavTransaction* trans, int cmd);
    yav_status_t applyString(YavTransaction* trans, int cmd, Bodies* bodies);
    yav_status_t applyInt(YavTransaction* trans, int cmd, Bodies* bodies);
    yav_status_t applyBuffer(YavTransaction* trans, int cmd, Bodies* bodies);
    yav_status_t applyWebLogUser(YavTransaction* trans);
    yav_status_t applyClientCert(YavTransaction* trans, bool* stop);
    yav_status_t applyWSA(YavTransaction* trans);
    // The outcomes of asking the client for more (a certificate, WSA) under
    // which the answer goes on: asked (the request is sent again once the
    // client answered), a transitional response was sent, or the client is
    // told to continue.  Sets the retry flag or the response code for them;
    // false for a failure, which the caller handles.
    bool takeClientRequest(YavTransaction* trans, yav_status_t status);
    // Sets "Content-Length", finalises headers, hands the bodies over and
    // finalises the bodies.
    yav_status_t finish(YavTransaction* trans, Bodies* bodies);
};

#endif  // YAV_MSG_PLUGIN_YAVWEBTRANSANSWERUNMARSHALLER_H
