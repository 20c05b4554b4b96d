// YavStringT: an owned, growable, always terminated string of text units.
//
// The text lives in a 256-unit inline buffer (terminator included) while it
// fits; beyond that in one heap block from the string's allocator (null =
// process heap) that holds exactly what was needed: to add n units to a
// string of length L the string needs L + n + 1 units; a heap block grows to
// exactly that (no doubling) and never shrinks, and once the text has moved
// to the heap it stays there.  Operations that can grow the string return
// false, leaving the string as it was, when memory ran out.
//
// Every change clears the cached hash.  Comparison and hashing use the
// string's comparator and hasher (by default those of the unit type).  The
// Enc tag (core/buffers/YavStringEnc.h) keeps strings of different
// encodings apart; a string converts implicitly only to the reference of its
// own unit type and encoding (and to the raw one).
//
// Not copyable: a copy could fail to allocate, so copies are made with set()
// whose result says so.  A string belongs to one thread at a time; even
// hash() fills the cache.
#ifndef YAV_CORE_BUFFERS_YAVSTRINGT_H
#define YAV_CORE_BUFFERS_YAVSTRINGT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>

#include "core/buffers/YavStringEnc.h"
#include "core/buffers/YavStringRefT.h"
#include "core/hash/YavComparators.h"
#include "core/hash/YavHashers.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

template <class CharT, class Enc = YavRawEnc>
class YavStringT {
  public:
    typedef YavStringRefT<CharT, Enc> Ref;

    // Units of the inline buffer, terminator included.
    static const int kInlineUnits = 256;

    // The empty string; heap blocks come from allocator.
    explicit YavStringT(YavAllocator* allocator = nullptr) { init(allocator); }

    // A copy of n units at s (negative n: up to its zero terminator).  When
    // the copy could not be allocated the string is empty and ok() false.
    // Explicit, so that no temporary copy (whose failure nobody would see)
    // is ever made behind the caller's back.
    explicit YavStringT(const CharT* s, int n = -1, YavAllocator* allocator = nullptr) {
        init(allocator);
        m_ok = set(s, n);
    }
    explicit YavStringT(const Ref& text, YavAllocator* allocator = nullptr) {
        init(allocator);
        m_ok = set(text);
    }

    ~YavStringT() { YavAllocator::deallocate(m_allocator, m_heap); }

    YAV_DISALLOW_COPY(YavStringT);

    // False when the constructor could not copy its text.
    bool ok() const { return m_ok; }

    // Replaces the text with n units at s (negative n: up to its zero
    // terminator; a null s with n <= 0 is the empty text).  s may point into
    // this string.  On failure the old text
    // and length stay.
    bool set(const CharT* s, int n = -1) {
        int oldLength = m_length;
        m_length = 0;
        if (appendUnits(s, n)) {
            m_data[m_length] = 0;
            m_hashValid = false;
            return true;
        }
        m_length = oldLength;
        return false;
    }
    bool set(const Ref& text) { return set(text.getData(), text.getLength()); }

    // Adds n units at s (negative n: up to its zero terminator; 0: nothing).
    // s may point into this string.
    bool append(const CharT* s, int n = -1) { return appendUnits(s, n); }
    bool append(const Ref& text) { return appendUnits(text.getData(), text.getLength()); }
    bool append(CharT c) { return appendUnits(&c, 1); }

    // Room for length units and the terminator; the text stays.
    bool reserve(int length) {
        if (length < 0 || length > YAV_STRING_MAX_LENGTH) return false;
        return grow(static_cast<int64_t>(length) + 1);
    }

    // Always terminated.
    const CharT* getData() const { return m_data; }
    int getLength() const { return m_length; }
    bool isEmpty() const { return m_length == 0; }

    // Units available for text and terminator: 256 while inline, else the
    // heap block's size.
    int getCapacity() const { return m_heap != nullptr ? m_heapCapacity : kInlineUnits; }

    // For writers that fill the string directly (converters): write up to
    // getCapacity() - 1 units, then call setLength.
    CharT* getWritableData() {
        m_hashValid = false;
        return m_data;
    }

    // Sets the length after a direct write, writes the terminator and clears
    // the cached hash.  REQUIRES: 0 <= length < getCapacity().
    void setLength(int length) {
        YAV_ASSERT(length >= 0 && length < getCapacity());
        m_length = length;
        m_data[length] = 0;
        m_hashValid = false;
    }

