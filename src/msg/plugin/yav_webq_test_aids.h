// Test aids for the web request and response questions: a request region
// over an exactly sized heap block (YavHeapSharedMem, so AddressSanitizer
// sees any access past it), the elements written into it, and hand encoders
// of the wire values for expected layouts.  Test code only; single-threaded.
#ifndef YAV_MSG_PLUGIN_YAV_WEBQ_TEST_AIDS_H
#define YAV_MSG_PLUGIN_YAV_WEBQ_TEST_AIDS_H

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "msg/core/yav_msg_test_aids.h"
#include "msg/plugin/yav_wire_test_aids.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "proxyif/ipc/YavSharedMemIterator.h"

typedef std::vector<unsigned char> YavTestBytes;

// A region of exactly `size` bytes and an allocator over all of it.
struct YavTestRegion {
    YavHeapSharedMem segment;
    YavSharedMemAllocator allocator;
    yav_status_t initStatus;

    explicit YavTestRegion(unsigned size) : segment(size) {
        initStatus = allocator.initialize(segment, 0, size);
    }

    // The data of every element written so far, in order.
    std::vector<YavTestBytes> elements() {
        std::vector<YavTestBytes> out;
        YavSharedMemIterator it;
        if (it.initialize(&allocator) != 0) return out;
        while (it.hasMoreElements()) {
            unsigned len = 0;
            void* data = nullptr;
            if (it.getNextElement(&len, &data) != 0) break;
            const unsigned char* p = static_cast<const unsigned char*>(data);
            out.emplace_back(p, p + len);
        }
        return out;
    }
};

// Hand encoders appending to b: a 32-bit word, a string (length + 1, the
// characters, a zero byte, zero padding) and a byte buffer (length, bytes,
// zero padding), the last two as YavWireValue writes them.
inline void yav_test_put_int(YavTestBytes* b, int32_t v) {
    yav_put_u32(b, static_cast<uint32_t>(v));
}
// The 32-bit words given, one after another.
inline YavTestBytes yav_test_ints(std::initializer_list<int32_t> values) {
    YavTestBytes b(values.size() * 4);
    unsigned char* at = b.data();
    for (int32_t v : values) {
        memcpy(at, &v, 4);
        at += 4;
    }
    return b;
}
inline void yav_test_put_string(YavTestBytes* b, const std::string& s) {
    const YavWireValue v = YavWireValue().str(s);
    b->insert(b->end(), v.bytes().begin(), v.bytes().end());
}
inline void yav_test_put_buffer(YavTestBytes* b, const std::string& s) {
    const YavWireValue v = YavWireValue().buf(s.data(), s.size());
    b->insert(b->end(), v.bytes().begin(), v.bytes().end());
}
inline YavTestBytes yav_test_raw(const std::string& s) { return YavTestBytes(s.begin(), s.end()); }

// Bytes a chain of elements with these data lengths takes in a region.
inline unsigned yav_test_chain_size(const std::vector<YavTestBytes>& elements) {
    unsigned total = 0;
    for (const YavTestBytes& e : elements) {
        const unsigned len = static_cast<unsigned>(e.size());
        total += YavSharedMemAllocator::kHeaderSize + len + YavSharedMemAllocator::pad(len);
    }
    return total;
}

// Writes the given elements into a region of exactly the size they need
// (hand-made input for readers).
struct YavTestChain {
    YavTestRegion region;
    yav_status_t status = 0;

    explicit YavTestChain(const std::vector<YavTestBytes>& elements)
        : region(yav_test_chain_size(elements)) {
        status = region.initStatus;
        for (const YavTestBytes& e : elements) {
            if (status != 0) return;
            void* data = nullptr;
            status = region.allocator.allocate(static_cast<unsigned>(e.size()), &data);
            if (status == 0 && !e.empty()) memcpy(data, e.data(), e.size());
        }
    }
};

#endif  // YAV_MSG_PLUGIN_YAV_WEBQ_TEST_AIDS_H
