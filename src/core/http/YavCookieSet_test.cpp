#include "core/http/YavCookieSet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"

namespace {

std::string str(const YavStringRefT<char>& r) { return std::string(r.getData(), r.getLength()); }

std::string header(YavReqCookieSet& set, yav_status_t* status = nullptr) {
    int length = -1;
    yav_status_t st = set.getLen(&length);
    if (status != nullptr) *status = st;
    if (st != 0) return "<err>";
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '#');
    st = set.getHeaderValue(buffer.data());
    if (status != nullptr) *status = st;
    if (st != 0) return "<err>";
    EXPECT_EQ(strlen(buffer.data()), static_cast<size_t>(length));
    return std::string(buffer.data());
}

// "name=value[path]" of every cookie of each name, in list order.
template <class Set>
std::string listing(Set& set, const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        YavStringRef name(n.c_str());
        for (auto it = set.beginName(name); !it.atEnd(); it.next()) {
            YavNCPStringRef value, path;
            out += n + "=";
            if (it.getCookie()->getValue(&value) == 0) out += str(value);
            if (it.getCookie()->getPath(&path) == 0) out += "[" + str(path) + "]";
            out += " ";
        }
    }
    return out;
}

// Runs exercise over every prefix of text and over random texts (of
// alphabet's characters or of any bytes), each in a block of exactly its
// size, so that AddressSanitizer sees any read past it.
template <class F>
void truncatedAndRandom(const char* text, const char* alphabet, unsigned seed, F exercise) {
    auto run = [&exercise](const char* bytes, size_t n) {
        std::unique_ptr<char[]> block(new char[n > 0 ? n : 1]);
        memcpy(block.get(), bytes, n);
        exercise(block.get(), static_cast<int>(n));
    };
    for (size_t i = 0; i <= strlen(text); ++i) run(text, i);
    std::mt19937 rng(seed);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(rng() % 40, ' ');
        for (char& c : bytes) {
            c = round % 2 == 0 ? alphabet[rng() % strlen(alphabet)] : static_cast<char>(rng());
        }
        run(bytes.data(), bytes.size());
    }
}

struct HeaderCase {
    const char* text;
    yav_status_t status;
    int version;  // -1: none
    const char* cookies;
    const char* rebuilt;
};

TEST(YavReqCookieSetTest, ParsesHeadersAndRebuildsThem) {
    const HeaderCase cases[] = {
        {"$Version=1; a=b; $Path=/x; c=d", 0, 1, "a=b[/x] c=d ", "$Version=1; a=b; $Path=/x; c=d"},
        {"$Version=abc; a=b", 0, -1, "a=b ", "a=b"},
        {"$VERSION=7, a=b", 0, 7, "a=b ", "$Version=7; a=b"},
        {"$Version=1", 0, 1, "", "$Version=1"},
        {"$Version=\"1\" x", YAV_S_COOKIE_BAD_DELIMITER, -1, "", nullptr},
        {"a=b, c=d", 0, -1, "a=b c=d ", "a=b; c=d"},
        {";a=b", 0, -1, "a=b ", "a=b"},
        {"a=1; a=2", 0, -1, "a=2 ", "a=2"},
        {"a=1; $Path=/x; a=2; $Path=/x/y", 0, -1, "a=2[/x/y] a=1[/x] ",
         "a=2; $Path=/x/y; a=1; $Path=/x"},
        {"a=1; $Path=/x; a=2; $Path=/z", YAV_S_COOKIE_BAD_PATH, -1, "a=1[/x] ", nullptr},
        {"a=b\r\nc=d", 0, -1, "a=b ", "a=b"},
        {"", 0, -1, "", ""},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.text);
        YavReqCookieSet set(YavStringRefT<char>(c.text), nullptr);
        EXPECT_EQ(set.parseString(), c.status);
        EXPECT_EQ(listing(set, {"a", "c"}), c.cookies);
        if (c.status != 0) continue;
        int version = -1;
        yav_status_t st = set.getVersion(&version);
        EXPECT_EQ(st == 0 ? version : -1, c.version);
        EXPECT_EQ(header(set), c.rebuilt);
    }
}

