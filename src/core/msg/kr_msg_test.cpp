#include "core/msg/kr_msg.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <nl_types.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/msg/kr_msg_internal.h"
#include "core/msg/yav_msg_table.h"
#include "core/msg/yav_status.h"
#include "core/system/yav_shutdown.h"
#include "core/system/yav_test_tempdir.h"
#include "core/ulq/ulq.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kUnknownCode = 0x7fffffffU;     // in no table
const char kUmlauts[] = "Gr\xc3\xbc\xc3\x9f\x65";  // "Gruesse" with u-umlaut and sharp s

// The text kr_msg_get_msg (or _utf8) gives, checking its status.
std::string msg(uint32_t code, bool utf8 = false) {
    uint32_t status = 1;
    char* text = utf8 ? kr_msg_get_msg_utf8(code, &status) : kr_msg_get_msg(code, &status);
    EXPECT_EQ(status, YAV_S_OK);
    std::string copy = text != nullptr ? text : "(null)";
    free(text);
    return copy;
}

std::string table(uint32_t code) { return kr_msg_get_default_msg(code); }

std::string debugLine(const char* catalog, uint32_t status) {
    char line[80];
    snprintf(line, sizeof line, "catopen(%s) status = %8.8x\n", catalog, status);
    return line;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Compiles the gencat source of one set-1 message list into catalog.
void gencat(const std::string& messages, const fs::path& catalog) {
    fs::path input = catalog.string() + ".msg";
    writeFile(input, "$set 1\n" + messages);
    std::string out = catalog.string(), in = input.string();
    const char* argv[] = {"gencat", "--new", "-o", out.c_str(), in.c_str(), nullptr};
    pid_t pid;
    ASSERT_EQ(
        posix_spawnp(&pid, "gencat", nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);
    int waitStatus = 0;
    ASSERT_EQ(waitpid(pid, &waitStatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0) << messages;
    fs::remove(input);
}

// A catalog in glibc's layout: magic, plane size and depth, the
// (set + 1, message, offset) table, the same table byte-swapped, strings.
std::string catalogImage(uint32_t planeSize, uint32_t planeDepth,
                         const std::vector<uint32_t>& entries, const std::string& strings) {
    std::string image;
    auto put = [&image](uint32_t value) { image.append(reinterpret_cast<char*>(&value), 4); };
    put(0x960408deU);
    put(planeSize);
    put(planeDepth);
    for (uint32_t v : entries) put(v);
    for (uint32_t v : entries) put(__builtin_bswap32(v));
    return image + strings;
}

bool catalogValid(const std::string& bytes) {
    // An exact-size copy, so that the sanitizers see any read past it.
    std::vector<unsigned char> copy(bytes.begin(), bytes.end());
    return yav_msg_catalog_is_valid(copy.data(), copy.size());
}

// Saves the variables the look-up reads, gives each test a scratch
// directory and an empty catalog cache, and restores all of it afterwards.
class KrMsgTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = getenv(name);
            m_saved.push_back(value != nullptr ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        ASSERT_TRUE(m_tmp.ok()) << m_tmp.error();
        m_dir = m_tmp.path();
        useCatalogDir(m_dir);
    }

    void TearDown() override {
        setlocale(LC_ALL, "C");
        yav_msg_reset_catalogs();
        for (size_t i = 0; i < m_saved.size(); ++i) {
            if (m_saved[i]) {
                setenv(kVariables[i], m_saved[i]->c_str(), 1);
            } else {
                unsetenv(kVariables[i]);
            }
        }
    }

    // Catalogs come from <dir>/<locale>/<name>; the cache starts empty.
    void useCatalogDir(const fs::path& dir) {
        setenv("NLSPATH", (dir.string() + "/%L/%N").c_str(), 1);
        yav_msg_reset_catalogs();
    }

    static constexpr const char* kVariables[] = {"NLSPATH", "SVC_NOXPGCAT", "KRSVC_DEBUG_MSG",
                                                 "ULQDIR"};
    std::vector<std::optional<std::string>> m_saved;
    YavTestTempDir m_tmp{"kr_msg_test."};
    fs::path m_dir;  // m_tmp's path
};

TEST(KrStatusDecodeTest, SplitsTechnologyComponentAndNumber) {
    const uint32_t pluginLow = YAV_S_NOT_SUPPORTED & 0x0fffffffU;
    struct Case {
        uint32_t code;
        const char* technology;
        const char* component;
        unsigned number;
    };
    const Case cases[] = {
        {YAV_S_NOT_SUPPORTED, "kr", "pic", 1},
        {YAV_SVC_S_BAD_ROUTE, "dce", "bas", 0x1f7},
        {pluginLow | (2U << 28), "dfs", "pic", 1},
        {pluginLow, "???", "pic", 1},
        {pluginLow | (4U << 28), "???", "pic", 1},
        // Component values: 0, across the alphabet's boundaries, the last
        // one it can write (40^3 - 1) and those beyond.
        {(3U << 28) | 0xfff, "kr", "aaa", 4095},
        {(3U << 28) | (41067U << 12), "kr", "z_0", 0},
        {(3U << 28) | (59118U << 12) | 7, "kr", "9-+", 7},
        {(3U << 28) | (63999U << 12), "kr", "@@@", 0},
        {(3U << 28) | (64000U << 12), "kr", "???", 0},
        {0xffffffffU, "???", "???", 4095},
    };
    for (const Case& c : cases) {
        kr_status_parts parts;
        memset(&parts, 'x', sizeof parts);
        kr_status_decode(c.code, &parts);
        EXPECT_STREQ(parts.technology, c.technology) << std::hex << c.code;
        EXPECT_STREQ(parts.component, c.component) << std::hex << c.code;
        EXPECT_EQ(parts.number, c.number) << std::hex << c.code;
    }
}

TEST_F(KrMsgTest, TableTextsWhenThereAreNoCatalogs) {
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED),
              "QRXIC0001E   The requested functionality is not currently supported.");
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED, true), table(YAV_S_NOT_SUPPORTED));
    EXPECT_EQ(msg(YAV_T_HTTP), "tessaro.http");
    EXPECT_EQ(msg(kUnknownCode), "Unknown message number 0x7fffffff");
    EXPECT_EQ(msg(0, true), "Unknown message number 0x00000000");
}

