#include "urc/plugin/yav_obj_get_parent.h"

bool yav_obj_get_parent(YavString& name) {
    int length = name.getLength();
    const char* data = name.getData();
    if (length < 2 || data[0] != '/') return false;
    // Start at the next-to-last unit: a separator at the very end is not the
    // one that separates the last component from its parent.
    int pos = length - 2;
    while (pos > 0 && data[pos] != '/') --pos;
    // pos is the separator before the last component; at 0 the parent is
    // the root itself, which keeps its "/".
    name.setLength(pos > 0 ? pos : 1);
    return true;
}
