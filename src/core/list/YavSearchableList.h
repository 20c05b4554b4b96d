// YavSearchableList<T, Key>: a YavList<T> with a linear search by key.
//
// find(key) walks from the head and stops at the first value v for which
// `key.compare(*v) == 0`: the key type supplies
//     int compare(const T& value) const;   // 0 = this key matches value
// Null values are never matched.  A list of YavString can be searched with
// Key = YavString (strings compare with strings).
//
// Memory, ownership and threads: as YavList (entries from the allocator
// given at construction; values destroyed by delEntries() only when the
// list owns them; not locked; not copyable).
#ifndef YAV_CORE_LIST_YAVSEARCHABLELIST_H
#define YAV_CORE_LIST_YAVSEARCHABLELIST_H

#include "core/list/YavList.h"

template <class T, class Key, class Deleter = YavDeleteOperator>
class YavSearchableList : public YavList<T, Deleter> {
    using Base = YavList<T, Deleter>;

  public:
    using typename Base::ConstIterator;
    using typename Base::Iterator;

    explicit YavSearchableList(YavAllocator* allocator = nullptr, bool ownsValues = false)
        : Base(allocator, ownsValues) {}

    // The first match from the head, or end().
    Iterator find(const Key& key) { return search<Iterator>(this, key); }
    ConstIterator find(const Key& key) const { return search<ConstIterator>(this, key); }

    // The first matching value, or null.
    T* findValue(const Key& key) const {
        ConstIterator it = find(key);
        return it.isEnd() ? nullptr : const_cast<T*>(*it);
    }

  private:
    template <class It, class List>
    static It search(List* list, const Key& key) {
        It it = list->begin();
        for (const It stop = list->end(); it != stop; ++it) {
            if (*it != nullptr && key.compare(**it) == 0) break;
        }
        return it;
    }
};

#endif  // YAV_CORE_LIST_YAVSEARCHABLELIST_H