TEST(YavReqCookieSetTest, RemovesAndRebuilds) {
    YavReqCookieSet set(YavStringRefT<char>("$Version=1; a=b; $Path=/x; c=d"), nullptr);
    ASSERT_EQ(set.removeCookie(YavStringRef("c"), nullptr), 0u);  // parses first
    EXPECT_EQ(header(set), "$Version=1; a=b; $Path=/x");
    ASSERT_EQ(set.setVersion(-1), 0u);
    EXPECT_EQ(header(set), "a=b; $Path=/x");
    YavStringRefT<char> other("/y");
    ASSERT_EQ(set.removeCookie(YavStringRef("a"), &other), 0u);
    EXPECT_EQ(header(set), "a=b; $Path=/x");
    YavStringRefT<char> x("/x");
    ASSERT_EQ(set.removeCookie(YavStringRef("a"), &x), 0u);
    EXPECT_EQ(header(set), "");
    EXPECT_TRUE(set.beginName(YavStringRef("a")).atEnd());

    YavReqCookieSet empty;
    EXPECT_EQ(empty.parseString(), YAV_S_NOT_AVAILABLE);
    int version = 0;
    EXPECT_EQ(empty.getVersion(&version), YAV_S_NOT_AVAILABLE);
}

TEST(YavReqCookieSetTest, KeepsPathOrderAndOneCookiePerNameAndPath) {
    YavReqCookieSet set;
    YavStringRefT<char> x("/x"), xy("/x/y"), z("/z"), root("/"), d(".d");
    ASSERT_EQ(set.setCookie(YavStringRef("a"), YavStringRefT<char>("1"), &x, nullptr), 0u);
    ASSERT_EQ(set.setCookie(YavStringRef("a"), YavStringRefT<char>("2"), &xy, nullptr), 0u);
    EXPECT_EQ(listing(set, {"a"}), "a=2[/x/y] a=1[/x] ");
    EXPECT_EQ(set.setCookie(YavStringRef("a"), YavStringRefT<char>("3"), &z, nullptr),
              YAV_S_COOKIE_BAD_PATH);
    ASSERT_EQ(set.setCookie(YavStringRef("a"), YavStringRefT<char>("4"), &x, &d), 0u);
    ASSERT_EQ(set.setCookie(YavStringRef("a"), YavStringRefT<char>("5"), &root, nullptr), 0u);
    ASSERT_EQ(set.setCookie(YavStringRefT<char>("b=6")), 0u);
    EXPECT_EQ(listing(set, {"a", "b"}), "a=2[/x/y] a=4[/x] a=5[/] b=6 ");
    EXPECT_EQ(header(set), "a=2; $Path=/x/y; a=4; $Path=/x; $Domain=.d; a=5; $Path=/; b=6");

    // By name: the first "a" becomes /x, the old /x goes, order is kept.
    ASSERT_EQ(set.setCookieByName(YavStringRef("a"), YavStringRefT<char>("7"), &x, nullptr), 0u);
    EXPECT_EQ(listing(set, {"a", "b"}), "a=7[/x] a=5[/] b=6 ");
    ASSERT_EQ(set.setCookieByName(YavStringRefT<char>("c=8")), 0u);
    EXPECT_EQ(listing(set, {"a", "b", "c"}), "a=7[/x] a=5[/] b=6 c=8 ");

    ASSERT_EQ(set.removeCookie(YavStringRef("a"), nullptr), 0u);
    EXPECT_EQ(header(set), "b=6; c=8");
}

TEST(YavReqCookieSetTest, SetByNameAdoptsAndKeepsAConflictingPathFirst) {
    YavReqCookieSet set(YavStringRefT<char>("a=1; $Path=/x/y, a=2; $Path=/x, b=3"), nullptr);
    YavReqCookie* adopted = new (nullptr) YavReqCookie(YavStringRefT<char>("a=4; $Path=/z"));
    ASSERT_NE(adopted, nullptr);
    ASSERT_EQ(adopted->takeOwnership(), 0u);
    // /z fits neither before nor after /x: the changed cookie stays first.
    ASSERT_EQ(set.setCookieByName(adopted, true), 0u);
    EXPECT_EQ(listing(set, {"a", "b"}), "a=4[/z] a=2[/x] b=3 ");
    YavReqCookie* unnamed = new (nullptr) YavReqCookie(YavStringRefT<char>("=5"));
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(set.setCookieByName(unnamed, true), YAV_S_NOT_AVAILABLE);  // and deleted
    YavReqCookie* fresh =
        new (nullptr) YavReqCookie(YavStringRef("c"), YavStringRefT<char>("6"), nullptr, nullptr);
    ASSERT_NE(fresh, nullptr);
    ASSERT_EQ(set.setCookieByName(fresh, true), 0u);  // no "c" yet: added
    EXPECT_EQ(header(set), "a=4; $Path=/z; a=2; $Path=/x; b=3; c=6");
}

// Counts allocations so that the embedded entry can be seen in use.
class CountingAllocator : public YavAllocator {
  public:
    int allocations = 0;
    int failAfter = -1;
    void* do_allocate(size_t size) override {
        if (failAfter >= 0 && allocations >= failAfter) return nullptr;
        ++allocations;
        return malloc(size);
    }
    void do_deallocate(void* ptr) override { free(ptr); }
};

