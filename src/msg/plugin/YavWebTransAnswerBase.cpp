#include "msg/plugin/YavWebTransAnswerBase.h"

#include "core/system/yav_assert.h"

yav_status_t YavWebTransAnswerBase::unmarshal(YavSharedMemIterator& /*it*/, void* /*context*/) {
    return 0;
}

yav_status_t YavWebTransAnswerBase::marshal(YavSharedMemAllocator& /*a*/) { return 0; }

void YavWebTransAnswerBase::getCmdName(yav_proxy_rsp_cmds_e cmdID, YavStringRef* name) {
    YAV_ASSERT(cmdID >= 0 && cmdID < yav_max_proxy_rsp_cmd);
    YAV_ASSERT(name != nullptr);
    name->set(yav_proxy_rsp_cmd_names[cmdID]);
}

void YavWebTransAnswerBase::getRspCodeName(yav_proxy_rsp_code_e code, YavStringRef* name) {
    YAV_ASSERT(code >= 0 && code < yav_max_proxy_rsp_code);
    YAV_ASSERT(name != nullptr);
    name->set(yav_proxy_rsp_code_names[code]);
}
