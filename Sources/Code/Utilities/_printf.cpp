#include "_printf.h"

#include "PlatformFiles.h"
#include "stringSupport.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

const unsigned short _chrDP = '.';
const unsigned short _chrTS = ',';
const char kDigits[] = "0123456789ABCDEF";

const std::size_t kFormatUnits = 1024;
const std::size_t kOutputUnits = 2048;
// Widths beyond the output buffer could never show; capping them keeps the number scratch
// buffer bounded.
const short kMaxWidth = short(kOutputUnits);
const unsigned short k64BitLetter = 0xFFB6;

HFSUniStr255* paramTexts[10];

// The output of one call: a fixed buffer that drops whatever does not fit.
struct Output {
    unsigned short units[kOutputUnits];
    std::size_t used = 0;

    bool full() const { return used >= kOutputUnits; }
    std::size_t room() const { return kOutputUnits - used; }
    void put(unsigned short u) {
        if (!full()) units[used++] = u;
    }
    void put(const char* ascii) {
        while (*ascii)
            put(UInt8(*ascii++));
    }
    void put(const unsigned short* from, std::size_t n) {
        n = std::min(n, room());
        std::copy_n(from, n, units + used);
        used += n;
    }
};

// The argument cursor.
struct Cursor {
    PrtfArgList list;

    // The next argument, or null when the caller passed no more.
    const PrtfArg* take() {
        if (list.count == 0 || !list.next) return nullptr;
        --list.count;
        return list.next++;
    }
};

bool isNullPointer(const PrtfArg& a) {
    if (a.kind == PrtfKind::nullPtr) return true;
    if (a.kind == PrtfKind::integer) return a.value == 0; // NULL or 0 given for a pointer
    return a.kind != PrtfKind::other && a.ptr == nullptr;
}

// The bytes a pointer argument lets us read: `want`, or fewer when its size is known.
std::size_t readable(const PrtfArg& a, std::size_t want) {
    return a.size ? std::min(want, a.size) : want;
}

void putNumber(Output& out, SInt64 n, short rdx, short padn, short padc) {
    unsigned short scratch[kMaxWidth + 96];
    unsigned short* end = _prtnu(scratch, n, rdx, std::min(padn, kMaxWidth), padc, 0);
    out.put(scratch, std::size_t(end - scratch));
}

void putWidened(Output& out, const UInt8* bytes, std::size_t maxLen, bool stopAtZero) {
    for (std::size_t i = 0; i < maxLen && !out.full(); ++i) {
        if (stopAtZero && bytes[i] == 0) break;
        out.put(bytes[i]);
    }
}

// Bytes converted in the current encoding; exactly `n` units are written (n <= 4).
void putConverted(Output& out, const UInt8* bytes, std::size_t n) {
    unsigned short units[8] = {};
    _textToUniStr(reinterpret_cast<const char*>(bytes), long(n), units);
    out.put(units, n);
}

void putHFSUniStr(Output& out, const HFSUniStr255& s) {
    SInt16 len = SInt16(s.length);
    if (len <= 0) return;
    out.put(s.unicode, std::min<std::size_t>(std::size_t(len), 255));
}

void putFSSpec(Output& out, const FSSpec& spec) {
    putNumber(out, spec.vRefNum, -10, 0, ' ');
    out.put(',');
    putNumber(out, spec.parID, -10, 0, ' ');
    out.put(',');
    putWidened(out, spec.name + 1, std::min<std::size_t>(spec.name[0], sizeof spec.name - 1),
               false);
}

bool isPointerArg(const PrtfArg& a, PrtfKind kind) {
    return a.kind == kind && a.ptr;
}
bool isByteSource(const PrtfArg& a) {
    return a.ptr && (a.kind == PrtfKind::cString || a.kind == PrtfKind::bytes ||
                     a.kind == PrtfKind::pointer);
}

