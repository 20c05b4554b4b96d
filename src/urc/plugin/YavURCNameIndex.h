// YavURCNameIndex<Value>: an open-addressing look-up array over the names of
// one YavHashTable<YavString, Value> of the cache database, so that a name
// is found in about one probe however long the table's chains are.
//
// Each slot holds the stored key's 32-bit hash (as the table took it), its
// length, its text and the value; an empty slot has no text.  The array has
// a power-of-two size of at least twice the names it holds, and a name's
// probe starts at the top bits of its hash times a Fibonacci constant (the
// string hash varies mostly in its low bits), then moves one slot at a time.
//
// Matching is the table's rule for keys compared with yav_strcmp: the same
// hash, the same length and strncmp equal over that length.  The index
// answers exactly as the table's find() does provided the names are added
// in the table's iteration order: two keys the table could both match have
// the same hash, hence the same bucket (the table visits them in chain
// order) and the same home slot (linear probing keeps them in the order they
// were added), so the first match of a probe is the first of the chain.
//
// Memory: the slot array comes from the allocator given to initialize()
// (null = process heap) and is freed by release() and the destructor.  The
// texts and values are the table's: the index is valid only while the table
// is unchanged.  Threads: built by one thread; then find() may run on any
// number of threads at once.  Not copyable.
#ifndef YAV_URC_PLUGIN_YAVURCNAMEINDEX_H
#define YAV_URC_PLUGIN_YAVURCNAMEINDEX_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/buffers/YavString.h"
#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/sundry/yav_base.h"
#include "core/system/yav_assert.h"

template <class Value>
class YavURCNameIndex {
  public:
    // Bytes that one slot takes (the array holds 2 to 4 slots per name).
    static constexpr size_t kSlotSize = sizeof(const char*) + sizeof(const Value*) + 8;

    YavURCNameIndex() = default;
    ~YavURCNameIndex() { release(); }
    YAV_DISALLOW_COPY(YavURCNameIndex);

    // Frees any array held and makes an empty one for up to `names` names
    // (none for 0).  0, or YAV_S_NO_MEMORY (the index is then empty).
    yav_status_t initialize(size_t names, YavAllocator* allocator) {
        release();
        if (names == 0) return 0;
        // Above 2^30 names the slot count would not fit the 32-bit probe.
        if (names > (static_cast<size_t>(1) << 30)) return YAV_S_NO_MEMORY;
        unsigned bits = 1;
        while ((static_cast<size_t>(1) << bits) < 2 * names) ++bits;
        const size_t slots = static_cast<size_t>(1) << bits;
        m_slots = static_cast<Slot*>(YavAllocator::allocate(allocator, slots * sizeof(Slot)));
        if (m_slots == nullptr) return YAV_S_NO_MEMORY;
        memset(m_slots, 0, slots * sizeof(Slot));
        m_allocator = allocator;
        m_mask = static_cast<uint32_t>(slots - 1);
        m_shift = 32 - bits;
        m_room = names;
        return 0;
    }

    // Frees the array; the index is then empty.
    void release() {
        if (m_slots != nullptr) YavAllocator::deallocate(m_allocator, m_slots);
        m_slots = nullptr;
        m_allocator = nullptr;
        m_mask = 0;
        m_shift = 0;
        m_room = 0;
    }

    // Adds key (whose stored hash is hash) with value.  Among equal names
    // the one added first is found.
    // REQUIRES: fewer names added than initialize() made room for
    // (asserted); key and value stay unchanged while the index is used.
    void add(uint32_t hash, const YavString& key, const Value* value) {
        YAV_ASSERT(m_room > 0);
        --m_room;
        uint32_t i = home(hash);
        while (m_slots[i].text != nullptr) i = (i + 1) & m_mask;
        m_slots[i].text = key.getData();
        m_slots[i].value = value;
        m_slots[i].hash = hash;
        m_slots[i].length = key.getLength();
    }

    // The value of the first name added that matches text[0, length) with
    // hash `hash`; null when none does (or that name's value is null).
    // REQUIRES: hash is the hash of the text by the table's hasher.
    const Value* find(uint32_t hash, const char* text, int length) const {
        if (m_slots == nullptr) return nullptr;
        // At most half the slots are used, so an empty slot ends the probe.
        for (uint32_t i = home(hash);; i = (i + 1) & m_mask) {
            const Slot& s = m_slots[i];
            if (s.text == nullptr) return nullptr;
            if (s.hash == hash && s.length == length &&
                (length == 0 || strncmp(s.text, text, static_cast<size_t>(length)) == 0)) {
                return s.value;
            }
        }
    }

  private:
    struct Slot {
        const char* text;  // null: empty
        const Value* value;
        uint32_t hash;
        int length;
    };
    static_assert(sizeof(Slot) == kSlotSize, "slot layout");

    uint32_t home(uint32_t hash) const { return (hash * 0x9E3779B1u) >> m_shift; }

    Slot* m_slots = nullptr;
    YavAllocator* m_allocator = nullptr;
    uint32_t m_mask = 0;
    unsigned m_shift = 0;
    size_t m_room = 0;
};

#endif  // YAV_URC_PLUGIN_YAVURCNAMEINDEX_H
