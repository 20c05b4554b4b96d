// YavStringRefT: a non-owning reference to a run of text units.
//
// A reference points at text that someone else owns (a YavStringT, a
// caller's buffer, a shared-memory segment) and must not outlive it.  It
// never frees or changes that text.  The only memory it owns is an optional
// private terminated copy, made through the reference's allocator when a
// caller asks for terminated text (getTerminated) and the referenced text is
// not known to be terminated; the destructor frees that copy.
//
// Length.  A reference made from a zero-terminated pointer (or with a
// negative length) measures its length the first time the length is needed
// and keeps it.  A reference made with an explicit length never reads beyond
// that length, not even the unit at [length]: text handed over with a
// length is not assumed to be terminated unless the caller says so
// (setTerminated) or it comes from a YavStringT.
//
// Encoding.  The Enc tag (core/buffers/YavStringEnc.h) makes references to
// text of different encodings distinct types.  A reference converts
// implicitly from the owned string of the same unit type and encoding, and
// into a reference of the raw encoding (YavRawEnc: text whose encoding the
// holder does not state); any other change of tag must be spelled out with
// an explicit constructor and does not convert the bytes.
//
// Comparison and hashing use the reference's comparator and hasher (by
// default those of the unit type: core/hash/YavComparators.h, YavHashers.h).
//
// Copyable: a copy refers to the same text and starts without a private
// copy.  A reference belongs to one thread at a time; even const methods may
// measure the length or make the private copy.
#ifndef YAV_CORE_BUFFERS_YAVSTRINGREFT_H
#define YAV_CORE_BUFFERS_YAVSTRINGREFT_H

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "core/buffers/YavStringEnc.h"
#include "core/hash/YavComparators.h"
#include "core/hash/YavHashers.h"
#include "core/memory/YavAllocator.h"
#include "core/system/yav_assert.h"

template <class CharT, class Enc>
class YavStringT;

// -1, 0 or 1 for a comparator result c and the lengths of both sides: the
// first min(la, lb) units decide, then the shorter side is the lesser.
inline int yav_order_result(int c, int la, int lb) {
    if (c < 0) return -1;
    if (c > 0) return 1;
    return la < lb ? -1 : (la > lb ? 1 : 0);
}

template <class CharT, class Enc = YavRawEnc>
class YavStringRefT {
    template <class E2>
    using IfToRaw = typename std::enable_if<
        std::is_same<Enc, YavRawEnc>::value && !std::is_same<E2, Enc>::value, int>::type;
    template <class E2>
    using IfToEncoded = typename std::enable_if<
        !std::is_same<Enc, YavRawEnc>::value && !std::is_same<E2, Enc>::value, bool>::type;

  public:
    // The empty text.
    YavStringRefT() { init(nullptr); }

    // The text at s: n units, or up to its zero terminator when n is
    // negative (measured when first needed).  A null s is the empty text.
    // REQUIRES: s != nullptr || n <= 0.
    YavStringRefT(const CharT* s, int n = -1, YavAllocator* allocator = nullptr) {
        init(allocator);
        set(s, n);
    }

    // The text of an owned string, with its allocator, comparator and hasher.
    YavStringRefT(const YavStringT<CharT, Enc>& s) {  // NOLINT: implicit by design
        initFromString(s);
    }

    // Any encoding converts implicitly into the raw one.
    template <class E2, IfToRaw<E2> = 0>
    YavStringRefT(const YavStringRefT<CharT, E2>& other) {  // NOLINT: implicit by design
        initFromRef(other);
    }
    template <class E2, IfToRaw<E2> = 0>
    YavStringRefT(const YavStringT<CharT, E2>& s) {  // NOLINT: implicit by design
        initFromString(s);
    }

