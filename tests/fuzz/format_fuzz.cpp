// Arbitrary bytes as a format, with a fixed argument list of every kind the engine reads,
// through the front ends; and as a message text to split into parts.
#include "PlatformFiles.h"
#include "_printf.h"
#include "stringSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct Fixture {
    char cString[16] = "c string";
    unsigned char bytes[12] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02, 0x03, 0x04, 0x80, 0xFF, 0, 7};
    Str255 pascal = "\005Hello";
    HFSUniStr255 uni{3, {'U', 'n', 'i'}};
    HFSUniStr255 badUni{0x7FFF, {}};
    unsigned short units[4] = {'a', 0x20AC, 'b', 0};
    Rect rect{10, 20, 110, 220};
    FSSpec spec{-100, 2, "\014Untitled.txt"};
    FSRef ref{};
    double number = 1.5;

    Fixture() {
        FSPathMakeRef(reinterpret_cast<const UInt8*>("/tmp"), &ref, nullptr);
        setParamText(4, (const unsigned char*)"\004four");
        setParamText(9, (const unsigned char*)"\003%D^");
        ParamText((const unsigned char*)"\004zero", nullptr, nullptr, nullptr);
    }
};

void release(CFStringRef s) {
    if (s) CFRelease(s);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture f;
    static CFStringRef object = CFSTR("object");

    std::vector<char> cfmt(data, data + size);
    cfmt.push_back(0);
    std::vector<unsigned short> ufmt;
    for (size_t i = 0; i + 1 < size; i += 2)
        ufmt.push_back(uint16_t(data[i] | (data[i + 1] << 8)));
    ufmt.push_back(0);
    CFStringRef ofmt =
        CFStringCreateWithCharacters(kCFAllocatorDefault, ufmt.data(), CFIndex(ufmt.size() - 1));

    // The same arguments in two orders, so each directive meets each kind.
    release(_cfprintf(cfmt.data(), 40000, -1L, 0x123456789LL, 'A', true, f.cString, f.bytes,
                      f.pascal, &f.uni, &f.badUni, f.units, object, &f.rect, &f.spec, &f.ref,
                      nullptr, f.number, 1203, 0));
    release(_cfprintf(ofmt, object, &f.ref, &f.spec, &f.rect, f.units, &f.uni, f.pascal, f.bytes,
                      f.cString, nullptr, 7, 0x80000000u, -5LL, &f.badUni));
    release(_cfprintf(cfmt.data()));

    Str255 p;
    _pprintf(p, cfmt.data(), f.cString, f.cString, 12345, object);
    std::vector<char> c(2000);
    _sprintf(c.data(), cfmt.data(), object, object, 1, f.bytes);
    std::vector<unsigned short> u(2001);
    _pprintf(u.data(), ufmt.data(), f.pascal, 3, 4);
    _sprintf(u.data(), cfmt.data(), f.units, f.units);
    CFMutableStringRef m = _cfprintf(long(size % 7), ofmt, 1, 2, 3);
    release(m);

    // As many slots as the text can have parts.
    std::vector<CFStringRef> parts(ufmt.size() / 2 + 2);
    short n = getStringParts(ufmt.data(), short(size % 4), parts.data());
    for (short i = 0; i < n; ++i)
        CFRelease(parts[i]);
    n = getStringParts(ofmt, 0, parts.data());
    for (short i = 0; i < n; ++i)
        CFRelease(parts[i]);

    release(ofmt);
    return 0;
}
