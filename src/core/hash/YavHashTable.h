// YavHashTable<Key, Value>: a hash table with a fixed array of buckets, each
// a singly linked chain of entries (next, hash, key, value).  There is no
// rehashing: the bucket count is chosen by initialize() and the chains grow.
//
// Keys and values are held by pointer.  The table owns its keys and/or its
// values when the flags given at construction say so; it then destroys them
// with KeyDeleter / ValueDeleter (core/list/YavDeleters.h; default
// `delete`) in delEntries(), initialize(), remove() and the destructor.
// clear() never destroys them.  Keys must not be null; values may be.
//
// Key concept: a key type supplies
//     uint32_t hash() const;
//     int compare(const K&) const;   // 0 = equal
// for every look-up key type K it is searched with.  Look-ups are templates
// over K (e.g. a YavString-keyed table searched with a YavStringRef); K
// supplies hash(), which must equal the stored key's hash() when the two
// compare equal.  The match test is `storedKey.compare(lookup) == 0`, so
// the stored keys' comparator decides; it is tried only on entries whose
// stored 32-bit hash equals the look-up hash.  Each stored key's hash is
// taken once, by add().
//
// add() puts the new entry at the head of its bucket's chain and does not
// look for an existing equal key: a later entry hides an earlier one.
// Bucket of a key: yav_hash_bucket(hash, bucket count).
//
// Memory: the bucket array and the entries come from the YavAllocator given
// at construction (null = process heap); entries carry the allocator word.
// An add whose entry cannot be allocated returns YAV_S_NO_MEMORY and leaves
// the table as it was.
//
// Iterators stay valid until their own entry is removed; remove(Iterator)
// returns the iterator of the next entry.  Whole-table iteration visits the
// buckets in order and each chain from its head.
//
// Threads: not locked (see YavProtectedHashTable for a locked table).  Not
// copyable.  Not meant to be derived from.
#ifndef YAV_CORE_HASH_YAVHASHTABLE_H
#define YAV_CORE_HASH_YAVHASHTABLE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "core/hash/yav_hash_bucket.h"
#include "core/list/YavDeleters.h"
#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

template <class Key, class Value, class KeyDeleter = YavDeleteOperator,
          class ValueDeleter = YavDeleteOperator>
class YavHashTable {
  public:
    class Entry {
      public:
        const Entry* next() const { return m_next; }
        uint32_t hash() const { return m_hash; }
        Key* key() const { return m_key; }
        Value* value() const { return m_value; }

      private:
        friend class YavHashTable;
        Entry(Entry* next, uint32_t hash, Key* key, Value* value)
            : m_next(next), m_hash(hash), m_key(key), m_value(value) {}

        Entry* m_next;
        uint32_t m_hash;
        Key* m_key;
        Value* m_value;
    };

    // Forward iterator over the entries of the whole table.  A
    // ConstIterator yields const keys and values; Iterator converts to it.
    template <bool IsConst>
    class IteratorT {
      public:
        using TablePtr = std::conditional_t<IsConst, const YavHashTable*, YavHashTable*>;
        using KeyPtr = std::conditional_t<IsConst, const Key*, Key*>;
        using ValuePtr = std::conditional_t<IsConst, const Value*, Value*>;

        IteratorT() : m_table(nullptr), m_bucket(0), m_entry(nullptr) {}
        template <bool C = IsConst, class = std::enable_if_t<C>>
        IteratorT(const IteratorT<false>& other)  // NOLINT: implicit on purpose
            : m_table(other.m_table), m_bucket(other.m_bucket), m_entry(other.m_entry) {}

        bool isEnd() const { return m_entry == nullptr; }
        // REQUIRES: not the end iterator.
        KeyPtr key() const { return m_entry->m_key; }
        ValuePtr value() const { return m_entry->m_value; }
        const Entry* entry() const { return m_entry; }

        // REQUIRES: not the end iterator.
        IteratorT& operator++() {
            m_entry = m_entry->m_next;
            if (m_entry == nullptr) m_table->firstFrom(m_bucket + 1, &m_bucket, &m_entry);
            return *this;
        }

        friend bool operator==(const IteratorT& a, const IteratorT& b) {
            return a.m_entry == b.m_entry;
        }
        friend bool operator!=(const IteratorT& a, const IteratorT& b) {
            return a.m_entry != b.m_entry;
        }

