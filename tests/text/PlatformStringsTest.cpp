#include "PlatformStrings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::u16string units(CFStringRef s) {
    return std::u16string(platformStringUnits(s));
}

struct Owned {
    CFStringRef s;
    ~Owned() { CFRelease(s); }
};

} // namespace

TEST(MacRoman, TableAgreesWithThePublishedMappingAtItsKnownPoints) {
    struct Case {
        UInt8 byte;
        UniChar unit;
    } cases[] = {{0x41, 0x0041}, {0x80, 0x00C4}, {0xA5, 0x2022}, {0xC6, 0x2206}, {0xCA, 0x00A0},
                 {0xDB, 0x20AC}, {0xE1, 0x00B7}, {0xF0, 0xF8FF}, {0xB6, 0x2202}, {0xFF, 0x02C7}};
    for (auto c : cases) {
        EXPECT_EQ(macRomanToUnicode(c.byte), c.unit) << int(c.byte);
        UInt8 back = 0;
        EXPECT_TRUE(unicodeToMacRoman(c.unit, &back));
        EXPECT_EQ(back, c.byte);
    }
}

TEST(MacRoman, EveryByteRoundTripsAndTheTableIsOneToOne) {
    for (int b = 0; b < 256; ++b) {
        UInt8 back = 0;
        ASSERT_TRUE(unicodeToMacRoman(macRomanToUnicode(UInt8(b)), &back)) << b;
        EXPECT_EQ(back, b);
    }
    UInt8 unused;
    EXPECT_FALSE(unicodeToMacRoman(0x20A1, &unused)); // not in Mac Roman
    EXPECT_FALSE(unicodeToMacRoman(0x0080, &unused)); // a C1 control, not a Mac Roman byte
}

TEST(StringObject, CreationFromEachSourceForm) {
    Owned roman{CFStringCreateWithCString(kCFAllocatorDefault, "a\xDB", kCFStringEncodingMacRoman)};
    EXPECT_EQ(units(roman.s), u"a\u20AC");
    Owned utf8{
        CFStringCreateWithCString(nullptr, "a\xE2\x82\xAC\xF0\x9F\x98\x80", kCFStringEncodingUTF8)};
    EXPECT_EQ(units(utf8.s), u"a\u20AC\U0001F600");
    const unsigned char pas[] = {3, 'x', 0xC6, 'y', 'z'};
    Owned p{CFStringCreateWithPascalString(nullptr, pas, kCFStringEncodingMacRoman)};
    EXPECT_EQ(units(p.s), u"x\u2206y");
    Owned nc{CFStringCreateWithPascalStringNoCopy(nullptr, pas, kCFStringEncodingMacRoman,
                                                  kCFAllocatorNull)};
    EXPECT_EQ(units(nc.s), u"x\u2206y");
    const UniChar chars[] = {0, 'b', 0xD800};
    Owned c{CFStringCreateWithCharacters(nullptr, chars, 3)};
    EXPECT_EQ(CFStringGetLength(c.s), 3); // zero units and lone surrogates are kept as given
}

TEST(StringObject, CreationFailuresGiveNull) {
    EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingMacRoman), nullptr);
    EXPECT_EQ(CFStringCreateWithCString(nullptr, "x", 0x1234), nullptr);
    EXPECT_EQ(CFStringCreateWithPascalString(nullptr, nullptr, kCFStringEncodingMacRoman), nullptr);
    EXPECT_EQ(CFStringCreateWithCharacters(nullptr, nullptr, 2), nullptr);
    const UniChar ab[] = {0x61, 0x62};
    EXPECT_EQ(CFStringCreateWithCharacters(nullptr, ab, -1), nullptr);
    for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE2\x82", "\x80"})
        EXPECT_EQ(CFStringCreateWithCString(nullptr, bad, kCFStringEncodingUTF8), nullptr) << bad;
}

