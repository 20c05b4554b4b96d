#include "urc/plugin/YavEpochVersion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

TEST(YavEpochVersionTest, PrintsIdentifierFieldsAndCounter) {
    const struct {
        uint32_t time;
        uint16_t mid, high;
        int32_t counter;
        const char* expected;
    } cases[] = {
        {0x12345678u, 0x9abc, 0xdef0, 42, "12345678-9abc-def0-89ab-cdef01234567:00000042"},
        {0x1u, 0xffff, 0x00ff, -1, "00000001-ffff-00ff-89ab-cdef01234567:-0000001"},
        {0x0u, 0x0, 0x0, INT32_MIN, "00000000-0000-0000-89ab-cdef01234567:-2147483648"},
    };
    const unsigned char tail[8] = {0x89, 0xab, 0xcd, 0xef, 0x01, 0x23, 0x45, 0x67};
    for (const auto& c : cases) {
        // Fields in the host's byte order, as the server writes them.
        unsigned char bytes[YavEpochVersion::kSize];
        memcpy(bytes, &c.time, 4);
        memcpy(bytes + 4, &c.mid, 2);
        memcpy(bytes + 6, &c.high, 2);
        memcpy(bytes + 8, tail, 8);
        memcpy(bytes + 16, &c.counter, 4);
        YavEpochVersion v;
        v.set(bytes);
        YavString text;
        ASSERT_EQ(0u, v.get(text));
        EXPECT_EQ(c.expected, std::string(text.getData()));
        EXPECT_EQ(c.counter, v.getCounter());
    }
    YavString zero;
    ASSERT_EQ(0u, YavEpochVersion().get(zero));
    EXPECT_STREQ("00000000-0000-0000-0000-000000000000:00000000", zero.getData());
}

TEST(YavEpochVersionTest, CopiesAndComparesAllTwentyBytes) {
    unsigned char base[YavEpochVersion::kSize + 4];
    for (unsigned i = 0; i < sizeof base; ++i) base[i] = static_cast<unsigned char>(i * 7 + 1);
    YavEpochVersion a, same;
    a.set(base);
    same.set(base);
    EXPECT_TRUE(a == same);
    unsigned char out[YavEpochVersion::kSize + 4] = {0};
    a.get(out);
    EXPECT_EQ(0, memcmp(base, out, YavEpochVersion::kSize));
    EXPECT_EQ(0, out[YavEpochVersion::kSize]);  // nothing written past 20 bytes
    for (int i = 0; i < YavEpochVersion::kSize; ++i) {
        unsigned char changed[YavEpochVersion::kSize];
        memcpy(changed, base, sizeof changed);
        changed[i] ^= 0x01;
        YavEpochVersion b;
        b.set(changed);
        EXPECT_TRUE(a != b) << "byte " << i;
    }
}

TEST(YavEpochVersionDeathTest, NewEpochStopsThePlugin) {
    YavEpochVersion v;
    EXPECT_DEATH(v.newEpoch(), "Assertion failed");
}

}  // namespace
