#include "core/hash/YavHashers.h"

#include "core/ulq/ulq.h"

// constexpr makes every instance constant-initialised: it exists before any
// dynamic initialiser of the library runs.
constexpr YavStringHasher yav_string_hasher{};
constexpr YavICaseStringHasher yav_icase_string_hasher{};
constexpr YavLCPICaseStringHasher yav_lcp_icase_string_hasher{};
constexpr YavWStringHasher yav_wstring_hasher{};
constexpr YavSysWStringHasher yav_sys_wstring_hasher{};
constexpr YavBinaryHasher yav_binary_hasher{};

namespace {

const uint32_t kHashSeed = 5381;

inline uint32_t mix(uint32_t h, uint32_t unit) { return (h * 33) ^ unit; }

// The case-insensitive rule over the code set cs.
uint32_t icaseHash(ulq_cs_t cs, const char* s, size_t n) {
    uint32_t h = kHashSeed;
    size_t i = 0;
    while (i < n) {
        unsigned char byte = static_cast<unsigned char>(s[i]);
        if (byte < 0x80) {
            if (byte >= 'A' && byte <= 'Z') byte = static_cast<unsigned char>(byte - 'A' + 'a');
            h = mix(h, byte);
            ++i;
            continue;
        }
        wchar_t wc = 0;
        int length = ulq_mbtowc(cs, &wc, s + i, n - i);
        if (length <= 0) break;
        wc = ulq_towlower(ulq_current_loc(), wc);
        h = mix(h, static_cast<uint32_t>(wc) & 0xFFFF);
        i += static_cast<size_t>(length);
    }
    return h;
}

}  // namespace

uint32_t YavStringHasher::hash(const char* s, size_t n) const {
    uint32_t h = kHashSeed;
    for (size_t i = 0; i < n; ++i) {
        // Signed widening: the sign of char units is part of the hash.
        h = mix(h, static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(s[i]))));
    }
    return h;
}

const YavStringHasher& YavStringHasher::instance() { return yav_string_hasher; }

uint32_t YavICaseStringHasher::hash(const char* s, size_t n) const {
    if (n == 0) return kHashSeed;
    return icaseHash(ulq_utf8_cs(), s, n);
}

const YavICaseStringHasher& YavICaseStringHasher::instance() { return yav_icase_string_hasher; }

uint32_t YavLCPICaseStringHasher::hash(const char* s, size_t n) const {
    if (n == 0) return kHashSeed;
    return icaseHash(ulq_local_cs(), s, n);
}

const YavLCPICaseStringHasher& YavLCPICaseStringHasher::instance() {
    return yav_lcp_icase_string_hasher;
}

uint32_t YavWStringHasher::hash(const unsigned short* s, size_t n) const {
    uint32_t h = kHashSeed;
    for (size_t i = 0; i < n; ++i) h = mix(h, s[i]);
    return h;
}

const YavWStringHasher& YavWStringHasher::instance() { return yav_wstring_hasher; }

uint32_t YavSysWStringHasher::hash(const wchar_t* s, size_t n) const {
    uint32_t h = kHashSeed;
    for (size_t i = 0; i < n; ++i) h = mix(h, static_cast<uint32_t>(s[i]));
    return h;
}

const YavSysWStringHasher& YavSysWStringHasher::instance() { return yav_sys_wstring_hasher; }

uint32_t YavBinaryHasher::hash(const unsigned char* s, size_t n) const {
    uint32_t h = kHashSeed;
    for (size_t i = 0; i < n; ++i) h = mix(h, s[i]);
    return h;
}

const YavBinaryHasher& YavBinaryHasher::instance() { return yav_binary_hasher; }
