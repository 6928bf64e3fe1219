#include "stringSupport.h"

#include <algorithm>
#include <cstring>

namespace {

const SInt16 kJapaneseFont = 16384;

SInt16 lastEncoding = kTextEncodingMacRoman;
TextToUnicodeInfo iTextToUnicodeInfo = nullptr;
// One Unicode-to-byte converter per _UniStrToPStr form, made on first use and kept.
UnicodeToTextInfo iUnicodeToTextInfoHFS = nullptr;
UnicodeToTextInfo iUnicodeToTextInfoZero = nullptr;
const SInt16 resBase = 128;

OSErr uniToPStr(UnicodeToTextInfo& info, const UniChar* units, ByteCount count,
                unsigned char* pstr) {
    if (!info) {
        TextEncoding enc = CreateTextEncoding(kTextEncodingMacArabic, kTextEncodingDefaultVariant,
                                              kTextEncodingDefaultFormat);
        OSStatus err = CreateUnicodeToTextInfoByEncoding(enc, &info);
        if (err != noErr) {
            info = nullptr;
            return OSErr(err); // pstr stays as it was; the next call tries again
        }
    }
    OSStatus err = ConvertFromUnicodeToPString(info, count * 2, units, pstr);
    if (err == kTECUsedFallbacksStatus) err = noErr;
    if (err != noErr) {
        static const unsigned char kError[] = "\005Error";
        std::memcpy(pstr, kError, 6);
    }
    return OSErr(err);
}

} // namespace

int _CFStringToUniStr(CFStringRef fmt, long maxchrs, unsigned short* unicode) {
    if (!unicode || maxchrs < 1) return 0;
    CFIndex count = CFStringGetLength(fmt);
    if (count >= maxchrs) count = maxchrs - 1;
    CFStringGetCharacters(fmt, CFRangeMake(0, count), unicode);
    unicode[count] = 0;
    return int(count);
}

OSErr _UniStrToPStr(HFSUniStr255* ustr, unsigned char* pstr) {
    if (!pstr) return paramErr;
    if (!ustr) {
        pstr[0] = 0;
        return noErr;
    }
    return uniToPStr(iUnicodeToTextInfoHFS, ustr->unicode, std::min<ByteCount>(ustr->length, 255),
                     pstr);
}

OSErr _UniStrToPStr(unsigned short* ustr, unsigned char* pstr) {
    if (!pstr) return paramErr;
    if (!ustr) {
        pstr[0] = 0;
        return noErr;
    }
    return uniToPStr(iUnicodeToTextInfoZero, ustr, strlen(ustr), pstr);
}

OSErr _UniStrToCStr(unsigned short* ustr, char* cstr) {
    if (!ustr || !cstr) return paramErr;
    CFStringRef s = CFStringCreateWithCharacters(kCFAllocatorDefault, ustr, strlen(ustr));
    if (!s) return paramErr;
    // Loss (too long, or not Mac Roman) is not reported; cstr holds the usable prefix.
    CFStringGetCString(s, cstr, 2048, kCFStringEncodingMacRoman);
    CFRelease(s);
    return noErr;
}

ByteCount _cStrToUniStr(const char* text, unsigned short* ustr) {
    if (!text || !ustr) return 0;
    return _textToUniStr(text, long(std::strlen(text)), ustr);
}

int _pStrToUniStr(const unsigned char* pstr, unsigned short* ustr, long length) {
    if (!pstr || !ustr) return 0;
    CFStringRef s = CFStringCreateWithPascalStringNoCopy(
        kCFAllocatorDefault, pstr, kCFStringEncodingMacRoman, kCFAllocatorNull);
    if (!s) return 0;
    CFIndex count = CFStringGetLength(s);
    if (length > 0 && count > length) count = length;
    CFStringGetCharacters(s, CFRangeMake(0, count), ustr);
    CFRelease(s);
    return int(count);
}