    // Re-tags text as another encoding without converting it: only for text
    // whose bytes are known to be valid in both (e.g. ASCII).
    template <class E2, IfToEncoded<E2> = true>
    explicit YavStringRefT(const YavStringRefT<CharT, E2>& other) {
        initFromRef(other);
    }
    template <class E2, IfToEncoded<E2> = true>
    explicit YavStringRefT(const YavStringT<CharT, E2>& s) {
        initFromString(s);
    }

    YavStringRefT(const YavStringRefT& other) { initFromRef(other); }

    YavStringRefT& operator=(const YavStringRefT& other) {
        if (this != &other) {
            releaseCopy();
            initFromRef(other);
        }
        return *this;
    }

    ~YavStringRefT() { releaseCopy(); }

    // Refers to other text (see the constructor); the allocator, comparator
    // and hasher stay.
    void set(const CharT* s, int n = -1) {
        YAV_ASSERT(s != nullptr || n <= 0);
        m_flags &= static_cast<unsigned char>(~kCopyCurrent);
        if (s == nullptr) {
            m_data = emptyText();
            m_measure = false;
            m_length = 0;
            m_flags |= kTerminated;
        } else if (n < 0) {
            m_data = s;
            m_measure = true;
            m_length = -1;
            m_flags |= kTerminated;
        } else {
            m_data = s;
            m_measure = false;
            m_length = n;
            m_flags &= static_cast<unsigned char>(~kTerminated);
        }
    }

    // Refers to n units at s that the caller knows to be followed by a zero
    // unit, so that getTerminated needs no copy.
    // REQUIRES: n >= 0 and s[n] == 0.
    void setTerminated(const CharT* s, int n) {
        set(s, n);
        m_flags |= kTerminated;
    }

    void clear() { set(nullptr, 0); }

    // The first unit of the text; terminated only when isTerminated().
    const CharT* getData() const { return m_data; }

    int getLength() const {
        if (m_measure) {
            m_length = nullTermLen(m_data);
            m_measure = false;
        }
        return m_length;
    }

    bool isEmpty() const { return getLength() == 0; }

    // True when a zero unit is known to follow the text.
    bool isTerminated() const { return (m_flags & kTerminated) != 0; }

    // The text, terminated: the referenced text itself when it is known to
    // be terminated, else a private copy (kept until the reference changes
    // or dies).  Null when the copy could not be allocated.
    const CharT* getTerminated() const {
        if ((m_flags & kTerminated) != 0) return m_data;
        int length = getLength();
        if (length == 0) return emptyText();
        if ((m_flags & kCopyCurrent) != 0) return m_copy;
        if (m_copyCapacity <= length) {
            releaseCopy();
            size_t bytes = (static_cast<size_t>(length) + 1) * sizeof(CharT);
            m_copy = static_cast<CharT*>(YavAllocator::allocate(m_allocator, bytes));
            if (m_copy == nullptr) return nullptr;
            m_copyCapacity = length + 1;
        }
        memcpy(m_copy, m_data, static_cast<size_t>(length) * sizeof(CharT));
        m_copy[length] = 0;
        m_flags |= kCopyCurrent;
        return m_copy;
    }

    // The unit at index.  REQUIRES: 0 <= index < getLength().
    CharT at(int index) const {
        YAV_ASSERT(index >= 0 && index < getLength());
        return m_data[index];
    }

    // Index of the first unit c at or after from, or -1.
    int find(CharT c, int from = 0) const {
        int length = getLength();
        for (int i = from < 0 ? 0 : from; i < length; ++i) {
            if (m_data[i] == c) return i;
        }
        return -1;
    }

    // The count units from offset (both clamped to the text; a negative
    // count means to the end), with this reference's allocator, comparator
    // and hasher.
    YavStringRefT substr(int offset, int count = -1) const {
        int length = getLength();
        if (offset < 0) offset = 0;
        if (offset > length) offset = length;
        if (count < 0 || count > length - offset) count = length - offset;
        YavStringRefT part(*this);
        part.set(m_data + offset, count);
        if (offset + count == length && (m_flags & kTerminated) != 0) part.m_flags |= kTerminated;
        return part;
    }

