// Wire form of web transaction answers: the server-side writer's bytes
// against layouts written by hand, read back by the plug-in's reader, and
// answers a buggy or hostile server could send.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgNameValue.h"
#include "msg/core/YavProxyIFMsgString.h"
#include "msg/core/YavProxyIFMsgStringList.h"
#include "msg/plugin/YavWebTransAnswerFactory.h"
#include "msg/plugin/yav_web_trans_test_aids.h"
#include "proxyif/ipc/YavSharedMemAllocator.h"
#include "server/YavWebTransAnswerWriter.h"

namespace {

// A heap segment with a writer over all of it.
class WriterFixture {
  public:
    explicit WriterFixture(unsigned size = 4096) : m_seg(size), m_writer(m_alloc) {
        m_status = m_alloc.initialize(m_seg, 0, size);
    }
    YavWebTransAnswerWriter& writer() { return m_writer; }
    yav_status_t status() const { return m_status; }
    // The bytes written so far.
    std::vector<unsigned char> bytes() {
        return std::vector<unsigned char>(m_seg.bytes(), m_seg.bytes() + m_alloc.getCurrent());
    }

  private:
    YavHeapSharedMem m_seg;
    YavSharedMemAllocator m_alloc;
    YavWebTransAnswerWriter m_writer;
    yav_status_t m_status;
};

TEST(YavWebTransAnswerWireTest, WriterProducesTheHandComputedLayoutOfEveryForm) {
    WriterFixture f;
    ASSERT_EQ(0u, f.status());
    YavWebTransAnswerWriter& w = f.writer();
    YavProxyIFMsgNameValue header;
    header.set(YavStringRef("X-User"), YavStringRef("bob"));
    YavProxyIFMsgString uri;
    uri.set(YavStringRef("/a/b"));
    YavProxyIFMsgStringList users;
    ASSERT_EQ(0u, users.add(YavStringRef("u")));
    ASSERT_EQ(0u, users.add(YavStringRef("v")));
    ASSERT_EQ(0u, users.add(YavStringRef("w")));
    YavProxyIFMsgInt code(404);
    const char kBody[] = "hello";
    YavBuffer bodyBytes;
    bodyBytes.refer(kBody, 5);
    YavProxyIFMsgBuffer body;
    body.set(bodyBytes);

    ASSERT_EQ(0u, w.begin(yav_send_rsp_to_client, 6));
    ASSERT_EQ(0u, w.add(yav_req_set_header, header));
    ASSERT_EQ(0u, w.add(yav_req_set_uri, uri));
    ASSERT_EQ(0u, w.add(yav_req_set_web_log_user, users));
    ASSERT_EQ(0u, w.add(yav_rsp_set_response_code, code));
    ASSERT_EQ(0u, w.add(yav_rsp_set_body, body));
    ASSERT_EQ(0u, w.add(yav_rsp_set_keep_alive));
    ASSERT_EQ(0u, w.finish());

    // Codes and values by number: the layout is the point here.
    const YavWireChain expected =
        yav_answer(3, {yav_cmd_nv(1, "X-User", "bob"), yav_cmd_str(4, "/a/b"),
                       yav_cmd_list(8, {"u", "v", "w"}), yav_cmd_int(24, 404),
                       yav_cmd_buf(25, "hello"), yav_cmd(30)});
    // The writer leaves padding bytes unwritten; the heap segment starts
    // zeroed, as the hand-made chain pads with zeros.
    EXPECT_EQ(expected.bytes(), f.bytes());

    YavTestExchange ex;
    YavWebTransAnswerUnmarshaller reader;
    ASSERT_EQ(0u, yav_run_answer(expected, &ex.trans, &reader));
    EXPECT_EQ(yav_send_rsp_to_client, reader.getRspCode());
    EXPECT_EQ(6, reader.getNumCmds());
    EXPECT_EQ((std::vector<std::string>{
                  "req.setHeader(X-User,bob)", "req.setURI(/a/b)", "req.setWebLogUser(u,v,w)",
                  "rsp.setCode(404)", "rsp.setHeader(Connection,Keep-Alive)",
                  "rsp.setHeader(Content-Length,5)", "req.finalizeHeader()", "rsp.finalizeHeader()",
                  "rsp.setBody(hello)", "req.finalizeBody()", "rsp.finalizeBody()"}),
              ex.log.entries());
}

TEST(YavWebTransAnswerWireTest, IterReadsCodesAndRawData) {
    YavWireChain chain = yav_answer(
        yav_continue, {yav_cmd_str(yav_req_set_query, "q=1"), yav_cmd(yav_rsp_begin_new_rsp)}, 9);
    YavWireAnswer answer(chain.bytes());
    YavWebTransAnswerIter iter;
    ASSERT_EQ(0u, iter.unmarshal(answer.iterator(), nullptr));
    EXPECT_EQ(yav_continue, iter.getRspCode());
    EXPECT_EQ(9, iter.getNumCmds());
    ASSERT_TRUE(iter.next());
    EXPECT_EQ(yav_req_set_query, iter.getCmdID());
    YavBuffer raw;
    iter.getRawCmdData(&raw);
    EXPECT_EQ(std::string("\x04\0\0\0q=1\0", 8), yav_test_text(raw));
    YavProxyIFMsgString query;
    ASSERT_EQ(0u, iter.getCmdData(&query));
    EXPECT_EQ("q=1", yav_test_text(query.get()));
    ASSERT_TRUE(iter.next());
    EXPECT_EQ(yav_rsp_begin_new_rsp, iter.getCmdID());
    iter.getRawCmdData(&raw);
    EXPECT_EQ(0, raw.getLen());
    EXPECT_FALSE(iter.next());
    EXPECT_EQ(0u, iter.getEndStatus());
}

TEST(YavWebTransAnswerWireTest, WriterRefusesMalformedAnswers) {
    YavProxyIFMsgString text;
    text.set(YavStringRef("x"));
    {
        WriterFixture f;
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, f.writer().add(yav_rsp_set_keep_alive));
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, f.writer().finish());
        EXPECT_EQ(YAV_S_INVALID_PARAMETER,
                  f.writer().begin(static_cast<yav_proxy_rsp_code_e>(yav_max_proxy_rsp_code), 0));
        EXPECT_EQ(YAV_S_INVALID_PARAMETER, f.writer().begin(yav_continue, -1));
        EXPECT_TRUE(f.bytes().empty());
    }
    WriterFixture f;
    YavWebTransAnswerWriter& w = f.writer();
    ASSERT_EQ(0u, w.begin(yav_continue, 2));
    const size_t afterHeader = f.bytes().size();
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.begin(yav_continue, 2));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.add(yav_req_set_uri));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.add(yav_rsp_set_keep_alive, text));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.add(static_cast<yav_proxy_rsp_cmds_e>(39)));
    EXPECT_EQ(afterHeader, f.bytes().size());
    ASSERT_EQ(0u, w.add(yav_req_set_uri, text));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.finish());
    ASSERT_EQ(0u, w.add(yav_rsp_set_keep_alive));
    EXPECT_EQ(YAV_S_INVALID_PARAMETER, w.add(yav_rsp_set_keep_alive));
    EXPECT_EQ(0u, w.finish());

    WriterFixture small(16);
    ASSERT_EQ(0u, small.writer().begin(yav_continue, 1));
    EXPECT_EQ(YAV_S_NO_MEMORY, small.writer().add(yav_req_set_uri, text));
}

