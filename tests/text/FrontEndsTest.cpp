#include "TextTestSupport.h"
#include "stringSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

TEST(FrontEnds, PascalResults) {
    Str255 p;
    std::memset(p, 0x55, sizeof p);
    EXPECT_EQ(_pprintf(p, "%,D", 1234567), 9);
    EXPECT_EQ(pstr(p), "1,234,567");
    EXPECT_EQ(p[10], 0);

    std::string exact(255, 'e');
    std::memset(p, 0x55, sizeof p);
    struct {
        Str255 p;
        char guard;
    } g;
    g.guard = 'G';
    EXPECT_EQ(_pprintf(g.p, "%s", exact), 255);
    EXPECT_EQ(g.p[255], 'e');
    EXPECT_EQ(g.guard, 'G');
    EXPECT_EQ(_pprintf(g.p, "%s%s", exact, exact), 255); // cut, never overrun
    EXPECT_EQ(g.guard, 'G');

    EXPECT_EQ(_pprintf(p, "%s \xE2\x82\xA1", "x"), 5); // characters Mac Roman lacks become '?'
}

TEST(FrontEnds, CStringResults) {
    std::vector<char> buf(2001, 'G');
    EXPECT_EQ(_sprintf(buf.data(), "%D:%02D PM", 3, 7), 7);
    EXPECT_STREQ(buf.data(), "3:07 PM");
    EXPECT_EQ(_sprintf(buf.data(), "%@ %p %c", CFSTR("\xE2\x82\xAC"), "\003abc", 0xC6), 7);
    EXPECT_STREQ(buf.data(), "\xDB abc \xC6"); // Mac Roman both ways

    std::string big(1500, 'b');
    EXPECT_EQ(_sprintf(buf.data(), "%s%s", big, big), 1999);
    EXPECT_EQ(buf[1999], 0);
    EXPECT_EQ(buf[2000], 'G');

    char* end = _prtf(buf.data(), "a%cc", prtfList(prtfCapture('b')));
    EXPECT_EQ(end, buf.data() + 3);
    EXPECT_EQ(*end, 0);
    EXPECT_EQ(_prtf(buf.data(), "%s%s", prtfList(prtfCapture(big, big))), buf.data() + 1999);
}

TEST(FrontEnds, UnitResults) {
    std::vector<unsigned short> buf(2002, 0x7777);
    EXPECT_EQ(_pprintf(buf.data(), "%D%%", 100), 4);
    EXPECT_EQ(buf[0], 4);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(&buf[1]), 4), u"100%");
    EXPECT_EQ(buf[5], 0);

    const unsigned short fmt[] = {'<', '%', 'D', '>', 0};
    EXPECT_EQ(_sprintf(buf.data(), fmt, 12), 4);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buf.data())), u"<12>");
    EXPECT_EQ(_pprintf(buf.data(), fmt, 5), 3);
    EXPECT_EQ(_sprintf(buf.data(), CFSTR("%D"), 5), 1);
    EXPECT_EQ(_pprintf(buf.data(), CFSTR("%D"), 55), 2);

    std::string big(1500, 'b');
    buf.assign(2002, 0x7777);
    EXPECT_EQ(_pprintf(buf.data(), "%s%s", big, big), 1999);
    EXPECT_EQ(buf[0], 1999);
    EXPECT_EQ(buf[2000], 0);
    EXPECT_EQ(buf[2001], 0x7777);
    buf.assign(2002, 0x7777);
    EXPECT_EQ(_sprintf(buf.data(), "%s%s", big, big), 1999);
    EXPECT_EQ(buf[1999], 0);
    EXPECT_EQ(buf[2000], 0x7777);
}

TEST(FrontEnds, StringObjectResults) {
    CFStringRef s = _cfprintf("%D items", 3);
    EXPECT_EQ(unitsOf(s), u"3 items");
    CFRelease(s);
    CFStringRef fmt = CFSTR("%s-%D");
    s = _cfprintf(fmt, "a", 2);
    EXPECT_EQ(unitsOf(s), u"a-2");
    CFRelease(s);
    CFMutableStringRef m = _cfprintf(0, fmt, "whole", 1);
    EXPECT_EQ(unitsOf(m), u"whole-1");
    CFRelease(m);
    m = _cfprintf(3L, fmt, "whole", 1);
    EXPECT_EQ(unitsOf(m), u"who");
    CFRelease(m);
}

TEST(FrontEnds, StringListFormats) {
    auto path = std::filesystem::temp_directory_path() / "quillon-frontend-lists.txt";
    std::ofstream(path) << "[128]\n%D of %D\n";
    setStringListPathForTesting(path.string());
    Str255 p;
    EXPECT_EQ(_pprintf(p, short(1), 2, 5), 6);
    EXPECT_EQ(pstr(p), "2 of 5");
    char c[2000];
    EXPECT_EQ(_sprintf(c, short(1), 3, 4), 6);
    EXPECT_STREQ(c, "3 of 4");
    unsigned short u[2001];
    EXPECT_EQ(_pprintf(u, short(1), 1, 1), 6);
    EXPECT_EQ(_sprintf(u, short(1), 1, 1), 6);
    EXPECT_EQ(_sprintf(c, short(2), 1), 0); // missing text: empty format
    EXPECT_STREQ(c, "");
    setStringListPathForTesting("");
    std::filesystem::remove(path);
}

TEST(FrontEnds, TraceDoesNothing) {
    EXPECT_EQ(_printf("%s %D", nullptr, 5), 0);
}

TEST(ParameterTextSlots, SetAndGet) {
    Str255 p = "\003old";
    getParamText(4, p);
    EXPECT_EQ(p[0], 0); // unset slot
    std::memcpy(p, "\003old", 4);
    getParamText(10, p);
    getParamText(-1, p);
    EXPECT_EQ(pstr(p), "old");
    setParamText(10, (const unsigned char*)"\001x");
    setParamText(-3, (const unsigned char*)"\001x");

    setParamText(7, (const unsigned char*)"\004caf\x8E");
    getParamText(7, p);
    EXPECT_EQ(pstr(p), "caf\x8E");
    HFSUniStr255 h;
    getParamText(7, &h);
    EXPECT_EQ(h.length, 4);
    EXPECT_EQ(h.unicode[3], 0xE9);

    HFSUniStr255 in{2, {0x20AC, '!'}};
    setParamText(8, &in);
    getParamText(8, &h);
    EXPECT_EQ(h.length, 2);
    EXPECT_EQ(h.unicode[0], 0x20AC);
    EXPECT_EQ(render("^8"), "\xE2\x82\xAC!");
    getParamText(8, p); // the euro is not in the Unicode-to-Pascal encoding
    EXPECT_EQ(pstr(p), "Error");

    HFSUniStr255 unset{9, {}};
    getParamText(9, &unset);
    EXPECT_EQ(unset.length, 0);
}
