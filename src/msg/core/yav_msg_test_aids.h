// Test aids for message values: heap blocks of exactly the size under test
// (so that AddressSanitizer reports any read past them) and marshalling into
// fresh blocks.  Test code only.
#ifndef YAV_MSG_CORE_YAV_MSG_TEST_AIDS_H
#define YAV_MSG_CORE_YAV_MSG_TEST_AIDS_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "msg/core/YavProxyIFMsgData.h"

// A malloc'ed block of exactly n bytes (at least one byte is allocated so
// that a zero-sized block still has an address).  malloc's blocks are
// aligned for any integer.
class YavExactBlock {
  public:
    YavExactBlock(const void* data, size_t n) : m_size(n) {
        m_data = static_cast<unsigned char*>(malloc(n == 0 ? 1 : n));
        if (n > 0) memcpy(m_data, data, n);
    }
    explicit YavExactBlock(const std::vector<unsigned char>& bytes)
        : YavExactBlock(bytes.data(), bytes.size()) {}
    ~YavExactBlock() { free(m_data); }
    YAV_DISALLOW_COPY(YavExactBlock);

    unsigned char* data() { return m_data; }
    int size() const { return static_cast<int>(m_size); }

  private:
    unsigned char* m_data;
    size_t m_size;
};

// Measures value with marshal(0, 0), marshals it into an exactly sized block
// whose bytes start as fill (so that unwritten padding shows), and returns
// the block's bytes.  *written receives marshal's result.
inline std::vector<unsigned char> yav_marshal_bytes(const YavProxyIFMsgData& value, int* written,
                                                    unsigned char fill = 0xEE) {
    int measured = value.marshal(nullptr, 0);
    std::vector<unsigned char> init(static_cast<size_t>(measured > 0 ? measured : 0), fill);
    YavExactBlock block(init);
    *written = value.marshal(block.data(), block.size());
    return std::vector<unsigned char>(block.data(), block.data() + block.size());
}

// Bytes of native 32-bit words followed by raw bytes, for hand-made input.
inline void yav_put_u32(std::vector<unsigned char>* bytes, uint32_t v) {
    unsigned char raw[4];
    memcpy(raw, &v, 4);
    bytes->insert(bytes->end(), raw, raw + 4);
}
inline void yav_put_bytes(std::vector<unsigned char>* bytes, const char* s, size_t n) {
    bytes->insert(bytes->end(), s, s + n);
}

// A string as marshal writes it: length + 1, the text, a zero byte, then
// fill up to the next multiple of 4.
inline void yav_put_string(std::vector<unsigned char>* bytes, const std::string& text,
                           unsigned char fill = 0xEE) {
    yav_put_u32(bytes, static_cast<uint32_t>(text.size()) + 1);
    yav_put_bytes(bytes, text.c_str(), text.size() + 1);
    while (bytes->size() % 4 != 0) bytes->push_back(fill);
}

// Checks that value measures and marshals to exactly expected (padding that
// marshal leaves unwritten shows as 0xEE), then reads expected back into
// *back from an exact block, which it returns: what back read refers into it.
inline std::unique_ptr<YavExactBlock> yav_expect_round_trip(
    const YavProxyIFMsgData& value, const std::vector<unsigned char>& expected,
    YavProxyIFMsgData* back) {
    const int size = static_cast<int>(expected.size());
    EXPECT_EQ(size, value.marshal(nullptr, 0));
    int written = 0;
    EXPECT_EQ(expected, yav_marshal_bytes(value, &written));
    EXPECT_EQ(size, written);
    std::unique_ptr<YavExactBlock> block(new YavExactBlock(expected));
    EXPECT_EQ(size, back->unmarshal(block->data(), block->size()));
    return block;
}

#endif  // YAV_MSG_CORE_YAV_MSG_TEST_AIDS_H
