#include "PlatformFiles.h"
#include "TextTestSupport.h"
#include "stringSupport.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

TEST(FormatEngine, SignedAndUnsignedIntegers) {
    checkRows({
        {"%D%%", render("%D%%", 42), "42%"},
        {"%D%%", render("%D%%", 42L), "42%"}, // any integer type the caller passes
        {"%D:%02D:%02D", render("%D:%02D:%02D", 1, 5, 9), "1:05:09"},
        {"%D:%02D", render("%D:%02D", 0, 7), "0:07"},
        {"%d", render("%d", 40000), "-25536"}, // low 16 bits only
        {"%x", render("%x", 0x12345), "2345"},
        {"%x", render("%x", -49), "FFCF"},
        {"%o", render("%o", -49), "177717"},
        {"%u", render("%u", 65535), "65535"},
        {"%u", render("%u", -1), "65535"},
        {"%U", render("%U", 0x80000000u), "2147483648"},
        {"%D", render("%D", 0x80000000u), "-2147483648"},
        {"%D", render("%D", 0x1FFFFFFFFLL), "-1"}, // low 32 bits only
        {"%X", render("%X", 0xDEADBEEFu), "DEADBEEF"},
        {"%O", render("%O", 8), "10"},
        {"%d", render("%d", true), "1"},
        {"%d", render("%d", 'A'), "65"},
        {"%d", render("%d", 0), "0"},
    });
}

TEST(FormatEngine, PaddingCountsTheSignAndComesBeforeIt) {
    checkRows({
        {"%08X", render("%08X", 0x1234), "00001234"},
        {"%5D", render("%5D", -42), "  -42"},
        {"%05D", render("%05D", -42), "00-42"},
        {"%3D", render("%3D", 12345), "12345"},
        {"%5D", render("%5D", 0), "    0"},
        {"%02D", render("%02D", 0), "00"},
        {"%I", render("%I", 0xABC), "000ABC"},
        {"%,2I", render("%,2I", 0xABC), "000ABC"}, // flags and width are ignored
        {"%I", render("%I", 0x1234567), "1234567"},
    });
}

TEST(FormatEngine, GroupingNeverPads) {
    checkRows({
        {"%,D", render("%,D", 999), "999"},
        {"%,D", render("%,D", 1234), "1,234"},
        {"%,D", render("%,D", -1234), "-1,234"},
        {"%,D", render("%,D", 0), "0"},
        {"%,D", render("%,D", 1234567), "1,234,567"},
        {"%,X", render("%,X", 0x12345678), "1234,5678"},
        {"%,O", render("%,O", 0123456), "12,3456"},
        {"%,2D", render("%,2D", 12345), "123,45"},
        {"%,05D", render("%,05D", 1234), "01234"}, // zero padding wins over grouping
        {"%,U", render("%,U", 4294967295u), "4,294,967,295"},
    });
}

TEST(FormatEngine, SixtyFourBitDirectiveIsSelectedByItsUnit) {
    const UniChar f[] = {'%', 0xFFB6, 0};
    const UniChar g[] = {'%', ',', 0xFFB6, 0};
    unsigned short out[2001];
    auto text = [&](const UniChar* fmt, SInt64 v) {
        _sprintf(out, fmt, v);
        return std::u16string(reinterpret_cast<char16_t*>(out));
    };
    EXPECT_EQ(text(f, 10LL << 32), u"42949672960");
    EXPECT_EQ(text(f, LLONG_MIN), u"-9223372036854775808");
    EXPECT_EQ(text(f, 7), u"7");
    EXPECT_EQ(text(g, -1234567890123LL), u"-1,234,567,890,123");
    // From Mac Roman bytes the unit cannot arise: 0xB6 is U+2202.
    EXPECT_EQ(render("%\xB6", 5LL), "");
}

TEST(FormatEngine, StatusCodesBooleansAndCharacters) {
    checkRows({
        {"%E", render("%E", 0), "noErr"},
        {"%E", render("%E", -43), "-43"},
        {"%E", render("%E", -65536), "-65536"},
        {"%E", render("%E", -65537), "0xFFFEFFFF"},
        {"%E", render("%E", 5), "0x5"},
        {"%E", render("%E", 0x80000000u), "0x80000000"},
        {"%08E", render("%08E", 5), "0x00000005"},
        {"%,E", render("%,E", 0x12345678), "0x1234,5678"},
        {"%,E", render("%,E", -1234), "-1,234"},
        {"%b", render("%b", 0), "false"},
        {"%b", render("%b", 2), "true"},
        {"%b", render("%b", 0x100), "false"}, // low 8 bits
        {"%c", render("%c", 'A'), "A"},
        {"%c", render("%c", 0xDB), "\xE2\x82\xAC"}, // Mac Roman euro
        {"%c", render("%c", 0x141), "A"},
        {"%.", render("1%.5"), "1.5"},
        {"%%", render("%5%"), "%"},
    });
}