    // Length 0; the heap block, if any, is kept.
    void clear() { setLength(0); }

    YavAllocator* getAllocator() const { return m_allocator; }

    uint32_t hash() const {
        if (!m_hashValid) {
            m_hash = m_hasher->hash(m_data, static_cast<size_t>(m_length));
            m_hashValid = true;
        }
        return m_hash;
    }

    // -1, 0 or 1: this string's comparator over the common length, then the
    // shorter text is the lesser.
    int compare(const Ref& other) const {
        int otherLength = other.getLength();
        int common = m_length < otherLength ? m_length : otherLength;
        return yav_order_result(
            m_comparator->compare(m_data, other.getData(), static_cast<size_t>(common)), m_length,
            otherLength);
    }

    bool equals(const Ref& other) const {
        return m_length == other.getLength() && compare(other) == 0;
    }

    // Null restores the default of the unit type.  A new hasher clears the
    // cached hash.
    void setComparator(const YavComparatorT<CharT>* comparator) {
        m_comparator = comparator != nullptr ? comparator : yav_default_comparator<CharT>();
    }
    const YavComparatorT<CharT>* getComparator() const { return m_comparator; }
    void setHasher(const YavHasherT<CharT>* hasher) {
        m_hasher = hasher != nullptr ? hasher : yav_default_hasher<CharT>();
        m_hashValid = false;
    }
    const YavHasherT<CharT>* getHasher() const { return m_hasher; }

  private:
    void init(YavAllocator* allocator) {
        m_inline[0] = 0;
        m_heap = nullptr;
        m_heapCapacity = 0;
        m_data = m_inline;
        m_length = 0;
        m_allocator = allocator;
        m_comparator = yav_default_comparator<CharT>();
        m_hasher = yav_default_hasher<CharT>();
        m_hashValid = false;
        m_hash = 0;
        m_ok = true;
    }

    // Makes the capacity at least need units (see the header comment).
    bool grow(int64_t need) {
        if (need <= getCapacity()) return true;
        if (need > static_cast<int64_t>(YAV_STRING_MAX_LENGTH) + 1) return false;
        size_t bytes = static_cast<size_t>(need) * sizeof(CharT);
        CharT* block;
        if (m_heap != nullptr) {
            block = static_cast<CharT*>(YavAllocator::reallocate(
                m_allocator, m_heap, static_cast<size_t>(m_heapCapacity) * sizeof(CharT), bytes));
            if (block == nullptr) return false;
        } else {
            block = static_cast<CharT*>(YavAllocator::allocate(m_allocator, bytes));
            if (block == nullptr) return false;
            memcpy(block, m_inline, (static_cast<size_t>(m_length) + 1) * sizeof(CharT));
        }
        m_heap = block;
        m_heapCapacity = static_cast<int>(need);
        m_data = m_heap;
        return true;
    }

    bool appendUnits(const CharT* s, int n) {
        YAV_ASSERT(s != nullptr || n <= 0);
        if (n < 0) n = Ref::nullTermLen(s);
        if (n == 0) return true;
        // A source inside this string's text must follow the text if growing
        // moves it.
        std::less_equal<const CharT*> le;
        bool inside = le(m_data, s) && le(s + n, m_data + m_length);
        ptrdiff_t offset = inside ? s - m_data : 0;
        if (!grow(static_cast<int64_t>(m_length) + n + 1)) return false;
        if (inside) s = m_data + offset;
        memmove(m_data + m_length, s, static_cast<size_t>(n) * sizeof(CharT));
        m_length += n;
        m_data[m_length] = 0;
        m_hashValid = false;
        return true;
    }

    CharT m_inline[kInlineUnits];
    CharT* m_heap;       // null while the text is inline
    int m_heapCapacity;  // units of m_heap; 0 while inline
    CharT* m_data;       // m_inline or m_heap
    int32_t m_length;
    YavAllocator* m_allocator;
    const YavComparatorT<CharT>* m_comparator;
    const YavHasherT<CharT>* m_hasher;
    mutable bool m_hashValid;
    mutable uint32_t m_hash;
    bool m_ok;  // the constructor's copy succeeded
};

#endif  // YAV_CORE_BUFFERS_YAVSTRINGT_H