// "%p": a string-list identifier, a Pascal string or an HFSUniStr255.
void putPString(Output& out, const PrtfArg& a) {
    // An identifier may come as an integer or cast to a string pointer; no real pointer
    // lies that low.
    SInt64 id = a.kind == PrtfKind::integer ? a.value : SInt64(reinterpret_cast<uintptr_t>(a.ptr));
    if (a.kind == PrtfKind::integer || (id >= 1 && id <= 3199)) {
        if (id < 1 || id > 3199) return;
        Str255 text;
        if (!_GetIndString(text, short(id))) return;
        putWidened(out, text + 1, text[0], false);
    } else if (a.kind == PrtfKind::hfsUniStr) {
        if (a.size && a.size < sizeof(HFSUniStr255)) return;
        putHFSUniStr(out, *static_cast<const HFSUniStr255*>(a.ptr));
    } else if (isByteSource(a)) {
        // A zero length byte is the empty Pascal string. (The byte order of an
        // HFSUniStr255's length differs between platforms, so one is only recognised by
        // its type, never by its first byte.)
        auto* p = static_cast<const UInt8*>(a.ptr);
        putWidened(out, p + 1, readable(a, std::size_t(p[0]) + 1) - 1, false);
    }
}

void putDump(Output& out, const PrtfArg& a, short len, bool group) {
    auto* p = static_cast<const UInt8*>(a.ptr);
    std::size_t n = readable(a, len > 0 ? std::size_t(len) : 4);
    for (std::size_t i = 0; i < n && !out.full(); ++i) {
        putNumber(out, p[i], 16, 2, '0');
        if (group && i % 4 == 3 && i + 1 < n) out.put(',');
    }
}

void putCharacters(Output& out, const PrtfArg& a, short len, bool group) {
    auto* p = static_cast<const UInt8*>(a.ptr);
    std::size_t n = readable(a, std::size_t(len));
    for (std::size_t i = 0; i < n && !out.full(); ++i) {
        UInt8 b = p[i] < 0x20 ? 0xE1 : p[i];
        putConverted(out, &b, 1);
        if (group && i % 4 == 3 && i + 1 < n) out.put(',');
    }
}

void putFourCC(Output& out, UInt32 code) {
    UInt8 bytes[4];
    for (int i = 0; i < 4; ++i) {
        UInt8 b = UInt8(code >> (24 - 8 * i));
        bytes[i] = (b < 0x20 || b >= 0x80) ? 0xE1 : b;
    }
    putConverted(out, bytes, 4);
}

void putParamText(Output& out, unsigned short digit) {
    if (digit <= 3) {
        Str255 texts[4];
        StringPtr want[4] = {};
        want[digit] = texts[digit];
        GetParamText(want[0], want[1], want[2], want[3]);
        if (out.room() == 0) return;
        unsigned short units[256];
        int n = _pStrToUniStr(texts[digit], units, 256);
        out.put(units, std::size_t(n));
    } else if (paramTexts[digit]) {
        putHFSUniStr(out, *paramTexts[digit]);
    }
}