TEST(YavReqCookieSetTest, EmbeddedEntryAndAdoptedCookies) {
    CountingAllocator alloc;
    {
        YavReqCookieSet set(&alloc);
        ASSERT_EQ(set.setCookie(YavStringRefT<char>("a=1")), 0u);
        EXPECT_EQ(alloc.allocations, 0);
        ASSERT_EQ(set.removeCookie(YavStringRef("a"), nullptr), 0u);
        ASSERT_EQ(set.setCookie(YavStringRefT<char>("b=2")), 0u);
        EXPECT_EQ(alloc.allocations, 0);
        EXPECT_EQ(header(set), "b=2");
        ASSERT_EQ(set.setCookie(YavStringRefT<char>("c=3")), 0u);
        EXPECT_EQ(alloc.allocations, 1);

        alloc.failAfter = alloc.allocations;
        EXPECT_EQ(set.setCookie(YavStringRefT<char>("d=4")), YAV_S_NO_MEMORY);
        EXPECT_EQ(header(set), "b=2; c=3");
        alloc.failAfter = -1;

        char* text = strdup("e=5");
        YavReqCookie* adopted = new (&alloc) YavReqCookie(YavStringRefT<char>(text));
        ASSERT_NE(adopted, nullptr);
        ASSERT_EQ(adopted->takeOwnership(), 0u);
        free(text);
        ASSERT_EQ(set.setCookie(adopted, true), 0u);
        YavReqCookie* merged = new (&alloc) YavReqCookie(YavStringRefT<char>("e=6"));
        ASSERT_NE(merged, nullptr);
        ASSERT_EQ(merged->takeOwnership(), 0u);
        ASSERT_EQ(set.setCookie(merged, true), 0u);  // merged, then deleted
        EXPECT_EQ(header(set), "b=2; c=3; e=6");
    }
    // Everything the set or its cookies took is back (ASan reports leaks).
}

TEST(YavReqCookieSetTest, TruncationAtEveryOffsetAndRandomBytes) {
    const char* text = "$Version=\"1\"; a=b; $Path=/x, c=\"q;\"; $Domain=.d; a=e; $Path=/x/y";
    truncatedAndRandom(text, "a=;, \t\r\n\"\\$Path/Version01", 11, [](char* block, int n) {
        YavReqCookieSet set(YavStringRefT<char>(block, n), nullptr);
        yav_status_t st = 0;
        std::string rebuilt = header(set, &st);
        if (st == 0) {
            // The rebuilt header parses back to the same header.
            YavReqCookieSet again(YavStringRefT<char>(rebuilt.c_str()), nullptr);
            EXPECT_EQ(header(again), rebuilt);
        }
    });
}

struct RespHeaderCase {
    const char* text;
    yav_status_t status;
    const char* cookies;  // those held afterwards, also after a failure
};

TEST(YavRespCookieSetTest, ParsesSetCookieValues) {
    const RespHeaderCase cases[] = {
        {"a=1; Path=/, b=2", 0, "a=1[/] b=2 "},
        {"a=1 b=2", 0, "a=1 b=2 "},
        {"a=\"1\" b=2", YAV_S_COOKIE_BAD_DELIMITER, "a=\"1\" "},
        {"a=1; HttpOnly", YAV_S_COOKIE_BAD_DELIMITER, "a=1 "},
        {"a=1; Path=/x; Secure, a=2; Path=/x/y\r\nb=3", 0, "a=2[/x/y] a=1[/x] "},
        {"a=1, a=2; Path=/z, a=3; path=/q", YAV_S_COOKIE_BAD_PATH, "a=2[/z] a=1 "},
        {"a=1, b", YAV_S_HTTP_UNEXPECTED_END, "a=1 "},
        {"a=1; Version", YAV_S_COOKIE_VERSION_NO_VALUE, ""},
        {"", YAV_S_NOT_AVAILABLE, ""},
    };
    for (const RespHeaderCase& c : cases) {
        SCOPED_TRACE(c.text);
        YavRespCookieSet set;
        EXPECT_EQ(set.setFromHeaderValue(YavStringRefT<char>(c.text)), c.status);
        EXPECT_EQ(listing(set, {"a", "b"}), c.cookies);
        EXPECT_EQ((set.getFlags() & YavRespCookieSet::yav_resp_cookie_set_parsed) != 0,
                  c.status == 0);
    }
}

