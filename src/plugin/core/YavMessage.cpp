#include "plugin/core/YavMessage.h"

#include <cerrno>

#include "core/buffers/yav_strtol.h"
#include "core/http/YavHTTPHeaders.h"
#include "core/msg/yav_status.h"

YavMessage::YavMessage(YavAllocator* allocator) : m_allocator(allocator) {}

YavMessage::~YavMessage() = default;

yav_status_t YavMessage::finalizeHeader() { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavMessage::finalizeBody() { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavMessage::getContentLength(unsigned int* length) {
    YavStringRef value;
    yav_status_t status = getUTF8Header(yav_hdr_content_length, &value);
    if (status != 0) return status;

    // The number parser negates a value after '-' in unsigned arithmetic, and
    // it reads nothing from an empty text; neither is a length.
    int n = value.getLength();
    const char* text = value.getData();
    int first = 0;
    while (first < n && (text[first] == ' ' || text[first] == '\t')) ++first;
    if (first == n || text[first] == '-') return YAV_S_INVALID_SYS_INPUT;

    int savedErrno = errno;
    errno = 0;
    int end = 0;
    unsigned long parsed = yav_strtoul(value, &end, 0);
    bool overflow = errno == ERANGE;
    errno = savedErrno;
    if (end != n || overflow) return YAV_S_INVALID_SYS_INPUT;
    *length = static_cast<unsigned int>(parsed);
    return 0;
}
