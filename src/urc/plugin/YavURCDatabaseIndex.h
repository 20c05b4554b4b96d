// YavURCDatabaseIndex: the look-up index of one cache database -- a
// YavURCNameIndex over the branch names, and for every branch a
// YavURCNameIndex over its object names.  The database keeps its few-bucket
// tables (they are what the version answer builds and what other code
// iterates); the index answers the same look-ups without walking their
// chains.
//
// The index answers exactly as the tables' find() would.  It is built only
// when every key is compared with yav_strcmp (the keys a version answer
// makes); otherwise, or when memory runs out, build() fails and the cache
// looks up through the tables.
//
// Memory: the branch records and every slot array come from the allocator
// given at construction (null = process heap); clear() and the destructor
// free them.  Everything else (names, entries, tables) is the database's:
// the index is valid only while that database exists unchanged.
// Threads: built and cleared by one thread (the cache's writer); look-ups
// may run on any number of threads at once.  Not copyable.
#ifndef YAV_URC_PLUGIN_YAVURCDATABASEINDEX_H
#define YAV_URC_PLUGIN_YAVURCDATABASEINDEX_H

#include <cstddef>
#include <cstdint>

#include "core/buffers/YavString.h"
#include "core/memory/YavAllocator.h"
#include "core/sundry/yav_base.h"
#include "urc/plugin/YavURCNameIndex.h"
#include "urc/plugin/YavUnprotResourceCacheBranchDBEntry.h"

class YavURCDatabaseIndex {
  public:
    // One branch: its table and the index of its object names.
    struct Branch {
        const YavURCBranchDB* table;  // the database's; null when it holds none
        YavURCNameIndex<YavUnprotResourceCacheBranchDBEntry> names;
    };

    explicit YavURCDatabaseIndex(YavAllocator* allocator = nullptr) : m_allocator(allocator) {}
    ~YavURCDatabaseIndex() { clear(); }
    YAV_DISALLOW_COPY(YavURCDatabaseIndex);

    // Drops any index held and indexes db.  0; YAV_S_NO_MEMORY; or
    // YAV_S_NOT_SUPPORTED when a key of db is compared otherwise than with
    // yav_strcmp.  After a failure nothing is held (isBuilt() is false).
    yav_status_t build(const YavURCDatabase& db);
    // Frees everything; isBuilt() is then false.
    void clear();
    bool isBuilt() const { return m_built; }

    // The branch that the database's find(branch) gives, or null (no such
    // branch, or a branch without a table).
    // REQUIRES: isBuilt().
    const Branch* findBranch(const YavString& branch) const;
    // The entry that branch's table find(name) gives, or null.  The name is
    // hashed with its own hasher.
    static const YavUnprotResourceCacheBranchDBEntry* findEntry(const Branch& branch,
                                                                const YavString& name) {
        return findEntry(branch, name, hashOf(name));
    }
    // The same with the name's hash given.
    // REQUIRES: hash == name's hasher over its text.
    static const YavUnprotResourceCacheBranchDBEntry* findEntry(const Branch& branch,
                                                                const YavString& name,
                                                                uint32_t hash) {
        return branch.names.find(hash, name.getData(), name.getLength());
    }

    // The hash a table look-up of s takes (s's hasher over its text); unlike
    // YavString::hash() it leaves the string's cached hash alone, so a string
    // that other threads read can be hashed.
    static uint32_t hashOf(const YavString& s) {
        return s.getHasher()->hash(s.getData(), static_cast<size_t>(s.getLength()));
    }

  private:
    // The keys of table are all compared with yav_strcmp.
    template <class Table>
    static bool keysUseStrcmp(const Table& table);

    YavAllocator* m_allocator;
    Branch* m_branches = nullptr;  // m_branchCount records, in database order
    size_t m_branchCount = 0;
    YavURCNameIndex<Branch> m_branchNames;
    bool m_built = false;
};

#endif  // YAV_URC_PLUGIN_YAVURCDATABASEINDEX_H
