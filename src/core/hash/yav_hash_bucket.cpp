#include "core/hash/yav_hash_bucket.h"

uint32_t yav_hash_bucket(uint32_t h, uint32_t buckets) {
    if (buckets == 0) return 0;
    return yav_hash_fold(h, buckets) % buckets;
}
