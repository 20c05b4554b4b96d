#include "plugin/core/YavActionGroup.h"

#include <gtest/gtest.h>

#include <string>

#include "core/msg/yav_status.h"
#include "plugin/core/yav_authz_test_aids.h"

namespace {

std::string text(const YavString* s) {
    return s != nullptr ? std::string(s->getData(), s->getLength()) : "<unset>";
}

TEST(YavActionGroupTest, FailedAllocationKeepsOldNameAndActions) {
    YavAuthzTestAllocator allocator;
    YavActionGroup* group = new (&allocator) YavActionGroup(&allocator);
    ASSERT_NE(nullptr, group);
    allocator.refuseFrom = allocator.granted;
    EXPECT_EQ(YAV_S_NO_MEMORY, group->setName(YavStringRef("g")));
    EXPECT_EQ(nullptr, group->getName());
    allocator.refuseFrom = -1;
    ASSERT_EQ(0u, group->setName(YavStringRef("g")));

    allocator.refuseFrom = allocator.granted;
    EXPECT_EQ(YAV_S_NO_MEMORY, group->addActions(YavStringRef("ab")));
    EXPECT_EQ(nullptr, group->getActions());
    allocator.refuseFrom = -1;
    ASSERT_EQ(0u, group->addActions(YavStringRef("ab")));

    // Growing past the inline buffer needs a heap block.
    allocator.refuseFrom = allocator.granted;
    const std::string longActions(300, 'x');
    EXPECT_EQ(YAV_S_NO_MEMORY, group->addActions(YavStringRef(longActions.c_str())));
    EXPECT_EQ("ab", text(group->getActions()));
    EXPECT_EQ(YAV_S_NO_MEMORY, group->setName(YavStringRef(longActions.c_str())));
    EXPECT_EQ("g", text(group->getName()));
    allocator.refuseFrom = -1;
    ASSERT_EQ(0u, group->addActions(YavStringRef(longActions.c_str())));
    EXPECT_EQ("ab" + longActions, text(group->getActions()));

    delete group;
    EXPECT_EQ(0, allocator.live);
}

TEST(YavActionGroupDeathTest, NullArgumentsAndUnnamedGroupsAreInternalErrors) {
    YavActionGroup unnamed;
    EXPECT_DEATH(unnamed.addActions(YavStringRef("a")), "m_name != nullptr");
    EXPECT_DEATH(unnamed.match(YavStringRef("a")), "m_name != nullptr");
    YavActionGroup group;
    ASSERT_EQ(0u, group.setName(YavStringRef("g")));
    EXPECT_DEATH(group.addActions(static_cast<const YavString*>(nullptr)), "actions != nullptr");
    EXPECT_DEATH(group.checkActions(static_cast<const YavString*>(nullptr)), "actions != nullptr");
}

}  // namespace
