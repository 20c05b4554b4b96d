#include "core/system/yav_shlib.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"
#include "core/sundry/yav_utf8.h"
#include "core/system/yav_test_tempdir.h"

namespace {

TEST(YavShlibTest, OpensResolvesAndReportsFailuresWithTheSystemText) {
    yav_shlib_handle_t handle = nullptr;
    char error[256] = "stale";
    ASSERT_EQ(0, yav_shlib_open("libm.so.6", &handle, error, sizeof error));
    EXPECT_STREQ("", error);
    void* address = nullptr;
    ASSERT_EQ(0, yav_shlib_resolve(handle, "cos", &address, error, sizeof error));
    EXPECT_DOUBLE_EQ(1.0, reinterpret_cast<double (*)(double)>(address)(0.0));

    EXPECT_EQ(YAV_S_MODULE_OPEN,
              yav_shlib_resolve(handle, "yav_no_such_symbol", &address, error, sizeof error));
    EXPECT_EQ(nullptr, address);
    EXPECT_NE(nullptr, strstr(error, "yav_no_such_symbol")) << error;
    EXPECT_EQ(0, yav_shlib_close(handle));

    EXPECT_EQ(YAV_S_MODULE_OPEN, yav_shlib_open("libyav-none.so", &handle, error, sizeof error));
    EXPECT_EQ(nullptr, handle);
    EXPECT_NE(nullptr, strstr(error, "libyav-none.so")) << error;
    char small[12];
    EXPECT_EQ(YAV_S_MODULE_OPEN, yav_shlib_open("libyav-none.so", &handle, small, sizeof small));
    EXPECT_EQ(sizeof small - 1, strlen(small));
    EXPECT_TRUE(yav_validate_utf8_buffer(small, strlen(small)));
    EXPECT_EQ(YAV_S_INVALID_VALUE, yav_shlib_open(nullptr, &handle, nullptr, 0));
}

TEST(YavShlibTest, OpenPathSearchesTheDirectoriesThenTheSystem) {
    // Links to the real libm, found through a symbol it defines.
    Dl_info info;
    ASSERT_NE(0, dladdr(dlsym(RTLD_DEFAULT, "cos"), &info));
    char libm[PATH_MAX];
    ASSERT_NE(nullptr, realpath(info.dli_fname, libm));
    YavTestTempDir tmp("yav_shlib_");
    ASSERT_TRUE(tmp.ok()) << tmp.error();
    const std::string dir = tmp.path();
    const std::vector<std::string> links = {"plain", "libprefixed.so", "suffixed.so", "toolong"};
    for (const std::string& name : links) symlink(libm, (dir + "/" + name).c_str());
    FILE* broken = fopen((dir + "/libm.so.6").c_str(), "w");
    ASSERT_NE(nullptr, broken);
    fputs("not a module\n", broken);
    fclose(broken);

    struct Case {
        const char* name;
        std::vector<const char*> dirs;
        yav_status_t status;
        std::string found;
        size_t foundSize;
    };
    const char* none = "/nonexistent";
    const std::vector<Case> cases = {
        {"plain", {none, "", dir.c_str(), nullptr}, 0, dir + "/plain", PATH_MAX},
        {"prefixed", {dir.c_str(), nullptr}, 0, dir + "/libprefixed.so", PATH_MAX},
        {"suffixed", {dir.c_str(), nullptr}, 0, dir + "/suffixed.so", PATH_MAX},
        {"libm.so.6", {none, nullptr}, 0, "libm.so.6", PATH_MAX},  // the system's search
        // An existing candidate that does not open ends the search, even
        // though the system would find a libm.so.6.
        {"libm.so.6", {dir.c_str(), nullptr}, YAV_S_MODULE_OPEN, "", PATH_MAX},
        {"toolong", {dir.c_str(), nullptr}, YAV_S_INVALID_VALUE, "", 8},
    };
    for (const Case& c : cases) {
        yav_shlib_handle_t handle = nullptr;
        char found[PATH_MAX] = "";
        char error[512] = "";
        EXPECT_EQ(c.status, yav_shlib_open_path(c.name, c.dirs.data(), &handle, found, c.foundSize,
                                                error, sizeof error))
            << c.name << ": " << error;
        EXPECT_EQ(c.found, found) << c.name;
        EXPECT_EQ(c.status == 0, handle != nullptr) << c.name;
        if (handle != nullptr) {
            EXPECT_EQ(0, yav_shlib_close(handle));
        }
    }
}

}  // namespace