TEST_F(KrMsgTest, BuildTreeCatalogsHoldEveryTextOfTheTables) {
    useCatalogDir(YAV_TEST_MSG_DIR);
    setenv("KRSVC_DEBUG_MSG", "", 1);
    ::testing::internal::CaptureStderr();
    for (unsigned t = 0; t < yav_builtin_msg_table_count; ++t) {
        const yav_msg_table& builtin = yav_builtin_msg_tables[t];
        for (unsigned i = 0; i < builtin.count; ++i) {
            EXPECT_EQ(msg(builtin.entries[i].code), builtin.entries[i].text);
        }
    }
    std::string debug = ::testing::internal::GetCapturedStderr();
    // Each component's catalog was opened once, successfully.
    for (const char* name : {"krpic.cat", "krpco.cat", "dcebas.cat"}) {
        size_t at = debug.find(debugLine(name, 0));
        EXPECT_NE(at, std::string::npos) << debug;
        EXPECT_EQ(debug.find(debugLine(name, 0), at + 1), std::string::npos) << debug;
    }
}

TEST_F(KrMsgTest, CatalogTextWinsOverTheTableUnlessCatalogsAreOff) {
    gencat("1 Catalog text: %s \\\\ 100%%\\nsecond line\n", m_dir / "C" / "krpic.cat");
    const std::string catalogText = "Catalog text: %s \\ 100%%\nsecond line";
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), catalogText);
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED, true), catalogText);
    // Codes the catalog lacks, and other components, come from the table.
    EXPECT_EQ(msg(YAV_S_NO_MEMORY), table(YAV_S_NO_MEMORY));
    EXPECT_EQ(msg(YAV_PCO_S_STANZA_ACCESS), table(YAV_PCO_S_STANZA_ACCESS));

    // SVC_NOXPGCAT: an integer read at first use; non-zero turns catalogs off.
    struct Case {
        const char* value;
        bool off;
    };
    for (const Case& c :
         {Case{"1", true}, Case{"-2", true}, Case{"0", false}, Case{"yes", false}}) {
        setenv("SVC_NOXPGCAT", c.value, 1);
        yav_msg_reset_catalogs();
        const std::string expected = c.off ? table(YAV_S_NOT_SUPPORTED) : catalogText;
        EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), expected) << c.value;
        setenv("SVC_NOXPGCAT", c.off ? "0" : "1", 1);  // later changes do not count
        EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), expected) << c.value;
    }
}