// One directive after its letter has been read. `group` is the ',' flag (only when no '0').
void directive(Output& out, Cursor& args, unsigned short letter, unsigned short sub, short len,
               short padc) {
    bool group = padc == ',';
    auto integer = [&](SInt64& v) {
        const PrtfArg* a = args.take();
        if (!a || a->kind != PrtfKind::integer) return false;
        v = a->value;
        return true;
    };
    auto number = [&](SInt64 v, short rdx) {
        if (group && len == 0) len = (rdx == 10 || rdx == -10) ? 3 : 4;
        putNumber(out, v, rdx, len, padc);
    };
    // A pointer directive: NIL for a null pointer; false when there is nothing to write.
    auto pointer = [&](const PrtfArg*& a) {
        a = args.take();
        if (!a) return false;
        if (isNullPointer(*a)) {
            out.put("NIL");
            return false;
        }
        return true;
    };

    SInt64 v = 0;
    const PrtfArg* a = nullptr;
    switch (letter) {
    case '%':
        out.put('%');
        return;
    case '.':
        out.put(_chrDP);
        return;
    case 'd':
        if (integer(v)) number(SInt16(v), -10);
        return;
    case 'u':
        if (integer(v)) number(UInt16(v), 10);
        return;
    case 'x':
        if (integer(v)) number(UInt16(v), 16);
        return;
    case 'o':
        if (integer(v)) number(UInt16(v), 8);
        return;
    case 'D':
        if (integer(v)) number(SInt32(v), -10);
        return;
    case 'U':
        if (integer(v)) number(UInt32(v), 10);
        return;
    case 'X':
        if (integer(v)) number(UInt32(v), 16);
        return;
    case 'O':
        if (integer(v)) number(UInt32(v), 8);
        return;
    case k64BitLetter:
        if (integer(v)) number(v, -10);
        return;
    case 'I':
        if (integer(v)) putNumber(out, UInt32(v), 16, 6, '0');
        return;
    case 'E':
        if (!integer(v)) return;
        if (SInt32(v) == 0)
            out.put("noErr");
        else if ((UInt32(v) >> 16) == 0xFFFF)
            number(SInt32(v), -10);
        else {
            out.put("0x");
            number(UInt32(v), 16);
        }
        return;
    case 'b':
        if (integer(v)) out.put(UInt8(v) ? "true" : "false");
        return;
    case 'c':
        if (integer(v)) {
            UInt8 b = UInt8(v);
            putConverted(out, &b, 1);
        }
        return;
    case 'C':
        if (len == 0) {
            if (integer(v)) putFourCC(out, UInt32(v));
        } else if (pointer(a) && isByteSource(*a)) {
            putCharacters(out, *a, len, group);
        }
        return;
    case 'M':
        if (pointer(a) && isByteSource(*a)) putDump(out, *a, len, group);
        return;
    case 's':
        if (pointer(a) && isByteSource(*a))
            putWidened(out, static_cast<const UInt8*>(a->ptr), readable(*a, SIZE_MAX), true);
        return;
    case 'p':
        a = args.take();
        if (!a) return;
        if (isNullPointer(*a))
            out.put("NIL");
        else
            putPString(out, *a);
        return;
    case '@':
        if (pointer(a) && isPointerArg(*a, PrtfKind::string)) {
            auto units = platformStringUnits(static_cast<CFStringRef>(a->ptr));
            out.put(reinterpret_cast<const unsigned short*>(units.data()), units.size());
        }
        return;
    case 'R':
        if (pointer(a) && isPointerArg(*a, PrtfKind::rect)) {
            auto& r = *static_cast<const Rect*>(a->ptr);
            const SInt16 sides[4] = {r.top, r.left, r.bottom, r.right};
            for (int i = 0; i < 4; ++i) {
                if (i) out.put(',');
                putNumber(out, sides[i], -10, 0, ' ');
            }
        }
        return;
    case 'F':
        if (pointer(a) && isPointerArg(*a, PrtfKind::fsSpec))
            putFSSpec(out, *static_cast<const FSSpec*>(a->ptr));
        return;
    case 'S':
        switch (sub) {
        case 'S':
            if (pointer(a) && isPointerArg(*a, PrtfKind::fsSpec))
                putFSSpec(out, *static_cast<const FSSpec*>(a->ptr));
            return;
        case 'F':
        case 'R':
            if (pointer(a) && isPointerArg(*a, PrtfKind::fsRef)) {
                // A reference the file layer cannot resolve (gone, foreign) writes nothing.
                FSSpec spec;
                if (FSGetCatalogInfo(static_cast<const FSRef*>(a->ptr), kFSCatInfoNone, nullptr,
                                     nullptr, &spec, nullptr) == noErr)
                    putFSSpec(out, spec);
            }
            return;
        case 'P':
            if (pointer(a) && isPointerArg(*a, PrtfKind::fsRef)) {
                // Likewise a path that cannot be made, or is longer than 1999 bytes.
                UInt8 path[2000];
                if (FSRefMakePath(static_cast<const FSRef*>(a->ptr), path, sizeof path) == noErr)
                    putWidened(out, path, sizeof path, true);
            }
            return;
        case 'C':
            if (pointer(a) && isPointerArg(*a, PrtfKind::uniCString)) {
                auto* u = static_cast<const unsigned short*>(a->ptr);
                std::size_t max = a->size ? a->size / 2 : SIZE_MAX;
                for (std::size_t i = 0; i < max && u[i] && !out.full(); ++i)
                    out.put(u[i]);
            }
            return;
        case 'U':
            if (pointer(a) && isPointerArg(*a, PrtfKind::hfsUniStr) &&
                (a->size == 0 || a->size >= sizeof(HFSUniStr255)))
                putHFSUniStr(out, *static_cast<const HFSUniStr255*>(a->ptr));
            return;
        default:
            return; // an unlisted letter after 'S' consumes nothing
        }
    default:
        return; // an unlisted letter consumes nothing
    }
}