TEST(YavRespCookieSetTest, AddsFurtherValuesAndKeepsPathOrder) {
    YavRespCookieSet set;
    ASSERT_EQ(set.setFromHeaderValue(YavStringRefT<char>("a=1; Path=/x")), 0u);
    // Parsed already: parsing again changes nothing.
    ASSERT_EQ(set.parseString(YavStringRefT<char>("c=9")), 0u);
    ASSERT_EQ(set.addFromHeaderValue(YavStringRefT<char>("b=2, a=3; Path=/x/y")), 0u);
    EXPECT_EQ(listing(set, {"a", "b", "c"}), "a=3[/x/y] a=1[/x] b=2 ");

    YavStringRefT<char> x("/x"), z("/z"), root("/"), com("c");
    EXPECT_EQ(set.setCookie(YavStringRef("a"), YavStringRefT<char>("4"), &z, nullptr, nullptr,
                            nullptr, 1, 1),
              YAV_S_COOKIE_BAD_PATH);
    ASSERT_EQ(set.setCookie(YavStringRef("a"), YavStringRefT<char>("5"), &root, nullptr, &com,
                            nullptr, 1, 1),
              0u);
    ASSERT_EQ(set.setCookie(YavStringRefT<char>("a=6; Path=/x")), 0u);
    EXPECT_EQ(listing(set, {"a"}), "a=3[/x/y] a=6[/x] a=5[/] ");
    // Only name, value, path and domain are carried over.
    YavNCPStringRef r;
    auto it = set.beginName(YavStringRef("a"));
    it.next();
    it.next();
    ASSERT_FALSE(it.atEnd());
    EXPECT_EQ(it.getCookie()->getComment(&r), YAV_S_NOT_AVAILABLE);

    ASSERT_EQ(set.setCookieByName(YavStringRefT<char>("a=7; Path=/")), 0u);
    EXPECT_EQ(listing(set, {"a"}), "a=6[/x] a=7[/] ");
    ASSERT_EQ(set.setCookieByName(YavStringRef("d"), YavStringRefT<char>("8"), nullptr, nullptr,
                                  nullptr, nullptr, UINT32_MAX, -1),
              0u);
    ASSERT_EQ(set.removeCookie(YavStringRef("a"), &x), 0u);
    EXPECT_EQ(listing(set, {"a", "b", "d"}), "a=7[/] b=2 d=8 ");
    ASSERT_EQ(set.removeCookie(YavStringRef("a"), nullptr), 0u);
    set.clear();
    EXPECT_EQ(set.getFlags(), 0);
    EXPECT_TRUE(set.beginName(YavStringRef("b")).atEnd());
}

TEST(YavRespCookieSetTest, AllocationFailuresLeaveTheSetIntact) {
    CountingAllocator alloc;
    YavRespCookieSet set(&alloc);
    ASSERT_EQ(set.setFromHeaderValue(YavStringRefT<char>("a=1")), 0u);
    for (int budget = 0; budget < 2; ++budget) {
        alloc.failAfter = alloc.allocations + budget;
        EXPECT_EQ(set.setCookie(YavStringRefT<char>("b=2")), YAV_S_NO_MEMORY);
    }
    alloc.failAfter = -1;
    EXPECT_EQ(listing(set, {"a", "b"}), "a=1 ");
    YavRespCookie* adopted = new (&alloc) YavRespCookie(YavStringRefT<char>("b=3; Secure"), &alloc);
    ASSERT_NE(adopted, nullptr);
    ASSERT_EQ(set.setCookie(adopted, true), 0u);
    bool secure = false;
    auto it = set.beginName(YavStringRef("b"));
    ASSERT_FALSE(it.atEnd());
    ASSERT_EQ(it.getCookie()->getSecure(&secure), 0u);  // the adopted cookie itself
    EXPECT_TRUE(secure);
}

TEST(YavRespCookieSetTest, TruncationAtEveryOffsetAndRandomBytes) {
    const char* text =
        "a=1; Path=/x; Expires=Wed, 09-Jun-2021 10:18:14 GMT, b=\"q,\"; Version=1; Secure, "
        "a=2; Path=/x/y; Max-Age=3";
    truncatedAndRandom(text, "a=;, \t\r\n\"\\PathSecureVersion01", 5, [](char* block, int n) {
        YavRespCookieSet set;
        set.setFromHeaderValue(YavStringRefT<char>(block, n));
        // Whatever was added formats to the length it reports.
        for (const char* name : {"a", "b"}) {
            for (auto it = set.beginName(YavStringRef(name)); !it.atEnd(); it.next()) {
                YavNCPString out;
                ASSERT_EQ(it.getCookie()->get(&out), 0u);
                EXPECT_EQ(strlen(out.getData()), static_cast<size_t>(out.getLength()));
            }
        }
    });
}

}  // namespace
