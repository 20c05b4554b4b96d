#include "plugin/core/YavTransaction.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "plugin/core/yav_authz_test_aids.h"
#include "plugin/core/yav_view_test_aids.h"

namespace {

// The first code from `from` on that no message table knows.
uint32_t codeWithoutText(uint32_t from) {
    uint32_t code = from;
    while (kr_msg_get_default_msg(code) != nullptr) ++code;
    return code;
}

// What glibc makes of a table text and its arguments, for comparison.
template <class... Args>
std::string formatted(uint32_t code, Args... args) {
    char line[1024];
    snprintf(line, sizeof line, kr_msg_get_default_msg(code), args...);
    return line;
}

// The request of every redirect case: http://www.example.com:8080/dir/page.html?a=1
void presetRequest(YavTestExchange& ex) {
    ex.request.presets.set("getSecurity", 0, "", 0);
    ex.request.presets.set("getURI", 0, "/dir/page.html");
    ex.request.presets.set("getQuery", 0, "a=1");
    ex.server->presets.set("getName", 0, "www.example.com");
    ex.server->presets.set("getPort", 0, "", 8080);
}

}  // namespace

TEST(YavTransactionTest, LogMessageWritesTheCodesTextFormattedAndCutToTheBuffer) {
    YavTestExchange ex;
    const std::string longText(1000, 'x');
    EXPECT_EQ(0u, ex.trans.logMessage(yav_log_level_warning, YAV_S_DISPATCH_FAILED, "boom",
                                      YAV_S_NO_MEMORY));
    EXPECT_EQ(0u, ex.trans.logMessage(yav_log_level_error, YAV_S_DISPATCH_FAILED, longText.c_str(),
                                      YAV_S_NO_MEMORY));
    // A code without text gives the no-text message, even when writeLog fails.
    uint32_t code = codeWithoutText(YAV_S_NO_MESSAGE_TEXT);
    ex.trans.presets.set("writeLog", YAV_S_NOT_SUPPORTED);
    EXPECT_EQ(0u, ex.trans.logMessage(yav_log_level_error, static_cast<int>(code), "unused"));
    // Otherwise the status of writeLog comes back.
    EXPECT_EQ(YAV_S_NOT_SUPPORTED,
              ex.trans.logMessage(yav_log_level_error, YAV_S_SERVER_ERROR, "x", YAV_S_NO_MEMORY));
    ASSERT_EQ(4u, ex.trans.lines.size());
    EXPECT_EQ(yav_log_level_warning, ex.trans.lines[0].first);
    EXPECT_EQ(formatted(YAV_S_DISPATCH_FAILED, "boom", YAV_S_NO_MEMORY), ex.trans.lines[0].second);
    // A 200-byte buffer: 199 bytes and the terminator.
    EXPECT_EQ(formatted(YAV_S_DISPATCH_FAILED, longText.c_str(), YAV_S_NO_MEMORY).substr(0, 199),
              ex.trans.lines[1].second);
    EXPECT_EQ(formatted(YAV_S_NO_MESSAGE_TEXT, code), ex.trans.lines[2].second);
}

TEST(YavTransactionTest, LogMessageWritesATextItCannotFormatAsItIs) {
    // A table of the test's own, with a text holding a conversion that does not exist.
    static yav_msg_entry table[1];
    static const char* const kText = "Broken %y text";
    uint32_t code = codeWithoutText(YAV_S_NO_MESSAGE_TEXT);
    table[0] = yav_msg_entry{code, kText};
    uint32_t status = 1;
    kr_msg_define_msg_table(table, 1, &status);
    ASSERT_EQ(0u, status);

    YavTestExchange ex;
    EXPECT_EQ(0u, ex.trans.logMessage(yav_log_level_error, static_cast<int>(code), 5));
    ASSERT_EQ(1u, ex.trans.lines.size());
    EXPECT_EQ(kText, ex.trans.lines[0].second);
}

