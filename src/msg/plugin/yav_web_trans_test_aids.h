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
#include "msg/plugin/yav_wire_test_aids.h"
#include "plugin/core/yav_view_test_aids.h"

// One command element: the code and the value bytes that follow it.
inline YavWireValue yav_cmd(int code) { return YavWireValue().u32(static_cast<uint32_t>(code)); }
inline YavWireValue yav_cmd_str(int code, const std::string& s) { return yav_cmd(code).str(s); }
inline YavWireValue yav_cmd_nv(int code, const std::string& n, const std::string& v) {
    return yav_cmd(code).str(n).str(v);
}
inline YavWireValue yav_cmd_int(int code, int32_t v) {
    return yav_cmd(code).u32(static_cast<uint32_t>(v));
}
inline YavWireValue yav_cmd_buf(int code, const std::string& bytes) {
    return yav_cmd(code).buf(bytes.data(), bytes.size());
}
inline YavWireValue yav_cmd_list(int code, std::initializer_list<std::string> strings) {
    YavWireValue v = yav_cmd(code);
    v.u32(static_cast<uint32_t>(strings.size()));
    for (const std::string& s : strings) v.str(s);
    return v;
}

// An answer chain: the first element (response code, announced count) and
// one element per command.  announced < 0 announces the true count.
inline YavWireChain yav_answer(int rspCode, const std::vector<YavWireValue>& cmds,
                               int announced = -1) {
    YavWireChain chain;
    const int count = announced < 0 ? static_cast<int>(cmds.size()) : announced;
    chain.element(YavWireValue().u32(static_cast<uint32_t>(rspCode)).u32(count));
    for (const YavWireValue& c : cmds) chain.element(c);
    return chain;
}

// Reads chain (in a heap segment of exactly its size) with reader and
// applies it to trans.
inline yav_status_t yav_run_answer(const YavWireChain& chain, YavTransaction* trans,
                                   YavWebTransAnswerUnmarshaller* reader) {
    YavWireAnswer answer(chain.bytes());
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
