#include "msg/core/YavProxyIFMsgNameValue.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "msg/core/YavProxyIFMsgBuffer.h"
#include "msg/core/YavProxyIFMsgInt.h"
#include "msg/core/YavProxyIFMsgNameInt.h"
#include "msg/core/YavProxyIFMsgStringList.h"
#include "msg/core/yav_msg_test_aids.h"

namespace {

std::string text(const YavStringRef& ref) { return std::string(ref.getData(), ref.getLength()); }

TEST(YavProxyIFMsgNameValueTest, NameThenValueEachAsString) {
    YavProxyIFMsgNameValue pair, back;
    pair.set(YavStringRef("host"), YavStringRef("a.example"));
    std::vector<unsigned char> expected;
    yav_put_string(&expected, "host");
    yav_put_string(&expected, "a.example");
    ASSERT_EQ(12u + 16u, expected.size());
    auto block = yav_expect_round_trip(pair, expected, &back);
    EXPECT_EQ("host", text(back.getName()));
    EXPECT_EQ("a.example", text(back.getValue()));
    YavString out;
    ASSERT_EQ(0u, back.createString(&out));
    EXPECT_STREQ("Name: host - Value: a.example", out.getData());
}

TEST(YavProxyIFMsgNameValueTest, NameWithoutValueIsRefusedAndPairKept) {
    YavProxyIFMsgNameValue pair;
    pair.set(YavStringRef("n"), YavStringRef("v"));
    std::vector<unsigned char> bytes;
    yav_put_string(&bytes, "ab", 0);
    YavExactBlock block(bytes);
    EXPECT_LT(pair.unmarshal(block.data(), block.size()), 0);
    EXPECT_EQ("n", text(pair.getName()));
    EXPECT_EQ("v", text(pair.getValue()));

    YavProxyIFMsgNameInt nameInt;
    nameInt.set(YavStringRef("n"), 9);
    EXPECT_LT(nameInt.unmarshal(block.data(), block.size()), 0);
    EXPECT_EQ(9, nameInt.getValue());
}

TEST(YavProxyIFMsgNameIntTest, NameThenNativeWord) {
    YavProxyIFMsgNameInt pair, back;
    pair.set(YavStringRef("level"), -3);
    std::vector<unsigned char> expected;
    yav_put_string(&expected, "level");
    yav_put_u32(&expected, static_cast<uint32_t>(-3));
    auto block = yav_expect_round_trip(pair, expected, &back);
    EXPECT_EQ("level", text(back.getName()));
    EXPECT_EQ(-3, back.getValue());
    YavString out;
    ASSERT_EQ(0u, back.createString(&out));
    EXPECT_STREQ("Name: level - Value: -3", out.getData());
}

// Makes a T and lets set fill it.
template <class T>
std::function<std::unique_ptr<YavProxyIFMsgData>()> maker(std::function<void(T&)> set) {
    return [set] {
        std::unique_ptr<T> value(new T());
        set(*value);
        return std::unique_ptr<YavProxyIFMsgData>(value.release());
    };
}

// Every primitive: marshal(0, 0) is what marshal writes, and every proper
// prefix of a valid encoding (in a block of exactly that size) is refused.
TEST(YavProxyIFMsgDataTest, TruncatedEncodingsAreRefusedWithoutReadingPastTheBlock) {
    const unsigned char raw[] = {1, 2, 3, 4, 5};
    YavBuffer rawBuffer;
    rawBuffer.refer(raw, sizeof raw);
    typedef YavProxyIFMsgStringList List;
    const std::vector<std::function<std::unique_ptr<YavProxyIFMsgData>()>> makers = {
        [] { return std::make_unique<YavProxyIFMsgInt>(77); },
        maker<YavProxyIFMsgBuffer>([&](YavProxyIFMsgBuffer& v) { v.set(rawBuffer); }),
        maker<YavProxyIFMsgString>([](YavProxyIFMsgString& v) { v.set(YavStringRef("abcde")); }),
        maker<List>([](List& v) {
            for (const char* e : {"one", "", "three"}) v.add(YavStringRef(e));
        }),
        maker<YavProxyIFMsgNameValue>(
            [](YavProxyIFMsgNameValue& v) { v.set(YavStringRef("name"), YavStringRef("v")); }),
        maker<YavProxyIFMsgNameInt>([](YavProxyIFMsgNameInt& v) { v.set(YavStringRef("nm"), 5); }),
    };
    for (size_t m = 0; m < makers.size(); ++m) {
        SCOPED_TRACE(m);
        std::unique_ptr<YavProxyIFMsgData> value = makers[m]();
        int written = 0;
        std::vector<unsigned char> bytes = yav_marshal_bytes(*value, &written);
        ASSERT_EQ(value->marshal(nullptr, 0), written);
        ASSERT_EQ(static_cast<int>(bytes.size()), written);
        {
            YavExactBlock whole(bytes);
            std::unique_ptr<YavProxyIFMsgData> reader = makers[m]();
            EXPECT_EQ(written, reader->unmarshal(whole.data(), whole.size()));
        }
        for (int len = 0; len < written; ++len) {
            YavExactBlock prefix(bytes.data(), static_cast<size_t>(len));
            std::unique_ptr<YavProxyIFMsgData> reader = makers[m]();
            EXPECT_LT(reader->unmarshal(prefix.data(), prefix.size()), 0) << "length " << len;
        }
        std::unique_ptr<YavProxyIFMsgData> reader = makers[m]();
        EXPECT_LT(reader->unmarshal(bytes.data(), -4), 0);
    }
}

// Random bytes: whatever is read stays inside the block and consumes a
// multiple of 4 bytes no larger than the block.
TEST(YavProxyIFMsgDataTest, RandomBytesStayInsideTheBlock) {
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int round = 0; round < 2000; ++round) {
        std::vector<unsigned char> bytes(next() % 40);
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(next() % 8 < 6 ? next() % 12 : next());
        YavExactBlock block(bytes);
        YavProxyIFMsgStringList list;
        int used = list.unmarshal(block.data(), block.size());
        if (used >= 0) {
            EXPECT_LE(used, block.size());
            EXPECT_EQ(0, used % 4);
            for (YavStringRef* e = list.get(); e != nullptr; e = list.get()) {
                EXPECT_GE(e->getData(), reinterpret_cast<const char*>(block.data()));
                EXPECT_LE(e->getData() + e->getLength(),
                          reinterpret_cast<const char*>(block.data() + block.size()));
            }
        }
        YavProxyIFMsgNameValue pair;
        used = pair.unmarshal(block.data(), block.size());
        if (used >= 0) {
            EXPECT_LE(used, block.size());
        }
    }
}

}  // namespace
