// YavMultiHashTable<Key, Value>: a hash table that keeps several values per
// key, in the order added (HTTP header sets, query and POST arguments).
// Each entry holds a key and a YavList of values; the buckets are a fixed
// array of singly linked chains.
//
// Bucket of a key: its 32-bit hash modulo the bucket count, with no folding
// (header tables are laid out by exactly that rule).  A new key's entry goes
// to the tail of its chain, so each chain keeps its keys in the order first
// added; whole-table iteration visits the buckets in order and each chain
// from its head.
//
// addValue(key, value):
//   - key absent: a new entry with that key and a one-value list;
//   - an equal key present: value is appended to that entry's list, and the
//     offered key, no longer needed, is destroyed when the table owns its
//     keys (it stays the caller's otherwise);
//   returns 0.  On failure (YAV_S_NO_MEMORY, or YAV_S_NOT_INITIALIZED before
//   a successful initialize) the table is unchanged and key and value stay
//   the caller's.
//
// Keys and values are held by pointer; key concept and heterogeneous
// look-up as YavHashTable (`storedKey.compare(lookup) == 0`, after an equal
// 32-bit hash; addValue tests `storedKey.compare(*key)`).  The table owns
// its keys and/or values when the flags given at construction say so, and
// destroys them with KeyDeleter / ValueDeleter in delEntries(),
// initialize(), remove() and the destructor; clear() never destroys them.
//
// Memory: bucket array, entries and list entries come from the YavAllocator
// given at construction (null = process heap).
//
// Threads: not locked; one thread at a time.  Not copyable.
#ifndef YAV_CORE_HASH_YAVMULTIHASHTABLE_H
#define YAV_CORE_HASH_YAVMULTIHASHTABLE_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/hash/yav_hash_bucket.h"
#include "core/list/YavList.h"
#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

template <class Key, class Value, class KeyDeleter = YavDeleteOperator,
          class ValueDeleter = YavDeleteOperator>
class YavMultiHashTable {
  public:
    using ValueList = YavList<Value, ValueDeleter>;

    class Entry {
      public:
        const Entry* next() const { return m_next; }
        uint32_t hash() const { return m_hash; }
        Key* key() const { return m_key; }
        const ValueList& values() const { return m_values; }

        // Made only by the table (through yav_new, hence public).
        Entry(uint32_t hash, Key* key, YavAllocator* allocator, bool ownsValues)
            : m_next(nullptr), m_hash(hash), m_key(key), m_values(allocator, ownsValues) {}

      private:
        friend class YavMultiHashTable;

        Entry* m_next;
        uint32_t m_hash;
        Key* m_key;
        ValueList m_values;
    };

    // Forward iterator over the entries (one per key) of the whole table.
    class ConstIterator {
      public:
        ConstIterator() : m_table(nullptr), m_bucket(0), m_entry(nullptr) {}

        bool isEnd() const { return m_entry == nullptr; }
        // REQUIRES: not the end iterator.
        const Key* key() const { return m_entry->m_key; }
        const ValueList& values() const { return m_entry->m_values; }
        const Entry* entry() const { return m_entry; }

        // REQUIRES: not the end iterator.
        ConstIterator& operator++() {
            m_entry = m_entry->m_next;
            if (m_entry == nullptr) m_table->firstFrom(m_bucket + 1, &m_bucket, &m_entry);
            return *this;
        }

        friend bool operator==(const ConstIterator& a, const ConstIterator& b) {
            return a.m_entry == b.m_entry;
        }
        friend bool operator!=(const ConstIterator& a, const ConstIterator& b) {
            return a.m_entry != b.m_entry;
        }

      private:
        friend class YavMultiHashTable;
        ConstIterator(const YavMultiHashTable* table, uint32_t bucket, Entry* entry)
            : m_table(table), m_bucket(bucket), m_entry(entry) {}

        const YavMultiHashTable* m_table;
        uint32_t m_bucket;
        Entry* m_entry;
    };

    // The table has no buckets until initialize() succeeds.
    explicit YavMultiHashTable(YavAllocator* allocator = nullptr, bool ownsKeys = false,
                               bool ownsValues = false)
        : m_buckets(nullptr),
          m_bucketCount(0),
          m_count(0),
          m_valueCount(0),
          m_allocator(allocator),
          m_ownsKeys(ownsKeys),
          m_ownsValues(ownsValues) {}
    ~YavMultiHashTable() {
        delEntries();
        YavAllocator::deallocate(m_allocator, m_buckets);
    }
    YAV_DISALLOW_COPY(YavMultiHashTable);

    // Empties the table (as delEntries) and gives it a new, zeroed array of
    // `buckets` buckets.  Returns 0, YAV_S_INVALID_VALUE for 0 buckets or
    // YAV_S_NO_MEMORY; after a failure the table is empty and has no
    // buckets.
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

