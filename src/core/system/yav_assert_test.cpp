#include "core/system/yav_assert.h"

#include <gtest/gtest.h>

TEST(YavAssertDeathTest, FailingAssertionPrintsLocationAndExpressionThenAborts) {
    EXPECT_DEATH(
        {
            int forty_two = 41;
            YAV_ASSERT(forty_two == 42);
        },
        "^Assertion failed at .*yav_assert_test\\.cpp:[0-9]+: forty_two == 42\n");
}
