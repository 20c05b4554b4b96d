#include "urc/plugin/YavURCPrefixHashes.h"

#include "core/hash/YavHashers.h"
#include "urc/plugin/YavURCDatabaseIndex.h"

YavURCPrefixHashes::YavURCPrefixHashes(const YavString& name) : m_known(0) {
    if (name.getHasher() != &yav_string_hasher) return;
    const char* s = name.getData();
    const int length = name.getLength();
    // yav_string_hasher's rule, step by step: start at 5381, then
    // h = h * 33 XOR the unit's signed value widened to 32 bits.
    uint32_t h = 5381;
    m_hashes[0] = h;
    m_known = 1;
    for (int i = 0; i < length && m_known < kPrefixes; ++i) {
        h = (h * 33) ^ static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(s[i])));
        m_hashes[m_known++] = h;
    }
}

uint32_t YavURCPrefixHashes::hashOf(const YavString& prefix) const {
    const int length = prefix.getLength();
    if (length < m_known) return m_hashes[length];
    return YavURCDatabaseIndex::hashOf(prefix);
}
