#include "core/hash/yav_hash_bucket.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Expected buckets worked out by hand from h = 0x12345678 (bytes 12 34 56 78):
//   < 256:    h ^ (0x12 ^ 0x34 ^ 0x56 = 0x70) = 0x12345608; mod 255 is the byte
//             sum 0x12+0x34+0x56+0x08 = 164; mod 5 = 305419784 mod 5 = 4;
//   < 65536:  h ^ 0x1234 = 0x1234444C; mod 256 = 0x4C; mod 65535 = 0x1234+0x444C;
//   < 2^24:   h ^ (0x12 << 4) = 0x12345758; mod 65536 = 0x5758;
//             mod 2^24-1 = 0x12 + 0x345758;
//   >= 2^24:  unchanged, mod 2^24 = 0x345678.
TEST(YavHashBucketTest, FoldsByBucketCountClassThenTakesTheRemainder) {
    const struct {
        uint32_t hash, buckets, bucket;
    } cases[] = {
        {0x12345678, 0, 0},
        {0x12345678, 1, 0},
        {0x12345678, 5, 4},
        {0x12345678, 255, 164},
        {0x12345678, 256, 0x4C},
        {0x12345678, 65535, 0x1234 + 0x444C},
        {0x12345678, 65536, 0x5758},
        {0x12345678, 16777215, 0x12 + 0x345758},
        {0x12345678, 16777216, 0x345678},
        {0x12345678, 0xFFFFFFFF, 0x12345678},
        {0xFFFFFFFF, 255, 0},     // folds to 0xFFFFFF00, byte sum 3 * 255
        {0xABCD0000, 256, 0xCD},  // 0xABCDABCD: the high half lands in the low bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(yav_hash_bucket(c.hash, c.buckets), c.bucket)
            << std::hex << c.hash << " in " << std::dec << c.buckets;
    }
}

// The tables take the remainder with YavFastRemainder: it must agree with
// the division for every divisor and hash, the extremes included.
TEST(YavHashBucketTest, FastRemainderAgreesWithTheDivision) {
    uint32_t h = 88172645u;
    for (uint32_t d : {1u, 2u, 3u, 7u, 17u, 255u, 256u, 10007u, 65535u, 65536u, 16777215u,
                       0x7FFFFFFFu, 0x80000000u, 0x80000001u, 0xFFFFFFFFu}) {
        YavFastRemainder remainder(d);
        for (uint32_t edge : {0u, 1u, d - 1, d, d + 1, 0x80000000u, 0xFFFFFFFFu}) {
            ASSERT_EQ(remainder.of(edge), edge % d) << edge << " % " << d;
        }
        for (int i = 0; i < 2000; ++i) {
            h ^= h << 13;  // xorshift: varied, reproducible hashes
            h ^= h >> 17;
            h ^= h << 5;
            ASSERT_EQ(remainder.of(h), h % d) << h << " % " << d;
        }
    }
    EXPECT_EQ(YavFastRemainder(0).of(12345), 0u);
}

}  // namespace
