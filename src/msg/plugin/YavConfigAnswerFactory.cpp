#include "msg/plugin/YavConfigAnswerFactory.h"

#include "core/msg/yav_status.h"
#include "msg/plugin/YavConfigAnswerUnmarshaller.h"

yav_status_t YavConfigAnswerFactory::createMsg(YavProxyIFMessage** out) {
    *out = YavConfigAnswerUnmarshaller::m_allocator.make<YavConfigAnswerUnmarshaller>();
    return *out != nullptr ? 0 : YAV_S_NO_MEMORY;
}
