// YavTransaction: one request/response exchange of the web server, as the
// plug-in sees it.  The web-server module derives from it, points m_request
// and m_response at its request and response views, implements writeLog
// over its server's log, and hands the transaction to YavCore::handleReq
// (later handleRsp); afterwards it reads the result (getResult) and acts on
// it.
//
// The transaction also carries the retry flag through which an answer asks
// the core to send the request to the authorization server again, the
// request's allocator (data the plug-in keeps while it applies an answer
// comes from it), and the cache version an answer announced.
//
// Memory: the transaction does not own its views; the module creates and
// destroys them (and the transaction).  The allocator belongs to the module
// and must outlive the transaction.
//
// Threads: a transaction belongs to one request and is used by one thread
// at a time (the web server's thread of the request); no locks.  Not
// copyable.
#ifndef YAV_PLUGIN_CORE_YAVTRANSACTION_H
#define YAV_PLUGIN_CORE_YAVTRANSACTION_H

#include "core/buffers/YavString.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"
#include "plugin/core/YavRequest.h"
#include "plugin/core/YavResponse.h"
#include "plugin/core/yav_proxy_rsp_code.h"
#include "urc/plugin/YavEpochVersion.h"

// Severity of a line written through the transaction to the web server's
// log.  The plug-in writes its request-time failures at yav_log_level_error
// (0); how a module maps the levels onto its server's log is the module's
// affair.  (The names differ from YavLogSeverity's, the severities of the
// plug-in's own logs, which have other values.)
enum yav_log_levels_e {
    yav_log_level_error = 0,
    yav_log_level_warning = 1,
    yav_log_level_info = 2,
    yav_log_level_debug = 3,
};

class YAV_EXPORT YavTransaction {
  public:
    // Bytes of the buffer logMessage formats a message into (terminator
    // included); longer messages are cut.
    static constexpr int kLogBufferSize = 200;

    // Result yav_severe_error, no retry, no cache version.  allocator: the
    // memory of the request (null = process heap).
    explicit YavTransaction(YavAllocator* allocator);
    virtual ~YavTransaction();
    YAV_DISALLOW_COPY(YavTransaction);

    // Writes the text of messageCode, formatted with the arguments that
    // follow (printf style, in the local code page), as one line through
    // writeLog; at most kLogBufferSize - 1 bytes are written, the rest is
    // cut off.  When the text cannot be formatted with the arguments, the
    // unformatted text is written.  Returns the status of
    // writeLog.  A code without a message text writes the text of
    // YAV_S_NO_MESSAGE_TEXT with the code filled in and returns 0, or the
    // failing status when that text cannot be had either.
    virtual yav_status_t logMessage(yav_log_levels_e level, int messageCode, ...);
    // Writes text (terminated, local code page, no line end) as one line to
    // the web server's log.  Called by the plug-in on the request's thread.
    virtual yav_status_t writeLog(yav_log_levels_e level, const char* text) = 0;
    // Called by the core before it sends the request to the authorization
    // server again: a module resets its own per-request state here.  A
    // non-zero status ends the request handling with that status.
    // Default: 0.
    virtual yav_status_t prepareForRetry();

    // The views.  REQUIRES: the module has set them (asserted).
    YavRequest* getRequest() const;
    YavResponse* getResponse() const;
    bool hasRequest() const { return m_request != nullptr; }
    bool hasResponse() const { return m_response != nullptr; }

    // The retry flag: the core clears it before each question and reads it
    // afterwards; a module or an answer command sets it to make the core
    // refresh its configuration and ask again.
    bool shouldRetry() const { return m_retry; }
    void setRetry(bool retry) { m_retry = retry; }

    // Stores code; for yav_send_default_rsp_to_client with a response view
    // it also calls the response's setDefaultResponse(1).  Returns 0.
    yav_status_t setResult(yav_proxy_rsp_code_e code);
    yav_proxy_rsp_code_e getResult() const { return m_result; }

    // Memory from the transaction's allocator (see YavAllocator): null when
    // none is available.  The caller owns the blocks and gives them back with
    // deallocate (or reallocate); they must not outlive the allocator.
    void* allocate(unsigned int size);
    void* reallocate(void* block, unsigned int oldSize, unsigned int newSize);
    void* duplicate(const void* data, unsigned int size);
    void deallocate(void* block);
    YavAllocator* allocator() const { return m_allocator; }

    // target resolved against the request's full URL (YavRequest::
    // getFullURL, YavHTTP::buildAbsoluteURL) into *url: an absolute target
    // as it is, "/..." on the request's scheme, host and port, anything else
    // relative to the request's directory.  Returns the first failing
    // status.  REQUIRES: url != nullptr; target does not refer into *url;
    // the request view is set.
    yav_status_t buildRedirectURL(const YavStringRef& target, YavString* url);

    // Copies YavEpochVersion::kSize bytes into the cache version and marks
    // it present.  REQUIRES: version != nullptr.
    void setURCVersion(const unsigned char* version);
    // The cache version an answer announced; null when none.
    const YavEpochVersion* getURCVersion() const;

  protected:
    YavRequest* m_request;    // set by the derived class; not owned
    YavResponse* m_response;  // set by the derived class; not owned

  private:
    yav_proxy_rsp_code_e m_result;
    bool m_retry;
    YavAllocator* m_allocator;
    bool m_urcVersionPresent;
    YavEpochVersion m_urcVersion;
};

#endif  // YAV_PLUGIN_CORE_YAVTRANSACTION_H
