// Reading and navigating stanza files, uncached and cached.
#include "core/file/yav_stanza.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/file/yav_stanza_test_aids.h"
#include "core/msg/yav_status.h"

namespace {

using stz_test::HandleCloser;
using stz_test::LogCapture;
using stz_test::StanzaTest;
using Handle = std::unique_ptr<yavStanzaFile, HandleCloser>;

const int kModes[] = {YAV_STZ_READ, YAV_STZ_READ | YAV_STZ_CACHED};

std::string show(const char* text) { return text != nullptr ? text : "(null)"; }

TEST_F(StanzaTest, EntryLinesGiveTrimmedNamesAndValuesInBothModes) {
    struct Case {
        const char* line;
        const char* name;
        const char* value;  // null: no value
    };
    const Case cases[] = {
        {"name=value", "name", "value"},
        {"  name  =  value  # note", "name", "value"},
        {"name = a = b", "name", "a = b"},
        {"name = \t  ", "name", nullptr},
        {"\tinner name = inner  value ", "inner name", "inner  value"},
        {"na#me = v", "na#me", "v"},
        {"name = v#c", "name", "v"},
        {"name = value\r", "name", "value"},
        {"name\r = [x]", "name", "[x]"},
    };
    for (const Case& c : cases) {
        std::string path = file(std::string("[s]\n") + c.line + "\n");
        for (int flags : kModes) {
            SCOPED_TRACE(std::string(c.line) + " flags " + std::to_string(flags));
            Handle h(open(path, flags));
            ASSERT_NE(nullptr, h);
            EXPECT_EQ(0u, h->status);
            EXPECT_EQ("s", show(h->stanzaName));
            EXPECT_EQ(c.name, show(h->entryName));
            EXPECT_EQ(show(c.value), show(h->value));
        }
    }
}

TEST_F(StanzaTest, StanzaHeadsAreTakenExactly) {
    std::string path =
        file("[ web ]\na = 1\n[web] trailing text\nb = 2\n[]\nc = 3\n   [x y]\nd = 4\n[a]b]\n");
    for (int flags : kModes) {
        Handle h(open(path, flags));
        ASSERT_NE(nullptr, h);
        std::vector<std::string> items = stz_test::walk(h.get());
        std::vector<std::string> expected = {" web |a|1", "web|b|2", "|c|3", "x y|d|4", "a|(none)"};
        if (flags & YAV_STZ_CACHED) std::reverse(expected.begin(), expected.end());
        EXPECT_EQ(expected, items) << "flags " << flags;
    }
}

TEST_F(StanzaTest, MalformedLinesFailWithTheirStatusAndMessage) {
    struct Case {
        const char* text;
        yav_status_t status;
        const char* message;  // expected part of the logged text
    };
    const Case cases[] = {
        {"[s]\n= value\n", YAV_S_STZ_NO_SEPARATOR,
         "QRXIC0198E   A configuration entry is invalid. There is no separator between the entry "
         "name and value on the line '= value' in stanza [s]."},
        {"[s]\n   name value\n", YAV_S_STZ_NO_SEPARATOR, "on the line 'name value' in stanza [s]."},
        {"[web\na = b\n", YAV_S_STZ_NO_BRACKET,
         "QRXIC0200E   There is no terminating bracket on the stanza name: web."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string path = file(c.text);
        LogCapture log;
        Handle h(open(path, YAV_STZ_READ));
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(c.status, h->status);
        EXPECT_EQ(nullptr, h->stanzaName);  // left "at end"
        EXPECT_EQ(nullptr, h->entryName);
        EXPECT_NE(std::string::npos, log.text().find(c.message)) << log.text();
        EXPECT_EQ(0, yavStzValidate(h.get()));
        EXPECT_EQ(c.status, h->status);
    }
}

TEST_F(StanzaTest, DuplicatesAndEntriesBeforeTheFirstHead) {
    std::string path = file("lost = 1\n[dup]\nv = a\nw = x\nv = b\n[other]\n[dup]\nv = c\n");
    for (int flags : kModes) {
        SCOPED_TRACE(flags);
        Handle h(open(path, flags));
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(0, yavStzMoveEntry(h.get(), "dup", "lost"));
        EXPECT_EQ(0u, h->status);
        // Cached stanzas come in reverse: the later duplicate is found first.
        ASSERT_EQ(1, yavStzMoveEntry(h.get(), "dup", "v"));
        EXPECT_STREQ((flags & YAV_STZ_CACHED) ? "c" : "a", h->value);
        std::vector<std::string> items = {"dup|v|a", "dup|w|x", "dup|v|b", "other|(none)",
                                          "dup|v|c"};
        if (flags & YAV_STZ_CACHED)
            items = {"dup|v|c", "other|(none)", "dup|v|a", "dup|w|x", "dup|v|b"};
        EXPECT_EQ(items, stz_test::walk(h.get()));
        // Cached, the file is closed and unlocked once read.
        EXPECT_EQ((flags & YAV_STZ_CACHED) != 0, h->fp == nullptr);
    }
}

TEST_F(StanzaTest, ALongLineIsReadAsA511ByteLineAndTheRest) {
    std::string first = "first = " + std::string(503, 'x');  // 511 bytes
    std::string second = "second = " + std::string(79, 'y');
    ASSERT_EQ(600u, first.size() + second.size() + 1);
    std::string text = "[s]\n" + first + second + "\n";
    std::string path = file(text);
    for (int flags : kModes) {
        Handle h(open(path, flags));
        ASSERT_NE(nullptr, h);
        EXPECT_EQ((std::vector<std::string>{"s|first|" + std::string(503, 'x'),
                                            "s|second|" + std::string(79, 'y')}),
                  stz_test::walk(h.get()));
    }
    Handle h(open(path, YAV_STZ_READ));
    ASSERT_EQ(1, yavStzMoveEntry(h.get(), "s", "second"));
    EXPECT_EQ(4 + 511, h->lineOffset);
}

TEST_F(StanzaTest, MovesReportPositionsAndEndsUncached) {
    const std::string text = "# head comment\n[a]\nx = 1\n\n# note\ny = 2\n\n[b]\n[c]\nz = 3\n";
    std::string path = file(text);
    Handle h(open(path, YAV_STZ_READ));
    ASSERT_NE(nullptr, h);
    // The walks check the names along the way; here the offsets, past
    // comments and blank lines.
    long afterA = static_cast<long>(text.find("[a]\n") + 4);
    EXPECT_EQ(afterA, h->stanzaOffset);
    EXPECT_EQ(afterA, h->lineOffset);

    ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
    EXPECT_EQ(static_cast<long>(text.find("y = 2")), h->lineOffset);

    // At the stanza's end: success, no entry, lineOffset at the next head.
    ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
    EXPECT_EQ(nullptr, h->entryName);
    EXPECT_EQ(nullptr, h->value);
    EXPECT_STREQ("a", h->stanzaName);
    EXPECT_EQ(static_cast<long>(text.find("[b]")), h->lineOffset);
    ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));  // stays at the end
    EXPECT_EQ(nullptr, h->entryName);