bool isDigit(unsigned short u) {
    return u >= '0' && u <= '9';
}

} // namespace

unsigned short* _prtnu(unsigned short* prtfp, SInt64 n, short rdx, short padn, short padc,
                       short prefix) {
    UInt64 u = UInt64(n);
    if (rdx < 0) {
        rdx = short(-rdx);
        if (n < 0) {
            u = 0 - UInt64(n);
            prefix = '-';
        }
    }
    if (rdx < 2 || rdx > 16) return prtfp;
    if (padc == ',' && padn < 0) padn = short(padn + (rdx == 10 ? 3 : 4));
    UInt64 q = u / UInt64(rdx);
    if (q != 0) {
        prtfp = _prtnu(prtfp, SInt64(q), rdx, short(padn - 1), padc, prefix);
    } else {
        if (padc != ',') {
            if (prefix) --padn;
            for (short i = 1; i < padn; ++i)
                *prtfp++ = (unsigned short)padc;
        }
        if (prefix) *prtfp++ = (unsigned short)prefix;
    }
    *prtfp++ = UInt8(kDigits[u % UInt64(rdx)]);
    if (padc == ',' && padn == 0) *prtfp++ = _chrTS;
    return prtfp;
}

CFStringRef _prtfu(CFStringRef cffmt, PrtfArgList adx) {
    unsigned short in[kFormatUnits];
    _CFStringToUniStr(cffmt, long(kFormatUnits), in);
    Output out;
    Cursor args{adx};

    const unsigned short* p = in;
    while (*p) {
        unsigned short u = *p++;
        if (u == '^' && isDigit(*p)) {
            putParamText(out, (unsigned short)(*p++ - '0'));
            continue;
        }
        if (u != '%') {
            out.put(u);
            continue;
        }
        short padc = ' ', len = 0;
        bool group = false;
        if (*p == ',') {
            group = true;
            ++p;
        }
        if (*p == '0') {
            padc = '0';
            ++p;
        }
        while (isDigit(*p)) {
            len = short(std::min(len * 10 + (*p++ - '0'), int(kMaxWidth)));
        }
        if (group && padc != '0') padc = ',';
        unsigned short letter = *p;
        if (!letter) break; // cut short by the end of the format
        ++p;
        unsigned short sub = 0;
        if (letter == 'S') {
            sub = *p;
            if (!sub) break;
            ++p;
        }
        directive(out, args, letter, sub, len, padc);
    }
    return CFStringCreateWithCharacters(kCFAllocatorDefault, out.units, CFIndex(out.used));
}

// ---------------------------------------------------------------------------------------
// Front ends

CFStringRef prtfFormat(const char* fmt) {
    CFStringRef s =
        CFStringCreateWithCString(kCFAllocatorDefault, fmt ? fmt : "", kCFStringEncodingMacRoman);
    return s ? s : platformStringCreate(u"");
}

