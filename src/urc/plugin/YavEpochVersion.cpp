#include "urc/plugin/YavEpochVersion.h"

#include "core/msg/yav_status.h"
#include "core/sundry/yav_printf.h"
#include "core/system/yav_assert.h"

void YavEpochVersion::set(const unsigned char* bytes) {
    YAV_ASSERT(bytes != nullptr);
    memcpy(m_bytes, bytes, sizeof m_bytes);
}

void YavEpochVersion::get(unsigned char* bytes) const {
    YAV_ASSERT(bytes != nullptr);
    memcpy(bytes, m_bytes, sizeof m_bytes);
}

int32_t YavEpochVersion::getCounter() const {
    int32_t counter;
    memcpy(&counter, m_bytes + kEpochSize, sizeof counter);
    return counter;
}

bool YavEpochVersion::equals(const YavEpochVersion& other) const {
    return getCounter() == other.getCounter() && memcmp(m_bytes, other.m_bytes, kEpochSize) == 0;
}

yav_status_t YavEpochVersion::get(YavString& text) const {
    uint32_t time;
    uint16_t mid;
    uint16_t high;
    memcpy(&time, m_bytes, sizeof time);
    memcpy(&mid, m_bytes + 4, sizeof mid);
    memcpy(&high, m_bytes + 6, sizeof high);
    const unsigned char* b = m_bytes + 8;
    // 36 characters of identifier, ':' and at most 11 of the counter.
    char buffer[64];
    int n =
        yav_snprintf(buffer, sizeof buffer, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x:%08d",
                     time, static_cast<unsigned>(mid), static_cast<unsigned>(high), b[0], b[1],
                     b[2], b[3], b[4], b[5], b[6], b[7], static_cast<int>(getCounter()));
    YAV_ASSERT(n > 0 && n < static_cast<int>(sizeof buffer));
    if (!text.set(buffer, n)) return YAV_S_NO_MEMORY;
    return 0;
}

void YavEpochVersion::newEpoch() {
    yav_assert_fail(__FILE__, __LINE__, "newEpoch is not available in the plug-in");
}
