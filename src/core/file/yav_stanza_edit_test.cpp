// Editing stanza files: every edit is checked against the whole file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "core/file/yav_stanza.h"
#include "core/file/yav_stanza_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

using stz_test::HandleCloser;
using stz_test::LogCapture;
using stz_test::readFile;
using stz_test::StanzaTest;
using Handle = std::unique_ptr<yavStanzaFile, HandleCloser>;

std::string scratchPath() { return "/tmp/stzlink" + std::to_string(getpid()); }

// Removes whatever a test plants at the scratch name, also when it fails.
struct ScratchCleaner {
    ScratchCleaner() { clean(); }
    ~ScratchCleaner() { clean(); }
    static void clean() {
        unlink(scratchPath().c_str());
        rmdir(scratchPath().c_str());
    }
};

class StanzaEditTest : public StanzaTest {
  protected:
    ScratchCleaner m_scratch;
};

TEST_F(StanzaEditTest, AddEntryWritesAtTheEndOfAMiddleOrLastStanza) {
    const std::string text = "# top\n[a]\nx = 1\n\n# about b\n[b]\ny=2 # keep me\n";
    struct Case {
        std::string text;
        const char* stanza;
        const char* name;
        const char* value;
        std::string expected;
    };
    const Case cases[] = {
        {text, "a", "new", "v", "# top\n[a]\nx = 1\n\n# about b\nnew = v\n[b]\ny=2 # keep me\n"},
        {text, "b", "new", "v", text + "new = v\n"},
        {text, "b", "empty", nullptr, text + "empty = \n"},
        // An existing name is changed in place (its comment is lost).
        {text, "b", "y", "3", "# top\n[a]\nx = 1\n\n# about b\n[b]\ny = 3\n"},
        // After a last line without a newline: on a line of its own.
        {"[a]\nx = 1", "a", "y", "2", "[a]\nx = 1\ny = 2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stanza) + " " + c.name);
        std::string path = file(c.text);
        Handle h(open(path, YAV_STZ_UPDATE));
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(1, yavStzMoveStanza(h.get(), c.stanza));
        yavStzAddEntry(h.get(), c.name, c.value);
        EXPECT_EQ(0u, h->status);
        EXPECT_EQ(c.expected, readFile(path));
        EXPECT_STREQ(c.name, h->entryName);
        EXPECT_EQ(c.value == nullptr, h->value == nullptr);
        EXPECT_EQ(static_cast<long>(c.expected.find(std::string(c.name) + " = ")), h->lineOffset);
        // The stream stands after the new line: the stanza's end is next.
        ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
        EXPECT_EQ(nullptr, h->entryName);
    }
}

TEST_F(StanzaEditTest, ChangeValueRewritesTheCurrentLineOnly) {
    std::string path = file("[a]\n  x=1 # note\ny = 2\n[b]\nx = 5\n");
    Handle h(open(path, YAV_STZ_UPDATE));
    ASSERT_NE(nullptr, h);
    ASSERT_STREQ("x", h->entryName);
    yavStzChangeValue(h.get(), "a much longer value");
    EXPECT_EQ(0u, h->status);
    EXPECT_STREQ("a much longer value", h->value);
    EXPECT_EQ("[a]\nx = a much longer value\ny = 2\n[b]\nx = 5\n", readFile(path));
    ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
    EXPECT_STREQ("y", h->entryName);

    yavStzChangeValue(h.get(), nullptr);
    EXPECT_EQ(0u, h->status);
    EXPECT_EQ(nullptr, h->value);
    yavStzChangeValue(h.get(), "");
    EXPECT_EQ(nullptr, h->value);  // as it reads back
    EXPECT_EQ("[a]\nx = a much longer value\ny = \n[b]\nx = 5\n", readFile(path));
}

TEST_F(StanzaEditTest, DeleteEntryRemovesTheFirstMatchingLine) {
    std::string path = file("[a]\nx = 1\ny = 2\nx = 3\n[b]\nx = 4\n");
    Handle h(open(path, YAV_STZ_UPDATE));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(1, yavStzDeleteEntry(h.get(), "a", "x"));
    EXPECT_EQ(0u, h->status);
    EXPECT_EQ(nullptr, h->entryName);
    EXPECT_EQ("[a]\ny = 2\nx = 3\n[b]\nx = 4\n", readFile(path));
    EXPECT_EQ(1, yavStzDeleteEntry(h.get(), "a", "x"));
    EXPECT_EQ("[a]\ny = 2\n[b]\nx = 4\n", readFile(path));

    EXPECT_EQ(0, yavStzDeleteEntry(h.get(), "a", "x"));
    EXPECT_EQ(YAV_S_CFG_ENTRY_MISSING, h->status);
    EXPECT_EQ(0, yavStzDeleteEntry(h.get(), "absent", "x"));
    EXPECT_EQ(YAV_S_CFG_ENTRY_MISSING, h->status);
    EXPECT_EQ("[a]\ny = 2\n[b]\nx = 4\n", readFile(path));

    ASSERT_EQ(1, yavStzMoveEntry(h.get(), "b", "x"));
    EXPECT_EQ(1, yavStzDeleteCurrentEntry(h.get()));
    EXPECT_EQ("[a]\ny = 2\n[b]\n", readFile(path));
    // Without a current entry the current line is a head or the end: refused.
    ASSERT_EQ(1, yavStzMoveStanza(h.get(), "b"));
    EXPECT_EQ(0, yavStzDeleteCurrentEntry(h.get()));
    EXPECT_EQ(YAV_S_STZ_NULL_ARGUMENT, h->status);
    EXPECT_EQ("[a]\ny = 2\n[b]\n", readFile(path));
}

TEST_F(StanzaEditTest, InsertEntryWritesBeforeTheCurrentLineWithoutLookingForDuplicates) {
    std::string path = file("[a]\nx = 1\ny = 2\n[b]\n");
    Handle h(open(path, YAV_STZ_UPDATE));
    ASSERT_NE(nullptr, h);
    ASSERT_EQ(1, yavStzMoveEntry(h.get(), "a", "y"));
    yavStzInsertEntry(h.get(), "x", "0");
    EXPECT_EQ(0u, h->status);
    EXPECT_STREQ("x", h->entryName);
    EXPECT_STREQ("0", h->value);
    EXPECT_EQ("[a]\nx = 1\nx = 0\ny = 2\n[b]\n", readFile(path));
    ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
    EXPECT_STREQ("y", h->entryName);

    ASSERT_EQ(1, yavStzMoveStanza(h.get(), "b"));  // empty stanza: line is the end
    yavStzInsertEntry(h.get(), "z", nullptr);
    EXPECT_EQ("[a]\nx = 1\nx = 0\ny = 2\n[b]\nz = \n", readFile(path));
}

TEST_F(StanzaEditTest, AddStanzaAppendsOnlyWhenAbsent) {
    std::string path = file("[a]\nx = 1");
    Handle h(open(path, YAV_STZ_UPDATE));
    ASSERT_NE(nullptr, h);
    yavStzAddStanza(h.get(), "a");
    EXPECT_EQ(0u, h->status);
    EXPECT_STREQ("a", h->stanzaName);
    EXPECT_EQ("[a]\nx = 1", readFile(path));

    yavStzAddStanza(h.get(), "new one");
    EXPECT_EQ(0u, h->status);
    EXPECT_STREQ("new one", h->stanzaName);
    EXPECT_EQ(nullptr, h->entryName);
    const std::string expected = "[a]\nx = 1\n[new one]\n";
    EXPECT_EQ(expected, readFile(path));
    EXPECT_EQ(static_cast<long>(expected.size()), h->stanzaOffset);
    EXPECT_EQ(static_cast<long>(expected.size()), h->lineOffset);

    yavStzAddEntry(h.get(), "k", "v");
    EXPECT_EQ(expected + "k = v\n", readFile(path));
}

TEST_F(StanzaEditTest, LinesThatWouldNotReadBackAreRefusedAndTheFileIsUnchanged) {
    const std::string text = "[a]\nx = 1\n";
    std::string path = file(text);
    Handle h(open(path, YAV_STZ_UPDATE));
    ASSERT_NE(nullptr, h);
    const std::string longValue(511 - 5, 'v');  // "n = " + value + "\n" = 511 bytes
    struct Case {
        std::string name;
        std::string value;
    };
    const Case refused[] = {
        {"n", longValue + "v"}, {"", "v"},      {"a=b", "v"}, {" n", "v"},
        {"n\t", "v"},           {"[n", "v"},    {"#n", "v"},  {"n\nm", "v"},
        {"n", "a\nb"},          {"n", "a # b"},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name + "|" + c.value);
        ASSERT_EQ(1, yavStzMoveStanza(h.get(), "a"));
        yavStzAddEntry(h.get(), c.name.c_str(), c.value.c_str());
        EXPECT_EQ(YAV_S_STZ_INVALID_ARGUMENT, h->status);
        ASSERT_EQ(1, yavStzMoveEntry(h.get(), "a", "x"));
        yavStzInsertEntry(h.get(), c.name.c_str(), c.value.c_str());
        EXPECT_EQ(YAV_S_STZ_INVALID_ARGUMENT, h->status);
        EXPECT_EQ(text, readFile(path));
    }
    for (const char* stanza : {"a]b", "a\nb"}) {
        yavStzAddStanza(h.get(), stanza);
        EXPECT_EQ(YAV_S_STZ_INVALID_ARGUMENT, h->status);
    }
    yavStzAddStanza(h.get(), std::string(510, 's').c_str());
    EXPECT_EQ(YAV_S_STZ_INVALID_ARGUMENT, h->status);
    ASSERT_EQ(1, yavStzMoveEntry(h.get(), "a", "x"));
    yavStzChangeValue(h.get(), (longValue + "vv").c_str());
    EXPECT_EQ(YAV_S_STZ_INVALID_ARGUMENT, h->status);
    EXPECT_EQ(text, readFile(path));

    // The longest line that fits is written and reads back whole.
    ASSERT_EQ(1, yavStzMoveStanza(h.get(), "a"));
    yavStzAddEntry(h.get(), "n", longValue.c_str());
    EXPECT_EQ(0u, h->status);
    Handle again(open(path, YAV_STZ_READ));
    ASSERT_EQ(1, yavStzMoveEntry(again.get(), "a", "n"));
    EXPECT_EQ(longValue, again->value);
}

