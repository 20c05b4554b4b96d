// YavHashChains<Entry, BucketRule>: the part that YavHashTable and
// YavMultiHashTable share -- a fixed array of buckets, each a singly linked
// chain of entries, with the walks over it (finding a key's link,
// unlinking, whole-table iteration, emptying), the entry count, the
// allocator and the ownership of keys and values.  The tables inherit it
// privately and publish what they offer of it; what an entry holds besides
// its link, hash and key and where a new entry goes in its chain belong to
// each table.
//
// Entry: a class derived from YavHashLink<Entry, Key> that lets
// YavHashChains call its
//     static void destroy(Entry* e, bool destroyKey, bool destroyValues);
// which frees e and then destroys its key and/or its values when asked
// (see YavHashTableEntry, YavMultiHashTableEntry).  BucketRule: a rule of
// core/hash/yav_hash_bucket.h (YavFoldedBuckets, YavPlainBuckets) that maps
// a 32-bit hash to its bucket.
//
// A look-up with a key k of any type K (which supplies `uint32_t hash()`)
// walks the chain of k's bucket from its head and stops at the first entry
// whose stored hash equals k.hash() and whose key answers
// `storedKey->compare(k) == 0`; compare() is never called on an entry of
// another hash.
//
// Ownership: with the flags given at construction, delEntries(),
// initialize(), remove(), removeAt() and the destructor destroy the keys
// and/or values of the entries they free; clear() never does.
//
// Memory: the bucket array comes from the YavAllocator given at
// construction (null = process heap); the table makes each entry and hands
// it over with insert(), the chains free it (Entry::destroy) or hand it back
// (unlinkFirst).
//
// Threads: not locked; one thread at a time.  Not copyable.
#ifndef YAV_CORE_HASH_YAVHASHCHAINS_H
#define YAV_CORE_HASH_YAVHASHCHAINS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/hash/yav_hash_bucket.h"
#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

template <class Entry, class BucketRule>
class YavHashChains;

// The fields every chained entry starts with: the link to the next entry of
// its chain, the key's 32-bit hash (taken once, when the entry is made) and
// the key.  Derived is the entry class itself, so that next() yields it.
template <class Derived, class Key>
class YavHashLink {
  public:
    const Derived* next() const { return m_next; }
    uint32_t hash() const { return m_hash; }
    Key* key() const { return m_key; }

  protected:
    YavHashLink(uint32_t hash, Key* key) : m_next(nullptr), m_hash(hash), m_key(key) {}

  private:
    template <class, class>
    friend class YavHashChains;

    Derived* m_next;
    uint32_t m_hash;
    Key* m_key;
};

template <class Entry, class BucketRule>
class YavHashChains {
  public:
    // A place in whole-table iteration: an entry and its bucket, or the end.
    // The tables' iterators derive from it.  Equal when at the same entry.
    // Copyable.
    class Position {
      public:
        Position() : m_chains(nullptr), m_bucket(0), m_entry(nullptr) {}

        bool isEnd() const { return m_entry == nullptr; }
        const Entry* entry() const { return m_entry; }

        friend bool operator==(const Position& a, const Position& b) {
            return a.m_entry == b.m_entry;
        }
        friend bool operator!=(const Position& a, const Position& b) {
            return a.m_entry != b.m_entry;
        }

      protected:
        // Moves to the next entry: along the chain, then to the head of the
        // next bucket that is not empty.  REQUIRES: not the end.
        void step() {
            m_entry = m_entry->m_next;
            if (m_entry == nullptr) m_entry = m_chains->firstFrom(m_bucket + 1, &m_bucket);
        }

      private:
        friend class YavHashChains;
        Position(const YavHashChains* chains, uint32_t bucket, Entry* entry)
            : m_chains(chains), m_bucket(bucket), m_entry(entry) {}

        const YavHashChains* m_chains;
        uint32_t m_bucket;
        Entry* m_entry;
    };

    // No buckets until initialize() succeeds.
    YavHashChains(YavAllocator* allocator, bool ownsKeys, bool ownsValues)
        : m_buckets(nullptr),
          m_bucketCount(0),
          m_count(0),
          m_allocator(allocator),
          m_ownsKeys(ownsKeys),
          m_ownsValues(ownsValues) {}
    ~YavHashChains() {
        delEntries();
        YavAllocator::deallocate(m_allocator, m_buckets);
    }
    YAV_DISALLOW_COPY(YavHashChains);

    // Empties the chains (as delEntries) and gives them a new, zeroed array
    // of `buckets` buckets.  Returns 0, YAV_S_INVALID_VALUE for 0 buckets or
    // YAV_S_NO_MEMORY; after a failure there are no entries and no buckets.
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

