#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config_mgr/YavConfigBoolean.h"
#include "config_mgr/YavConfigEnum.h"
#include "config_mgr/YavConfigInt.h"
#include "config_mgr/YavConfigLCPString.h"
#include "config_mgr/YavConfigMVEnum.h"
#include "config_mgr/YavConfigMVInt.h"
#include "config_mgr/YavConfigMVLCPString.h"
#include "config_mgr/YavConfigMVString.h"
#include "config_mgr/YavConfigString.h"
#include "core/msg/yav_status.h"

namespace {

template <class Value, class Ref>
std::vector<std::string> itemsOf(Value& value) {
    std::vector<std::string> out;
    value.resetIterator();
    Ref item;
    while (value.next(&item)) out.emplace_back(item.getData(), item.getLength());
    return out;
}

std::vector<std::string> itemsOf(YavConfigMVString& value) {
    return itemsOf<YavConfigMVString, YavStringRef>(value);
}

TEST(YavConfigBooleanTest, AcceptsOnlyTheFourLowerCaseWords) {
    struct Case {
        const char* text;
        yav_status_t status;
        bool value;
    };
    const Case cases[] = {
        {"yes", 0, true},
        {"true", 0, true},
        {"no", 0, false},
        {"false", 0, false},
        {"Yes", YAV_S_INVALID_VALUE, false},
        {"", YAV_S_INVALID_VALUE, false},
        {"yes ", YAV_S_INVALID_VALUE, false},
        {"1", YAV_S_INVALID_VALUE, false},
    };
    for (const Case& c : cases) {
        YavConfigBoolean value;
        EXPECT_EQ(c.status, value.setValue(YavStringRef(c.text))) << c.text;
        EXPECT_EQ(c.status == 0, value.isSet()) << c.text;
        EXPECT_EQ(c.value, value.getValue()) << c.text;
        // A refused text keeps the previous value.
        YavConfigBoolean local;
        ASSERT_EQ(0u, local.setValue(YavStringRef("yes")));
        EXPECT_EQ(c.status, local.setLCPValue(YavLCPStringRef(c.text))) << c.text;
        EXPECT_EQ(c.status == 0 ? c.value : true, local.getValue()) << c.text;
    }
    YavConfigBoolean value;
    ASSERT_EQ(0u, value.setValue(YavStringRef("false")));
    EXPECT_EQ(3, value.getIndex());
    EXPECT_STREQ("true", YavConfigBoolean::toString(true));
    EXPECT_STREQ("false", YavConfigBoolean::toString(false));
}

TEST(YavConfigEnumTest, IndexAndTextOfTheMatchedValue) {
    const char* const allowed[] = {"low", "medium", "high", nullptr};
    YavConfigEnum value(allowed);
    EXPECT_EQ(-1, value.getIndex());
    EXPECT_EQ(nullptr, value.getValue());
    ASSERT_EQ(0u, value.setValue(YavStringRef("medium")));
    EXPECT_EQ(1, value.getIndex());
    EXPECT_STREQ("medium", value.getValue()->getData());
    EXPECT_EQ(YAV_S_INVALID_VALUE, value.setValue(YavStringRef("HIGH")));
    EXPECT_EQ(YAV_S_INVALID_VALUE, value.setValue(YavStringRef("hig")));
    EXPECT_EQ(1, value.getIndex());
    ASSERT_EQ(0u, value.setLCPValue(YavLCPStringRef("high")));
    EXPECT_EQ(2, value.getIndex());

    // A copy over the same list behaves alike.
    YavConfigEnum copy(value.allowedValues());
    ASSERT_EQ(0u, copy.constructStatus());
    ASSERT_EQ(0u, copy.setValue(YavStringRef("low")));
    EXPECT_EQ(0, copy.getIndex());
    EXPECT_EQ(3u, copy.allowedValues().count());
}

TEST(YavConfigIntTest, BasesTrailingTextAndOverflow) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"0x1F", true, 31},
        {"0X1f", true, 31},
        {"010", true, 8},
        {"12 ", true, 12},
        {" 7", true, 7},
        {"-42", true, -42},
        {"", true, 0},
        {"0", true, 0},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"12a", false, 0},
        {"12 a", false, 0},
        {"99999999999", false, 0},
        {"-99999999999", false, 0},
        {"2147483648", false, 0},
        {"0x", false, 0},
        {"08", false, 0},
        {"-", false, 0},
    };
    for (const Case& c : cases) {
        YavConfigInt value;
        ASSERT_EQ(0u, value.setValue(YavStringRef("5")));
        yav_status_t status = value.setValue(YavStringRef(c.text));
        EXPECT_EQ(c.ok ? 0u : YAV_S_INVALID_VALUE, status) << c.text;
        EXPECT_EQ(c.ok ? c.value : 5, value.getValue()) << c.text;
        YavConfigInt local;
        EXPECT_EQ(c.ok, local.setLCPValue(YavLCPStringRef(c.text)) == 0) << c.text;
        EXPECT_EQ(c.ok, local.isSet()) << c.text;
    }
    char buffer[YavConfigInt::kBufferSize];
    EXPECT_STREQ("-2147483648", YavConfigInt::toString(-2147483647 - 1, buffer));
}

