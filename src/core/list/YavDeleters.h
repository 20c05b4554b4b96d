// Deleter policies of the container templates (YavList, YavSet, the hash
// tables): how a container destroys the values (and keys) that it owns.
//
// A container that owns its elements destroys each one with its deleter
// when the element leaves it through delEntries(), the destructor or a
// removal that the container documents as deleting.  Pick the deleter that
// matches how the elements were made:
//   YavDeleteOperator  `delete p`: objects made with `new (std::nothrow) T`,
//                      and objects of classes derived from
//                      YavAllocatedObject made with `new (allocator) T`
//                      (their class operator delete frees through the
//                      allocator word);
//   YavPlacedDelete    yav_delete(p): objects of any type made with
//                      yav_new<T>(allocator, ...).
// Deleters are stateless; any thread may use them.
#ifndef YAV_CORE_LIST_YAVDELETERS_H
#define YAV_CORE_LIST_YAVDELETERS_H

#include "core/memory/YavAllocator.h"

struct YavDeleteOperator {
    template <class T>
    void operator()(T* object) const {
        delete object;
    }
};

struct YavPlacedDelete {
    template <class T>
    void operator()(T* object) const {
        yav_delete(object);
    }
};

#endif  // YAV_CORE_LIST_YAVDELETERS_H
