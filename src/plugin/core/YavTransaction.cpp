#include "plugin/core/YavTransaction.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/msg/kr_msg.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_printf.h"
#include "core/system/yav_assert.h"

namespace {

// The text of code in the local code page (release with free), or null when
// the message tables and catalogs have no text for it.  The look-up answers
// an unknown code with a text of its own ("Unknown message number ..."),
// which is not the code's text, so that answer counts as none.
char* messageText(uint32_t code) {
    uint32_t status = 0;
    char* text = kr_msg_get_msg(code, &status);
    if (text == nullptr) return nullptr;
    char unknown[48];
    snprintf(unknown, sizeof unknown, "Unknown message number 0x%8.8lx",
             static_cast<unsigned long>(code));
    if (strcmp(text, unknown) == 0) {
        free(text);
        return nullptr;
    }
    return text;
}

}  // namespace

YavTransaction::YavTransaction(YavAllocator* allocator)
    : m_request(nullptr),
      m_response(nullptr),
      m_result(yav_severe_error),
      m_retry(false),
      m_allocator(allocator),
      m_urcVersionPresent(false) {}

YavTransaction::~YavTransaction() = default;

yav_status_t YavTransaction::logMessage(yav_log_levels_e level, int messageCode, ...) {
    uint32_t code = static_cast<uint32_t>(messageCode);
    char line[kLogBufferSize];

    char* text = messageText(code);
    if (text != nullptr) {
        va_list args;
        va_start(args, messageCode);
        int length = yav_vsnprintf_lcp(line, sizeof line, text, args);
        va_end(args);
        // A text whose conversions do not match the arguments given still
        // says what happened; write it as it is.
        if (length < 0) yav_snprintf_lcp(line, sizeof line, "%s", text);
        free(text);
        return writeLog(level, line);
    }

    uint32_t status = 0;
    char* fallback = kr_msg_get_msg(YAV_S_NO_MESSAGE_TEXT, &status);
    if (fallback == nullptr) return status != 0 ? status : YAV_S_NO_MEMORY;
    if (yav_snprintf_lcp(line, sizeof line, fallback, code) < 0) {
        yav_snprintf_lcp(line, sizeof line, "%s", fallback);
    }
    writeLog(level, line);
    free(fallback);
    return 0;
}

yav_status_t YavTransaction::prepareForRetry() { return 0; }

YavRequest* YavTransaction::getRequest() const {
    YAV_ASSERT(m_request != nullptr);
    return m_request;
}

YavResponse* YavTransaction::getResponse() const {
    YAV_ASSERT(m_response != nullptr);
    return m_response;
}

yav_status_t YavTransaction::setResult(yav_proxy_rsp_code_e code) {
    m_result = code;
    if (code == yav_send_default_rsp_to_client && m_response != nullptr) {
        m_response->setDefaultResponse(1);
    }
    return 0;
}

void* YavTransaction::allocate(unsigned int size) {
    return YavAllocator::allocate(m_allocator, size);
}

void* YavTransaction::reallocate(void* block, unsigned int oldSize, unsigned int newSize) {
    return YavAllocator::reallocate(m_allocator, block, oldSize, newSize);
}

void* YavTransaction::duplicate(const void* data, unsigned int size) {
    return YavAllocator::duplicate(m_allocator, data, size);
}

void YavTransaction::deallocate(void* block) { YavAllocator::deallocate(m_allocator, block); }

yav_status_t YavTransaction::buildRedirectURL(const YavStringRef& target, YavString* url) {
    YavStringRef base;
    yav_status_t status = getRequest()->getFullURL(&base);
    if (status != 0) return status;
    return YavHTTP::buildAbsoluteURL(base, target, *url);
}

void YavTransaction::setURCVersion(const unsigned char* version) {
    m_urcVersion.set(version);
    m_urcVersionPresent = true;
}

const YavEpochVersion* YavTransaction::getURCVersion() const {
    return m_urcVersionPresent ? &m_urcVersion : nullptr;
}
