#include "core/buffers/YavBufferCursor.h"

#include <cstring>

#include "core/system/yav_assert.h"

namespace {

const unsigned char kNothing[1] = {0};

}  // namespace

YavBufferCursor::YavBufferCursor() { set(kNothing, 0); }

YavBufferCursor::YavBufferCursor(const void* data, int len) { set(data, len); }

YavBufferCursor::YavBufferCursor(YavBuffer& buffer) {
    unsigned char* writable = buffer.getWritableData();
    if (writable != nullptr) {
        setWritable(writable, buffer.getLen());
    } else {
        set(buffer.getData(), buffer.getLen());
    }
}

YavBufferCursor::YavBufferCursor(const YavBuffer& buffer) {
    set(buffer.getData(), buffer.getLen());
}

void YavBufferCursor::set(const void* data, int len) {
    YAV_ASSERT(len >= 0 && (data != nullptr || len == 0));
    m_start = data != nullptr ? static_cast<const unsigned char*>(data) : kNothing;
    m_current = m_start;
    m_remaining = len;
    m_writable = false;
    mark();
}

void YavBufferCursor::setWritable(void* data, int len) {
    set(data, len);
    m_writable = data != nullptr;
}

void YavBufferCursor::advance(int n) {
    YAV_ASSERT(n >= 0);
    m_remaining -= n;
    YAV_ASSERT(m_remaining >= 0);
    m_current += n;
}

bool YavBufferCursor::skip(int n) {
    if (n < 0 || n > m_remaining) return false;
    advance(n);
    return true;
}

bool YavBufferCursor::startsWith(const void* bytes, int n) const {
    if (n < 0 || n > m_remaining) return false;
    return n == 0 || memcmp(m_current, bytes, static_cast<size_t>(n)) == 0;
}

int YavBufferCursor::find(unsigned char c) const {
    if (m_remaining == 0) return -1;
    const void* hit = memchr(m_current, c, static_cast<size_t>(m_remaining));
    return hit != nullptr ? static_cast<int>(static_cast<const unsigned char*>(hit) - m_current)
                          : -1;
}

int YavBufferCursor::scanRun(const uint32_t* table) const {
    // Four bytes per bound check: header lines are long runs.
    const unsigned char* p = m_current;
    const int remaining = m_remaining;
    int n = 0;
    while (n + 4 <= remaining) {
        if (table[p[n]] != 0) return n;
        if (table[p[n + 1]] != 0) return n + 1;
        if (table[p[n + 2]] != 0) return n + 2;
        if (table[p[n + 3]] != 0) return n + 3;
        n += 4;
    }
    while (n < remaining && table[p[n]] == 0) ++n;
    return n;
}