TEST(StringObject, GetCharactersClipsTheRange) {
    Owned s{CFStringCreateWithCString(nullptr, "abcdef", kCFStringEncodingMacRoman)};
    UniChar buf[8] = {};
    std::fill(std::begin(buf), std::end(buf), UniChar(0x7777));
    CFStringGetCharacters(s.s, CFRangeMake(4, 10), buf);
    EXPECT_EQ(buf[0], 'e');
    EXPECT_EQ(buf[1], 'f');
    EXPECT_EQ(buf[2], 0x7777);
    CFStringGetCharacters(s.s, CFRangeMake(9, 1), buf); // wholly outside: nothing written
    EXPECT_EQ(buf[0], 'e');
}

TEST(StringObject, GetCStringReportsLossButLeavesAUsablePrefix) {
    Owned s{platformStringCreateUTF8("caf\xC3\xA9 \xE2\x82\xA1 ok")}; // é, then ₡ (not Mac Roman)
    char buf[32];
    EXPECT_FALSE(CFStringGetCString(s.s, buf, sizeof buf, kCFStringEncodingMacRoman));
    EXPECT_STREQ(buf, "caf\x8E ? ok");
    Owned fits{platformStringCreateUTF8("caf\xC3\xA9")};
    EXPECT_TRUE(CFStringGetCString(fits.s, buf, 5, kCFStringEncodingMacRoman));
    EXPECT_STREQ(buf, "caf\x8E");
    EXPECT_FALSE(CFStringGetCString(fits.s, buf, 4, kCFStringEncodingMacRoman));
    EXPECT_STREQ(buf, "caf");
    // UTF-8 never splits a character at the end of the buffer.
    EXPECT_FALSE(CFStringGetCString(fits.s, buf, 5, kCFStringEncodingUTF8));
    EXPECT_STREQ(buf, "caf");
    EXPECT_TRUE(CFStringGetCString(fits.s, buf, 6, kCFStringEncodingUTF8));
    EXPECT_STREQ(buf, "caf\xC3\xA9");
}

TEST(StringObject, GetPascalStringStopsAt255) {
    Owned s{platformStringCreate(std::u16string(300, u'q'))};
    Str255 p;
    EXPECT_FALSE(CFStringGetPascalString(s.s, p, sizeof p, kCFStringEncodingMacRoman));
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[255], 'q');
    Owned e{platformStringCreate(u"")};
    EXPECT_TRUE(CFStringGetPascalString(e.s, p, sizeof p, kCFStringEncodingMacRoman));
    EXPECT_EQ(p[0], 0);
}

TEST(StringObject, MutableCopyHonoursItsCapacity) {
    Owned s{platformStringCreate(u"ab\U0001F600cd")};
    Owned whole{CFStringCreateMutableCopy(nullptr, 0, s.s)};
    EXPECT_EQ(units(whole.s), u"ab\U0001F600cd");
    Owned cut{CFStringCreateMutableCopy(nullptr, 3, s.s)};
    EXPECT_EQ(units(cut.s), u"ab"); // the cut never leaves half a surrogate pair
    EXPECT_EQ(CFStringCreateMutableCopy(nullptr, 0, nullptr), nullptr);
}

TEST(StringObject, ConstantsAreSharedAndSurviveReleases) {
    CFStringRef a = CFSTR("Quit");
    EXPECT_EQ(a, CFSTR("Quit"));
    for (int i = 0; i < 10; ++i)
        CFRelease(a);
    EXPECT_EQ(units(CFSTR("Quit")), u"Quit");
    EXPECT_EQ(platformStringUTF8(CFSTR("\xE2\x82\xAC")), "\xE2\x82\xAC");
}