TEST_F(KrMsgTest, CatalogsAreCachedPerComponentAndLocale) {
    gencat("1 from C\n", m_dir / "C" / "krpic.cat");
    gencat("1 from C.UTF-8\n", m_dir / "C.UTF-8" / "krpic.cat");
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), "from C");
    fs::remove(m_dir / "C" / "krpic.cat");  // the open catalog stays in use
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), "from C");
    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), "from C.UTF-8");
    setlocale(LC_ALL, "C");
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), "from C");
    // The library's shutdown closes the cached catalogs; look-ups then open
    // them again (the removed file: the table's text).
    yav_shutdown();
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), table(YAV_S_NOT_SUPPORTED));
}

TEST_F(KrMsgTest, MoreComponentsThanTheCacheHolds) {
    // Catalogs "kraaa" to "kraa@", each with its own text: the cache holds
    // fewer, the others are opened and closed around each look-up.
    auto component = [](uint32_t code) {
        kr_status_parts parts;
        kr_status_decode(code, &parts);
        return std::string(parts.component);
    };
    for (uint32_t c = 0; c < 40; ++c) {
        const std::string name = component((3U << 28) | (c << 12));
        gencat("1 text of " + name + "\n", m_dir / "C" / ("kr" + name + ".cat"));
    }
    for (uint32_t i = 0; i < 80; ++i) {
        const uint32_t code = (3U << 28) | ((i % 40) << 12) | 1;
        EXPECT_EQ(msg(code), "text of " + component(code));
    }
}

TEST_F(KrMsgTest, DamagedCatalogsFallBackToTheTable) {
    // Which images are damaged is KrMsgCatalogCheckTest's; here a refused
    // catalog must leave the look-up to the table.
    std::string good = readFile(fs::path(YAV_TEST_MSG_DIR) / "C" / "krpic.cat");
    ASSERT_GT(good.size(), 300u);
    setenv("KRSVC_DEBUG_MSG", "1", 1);
    for (const std::string& bytes : {std::string(), good.substr(0, 12), good.substr(0, 200),
                                     good.substr(0, good.size() - 10)}) {
        writeFile(m_dir / "C" / "krpic.cat", bytes);
        yav_msg_reset_catalogs();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), table(YAV_S_NOT_SUPPORTED)) << bytes.size();
        std::string debug = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(debug.find(debugLine("krpic.cat", YAV_SVC_S_CAT_OPEN)), std::string::npos)
            << debug;
    }
}

TEST_F(KrMsgTest, DebugVariablePrintsEachCatalogOpen) {
    setenv("ULQDIR", "/opt/ulq-test", 1);
    gencat("1 x\n", m_dir / "C" / "krpic.cat");
    fs::create_directories(m_dir / "C" / "krpco.cat");  // not a file: passed over
    ::testing::internal::CaptureStderr();
    msg(YAV_S_NOT_SUPPORTED);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");  // variable not set

    yav_msg_reset_catalogs();
    setenv("KRSVC_DEBUG_MSG", "", 1);
    ::testing::internal::CaptureStderr();
    msg(YAV_S_NOT_SUPPORTED);
    msg(YAV_S_NO_MEMORY);  // same catalog: cached, nothing printed
    msg(YAV_PCO_S_STANZA_ACCESS);
    std::string prefix = "NLSPATH=" + m_dir.string() + "/%L/%N\nULQDIR=" + ulq_get_dir() + "\n";
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              prefix + debugLine("krpic.cat", 0) + prefix +
                  debugLine("krpco.cat", YAV_SVC_S_CAT_NOT_FOUND));
}

TEST_F(KrMsgTest, TextsAreConvertedBetweenTheLocalCodePageAndUtf8) {
    // Catalog texts are in the local code page: in the C locale (ASCII)
    // UTF-8 bytes pass unchanged, but do not convert to UTF-8, so the
    // UTF-8 form takes the table text.
    gencat(std::string("1 ") + kUmlauts + "\n", m_dir / "C" / "krpic.cat");
    gencat(std::string("1 ") + kUmlauts + "\n", m_dir / "C.UTF-8" / "krpic.cat");
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED), kUmlauts);
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED, true), table(YAV_S_NOT_SUPPORTED));

    // Table texts are UTF-8: what the local code page cannot show is '?'.
    const uint32_t base = (YAV_S_NOT_SUPPORTED & 0x0fffffffU) | (2U << 28);
    static const yav_msg_entry texts[] = {{base + 0x300, "Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac"},
                                          {base + 0x301, "bad \xff byte"}};
    uint32_t status = 1;
    kr_msg_define_msg_table(texts, 2, &status);
    ASSERT_EQ(status, YAV_S_OK);
    EXPECT_EQ(msg(base + 0x300), "Gr??e ?");
    EXPECT_EQ(msg(base + 0x301), "bad ? byte");
    EXPECT_EQ(msg(base + 0x300, true), texts[0].text);

    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(msg(YAV_S_NOT_SUPPORTED, true), kUmlauts);
    EXPECT_EQ(msg(base + 0x300), texts[0].text);
}

