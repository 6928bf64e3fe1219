#include "TextTestSupport.h"
#include "stringSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

TEST(StringSupport, PascalToCountedUnicode) {
    HFSUniStr255 u;
    std::memset(&u, 0x55, sizeof u);
    EXPECT_EQ(_pStrToUniStr((const unsigned char*)"", &u), noErr);
    EXPECT_EQ(u.length, 0);
    EXPECT_EQ(u.unicode[0], 0);

    EXPECT_EQ(_pStrToUniStr((const unsigned char*)"\003a\xDB\xC6", &u), noErr);
    EXPECT_EQ(u.length, 3);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(u.unicode), 4),
              u"a\u20AC\u2206" + std::u16string(1, 0));

    // 255 units fill the record: no terminator may be written behind it.
    struct {
        HFSUniStr255 u;
        UInt16 guard;
    } padded;
    padded.guard = 0xBEEF;
    Str255 full;
    full[0] = 255;
    std::memset(full + 1, 'w', 255);
    _pStrToUniStr(full, &padded.u);
    EXPECT_EQ(padded.u.length, 255);
    EXPECT_EQ(padded.u.unicode[254], 'w');
    EXPECT_EQ(padded.guard, 0xBEEF);
}

TEST(StringSupport, PascalToUnitBufferHonoursItsMaximum) {
    unsigned short buf[8];
    std::fill(std::begin(buf), std::end(buf), 0x7777);
    EXPECT_EQ(_pStrToUniStr((const unsigned char*)"\005abcde", buf, 3), 3);
    EXPECT_EQ(buf[2], 'c');
    EXPECT_EQ(buf[3], 0x7777); // no terminator
    EXPECT_EQ(_pStrToUniStr((const unsigned char*)"\002\xF0z", buf, 0), 2);
    EXPECT_EQ(buf[0], 0xF8FF);
}

TEST(StringSupport, BytesToUnicode) {
    unsigned short buf[8];
    EXPECT_EQ(_textToUniStr("a\xDB"
                            "b",
                            3, buf),
              6u);
    EXPECT_EQ(buf[1], 0x20AC);
    EXPECT_EQ(buf[3], 0);
    EXPECT_EQ(_textToUniStr(nullptr, 3, buf), 0u);
    EXPECT_EQ(_textToUniStr("a", 1, nullptr), 0u);
    EXPECT_EQ(_cStrToUniStr("\xE1!", buf), 4u);
    EXPECT_EQ(buf[0], 0x00B7);
    EXPECT_EQ(_cStrToUniStr("", buf), 0u);
    EXPECT_EQ(buf[0], 0);
}

TEST(StringSupport, UnicodeToPascal) {
    Str255 p = "\003old";
    EXPECT_EQ(_UniStrToPStr((unsigned short*)nullptr, p), noErr);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(_UniStrToPStr((HFSUniStr255*)nullptr, nullptr), paramErr);

    unsigned short cafe[] = {'c', 'a', 'f', 0xE9, 0};
    EXPECT_EQ(_UniStrToPStr(cafe, p), noErr);
    EXPECT_EQ(pstr(p), "caf\x8E"); // the same byte as in Mac Roman

    HFSUniStr255 h{2, {'o', 'k'}};
    EXPECT_EQ(_UniStrToPStr(&h, p), noErr);
    EXPECT_EQ(pstr(p), "ok");

    unsigned short euro[] = {'x', 0x20AC, 0};
    EXPECT_NE(_UniStrToPStr(euro, p), noErr);
    EXPECT_EQ(pstr(p), "Error");

    std::vector<unsigned short> tooLong(300, 'a');
    tooLong.push_back(0);
    EXPECT_NE(_UniStrToPStr(tooLong.data(), p), noErr);
    EXPECT_EQ(pstr(p), "Error");
}

TEST(StringSupport, UnicodeToCString) {
    std::vector<char> c(2048, 'q');
    unsigned short text[] = {'h', 0xE9, '!', 0};
    EXPECT_EQ(_UniStrToCStr(text, c.data()), noErr);
    EXPECT_STREQ(c.data(), "h\x8E!");
    EXPECT_EQ(_UniStrToCStr(nullptr, c.data()), paramErr);

    std::vector<unsigned short> big(3000, 'b');
    big.push_back(0);
    std::vector<char> guarded(2049, 'G');
    EXPECT_EQ(_UniStrToCStr(big.data(), guarded.data()), noErr); // cut, not reported
    EXPECT_EQ(std::strlen(guarded.data()), 2047u);
    EXPECT_EQ(guarded[2048], 'G');
}

