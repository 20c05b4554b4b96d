#include "core/http/YavHTTPHdrNameRef.h"

YavHTTPHdrNameRef::YavHTTPHdrNameRef(const YavStringRef& name, YavAllocator* allocator)
    : YavStringRef(name) {
    setAllocator(allocator);
    setComparator(&yav_strcmp);
    setHasher(&yav_string_hasher);
    rehash();
}

YavHTTPHdrNameRef::YavHTTPHdrNameRef(const char* name, int length, YavAllocator* allocator)
    : YavStringRef(name, length, allocator) {
    rehash();
}

uint32_t YavHTTPHdrNameRef::hashOf(const char* s, int n) {
    uint32_t h = 5381;
    for (int i = 0; i < n; i += 4) {
        h = (h * 33u) ^ m_lower.map[static_cast<unsigned char>(s[i])];
    }
    return h;
}

void YavHTTPHdrNameRef::rehash() {
    m_hash = hashOf(getData(), getLength());
    m_hashValid = true;
}

uint32_t YavHTTPHdrNameRef::hash() const {
    if (m_hashValid) return m_hash;
    return hashOf(getData(), getLength());
}

int YavHTTPHdrNameRef::compare(const YavStringRef& other) const {
    const unsigned char* a = reinterpret_cast<const unsigned char*>(getData());
    const unsigned char* b = reinterpret_cast<const unsigned char*>(other.getData());
    int la = getLength();
    int lb = other.getLength();
    int n = la < lb ? la : lb;
    for (int i = 0; i < n; ++i) {
        int d = static_cast<int>(m_lower.map[a[i]]) - static_cast<int>(m_lower.map[b[i]]);
        if (d != 0) return d < 0 ? -1 : 1;
    }
    return la < lb ? -1 : (la > lb ? 1 : 0);
}
