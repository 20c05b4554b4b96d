#include "core/system/yav_paths.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/system/yav_paths_internal.h"
#include "core/system/yav_test_tempdir.h"

namespace {

TEST(YavPathsTest, TableHoldsEveryDirectoryBelowItsPrefix) {
    const std::vector<std::string> expected = {
        YAV_PREFIX "/bin/",       YAV_PREFIX "/etc/",        YAV_VAR_PREFIX "/log/",
        YAV_PREFIX "/sbin/",      YAV_PREFIX "/lib/",        "",  // 5: localized, below
        YAV_VAR_PREFIX "/db/",    YAV_VAR_PREFIX "/keytab/", YAV_ETC_PREFIX "/init.d/",
        YAV_ETC_PREFIX "/rc3.d/", YAV_VAR_PREFIX "/sm/",     YAV_PREFIX "/plugin/lib/",
        YAV_PREFIX "/nls/msg/",   YAV_KR_PREFIX "/nls/ULQ/", YAV_PREFIX "/nls/html/",
        YAV_RUN_PREFIX "/lib/",   YAV_VAR_PREFIX "/log/"};
    ASSERT_EQ(static_cast<size_t>(YAV_DB_LAST_ENTRY), expected.size());
    for (int i = YAV_BIN_DIR; i < YAV_DB_LAST_ENTRY; ++i) {
        std::string path = yav_get_path(i);
        if (i != YAV_HTML_LANG_DIR) {
            EXPECT_EQ(expected[i], path) << i;
        }
        EXPECT_TRUE(path.front() == '/' && path.back() == '/') << path;
        EXPECT_EQ(std::string::npos, path.find("//")) << path;
    }
    EXPECT_EQ(0u,
              std::string(yav_get_path(YAV_HTML_LANG_DIR)).rfind(yav_get_path(YAV_HTML_DIR), 0));
}

TEST(YavPathsDeathTest, IndexOutsideTheTableStopsTheProcess) {
    const char* message =
        "Assertion failed at .*yav_paths\\.cpp:[0-9]+: \\(dir_type >= YAV_BIN_DIR\\) && "
        "\\(dir_type < YAV_DB_LAST_ENTRY\\)";
    EXPECT_DEATH(yav_get_path(YAV_DB_LAST_ENTRY), message);
    EXPECT_DEATH(yav_get_path(-1), message);
}

TEST(YavPathsTest, CodeSetPrefixAnswersOnlyToItsOwnName) {
    EXPECT_STREQ(YAV_KR_PREFIX, yav_get_kr_path());
    EXPECT_STREQ(YAV_KR_PREFIX, yav_kr_get_path(YAV_KR_PREFIX));
    for (const char* other : {YAV_KR_PREFIX "/", "/opt", "", static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(nullptr, yav_kr_get_path(other)) << (other != nullptr ? other : "null");
    }
}

TEST(YavPathsTest, CanonicalizeTrimsBlanksCollapsesSlashesAndDropsTheFinalSlash) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"  /opt//tessaro/etc/  ", "/opt/tessaro/etc"},
        {"\t /a///b\t \t", "/a/b"},
        {"relative//dir//", "relative/dir"},
        {"/a b/c d ", "/a b/c d"},  // inner blanks stay
        {"////", ""},               // the root loses its only "/"
        {"  \t ", ""},
        {"/x/ /", "/x/ "},  // that blank is not trailing
    };
    for (const auto& c : cases) {
        std::string buffer = c.first;
        yav_canonicalize_path(&buffer[0]);
        EXPECT_EQ(c.second, std::string(buffer.c_str())) << "[" << c.first << "]";
    }
    yav_canonicalize_path(nullptr);
}

TEST(YavPathsTest, LocaleNameComesFromLcAllThenLcMessages) {
    char buffer[64];
    EXPECT_STREQ("fr_FR", yav_paths_locale_name("fr_FR", "de_DE", buffer, sizeof buffer));
    EXPECT_STREQ("de_DE", yav_paths_locale_name("", "de_DE", buffer, sizeof buffer));
    char tiny[1];  // the system's name does not fit: "C"
    EXPECT_STREQ("C", yav_paths_locale_name(nullptr, "", tiny, sizeof tiny));
}

TEST(YavPathsTest, LocalizedDirectoryIsTheFirstExistingCandidate) {
    YavTestTempDir dir("yav_paths_");
    ASSERT_TRUE(dir.ok()) << dir.error();
    const std::string base = dir.path() + "/";
    struct Case {
        std::vector<std::string> dirs;  // a name ending in "!" is a plain file
        const char* locale;
        const char* expected;  // "" = the base itself
    };
    // "deu_DE" keeps the three name candidates apart: deu_DE, de, deu.
    const std::vector<Case> cases = {
        {{"deu_DE", "de", "deu", "C"}, "deu_DE.ISO8859-1@euro", "deu_DE/"},
        {{"de", "deu", "C"}, "deu_DE.UTF-8", "de/"},
        {{"deu", "C"}, "deu_DE", "deu/"},
        {{"deu_DE!", "C"}, "deu_DE", "C/"},
        {{"en_US", "C"}, "deu_DE", "C/"},
        {{}, "deu_DE", ""},
        // A locale that would leave the base directory is never followed.
        {{"a", "C"}, "a/..", "C/"},
        {{"C"}, "../..", "C/"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(dir.clear()) << strerror(errno);
        for (const std::string& d : c.dirs) {
            if (d.back() != '!') {
                ASSERT_EQ(0, mkdir((base + d).c_str(), 0700));
            } else {
                fclose(fopen((base + d.substr(0, d.size() - 1)).c_str(), "w"));
            }
        }
        char out[4096];
        size_t length = yav_paths_localized_dir(base.c_str(), c.locale, out, sizeof out);
        EXPECT_EQ(base + c.expected, out) << c.locale;
        EXPECT_EQ(strlen(out), length);
        // A base without its "/" gains one; a buffer with room for the base
        // alone gives the base.
        std::string bare = base.substr(0, base.size() - 1);
        yav_paths_localized_dir(bare.c_str(), c.locale, out, sizeof out);
        EXPECT_EQ(base + c.expected, out) << c.locale;
        yav_paths_localized_dir(base.c_str(), c.locale, out, base.size() + 2);
        EXPECT_EQ(base, out);
    }
}

}  // namespace
