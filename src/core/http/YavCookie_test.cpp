#include "core/http/YavCookie.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/msg/yav_status.h"

namespace {

std::string str(const YavStringRefT<char>& r) { return std::string(r.getData(), r.getLength()); }

// The serialised form through getLen and get(char*), checking both agree.
std::string serialise(YavCookie& cookie, yav_status_t* status = nullptr) {
    int length = -1;
    yav_status_t st = cookie.getLen(&length);
    if (status != nullptr) *status = st;
    if (st != 0) return "<err>";
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '#');
    st = cookie.get(buffer.data());
    if (status != nullptr) *status = st;
    if (st != 0) return "<err>";
    EXPECT_EQ(buffer[static_cast<size_t>(length)], '\0');
    EXPECT_EQ(strlen(buffer.data()), static_cast<size_t>(length));
    return std::string(buffer.data(), static_cast<size_t>(length));
}

struct ReqCase {
    const char* text;
    const char* name;
    const char* value;   // null: no value
    const char* path;    // null: none
    const char* domain;  // null: none
    const char* form;    // the bytes consumed (reproduced)
};

TEST(YavReqCookieTest, ParsesPartsAndReproducesConsumedTextExactly) {
    const ReqCase cases[] = {
        {"a=b; $Path=/x; $DOMAIN=.d.com", "a", "b", "/x", ".d.com",
         "a=b; $Path=/x; $DOMAIN=.d.com"},
        {"a=b; c=d", "a", "b", nullptr, nullptr, "a=b; "},
        {"a=b, c=d", "a", "b", nullptr, nullptr, "a=b, "},
        {"a", "a", nullptr, nullptr, nullptr, "a"},
        {"a = \"q v\" ;$path = /p", "a", "\"q v\"", "/p", nullptr, "a = \"q v\" ;$path = /p"},
        {"a=b;;$Path=/y", "a", "b", "/y", nullptr, "a=b;;$Path=/y"},
        {"a=b; $Domain; x=1", "a", "b", nullptr, nullptr, "a=b; $Domain; "},
        {"n=v; $Path=/a; $Path=/b", "n", "v", "/b", nullptr, "n=v; $Path=/a; $Path=/b"},
    };
    for (const ReqCase& c : cases) {
        SCOPED_TRACE(c.text);
        YavReqCookie cookie{YavStringRefT<char>(c.text)};
        YavStringRef name;
        ASSERT_EQ(cookie.getName(&name), 0u);
        EXPECT_EQ(str(name), c.name);
        YavNCPStringRef part;
        yav_status_t st = cookie.getValue(&part);
        if (c.value == nullptr) {
            EXPECT_EQ(st, YAV_S_NOT_AVAILABLE);
        } else {
            ASSERT_EQ(st, 0u);
            EXPECT_EQ(str(part), c.value);
        }
        st = cookie.getPath(&part);
        EXPECT_EQ(st == 0 ? str(part) : std::string("<none>"), c.path ? c.path : "<none>");
        st = cookie.getDomain(&part);
        EXPECT_EQ(st == 0 ? str(part) : std::string("<none>"), c.domain ? c.domain : "<none>");
        EXPECT_EQ(serialise(cookie), c.form);
    }
}

TEST(YavReqCookieTest, FormatsFromPartsOnceChanged) {
    YavReqCookie bare{YavStringRefT<char>("a")};
    ASSERT_EQ(bare.setPath(YavStringRefT<char>("/p")), 0u);
    EXPECT_EQ(serialise(bare), "a=; $Path=/p");

    YavReqCookie parsed{YavStringRefT<char>("a=b;  $PATH=/x")};
    ASSERT_EQ(parsed.setDomain(YavStringRefT<char>(".e.org")), 0u);
    EXPECT_EQ(serialise(parsed), "a=b; $Path=/x; $Domain=.e.org");
    ASSERT_EQ(parsed.setPath(YavStringRefT<char>("")), 0u);
    EXPECT_EQ(serialise(parsed), "a=b; $Domain=.e.org");

    YavStringRefT<char> path("/q");
    YavReqCookie parts(YavStringRef("nm"), YavStringRefT<char>(""), &path, nullptr);
    YavNCPStringRef value;
    ASSERT_EQ(parts.getValue(&value), 0u);  // present and empty
    EXPECT_TRUE(value.isEmpty());
    EXPECT_EQ(serialise(parts), "nm=; $Path=/q");
    ASSERT_EQ(parts.setValue(YavStringRefT<char>("vv")), 0u);
    EXPECT_EQ(serialise(parts), "nm=vv; $Path=/q");

    YavReqCookie empty;
    yav_status_t st = 0;
    serialise(empty, &st);
    EXPECT_EQ(st, YAV_S_NOT_AVAILABLE);
    YavStringRef name;
    EXPECT_EQ(empty.getName(&name), YAV_S_NOT_AVAILABLE);
}

