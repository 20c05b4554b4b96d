#include "urc/plugin/YavURCDatabaseIndex.h"

#include <new>

#include "core/hash/YavComparators.h"
#include "core/msg/yav_status.h"

template <class Table>
bool YavURCDatabaseIndex::keysUseStrcmp(const Table& table) {
    for (auto it = table.begin(); !it.isEnd(); ++it) {
        if (it.key()->getComparator() != &yav_strcmp) return false;
    }
    return true;
}

yav_status_t YavURCDatabaseIndex::build(const YavURCDatabase& db) {
    clear();
    if (!keysUseStrcmp(db)) return YAV_S_NOT_SUPPORTED;
    for (auto it = db.begin(); !it.isEnd(); ++it) {
        if (it.value() != nullptr && !keysUseStrcmp(*it.value())) return YAV_S_NOT_SUPPORTED;
    }

    const size_t count = db.count();
    if (count > 0) {
        void* mem = YavAllocator::allocate(m_allocator, count * sizeof(Branch));
        if (mem == nullptr) return YAV_S_NO_MEMORY;
        m_branches = static_cast<Branch*>(mem);
        for (size_t i = 0; i < count; ++i) ::new (&m_branches[i]) Branch();
        m_branchCount = count;
    }
    yav_status_t status = m_branchNames.initialize(count, m_allocator);
    // Branches and names are added in the tables' iteration order, so that the
    // first match of a probe is the first match of the table's chain.
    size_t i = 0;
    for (auto it = db.begin(); status == 0 && !it.isEnd(); ++it, ++i) {
        Branch& branch = m_branches[i];
        branch.table = it.value();
        if (branch.table != nullptr) {
            status = branch.names.initialize(branch.table->count(), m_allocator);
            for (auto e = branch.table->begin(); status == 0 && !e.isEnd(); ++e)
                branch.names.add(e.entry()->hash(), *e.key(), e.value());
        }
        m_branchNames.add(it.entry()->hash(), *it.key(), &branch);
    }
    if (status != 0) {
        clear();
        return status;
    }
    m_built = true;
    return 0;
}

void YavURCDatabaseIndex::clear() {
    for (size_t i = 0; i < m_branchCount; ++i) m_branches[i].~Branch();
    if (m_branches != nullptr) YavAllocator::deallocate(m_allocator, m_branches);
    m_branches = nullptr;
    m_branchCount = 0;
    m_branchNames.release();
    m_built = false;
}

const YavURCDatabaseIndex::Branch* YavURCDatabaseIndex::findBranch(const YavString& branch) const {
    const Branch* found = m_branchNames.find(hashOf(branch), branch.getData(), branch.getLength());
    return found != nullptr && found->table != nullptr ? found : nullptr;
}