CFStringRef prtfFormat(short istr) {
    Str255 text;
    _GetIndString(text, istr);
    CFStringRef s =
        CFStringCreateWithPascalString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman);
    return s ? s : platformStringCreate(u"");
}

CFStringRef prtfFormat(const unsigned short* fmt) {
    CFStringRef s = CFStringCreateWithCharacters(kCFAllocatorDefault, fmt, fmt ? strlen(fmt) : 0);
    return s ? s : platformStringCreate(u"");
}

int _pprintfList(unsigned char* buff, CFStringRef fmt, PrtfArgList adx) {
    if (!buff) return 0;
    CFStringRef s = _prtfu(fmt, adx);
    CFStringGetPascalString(s, buff, 256, kCFStringEncodingMacRoman);
    CFRelease(s);
    if (buff[0] < 255) buff[buff[0] + 1] = 0;
    return buff[0];
}

int _pprintfList(unsigned short* buff, CFStringRef fmt, PrtfArgList adx) {
    if (!buff) return 0;
    CFStringRef s = _prtfu(fmt, adx);
    int count = int(std::min<CFIndex>(CFStringGetLength(s), 1999));
    CFStringGetCharacters(s, CFRangeMake(0, count), buff + 1);
    CFRelease(s);
    buff[0] = (unsigned short)count;
    buff[count + 1] = 0;
    return count;
}

int _sprintfList(char* buff, CFStringRef fmt, PrtfArgList adx) {
    if (!buff) return 0;
    CFStringRef s = _prtfu(fmt, adx);
    CFStringGetCString(s, buff, 2000, kCFStringEncodingMacRoman);
    CFRelease(s);
    return int(std::strlen(buff));
}

int _sprintfList(unsigned short* buff, CFStringRef fmt, PrtfArgList adx) {
    if (!buff) return 0;
    CFStringRef s = _prtfu(fmt, adx);
    int count = int(std::min<CFIndex>(CFStringGetLength(s), 1999));
    CFStringGetCharacters(s, CFRangeMake(0, count), buff);
    CFRelease(s);
    buff[count] = 0;
    return count;
}

CFMutableStringRef _cfprintfList(long capacity, CFStringRef fmt, PrtfArgList adx) {
    CFStringRef s = _prtfu(fmt, adx);
    CFMutableStringRef m = CFStringCreateMutableCopy(kCFAllocatorDefault, capacity, s);
    CFRelease(s);
    return m;
}

char* _prtf(char* buff, const char* fmt, PrtfArgList adx) {
    if (!buff) return buff;
    CFStringRef f = prtfFormat(fmt);
    int n = _sprintfList(buff, f, adx);
    CFRelease(f);
    return buff + n;
}

// ---------------------------------------------------------------------------------------
// Parameter texts

void setParamText(short idx, const unsigned char* msg) {
    if (UInt16(idx) > 9 || !msg) return;
    if (!paramTexts[idx]) paramTexts[idx] = new HFSUniStr255{};
    _pStrToUniStr(msg, paramTexts[idx]);
}

void setParamText(short idx, HFSUniStr255* msg) {
    if (UInt16(idx) > 9 || !msg) return;
    if (!paramTexts[idx]) paramTexts[idx] = new HFSUniStr255{};
    *paramTexts[idx] = *msg;
}

void getParamText(short idx, unsigned char* msg) {
    if (UInt16(idx) > 9 || !msg) return;
    if (!paramTexts[idx]) {
        msg[0] = 0;
        return;
    }
    _UniStrToPStr(paramTexts[idx], msg);
}

void getParamText(short idx, HFSUniStr255* msg) {
    if (UInt16(idx) > 9 || !msg) return;
    if (!paramTexts[idx]) {
        msg->length = 0;
        return;
    }
    *msg = *paramTexts[idx];
}