TEST(YavReqCookieTest, SetReplacesPartsAndReproducesWholeTextUntilParsed) {
    YavStringRefT<char> path("/x");
    YavReqCookie cookie(YavStringRef("a"), YavStringRefT<char>("b"), &path, nullptr);
    ASSERT_EQ(cookie.set(YavStringRefT<char>("z=9; q=1")), 0u);
    std::vector<char> whole(9);
    ASSERT_EQ(cookie.get(whole.data()), 0u);
    EXPECT_STREQ(whole.data(), "z=9; q=1");  // not parsed yet: the whole text
    YavStringRef name;
    ASSERT_EQ(cookie.getName(&name), 0u);
    EXPECT_EQ(str(name), "z");
    YavNCPStringRef none;
    EXPECT_EQ(cookie.getPath(&none), YAV_S_NOT_AVAILABLE);
    EXPECT_EQ(serialise(cookie), "z=9; ");
}

TEST(YavReqCookieTest, GetIntoStringAndTakeOwnershipSurviveTheSource) {
    char* text = strdup("k=v1; $Path=/s");
    YavReqCookie cookie{YavStringRefT<char>(text)};
    YavNCPStringRef value;
    ASSERT_EQ(cookie.getValue(&value), 0u);
    ASSERT_EQ(cookie.takeOwnership(), 0u);
    memset(text, 'X', strlen(text));
    free(text);
    YavNCPString out;
    ASSERT_EQ(cookie.get(&out), 0u);
    EXPECT_EQ(std::string(out.getData(), out.getLength()), "k=v1; $Path=/s");
    ASSERT_EQ(cookie.getValue(&value), 0u);
    EXPECT_EQ(str(value), "v1");
    ASSERT_EQ(cookie.setName(YavStringRef("m")), 0u);
    ASSERT_EQ(cookie.get(&out), 0u);
    EXPECT_EQ(std::string(out.getData(), out.getLength()), "m=v1; $Path=/s");
}

struct RespCase {
    const char* text;
    yav_status_t status;
    const char* form;  // reproduced text on success
};

TEST(YavRespCookieTest, ParseStatusesAndConsumedText) {
    const RespCase cases[] = {
        {"id=7; Path=/; Secure; HttpOnly", 0, "id=7; Path=/; Secure; "},
        {"a=1; Version=1x", YAV_S_COOKIE_BAD_VERSION, nullptr},
        {"a=1; Version=", YAV_S_COOKIE_BAD_PARAM_VALUE, nullptr},
        {"a=1; Version", YAV_S_COOKIE_VERSION_NO_VALUE, nullptr},
        {"a=1; Version=99999999999", YAV_S_COOKIE_BAD_VERSION, nullptr},
        {"a=1; Max-Age", YAV_S_COOKIE_MAX_AGE_NO_VALUE, nullptr},
        {"a=1; Secure=1", YAV_S_COOKIE_SECURE_HAS_VALUE, nullptr},
        {"a=1; (", YAV_S_COOKIE_BAD_PARAM_NAME, nullptr},
        {"a=1; Domain", YAV_S_COOKIE_DOMAIN_NO_VALUE, nullptr},
        {"a=1; path", YAV_S_COOKIE_PATH_NO_VALUE, nullptr},
        {"a=1; Comment", YAV_S_COOKIE_COMMENT_NO_VALUE, nullptr},
        {"a=1; Expires", YAV_S_COOKIE_EXPIRES_NO_VALUE, nullptr},
        {"a", YAV_S_HTTP_UNEXPECTED_END, nullptr},
        {"a ", YAV_S_HTTP_UNEXPECTED_END, nullptr},
        {"=1", YAV_S_NOT_AVAILABLE, nullptr},
        {"a=1, b=2", 0, "a=1"},
        {"a=1 b=2", 0, "a=1 b=2"},
        {"A = 1 ;COMMENT=\"x y\" ; domain=.d ;VERSION=3", 0,
         "A = 1 ;COMMENT=\"x y\" ; domain=.d ;VERSION=3"},
        {"a=1; Expires=Wed, 09 Jun 2021 10:18:14 GMT", 0, "a=1; Expires=Wed"},
    };
    for (const RespCase& c : cases) {
        SCOPED_TRACE(c.text);
        YavRespCookie cookie(YavStringRefT<char>(c.text), nullptr);
        yav_status_t st = 0;
        std::string form = serialise(cookie, &st);
        EXPECT_EQ(st, c.status);
        if (c.status == 0) {
            EXPECT_EQ(form, c.form);
        }
    }
}