    ASSERT_EQ(1, yavStzMoveNextStanza(h.get()));
    EXPECT_EQ(static_cast<long>(text.find("[c]")), h->lineOffset);
    ASSERT_EQ(1, yavStzMoveNextStanza(h.get()));
    ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
    EXPECT_EQ(static_cast<long>(text.size()), h->lineOffset);

    ASSERT_EQ(1, yavStzMoveNextStanza(h.get()));
    EXPECT_EQ(nullptr, h->stanzaName);
    EXPECT_EQ(static_cast<long>(text.size()), h->stanzaOffset);

    // A stanza search starts afresh from the first stanza.
    ASSERT_EQ(1, yavStzMoveStanza(h.get(), "a"));
    EXPECT_STREQ("x", h->entryName);
    ASSERT_EQ(1, yavStzMoveEntryInStanza(h.get(), "y"));
    ASSERT_EQ(1, yavStzMoveFirstEntry(h.get()));
    EXPECT_STREQ("x", h->entryName);
}

TEST_F(StanzaTest, FailedLookUpsAndNullNamesInBothModes) {
    std::string path = file("[a]\nx = 1\n[b]\ny = 2\n");
    for (int flags : kModes) {
        SCOPED_TRACE(flags);
        Handle h(open(path, flags));
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(0, yavStzMoveStanza(h.get(), "absent"));
        EXPECT_EQ(0u, h->status);
        EXPECT_EQ(nullptr, h->stanzaName);

        ASSERT_EQ(1, yavStzMoveStanza(h.get(), "b"));
        EXPECT_EQ(0, yavStzMoveEntryInStanza(h.get(), "x"));  // x is in [a]
        EXPECT_EQ(0u, h->status);
        EXPECT_EQ(nullptr, h->entryName);
        EXPECT_STREQ("b", h->stanzaName);

        EXPECT_EQ(0, yavStzMoveStanza(h.get(), nullptr));
        EXPECT_EQ(YAV_S_STZ_NULL_ARGUMENT, h->status);
        EXPECT_EQ(nullptr, h->stanzaName);
        EXPECT_EQ(0, yavStzMoveEntryInStanza(h.get(), nullptr));
        EXPECT_EQ(YAV_S_STZ_NULL_ARGUMENT, h->status);
        // The next move starts again.
        EXPECT_EQ(1, yavStzMoveEntry(h.get(), "a", "x"));
        EXPECT_EQ(0u, h->status);
    }
}

