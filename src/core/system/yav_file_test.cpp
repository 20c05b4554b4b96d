#include "core/system/yav_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/memory/YavAllocator.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_test_tempdir.h"

namespace {

// Every test works in a fresh temporary directory, removed afterwards.
class YavFileTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_tmp.ok()) << m_tmp.error(); }

    std::string path(const std::string& name) const { return m_tmp.path(name); }
    void write(const std::string& name, const std::string& contents) {
        FILE* f = fopen(path(name).c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fwrite(contents.data(), 1, contents.size(), f);
        ASSERT_EQ(0, fclose(f));
    }
    std::string read(const std::string& name) {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    YavTestTempDir m_tmp{"yav_file_"};
};

std::string pattern_text(size_t size) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 7 + i / 253) & 0xFF);
    return text;
}

TEST_F(YavFileTest, CopyReplacesTheDestinationAndRefusesToHarmTheSource) {
    for (size_t size : {0, 1, 8192, 100000}) {
        write("source", pattern_text(size));
        write("copy", "older and longer contents that must go away entirely");
        ASSERT_EQ(0, yav_file_copy(path("source").c_str(), path("copy").c_str())) << size;
        EXPECT_EQ(pattern_text(size), read("copy")) << size;
    }
    ASSERT_EQ(0, symlink("source", path("alias").c_str()));
    mkfifo(path("fifo").c_str(), 0600);
    struct Case {
        const char* from;
        const char* to;
        yav_status_t status;
    };
    for (const Case& c : std::vector<Case>{{"source", "source", YAV_S_INVALID_SYS_INPUT},
                                           {"source", "alias", YAV_S_INVALID_SYS_INPUT},
                                           {".", "new", YAV_S_INVALID_SYS_INPUT},
                                           {"fifo", "new", YAV_S_INVALID_SYS_INPUT},
                                           {"missing", "new", YAV_S_NO_SUCH_RESOURCE},
                                           {"source", "no/dir", YAV_S_NO_SUCH_RESOURCE}}) {
        EXPECT_EQ(c.status, yav_file_copy(path(c.from).c_str(), path(c.to).c_str())) << c.from;
    }
    EXPECT_EQ(pattern_text(100000), read("source"));
    EXPECT_FALSE(yav_file_exists(path("new").c_str()));
}

TEST_F(YavFileTest, ManagesFilesDirectoriesAndTheirProperties) {
    write("a", "A");
    ASSERT_EQ(0, yav_file_rename(path("a").c_str(), path("b").c_str()));
    ASSERT_EQ(0, yav_file_symlink("b", path("link").c_str()));
    EXPECT_EQ("A", read("link"));
    EXPECT_EQ(YAV_S_SYS_ROUTINE_FAILED, yav_file_symlink("b", path("link").c_str()));
    ASSERT_EQ(0, yav_mkdir(path("sub").c_str(), 0750));
    EXPECT_EQ(0, yav_mkdir(path("sub").c_str(), 0750));  // already there
    EXPECT_EQ(YAV_S_SYS_ROUTINE_FAILED, yav_mkdir(path("b").c_str(), 0750));
    EXPECT_TRUE(yav_file_exists(path("b").c_str()) && !yav_dir_exists(path("b").c_str()));
    EXPECT_TRUE(yav_dir_exists(path("sub").c_str()) && !yav_file_exists(path("sub").c_str()));
    EXPECT_FALSE(yav_file_exists(path("a").c_str()) || yav_dir_exists(path("a").c_str()));

    yav_file_properties_t properties = {0604, static_cast<uid_t>(-1), getegid(), true, 0, 0};
    ASSERT_EQ(0, yav_set_file_properties(path("b").c_str(), &properties));
    ASSERT_EQ(0, yav_file_chown(path("sub").c_str(), getuid(), static_cast<gid_t>(-1)));
    ASSERT_EQ(0, yav_get_file_properties(path("link").c_str(), &properties));
    EXPECT_EQ(0604u, properties.mode);
    EXPECT_EQ(getuid(), properties.owner);
    EXPECT_EQ(getegid(), properties.group);
    EXPECT_EQ(1, properties.size);
    EXPECT_FALSE(properties.isDirectory);
    EXPECT_EQ(YAV_S_INVALID_SYS_INPUT, yav_get_file_properties(path("b/x").c_str(), &properties));

    ASSERT_EQ(0, yav_file_remove(path("b").c_str()));
    EXPECT_FALSE(yav_file_exists(path("link").c_str()));  // now dangling
    EXPECT_EQ(YAV_S_NO_SUCH_RESOURCE, yav_file_remove(path("b").c_str()));
    EXPECT_EQ(YAV_S_NO_SUCH_RESOURCE, yav_file_rename(path("b").c_str(), path("c").c_str()));
}