TEST(FormatEngine, FourCharacterCodesAndDumps) {
    const unsigned char eight[] = {1, 2, 3, 4, 5, 6, 7, 8};
    const unsigned char dead[] = {0xDE, 0xAD, 0xBE, 0xEF};
    const char word[] = "ab\x01\xDB";
    checkRows({
        {"%C", render("%C", 0x54455854), "TEXT"},
        {"%C", render("%C", 0x12345678),
         "\xC2\xB7"
         "4Vx"},
        {"%C", render("%C", 0x41DB4243),
         "A\xC2\xB7"
         "BC"},                                                 // 0x80 and up is replaced too
        {"%4C", render("%4C", word), "ab\xC2\xB7\xE2\x82\xAC"}, // ...but not with a width
        {"%,8C", render("%,8C", "abcdefgh"), "abcd,efgh"},
        {"%M", render("%M", dead), "DEADBEEF"},
        {"%,8M", render("%,8M", eight), "01020304,05060708"},
        {"%2M", render("%2M", eight), "0102"},
        {"%,6M", render("%,6M", eight), "01020304,0506"},
    });
    // A width beyond a captured array reads only what the array holds.
    EXPECT_EQ(render("%100M", dead), "DEADBEEF");
    EXPECT_EQ(render("%100C", "ab"), std::string("ab") + "\xC2\xB7"); // its zero byte too
}

TEST(FormatEngine, StringsAndRecords) {
    Str255 pas = "\005Hello";
    HFSUniStr255 uni{3, {'U', 'n', 'i'}};
    const unsigned short zeroTerminated[] = {'z', 0x20AC, 0};
    Rect r{10, 20, 110, 220};
    FSSpec spec{-100, 2, "\014Untitled.txt"};
    CFStringRef obj = CFSTR("object \xE2\x82\xAC");
    checkRows({
        {"%s", render("[%s]", "c string"), "[c string]"},
        {"%5s", render("[%5s]", "ab"), "[ab]"},   // width is ignored
        {"%s", render("%s", "\xDB"), "\xC3\x9B"}, // widened, not converted
        {"%p", render("%p bytes", pas), "Hello bytes"},
        {"%p", render("%p", &uni), "Uni"},
        {"%SU", render("%SU", &uni), "Uni"},
        {"%SC", render("%SC", zeroTerminated), "z\xE2\x82\xAC"},
        {"%@", render("%@!", obj), "object \xE2\x82\xAC!"},
        {"%R", render("%R", &r), "10,20,110,220"},
        {"%F", render("%F", &spec), "-100,2,Untitled.txt"},
        {"%SS", render("%SS", &spec), "-100,2,Untitled.txt"},
        {"cd", render("cd \"%s\"; ./Tarvo_Download.dat Tarvo_Firmware.txt", std::string("/a b/R")),
         "cd \"/a b/R\"; ./Tarvo_Download.dat Tarvo_Firmware.txt"},
    });
    Str255 empty = "";
    EXPECT_EQ(render("[%p]", empty), "[]");
    HFSUniStr255 negative{0x8000, {'x'}};
    EXPECT_EQ(render("[%SU%p]", &negative, &negative), "[]"); // length taken as signed
    HFSUniStr255 huge{300, {}};
    EXPECT_EQ(render("%SU", &huge).size(), 255u); // cut to 255 units, each a zero unit
}

TEST(FormatEngine, NullPointersWriteNIL) {
    const char* c = nullptr;
    CFStringRef s = nullptr;
    Rect* r = nullptr;
    FSSpec* f = nullptr;
    FSRef* ref = nullptr;
    const unsigned short* u = nullptr;
    HFSUniStr255* h = nullptr;
    EXPECT_EQ(render("%s|%@|%p|%R|%F|%M|%4C|%SS|%SC|%SU|%SP|%SF|%SR", c, s, nullptr, r, f, nullptr,
                     nullptr, f, u, h, ref, ref, ref),
              "NIL|NIL|NIL|NIL|NIL|NIL|NIL|NIL|NIL|NIL|NIL|NIL|NIL");
    EXPECT_EQ(render("%s%p", 0, 0L), "NILNIL"); // NULL given as an integer
}

TEST(FormatEngine, UnlistedLettersAndCutShortDirectives) {
    checkRows({
        {"%q", render("%q"), ""},
        {"50% done", render("50% done"), "50done"},
        {"%ld", render("%ld", 7), "d"},
        {"%-5D", render("%-5D", 7), "5D"},
        {"%SZ", render("%SZ%D", 7), "7"}, // consumes nothing
        {"%qD", render("%q%D", 3), "3"},
        {"tail %", render("tail %", 1), "tail "},
        {"tail %,0", render("tail %,012", 1), "tail "},
        {"tail %S", render("tail %S", 1), "tail "},
        {"backslash", render("code 0x%02x is \\%03o", 15, 15), "code 0x0F is \\017"},
    });
}

