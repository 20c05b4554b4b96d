#include "msg/plugin/YavWebTransAnswerFactory.h"

#include "core/system/yav_assert.h"
#include "msg/plugin/YavWebTransAnswerUnmarshaller.h"

yav_status_t YavWebTransAnswerFactory::createMsg(YavProxyIFMessage** out) {
    YAV_ASSERT(out != nullptr);
    YavWebTransAnswerUnmarshaller* msg = nullptr;
    yav_status_t status = YavWebTransAnswerUnmarshaller::create(&msg);
    *out = msg;
    return status;
}
