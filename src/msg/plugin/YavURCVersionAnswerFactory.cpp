#include "msg/plugin/YavURCVersionAnswerFactory.h"

#include "core/system/yav_assert.h"
#include "msg/plugin/YavURCVersionAnswerUnmarshaller.h"

yav_status_t YavURCVersionAnswerFactory::createMsg(YavProxyIFMessage** out) {
    YAV_ASSERT(out != nullptr);
    YavURCVersionAnswerUnmarshaller* msg = nullptr;
    yav_status_t status = YavURCVersionAnswerUnmarshaller::create(&msg);
    *out = msg;
    return status;
}
