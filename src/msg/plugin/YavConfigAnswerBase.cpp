#include "msg/plugin/YavConfigAnswerBase.h"

yav_status_t YavConfigAnswerBase::unmarshal(YavSharedMemIterator& /*it*/, void* /*context*/) {
    return 0;
}

yav_status_t YavConfigAnswerBase::marshal(YavSharedMemAllocator& /*a*/) { return 0; }