OSErr _pStrToUniStr(const unsigned char* pstr, HFSUniStr255* ustr) {
    if (!pstr || !ustr) return noErr;
    // One unit more than the record holds, for the terminator of a 255-unit text.
    UniChar units[256];
    ByteCount bytes = _textToUniStr(reinterpret_cast<const char*>(pstr + 1), pstr[0], units);
    UInt16 count = UInt16(std::min<ByteCount>(bytes / 2, 255));
    std::copy_n(units, count, ustr->unicode);
    if (count < 255) ustr->unicode[count] = 0;
    ustr->length = count;
    return noErr;
}

ByteCount _textToUniStr(const char* text, long len, unsigned short* ustr) {
    if (!text || !ustr) return 0;
    if (len <= 0) {
        ustr[0] = 0;
        return 0;
    }
    GrafPtr port = nullptr;
    GetPort(&port);
    SInt16 encoding =
        GetPortTextFont(port) == kJapaneseFont ? kTextEncodingMacJapanese : kTextEncodingMacRoman;
    if (encoding != lastEncoding && iTextToUnicodeInfo)
        DisposeTextToUnicodeInfo(&iTextToUnicodeInfo);
    lastEncoding = encoding;
    if (!iTextToUnicodeInfo) {
        TextEncoding enc = CreateTextEncoding(
            TextEncodingBase(encoding), kTextEncodingDefaultVariant, kTextEncodingDefaultFormat);
        if (CreateTextToUnicodeInfoByEncoding(enc, &iTextToUnicodeInfo) != noErr)
            iTextToUnicodeInfo = nullptr;
    }
    if (iTextToUnicodeInfo) {
        ByteCount read = 0, written = 0;
        OSStatus err = ConvertFromTextToUnicode(iTextToUnicodeInfo, ByteCount(len), text,
                                                kUnicodeUseFallbacksMask, ByteCount(len) * 2, &read,
                                                &written, ustr);
        if (err == noErr || err == kTECUsedFallbacksStatus) {
            ustr[written / 2] = 0;
            return written;
        }
    }
    // No converter for this encoding: each byte becomes the unit of the same value.
    for (long i = 0; i < len; ++i)
        ustr[i] = UInt8(text[i]);
    ustr[len] = 0;
    return ByteCount(len) * 2;
}

short getStringParts(unsigned short* umsg, short part, CFStringRef* cfParts) {
    if (!umsg || !cfParts) return 0;
    cfParts[0] = nullptr;
    short count = 0, stored = 0;
    const unsigned short* start = umsg;
    for (const unsigned short* p = umsg;; ++p) {
        bool end = *p == 0;
        if (end || *p == '\\' || *p == '^') {
            if (p > start) {
                ++count;
                if (part == 0 || count == part) {
                    CFStringRef s = CFStringCreateWithCharacters(kCFAllocatorDefault, start,
                                                                 CFIndex(p - start));
                    if (s) cfParts[stored++] = s;
                    if (part > 0) return stored;
                }
            }
            if (end) break;
            start = p + 1;
        }
    }
    return stored;
}

short getStringParts(CFStringRef cfmsg, short part, CFStringRef* cfParts) {
    // A longer text is cut: only its first 999 units are split.
    unsigned short buf[1000];
    _CFStringToUniStr(cfmsg, 1000, buf);
    return getStringParts(buf, part, cfParts);
}

unsigned short strlen(const unsigned short* ucode) {
    if (!ucode) return 0;
    unsigned short n = 0;
    while (n < 65535 && ucode[n] != 0)
        ++n;
    return n;
}

Boolean _GetIndString(unsigned char* str, short id) {
    if (!str) return false;
    str[0] = 0;
    SInt16 list = SInt16(id / 100), index = SInt16(id % 100);
    GetIndString(str, SInt16(resBase + list), index);
    if (str[0] == 0) GetIndString(str, SInt16(128 + list), index);
    if (str[0] < 255) str[str[0] + 1] = 0;
    return str[0] != 0;
}
