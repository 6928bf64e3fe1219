#include "PlatformStrings.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

namespace {

const char kNullDeallocatorTag = 0;

bool isHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void appendUTF16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(char16_t(0xD800 + (cp >> 10)));
        out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(char16_t(cp));
    }
}

// Decodes UTF-8; false on the first malformed sequence unless `replace`, which puts U+FFFD
// in its place (overlong forms, surrogates and values above U+10FFFF are malformed).
bool decodeUTF8(std::string_view in, std::u16string& out, bool replace) {
    size_t i = 0;
    while (i < in.size()) {
        UInt8 b = UInt8(in[i]);
        if (b < 0x80) {
            out.push_back(char16_t(b));
            ++i;
            continue;
        }
        int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        char32_t cp = extra == 3 ? (b & 0x07) : extra == 2 ? (b & 0x0F) : (b & 0x1F);
        bool ok = extra > 0 && b <= 0xF4;
        int taken = 1;
        if (ok) {
            for (int k = 1; k <= extra; ++k) {
                if (i + size_t(k) >= in.size()) {
                    ok = false;
                    break;
                }
                UInt8 c = UInt8(in[i + size_t(k)]);
                if ((c & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                cp = (cp << 6) | (c & 0x3F);
                taken = k + 1;
            }
        }
        if (ok) {
            static const char32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
            if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) ok = false;
        }
        if (!ok) {
            if (!replace) return false;
            out.push_back(u'\uFFFD');
            i += size_t(taken);
            continue;
        }
        appendUTF16(out, cp);
        i += size_t(extra) + 1;
    }
    return true;
}

// The bytes of one character (a unit, or a surrogate pair at `i`) in `encoding`. Returns the
// number of units it took; `bytes` is empty when the encoding cannot hold the character.
size_t encodeOne(std::u16string_view s, size_t i, CFStringEncoding encoding, std::string& bytes) {
    bytes.clear();
    char32_t u = s[i];
    size_t taken = 1;
    if (isHighSurrogate(u) && i + 1 < s.size() && isLowSurrogate(s[i + 1])) {
        u = 0x10000 + ((u - 0xD800) << 10) + (char32_t(s[i + 1]) - 0xDC00);
        taken = 2;
    }
    if (encoding == kCFStringEncodingMacRoman) {
        UInt8 b;
        if (u <= 0xFFFF && unicodeToMacRoman(UniChar(u), &b)) bytes.push_back(char(b));
    } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
        // A lone surrogate has no UTF-8 form.
    } else if (u < 0x80) {
        bytes.push_back(char(u));
    } else if (u < 0x800) {
        bytes.push_back(char(0xC0 | (u >> 6)));
        bytes.push_back(char(0x80 | (u & 0x3F)));
    } else if (u < 0x10000) {
        bytes.push_back(char(0xE0 | (u >> 12)));
        bytes.push_back(char(0x80 | ((u >> 6) & 0x3F)));
        bytes.push_back(char(0x80 | (u & 0x3F)));
    } else {
        bytes.push_back(char(0xF0 | (u >> 18)));
        bytes.push_back(char(0x80 | ((u >> 12) & 0x3F)));
        bytes.push_back(char(0x80 | ((u >> 6) & 0x3F)));
        bytes.push_back(char(0x80 | (u & 0x3F)));
    }
    return taken;
}

// Encodes as much of `s` as fits in `room` bytes; true when all of it fitted exactly.
bool encodeInto(std::u16string_view s, CFStringEncoding encoding, size_t room, std::string& out) {
    bool exact = true;
    std::string bytes;
    for (size_t i = 0; i < s.size();) {
        i += encodeOne(s, i, encoding, bytes);
        if (bytes.empty()) {
            exact = false;
            bytes.push_back('?'); // not `= "?"`: GCC 12 at -O2 reports a false -Wrestrict on that assignment
        }
        if (out.size() + bytes.size() > room) return false;
        out += bytes;
    }
    return exact;
}

bool knownEncoding(CFStringEncoding e) {
    return e == kCFStringEncodingMacRoman || e == kCFStringEncodingUTF8;
}

CFStringRef createFromBytes(std::string_view bytes, CFStringEncoding encoding) {
    if (!knownEncoding(encoding)) return nullptr;
    auto* s = new PlatformString;
    if (encoding == kCFStringEncodingMacRoman) {
        s->units.reserve(bytes.size());
        for (char c : bytes)
            s->units.push_back(char16_t(macRomanToUnicode(UInt8(c))));
    } else if (!decodeUTF8(bytes, s->units, false)) {
        delete s;
        return nullptr;
    }
    return s;
}

} // namespace