      private:
        friend class YavHashTable;
        template <bool>
        friend class IteratorT;
        IteratorT(TablePtr table, uint32_t bucket, Entry* entry)
            : m_table(table), m_bucket(bucket), m_entry(entry) {}

        TablePtr m_table;
        uint32_t m_bucket;
        Entry* m_entry;
    };
    using Iterator = IteratorT<false>;
    using ConstIterator = IteratorT<true>;

    // The table has no buckets until initialize() succeeds.
    explicit YavHashTable(YavAllocator* allocator = nullptr, bool ownsKeys = false,
                          bool ownsValues = false)
        : m_buckets(nullptr),
          m_bucketCount(0),
          m_count(0),
          m_allocator(allocator),
          m_ownsKeys(ownsKeys),
          m_ownsValues(ownsValues) {}
    ~YavHashTable() {
        delEntries();
        YavAllocator::deallocate(m_allocator, m_buckets);
    }
    YAV_DISALLOW_COPY(YavHashTable);

    // Empties the table (as delEntries) and gives it a new, zeroed array of
    // `buckets` buckets.  Returns 0, YAV_S_INVALID_VALUE for 0 buckets or
    // YAV_S_NO_MEMORY; after a failure the table is empty and has no
    // buckets, and add() answers YAV_S_NOT_INITIALIZED.
    yav_status_t initialize(uint32_t buckets) {
        delEntries();
        YavAllocator::deallocate(m_allocator, m_buckets);
        m_buckets = nullptr;
        m_bucketCount = 0;
        m_remainder = YavFastRemainder(0);
        if (buckets == 0) return YAV_S_INVALID_VALUE;
        size_t size = sizeof(Entry*) * static_cast<size_t>(buckets);
        m_buckets = static_cast<Entry**>(YavAllocator::allocate(m_allocator, size));
        if (m_buckets == nullptr) return YAV_S_NO_MEMORY;
        memset(m_buckets, 0, size);
        m_bucketCount = buckets;
        m_remainder = YavFastRemainder(buckets);
        return 0;
    }
    bool isInitialized() const { return m_buckets != nullptr; }

    // Adds the pair at the head of its bucket's chain.  Returns 0,
    // YAV_S_NO_MEMORY or YAV_S_NOT_INITIALIZED; on failure the table is
    // unchanged and key and value stay the caller's.
    // REQUIRES: key is not null.
    yav_status_t add(Key* key, Value* value) {
        YAV_ASSERT(key != nullptr);
        if (m_buckets == nullptr) return YAV_S_NOT_INITIALIZED;
        uint32_t h = key->hash();
        Entry** head = &m_buckets[bucketOf(h)];
        void* block = yav_placed_alloc(m_allocator, sizeof(Entry));
        if (block == nullptr) return YAV_S_NO_MEMORY;
        *head = ::new (block) Entry(*head, h, key, value);
        ++m_count;
        return 0;
    }

    // The first entry of key's chain that matches key, or end().
    template <class K>
    Iterator findIter(const K& key) {
        uint32_t bucket = 0;
        Entry* e = lookup(key, &bucket);
        return e != nullptr ? Iterator(this, bucket, e) : end();
    }
    template <class K>
    ConstIterator findIter(const K& key) const {
        uint32_t bucket = 0;
        Entry* e = lookup(key, &bucket);
        return e != nullptr ? ConstIterator(this, bucket, e) : end();
    }

    // The value of the first match, or null (also when the stored value is
    // null; use findIter to tell the two apart).
    template <class K>
    Value* find(const K& key) {
        uint32_t bucket = 0;
        Entry* e = lookup(key, &bucket);
        return e != nullptr ? e->m_value : nullptr;
    }
    template <class K>
    const Value* find(const K& key) const {
        uint32_t bucket = 0;
        Entry* e = lookup(key, &bucket);
        return e != nullptr ? e->m_value : nullptr;
    }
    template <class K>
    bool contains(const K& key) const {
        uint32_t bucket = 0;
        return lookup(key, &bucket) != nullptr;
    }

