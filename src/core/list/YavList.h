// YavList<T>: a doubly linked list of T* (entry: next, previous, value) with
// head, tail and count.
//
// Memory: every entry is a block of the YavAllocator given at construction
// (null = process heap), placed with the allocator word before it, so each
// insertion can fail; it then returns YAV_S_NO_MEMORY and leaves the list as
// it was.  The values are the caller's objects.  When the list owns its
// values (the flag given at construction), delEntries() and the destructor
// destroy them with Deleter (see core/list/YavDeleters.h; the default is
// `delete`).  clear() and remove() never destroy a value: the caller keeps
// it.  Null values may be stored.
//
// Iterators stay valid until their own entry is removed.  Entries can be
// added and removed while iterating, through the iterator returned by
// remove().
//
// Threads: not locked; a list belongs to one thread at a time, or to a lock
// that the owner of the list names.  Not copyable.  The destructor is
// virtual so that lists with extra fields can be derived and deleted
// through the base.
#ifndef YAV_CORE_LIST_YAVLIST_H
#define YAV_CORE_LIST_YAVLIST_H

#include <cstddef>
#include <new>
#include <type_traits>

#include "core/list/YavDeleters.h"
#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

template <class T, class Deleter = YavDeleteOperator>
class YavList {
    struct Entry {
        Entry* m_next;
        Entry* m_prev;
        T* m_value;
    };

  public:
    // Bidirectional iterator over the values.  Decrementing the end iterator
    // gives the tail.  Iterator converts to ConstIterator; a ConstIterator
    // yields const T*.
    template <bool IsConst>
    class IteratorT {
      public:
        using ListPtr = std::conditional_t<IsConst, const YavList*, YavList*>;
        using ValuePtr = std::conditional_t<IsConst, const T*, T*>;

        IteratorT() : m_list(nullptr), m_entry(nullptr) {}
        template <bool C = IsConst, class = std::enable_if_t<C>>
        IteratorT(const IteratorT<false>& other)  // NOLINT: implicit on purpose
            : m_list(other.m_list), m_entry(other.m_entry) {}

        // REQUIRES: not the end iterator.
        ValuePtr operator*() const { return m_entry->m_value; }
        ValuePtr value() const { return m_entry->m_value; }

        bool isEnd() const { return m_entry == nullptr; }

        // REQUIRES: not the end iterator.
        IteratorT& operator++() {
            m_entry = m_entry->m_next;
            return *this;
        }
        // REQUIRES: not the first entry; on the end iterator, moves to the
        // tail.
        IteratorT& operator--() {
            m_entry = m_entry != nullptr ? m_entry->m_prev : m_list->m_tail;
            return *this;
        }

        friend bool operator==(const IteratorT& a, const IteratorT& b) {
            return a.m_entry == b.m_entry;
        }
        friend bool operator!=(const IteratorT& a, const IteratorT& b) {
            return a.m_entry != b.m_entry;
        }

      private:
        friend class YavList;
        template <bool>
        friend class IteratorT;
        IteratorT(ListPtr list, Entry* entry) : m_list(list), m_entry(entry) {}

        ListPtr m_list;
        Entry* m_entry;
    };
    using Iterator = IteratorT<false>;
    using ConstIterator = IteratorT<true>;

    explicit YavList(YavAllocator* allocator = nullptr, bool ownsValues = false)
        : m_head(nullptr),
          m_tail(nullptr),
          m_count(0),
          m_allocator(allocator),
          m_ownsValues(ownsValues) {}
    virtual ~YavList() { delEntries(); }
    YAV_DISALLOW_COPY(YavList);

    // Adds value at the tail / the head.  0 or YAV_S_NO_MEMORY.
    yav_status_t append(T* value) { return link(nullptr, value); }
    yav_status_t prepend(T* value) { return link(m_head, value); }
    // Adds value just before pos; before end() means at the tail.
    // REQUIRES: pos is an iterator of this list.
    yav_status_t insertBefore(ConstIterator pos, T* value) {
        YAV_ASSERT(pos.m_list == this || pos.m_entry == nullptr);
        return link(pos.m_entry, value);
    }