    uint32_t hash() const { return m_hasher->hash(m_data, static_cast<size_t>(getLength())); }

    // -1, 0 or 1: this reference's comparator over the common length, then
    // the shorter text is the lesser.
    int compare(const YavStringRefT& other) const {
        int la = getLength();
        int lb = other.getLength();
        int common = la < lb ? la : lb;
        return yav_order_result(
            m_comparator->compare(m_data, other.m_data, static_cast<size_t>(common)), la, lb);
    }

    bool equals(const YavStringRefT& other) const {
        return getLength() == other.getLength() && compare(other) == 0;
    }

    // Null restores the default of the unit type.
    void setComparator(const YavComparatorT<CharT>* comparator) {
        m_comparator = comparator != nullptr ? comparator : yav_default_comparator<CharT>();
    }
    const YavComparatorT<CharT>* getComparator() const { return m_comparator; }
    void setHasher(const YavHasherT<CharT>* hasher) {
        m_hasher = hasher != nullptr ? hasher : yav_default_hasher<CharT>();
    }
    const YavHasherT<CharT>* getHasher() const { return m_hasher; }

    // The allocator of the private copy.
    void setAllocator(YavAllocator* allocator) {
        releaseCopy();
        m_allocator = allocator;
    }
    YavAllocator* getAllocator() const { return m_allocator; }

    // Units before the first zero unit of s (0 for null), at most
    // YAV_STRING_MAX_LENGTH.
    static int nullTermLen(const CharT* s) {
        if (s == nullptr) return 0;
        int n = 0;
        while (n < YAV_STRING_MAX_LENGTH && s[n] != 0) ++n;
        return n;
    }

  private:
    template <class C2, class E2>
    friend class YavStringRefT;

    enum : unsigned char {
        kTerminated = 0x01,   // a zero unit follows the text
        kCopyCurrent = 0x02,  // m_copy holds the current text
    };

    static const CharT* emptyText() {
        static const CharT kEmpty[1] = {};
        return kEmpty;
    }

    void init(YavAllocator* allocator) {
        m_data = emptyText();
        m_measure = false;
        m_length = 0;
        m_copy = nullptr;
        m_copyCapacity = 0;
        m_allocator = allocator;
        m_comparator = yav_default_comparator<CharT>();
        m_hasher = yav_default_hasher<CharT>();
        m_flags = kTerminated;
    }

    template <class E2>
    void initFromRef(const YavStringRefT<CharT, E2>& other) {
        m_data = other.m_data;
        m_measure = other.m_measure;
        m_length = other.m_length;
        m_copy = nullptr;
        m_copyCapacity = 0;
        m_allocator = other.m_allocator;
        m_comparator = other.m_comparator;
        m_hasher = other.m_hasher;
        m_flags = other.m_flags & kTerminated;
    }

    template <class E2>
    void initFromString(const YavStringT<CharT, E2>& s) {
        init(s.getAllocator());
        setTerminated(s.getData(), s.getLength());
        m_comparator = s.getComparator();
        m_hasher = s.getHasher();
    }

    void releaseCopy() const {
        YavAllocator::deallocate(m_allocator, m_copy);
        m_copy = nullptr;
        m_copyCapacity = 0;
        m_flags &= static_cast<unsigned char>(~kCopyCurrent);
    }

    const CharT* m_data;
    mutable bool m_measure;  // the length is still to be measured
    mutable int m_length;    // in units; -1 while not yet measured
    mutable CharT* m_copy;   // private terminated copy, or null
    mutable int m_copyCapacity;
    YavAllocator* m_allocator;
    const YavComparatorT<CharT>* m_comparator;
    const YavHasherT<CharT>* m_hasher;
    mutable unsigned char m_flags;
};

#endif  // YAV_CORE_BUFFERS_YAVSTRINGREFT_H