TEST_F(StanzaTest, CachedMovesFollowTheUncachedContract) {
    std::string path = file("[a]\nx = 1\ny\t=\n[b]\n[c]\nz = 3\n");
    Handle h(open(path, YAV_STZ_READ | YAV_STZ_CACHED));
    ASSERT_NE(nullptr, h);
    // The walks check the reverse order and the ends of moves; here the searches.
    ASSERT_EQ(1, yavStzMoveStanza(h.get(), "b"));
    EXPECT_EQ(0, yavStzMoveEntryInStanza(h.get(), "y"));  // [b] has no entries
    ASSERT_EQ(1, yavStzMoveStanza(h.get(), "a"));
    ASSERT_EQ(1, yavStzMoveEntryInStanza(h.get(), "y"));
    EXPECT_EQ(nullptr, h->value);

    // The validation walk: entries of a stanza, then on into the next.
    ASSERT_EQ(1, yavStzMoveFirstStanza(h.get()));
    std::vector<std::string> seen;
    for (int i = 0; i < 10 && h->stanzaName != nullptr; ++i) {
        seen.push_back(std::string(h->stanzaName) + "|" + show(h->entryName));
        ASSERT_EQ(1, yav_zMoveNextLine(h.get(), 0, 1));
    }
    EXPECT_EQ((std::vector<std::string>{"c|z", "b|(null)", "a|x", "a|y"}), seen);

    // After a failure the cursor is at end; first-entry takes the first stanza.
    yav_zSetError(h.get(), YAV_S_STZ_READ_FAILED);
    EXPECT_EQ(YAV_S_STZ_READ_FAILED, h->status);
    EXPECT_EQ(nullptr, h->stanzaName);
    ASSERT_EQ(1, yavStzMoveNextStanza(h.get()));
    EXPECT_EQ(nullptr, h->stanzaName);
    ASSERT_EQ(1, yavStzMoveFirstEntry(h.get()));
    EXPECT_STREQ("c", h->stanzaName);
    EXPECT_STREQ("z", h->entryName);
}

TEST_F(StanzaTest, StanzaSizeCountsAndReturnsToTheCurrentEntry) {
    std::string path = file("[s]\na = 1\nb = 2\na = 3\nc = 4\n[t]\n[u]\nq = 1\n");
    for (int flags : kModes) {
        SCOPED_TRACE(flags);
        Handle h(open(path, flags));
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(1, yavStzMoveEntry(h.get(), "s", "c"));
        EXPECT_EQ(4, yavStzStanzaSize(h.get()));
        EXPECT_STREQ("c", h->entryName);
        EXPECT_STREQ("4", h->value);
        // Back by name: the first "a", not the second.
        ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
        ASSERT_EQ(1, yavStzMoveFirstEntry(h.get()));
        ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
        ASSERT_EQ(1, yavStzMoveNextEntry(h.get()));
        ASSERT_STREQ("3", h->value);
        EXPECT_EQ(4, yavStzStanzaSize(h.get()));
        EXPECT_STREQ("1", h->value);

        ASSERT_EQ(1, yavStzMoveEntry(h.get(), "u", "q"));
        EXPECT_EQ(1, yavStzStanzaSize(h.get()));
        ASSERT_EQ(1, yavStzMoveStanza(h.get(), "t"));
        EXPECT_EQ(0, yavStzStanzaSize(h.get()));  // no current entry
        ASSERT_EQ(1, yavStzMoveEntry(h.get(), "s", "a"));
        h->status = YAV_S_STZ_READ_FAILED;
        EXPECT_EQ(0, yavStzStanzaSize(h.get()));  // status set: no counting
    }
}

