#include "core/http/YavHTTPHdrNameRef.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "core/http/YavHTTPHeaders.h"

namespace {

std::string text(const YavStringRef& r) { return std::string(r.getData(), r.getLength()); }

std::string recase(const std::string& s, int pattern) {
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        bool upper = ((pattern >> (i % 3)) & 1) != 0;
        out[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
    }
    return out;
}

const std::vector<const YavHTTPHdrNameRef*>& headerNames() {
    static const std::vector<const YavHTTPHdrNameRef*> names = {
        &yav_hdr_accept_charset,
        &yav_hdr_accept_language,
        &yav_hdr_accept_ranges,
        &yav_hdr_authorization,
        &yav_hdr_cache_control,
        &yav_hdr_connection,
        &yav_hdr_content_length,
        &yav_hdr_content_range,
        &yav_hdr_content_type,
        &yav_hdr_cookie,
        &yav_hdr_host,
        &yav_hdr_if_modified_since,
        &yav_hdr_if_match,
        &yav_hdr_if_none_match,
        &yav_hdr_if_range,
        &yav_hdr_if_unmodified_since,
        &yav_hdr_last_modified,
        &yav_hdr_location,
        &yav_hdr_no_cache,
        &yav_hdr_pragma,
        &yav_hdr_referer,
        &yav_hdr_set_cookie,
        &yav_hdr_user_agent,
        &yav_hdr_transfer_encoding,
        &yav_hdr_www_authenticate,
    };
    return names;
}

TEST(YavHTTPHdrNameRefTest, HashFollowsTheSampledCaseBlindRecurrence) {
    // Worked out by hand from h = 5381, h = h * 33 ^ lower(byte) for bytes 0, 4, 8, ...
    const uint32_t hA = 5381u * 33u ^ 'a';
    const std::vector<std::pair<const char*, uint32_t>> cases = {
        {"", 5381u},
        {"A", hA},
        {"aXYZ", hA},
        {"ABCDE", hA * 33u ^ 'e'},
        {"CxxxExxxTxxx", ((5381u * 33u ^ 'c') * 33u ^ 'e') * 33u ^ 't'},
        {"\xC4", 5381u * 33u ^ 0xC4u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, YavHTTPHdrNameRef(YavStringRef(c.first)).hash());
}

TEST(YavHTTPHdrNameRefTest, NamesThatCompareEqualHashAlike) {
    for (const YavHTTPHdrNameRef* name : headerNames()) {
        const std::string original = text(*name);
        for (int pattern = 0; pattern < 8; ++pattern) {
            const std::string other = recase(original, pattern);
            YavHTTPHdrNameRef ref(other.data(), static_cast<int>(other.size()));
            EXPECT_EQ(0, ref.compare(*name)) << other;
            EXPECT_EQ(0, name->compare(ref)) << other;
            EXPECT_TRUE(ref.equals(*name)) << other;
            EXPECT_EQ(name->hash(), ref.hash()) << other;
        }
    }
}

TEST(YavHTTPHdrNameRefTest, ComparisonFoldsOnlyASCIILetters) {
    struct Case {
        const char* a;
        const char* b;
        int order;
    };
    const std::vector<Case> cases = {
        {"Host", "host", 0}, {"Host", "Hosts", -1}, {"Hosts", "host", 1}, {"a", "B", -1},
        {"[", "{", -1},      {"@", "`", -1},        {"\xC4", "\xE4", -1}, {"", "", 0},
        {"", "x", -1},       {"Z", "z", 0},
    };
    for (const Case& c : cases) {
        YavHTTPHdrNameRef a(YavStringRef(c.a)), b(YavStringRef(c.b));
        int order = a.compare(b);
        EXPECT_EQ(c.order, order < 0 ? -1 : (order > 0 ? 1 : 0)) << c.a << " / " << c.b;
    }
}

TEST(YavHTTPHdrNameRefTest, RepointingRecomputesTheHash) {
    YavHTTPHdrNameRef ref(YavStringRef("Host"));
    ref.set("Cookie", 6);
    EXPECT_EQ(yav_hdr_cookie.hash(), ref.hash());
    EXPECT_EQ(0, ref.compare(yav_hdr_cookie));
}

}  // namespace
