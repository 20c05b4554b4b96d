#include "urc/plugin/yav_obj_get_parent.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(YavObjGetParentTest, ShortensToParentOrRefuses) {
    struct Case {
        const char* name;
        bool hasParent;
        const char* parent;  // the name afterwards
    } cases[] =
        {
            {"/a/b/c", true, "/a/b"}, {"/a", true, "/"},
            {"/a/b/", true, "/a"},  // a trailing "/" is not a separator
            {"/a/", true, "/"},       {"//", true, "/"},
            {"/a//b", true, "/a/"},   {"/", false, "/"},
            {"", false, ""},          {"a/b", false, "a/b"},  // not rooted
            {"ab", false, "ab"},
        };
    for (const Case& c : cases) {
        YavString name(c.name);
        EXPECT_EQ(c.hasParent, yav_obj_get_parent(name)) << c.name;
        EXPECT_EQ(std::string(c.parent), std::string(name.getData(), name.getLength())) << c.name;
    }
}

}  // namespace
