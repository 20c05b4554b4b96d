#include "msg/core/YavProxyIFMsgString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/yav_msg_test_aids.h"

namespace {

TEST(YavProxyIFMsgStringTest, EncodesLengthTextZeroAndUnwrittenPadding) {
    const std::vector<std::pair<std::string, size_t>> cases = {
        {"", 8}, {"a", 8}, {"abc", 8}, {"abcd", 12}, {"abcdefg", 12}, {"abcdefgh", 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        YavProxyIFMsgString value, back;
        value.set(YavStringRef(c.first.c_str()));
        std::vector<unsigned char> expected;
        yav_put_string(&expected, c.first);
        ASSERT_EQ(c.second, expected.size());
        auto block = yav_expect_round_trip(value, expected, &back);
        EXPECT_EQ(c.first, std::string(back.get().getData(), back.get().getLength()));
        EXPECT_TRUE(back.get().isTerminated());
        // Zero copy: the text is the block's own bytes.
        EXPECT_EQ(reinterpret_cast<const char*>(block->data() + 4), back.get().getData());
    }
}

TEST(YavProxyIFMsgStringTest, TakesUnterminatedTextWholeAndEmptyLengthAsEmpty) {
    std::vector<unsigned char> bytes;
    yav_put_u32(&bytes, 5);
    yav_put_bytes(&bytes, "hello...", 8);  // no zero at the fifth byte
    YavExactBlock block(bytes);
    YavProxyIFMsgString value;
    ASSERT_EQ(12, value.unmarshal(block.data(), block.size()));
    EXPECT_EQ(5, value.get().getLength());
    EXPECT_FALSE(value.get().isTerminated());
    EXPECT_STREQ("hello", value.get().getTerminated());

    std::vector<unsigned char> empty;
    yav_put_u32(&empty, 0);
    YavExactBlock emptyBlock(empty);
    ASSERT_EQ(4, value.unmarshal(emptyBlock.data(), emptyBlock.size()));
    EXPECT_EQ(0, value.get().getLength());
    EXPECT_TRUE(value.get().isTerminated());
}

TEST(YavProxyIFMsgStringTest, RefusesLengthsPastTheBlockAndKeepsOldValue) {
    const std::vector<uint32_t> lengths = {9,           13,          0x7FFFFFFFu, 0x80000000u,
                                           0xFFFFFFFCu, 0xFFFFFFFDu, 0xFFFFFFFEu, 0xFFFFFFFFu};
    for (uint32_t length : lengths) {
        SCOPED_TRACE(length);
        std::vector<unsigned char> bytes;
        yav_put_u32(&bytes, length);
        yav_put_bytes(&bytes, "abcdefgh", 8);
        YavExactBlock block(bytes);
        YavProxyIFMsgString value;
        value.set(YavStringRef("kept"));
        EXPECT_LT(value.unmarshal(block.data(), block.size()), 0);
        EXPECT_STREQ("kept", value.get().getData());

        YavProxyIFMsgBuffer buffer;
        EXPECT_LT(buffer.unmarshal(block.data(), block.size()), 0);
        EXPECT_EQ(0, buffer.get().getLen());
    }
}

TEST(YavProxyIFMsgStringTest, TraceFormOfStringAndBufferIsAsciiUriEncoded) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"", ""},
        {"plain-Text_1.*~!", "plain-Text_1.*~!"},
        {"a b%/\xc3\xa9", "a%20b%25/%C3%A9"},
        {std::string("ok\0 \xff", 5), "ok%00%20%FF"},
    };
    for (const auto& c : cases) {
        YavString out;
        out.set("old");
        if (c.first.find('\0') == std::string::npos) {
            YavProxyIFMsgString value;
            value.set(YavStringRef(c.first.c_str()));
            ASSERT_EQ(0u, value.createString(&out));
            EXPECT_STREQ(c.second, out.getData());
        }
        YavBuffer bytes;
        bytes.refer(c.first.data(), static_cast<int>(c.first.size()));
        YavProxyIFMsgBuffer buffer;
        buffer.set(bytes);
        ASSERT_EQ(0u, buffer.createString(&out));
        EXPECT_STREQ(c.second, out.getData());
    }
}

TEST(YavProxyIFMsgBufferTest, EncodesLengthBytesAndPadding) {
    for (int n : {0, 1, 3, 4, 5, 13}) {
        SCOPED_TRACE(n);
        std::vector<unsigned char> payload, expected;
        for (int i = 0; i < n; ++i) payload.push_back(static_cast<unsigned char>(0xA0 + i));
        YavBuffer source;
        source.refer(payload.data(), n);
        YavProxyIFMsgBuffer value, back;
        value.set(source);
        yav_put_u32(&expected, static_cast<uint32_t>(n));
        expected.insert(expected.end(), payload.begin(), payload.end());
        expected.resize(static_cast<size_t>(4 + n + (4 - n % 4) % 4), 0xEE);
        auto block = yav_expect_round_trip(value, expected, &back);
        ASSERT_EQ(n, back.get().getLen());
        EXPECT_EQ(payload,
                  std::vector<unsigned char>(back.get().getData(), back.get().getData() + n));
        if (n > 0) {
            EXPECT_EQ(block->data() + 4, back.get().getData());
        }
    }
}

TEST(YavProxyIFMsgIntTest, EncodesNativeWordAndTracesDecimal) {
    const std::vector<std::pair<int, const char*>> cases = {
        {0, "0"}, {-5, "-5"}, {2147483647, "2147483647"}, {-2147483647 - 1, "-2147483648"}};
    for (const auto& c : cases) {
        YavProxyIFMsgInt value(c.first), back;
        std::vector<unsigned char> expected;
        yav_put_u32(&expected, static_cast<uint32_t>(c.first));
        yav_expect_round_trip(value, expected, &back);
        EXPECT_EQ(c.first, back.get());
        YavString out;
        ASSERT_EQ(0u, value.createString(&out));
        EXPECT_STREQ(c.second, out.getData());
    }
    YavProxyIFMsgInt counter(41);
    counter.increment();
    EXPECT_EQ(42, counter.get());
}

TEST(YavProxyIFMsgDeathTest, MarshalIntoSmallOrUnalignedBufferAsserts) {
    alignas(8) unsigned char buffer[32] = {};
    YavProxyIFMsgString value;
    value.set(YavStringRef("abcd"));
    EXPECT_DEATH(value.marshal(buffer, 11), "length <= size");
    EXPECT_DEATH(value.marshal(buffer + 1, 20), "% sizeof\\(int\\) == 0");
    YavProxyIFMsgInt number(3);
    EXPECT_DEATH(number.marshal(buffer, 3), "length <= size");
    EXPECT_DEATH(number.marshal(buffer + 2, 8), "% sizeof\\(m_data\\) == 0");
}

}  // namespace
