#include "core/msg/yav_msg_table.h"

#include <gtest/gtest.h>

#include "core/msg/yav_status.h"

TEST(YavMsgTableTest, FindsTextsOfTheFirstMiddleAndLastCodes) {
    ASSERT_GT(yav_default_msg_count, 2u);
    for (unsigned i = 1; i < yav_default_msg_count; ++i) {
        ASSERT_LT(yav_default_msg_table[i - 1].code, yav_default_msg_table[i].code);
    }
    for (unsigned i : {0u, yav_default_msg_count / 2, yav_default_msg_count - 1}) {
        EXPECT_EQ(kr_msg_get_default_msg(yav_default_msg_table[i].code),
                  yav_default_msg_table[i].text);
    }
    EXPECT_STREQ(kr_msg_get_default_msg(YAV_S_NOT_SUPPORTED),
                 "QRXIC0001E   The requested functionality is not currently supported.");
}

TEST(YavMsgTableTest, UnknownCodesHaveNoText) {
    EXPECT_EQ(kr_msg_get_default_msg(0), nullptr);
    EXPECT_EQ(kr_msg_get_default_msg(YAV_S_NOT_SUPPORTED - 1), nullptr);
    EXPECT_EQ(kr_msg_get_default_msg(0xffffffffU), nullptr);
}
