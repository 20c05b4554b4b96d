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
// The bucket array, the chain walks and the counts are YavHashChains
// (core/hash/YavHashChains.h), shared with YavMultiHashTable.
//
// Threads: not locked (see YavProtectedHashTable for a locked table).  Not
// copyable.  Not meant to be derived from.
#ifndef YAV_CORE_HASH_YAVHASHTABLE_H
#define YAV_CORE_HASH_YAVHASHTABLE_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/hash/YavHashChains.h"
#include "core/hash/yav_hash_bucket.h"
#include "core/list/YavDeleters.h"
#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

// An entry of YavHashTable<Key, Value, KeyDeleter, ValueDeleter>: next(),
// hash() and key() (see YavHashLink), and the value.
template <class Key, class Value, class KeyDeleter, class ValueDeleter>
class YavHashTableEntry
    : public YavHashLink<YavHashTableEntry<Key, Value, KeyDeleter, ValueDeleter>, Key> {
  public:
    Value* value() const { return m_value; }

    // Made only by the table (through yav_new, hence public).
    YavHashTableEntry(uint32_t hash, Key* key, Value* value)
        : YavHashLink<YavHashTableEntry, Key>(hash, key), m_value(value) {}

  private:
    template <class, class>
    friend class YavHashChains;

    // Frees e, then destroys its key and its value when asked (a null value
    // is never destroyed).
    static void destroy(YavHashTableEntry* e, bool destroyKey, bool destroyValue) {
        Key* key = e->key();
        Value* value = e->m_value;
        yav_delete(e);
        if (destroyKey) KeyDeleter()(key);
        if (destroyValue && value != nullptr) ValueDeleter()(value);
    }

    Value* m_value;
};

template <class Key, class Value, class KeyDeleter = YavDeleteOperator,
          class ValueDeleter = YavDeleteOperator>
class YavHashTable : private YavHashChains<YavHashTableEntry<Key, Value, KeyDeleter, ValueDeleter>,
                                           YavFoldedBuckets> {
    using Chains =
        YavHashChains<YavHashTableEntry<Key, Value, KeyDeleter, ValueDeleter>, YavFoldedBuckets>;
    using Position = typename Chains::Position;

  public:
    using Entry = YavHashTableEntry<Key, Value, KeyDeleter, ValueDeleter>;

    // Forward iterator over the entries of the whole table (isEnd(),
    // entry(), == and != come from the position it is).  A ConstIterator
    // yields const keys and values; Iterator converts to it.
    template <bool IsConst>
    class IteratorT : public Position {
      public:
        using KeyPtr = std::conditional_t<IsConst, const Key*, Key*>;
        using ValuePtr = std::conditional_t<IsConst, const Value*, Value*>;

        IteratorT() = default;
        template <bool C = IsConst, class = std::enable_if_t<C>>
        IteratorT(const IteratorT<false>& other)  // NOLINT: implicit on purpose
            : Position(other) {}

        // REQUIRES: not the end iterator.
        KeyPtr key() const { return this->entry()->key(); }
        ValuePtr value() const { return this->entry()->value(); }

        // REQUIRES: not the end iterator.
        IteratorT& operator++() {
            this->step();
            return *this;
        }

      private:
        friend class YavHashTable;
        explicit IteratorT(const Position& at) : Position(at) {}
    };
    using Iterator = IteratorT<false>;
    using ConstIterator = IteratorT<true>;

    // The table has no buckets until initialize() succeeds.
    explicit YavHashTable(YavAllocator* allocator = nullptr, bool ownsKeys = false,
                          bool ownsValues = false)
        : Chains(allocator, ownsKeys, ownsValues) {}
    YAV_DISALLOW_COPY(YavHashTable);

    // Empties the table (as delEntries) and gives it a new, zeroed array of
    // `buckets` buckets.  Returns 0, YAV_S_INVALID_VALUE for 0 buckets or
    // YAV_S_NO_MEMORY; after a failure the table is empty and has no
    // buckets, and add() answers YAV_S_NOT_INITIALIZED.
    using Chains::initialize;
    using Chains::isInitialized;

    // Adds the pair at the head of its bucket's chain.  Returns 0,
    // YAV_S_NO_MEMORY or YAV_S_NOT_INITIALIZED; on failure the table is
    // unchanged and key and value stay the caller's.
    // REQUIRES: key is not null.
    yav_status_t add(Key* key, Value* value) {
        YAV_ASSERT(key != nullptr);
        if (!isInitialized()) return YAV_S_NOT_INITIALIZED;
        uint32_t h = key->hash();
        Entry* e = yav_new<Entry>(getAllocator(), h, key, value);
        if (e == nullptr) return YAV_S_NO_MEMORY;
        this->insert(this->headOf(h), e);
        return 0;
    }

    // The first entry of key's chain that matches key, or end().
    template <class K>
    Iterator findIter(const K& key) {
        return Iterator(this->locate(key));
    }
    template <class K>
    ConstIterator findIter(const K& key) const {
        return ConstIterator(this->locate(key));
    }

    // The value of the first match, or null (also when the stored value is
    // null; use findIter to tell the two apart).
    template <class K>
    Value* find(const K& key) {
        const Entry* e = this->locate(key).entry();
        return e != nullptr ? e->value() : nullptr;
    }
    template <class K>
    const Value* find(const K& key) const {
        const Entry* e = this->locate(key).entry();
        return e != nullptr ? e->value() : nullptr;
    }
    template <class K>
    bool contains(const K& key) const {
        return !this->locate(key).isEnd();
    }

    // Removes the first match of key, destroying the key and the value that
    // the table owns.  False when there is none.
    using Chains::remove;
    // Removes the entry at it (destroying what the table owns) and returns
    // the iterator of the next entry.  remove(end()) does nothing.
    // REQUIRES: it is an iterator of this table.
    Iterator remove(Iterator it) {
        if (it.isEnd()) return end();
        this->removeAt(&it);
        return it;
    }

    using Chains::bucket;
    using Chains::bucketCount;
    using Chains::count;
    using Chains::isEmpty;

    // Frees every entry; keys and values are kept (the caller holds them).
    // The buckets stay.
    using Chains::clear;
    // Frees every entry and destroys the keys and values that the table
    // owns.  The buckets stay.
    using Chains::delEntries;

    using Chains::getAllocator;
    using Chains::ownsKeys;
    using Chains::ownsValues;

    Iterator begin() { return Iterator(this->firstPosition()); }
    Iterator end() { return Iterator(this->endPosition()); }
    ConstIterator begin() const { return ConstIterator(this->firstPosition()); }
    ConstIterator end() const { return ConstIterator(this->endPosition()); }
};

#endif  // YAV_CORE_HASH_YAVHASHTABLE_H