TEST_F(StanzaTest, OpenRefusesBadFlagCombinations) {
    std::string path = file("[s]\n");
    const int bad[] = {0,
                       YAV_STZ_NOWAIT,
                       YAV_STZ_CACHED,
                       YAV_STZ_UPDATE | YAV_STZ_CACHED,
                       YAV_STZ_READ | YAV_STZ_UPDATE | YAV_STZ_CACHED,
                       YAV_STZ_READ | 16,
                       YAV_STZ_READ | static_cast<int>(0x80000000u)};
    for (int flags : bad) {
        yav_status_t status = 0;
        EXPECT_EQ(nullptr, yavStzFileOpen(path.c_str(), flags, &status)) << flags;
        EXPECT_EQ(YAV_S_STZ_INVALID_ARGUMENT, status) << flags;
    }
    const int good[] = {YAV_STZ_READ, YAV_STZ_UPDATE, YAV_STZ_READ | YAV_STZ_UPDATE,
                        YAV_STZ_READ | YAV_STZ_NOWAIT | YAV_STZ_CACHED,
                        YAV_STZ_UPDATE | YAV_STZ_NOWAIT};
    for (int flags : good) {
        Handle h(open(path, flags));
        ASSERT_NE(nullptr, h) << flags;
        EXPECT_EQ(flags, h->openFlags);
        EXPECT_STREQ(path.c_str(), h->fileName);
    }
    yav_status_t status = 0;
    EXPECT_EQ(nullptr, yavStzFileOpen(nullptr, YAV_STZ_READ, &status));
    EXPECT_EQ(YAV_S_STZ_NULL_ARGUMENT, status);
}

TEST_F(StanzaTest, AMissingFileFailsToOpenAndIsLogged) {
    std::string path = m_dir.path("missing.conf");
    for (int flags : {YAV_STZ_READ, YAV_STZ_UPDATE, YAV_STZ_READ | YAV_STZ_CACHED}) {
        LogCapture log;
        yav_status_t status = 0;
        EXPECT_EQ(nullptr, yavStzFileOpen(path.c_str(), flags, &status));
        EXPECT_EQ(YAV_S_STZ_OPEN_FAILED, status);
        std::string expected = "QRXIC0005E   Could not open file " + path +
                               ": system error: " + strerror(ENOENT) +
                               " (system error code: " + std::to_string(ENOENT) + ").";
        EXPECT_NE(std::string::npos, log.text().find(expected)) << log.text();
    }
}

TEST_F(StanzaTest, ADirectoryOpensButCannotBeRead) {
    // fopen accepts a directory for reading; the first read fails.
    Handle h(open(m_dir.path(), YAV_STZ_READ));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(YAV_S_STZ_READ_FAILED, h->status);
    EXPECT_EQ(nullptr, h->stanzaName);
    yav_status_t status = 0;
    EXPECT_EQ(nullptr,
              yavStzFileOpen(m_dir.path().c_str(), YAV_STZ_READ | YAV_STZ_CACHED, &status));
    EXPECT_EQ(YAV_S_STZ_READ_FAILED, status);
}

TEST_F(StanzaTest, AnUnreadableFileFailsWithThePermissionStatus) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "running as root: file permissions do not stop root from reading";
    }
    std::string path = file("[s]\na = b\n");
    ASSERT_EQ(0, chmod(path.c_str(), 0));
    yav_status_t status = 0;
    EXPECT_EQ(nullptr, yavStzFileOpen(path.c_str(), YAV_STZ_READ, &status));
    EXPECT_EQ(YAV_S_STZ_PERMISSION, status);
}

TEST_F(StanzaTest, ValidateAcceptsAGoodFileAndFindsAnErrorAnywhere) {
    std::string good = file("early = 1\n[a]\n[b]\nx = 1\n\n[c]", "good.conf");
    Handle h(open(good, YAV_STZ_READ));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(1, yavStzValidate(h.get()));
    EXPECT_EQ(0u, h->status);
    EXPECT_STREQ("a", h->stanzaName);  // back at the start

    // Errors where a stanza search would skip them: before the first head
    // and between the entries of an unvisited stanza.
    for (const char* text : {"bad line\n[a]\nx = 1\n", "[a]\nx = 1\n[b]\ny\n"}) {
        SCOPED_TRACE(text);
        std::string path = file(text, "bad.conf");
        Handle bad(open(path, YAV_STZ_READ));
        ASSERT_NE(nullptr, bad);
        EXPECT_EQ(0u, bad->status);
        EXPECT_EQ(0, yavStzValidate(bad.get()));
        EXPECT_EQ(YAV_S_STZ_NO_SEPARATOR, bad->status);
    }

    Handle cached(open(good, YAV_STZ_READ | YAV_STZ_CACHED));
    EXPECT_EQ(0, yavStzValidate(cached.get()));
    EXPECT_EQ(YAV_S_STZ_NOT_OPEN, cached->status);
}

