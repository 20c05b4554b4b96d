// YavSet<T>: a searchable list that keeps each element once, in the order
// first offered.  An offered element x equals a held element h when
// `x.compare(h) == 0`, so T supplies `int compare(const T&) const`
// (YavString does).
//
// add(element):
//   - no equal element present: the element is appended at the tail;
//   - an equal element present: the set keeps the one it has; when the set
//     owns its elements the offered one is destroyed with Deleter at once
//     (otherwise it stays the caller's);
//   both return 0.  When the entry cannot be allocated add returns
//   YAV_S_NO_MEMORY, the set is unchanged and the offered element is NOT
//   destroyed: the caller still owns it and must dispose of it.
//
// Memory, ownership and threads: as YavList (entries from the allocator
// given at construction; not locked; not copyable).
#ifndef YAV_CORE_LIST_YAVSET_H
#define YAV_CORE_LIST_YAVSET_H

#include "core/list/YavSearchableList.h"

template <class T, class Deleter = YavDeleteOperator>
class YavSet : public YavSearchableList<T, T, Deleter> {
    using Base = YavSearchableList<T, T, Deleter>;

  public:
    explicit YavSet(YavAllocator* allocator = nullptr, bool ownsElements = false)
        : Base(allocator, ownsElements) {}

    // REQUIRES: element is not null.
    yav_status_t add(T* element) {
        YAV_ASSERT(element != nullptr);
        T* present = this->findValue(*element);
        if (present == nullptr) return this->append(element);
        // Offering the very element the set holds must not destroy it.
        if (this->ownsValues() && present != element) Deleter()(element);
        return 0;
    }

    bool contains(const T& element) const { return this->findValue(element) != nullptr; }

  private:
    // Elements enter only through add(), which keeps them unique.
    using Base::append;
    using Base::insertBefore;
    using Base::prepend;
};

#endif  // YAV_CORE_LIST_YAVSET_H