TEST(YavConfigStringTest, StoresAnyTextAndReplaces) {
    YavConfigString value;
    EXPECT_FALSE(value.isSet());
    ASSERT_EQ(0u, value.setValue(YavStringRef("")));
    EXPECT_TRUE(value.isSet());
    EXPECT_STREQ("", value.getValue().getData());
    ASSERT_EQ(0u, value.setValue(YavStringRef("first, second")));
    ASSERT_EQ(0u, value.setLCPValue(YavLCPStringRef("third")));
    EXPECT_STREQ("third", value.getValue().getData());

    YavConfigLCPString local;
    ASSERT_EQ(0u, local.setValue(YavStringRef("a = b")));
    EXPECT_STREQ("a = b", local.getValue().getData());
    ASSERT_EQ(0u, local.setLCPValue(YavLCPStringRef("")));
    EXPECT_TRUE(local.isSet());
    EXPECT_EQ(0, local.getValue().getLength());
}

TEST(YavConfigMultiValueTest, SplitsAtCommas) {
    struct Case {
        const char* text;
        std::vector<std::string> items;
    };
    const std::vector<Case> cases = {
        {"a", {"a"}},
        {"a, b", {"a", "b"}},
        {"a,b ,  c", {"a", "b ", "c"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {",a", {"", "a"}},
        {"a, ", {"a", ""}},
        {"\"x, y\"", {"\"x", "y\""}},
        {"\tx", {"x"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases) {
        YavConfigMVString value;
        ASSERT_EQ(0u, value.setValue(YavStringRef(c.text))) << c.text;
        EXPECT_TRUE(value.isSet()) << c.text;
        EXPECT_TRUE(value.isMultiValued());
        EXPECT_EQ(c.items, itemsOf(value)) << c.text;
        EXPECT_EQ(c.items.size(), value.entries()) << c.text;
        EXPECT_STREQ(c.text, value.getValue().getData());
    }
}

TEST(YavConfigMultiValueTest, StoresAppendAndJoinTheRawValue) {
    YavConfigMVString value;
    ASSERT_EQ(0u, value.setValue(YavStringRef("a, b")));
    ASSERT_EQ(0u, value.setLCPValue(YavLCPStringRef("c")));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), itemsOf(value));
    EXPECT_STREQ("a, b,c", value.getValue().getData());

    YavConfigMVString whole;
    whole.setIgnoreCommas(true);
    ASSERT_EQ(0u, whole.setValue(YavStringRef("a, b")));
    ASSERT_EQ(0u, whole.setValue(YavStringRef("c")));
    ASSERT_EQ(0u, whole.setValue(YavStringRef("")));
    EXPECT_EQ((std::vector<std::string>{"a, b", "c", ""}), itemsOf(whole));
    EXPECT_STREQ("a, b,c,", whole.getValue().getData());
}

TEST(YavConfigMultiValueTest, LocalCodePageFormKeepsItsItems) {
    YavConfigMVLCPString value;
    ASSERT_EQ(0u, value.setLCPValue(YavLCPStringRef("x, y")));
    ASSERT_EQ(0u, value.setValue(YavStringRef(" z")));
    EXPECT_EQ((std::vector<std::string>{"x", "y", "z"}),
              (itemsOf<YavConfigMVLCPString, YavLCPStringRef>(value)));
    EXPECT_STREQ("x, y, z", value.getValue().getData());
}

TEST(YavConfigMVIntTest, ConvertsEveryItemAndABadOneClearsTheValue) {
    YavConfigMVInt value;
    auto numbers = [&value] {
        std::vector<int> out;
        int n;
        while (value.next(&n)) out.push_back(n);
        return out;
    };
    ASSERT_EQ(0u, value.setValue(YavStringRef("1, 0x10, 010, -3")));
    EXPECT_EQ((std::vector<int>{1, 16, 8, -3}), numbers());
    EXPECT_FALSE(value.parseFailed());
    // Each store restarts the iteration; the items stay readable and the
    // bad one reports itself.
    EXPECT_EQ(YAV_S_INVALID_SYS_INPUT, value.setLCPValue(YavLCPStringRef("5, five")));
    EXPECT_FALSE(value.isSet());
    EXPECT_EQ((std::vector<int>{1, 16, 8, -3, 5, 0}), numbers());
    EXPECT_TRUE(value.parseFailed());
}

TEST(YavConfigMVEnumTest, OneEnumPerAllowedItem) {
    const char* const allowed[] = {"get", "put", "post", nullptr};
    YavConfigMVEnum value(allowed);
    ASSERT_EQ(0u, value.setValue(YavStringRef("post, get")));
    ASSERT_EQ(0u, value.setValue(YavStringRef("put")));
    std::vector<int> indexes;
    YavConfigEnum* e;
    while (value.next(&e)) indexes.push_back(e->getIndex());
    EXPECT_EQ((std::vector<int>{2, 0, 1}), indexes);
    EXPECT_TRUE(value.isSet());

    EXPECT_EQ(YAV_S_INVALID_VALUE, value.setLCPValue(YavLCPStringRef("get, GET")));
    EXPECT_FALSE(value.isSet());
}

}  // namespace