TEST_F(YavFileTest, TailGivesTheLastLinesThatFit) {
    const std::string big = std::string(10000, 'a') + "\n" + std::string(9000, 'b') + "\nend\n";
    struct Case {
        std::string contents;
        size_t lines;
        size_t size;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"", 3, 100, ""},
        {"one\ntwo\n", 0, 100, ""},
        {"one\ntwo\n", 5, 100, "one\ntwo\n"},
        {"one\ntwo\nthree\n", 2, 100, "two\nthree\n"},
        {"one\ntwo\nthree", 2, 100, "two\nthree"},
        {"a\n\n\n", 2, 100, "\n\n"},
        {big, 2, 20000, std::string(9000, 'b') + "\nend\n"},   // across read blocks
        {"first\nsecond\nthird\n", 3, 12, "third\n"},          // oldest lines dropped
        {"first\nsecond\nthird\n", 3, 14, "second\nthird\n"},  // cut at a line start
        {"x\n" + std::string(50, 'y') + "\n", 2, 11, std::string(9, 'y') + "\n"},
        {"\xC3\xA9\xC3\xA9\xC3\xA9", 1, 6, "\xC3\xA9\xC3\xA9"},  // no split character
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        write("log", cases[i].contents);
        std::vector<char> buffer(cases[i].size, '#');
        size_t length = 12345;
        ASSERT_EQ(0, yav_file_tail(path("log").c_str(), cases[i].lines, buffer.data(),
                                   buffer.size(), &length))
            << i;
        EXPECT_EQ(cases[i].expected, std::string(buffer.data(), length)) << i;
        EXPECT_EQ('\0', buffer[length]) << i;
    }
    char buffer[16];
    size_t length;
    EXPECT_EQ(YAV_S_INVALID_SYS_INPUT, yav_file_tail(m_tmp.path().c_str(), 1, buffer, 16, &length));
}

// An allocator that counts its blocks and refuses blocks above a limit.
class CountingAllocator : public YavAllocator {
  public:
    size_t m_live = 0;
    size_t m_limit = static_cast<size_t>(-1);

  protected:
    void* do_allocate(size_t size) override {
        void* block = size > m_limit ? nullptr : malloc(size);
        m_live += block != nullptr;
        return block;
    }
    void do_deallocate(void* ptr) override {
        --m_live;
        free(ptr);
    }
};

TEST_F(YavFileTest, ReadlineReadsLinesOfAnyLengthUntilMemoryRunsOut) {
    std::string longLine = pattern_text(70000);
    std::replace(longLine.begin(), longLine.end(), '\n', '.');
    const std::vector<std::string> expected = {"short", "", longLine, std::string("a\0b", 3),
                                               "last"};
    write("lines", "short\n\n" + longLine + "\n" + expected[3] + "\nlast");
    for (size_t limit : {static_cast<size_t>(-1), static_cast<size_t>(1024)}) {
        CountingAllocator allocator;
        allocator.m_limit = limit;
        FILE* f = fopen(path("lines").c_str(), "rb");
        ASSERT_NE(nullptr, f);
        char* line = nullptr;
        size_t capacity = 0, length = 0;
        std::vector<std::string> lines;
        yav_status_t status;
        while ((status = yav_file_readline(f, &allocator, &line, &capacity, &length)) == 0) {
            lines.emplace_back(line, length);
        }
        fclose(f);
        EXPECT_EQ('\0', line[length]);
        if (limit == static_cast<size_t>(-1)) {
            EXPECT_EQ(YAV_S_NOT_AVAILABLE, status);
            EXPECT_EQ(expected, lines);
        } else {
            EXPECT_EQ(YAV_S_NO_MEMORY, status);
            EXPECT_EQ(1024u, capacity);
            EXPECT_EQ(longLine.substr(0, length), std::string(line, length));
        }
        EXPECT_EQ(1u, allocator.m_live);  // the block grew; old blocks went back
        YavAllocator::deallocate(&allocator, line);
    }
}

