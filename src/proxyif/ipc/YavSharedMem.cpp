#include "proxyif/ipc/YavSharedMem.h"

#include <cstring>

#include "core/msg/yav_status.h"

YavSharedMem::~YavSharedMem() = default;

bool YavSharedMem::inBounds(long long offset, long long len) const {
    if (m_base == nullptr || offset < 0 || len < 0) return false;
    // Both operands fit in 32 bits, so the 64-bit sum cannot wrap.
    return offset + len <= static_cast<long long>(m_size);
}

yav_status_t YavSharedMem::write(int offset, unsigned len, const void* src) {
    if (!inBounds(offset, len)) return YAV_S_INVALID_PARAMETER;
    if (len == 0) return 0;
    if (src == nullptr) return YAV_S_INVALID_PARAMETER;
    memcpy(static_cast<unsigned char*>(m_base) + offset, src, len);
    return 0;
}

yav_status_t YavSharedMem::read(int offset, int len, void* dst) {
    if (!inBounds(offset, len)) return YAV_S_INVALID_PARAMETER;
    if (len == 0) return 0;
    if (dst == nullptr) return YAV_S_INVALID_PARAMETER;
    memcpy(dst, static_cast<const unsigned char*>(m_base) + offset, static_cast<size_t>(len));
    return 0;
}

yav_status_t YavSharedMem::read(int offset, int len, void** out) {
    if (out == nullptr || !inBounds(offset, len)) return YAV_S_INVALID_PARAMETER;
    *out = static_cast<unsigned char*>(m_base) + offset;
    return 0;
}
