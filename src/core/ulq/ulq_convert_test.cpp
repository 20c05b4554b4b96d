// Code-set handles and the conversions between code sets, UTF-8, UCS-2 and
// wchar_t.
#include <errno.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "core/ulq/ulq.h"
#include "core/ulq/ulq_test_aids.h"

namespace {

// ulq_to_utf8 / ulq_from_utf8 into a generous buffer; "<fail>" for -1.
std::string recode(long (*fn)(ulq_cs_t, const char*, size_t, char*, size_t), ulq_cs_t cs,
                   const std::string& text) {
    ExactBytes in(text);
    char out[256];
    long n = fn(cs, in.data(), in.size(), out, sizeof(out));
    return n < 0 ? "<fail>" : std::string(out, static_cast<size_t>(n));
}

TEST(UlqCodeSetTest, MakesHandlesForUsableKnownNamesOnly) {
    const struct {
        const char* name;
        int maxLength;  // 0: no handle
    } cases[] = {
        {"UTF8", 4},
        {"utf-8", 4},
        {"ANSI_X3.4-1968", 1},
        {"ISO-8859-1", 1},
        {"EUC-JP", MB_LEN_MAX},
        {"NO-SUCH-CODE-SET", 0},
        {"", 0},
        // A zero byte is not U+0000 there: no code set for C strings.
        {"UTF-16", 0},
    };
    for (const auto& c : cases) {
        CodeSet cs(c.name);
        ASSERT_EQ(cs.get() != nullptr, c.maxLength != 0) << c.name;
        if (cs.get() == nullptr) continue;
        EXPECT_STREQ(ulq_cs_name(cs.get()), c.name);
        EXPECT_EQ(ulq_mb_cur_max(cs.get()), c.maxLength) << c.name;
    }
    EXPECT_EQ(ulq_cs_new(nullptr), nullptr);
    EXPECT_EQ(ulq_cs_new(std::string(200, 'A').c_str()), nullptr);
}

TEST(UlqCodeSetTest, LocalAndDefaultCodeSetsFollowTheLocaleAndSettings) {
    std::string saved = setlocale(LC_ALL, nullptr);
    ASSERT_NE(setlocale(LC_ALL, "C"), nullptr);
    ulq_cs_t ascii = ulq_local_cs();
    char name[32];
    ASSERT_EQ(ulq_os_cs_name(name, sizeof(name)), 0);
    EXPECT_STREQ(name, "ANSI_X3.4-1968");
    EXPECT_EQ(ulq_os_cs_name(name, 5), -1);
    EXPECT_EQ(ulq_mblen(nullptr, "\xC3\xA4", 2), -1);

    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    EXPECT_EQ(ulq_local_cs(), ulq_utf8_cs());
    EXPECT_EQ(ulq_mblen(nullptr, "\xC3\xA4", 2), 2);  // null: default = local
    ulq_cs_free(ascii);                               // ignored: process-wide
    EXPECT_EQ(ulq_mblen(ascii, "\xC3\xA4", 2), -1);   // the old handle still works

    CodeSet latin1("ISO-8859-1");
    ASSERT_EQ(ulq_set_def_cs(latin1.get()), 0);
    EXPECT_EQ(ulq_mblen(nullptr, "\xE4", 1), 1);
    ulq_set_def_cs(nullptr);
    EXPECT_EQ(ulq_get_def_cs(), ulq_local_cs());
    ulq_cs_t temporary = ulq_cs_new("KOI8-R");
    ulq_set_def_cs(temporary);
    ulq_cs_free(temporary);  // freeing the default resets it
    EXPECT_EQ(ulq_get_def_cs(), ulq_local_cs());
    setlocale(LC_ALL, saved.c_str());
}

TEST(UlqConvertTest, ConvertsBetweenCodeSetsAndUtf8) {
    CodeSet latin1("ISO-8859-1"), cp1252("CP1252"), eucjp("EUC-JP"), sjis("SHIFT_JIS");
    const struct {
        ulq_cs_t cs;
        std::string native;
        std::string utf8;  // "<fail>": the native text does not convert
    } cases[] = {
        {latin1.get(), "caf\xE9", "caf\xC3\xA9"},
        {latin1.get(), std::string("a\0b", 3), std::string("a\0b", 3)},
        {cp1252.get(), "\x80", "\xE2\x82\xAC"},
        {eucjp.get(), "a\xC6\xFC\xCB\xDC", "a\xE6\x97\xA5\xE6\x9C\xAC"},
        {sjis.get(), "\x83\x5C\x5C", "\xE3\x82\xBD\xC2\xA5"},
        {ulq_utf8_cs(), "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {cp1252.get(), "a\x81", "<fail>"},  // no character
        {eucjp.get(), "a\xC6", "<fail>"},   // cut short
        {ulq_utf8_cs(), "ab\xE2\x82", "<fail>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(recode(ulq_to_utf8, c.cs, c.native), c.utf8) << ulq_cs_name(c.cs);
        if (c.utf8 != "<fail>") {
            EXPECT_EQ(recode(ulq_from_utf8, c.cs, c.utf8), c.native);
        }
    }
    const char* badUtf8[] = {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                             "x\xC3",    "\xE2\x82\xAC" /* no form in Latin-1 */};
    for (const char* bad : badUtf8) {
        EXPECT_EQ(recode(ulq_from_utf8, latin1.get(), bad), "<fail>") << bad;
    }
    char out[4];  // the destination must hold the whole output
    EXPECT_EQ(ulq_to_utf8(latin1.get(), "\xE9\xE9", 2, out, 3), -1);
    EXPECT_EQ(ulq_to_utf8(latin1.get(), "\xE9\xE9", 2, out, 4), 4);
}

TEST(UlqConvertTest, ToUcs2ResumesAfterAFullDestinationAndStopsAtBadInput) {
    ExactBytes in("a\xC3\xA4\xE2\x82\xAC");  // a, U+00E4, U+20AC
    const char* src = in.data();
    size_t srcLeft = in.size();
    ulq_wchar_t out[8];
    ulq_wchar_t* dst = out;
    size_t dstLeft = 2;
    EXPECT_EQ(ulq_to_ucs2_r(ulq_utf8_cs(), &src, &srcLeft, &dst, &dstLeft), -1);
    EXPECT_EQ(errno, E2BIG);
    EXPECT_EQ(src - in.data(), 3);
    EXPECT_EQ(dst - out, 2);
    dstLeft = 6;
    EXPECT_EQ(ulq_to_ucs2_r(ulq_utf8_cs(), &src, &srcLeft, &dst, &dstLeft), 0);
    EXPECT_EQ(std::vector<ulq_wchar_t>(out, dst), (std::vector<ulq_wchar_t>{'a', 0xE4, 0x20AC}));

    const struct {
        std::string bytes;
        int error;
        long stopsAt;
    } bad[] = {
        {"ab\xC3", EINVAL, 2},
        {"ab\xC3(", EILSEQ, 2},
        {"a\xF0\x9F\x98\x80", EILSEQ, 1},
        {"\xED\xA0\x80", EILSEQ, 0},
        {"\xF4\x90\x80\x80", EILSEQ, 0},
        {"\xE0\x80\x80", EILSEQ, 0},
    };
    for (const auto& c : bad) {
        ExactBytes bytes(c.bytes);
        src = bytes.data();
        srcLeft = bytes.size();
        dst = out;
        dstLeft = 8;
        EXPECT_EQ(ulq_to_ucs2_r(ulq_utf8_cs(), &src, &srcLeft, &dst, &dstLeft), -1);
        EXPECT_EQ(errno, c.error) << testing::PrintToString(c.bytes);
        EXPECT_EQ(src - bytes.data(), c.stopsAt) << testing::PrintToString(c.bytes);
        EXPECT_EQ(dst - out, c.stopsAt);
    }
}

TEST(UlqConvertTest, FromUcs2RejectsSurrogatesAndCharactersWithoutAForm) {
    CodeSet latin1("ISO-8859-1");
    const ulq_wchar_t text[] = {'x', 0xE4, 0x20AC};
    char out[16];
    ASSERT_EQ(ulq_from_ucs2(ulq_utf8_cs(), text, 3, out, sizeof(out)), 6);
    EXPECT_EQ(std::string(out, 6), "x\xC3\xA4\xE2\x82\xAC");
    ASSERT_EQ(ulq_from_ucs2(latin1.get(), text, 2, out, sizeof(out)), 2);
    EXPECT_EQ(std::string(out, 2), "x\xE4");

    const struct {
        std::vector<ulq_wchar_t> units;
        ulq_cs_t cs;
        long stopsAt;
    } bad[] = {
        {{'a', 0xD800}, ulq_utf8_cs(), 1},
        {{0xDC00, 'a'}, ulq_utf8_cs(), 0},
        {{0xD83D, 0xDE00}, ulq_utf8_cs(), 0},
        {{'a', 'b', 0x20AC}, latin1.get(), 2},
    };
    for (const auto& c : bad) {
        const ulq_wchar_t* src = c.units.data();
        size_t srcLeft = c.units.size();
        char* dst = out;
        size_t dstLeft = sizeof(out);
        EXPECT_EQ(ulq_from_ucs2_r(c.cs, &src, &srcLeft, &dst, &dstLeft), -1);
        EXPECT_EQ(errno, EILSEQ);
        EXPECT_EQ(src - c.units.data(), c.stopsAt);
    }
    // A character that does not fit whole is not written in part.
    const ulq_wchar_t* src = text + 1;
    size_t srcLeft = 2;
    char* dst = out;
    size_t dstLeft = 4;
    memset(out, '#', sizeof(out));
    EXPECT_EQ(ulq_from_ucs2_r(ulq_utf8_cs(), &src, &srcLeft, &dst, &dstLeft), -1);
    EXPECT_EQ(errno, E2BIG);
    EXPECT_EQ(dst - out, 2);
    EXPECT_EQ(out[2], '#');
}

TEST(UlqConvertTest, SingleCharactersAndWholeWideStrings) {
    CodeSet eucjp("EUC-JP");
    const struct {
        ulq_cs_t cs;
        std::string bytes;
        int length;
        wchar_t wc;
    } cases[] = {
        {ulq_utf8_cs(), std::string(1, '\0'), 0, 0},
        {ulq_utf8_cs(), "\xC3\xA4", 2, 0xE4},
        {ulq_utf8_cs(), "\xC3", -1, 0},
        {ulq_utf8_cs(), "\xF0\x9F\x98\x80", 4, 0x1F600},
        {eucjp.get(), "\xC6\xFC", 2, 0x65E5},
        {eucjp.get(), "\xC6", -1, 0},
        {eucjp.get(), "\x8E\xB1", 2, 0xFF71},
        {eucjp.get(), "q", 1, L'q'},
    };
    for (const auto& c : cases) {
        ExactBytes in(c.bytes);
        wchar_t wc = -1;
        EXPECT_EQ(ulq_mbtowc(c.cs, &wc, in.data(), in.size()), c.length);
        EXPECT_EQ(ulq_mblen(c.cs, in.data(), in.size()), c.length);
        if (c.length < 0) continue;
        EXPECT_EQ(wc, c.wc);
        char buffer[MB_LEN_MAX];
        int written = ulq_wctomb(c.cs, buffer, c.wc);
        ASSERT_EQ(written, c.length == 0 ? 1 : c.length);
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(written)), c.bytes);
    }
    char buffer[MB_LEN_MAX];
    for (wchar_t bad : {0xD800, 0x110000, -5})
        EXPECT_EQ(ulq_wctomb(ulq_utf8_cs(), buffer, bad), -1);
    EXPECT_EQ(ulq_wctomb(eucjp.get(), buffer, 0x1F600), -1);

    const char* text = "a\xC3\xA4\xE2\x82\xAC";
    wchar_t wide[4];
    EXPECT_EQ(ulq_mbstowcs(ulq_utf8_cs(), nullptr, text, 0), 3u);
    EXPECT_EQ(ulq_mbstowcs(ulq_utf8_cs(), wide, text, 4), 3u);
    EXPECT_EQ(std::wstring(wide), (std::wstring{L'a', 0xE4, 0x20AC}));
    EXPECT_EQ(ulq_mbstowcs(ulq_utf8_cs(), wide, "a\xC3", 4), static_cast<size_t>(-1));
    char bytes[8];
    memset(bytes, '#', sizeof(bytes));
    EXPECT_EQ(ulq_wcstombs(ulq_utf8_cs(), nullptr, wide, 0), 6u);
    EXPECT_EQ(ulq_wcstombs(ulq_utf8_cs(), bytes, wide, 4), 3u);  // the euro sign does not fit
    EXPECT_EQ(std::string(bytes, 4), "a\xC3\xA4#");
    const wchar_t surrogate[] = {L'a', 0xDC00, 0};
    EXPECT_EQ(ulq_wcstombs(ulq_utf8_cs(), bytes, surrogate, 8), static_cast<size_t>(-1));
}

// Handles of iconv-coded code sets shared by several threads: the
// descriptors carry conversion state (ISO-2022-JP shifts between ASCII and
// JIS X 0208 by escape sequences), so unguarded use mixes conversions up.
struct SharedHandleRun {
    ulq_cs_t cs;
    std::string native;
    std::string utf8;
    int failures;
};

void* convertRepeatedly(void* arg) {
    SharedHandleRun* run = static_cast<SharedHandleRun*>(arg);
    for (int i = 0; i < 5000; ++i) {
        if (recode(ulq_to_utf8, run->cs, run->native) != run->utf8) ++run->failures;
        if (recode(ulq_from_utf8, run->cs, run->utf8) != run->native) ++run->failures;
    }
    return nullptr;
}

TEST(UlqConvertTest, OneIconvHandleServesManyThreads) {
    CodeSet eucjp("EUC-JP"), jis("ISO-2022-JP");
    ASSERT_NE(jis.get(), nullptr);
    const std::string utf8 = "x\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\x82y";  // x, 日本あ, y
    const SharedHandleRun kinds[] = {
        {eucjp.get(), "x\xC6\xFC\xCB\xDC\xA4\xA2y", utf8, 0},
        // One character at a time, each from and back to the initial state.
        {jis.get(), "x\x1B$B\x46\x7C\x1B(B\x1B$B\x4B\x5C\x1B(B\x1B$B\x24\x22\x1B(By", utf8, 0},
    };
    const int kThreads = 6;
    SharedHandleRun runs[kThreads];
    for (int i = 0; i < kThreads; ++i) runs[i] = kinds[i % 2];
    // First each alone, so that a wrong expectation shows apart from any
    // interference.
    convertRepeatedly(&runs[0]);
    convertRepeatedly(&runs[1]);
    ASSERT_EQ(runs[0].failures + runs[1].failures, 0);
    pthread_t threads[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        ASSERT_EQ(pthread_create(&threads[i], nullptr, convertRepeatedly, &runs[i]), 0);
    }
    for (int i = 0; i < kThreads; ++i) {
        pthread_join(threads[i], nullptr);
        EXPECT_EQ(runs[i].failures, 0) << "thread " << i;
    }
}

}  // namespace
