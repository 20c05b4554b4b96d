// Bucket selection of the hash tables: YavHashTable folds the high bits of
// a 32-bit hash into the bits that its bucket count uses, then takes the
// remainder; YavMultiHashTable takes the plain remainder.
// Stateless functions, an immutable helper and two stateless rules; any
// thread may use them.
#ifndef YAV_CORE_HASH_YAV_HASH_BUCKET_H
#define YAV_CORE_HASH_YAV_HASH_BUCKET_H

#include <cstdint>

#include "core/sundry/yav_base.h"

// The fold of h for a table of `buckets` buckets:
//   buckets < 256:       h ^ (byte 3 ^ byte 2 ^ byte 1 of h, each moved to bits 0-7);
//   buckets < 65536:     h ^ (the high 16 bits of h, moved down);
//   buckets < 16777216:  h ^ ((h >> 24) << 4);
//   otherwise            h.
inline uint32_t yav_hash_fold(uint32_t h, uint32_t buckets) {
    if (buckets < 0x100U) return h ^ ((h >> 24) & 0xffU) ^ ((h >> 16) & 0xffU) ^ ((h >> 8) & 0xffU);
    if (buckets < 0x10000U) return h ^ ((h >> 16) & 0xffffU);
    if (buckets < 0x1000000U) return h ^ ((h >> 24) << 4);
    return h;
}

// The bucket, in [0, buckets), of a key whose hash is h in a YavHashTable:
// yav_hash_fold(h, buckets) % buckets.  0 when buckets is 0.
YAV_EXPORT uint32_t yav_hash_bucket(uint32_t h, uint32_t buckets);

// h % d for a divisor fixed in advance, without a division (a multiply by
// a precomputed 64-bit reciprocal, then a multiply by d keeping the high
// half; exact for every 32-bit h and d).  The tables use it on every
// look-up.  A divisor of 0 yields 0.  Copyable.
class YavFastRemainder {
  public:
    explicit YavFastRemainder(uint32_t d = 0)
        : m_reciprocal(d != 0 ? UINT64_MAX / d + 1 : 0), m_divisor(d) {}
    uint32_t of(uint32_t h) const {
        uint64_t fraction = m_reciprocal * h;
        return static_cast<uint32_t>((static_cast<unsigned __int128>(fraction) * m_divisor) >> 64);
    }
    uint32_t divisor() const { return m_divisor; }

  private:
    uint64_t m_reciprocal;  // ceil(2^64 / d), wrapping to 0 for d = 1
    uint32_t m_divisor;
};

// The bucket rules of the hash tables, as YavHashChains takes them:
// bucket(h, buckets) is the bucket, in [0, buckets.divisor()), of a key
// whose hash is h.  REQUIRES: buckets.divisor() > 0.
//   YavFoldedBuckets: yav_hash_bucket(h, count) (YavHashTable);
//   YavPlainBuckets:  h % count, no folding (YavMultiHashTable).
struct YavFoldedBuckets {
    static uint32_t bucket(uint32_t h, const YavFastRemainder& buckets) {
        return buckets.of(yav_hash_fold(h, buckets.divisor()));
    }
};
struct YavPlainBuckets {
    static uint32_t bucket(uint32_t h, const YavFastRemainder& buckets) { return buckets.of(h); }
};

#endif  // YAV_CORE_HASH_YAV_HASH_BUCKET_H