TEST_F(KrMsgTest, InquiredTextIsCutAtACharacterBoundary) {
    const std::string text = "ab\xc3\xbc\xe2\x82\xac!";  // a, b, 2-byte, 3-byte, !
    gencat("1 " + text + "\n", m_dir / "C.UTF-8" / "krpic.cat");
    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    const std::pair<size_t, size_t> cases[] = {
        // buffer size, bytes kept
        {1, 0}, {3, 2}, {4, 2}, {5, 4}, {7, 4}, {8, 7}, {9, 8}, {64, 8}};
    for (const auto& [size, kept] : cases) {
        std::vector<char> buffer(size, 'x');
        uint32_t status = 1;
        kr_error_inq_text(YAV_S_NOT_SUPPORTED, buffer.data(), buffer.size(), &status);
        EXPECT_EQ(status, YAV_S_OK);
        EXPECT_EQ(std::string(buffer.data()), text.substr(0, kept)) << "size " << size;
    }
    char small[16];
    uint32_t status = 1;
    kr_error_inq_text(kUnknownCode, small, sizeof small, &status);
    EXPECT_EQ(status, YAV_S_OK);
    EXPECT_STREQ(small, "Unknown message");
    kr_error_inq_text(YAV_S_NOT_SUPPORTED, small, 0, &status);
    EXPECT_EQ(status, YAV_SVC_S_MSG_COPY);
    kr_error_inq_text(YAV_S_NOT_SUPPORTED, nullptr, 16, &status);
    EXPECT_EQ(status, YAV_SVC_S_MSG_COPY);
}

TEST_F(KrMsgTest, ConcurrentLookUpsGetTheirOwnTexts) {
    useCatalogDir(YAV_TEST_MSG_DIR);
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &mismatches] {
            for (unsigned i = 0; i < 300; ++i) {
                const yav_msg_table& builtin =
                    yav_builtin_msg_tables[(i + t) % yav_builtin_msg_table_count];
                const yav_msg_entry& entry = builtin.entries[(i * 7 + t) % builtin.count];
                char* text = i % 2 ? kr_msg_get_msg(entry.code, nullptr)
                                   : kr_msg_get_msg_utf8(entry.code, nullptr);
                if (text == nullptr || strcmp(text, entry.text) != 0) ++mismatches[t];
                free(text);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int count : mismatches) EXPECT_EQ(count, 0);
}

