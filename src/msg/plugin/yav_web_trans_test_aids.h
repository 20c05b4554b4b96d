// Test aids of the web transaction answer tests: command elements written
// by hand (never with the code under test), a run of one answer against
// the recording views, and the look-up of message IDs for checking log
// lines.  Test code only; one thread at a time.
#ifndef YAV_MSG_PLUGIN_YAV_WEB_TRANS_TEST_AIDS_H
#define YAV_MSG_PLUGIN_YAV_WEB_TRANS_TEST_AIDS_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/msg/kr_msg.h"
#include "msg/plugin/YavWebTransAnswerUnmarshaller.h"
#include "plugin/core/yav_view_test_aids.h"
#include "proxyif/ipc/YavSharedMemIterator.h"
#include "proxyif/ipc/yav_ipc_test_aids.h"

// The bytes of one value in the wire encoding, written by hand.
class YavWtValue {
  public:
    YavWtValue& u32(uint32_t v) {
        unsigned char raw4[4];
        memcpy(raw4, &v, 4);
        m_bytes.insert(m_bytes.end(), raw4, raw4 + 4);
        return *this;
    }
    YavWtValue& raw(const void* data, size_t n) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        m_bytes.insert(m_bytes.end(), p, p + n);
        return *this;
    }
    // Zero bytes up to the next multiple of 4.
    YavWtValue& pad() {
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
        return *this;
    }
    // A string: length + 1, the characters, a zero byte, padding.
    YavWtValue& str(const std::string& s) {
        return u32(static_cast<uint32_t>(s.size() + 1)).raw(s.data(), s.size()).raw("", 1).pad();
    }
    // A string whose counted bytes do not end in a zero byte.
    YavWtValue& unterminated(const std::string& s) {
        return u32(static_cast<uint32_t>(s.size())).raw(s.data(), s.size()).pad();
    }
    // A byte buffer: length, bytes, padding.
    YavWtValue& buf(const void* data, size_t n) {
        return u32(static_cast<uint32_t>(n)).raw(data, n).pad();
    }
    const std::vector<unsigned char>& bytes() const { return m_bytes; }

  private:
    std::vector<unsigned char> m_bytes;
};

// An element chain starting at offset 0 of its segment: header (data
// length, offset of the next header or 0xFFFFFFFF), data, zero padding.
class YavWtChain {
  public:
    YavWtChain& element(const YavWtValue& v) {
        return element(v.bytes(), static_cast<uint32_t>(v.bytes().size()));
    }
    // An element whose header states statedLength (which may lie).
    YavWtChain& element(const std::vector<unsigned char>& data, uint32_t statedLength) {
        const uint32_t here = static_cast<uint32_t>(m_bytes.size());
        if (m_hasLast) memcpy(&m_bytes[m_last + 4], &here, 4);
        m_last = here;
        m_hasLast = true;
        YavWtValue header;
        header.u32(statedLength).u32(0xFFFFFFFFu);
        m_bytes.insert(m_bytes.end(), header.bytes().begin(), header.bytes().end());
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        while (m_bytes.size() % 4 != 0) m_bytes.push_back(0);
        return *this;
    }
    const std::vector<unsigned char>& bytes() const { return m_bytes; }

  private:
    std::vector<unsigned char> m_bytes;
    uint32_t m_last = 0;
    bool m_hasLast = false;
};

// A heap segment of exactly the given bytes (AddressSanitizer sees any read
// past them) with an iterator over all of it.
class YavWtAnswer {
  public:
    explicit YavWtAnswer(const std::vector<unsigned char>& bytes)
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

// One command element: the code and the value bytes that follow it.
inline YavWtValue yav_cmd(int code) { return YavWtValue().u32(static_cast<uint32_t>(code)); }
inline YavWtValue yav_cmd_str(int code, const std::string& s) { return yav_cmd(code).str(s); }
inline YavWtValue yav_cmd_nv(int code, const std::string& n, const std::string& v) {
    return yav_cmd(code).str(n).str(v);
}
inline YavWtValue yav_cmd_int(int code, int32_t v) {
    return yav_cmd(code).u32(static_cast<uint32_t>(v));
}
inline YavWtValue yav_cmd_buf(int code, const std::string& bytes) {
    return yav_cmd(code).buf(bytes.data(), bytes.size());
}
inline YavWtValue yav_cmd_list(int code, std::initializer_list<std::string> strings) {
    YavWtValue v = yav_cmd(code);
    v.u32(static_cast<uint32_t>(strings.size()));
    for (const std::string& s : strings) v.str(s);
    return v;
}

// An answer chain: the first element (response code, announced count) and
// one element per command.  announced < 0 announces the true count.
inline YavWtChain yav_answer(int rspCode, const std::vector<YavWtValue>& cmds, int announced = -1) {
    YavWtChain chain;
    const int count = announced < 0 ? static_cast<int>(cmds.size()) : announced;
    chain.element(YavWtValue().u32(static_cast<uint32_t>(rspCode)).u32(count));
    for (const YavWtValue& c : cmds) chain.element(c);
    return chain;
}

// Reads chain (in a heap segment of exactly its size) with reader and
// applies it to trans.
inline yav_status_t yav_run_answer(const YavWtChain& chain, YavTransaction* trans,
                                   YavWebTransAnswerUnmarshaller* reader) {
    YavWtAnswer answer(chain.bytes());
    if (answer.status() != 0) return answer.status();
    return reader->unmarshal(answer.iterator(), trans);
}

// The calls the views got, without the transaction's log writes.
inline std::vector<std::string> yav_view_calls(const YavTestCallLog& log) {
    std::vector<std::string> calls;
    for (const std::string& e : log.entries()) {
        if (e.compare(0, 6, "trans.") != 0) calls.push_back(e);
    }
    return calls;
}

// The message ID ("QRXIC0651E") that begins the text of code.
inline std::string yav_msg_id(yav_status_t code) {
    uint32_t status = 0;
    char* text = kr_msg_get_msg(code, &status);
    std::string id;
    if (text != nullptr) {
        id = text;
        id = id.substr(0, id.find(' '));
        free(text);
    }
    return id;
}

inline std::string yav_hex(unsigned v) {
    char text[16];
    snprintf(text, sizeof text, "%#x", v);
    return text;
}

// True when line is the text of messageCode carrying the text of status.
inline bool yav_logged_status(const std::string& line, yav_status_t messageCode,
                              yav_status_t status) {
    return line.rfind(yav_msg_id(messageCode), 0) == 0 &&
           line.find(yav_msg_id(status)) != std::string::npos;
}

// True when line is the text of messageCode carrying the command code.
inline bool yav_logged_code(const std::string& line, yav_status_t messageCode, int cmd) {
    return line.rfind(yav_msg_id(messageCode), 0) == 0 &&
           line.find("(" + yav_hex(static_cast<unsigned>(cmd)) + ")") != std::string::npos;
}

#endif  // YAV_MSG_PLUGIN_YAV_WEB_TRANS_TEST_AIDS_H