TEST_F(YavFileTest, MakesTemporaryFilesAndRunsPipes) {
    std::string name = path("tmp.XXXXXX");
    int fd = -1;
    ASSERT_EQ(0, yav_mktemp(&name[0], &fd));
    EXPECT_EQ(5, ::write(fd, "hello", 5));
    close(fd);
    EXPECT_EQ("hello", read(yav_basename(name.c_str())));
    EXPECT_EQ(YAV_S_INVALID_SYS_INPUT, yav_mktemp(&path("no-template")[0], nullptr));
    EXPECT_STREQ("", yav_basename("dir/"));

    FILE* stream = nullptr;
    ASSERT_EQ(0, yav_popen("echo out; exit 3", "r", &stream));
    char* line = nullptr;
    size_t capacity = 0, length = 0;
    ASSERT_EQ(0, yav_file_readline(stream, nullptr, &line, &capacity, &length));
    EXPECT_EQ("out", std::string(line, length));
    free(line);
    int exitStatus = -1;
    ASSERT_EQ(0, yav_pclose(stream, &exitStatus));
    EXPECT_EQ(3, WEXITSTATUS(exitStatus));
    EXPECT_EQ(YAV_S_INVALID_SYS_INPUT, yav_popen("true", "x", &stream));
}

TEST_F(YavFileTest, ListsADirectoryWithoutDotEntriesOneBufferPerHandle) {
    std::vector<std::string> expected = {"alpha", "beta", std::string(255, 'n'), "sub"};
    for (size_t i = 0; i < 3; ++i) write(expected[i], "");
    mkdir(path("sub").c_str(), 0700);
    yav_dir_t first = nullptr, second = nullptr;
    ASSERT_EQ(0, yav_opendir(m_tmp.path().c_str(), &first));
    ASSERT_EQ(0, yav_opendir(m_tmp.path().c_str(), &second));
    std::vector<std::string> seen[2];
    for (const char *a = yav_readdir(first), *b = yav_readdir(second); a != nullptr;
         a = yav_readdir(first), b = yav_readdir(second)) {
        ASSERT_TRUE(b != nullptr && a != b);  // interleaved reads share no entry
        seen[0].push_back(a);
        seen[1].push_back(b);
    }
    yav_closedir(first);
    yav_closedir(second);
    for (std::vector<std::string>& names : seen) {
        std::sort(names.begin(), names.end());
        EXPECT_EQ(expected, names);
    }
    EXPECT_EQ(YAV_S_NO_SUCH_RESOURCE, yav_opendir(path("missing").c_str(), &first));
    EXPECT_EQ(nullptr, first);
    EXPECT_EQ(YAV_S_INVALID_SYS_INPUT, yav_opendir(path("alpha").c_str(), &first));
}

// The tests' temporary directory: everything below it goes, links are removed
// rather than followed, and a directory that cannot be made is reported.
TEST(YavTestTempDirTest, RemovesItsTreeButNothingALinkPointsTo) {
    YavTestTempDir outside("yav_tempdir_outside_");
    ASSERT_TRUE(outside.ok()) << outside.error();
    ASSERT_EQ(0, mkdir(outside.path("kept").c_str(), 0700));
    fclose(fopen(outside.path("kept/file").c_str(), "w"));

    std::string top;
    {
        YavTestTempDir dir("yav_tempdir_");
        ASSERT_TRUE(dir.ok()) << dir.error();
        top = dir.path();
        EXPECT_EQ(top + "/a/b", dir.path("a/b"));
        ASSERT_EQ(0, mkdir(dir.path("a").c_str(), 0700));
        ASSERT_EQ(0, mkdir(dir.path("a/b").c_str(), 0700));
        fclose(fopen(dir.path("a/b/file").c_str(), "w"));
        fclose(fopen(dir.path("a/file").c_str(), "w"));
        ASSERT_EQ(0, symlink(outside.path("kept").c_str(), dir.path("dirlink").c_str()));
        ASSERT_EQ(0, symlink(outside.path("kept/file").c_str(), dir.path("a/filelink").c_str()));
        ASSERT_EQ(0, symlink("/nonexistent", dir.path("dangling").c_str()));

        // clear() empties the directory and keeps it.
        ASSERT_TRUE(dir.clear()) << strerror(errno);
        EXPECT_TRUE(yav_dir_exists(top.c_str()));
        yav_dir_t listing = nullptr;
        ASSERT_EQ(0, yav_opendir(top.c_str(), &listing));
        EXPECT_EQ(nullptr, yav_readdir(listing));
        yav_closedir(listing);
        EXPECT_TRUE(yav_file_exists(outside.path("kept/file").c_str()));

        ASSERT_EQ(0, mkdir(dir.path("again").c_str(), 0700));
        ASSERT_EQ(0, symlink(outside.path("kept").c_str(), dir.path("again/link").c_str()));
    }
    struct stat st;
    EXPECT_NE(0, lstat(top.c_str(), &st)) << top << " is still there";
    EXPECT_TRUE(yav_file_exists(outside.path("kept/file").c_str()));

    // remove() reports and ends the directory early.
    ASSERT_TRUE(outside.remove()) << strerror(errno);
    EXPECT_FALSE(outside.ok());
    EXPECT_TRUE(outside.remove());  // nothing left to remove
}

}  // namespace
