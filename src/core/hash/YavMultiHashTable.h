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
// The bucket array, the chain walks and the counts of entries are
// YavHashChains (core/hash/YavHashChains.h), shared with YavHashTable.
//
// Threads: not locked; one thread at a time.  Not copyable.
#ifndef YAV_CORE_HASH_YAVMULTIHASHTABLE_H
#define YAV_CORE_HASH_YAVMULTIHASHTABLE_H

#include <cstddef>
#include <cstdint>

#include "core/hash/YavHashChains.h"
#include "core/hash/yav_hash_bucket.h"
#include "core/list/YavList.h"
#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

template <class Key, class Value, class KeyDeleter, class ValueDeleter>
class YavMultiHashTable;

// An entry of YavMultiHashTable<Key, Value, KeyDeleter, ValueDeleter>:
// next(), hash() and key() (see YavHashLink), and the list of the key's
// values.
template <class Key, class Value, class KeyDeleter, class ValueDeleter>
class YavMultiHashTableEntry
    : public YavHashLink<YavMultiHashTableEntry<Key, Value, KeyDeleter, ValueDeleter>, Key> {
  public:
    using ValueList = YavList<Value, ValueDeleter>;

    const ValueList& values() const { return m_values; }

    // Made only by the table (through yav_new, hence public).
    YavMultiHashTableEntry(uint32_t hash, Key* key, YavAllocator* allocator, bool ownsValues)
        : YavHashLink<YavMultiHashTableEntry, Key>(hash, key), m_values(allocator, ownsValues) {}

  private:
    template <class, class, class, class>
    friend class YavMultiHashTable;
    template <class, class>
    friend class YavHashChains;

    // Frees e (its list destroys the values it owns, unless destroyValues
    // is false: then they are kept), then destroys its key when asked.
    static void destroy(YavMultiHashTableEntry* e, bool destroyKey, bool destroyValues) {
        if (!destroyValues) e->m_values.clear();
        Key* key = e->key();
        yav_delete(e);
        if (destroyKey) KeyDeleter()(key);
    }

    ValueList m_values;
};

template <class Key, class Value, class KeyDeleter = YavDeleteOperator,
          class ValueDeleter = YavDeleteOperator>
class YavMultiHashTable
    : private YavHashChains<YavMultiHashTableEntry<Key, Value, KeyDeleter, ValueDeleter>,
                            YavPlainBuckets> {
    using Chains = YavHashChains<YavMultiHashTableEntry<Key, Value, KeyDeleter, ValueDeleter>,
                                 YavPlainBuckets>;
    using Position = typename Chains::Position;

  public:
    using Entry = YavMultiHashTableEntry<Key, Value, KeyDeleter, ValueDeleter>;
    using ValueList = typename Entry::ValueList;

    // Forward iterator over the entries (one per key) of the whole table
    // (isEnd(), entry(), == and != come from the position it is).
    class ConstIterator : public Position {
      public:
        ConstIterator() = default;

        // REQUIRES: not the end iterator.
        const Key* key() const { return this->entry()->key(); }
        const ValueList& values() const { return this->entry()->values(); }

        // REQUIRES: not the end iterator.
        ConstIterator& operator++() {
            this->step();
            return *this;
        }

      private:
        friend class YavMultiHashTable;
        explicit ConstIterator(const Position& at) : Position(at) {}
    };

    // The table has no buckets until initialize() succeeds.
    explicit YavMultiHashTable(YavAllocator* allocator = nullptr, bool ownsKeys = false,
                               bool ownsValues = false)
        : Chains(allocator, ownsKeys, ownsValues), m_valueCount(0) {}
    YAV_DISALLOW_COPY(YavMultiHashTable);

    // initialize, remove, clear and delEntries stand in for those of
    // YavHashChains (a private base: callers reach only these) so as to keep
    // m_valueCount; the chains' destructor frees what is left.

    // Empties the table (as delEntries) and gives it a new, zeroed array of
    // `buckets` buckets.  Returns 0, YAV_S_INVALID_VALUE for 0 buckets or
    // YAV_S_NO_MEMORY; after a failure the table is empty and has no
    // buckets.
    yav_status_t initialize(uint32_t buckets) {
        m_valueCount = 0;
        return Chains::initialize(buckets);
    }
    using Chains::isInitialized;

    // See the header comment.  REQUIRES: key is not null.
    yav_status_t addValue(Key* key, Value* value) {
        YAV_ASSERT(key != nullptr);
        if (!isInitialized()) return YAV_S_NOT_INITIALIZED;
        uint32_t h = key->hash();
        // The link of key's entry, or the end of its chain.
        Entry** link = this->linkOf(*key, h, this->bucketOf(h));
        Entry* e = *link;
        if (e != nullptr) {
            yav_status_t status = e->m_values.append(value);
            if (status != 0) return status;
            ++m_valueCount;
            if (ownsKeys() && key != e->key()) KeyDeleter()(key);
            return 0;
        }
        e = yav_new<Entry>(getAllocator(), h, key, getAllocator(), ownsValues());
        if (e == nullptr) return YAV_S_NO_MEMORY;
        yav_status_t status = e->m_values.append(value);
        if (status != 0) {
            yav_delete(e);  // its list is empty: nothing of the caller's is touched
            return status;
        }
        this->insert(link, e);
        ++m_valueCount;
        return 0;
    }

    // The values of key, in the order added, or null when key is absent.
    template <class K>
    const ValueList* find(const K& key) const {
        const Entry* e = this->locate(key).entry();
        return e != nullptr ? &e->values() : nullptr;
    }
    // The first value added under key, or null.
    template <class K>
    Value* findFirst(const K& key) const {
        const Entry* e = this->locate(key).entry();
        return e != nullptr ? e->values().getHead() : nullptr;
    }

    // Removes key's entry, destroying the key and values that the table
    // owns.  False when key is absent.
    template <class K>
    bool remove(const K& key) {
        Entry* e = this->unlinkFirst(key);
        if (e == nullptr) return false;
        m_valueCount -= e->values().count();
        this->destroyOwned(e);
        return true;
    }

    using Chains::bucket;
    using Chains::bucketCount;
    // Number of distinct keys, and of values under all keys.
    using Chains::count;
    size_t valueCount() const { return m_valueCount; }
    using Chains::isEmpty;

    // Frees every entry; keys and values are kept (the caller holds them).
    void clear() {
        m_valueCount = 0;
        Chains::clear();
    }
    // Frees every entry and destroys the keys and values that the table
    // owns.
    void delEntries() {
        m_valueCount = 0;
        Chains::delEntries();
    }

    using Chains::getAllocator;
    using Chains::ownsKeys;
    using Chains::ownsValues;

    ConstIterator begin() const { return ConstIterator(this->firstPosition()); }
    ConstIterator end() const { return ConstIterator(this->endPosition()); }

  private:
    size_t m_valueCount;
};

#endif  // YAV_CORE_HASH_YAVMULTIHASHTABLE_H
