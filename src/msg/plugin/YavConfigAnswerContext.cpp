#include "msg/plugin/YavConfigAnswerContext.h"

YavPostURITable::YavPostURITable(YavAllocator* allocator)
    : YavProtectedHashTable<YavString, int>(allocator, true, true) {}

YavConfigFlagTable::YavConfigFlagTable(YavAllocator* allocator)
    : YavProtectedHashTable<YavString, unsigned int>(allocator, true, true) {}