    // See the header comment.  REQUIRES: key is not null.
    yav_status_t addValue(Key* key, Value* value) {
        YAV_ASSERT(key != nullptr);
        if (m_buckets == nullptr) return YAV_S_NOT_INITIALIZED;
        uint32_t h = key->hash();
        Entry** link = &m_buckets[m_remainder.of(h)];
        for (; *link != nullptr; link = &(*link)->m_next) {
            Entry* e = *link;
            if (e->m_hash != h || e->m_key->compare(*key) != 0) continue;
            yav_status_t status = e->m_values.append(value);
            if (status != 0) return status;
            ++m_valueCount;
            if (m_ownsKeys && key != e->m_key) KeyDeleter()(key);
            return 0;
        }
        Entry* e = yav_new<Entry>(m_allocator, h, key, m_allocator, m_ownsValues);
        if (e == nullptr) return YAV_S_NO_MEMORY;
        yav_status_t status = e->m_values.append(value);
        if (status != 0) {
            yav_delete(e);  // its list is empty: nothing of the caller's is touched
            return status;
        }
        *link = e;
        ++m_count;
        ++m_valueCount;
        return 0;
    }

    // The values of key, in the order added, or null when key is absent.
    template <class K>
    const ValueList* find(const K& key) const {
        Entry* e = lookup(key, nullptr);
        return e != nullptr ? &e->m_values : nullptr;
    }
    // The first value added under key, or null.
    template <class K>
    Value* findFirst(const K& key) const {
        Entry* e = lookup(key, nullptr);
        return e != nullptr ? e->m_values.getHead() : nullptr;
    }

    // Removes key's entry, destroying the key and values that the table
    // owns.  False when key is absent.
    template <class K>
    bool remove(const K& key) {
        Entry** link = nullptr;
        Entry* e = lookup(key, &link);
        if (e == nullptr) return false;
        *link = e->m_next;
        --m_count;
        m_valueCount -= e->m_values.count();
        destroy(e, m_ownsKeys);
        return true;
    }

    // Head of the chain of bucket i; null when empty or i >= bucketCount().
    const Entry* bucket(uint32_t i) const { return i < m_bucketCount ? m_buckets[i] : nullptr; }
    uint32_t bucketCount() const { return m_bucketCount; }
    // Number of distinct keys, and of values under all keys.
    size_t count() const { return m_count; }
    size_t valueCount() const { return m_valueCount; }
    bool isEmpty() const { return m_count == 0; }

    // Frees every entry; keys and values are kept (the caller holds them).
    void clear() { drop(false, false); }
    // Frees every entry and destroys the keys and values that the table
    // owns.
    void delEntries() { drop(m_ownsKeys, m_ownsValues); }

    bool ownsKeys() const { return m_ownsKeys; }
    bool ownsValues() const { return m_ownsValues; }
    YavAllocator* getAllocator() const { return m_allocator; }

    ConstIterator begin() const {
        ConstIterator it(this, 0, nullptr);
        firstFrom(0, &it.m_bucket, &it.m_entry);
        return it;
    }
    ConstIterator end() const { return ConstIterator(this, 0, nullptr); }

  private:
    // The entry of key, or null; *linkOut (when asked) is the link that
    // points at it.
    template <class K>
    Entry* lookup(const K& key, Entry*** linkOut) const {
        if (m_buckets == nullptr) return nullptr;
        uint32_t h = key.hash();
        for (Entry** link = &m_buckets[m_remainder.of(h)]; *link != nullptr;
             link = &(*link)->m_next) {
            Entry* e = *link;
            if (e->m_hash == h && e->m_key->compare(key) == 0) {
                if (linkOut != nullptr) *linkOut = link;
                return e;
            }
        }
        return nullptr;
    }

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

    // Frees the entry; its list destroys the values when it owns them.
    void destroy(Entry* e, bool destroyKey) {
        Key* key = e->m_key;
        yav_delete(e);
        if (destroyKey) KeyDeleter()(key);
    }

    void drop(bool destroyKeys, bool destroyValues) {
        m_count = 0;
        m_valueCount = 0;
        for (uint32_t i = 0; i < m_bucketCount; ++i) {
            Entry* e = m_buckets[i];
            m_buckets[i] = nullptr;
            while (e != nullptr) {
                Entry* next = e->m_next;
                if (!destroyValues) e->m_values.clear();  // keep the values
                destroy(e, destroyKeys);
                e = next;
            }
        }
    }

    Entry** m_buckets;
    uint32_t m_bucketCount;
    YavFastRemainder m_remainder;  // % m_bucketCount
    size_t m_count;
    size_t m_valueCount;
    YavAllocator* m_allocator;
    bool m_ownsKeys;
    bool m_ownsValues;
};

#endif  // YAV_CORE_HASH_YAVMULTIHASHTABLE_H