    // The link that points at the first entry of bucket's chain that matches
    // key, or the null link that ends the chain when none does.
    // REQUIRES: isInitialized(); h == key.hash(); bucket == bucketOf(h).
    template <class K>
    Entry** linkOf(const K& key, uint32_t h, uint32_t bucket) const {
        Entry** link = &m_buckets[bucket];
        for (Entry* e = *link; e != nullptr; link = &e->m_next, e = *link) {
            if (e->m_hash != h) continue;
            // Start fetching the key's first line (a YavString's inline
            // text) while compare() reads the key's other fields.
            __builtin_prefetch(e->m_key);
            if (e->m_key->compare(key) == 0) break;
        }
        return link;
    }
    // REQUIRES: isInitialized().
    uint32_t bucketOf(uint32_t h) const { return BucketRule::bucket(h, m_remainder); }
    // REQUIRES: isInitialized().
    Entry** headOf(uint32_t h) { return &m_buckets[bucketOf(h)]; }

    // The first entry that matches key, or the end (also before
    // initialize() has succeeded).
    template <class K>
    Position locate(const K& key) const {
        if (m_buckets == nullptr) return endPosition();
        uint32_t h = key.hash();
        uint32_t bucket = bucketOf(h);
        return Position(this, bucket, *linkOf(key, h, bucket));
    }
    Position firstPosition() const {
        Position p(this, 0, nullptr);
        p.m_entry = firstFrom(0, &p.m_bucket);
        return p;
    }
    Position endPosition() const { return Position(this, 0, nullptr); }

    // Links e in where *link points (a chain's head, or its null end).
    // REQUIRES: link is a link of these chains; e is in no chain.
    void insert(Entry** link, Entry* e) {
        e->m_next = *link;
        *link = e;
        ++m_count;
    }
    // Unlinks the first entry that matches key and returns it; it is the
    // caller's to free (with destroyOwned, say).  Null when there is none.
    template <class K>
    Entry* unlinkFirst(const K& key) {
        if (m_buckets == nullptr) return nullptr;
        uint32_t h = key.hash();
        Entry** link = linkOf(key, h, bucketOf(h));
        return *link != nullptr ? unlink(link) : nullptr;
    }
    // Frees e, destroying the key and the values that the chains own.
    // REQUIRES: e is in no chain.
    void destroyOwned(Entry* e) { Entry::destroy(e, m_ownsKeys, m_ownsValues); }

    // Removes the first entry that matches key, destroying the key and the
    // values that the chains own.  False when there is none.
    template <class K>
    bool remove(const K& key) {
        Entry* e = unlinkFirst(key);
        if (e == nullptr) return false;
        destroyOwned(e);
        return true;
    }
    // Removes the entry at *at (destroying what the chains own) and moves
    // *at to the entry after it.
    // REQUIRES: *at is a position of these chains, not the end.
    void removeAt(Position* at) {
        YAV_ASSERT(at->m_chains == this);
        Entry** link = &m_buckets[at->m_bucket];
        while (*link != at->m_entry) link = &(*link)->m_next;
        at->step();
        destroyOwned(unlink(link));
    }

    // Frees every entry; keys and values are kept (the caller holds them).
    // The buckets stay.
    void clear() { drop(false, false); }
    // Frees every entry and destroys the keys and values that the chains
    // own.  The buckets stay.
    void delEntries() { drop(m_ownsKeys, m_ownsValues); }

    // Head of the chain of bucket i (walk it with Entry::next()); null when
    // the chain is empty or i >= bucketCount().
    const Entry* bucket(uint32_t i) const { return i < m_bucketCount ? m_buckets[i] : nullptr; }
    uint32_t bucketCount() const { return m_bucketCount; }
    // Number of entries.
    size_t count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }

    bool ownsKeys() const { return m_ownsKeys; }
    bool ownsValues() const { return m_ownsValues; }
    YavAllocator* getAllocator() const { return m_allocator; }

  private:
    Entry* unlink(Entry** link) {
        Entry* e = *link;
        *link = e->m_next;
        --m_count;
        return e;
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
                Entry::destroy(e, destroyKeys, destroyValues);
                e = next;
            }
        }
    }

    // The head of the first chain in buckets [from, count) that is not
    // empty, with its bucket in *bucket; null when there is none.
    Entry* firstFrom(uint32_t from, uint32_t* bucket) const {
        for (uint32_t i = from; i < m_bucketCount; ++i) {
            if (m_buckets[i] != nullptr) {
                *bucket = i;
                return m_buckets[i];
            }
        }
        return nullptr;
    }

    Entry** m_buckets;
    uint32_t m_bucketCount;
    YavFastRemainder m_remainder;  // % m_bucketCount
    size_t m_count;
    YavAllocator* m_allocator;
    bool m_ownsKeys;
    bool m_ownsValues;
};

#endif  // YAV_CORE_HASH_YAVHASHCHAINS_H