    // Removes the first match of key, destroying the key and the value that
    // the table owns.  False when there is none.
    template <class K>
    bool remove(const K& key) {
        Iterator it = findIter(key);
        if (it.isEnd()) return false;
        remove(it);
        return true;
    }
    // Removes the entry at it (destroying what the table owns) and returns
    // the iterator of the next entry.  remove(end()) does nothing.
    // REQUIRES: it is an iterator of this table.
    Iterator remove(Iterator it) {
        if (it.m_entry == nullptr) return end();
        YAV_ASSERT(it.m_table == this);
        Iterator next = it;
        ++next;
        Entry** link = &m_buckets[it.m_bucket];
        while (*link != it.m_entry) link = &(*link)->m_next;
        *link = it.m_entry->m_next;
        --m_count;
        destroy(it.m_entry, m_ownsKeys, m_ownsValues);
        return next;
    }

    // Head of the chain of bucket i (walk it with Entry::next()); null when
    // the chain is empty or i >= bucketCount().
    const Entry* bucket(uint32_t i) const { return i < m_bucketCount ? m_buckets[i] : nullptr; }
    uint32_t bucketCount() const { return m_bucketCount; }
    size_t count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }

    // Frees every entry; keys and values are kept (the caller holds them).
    // The buckets stay.
    void clear() { drop(false, false); }
    // Frees every entry and destroys the keys and values that the table
    // owns.  The buckets stay.
    void delEntries() { drop(m_ownsKeys, m_ownsValues); }

    bool ownsKeys() const { return m_ownsKeys; }
    bool ownsValues() const { return m_ownsValues; }
    YavAllocator* getAllocator() const { return m_allocator; }

    Iterator begin() {
        Iterator it(this, 0, nullptr);
        firstFrom(0, &it.m_bucket, &it.m_entry);
        return it;
    }
    Iterator end() { return Iterator(this, 0, nullptr); }
    ConstIterator begin() const {
        ConstIterator it(this, 0, nullptr);
        firstFrom(0, &it.m_bucket, &it.m_entry);
        return it;
    }
    ConstIterator end() const { return ConstIterator(this, 0, nullptr); }

  private:
    // yav_hash_bucket(h, m_bucketCount), without its division.
    uint32_t bucketOf(uint32_t h) const { return m_remainder.of(yav_hash_fold(h, m_bucketCount)); }

    template <class K>
    Entry* lookup(const K& key, uint32_t* bucket) const {
        if (m_buckets == nullptr) return nullptr;
        uint32_t h = key.hash();
        *bucket = bucketOf(h);
        for (Entry* e = m_buckets[*bucket]; e != nullptr; e = e->m_next) {
            if (e->m_hash != h) continue;
            // Start fetching the key's first line (a YavString's inline
            // text) while compare() reads the key's other fields.
            __builtin_prefetch(e->m_key);
            if (e->m_key->compare(key) == 0) return e;
        }
        return nullptr;
    }

    // The first entry in buckets [from, count), or null.
    void firstFrom(uint32_t from, uint32_t* bucket, Entry** entry) const {
        for (uint32_t i = from; i < m_bucketCount; ++i) {
            if (m_buckets[i] != nullptr) {
                *bucket = i;
                *entry = m_buckets[i];
                return;
            }
        }
        *entry = nullptr;
    }

    void destroy(Entry* e, bool destroyKey, bool destroyValue) {
        Key* key = e->m_key;
        Value* value = e->m_value;
        yav_placed_free(e);
        if (destroyKey) KeyDeleter()(key);
        if (destroyValue && value != nullptr) ValueDeleter()(value);
    }

    // Each chain is detached before its entries are destroyed, so that a
    // destructor run from here never sees a half-emptied chain.
    void drop(bool destroyKeys, bool destroyValues) {
        m_count = 0;
        for (uint32_t i = 0; i < m_bucketCount; ++i) {
            Entry* e = m_buckets[i];
            m_buckets[i] = nullptr;
            while (e != nullptr) {
                Entry* next = e->m_next;
                destroy(e, destroyKeys, destroyValues);
                e = next;
            }
        }
    }

    Entry** m_buckets;
    uint32_t m_bucketCount;
    YavFastRemainder m_remainder;  // % m_bucketCount
    size_t m_count;
    YavAllocator* m_allocator;
    bool m_ownsKeys;
    bool m_ownsValues;
};

#endif  // YAV_CORE_HASH_YAVHASHTABLE_H