// Children forked while another thread is inside a look-up must still be
// able to look texts up.  A child still running after 5 seconds is taken as
// hung: its alarm ends it, and the test.
TEST_F(KrMsgTest, ChildrenForkedDuringLookUpsCanLookUpTexts) {
    useCatalogDir(YAV_TEST_MSG_DIR);
    std::atomic<bool> stop{false};
    std::thread busy([&stop] {
        while (!stop.load()) free(kr_msg_get_msg(YAV_S_NOT_SUPPORTED, nullptr));
    });
    int failed = 0;
    for (int i = 0; i < 100 && failed == 0; ++i) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            alarm(5);
            char* text = kr_msg_get_msg(YAV_S_NO_MEMORY, nullptr);
            _exit(text != nullptr && strstr(text, "QRXIC0012E") != nullptr ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        failed += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    stop = true;
    busy.join();
    EXPECT_EQ(failed, 0);
}

TEST(KrMsgPathTest, ExpandsSearchPathElements) {
    struct Case {
        const char* element;
        const char* locale;
        const char* expected;  // null: refused
    };
    const Case cases[] = {
        {"/m/%L/%N.cat", "de_DE.ISO-8859-1@euro", "/m/de_DE.ISO-8859-1@euro/krpic.cat.cat"},
        {"%l|%t|%c", "de_DE.ISO-8859-1@euro", "de|DE|ISO-8859-1"},
        {"%l|%t|%c", "C.UTF-8", "C||UTF-8"},
        {"%l|%t|%c", "sr@latin", "sr||"},
        {"100%%/%N", "C", "100%/krpic.cat"},
        {"/m/%x/%N", "C", nullptr},
        {"/m/%N%", "C", nullptr},
    };
    for (const Case& c : cases) {
        char out[128];
        bool ok = yav_msg_expand_path(c.element, strlen(c.element), "krpic.cat", c.locale, out,
                                      sizeof out);
        ASSERT_EQ(ok, c.expected != nullptr) << c.element;
        if (ok) {
            EXPECT_STREQ(out, c.expected) << c.element;
        }
    }
    char out[32];
    ASSERT_TRUE(yav_msg_expand_path("/a/%N:/b/%N", 5, "x", "C", out, sizeof out));
    EXPECT_STREQ(out, "/a/x");                                         // only `length` bytes count
    ASSERT_TRUE(yav_msg_expand_path("/a/%N", 5, "xyz", "C", out, 7));  // exact fit
    EXPECT_FALSE(yav_msg_expand_path("/a/%N", 5, "xyz", "C", out, 6));
    EXPECT_FALSE(yav_msg_expand_path("/a", 2, "x", "C", out, 0));
}

TEST(KrMsgCatalogCheckTest, AcceptsWhatGlibcReadsAndRefusesDamagedCatalogs) {
    std::string good = readFile(fs::path(YAV_TEST_MSG_DIR) / "C" / "krpic.cat");
    EXPECT_TRUE(catalogValid(good));
    for (size_t size = 0; size < good.size(); ++size) {
        ASSERT_FALSE(catalogValid(good.substr(0, size))) << "cut to " << size;
    }
    // One plane: set 1 (stored as 2), message 3, text at offset 4.
    const std::vector<uint32_t> entry = {2, 3, 4};
    const std::string strings("abc\0text\0", 9);
    std::string swapped = catalogImage(1, 1, entry, strings);
    std::reverse(swapped.begin(), swapped.begin() + 4);
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {catalogImage(1, 1, entry, strings), true},
        {swapped, false},  // other byte order: glibc refuses it too
        {catalogImage(0, 1, entry, strings), false},
        {catalogImage(1, 0, entry, strings), false},
        {catalogImage(2, 1, entry, strings), false},  // tables larger than the file
        {catalogImage(1, 0x7fffffffU, entry, strings), false},
        {catalogImage(0x7fffffffU, 0x7fffffffU, entry, strings), false},
        {catalogImage(1, 1, {2, 3, 9}, strings), false},
        {catalogImage(1, 1, entry, std::string("abc\0text", 8)), false},
        {catalogImage(1, 1, entry, ""), false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(catalogValid(cases[i].bytes), cases[i].valid) << "case " << i;
    }

    // The hand-built layout is the one glibc reads.
    YavTestTempDir dir("kr_msg_cat.");
    ASSERT_TRUE(dir.ok()) << dir.error();
    fs::path file = dir.path("t.cat");
    writeFile(file, cases[0].bytes);
    nl_catd catd = catopen(file.c_str(), NL_CAT_LOCALE);
    ASSERT_NE(catd, reinterpret_cast<nl_catd>(-1));
    EXPECT_STREQ(catgets(catd, 1, 3, nullptr), "text");
    catclose(catd);
}

TEST(KrMsgCatalogCheckTest, RandomCatalogsThatPassAreSafeForCatgets) {
    // The check stays inside random images, and catgets reads whatever it
    // accepts, for every message number, without a crash.
    YavTestTempDir dir("kr_msg_cat.");
    ASSERT_TRUE(dir.ok()) << dir.error();
    fs::path file = dir.path("r.cat");
    std::mt19937 random(11);
    int accepted = 0;
    for (int round = 0; round < 400; ++round) {
        uint32_t planeSize = 1 + random() % 3, planeDepth = 1 + random() % 3;
        std::vector<uint32_t> entries(3 * planeSize * planeDepth);
        for (uint32_t& v : entries) v = random() % 4 == 0 ? random() : random() % 24;
        std::string strings(random() % 24, '\0');
        for (char& c : strings) c = random() % 3 == 0 ? '\0' : 'a' + random() % 26;
        std::string image = catalogImage(planeSize, planeDepth, entries, strings);
        if (round % 5 == 0) image.resize(random() % (image.size() + 1));
        if (!catalogValid(image)) continue;
        ++accepted;
        writeFile(file, image);
        nl_catd catd = catopen(file.c_str(), NL_CAT_LOCALE);
        ASSERT_NE(catd, reinterpret_cast<nl_catd>(-1)) << "round " << round;
        for (int number = 1; number < 30; ++number) {
            const char* text = catgets(catd, 1, number, nullptr);
            if (text != nullptr) {
                EXPECT_LT(strlen(text), image.size());
            }
        }
        catclose(catd);
    }
    EXPECT_GT(accepted, 20);
}

}  // namespace