// Malformed answers: each is refused with a status and one log line,
// nothing after the fault is applied and nothing is finalised.  (Values the
// message primitives refuse -- lying lengths and counts, missing parts -- are
// refused per command in YavWebTransAnswerTest.UnreadableValueIsLoggedWith
// TheCommandsMessage and per primitive in msg/core.)
TEST(YavWebTransAnswerWireTest, MalformedAnswersAreRefusedWithStatusAndLogLine) {
    const YavWireValue good = yav_cmd_str(yav_req_set_uri, "/ok");
    const YavWireValue keepAlive = yav_cmd(yav_rsp_set_keep_alive);
    const yav_status_t kBad = YAV_S_INVALID_TRANSACTION;  // logged without a status
    struct Case {
        const char* name;
        YavWireChain chain;
        yav_status_t status;
        yav_status_t message;
    };
    const Case cases[] = {
        {"no first element", YavWireChain(), YAV_S_UNMARSHAL_FAILED, kBad},
        {"short first element", YavWireChain().element(YavWireValue().u32(1)),
         YAV_S_UNMARSHAL_FAILED, kBad},
        {"unknown response code", yav_answer(yav_max_proxy_rsp_code, {good}),
         YAV_S_UNMARSHAL_FAILED, kBad},
        {"negative response code", yav_answer(-1, {good}), YAV_S_UNMARSHAL_FAILED, kBad},
        {"command without whole code",
         yav_answer(1, {}).element(YavWireValue().raw("\x01\x00", 2)).element(good),
         YAV_S_UNMARSHAL_FAILED, kBad},
        {"element longer than region", yav_answer(1, {}).element(keepAlive.bytes(), 4000),
         YAV_S_IPC_NO_MORE_SEGMENTS, kBad},
        {"web log user of 2", yav_answer(1, {yav_cmd_list(8, {"a", "b"}), good}),
         YAV_S_INVALID_COMMAND, YAV_S_REQ_SET_WEB_LOG_USER},
        {"web log user of 4", yav_answer(1, {yav_cmd_list(8, {"a", "b", "c", "d"}), good}),
         YAV_S_INVALID_COMMAND, YAV_S_REQ_SET_WEB_LOG_USER},
        {"web log user unterminated",
         yav_answer(1, {yav_cmd(8).u32(3).str("a").unterminated("bcd").str("e"), good}),
         YAV_S_UNMARSHAL_FAILED, YAV_S_REQ_SET_WEB_LOG_USER},
        {"version of 19", yav_answer(1, {yav_cmd_buf(38, std::string(19, 'v')), good}),
         YAV_S_INVALID_COMMAND, YAV_S_URC_VERSION_NOT_SENT},
        {"version of 21", yav_answer(1, {yav_cmd_buf(38, std::string(21, 'v')), good}),
         YAV_S_INVALID_COMMAND, YAV_S_URC_VERSION_NOT_SENT},
        {"unterminated string", yav_answer(1, {yav_cmd(4).unterminated("/abcd"), good}),
         YAV_S_UNMARSHAL_FAILED, YAV_S_REQ_SET_URI},
        {"unterminated header value",
         yav_answer(1, {yav_cmd(yav_rsp_set_header).str("A").unterminated("bc"), good}),
         YAV_S_UNMARSHAL_FAILED, YAV_S_RSP_SET_HEADER},
        {"bytes after the value", yav_answer(1, {yav_cmd_int(24, 200).u32(0), good}),
         YAV_S_UNMARSHAL_FAILED, YAV_S_RSP_SET_CODE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        YavTestExchange ex;
        YavWebTransAnswerUnmarshaller reader;
        EXPECT_EQ(c.status, yav_run_answer(c.chain, &ex.trans, &reader));
        EXPECT_EQ(0, ex.log.count("req.setURI("));
        EXPECT_EQ(0, ex.log.count("req.finalizeHeader("));
        EXPECT_EQ(nullptr, ex.trans.getURCVersion());
        ASSERT_EQ(1u, ex.trans.lines.size());
        const std::string& line = ex.trans.lines[0].second;
        if (c.message == kBad) {
            EXPECT_EQ(0u, line.rfind(yav_msg_id(c.message), 0)) << line;
        } else {
            EXPECT_TRUE(yav_logged_status(line, c.message, c.status)) << line;
        }
    }
}

TEST(YavWebTransAnswerWireTest, AnnouncedCountIsNotUsedToStop) {
    const std::vector<YavWireValue> cmds = {yav_cmd_str(yav_req_set_uri, "/one"),
                                            yav_cmd_str(yav_req_set_query, "two")};
    for (int announced : {0, 1, 5, 0x7fffffff}) {
        SCOPED_TRACE(announced);
        YavTestExchange ex;
        YavWebTransAnswerUnmarshaller reader;
        ASSERT_EQ(0u, yav_run_answer(yav_answer(1, cmds, announced), &ex.trans, &reader));
        EXPECT_EQ(announced, reader.getNumCmds());
        EXPECT_EQ(1, ex.log.count("req.setURI(/one)"));
        EXPECT_EQ(1, ex.log.count("req.setQuery(two)"));
        EXPECT_EQ(1, ex.log.count("rsp.finalizeBody()"));
    }
}

TEST(YavWebTransAnswerWireTest, TransactionWithoutBothViewsIsRefused) {
    YavRecordingRequest request;
    YavRecordingResponse response;
    for (int which = 0; which < 2; ++which) {
        YavRecordingTransaction trans;
        trans.attach(which == 0 ? &request : nullptr, which == 0 ? nullptr : &response);
        YavWebTransAnswerUnmarshaller reader;
        EXPECT_EQ(
            YAV_S_INVALID_TRANSACTION_PASSED,
            yav_run_answer(yav_answer(1, {yav_cmd(yav_rsp_set_keep_alive)}), &trans, &reader));
        ASSERT_EQ(1u, trans.lines.size());
        EXPECT_EQ(0u, trans.lines[0].second.rfind(yav_msg_id(YAV_S_INVALID_TRANSACTION), 0));
        EXPECT_FALSE(response.isKeepAliveSet());
    }
}

// Random damage to a valid answer never reads outside its elements (the
// segment is an exact heap block, so AddressSanitizer sees any overrun);
// every refusal comes with a log line.
TEST(YavWebTransAnswerWireTest, RandomlyDamagedAnswersFailCleanly) {
    const std::vector<unsigned char> valid =
        yav_answer(1, {yav_cmd_nv(yav_req_add_header, "A", "b"), yav_cmd_list(8, {"x", "y", "z"}),
                       yav_cmd_buf(yav_rsp_set_body, "0123456789"), yav_cmd_int(24, 201),
                       yav_cmd_str(yav_rsp_set_body_from_file, "/f")})
            .bytes();
    std::mt19937 random(20261205);
    for (int round = 0; round < 2000; ++round) {
        std::vector<unsigned char> bytes = valid;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            bytes[random() % bytes.size()] = static_cast<unsigned char>(random());
        }
        if (round % 3 == 0) bytes.resize(random() % bytes.size());
        YavTestExchange ex;
        YavWebTransAnswerUnmarshaller reader;
        YavWireAnswer answer(bytes);
        ASSERT_EQ(0u, answer.status());
        const yav_status_t status = reader.unmarshal(answer.iterator(), &ex.trans);
        if (status != 0) {
            EXPECT_FALSE(ex.trans.lines.empty()) << round;
        }
    }
}