TEST_F(StanzaTest, ASyntaxErrorEndsTheCacheButTheOpenSucceeds) {
    std::string path = file("[a]\nx = 1\n[b]\ny = 2\nbroken\nz = 3\n[c]\nw = 4\n");
    LogCapture log;
    yav_status_t status = 1;
    Handle h(yavStzFileOpen(path.c_str(), YAV_STZ_READ | YAV_STZ_CACHED, &status));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(0u, status);
    EXPECT_EQ(0u, h->status);
    EXPECT_EQ((std::vector<std::string>{"b|y|2", "a|x|1"}), stz_test::walk(h.get()));
    EXPECT_NE(std::string::npos, log.text().find("on the line 'broken' in stanza [b]."))
        << log.text();
}

TEST_F(StanzaTest, BinaryAndInvalidTextGiveTheConversionStatus) {
    // The tests run in the "C" locale, whose code set is ASCII: bytes above
    // 0x7f are no characters.
    std::string binary("[s]\n\x01\x02=\xff\xfe\x00zz\n", 13);
    std::string path = file(binary);
    LogCapture log;
    for (int flags : kModes) {
        yav_status_t status = 1;
        Handle h(yavStzFileOpen(path.c_str(), flags, &status));
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(0u, status);
        if (flags & YAV_STZ_CACHED) {
            // The error came on the way to the first stanza's first entry,
            // so the cache holds nothing.
            EXPECT_EQ(std::vector<std::string>{}, stz_test::walk(h.get()));
        } else {
            EXPECT_EQ(YAV_S_MB_TO_UCS2_CONVERSION, h->status);
        }
    }
    EXPECT_NE(std::string::npos, log.text().find("QRXIC0060E")) << log.text();

    // Random bytes: whatever the outcome, the walks end.
    unsigned seed = 12345;
    std::string noise;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise.push_back(static_cast<char>((seed >> 16) & 0x7f));  // ASCII incl. NUL, [, ], =, #
        if (i % 97 == 0) noise += "\n[";
    }
    std::string noisy = file(noise, "noise.conf");
    for (int flags : kModes) {
        Handle h(open(noisy, flags));
        ASSERT_NE(nullptr, h);
        std::vector<std::string> items = stz_test::walk(h.get());
        EXPECT_FALSE(items.empty());
        if (!(flags & YAV_STZ_CACHED)) yavStzValidate(h.get());
    }
}

// Sets the process locale for one test and restores it, also on failure.
class LocaleScope {
  public:
    explicit LocaleScope(const char* name) {
        const char* old = setlocale(LC_ALL, nullptr);
        m_saved = old != nullptr ? old : "C";
        m_ok = setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleScope() { setlocale(LC_ALL, m_saved.c_str()); }
    bool ok() const { return m_ok; }

  private:
    std::string m_saved;
    bool m_ok;
};

TEST_F(StanzaTest, MultiByteTextUnderAUtf8Locale) {
    LocaleScope utf8("C.UTF-8");
    if (!utf8.ok()) GTEST_SKIP() << "the system has no C.UTF-8 locale";
    std::string good = file("[gr\xc3\xbc\xc3\x9f]\nna\xc3\xafve = caf\xc3\xa9\n", "utf8.conf");
    Handle h(open(good, YAV_STZ_READ));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(1, yavStzMoveEntry(h.get(), "gr\xc3\xbc\xc3\x9f", "na\xc3\xafve"));
    EXPECT_STREQ("caf\xc3\xa9", h->value);
}

TEST_F(StanzaTest, LargeShortAndUnterminatedFiles) {
    for (int flags : kModes) {
        Handle h(open(file("[s]\na = b", "unterminated.conf"), flags));
        ASSERT_NE(nullptr, h);
        EXPECT_EQ(std::vector<std::string>{"s|a|b"}, stz_test::walk(h.get()));
        Handle empty(open(file("", "empty.conf"), flags));
        ASSERT_NE(nullptr, empty);
        EXPECT_EQ(nullptr, empty->stanzaName);
        EXPECT_EQ(0, yavStzMoveEntry(empty.get(), "s", "a"));
    }

    std::string text = "[big]\n";
    for (int i = 0; i < 100000; ++i)
        text += "entry" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    std::string big = file(text, "big.conf");
    Handle cached(open(big, YAV_STZ_READ | YAV_STZ_CACHED));
    ASSERT_NE(nullptr, cached);
    EXPECT_EQ(100000, yavStzStanzaSize(cached.get()));
    ASSERT_EQ(1, yavStzMoveEntry(cached.get(), "big", "entry99999"));
    EXPECT_STREQ("99999", cached->value);
    Handle plain(open(big, YAV_STZ_READ));
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ(1, yavStzValidate(plain.get()));
}

}  // namespace
