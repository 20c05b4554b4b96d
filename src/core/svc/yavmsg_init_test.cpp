#include "core/svc/yavmsg_init.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "core/msg/yav_status.h"
#include "core/svc/kr_printf.h"
#include "core/svc/kr_svc.h"
#include "core/svc/kr_svc_test_aids.h"
#include "core/system/yav_paths.h"
#include "core/ulq/ulq.h"

namespace {

using svc_test::inChild;

// The directory of the table without its final '/'.
std::string dir(int type) {
    std::string d = yav_get_path(type);
    if (d.size() > 1 && d.back() == '/') d.pop_back();
    return d;
}

#define CHECK_IN_CHILD(cond) \
    if (!(cond)) return std::string("failed: ") + #cond

// yavmsg_init changes the process (locale, environment, default code set),
// so every case runs in a child of its own.
TEST(YavmsgInitTest, FirstCallSetsUpTheProcessAndLaterCallsOnlyReturnOne) {
    std::string result = inChild([]() -> std::string {
        unsetenv("NLSPATH");
        ulq_set_dir("/elsewhere/ULQ");
        kr_svc_handle_t pic = yav_svc_plugin_handle();
        kr_svc_set_debug_level(pic, yav_svc_memory, 3);

        CHECK_IN_CHILD(yavmsg_init("/usr/local/bin/myprog", 1) == 1);
        CHECK_IN_CHILD(yavmsg_init("/bin/other", 0) == 1);

        std::string msg = dir(YAV_MSG_DIR);
        const char* nlspath = getenv("NLSPATH");
        CHECK_IN_CHILD(nlspath != nullptr && nlspath == msg + "/%L/%N:" + msg + "/%L/%N.cat:");
        const char* ulqdir = getenv("ULQDIR");
        CHECK_IN_CHILD(ulqdir != nullptr && ulqdir == dir(YAV_ULQ_DIR));
        CHECK_IN_CHILD(ulq_get_dir() == dir(YAV_ULQ_DIR));
        CHECK_IN_CHILD(ulq_cs_is_utf8(ulq_get_def_cs()) == 1);

        char* text = kr_pgm_sprintf(YAV_S_NO_MEMORY);
        std::string printed = text != nullptr ? text : "";
        free(text);
        CHECK_IN_CHILD(printed == "myprog: QRXIC0012E   Memory could not be allocated.");

        // "pic" is the static handle, with the level set before.
        uint32_t status = 1;
        CHECK_IN_CHILD(kr_svc_register(yav_svc_plugin_subcomps, "pic", &status) == pic);
        CHECK_IN_CHILD(kr_svc_debug_level(pic, yav_svc_memory) == 3);
        kr_svc_handle_t pco = yav_svc_config_handle();
        CHECK_IN_CHILD(pco != nullptr);
        CHECK_IN_CHILD(kr_svc_subcomp_count(pco) == 1);
        CHECK_IN_CHILD(kr_svc_subcomp_name_code(pco, 0) == YAV_PCO_T_CONFIG);
        const kr_svc_subcomp_t other[] = {{"X", 0}, {nullptr, 0}};
        CHECK_IN_CHILD(kr_svc_register(other, "pco", &status) == pco);
        uint32_t levels = 1;
        kr_svc_debug_set_levels("pco:Common.2", &levels);
        CHECK_IN_CHILD(levels == 0 && kr_svc_debug_level(pco, 0) == 2);
        return "";
    });
    EXPECT_EQ("", result);
}

TEST(YavmsgInitTest, SearchPathsAlreadyHoldingTheDirectoriesAreKept) {
    std::string result = inChild([]() -> std::string {
        std::string kept = "/x/%N:" + dir(YAV_MSG_DIR) + "/%L/%N";
        setenv("NLSPATH", kept.c_str(), 1);
        ulq_set_dir((dir(YAV_ULQ_DIR) + "/").c_str());
        unsetenv("ULQDIR");
        setenv("LC_ALL", "C", 1);  // the locale yavmsg_init sets: ASCII
        CHECK_IN_CHILD(yavmsg_init("plain", 0) == 1);
        CHECK_IN_CHILD(getenv("NLSPATH") == kept);
        CHECK_IN_CHILD(getenv("ULQDIR") == nullptr);
        CHECK_IN_CHILD(ulq_cs_is_utf8(ulq_get_def_cs()) == 0);
        return "";
    });
    EXPECT_EQ("", result);

    result = inChild([]() -> std::string {
        setenv("NLSPATH", "/old/%N", 1);
        CHECK_IN_CHILD(yavmsg_init(nullptr, 0) == 1);
        std::string msg = dir(YAV_MSG_DIR);
        CHECK_IN_CHILD(getenv("NLSPATH") == msg + "/%L/%N:" + msg + "/%L/%N.cat:/old/%N");
        return "";
    });
    EXPECT_EQ("", result);
}

}  // namespace