TEST(YavRespCookieTest, ReadsEveryAttribute) {
    YavRespCookie cookie(
        YavStringRefT<char>("n=v; Comment=c; Domain=.d; Path=/p; Max-Age=5; "
                            "Expires=Wed, 09-Jun-2021 10:18:14 GMT; Version=12; Secure"),
        nullptr);
    YavNCPStringRef r;
    ASSERT_EQ(cookie.getComment(&r), 0u);
    EXPECT_EQ(str(r), "c");
    ASSERT_EQ(cookie.getDomain(&r), 0u);
    EXPECT_EQ(str(r), ".d");
    ASSERT_EQ(cookie.getPath(&r), 0u);
    EXPECT_EQ(str(r), "/p");
    ASSERT_EQ(cookie.getMaxAge(&r), 0u);
    EXPECT_EQ(str(r), "5");
    ASSERT_EQ(cookie.getExpires(&r), 0u);
    EXPECT_EQ(str(r), "Wed, 09-Jun-2021 10:18:14 GMT");
    int version = 0;
    ASSERT_EQ(cookie.getVersion(&version), 0u);
    EXPECT_EQ(version, 12);
    bool secure = false;
    ASSERT_EQ(cookie.getSecure(&secure), 0u);
    EXPECT_TRUE(secure);
    ASSERT_EQ(cookie.setComment(YavStringRefT<char>("")), 0u);
    EXPECT_EQ(serialise(cookie),
              "n=v; Domain=.d; Path=/p; Max-Age=5; Expires=Wed, 09-Jun-2021 10:18:14 GMT; "
              "Version=12; Secure");
    ASSERT_EQ(cookie.setSecure(false), 0u);
    ASSERT_EQ(cookie.setVersion(-1), 0u);
    EXPECT_EQ(serialise(cookie),
              "n=v; Domain=.d; Path=/p; Max-Age=5; Expires=Wed, 09-Jun-2021 10:18:14 GMT");
}

TEST(YavRespCookieTest, FormatsFromPartsWithMatchingLength) {
    YavStringRefT<char> slash("/");
    YavRespCookie a(YavStringRef("n"), YavStringRefT<char>("v"), &slash, nullptr, nullptr, nullptr,
                    1, 1, nullptr);
    EXPECT_EQ(serialise(a), "n=v; Path=/; Version=1; Secure");

    YavStringRefT<char> dom(".x"), com("hi"), age("60"), empty("");
    YavRespCookie b(YavStringRef("n"), YavStringRefT<char>(""), &empty, &dom, &com, &age,
                    UINT32_MAX, 4000000, nullptr);
    EXPECT_EQ(serialise(b), "n=; Comment=hi; Domain=.x; Max-Age=60; Version=4000000");
    bool secure = true;
    EXPECT_EQ(b.getSecure(&secure), YAV_S_NOT_AVAILABLE);
    YavNCPStringRef r;
    EXPECT_EQ(b.getPath(&r), YAV_S_NOT_AVAILABLE);

    YavRespCookie c(YavStringRef("n"), YavStringRefT<char>("v"), nullptr, nullptr, nullptr, nullptr,
                    0, -1, nullptr);
    EXPECT_EQ(serialise(c), "n=v");
    int version = 0;
    EXPECT_EQ(c.getVersion(&version), YAV_S_NOT_AVAILABLE);
    ASSERT_EQ(c.setVersion(0), 0u);
    EXPECT_EQ(serialise(c), "n=v; Version=0");

    YavRespCookie noText;
    YavBufferCursor cursor("a=1", 3);
    EXPECT_EQ(noText.parseString(cursor), YAV_S_NOT_AVAILABLE);
}

TEST(YavRespCookieTest, UnchangedVersionKeepsTextAndMaxAgePrecedesExpires) {
    const char* text = "v=1;version=1;  path=/a";
    YavRespCookie same(YavStringRefT<char>(text), nullptr);
    ASSERT_EQ(same.setVersion(1), 0u);
    EXPECT_EQ(serialise(same), text);
    ASSERT_EQ(same.setVersion(2), 0u);
    EXPECT_EQ(serialise(same), "v=1; Path=/a; Version=2");

    YavRespCookie none(YavStringRefT<char>("v=1"), nullptr);
    ASSERT_EQ(none.setVersion(-1), 0u);
    EXPECT_EQ(serialise(none), "v=1");

    YavRespCookie dated(YavStringRefT<char>("s=x; expires=Thu, 01-Jan-2037 00:00:00 GMT"), nullptr);
    ASSERT_EQ(dated.setMaxAge(YavStringRefT<char>("60")), 0u);
    EXPECT_EQ(serialise(dated), "s=x; Max-Age=60; Expires=Thu, 01-Jan-2037 00:00:00 GMT");

    // set() forgets every attribute of the previous text.
    ASSERT_EQ(dated.set(YavStringRefT<char>("t=y")), 0u);
    YavNCPStringRef r;
    EXPECT_EQ(dated.getMaxAge(&r), YAV_S_NOT_AVAILABLE);
    EXPECT_EQ(dated.getExpires(&r), YAV_S_NOT_AVAILABLE);
    EXPECT_EQ(serialise(dated), "t=y");
}

