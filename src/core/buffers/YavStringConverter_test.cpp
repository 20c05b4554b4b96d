// The string converters.  (Narrow "\u" literals are UTF-8.)
#include "core/buffers/YavStringConverter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/buffers/yav_string_test_aids.h"
#include "core/ulq/ulq_test_aids.h"
#include "core/ulq/yav_utf8_codec.h"

namespace {

typedef std::basic_string<unsigned short> Units;
typedef std::basic_string<wchar_t> SysUnits;
typedef std::basic_string<unsigned char> Bytes;

// Appends the conversion of src (in a block of exactly its size) to a
// target holding "pq".  A failed conversion must leave the target as it
// was; the result is then "<failed>" and the status in *status.
template <class From, class To>
std::basic_string<To> run(const YavStringConverterT<From, To>& conv,
                          const std::basic_string<From>& src, yav_status_t* status) {
    const To prefix[] = {To('p'), To('q')};
    YavStringT<To> target;
    EXPECT_TRUE(target.set(prefix, 2));
    ExactUnits<From> in(src.data(), src.size());
    *status = conv.doAppend(target, in.data(), in.size());
    std::basic_string<To> all(target.getData(), static_cast<size_t>(target.getLength()));
    EXPECT_EQ(all.substr(0, 2), std::basic_string<To>(prefix, 2));
    EXPECT_EQ(target.getData()[target.getLength()], To(0));
    if (*status == 0) return all.substr(2);
    EXPECT_EQ(all.size(), 2u) << "a failed conversion changed the target";
    std::string failed = "<failed>";
    return std::basic_string<To>(failed.begin(), failed.end());
}

template <class From, class To>
std::basic_string<To> convertOk(const YavStringConverterT<From, To>& conv,
                                const std::basic_string<From>& src) {
    yav_status_t status = 0;
    std::basic_string<To> out = run(conv, src, &status);
    EXPECT_EQ(status, 0u);
    return out;
}

template <class From, class To>
yav_status_t convertFails(const YavStringConverterT<From, To>& conv,
                          const std::basic_string<From>& src) {
    yav_status_t status = 0;
    run(conv, src, &status);
    return status;
}

// Overlong, encoded surrogate, cut at the end, beyond U+10FFFF, no UTF-8.
const std::string kBadUtf8[] = {"\xC0\x80",   "\xE0\x80\x80",     "\xED\xA0\x80", "ab\xC3",
                                "ab\xE2\x82", "\xF4\x90\x80\x80", "\xFF"};

TEST(YavStringConverterTest, Utf8AndUcs2RoundTripAndRejectWhatHasNoForm) {
    YavUTF8MBToWideConverter toWide;
    YavUTF8WideToMBConverter toUtf8;
    std::string longText;  // beyond the inline buffer: room reserved on the heap
    for (int i = 0; i < 400; ++i) longText += "\u20AC";
    const struct {
        std::string utf8;
        Units ucs2;
    } cases[] = {
        {"", Units()},
        {std::string("a\0b", 3), Units{'a', 0, 'b'}},
        {"\u0080\u07FF\u0800\uD7FF\uE000\uFFFF", Units{0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFF}},
        {"Gr\u00FC\u00DFe \u20AC", Units{'G', 'r', 0xFC, 0xDF, 'e', ' ', 0x20AC}},
        {longText, Units(400, 0x20AC)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(convertOk(toWide, c.utf8), c.ucs2) << testing::PrintToString(c.utf8);
        EXPECT_EQ(convertOk(toUtf8, c.ucs2), c.utf8);
    }
    for (const std::string& bad : kBadUtf8) {
        EXPECT_EQ(convertFails(toWide, bad), YAV_S_MB_TO_UCS2_FAILED)
            << testing::PrintToString(bad);
    }
    EXPECT_EQ(convertFails(toWide, std::string("\U0001F600")), YAV_S_MB_TO_UCS2_FAILED);
    // Lone surrogates (high alone, low first, high at the end) and pairs.
    const Units badUnits[] = {{0xD800}, {0xDC00, 'a'}, {'a', 'b', 0xD800}, {0xD83D, 0xDE00}};
    for (const Units& bad : badUnits) {
        EXPECT_EQ(convertFails(toUtf8, bad), YAV_S_UCS2_TO_MB_FAILED);
    }
}

TEST(YavStringConverterTest, DoAppendMeasuresTerminatedSourcesAndReportsMissingMemory) {
    YavUTF8MBToWideConverter toWide;
    YavWString target;
    EXPECT_EQ(toWide.doAppend(target, "\u00E4z", -1), 0u);
    EXPECT_EQ(Units(target.getData()), (Units{0xE4, 'z'}));
    EXPECT_EQ(toWide.doAppend(target, nullptr, -1), 0u);
    EXPECT_EQ(toWide.doAppend(target, nullptr, 3), YAV_S_INVALID_VALUE);
    EXPECT_EQ(target.getLength(), 2);

    YavRefusingAllocator allocator;
    YavStringT<unsigned short> small(&allocator);
    ASSERT_TRUE(small.set(Units{'k'}.c_str()));
    allocator.m_refuse = true;
    std::string big(300, 'a');  // needs more than the inline buffer
    EXPECT_EQ(toWide.doAppend(small, big.data(), static_cast<int>(big.size())), YAV_S_NO_MEMORY);
    EXPECT_EQ(Units(small.getData()), Units{'k'});
}

class YavLocalConverterTest : public CUtf8Locale {};

TEST_F(YavLocalConverterTest, LocalCodePageToUcs2AndBackInUtf8AndLatin1) {
    CodeSet latin1("ISO-8859-1");
    ASSERT_NE(latin1.get(), nullptr);
    const struct {
        ulq_cs_t cs;  // null: the local code page, UTF-8 here
        std::string native;
        Units ucs2;
    } cases[] = {
        {nullptr, "a\u00E4\u20AC", Units{'a', 0xE4, 0x20AC}},
        {latin1.get(), "\xC4pfel\xFF", Units{0xC4, 'p', 'f', 'e', 'l', 0xFF}},
        {latin1.get(), std::string("\0", 1), Units{0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(convertOk(YavLCMBToWideConverter(c.cs), c.native), c.ucs2);
        EXPECT_EQ(convertOk(YavLCWideToMBConverter(c.cs), c.ucs2), c.native);
        EXPECT_EQ(convertOk(YavULQMBToWideConverter(c.cs), c.native), c.ucs2);
        EXPECT_EQ(convertOk(YavULQWideToMBConverter(c.cs), c.ucs2), c.native);
    }
    for (const std::string& bad : kBadUtf8) {
        EXPECT_EQ(convertFails(YavLCMBToWideConverter(), bad), YAV_S_MB_TO_UCS2_FAILED);
        EXPECT_EQ(convertFails(YavULQMBToWideConverter(), bad), YAV_S_MB_TO_UCS2_FAILED);
    }
    const Units noLatin1Form{'a', 0x20AC};
    EXPECT_EQ(convertFails(YavLCWideToMBConverter(latin1.get()), noLatin1Form),
              YAV_S_UCS2_TO_MB_FAILED);
    EXPECT_EQ(convertFails(YavULQWideToMBConverter(latin1.get()), noLatin1Form),
              YAV_S_UCS2_TO_MB_FAILED);
    EXPECT_EQ(convertFails(YavLCWideToMBConverter(), Units{'a', 0xDC00}), YAV_S_UCS2_TO_MB_FAILED);

    // UTF-8 -> UCS-2 -> Latin-1 -> UCS-2 -> UTF-8 keeps all of Latin-1.
    std::string utf8;
    char buffer[YAV_UTF8_MAX];
    for (uint32_t wc = 1; wc < 0x100; ++wc) utf8.append(buffer, yav_utf8_encode(wc, buffer));
    Units ucs2 = convertOk(YavUTF8MBToWideConverter(), utf8);
    std::string native = convertOk(YavLCWideToMBConverter(latin1.get()), ucs2);
    ASSERT_EQ(native.size(), 255u);
    for (size_t i = 0; i < native.size(); ++i) ASSERT_EQ(native[i], static_cast<char>(i + 1));
    Units back = convertOk(YavLCMBToWideConverter(latin1.get()), native);
    EXPECT_EQ(convertOk(YavUTF8WideToMBConverter(), back), utf8);
}

TEST_F(YavLocalConverterTest, LocalCodePageToSystemWideCharactersAndUtf8) {
    YavLCMBToSysWideConverter toWide;
    YavLCSysWideToMBConverter toMb;
    EXPECT_EQ(convertOk(toWide, std::string("a\u00E4\U0001F600")), (SysUnits{L'a', 0xE4, 0x1F600}));
    EXPECT_EQ(convertOk(toMb, SysUnits{L'a', 0xE4, 0x1F600}), "a\u00E4\U0001F600");
    for (const std::string& bad : kBadUtf8) {
        EXPECT_EQ(convertFails(toWide, bad), YAV_S_MB_TO_UCS2_FAILED)
            << testing::PrintToString(bad);
    }
    for (const SysUnits& bad : {SysUnits{L'a', 0x110000}, SysUnits{0xD800}, SysUnits{-1}}) {
        EXPECT_EQ(convertFails(toMb, bad), YAV_S_UCS2_TO_MB_FAILED);
    }

    CodeSet latin1("ISO-8859-1");
    EXPECT_EQ(convertOk(YavCPToUTF8Converter(latin1.get()), std::string("caf\xE9 \xFF")),
              "caf\u00E9 \u00FF");
    EXPECT_EQ(convertOk(YavUTF8ToCPConverter(latin1.get()), std::string("caf\u00E9 \u00FF")),
              "caf\xE9 \xFF");
    EXPECT_EQ(convertFails(YavUTF8ToCPConverter(latin1.get()), std::string("\u20AC")),
              YAV_S_UCS2_TO_MB_FAILED);
    const std::string text = "\u20AC\U0001F600";
    EXPECT_EQ(convertOk(YavCPToUTF8Converter(), text), text);
    EXPECT_EQ(convertOk(YavUTF8ToCPConverter(), text), text);
    for (const std::string& bad : kBadUtf8) {
        EXPECT_EQ(convertFails(YavCPToUTF8Converter(), bad), YAV_S_MB_TO_UCS2_FAILED);
        EXPECT_EQ(convertFails(YavUTF8ToCPConverter(latin1.get()), bad), YAV_S_UCS2_TO_MB_FAILED);
    }
}

TEST(YavStringConverterTest, IconvConverterNeedsInitializeAndKnownNames) {
    YavCPiConvConverter eucjp("EUC-JP");
    EXPECT_FALSE(eucjp.ok());
    EXPECT_EQ(convertFails(eucjp, std::string("a")), YAV_S_NOT_INITIALIZED);
    ASSERT_EQ(eucjp.initialize(), 0u);
    EXPECT_EQ(eucjp.initialize(), YAV_S_ALREADY_INITIALIZED);
    EXPECT_EQ(convertOk(eucjp, std::string("x\xC6\xFC\xCB\xDCy")), "x\u65E5\u672Cy");
    EXPECT_EQ(convertFails(eucjp, std::string("x\xC6")), YAV_S_MB_TO_UCS2_FAILED);
    EXPECT_EQ(convertFails(eucjp, std::string("\xFF\xFF")), YAV_S_MB_TO_UCS2_FAILED);

    EXPECT_EQ(YavCPiConvConverter("NO-SUCH-CODE-SET").initialize(), YAV_S_INVALID_VALUE);
    EXPECT_EQ(YavCPiConvConverter(std::string(100, 'A').c_str()).initialize(), YAV_S_INVALID_VALUE);

    // To a stateful code set: each character carries its own shifts, and
    // the room reserved covers them.
    YavCPiConvConverter toJis("UTF-8", "ISO-2022-JP");
    ASSERT_EQ(toJis.initialize(), 0u);
    EXPECT_EQ(convertOk(toJis, std::string("x\u65E5")), "x\x1B$B\x46\x7C\x1B(B");
    EXPECT_EQ(convertFails(toJis, std::string("\u00E4")), YAV_S_MB_TO_UCS2_FAILED);
}

TEST_F(YavLocalConverterTest, LowerCasing) {
    EXPECT_EQ(convertOk(YavUSAsciiToLowerConverter(), std::string("HeLLo @[`{ \u00C4Z")),
              "hello @[`{ \u00C4z");
    YavUTF8ToLowerConverter utf8;
    EXPECT_EQ(convertOk(utf8, std::string("\u00C4BC \u0130 \u212A \u023A")), "\u00E4bc i k \u2C65");
    // Each U+023A grows from two bytes to three (U+2C65): the room reserved
    // must allow for all of them.
    std::string grows, grown;
    for (int i = 0; i < 300; ++i) {
        grows += "\u023A";
        grown += "\u2C65";
    }
    EXPECT_EQ(convertOk(utf8, grows), grown);
    for (const std::string& bad : kBadUtf8) {
        EXPECT_EQ(convertFails(utf8, bad), YAV_S_MB_TO_UCS2_FAILED);
    }
}

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(YavStringConverterTest, Base64KnownVectorsAndStrictDecoding) {
    YavBinaryToBase64Converter encoder;
    YavBase64ToBinaryConverter decoder;
    const struct {
        const char* binary;
        const char* text;
    } vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFB\xFF\xBF", "+/+/"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(convertOk(encoder, bytesOf(v.binary)), v.text);
        EXPECT_EQ(convertOk(decoder, std::string(v.text)), bytesOf(v.binary));
    }
    const char* bad[] = {
        "Zg",       "Zg=",       "Zm9vY",                 // not whole groups
        "Z===",     "====",                               // one symbol gives no byte
        "Zg=a",     "Zg==Zg==",                           // padding before the end
        "Zh==",     "Zm9=",                               // bits beyond the data are set
        "Zm9v!A==", "Zm9v YQ==", "Zm9v\u00E4YQ", "Zm9-",  // not symbols
    };
    for (const char* text : bad) {
        EXPECT_EQ(convertFails(decoder, std::string(text)), YAV_S_INVALID_VALUE) << text;
    }
}

}  // namespace
