// YavURCPrefixHashes: the hashes of every prefix of an object name, from
// one pass over it.  The cache walks a name and its ancestors, which are
// all prefixes of the name; with the default string hasher (a running value
// over the units) the hash of a prefix is the running value at its end, so
// the walk need not hash the same text again for every ancestor.
//
// The hashes are those of yav_string_hasher; for a name with another hasher
// (or a prefix longer than kPrefixes - 1 units) hashOf hashes the prefix
// itself, so it always answers what the prefix's own hasher gives.
//
// Memory: holds no pointer; kPrefixes hashes inline (meant for the stack).
// Threads: one thread at a time.  Copyable (plain values).
#ifndef YAV_URC_PLUGIN_YAVURCPREFIXHASHES_H
#define YAV_URC_PLUGIN_YAVURCPREFIXHASHES_H

#include <cstdint>

#include "core/buffers/YavString.h"
#include "core/sundry/yav_base.h"

class YavURCPrefixHashes {
  public:
    // Prefix lengths 0 .. kPrefixes - 1 are kept: the names that fit a
    // string's inline buffer.
    static constexpr int kPrefixes = 256;

    // Takes the hashes of the prefixes of name.
    explicit YavURCPrefixHashes(const YavString& name);

    // The hash of prefix by its hasher.
    // REQUIRES: prefix holds a prefix of the name given to the constructor,
    // with the same hasher (the name itself, shortened, say).
    uint32_t hashOf(const YavString& prefix) const;

  private:
    int m_known;  // the hashes of the prefixes of lengths 0 .. m_known - 1 are kept
    uint32_t m_hashes[kPrefixes];
};

#endif  // YAV_URC_PLUGIN_YAVURCPREFIXHASHES_H