TEST(YavRespCookieTest, TakeOwnershipCopiesEveryAttribute) {
    std::string text = "n=v; Comment=c; Max-Age=9; Expires=e";
    YavRespCookie cookie(YavStringRefT<char>(text.data(), static_cast<int>(text.size())), nullptr);
    ASSERT_EQ(cookie.setPath(YavStringRefT<char>("/p")), 0u);
    ASSERT_EQ(cookie.takeOwnership(), 0u);
    ASSERT_EQ(cookie.takeOwnership(), 0u);  // again, from its own copies
    text.assign(text.size(), 'Z');
    EXPECT_EQ(serialise(cookie), "n=v; Comment=c; Path=/p; Max-Age=9; Expires=e");
}

// Every prefix of each text, and random bytes, in exactly sized heap
// blocks: parsing and serialising must stay inside the input.
template <class Cookie>
void exercise(const char* bytes, int n) {
    char* block = static_cast<char*>(malloc(n > 0 ? static_cast<size_t>(n) : 1));
    if (n > 0) memcpy(block, bytes, static_cast<size_t>(n));
    Cookie cookie(YavStringRefT<char>(block, n), nullptr);
    int length = 0;
    if (cookie.getLen(&length) == 0) {
        ASSERT_LE(length, n);
        std::vector<char> out(static_cast<size_t>(length) + 1);
        ASSERT_EQ(cookie.get(out.data()), 0u);
        EXPECT_EQ(memcmp(out.data(), block, static_cast<size_t>(length)), 0);
        if (cookie.setValue(YavStringRefT<char>("w")) == 0) {
            ASSERT_EQ(cookie.getLen(&length), 0u);
            out.assign(static_cast<size_t>(length) + 1, 0);
            ASSERT_EQ(cookie.get(out.data()), 0u);
            EXPECT_EQ(strlen(out.data()), static_cast<size_t>(length));
        }
    }
    free(block);
}

struct ReqAdapter : YavReqCookie {
    ReqAdapter(const YavStringRefT<char>& t, YavAllocator*) : YavReqCookie(t) {}
};

TEST(YavCookieRobustnessTest, TruncationAtEveryOffsetAndRandomBytes) {
    const char* texts[] = {
        "a=b; $Path=/x; $DOMAIN=.d.com, c=\"q\\\"d\"; $Path=/",
        "id=7; Comment=\"c\"; Path=/; Version=1; Max-Age=3; "
        "Expires=Wed, 09-Jun-2021 10:18:14 GMT; Secure; HttpOnly",
    };
    for (const char* text : texts) {
        int n = static_cast<int>(strlen(text));
        for (int i = 0; i <= n; ++i) {
            exercise<ReqAdapter>(text, i);
            exercise<YavRespCookie>(text, i);
        }
    }
    std::mt19937 rng(7);
    const char alphabet[] = "a=;, \t\r\n\"\\$Path-Version0123456789\x80\xff";
    for (int round = 0; round < 3000; ++round) {
        int n = static_cast<int>(rng() % 40);
        std::string bytes;
        for (int i = 0; i < n; ++i) {
            bytes += (round % 2 == 0) ? alphabet[rng() % (sizeof(alphabet) - 1)]
                                      : static_cast<char>(rng() & 0xff);
        }
        exercise<ReqAdapter>(bytes.data(), n);
        exercise<YavRespCookie>(bytes.data(), n);
    }
}

TEST(YavRespCookieTest, EveryOperationReportsATextThatDoesNotParse) {
    const char text[] = "a=1; Version=x";
    YavRespCookie cookie(YavStringRefT<char>(text, static_cast<int>(sizeof text - 1)), nullptr);
    YavStringRef name;
    EXPECT_EQ(YAV_S_COOKIE_BAD_VERSION, cookie.getName(&name));
    EXPECT_EQ(YAV_S_COOKIE_BAD_VERSION, cookie.setDomain(YavStringRefT<char>("example.com")));
    EXPECT_EQ(YAV_S_COOKIE_BAD_VERSION, cookie.getName(&name));
}

}  // namespace
