#include "plugin/core/YavResponse.h"

#include "core/http/YavHTTPHeaders.h"
#include "core/msg/yav_status.h"

YavResponse::YavResponse() : YavMessage(nullptr), m_keepAliveSet(false) {}

YavResponse::~YavResponse() = default;

yav_status_t YavResponse::getCookie(const YavStringRef&, YavNCPStringRef*, YavNCPStringRef*,
                                    YavNCPStringRef*, YavNCPStringRef*, YavNCPStringRef*, int*,
                                    int*) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavResponse::getBody(YavBuffer*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavResponse::getHTTPBuffer(YavBuffer*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavResponse::getCode(int*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavResponse::getSubCode(int*) { return YAV_S_NOT_AVAILABLE; }

yav_status_t YavResponse::setSubCode(int) { return 0; }

yav_status_t YavResponse::getContentType(YavNCPStringRef*) { return YAV_S_NOT_SUPPORTED; }

yav_status_t YavResponse::setKeepAlive() {
    yav_status_t status = setHeader(yav_hdr_connection, YavStringRefT<char>("Keep-Alive"));
    if (status == 0) m_keepAliveSet = true;
    return status;
}

yav_status_t YavResponse::setCaptureRsp(const YavStringRef&, const YavStringRef&,
                                        const YavStringRef&, const int) {
    return YAV_S_NOT_SUPPORTED;
}

yav_status_t YavResponse::beginNew() { return 0; }

yav_status_t YavResponse::setBodyToDefault() { return 0; }