TEST(YavWebTransAnswerWireTest, FactoryMakesReadersInTheClassAllocator) {
    ASSERT_EQ(0u, YavWebTransAnswerUnmarshaller::m_allocator.acquire());
    YavWebTransAnswerFactory factory;
    EXPECT_EQ(yav_msg_web_trans_answer, factory.getType());
    YavProxyIFMessage* msg = nullptr;
    ASSERT_EQ(0u, factory.createMsg(&msg));
    ASSERT_NE(nullptr, msg);
    EXPECT_EQ(yav_msg_web_trans_answer, msg->getType());
    YavTestExchange ex;
    YavWireAnswer answer(yav_answer(yav_send_default_rsp_to_client, {}).bytes());
    EXPECT_EQ(0u, msg->unmarshal(answer.iterator(), &ex.trans));
    EXPECT_EQ(yav_send_default_rsp_to_client,
              static_cast<YavWebTransAnswerUnmarshaller*>(msg)->getRspCode());
    msg->deleteMe();
    YavWebTransAnswerUnmarshaller::m_allocator.release();
}

TEST(YavWebTransAnswerWireTest, NamesOfCodesAndCommands) {
    YavStringRef name;
    YavWebTransAnswerBase::getCmdName(yav_req_add_header, &name);
    EXPECT_EQ("yav_req_add_header", yav_test_text(name));
    YavWebTransAnswerBase::getCmdName(static_cast<yav_proxy_rsp_cmds_e>(12), &name);
    EXPECT_EQ("unassigned", yav_test_text(name));
    YavWebTransAnswerBase::getCmdName(yav_rsp_urc_version, &name);
    EXPECT_EQ("yav_rsp_urc_version", yav_test_text(name));
    YavWebTransAnswerBase::getRspCodeName(yav_require_more_body_data, &name);
    EXPECT_EQ("yav_require_more_body_data", yav_test_text(name));
    EXPECT_DEATH(YavWebTransAnswerBase::getCmdName(yav_max_proxy_rsp_cmd, &name),
                 "cmdID >= 0 && cmdID < yav_max_proxy_rsp_cmd");
    EXPECT_DEATH(YavWebTransAnswerBase::getRspCodeName(yav_max_proxy_rsp_code, &name),
                 "code >= 0 && code < yav_max_proxy_rsp_code");
}

}  // namespace
