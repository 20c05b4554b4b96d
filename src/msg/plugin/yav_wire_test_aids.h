// Hand-written wire encoders for tests of questions and answers: values
// (32-bit words, strings, byte buffers), element chains and a heap segment
// of exactly a chain's size with an iterator over it.  Expected bytes of
// golden tests and malformed input never come from the code under test, so
// these write every byte themselves.  Test code only; one thread at a time;
// the classes own their bytes and are copyable.
#ifndef YAV_MSG_PLUGIN_YAV_WIRE_TEST_AIDS_H
#define YAV_MSG_PLUGIN_YAV_WIRE_TEST_AIDS_H

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

// The bytes of values in the wire encoding.
class YavWireValue {
  public:
    YavWireValue& u32(uint32_t v) { return raw(&v, 4); }
    YavWireValue& raw(const void* data, size_t n) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        m_bytes.insert(m_bytes.end(), p, p + n);
        return *this;
    }
    // Zero bytes up to the next multiple of 4.
    YavWireValue& pad() {
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
        return *this;
    }
    // A string: length + 1, the characters, a zero byte, padding.
    YavWireValue& str(const std::string& s) {
        return u32(static_cast<uint32_t>(s.size() + 1)).raw(s.data(), s.size()).raw("", 1).pad();
    }
    // A string whose counted bytes do not end in a zero byte.
    YavWireValue& unterminated(const std::string& s) {
        return u32(static_cast<uint32_t>(s.size())).raw(s.data(), s.size()).pad();
    }
    // A byte buffer: length, bytes, padding.
    YavWireValue& buf(const void* data, size_t n) {
        return u32(static_cast<uint32_t>(n)).raw(data, n).pad();
    }
    const std::vector<unsigned char>& bytes() const { return m_bytes; }

  private:
    std::vector<unsigned char> m_bytes;
};

// An element chain from offset 0: header (data length, offset of the next
// header or 0xFFFFFFFF), data, zero padding.  Self is the most derived
// chain class, so that chains with extra element writers keep chaining
// after element().
template <class Self>
class YavWireChainOf {
  public:
    Self& element(const YavWireValue& v) {
        return element(v.bytes(), static_cast<uint32_t>(v.bytes().size()));
    }
    // An element whose header states statedLength (which may lie).
    Self& element(const std::vector<unsigned char>& data, uint32_t statedLength) {
        const uint32_t here = static_cast<uint32_t>(m_bytes.size());
        if (m_hasLast) memcpy(&m_bytes[m_last + 4], &here, 4);
        m_last = here;
        m_hasLast = true;
        YavWireValue header;
        header.u32(statedLength).u32(0xFFFFFFFFu).raw(data.data(), data.size()).pad();
        m_bytes.insert(m_bytes.end(), header.bytes().begin(), header.bytes().end());
        return static_cast<Self&>(*this);
    }
    const std::vector<unsigned char>& bytes() const { return m_bytes; }

  private:
    std::vector<unsigned char> m_bytes;
    uint32_t m_last = 0;
    bool m_hasLast = false;
};

class YavWireChain : public YavWireChainOf<YavWireChain> {};

// The bytes in a heap segment of exactly their size (AddressSanitizer sees
// any read past them), with an iterator over all of it.  Do not copy it
// (the segment frees its block; the iterator points into it).
class YavWireAnswer {
  public:
    explicit YavWireAnswer(const std::vector<unsigned char>& bytes)
        : m_seg(static_cast<unsigned>(bytes.size())) {
        if (!bytes.empty()) memcpy(m_seg.bytes(), bytes.data(), bytes.size());
        m_status = m_it.initialize(m_seg, 0, static_cast<unsigned>(bytes.size()));
    }
    yav_status_t status() const { return m_status; }
    YavSharedMemIterator& iterator() { return m_it; }

  private:
    YavHeapSharedMem m_seg;
    YavSharedMemIterator m_it;
    yav_status_t m_status;
};

#endif  // YAV_MSG_PLUGIN_YAV_WIRE_TEST_AIDS_H