const CFAllocatorRef kCFAllocatorNull = &kNullDeallocatorTag;

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef, const UniChar* chars, CFIndex numChars) {
    if (numChars < 0 || (!chars && numChars != 0)) return nullptr;
    auto* s = new PlatformString;
    if (numChars) s->units.assign(reinterpret_cast<const char16_t*>(chars), size_t(numChars));
    return s;
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef, const char* cStr, CFStringEncoding encoding) {
    if (!cStr) return nullptr;
    return createFromBytes(std::string_view(cStr), encoding);
}

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef, ConstStr255Param pStr,
                                           CFStringEncoding encoding) {
    if (!pStr) return nullptr;
    return createFromBytes(std::string_view(reinterpret_cast<const char*>(pStr + 1), pStr[0]),
                           encoding);
}

CFStringRef CFStringCreateWithPascalStringNoCopy(CFAllocatorRef alloc, ConstStr255Param pStr,
                                                 CFStringEncoding encoding, CFAllocatorRef) {
    return CFStringCreateWithPascalString(alloc, pStr, encoding);
}

CFIndex CFStringGetLength(CFStringRef str) {
    return str ? CFIndex(str->units.size()) : 0;
}

void CFStringGetCharacters(CFStringRef str, CFRange range, UniChar* buffer) {
    if (!str || !buffer || range.location < 0 || range.length <= 0) return;
    CFIndex size = CFIndex(str->units.size());
    if (range.location >= size) return;
    CFIndex n = std::min(range.length, size - range.location);
    std::copy_n(str->units.data() + range.location, n, reinterpret_cast<char16_t*>(buffer));
}

Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding) {
    if (!buffer || bufferSize < 1) return false;
    buffer[0] = 0;
    if (!str || !knownEncoding(encoding)) return false;
    std::string out;
    bool exact = encodeInto(str->units, encoding, size_t(bufferSize - 1), out);
    std::copy(out.begin(), out.end(), buffer);
    buffer[out.size()] = 0;
    return exact;
}

Boolean CFStringGetPascalString(CFStringRef str, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding) {
    if (!buffer || bufferSize < 1) return false;
    buffer[0] = 0;
    if (!str || !knownEncoding(encoding)) return false;
    std::string out;
    size_t room = size_t(std::min<CFIndex>(255, bufferSize - 1));
    bool exact = encodeInto(str->units, encoding, room, out);
    std::copy(out.begin(), out.end(), buffer + 1);
    buffer[0] = UInt8(out.size());
    return exact;
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef, CFIndex maxLength, CFStringRef str) {
    if (!str || maxLength < 0) return nullptr;
    auto* s = new PlatformString;
    s->capacity = maxLength;
    size_t n = str->units.size();
    if (maxLength > 0 && n > size_t(maxLength)) {
        n = size_t(maxLength);
        if (isHighSurrogate(str->units[n - 1])) --n;
    }
    s->units.assign(str->units, 0, n);
    return s;
}

CFStringRef CFSTR(const char* utf8Literal) {
    static std::mutex lock;
    static std::map<std::string, PlatformString*, std::less<>> constants;
    std::string_view key = utf8Literal ? utf8Literal : "";
    std::lock_guard<std::mutex> guard(lock);
    auto it = constants.find(key);
    if (it != constants.end()) return it->second;
    auto* s = new PlatformString;
    decodeUTF8(key, s->units, true);
    // So many references that no sequence of releases by callers can free it.
    s->refs.store(1 << 30);
    constants.emplace(std::string(key), s);
    return s;
}

std::u16string_view platformStringUnits(CFStringRef str) {
    return str ? std::u16string_view(str->units) : std::u16string_view();
}

CFStringRef platformStringCreate(std::u16string_view units) {
    auto* s = new PlatformString;
    s->units.assign(units);
    return s;
}

CFStringRef platformStringCreateUTF8(std::string_view utf8) {
    auto* s = new PlatformString;
    decodeUTF8(utf8, s->units, true);
    return s;
}

std::string platformStringUTF8(CFStringRef str) {
    std::string out;
    if (!str) return out;
    std::string bytes;
    for (size_t i = 0; i < str->units.size();) {
        i += encodeOne(str->units, i, kCFStringEncodingUTF8, bytes);
        out += bytes.empty() ? "\xEF\xBF\xBD" : bytes;
    }
    return out;
}

// The drawing port: one port for the whole process, whose font is the system font 0.
struct PlatformGrafPort {
    SInt16 textFont = 0;
};

void GetPort(GrafPtr* port) {
    static PlatformGrafPort thePort;
    if (port) *port = &thePort;
}

SInt16 GetPortTextFont(CGrafPtr port) {
    return port ? port->textFont : 0;
}