    // Unlinks the entry at pos and returns the iterator of the entry after
    // it.  The value is not destroyed.  remove(end()) does nothing.
    // REQUIRES: pos is an iterator of this list.
    Iterator remove(Iterator pos) {
        Entry* entry = pos.m_entry;
        if (entry == nullptr) return end();
        YAV_ASSERT(pos.m_list == this);
        Entry* next = entry->m_next;
        unlink(entry);
        return Iterator(this, next);
    }
    // Unlinks the first entry, from the head, whose value is this pointer.
    // False when there is none.  The value is not destroyed.
    bool remove(const T* value) {
        for (Entry* e = m_head; e != nullptr; e = e->m_next) {
            if (e->m_value == value) {
                unlink(e);
                return true;
            }
        }
        return false;
    }

    // The value at index (0 = head), or null when index >= count().
    T* getAt(size_t index) const {
        if (index >= m_count) return nullptr;
        Entry* e;
        if (index < m_count / 2) {
            for (e = m_head; index > 0; --index) e = e->m_next;
        } else {
            for (e = m_tail, index = m_count - 1 - index; index > 0; --index) e = e->m_prev;
        }
        return e->m_value;
    }
    // Head and tail values; null when the list is empty.
    T* getHead() const { return m_head != nullptr ? m_head->m_value : nullptr; }
    T* getTail() const { return m_tail != nullptr ? m_tail->m_value : nullptr; }

    size_t count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }

    // Frees every entry; the values are kept (the caller still holds them).
    void clear() { drop(false); }
    // Frees every entry and, when the list owns its values, destroys them,
    // from the head to the tail.
    void delEntries() { drop(m_ownsValues); }

    bool ownsValues() const { return m_ownsValues; }
    void setOwnsValues(bool owns) { m_ownsValues = owns; }
    YavAllocator* getAllocator() const { return m_allocator; }

    Iterator begin() { return Iterator(this, m_head); }
    Iterator end() { return Iterator(this, nullptr); }
    ConstIterator begin() const { return ConstIterator(this, m_head); }
    ConstIterator end() const { return ConstIterator(this, nullptr); }

  private:
    // Links a new entry for value before `before` (null = at the tail).
    yav_status_t link(Entry* before, T* value) {
        void* block = yav_placed_alloc(m_allocator, sizeof(Entry));
        if (block == nullptr) return YAV_S_NO_MEMORY;
        Entry* after = before != nullptr ? before->m_prev : m_tail;
        Entry* entry = ::new (block) Entry{before, after, value};
        if (after != nullptr) {
            after->m_next = entry;
        } else {
            m_head = entry;
        }
        if (before != nullptr) {
            before->m_prev = entry;
        } else {
            m_tail = entry;
        }
        ++m_count;
        return 0;
    }

    void unlink(Entry* entry) {
        if (entry->m_prev != nullptr) {
            entry->m_prev->m_next = entry->m_next;
        } else {
            m_head = entry->m_next;
        }
        if (entry->m_next != nullptr) {
            entry->m_next->m_prev = entry->m_prev;
        } else {
            m_tail = entry->m_prev;
        }
        --m_count;
        yav_placed_free(entry);
    }

    // Empties the list before destroying anything, so that a value's
    // destructor never sees a half-emptied list.
    void drop(bool destroyValues) {
        Entry* e = m_head;
        m_head = m_tail = nullptr;
        m_count = 0;
        while (e != nullptr) {
            Entry* next = e->m_next;
            T* value = e->m_value;
            yav_placed_free(e);
            if (destroyValues && value != nullptr) Deleter()(value);
            e = next;
        }
    }

    Entry* m_head;
    Entry* m_tail;
    size_t m_count;
    YavAllocator* m_allocator;
    bool m_ownsValues;
};

#endif  // YAV_CORE_LIST_YAVLIST_H