TEST(YavTransactionTest, SetResultAsksTheResponseForTheDefaultResponseOnlyWhenNeeded) {
    struct Case {
        yav_proxy_rsp_code_e code;
        bool withResponse;
        int defaultResponseCalls;
    };
    const Case cases[] = {
        {yav_send_default_rsp_to_client, true, 1},
        {yav_send_default_rsp_to_client, false, 0},
        {yav_send_rsp_to_client, true, 0},
        {yav_continue_uninteresting, true, 0},
    };
    for (const Case& c : cases) {
        YavTestExchange ex;
        if (!c.withResponse) ex.trans.attach(&ex.request, nullptr);
        EXPECT_EQ(0u, ex.trans.setResult(c.code));
        EXPECT_EQ(c.code, ex.trans.getResult());
        EXPECT_EQ(c.defaultResponseCalls, ex.log.count("rsp.setDefaultResponse(1)")) << c.code;
    }
}

TEST(YavTransactionTest, MemoryComesFromTheTransactionsAllocator) {
    YavAuthzTestAllocator allocator;
    YavTestExchange ex(false, &allocator);
    int before = allocator.live;

    char* block = static_cast<char*>(ex.trans.allocate(8));
    ASSERT_NE(nullptr, block);
    memcpy(block, "abcdefgh", 8);
    EXPECT_EQ(before + 1, allocator.live);
    block = static_cast<char*>(ex.trans.reallocate(block, 8, 64));
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(0, memcmp(block, "abcdefgh", 8));
    void* copy = ex.trans.duplicate("xyz", 4);
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("xyz", static_cast<char*>(copy));
    EXPECT_EQ(before + 2, allocator.live);
    ex.trans.deallocate(block);
    ex.trans.deallocate(copy);
    EXPECT_EQ(before, allocator.live);
    EXPECT_EQ(&allocator, ex.trans.allocator());

    allocator.refuseFrom = allocator.granted;
    EXPECT_EQ(nullptr, ex.trans.allocate(8));
    EXPECT_EQ(nullptr, ex.trans.duplicate("xyz", 4));
}

TEST(YavTransactionTest, BuildRedirectURLResolvesTheTargetAgainstTheFullURLOrFails) {
    struct Case {
        const char* target;
        const char* expected;
    };
    const Case cases[] = {
        {"https://other.example.com/x", "https://other.example.com/x"},
        {"/login?next=1", "http://www.example.com:8080/login?next=1"},
        {"other.html", "http://www.example.com:8080/dir/other.html"},
    };
    for (const Case& c : cases) {
        YavTestExchange ex;
        presetRequest(ex);
        YavString url;
        EXPECT_EQ(0u, ex.trans.buildRedirectURL(YavStringRef(c.target), &url)) << c.target;
        EXPECT_EQ(std::string(c.expected), yav_test_text(YavStringRef(url)));
    }
    // A full URL that cannot be built fails the redirect.
    YavTestExchange ex;
    presetRequest(ex);
    ex.server->presets.set("getPort", 0, "", 0);
    YavString url("unchanged");
    EXPECT_EQ(YAV_S_INVALID_SYS_INPUT, ex.trans.buildRedirectURL(YavStringRef("/x"), &url));
    EXPECT_EQ(std::string("unchanged"), yav_test_text(YavStringRef(url)));
}

TEST(YavTransactionTest, CacheVersionIsAbsentUntilSetAndThenACopy) {
    YavTestExchange ex;
    EXPECT_EQ(nullptr, ex.trans.getURCVersion());

    unsigned char bytes[YavEpochVersion::kSize];
    for (int i = 0; i < YavEpochVersion::kSize; ++i) bytes[i] = static_cast<unsigned char>(i + 1);
    ex.trans.setURCVersion(bytes);
    memset(bytes, 0, sizeof bytes);  // the transaction keeps its own copy
    const YavEpochVersion* version = ex.trans.getURCVersion();
    ASSERT_NE(nullptr, version);
    for (int i = 0; i < YavEpochVersion::kSize; ++i) EXPECT_EQ(i + 1, version->bytes()[i]);

    ex.trans.setURCVersion(bytes);
    EXPECT_EQ(0, ex.trans.getURCVersion()->bytes()[0]);
}

TEST(YavTransactionTest, MissingViewsAreAnInternalInconsistency) {
    YavRecordingTransaction trans;
    EXPECT_FALSE(trans.hasRequest());
    EXPECT_FALSE(trans.hasResponse());
    EXPECT_EQ(0u, trans.prepareForRetry());
    EXPECT_DEATH(trans.getRequest(), "m_request != nullptr");
    EXPECT_DEATH(trans.getResponse(), "m_response != nullptr");
}
