#include "msg/core/YavProxyIFMsgStringList.h"

#include <climits>
#include <new>

#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgString.h"

YavProxyIFMsgStringList::YavProxyIFMsgStringList(int capacity, YavAllocator* allocator)
    : m_entries(m_inline),
      m_count(0),
      m_capacity(kInlineEntries),
      m_cursor(0),
      m_allocator(allocator) {
    if (capacity > kInlineEntries) grow(static_cast<unsigned>(capacity));
}

YavProxyIFMsgStringList::~YavProxyIFMsgStringList() {
    if (m_entries == m_inline) return;
    for (unsigned i = 0; i < m_capacity; ++i) m_entries[i].~YavStringRef();
    YavAllocator::deallocate(m_allocator, m_entries);
}

bool YavProxyIFMsgStringList::grow(unsigned capacity) {
    if (capacity <= m_capacity) return true;
    if (capacity > INT_MAX / sizeof(YavStringRef)) return false;
    void* block = YavAllocator::allocate(m_allocator, capacity * sizeof(YavStringRef));
    if (block == nullptr) return false;
    YavStringRef* entries = static_cast<YavStringRef*>(block);
    for (unsigned i = 0; i < capacity; ++i) {
        if (i < m_count) {
            new (&entries[i]) YavStringRef(m_entries[i]);
        } else {
            new (&entries[i]) YavStringRef();
        }
    }
    if (m_entries != m_inline) {
        for (unsigned i = 0; i < m_capacity; ++i) m_entries[i].~YavStringRef();
        YavAllocator::deallocate(m_allocator, m_entries);
    }
    m_entries = entries;
    m_capacity = capacity;
    return true;
}

void YavProxyIFMsgStringList::clearEntries() {
    for (unsigned i = 0; i < m_count; ++i) m_entries[i].clear();
    m_count = 0;
    m_cursor = 0;
}

yav_status_t YavProxyIFMsgStringList::add(const YavStringRef& text) {
    if (m_count == m_capacity && !grow(m_capacity + kGrowth)) return YAV_S_NO_MEMORY;
    m_entries[m_count++] = text;
    return 0;
}

YavStringRef* YavProxyIFMsgStringList::get() {
    if (m_cursor >= m_count) return nullptr;
    return &m_entries[m_cursor++];
}

unsigned YavProxyIFMsgStringList::restart(unsigned index) {
    unsigned previous = m_cursor;
    m_cursor = index < m_count ? index : m_count;
    return previous;
}

int YavProxyIFMsgStringList::marshal(unsigned char* buffer, int size) const {
    int64_t total = 4;
    for (unsigned i = 0; i < m_count; ++i) {
        total += YavProxyIFMsgString::encodedSize(m_entries[i]);
        if (total > INT_MAX) return -1;
    }
    const int length = static_cast<int>(total);
    if (size == 0) return length;
    checkBuffer(buffer, 4, size);
    writeU32(buffer, m_count);
    int64_t written = 4;
    for (unsigned i = 0; i < m_count; ++i) {
        const int64_t next = written + YavProxyIFMsgString::encodedSize(m_entries[i]);
        YAV_MSG_ASSERT(next <= size, "length <= size");
        YavProxyIFMsgString::write(buffer + written, m_entries[i]);
        written = next;
    }
    return length;
}

int YavProxyIFMsgStringList::unmarshal(const unsigned char* buffer, int size) {
    clearEntries();
    if (size < 4) return -1;
    const uint32_t count = readU32(buffer);
    // Each string takes at least 4 bytes: a count the bytes cannot hold is
    // refused before any room is allocated for it.
    if (count > static_cast<uint32_t>(size - 4) / 4) return -1;
    if (!grow(count)) return -1;
    int offset = 4;
    for (uint32_t i = 0; i < count; ++i) {
        int used = YavProxyIFMsgString::read(buffer + offset, size - offset, &m_entries[i]);
        if (used < 0) {
            clearEntries();
            return -1;
        }
        offset += used;
        m_count = i + 1;
    }
    return offset;
}

yav_status_t YavProxyIFMsgStringList::createString(YavString* out) const {
    out->clear();
    for (unsigned i = 0; i < m_count; ++i) {
        if (!out->append("[", 1) || !YavProxyIFMsgInt::appendDecimal(out, static_cast<int>(i)) ||
            !out->append("] ", 2) || !YavProxyIFMsgString::appendTrace(out, m_entries[i]) ||
            !out->append(" ", 1)) {
            return YAV_S_NO_MEMORY;
        }
    }
    return 0;
}