TEST(TextConverters, RomanAndArabicConvertJapaneseIsAbsent) {
    TextToUnicodeInfo toU = nullptr;
    EXPECT_EQ(CreateTextToUnicodeInfoByEncoding(CreateTextEncoding(kTextEncodingMacJapanese,
                                                                   kTextEncodingDefaultVariant,
                                                                   kTextEncodingDefaultFormat),
                                                &toU),
              kTextUnsupportedEncodingErr);
    EXPECT_EQ(toU, nullptr);

    ASSERT_EQ(CreateTextToUnicodeInfoByEncoding(kTextEncodingMacRoman, &toU), noErr);
    const unsigned char bytes[] = {'A', 0xDB, 0xF0};
    UniChar out[4];
    ByteCount read = 0, written = 0;
    EXPECT_EQ(
        ConvertFromTextToUnicode(toU, 3, bytes, kUnicodeUseFallbacksMask, 8, &read, &written, out),
        noErr);
    EXPECT_EQ(read, 3u);
    EXPECT_EQ(written, 6u);
    EXPECT_EQ(out[1], 0x20AC);
    EXPECT_EQ(ConvertFromTextToUnicode(toU, 3, bytes, 0, 4, &read, &written, out),
              kTECOutputBufferFullStatus);
    EXPECT_EQ(written, 4u);
    DisposeTextToUnicodeInfo(&toU);
    EXPECT_EQ(toU, nullptr);

    UnicodeToTextInfo fromU = nullptr;
    ASSERT_EQ(CreateUnicodeToTextInfoByEncoding(kTextEncodingMacArabic, &fromU), noErr);
    Str255 p;
    const UniChar cafe[] = {'c', 'a', 'f', 0xE9, 0x0628}; // é, then the Arabic letter beh
    EXPECT_EQ(ConvertFromUnicodeToPString(fromU, sizeof cafe, cafe, p), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p + 1), p[0]), "caf\x8E\xC8");
    const UniChar euro[] = {0x20AC};
    EXPECT_EQ(ConvertFromUnicodeToPString(fromU, 2, euro, p), kTECUnmappableElementErr);
    DisposeUnicodeToTextInfo(&fromU);
}

TEST(ParamTexts, NullArgumentsKeepTheirText) {
    const unsigned char a[] = {1, 'A'}, b[] = {2, 'B', 'b'};
    ParamText(a, b, nullptr, nullptr);
    ParamText(nullptr, nullptr, b, nullptr);
    Str255 p0, p1, p2, p3;
    GetParamText(p0, p1, p2, p3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p0 + 1), p0[0]), "A");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p1 + 1), p1[0]), "Bb");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p2 + 1), p2[0]), "Bb");
    EXPECT_EQ(p3[0], 0);
    GetParamText(nullptr, nullptr, nullptr, nullptr); // nothing requested, nothing touched
}

TEST(StringLists, FileFormatAndMissingTexts) {
    auto path = std::filesystem::temp_directory_path() / "quillon-stringlists-test.txt";
    {
        std::ofstream f(path);
        f << "# comment\n"
             "ignored before any list\n"
             "[128]\r\n"
             "first\r\n"
             "\\\n"
             "\\[not a header]\n"
             "\n"
             "caf\xC3\xA9 \xE2\x82\xAC\n"
             "[140]\n"
             "forty\n";
    }
    setStringListPathForTesting(path.string());
    auto text = [](SInt16 list, SInt16 index) {
        Str255 p;
        std::memset(p, 0x55, sizeof p);
        GetIndString(p, list, index);
        return std::string(reinterpret_cast<char*>(p + 1), p[0]);
    };
    EXPECT_EQ(text(128, 1), "first");
    EXPECT_EQ(text(128, 2), "");
    EXPECT_EQ(text(128, 3), "[not a header]");
    EXPECT_EQ(text(128, 4), "caf\x8E \xDB");
    EXPECT_EQ(text(128, 5), "");
    EXPECT_EQ(text(128, 0), "");
    EXPECT_EQ(text(140, 1), "forty");
    EXPECT_EQ(text(129, 1), "");
    setStringListPathForTesting((path.string() + ".missing"));
    EXPECT_EQ(text(128, 1), "");
    std::filesystem::remove(path);
    setStringListPathForTesting("");
}

TEST(DrawingPort, ReportsTheSystemFont) {
    GrafPtr port = nullptr;
    GetPort(&port);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(GetPortTextFont(port), 0);
}