TEST(FormatEngine, MissingAndWrongArgumentsWriteNothing) {
    const char* hostile = "%s%s%p%@%R%F%SP%M";
    Rect r{1, 2, 3, 4};
    CFStringRef obj = CFSTR("x");
    checkRows({
        {"none", render(hostile), ""},
        {"integers", render(hostile, 1, 2, 3, 4, 5, 6, 7, 8), ""},
        {"nulls",
         render(hostile, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
         "NILNILNILNILNILNILNILNIL"},
        {"floats", render(hostile, 1.5, 2.5f, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0), ""},
        {"wrong pointers", render("%s%@%R%D", &r, &r, obj, obj), ""},
        {"too few", render("%D-%D-%D", 1), "1--"},
        {"numbers from pointers", render("%D%d%C%E", "a", obj, &r, nullptr), ""},
        // A wrongly typed argument is consumed, so the next directive takes the next one.
        {"consumed", render("%@%D", 5, 6), "6"},
    });
    EXPECT_EQ(render("%p", 5000), ""); // an integer that is no string-list identifier
}

TEST(FormatEngine, ParameterTextEscapes) {
    ParamText((const unsigned char*)"\004zero", (const unsigned char*)"\002%D", nullptr, nullptr);
    setParamText(5, (const unsigned char*)"\004five");
    setParamText(6, (const unsigned char*)"\002^5");
    checkRows({
        {"^5!", render("^5!"), "five!"},
        {"^0", render("[^0]"), "[zero]"},
        {"^1 not a format", render("^1", 7), "%D"},
        {"^6 not a format", render("^6"), "^5"},
        {"^9 unset", render("[^9]"), "[]"},
        {"^x", render("^x^"), "^x^"},
    });
}

TEST(FormatEngine, FormatAndOutputLimits) {
    std::string exact(1023, 'a');
    exact[1022] = 'Z';
    EXPECT_EQ(render(exact.c_str()), exact);
    EXPECT_EQ(render((exact + "cut").c_str()), exact); // unit 1024 on is never read
    std::string longArg(1500, 'x');
    std::string out = render("%s%s", longArg, longArg);
    EXPECT_EQ(out.size(), 2048u);
    EXPECT_EQ(render("%30000D", 5).size(), 2048u);
    EXPECT_EQ(render("%99999999999D", 5).size(), 2048u); // a width that overflows 16 bits
    std::string many;
    for (int i = 0; i < 300; ++i)
        many += "^5";
    EXPECT_EQ(render(many.c_str()).size(), 1200u);
}

TEST(FormatEngine, StringListArguments) {
    auto path = std::filesystem::temp_directory_path() / "quillon-engine-lists.txt";
    std::ofstream(path) << "[128]\nzero-list\n[140]\none\ntwo\nthree\n";
    setStringListPathForTesting(path.string());
    checkRows({
        {"%p 1203", render("%p", 1203), "three"},
        {"%p 1", render("%p", 1), "zero-list"},
        {"%p as pointer", render("%p", reinterpret_cast<StringPtr>(1202)), "two"},
        {"%p missing", render("[%p]", 1299), "[]"},
        {"%p 3199", render("[%p]", 3199), "[]"},
    });
    setStringListPathForTesting("");
    std::filesystem::remove(path);
}

TEST(NumberWriter, WritesAtTheGivenPositionAndReturnsTheEnd) {
    unsigned short buf[128];
    unsigned short* end = _prtnu(buf, -255, -16, 0, 0, 0);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buf), size_t(end - buf)), u"-FF");
    end = _prtnu(buf, 7, 10, 4, '*', '+');
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buf), size_t(end - buf)), u"**+7");
    end = _prtnu(buf, -1, 8, 0, 0, 0); // unsigned: the full 64 bits
    EXPECT_EQ(size_t(end - buf), 22u);
}

TEST(FormatEngine, FileReferences) {
    auto dir = std::filesystem::temp_directory_path() / "quillon fmt \xC3\xA9";
    std::filesystem::create_directories(dir);
    auto file = dir / "Untitled.txt";
    std::ofstream(file) << "x";
    std::string path = std::filesystem::canonical(file).string();
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(path.c_str()), &ref, nullptr), noErr);
    FSSpec spec;
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &spec, nullptr), noErr);

    // The path's UTF-8 bytes are widened one by one, not decoded.
    std::string widened;
    for (unsigned char b : path)
        widened += b < 0x80 ? std::string(1, char(b))
                            : std::string{char(0xC0 | (b >> 6)), char(0x80 | (b & 0x3F))};
    EXPECT_EQ(render("%SP", &ref), widened);
    std::string asSpec = render("%SS", &spec);
    EXPECT_EQ(render("%SF", &ref), asSpec);
    EXPECT_EQ(render("%SR", &ref), asSpec);
    EXPECT_NE(asSpec.find(",Untitled.txt"), std::string::npos);

    FSRef foreign{};
    std::memset(&foreign, 0xA5, sizeof foreign);
    EXPECT_EQ(render("[%SP%SF%D]", &foreign, &foreign, 3), "[3]"); // consumed, nothing written
    std::filesystem::remove_all(dir);
    EXPECT_EQ(render("[%SP]", &ref), "[]"); // the file is gone
}
