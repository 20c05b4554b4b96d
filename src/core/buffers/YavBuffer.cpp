#include "core/buffers/YavBuffer.h"

#include <cstring>

#include "core/hash/YavComparators.h"
#include "core/hash/YavHashers.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_assert.h"

namespace {

const unsigned char kEmpty[1] = {0};

}  // namespace

YavBuffer::YavBuffer(YavAllocator* allocator)
    : m_data(kEmpty),
      m_len(0),
      m_block(nullptr),
      m_capacity(0),
      m_allocator(allocator),
      m_writable(false) {}

YavBuffer::~YavBuffer() { release(); }

void YavBuffer::release() {
    YavAllocator::deallocate(m_allocator, m_block);
    m_block = nullptr;
    m_capacity = 0;
}

yav_status_t YavBuffer::set(const void* data, int len) {
    if (len < 0) return YAV_S_INVALID_VALUE;
    YAV_ASSERT(data != nullptr || len == 0);
    if (len == 0) {
        clear();
        return 0;
    }
    if (m_block != nullptr && len <= m_capacity) {
        // memmove: the source may lie in the block itself.
        memmove(m_block, data, static_cast<size_t>(len));
    } else {
        // A new block first: the source may lie in the old one.
        unsigned char* block = static_cast<unsigned char*>(
            YavAllocator::allocate(m_allocator, static_cast<size_t>(len)));
        if (block == nullptr) return YAV_S_NO_MEMORY;
        memcpy(block, data, static_cast<size_t>(len));
        release();
        m_block = block;
        m_capacity = len;
    }
    m_data = m_block;
    m_len = len;
    m_writable = true;
    return 0;
}

yav_status_t YavBuffer::set(const char* text) {
    if (text == nullptr) return set(nullptr, 0);
    size_t len = strlen(text);
    if (len > static_cast<size_t>(YAV_STRING_MAX_LENGTH)) return YAV_S_INVALID_VALUE;
    return set(text, static_cast<int>(len));
}

yav_status_t YavBuffer::set(const YavBuffer& other) {
    if (&other == this) return 0;
    return set(other.m_data, other.m_len);
}

yav_status_t YavBuffer::setUnits(const void* data, int count, size_t unitSize) {
    uint64_t bytes = static_cast<uint64_t>(count) * unitSize;
    if (bytes > static_cast<uint64_t>(YAV_STRING_MAX_LENGTH)) return YAV_S_INVALID_VALUE;
    return set(data, static_cast<int>(bytes));
}

yav_status_t YavBuffer::append(const void* data, int len) {
    if (len < 0) return YAV_S_INVALID_VALUE;
    YAV_ASSERT(data != nullptr || len == 0);
    if (len > YAV_STRING_MAX_LENGTH - m_len) return YAV_S_INVALID_VALUE;
    int need = m_len + len;
    if (!isOwned() || need > m_capacity) {
        // Doubling keeps a run of appends linear; the source may lie in the
        // old storage, so it is copied before that is released.
        int64_t capacity = 2 * static_cast<int64_t>(m_capacity);
        if (capacity < need) capacity = need;
        if (capacity > YAV_STRING_MAX_LENGTH) capacity = need;
        unsigned char* block = static_cast<unsigned char*>(
            YavAllocator::allocate(m_allocator, static_cast<size_t>(capacity)));
        if (block == nullptr) return YAV_S_NO_MEMORY;
        if (m_len > 0) memcpy(block, m_data, static_cast<size_t>(m_len));
        if (len > 0) memcpy(block + m_len, data, static_cast<size_t>(len));
        release();
        m_block = block;
        m_capacity = static_cast<int>(capacity);
    } else if (len > 0) {
        memmove(m_block + m_len, data, static_cast<size_t>(len));
    }
    m_data = m_block != nullptr ? m_block : kEmpty;
    m_len = need;
    m_writable = m_block != nullptr;
    return 0;
}

void YavBuffer::refer(const void* data, int len) {
    YAV_ASSERT(len >= 0 && (data != nullptr || len == 0));
    m_data = len > 0 ? static_cast<const unsigned char*>(data) : kEmpty;
    m_len = len;
    m_writable = false;
}

void YavBuffer::referWritable(void* data, int len) {
    refer(data, len);
    m_writable = len > 0;
}

yav_status_t YavBuffer::takeOwnership() {
    if (isOwned() || m_len == 0) return 0;
    return set(m_data, m_len);
}

void YavBuffer::clear() {
    m_data = m_block != nullptr ? m_block : kEmpty;
    m_len = 0;
    m_writable = m_block != nullptr;
}

unsigned char* YavBuffer::getWritableData() {
    if (!m_writable) return nullptr;
    // Writable data is either the owned block or bytes handed over as
    // writable by referWritable.
    return const_cast<unsigned char*>(m_data);
}

int YavBuffer::compare(const YavBuffer& other) const {
    int common = m_len < other.m_len ? m_len : other.m_len;
    int c = yav_memcmp.compare(m_data, other.m_data, static_cast<size_t>(common));
    return yav_order_result(c, m_len, other.m_len);
}

bool YavBuffer::equals(const YavBuffer& other) const {
    return m_len == other.m_len && compare(other) == 0;
}

uint32_t YavBuffer::hash() const {
    return yav_binary_hasher.hash(m_data, static_cast<size_t>(m_len));
}