TEST_F(StanzaEditTest, EditsNeedAnUpdateHandleAndAPosition) {
    std::string path = file("[a]\nx = 1\n");
    struct Case {
        int flags;
        yav_status_t status;
    };
    const Case cases[] = {
        {YAV_STZ_READ, YAV_S_STZ_READ_ONLY},
        {YAV_STZ_READ | YAV_STZ_UPDATE, YAV_S_STZ_READ_ONLY},
        {YAV_STZ_READ | YAV_STZ_CACHED, YAV_S_STZ_NOT_OPEN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        Handle h(open(path, c.flags));
        ASSERT_NE(nullptr, h);
        yavStzChangeValue(h.get(), "2");
        EXPECT_EQ(c.status, h->status);
        ASSERT_EQ(1, yavStzMoveStanza(h.get(), "a"));
        yavStzAddEntry(h.get(), "y", "2");
        EXPECT_EQ(c.status, h->status);
        ASSERT_EQ(1, yavStzMoveStanza(h.get(), "a"));
        yavStzInsertEntry(h.get(), "y", "2");
        EXPECT_EQ(c.status, h->status);
        yavStzAddStanza(h.get(), "b");
        EXPECT_EQ(c.status, h->status);
        EXPECT_EQ(0, yavStzDeleteEntry(h.get(), "a", "x"));
        EXPECT_EQ(c.status, h->status);
    }
    EXPECT_EQ("[a]\nx = 1\n", readFile(path));

    Handle h(open(path, YAV_STZ_UPDATE));
    yavStzAddEntry(h.get(), nullptr, "v");
    EXPECT_EQ(YAV_S_STZ_NULL_ARGUMENT, h->status);
    yavStzAddEntry(h.get(), "y", "v");  // the failure left no current stanza
    EXPECT_EQ(YAV_S_STZ_NULL_ARGUMENT, h->status);
    EXPECT_EQ(0, yavStzDeleteEntry(h.get(), nullptr, "x"));
    EXPECT_EQ(YAV_S_STZ_NULL_ARGUMENT, h->status);
    EXPECT_EQ("[a]\nx = 1\n", readFile(path));
}

TEST_F(StanzaEditTest, ALinkPlantedAtTheScratchNameIsNeverFollowed) {
    std::string victim = file("precious\n", "victim");
    ASSERT_EQ(0, symlink(victim.c_str(), scratchPath().c_str()));
    std::string path = file("[a]\nx = 1\n[b]\n");
    Handle h(open(path, YAV_STZ_UPDATE));
    ASSERT_NE(nullptr, h);
    yavStzAddEntry(h.get(), "y", "2");
    EXPECT_EQ(0u, h->status);
    EXPECT_EQ("[a]\nx = 1\ny = 2\n[b]\n", readFile(path));
    EXPECT_EQ("precious\n", readFile(victim));
    struct stat st;
    EXPECT_NE(0, lstat(scratchPath().c_str(), &st));  // no scratch left behind
}

TEST_F(StanzaEditTest, AnUnusableScratchNameFailsTheEditAndLeavesTheFile) {
    ASSERT_EQ(0, mkdir(scratchPath().c_str(), 0700));  // cannot be unlinked
    const std::string text = "[a]\nx = 1\n[b]\n";
    std::string path = file(text);
    Handle h(open(path, YAV_STZ_UPDATE));
    ASSERT_NE(nullptr, h);
    LogCapture log;
    yavStzAddEntry(h.get(), "y", "2");
    EXPECT_EQ(YAV_S_STZ_UPDATE_FAILED, h->status);
    ASSERT_EQ(1, yavStzMoveEntry(h.get(), "a", "x"));
    yavStzChangeValue(h.get(), "9");
    EXPECT_EQ(YAV_S_STZ_UPDATE_FAILED, h->status);
    EXPECT_EQ(0, yavStzDeleteEntry(h.get(), "a", "x"));
    EXPECT_EQ(YAV_S_STZ_UPDATE_FAILED, h->status);
    EXPECT_EQ(text, readFile(path));
    EXPECT_NE(std::string::npos,
              log.text().find("QRXIC0005E   Could not open file " + scratchPath() + ":"))
        << log.text();
}

TEST_F(StanzaEditTest, ReplaceTextAgreesWithStringReplace) {
    std::string big;
    for (int i = 0; i < 2000; ++i) big.push_back(static_cast<char>('a' + i % 26));
    struct Case {
        std::string content;
        long from;
        long to;
        std::string text;
    };
    // The edits above make small replacements in the middle and at the end;
    // here an empty file and replacements that cross the copy buffer.
    const Case cases[] = {
        {"hello world\n", 0, 5, "HELLO"},
        {"", 0, 0, "first\n"},
        {big, 3, 1500, "x"},
        {big, 0, 0, big},
        {big, 1022, 1023, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
        std::string path = file(c.content, "replace");
        FILE* fp = fopen(path.c_str(), "r+");
        ASSERT_NE(nullptr, fp);
        EXPECT_EQ(1, yav_zReplaceText(fp, c.from, c.to, c.text.c_str()));
        std::string expected = c.content;
        expected.replace(static_cast<size_t>(c.from), static_cast<size_t>(c.to - c.from), c.text);
        EXPECT_EQ(static_cast<long>(expected.size()), ftell(fp));
        fclose(fp);
        EXPECT_EQ(expected, readFile(path));
    }
    std::string path = file("abc", "replace");
    FILE* fp = fopen(path.c_str(), "r+");
    ASSERT_NE(nullptr, fp);
    EXPECT_EQ(0, yav_zReplaceText(fp, 2, 1, "x"));
    fclose(fp);
    EXPECT_EQ("abc", readFile(path));
}

}  // namespace