TEST(StringSupport, CopyOutOfAStringObject) {
    CFStringRef ten = CFSTR("0123456789");
    unsigned short buf[16];
    std::fill(std::begin(buf), std::end(buf), 0x7777);
    EXPECT_EQ(_CFStringToUniStr(ten, 4, buf), 3);
    EXPECT_EQ(buf[2], '2');
    EXPECT_EQ(buf[3], 0);
    EXPECT_EQ(buf[4], 0x7777);
    EXPECT_EQ(_CFStringToUniStr(ten, 16, buf), 10);
    EXPECT_EQ(_CFStringToUniStr(ten, 0, buf), 0);
    EXPECT_EQ(_CFStringToUniStr(nullptr, 4, buf), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST(StringSupport, UnitStringLength) {
    unsigned short s[] = {'a', 'b', 0};
    EXPECT_EQ(strlen(s), 2);
    std::vector<unsigned short> noZero(70000, 'x');
    EXPECT_EQ(strlen(noZero.data()), 65535);
}

TEST(StringSupport, SplittingMessageTexts) {
    std::u16string text = u"\\Title^^Body\\";
    std::vector<unsigned short> u(text.begin(), text.end());
    u.push_back(0);
    CFStringRef parts[8];
    ASSERT_EQ(getStringParts(u.data(), 0, parts), 2);
    EXPECT_EQ(unitsOf(parts[0]), u"Title");
    EXPECT_EQ(unitsOf(parts[1]), u"Body");
    CFRelease(parts[0]);
    CFRelease(parts[1]);
    ASSERT_EQ(getStringParts(u.data(), 2, parts), 1);
    EXPECT_EQ(unitsOf(parts[0]), u"Body");
    CFRelease(parts[0]);
    parts[0] = CFSTR("stale");
    EXPECT_EQ(getStringParts(u.data(), 3, parts), 0);
    EXPECT_EQ(parts[0], nullptr);

    ASSERT_EQ(getStringParts(CFSTR("Message\\hint^OK^Cancel"), 0, parts), 4);
    EXPECT_EQ(unitsOf(parts[3]), u"Cancel");
    for (int i = 0; i < 4; ++i)
        CFRelease(parts[i]);
    EXPECT_EQ(getStringParts(CFSTR("^\\^"), 0, parts), 0);
    EXPECT_EQ(getStringParts((unsigned short*)nullptr, 0, parts), 0);
}

TEST(StringSupport, SplittingALongTextReadsOnly999Units) {
    std::u16string text(1500, u'a');
    text[1200] = u'^';
    CFStringRef s = platformStringCreate(text);
    CFStringRef parts[4];
    ASSERT_EQ(getStringParts(s, 0, parts), 1);
    EXPECT_EQ(CFStringGetLength(parts[0]), 999);
    CFRelease(parts[0]);
    CFRelease(s);
}

TEST(StringSupport, NumberedTexts) {
    auto path = std::filesystem::temp_directory_path() / "quillon-indstring.txt";
    std::ofstream(path) << "[128]\nfirst\n\\\n[140]\na\nb\nthree\n";
    setStringListPathForTesting(path.string());
    Str255 s;
    std::memset(s, 0x55, sizeof s);
    EXPECT_TRUE(_GetIndString(s, 1203));
    EXPECT_EQ(pstr(s), "three");
    EXPECT_EQ(s[6], 0); // also a C string
    EXPECT_TRUE(_GetIndString(s, 1));
    EXPECT_EQ(pstr(s), "first");
    for (short id : {2, 0, 1299, 5000, -1}) {
        std::memset(s, 0x55, sizeof s);
        EXPECT_FALSE(_GetIndString(s, id)) << id;
        EXPECT_EQ(s[0], 0);
        EXPECT_EQ(s[1], 0);
    }
    setStringListPathForTesting("");
    std::filesystem::remove(path);
}
