// Single-byte Mac encodings and the converters over them. Each table gives the Unicode unit
// of the bytes 0x80 to 0xFF; the bytes below 0x80 are ASCII in both encodings.
#include "PlatformStrings.h"

namespace {

// Mac OS Roman.
const UniChar kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7, // F8
};

// Mac Arabic. Its right-to-left copies of ASCII punctuation (0xA0-0xAF and others) read as
// the ASCII characters; writing prefers the ASCII byte.
const UniChar kMacArabicHigh[128] = {
    0x00C4, 0x00A0, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, // 80
    0x00E0, 0x00E2, 0x00E4, 0x06BA, 0x00AB, 0x00E7, 0x00E9, 0x00E8, // 88
    0x00EA, 0x00EB, 0x00ED, 0x2026, 0x00EE, 0x00EF, 0x00F1, 0x00F3, // 90
    0x00BB, 0x00F4, 0x00F6, 0x00F7, 0x00FA, 0x00F9, 0x00FB, 0x00FC, // 98
    0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x066A, 0x0026, 0x0027, // A0
    0x0028, 0x0029, 0x002A, 0x002B, 0x060C, 0x002D, 0x002E, 0x002F, // A8
    0x0660, 0x0661, 0x0662, 0x0663, 0x0664, 0x0665, 0x0666, 0x0667, // B0
    0x0668, 0x0669, 0x003A, 0x061B, 0x003C, 0x003D, 0x003E, 0x061F, // B8
    0x274A, 0x0621, 0x0622, 0x0623, 0x0624, 0x0625, 0x0626, 0x0627, // C0
    0x0628, 0x0629, 0x062A, 0x062B, 0x062C, 0x062D, 0x062E, 0x062F, // C8
    0x0630, 0x0631, 0x0632, 0x0633, 0x0634, 0x0635, 0x0636, 0x0637, // D0
    0x0638, 0x0639, 0x063A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F, // D8
    0x0640, 0x0641, 0x0642, 0x0643, 0x0644, 0x0645, 0x0646, 0x0647, // E0
    0x0648, 0x0649, 0x064A, 0x064B, 0x064C, 0x064D, 0x064E, 0x064F, // E8
    0x0650, 0x0651, 0x0652, 0x067E, 0x0679, 0x0686, 0x06D5, 0x06A4, // F0
    0x06AF, 0x0688, 0x0691, 0x007B, 0x007C, 0x007D, 0x0698, 0x06D2, // F8
};

UniChar toUnicode(const UniChar* high, UInt8 byte) {
    return byte < 0x80 ? byte : high[byte - 0x80];
}

bool fromUnicode(const UniChar* high, UniChar unit, UInt8* byte) {
    if (unit < 0x80) {
        *byte = UInt8(unit);
        return true;
    }
    for (int i = 0; i < 128; ++i) {
        if (high[i] == unit) {
            *byte = UInt8(0x80 + i);
            return true;
        }
    }
    return false;
}

const UniChar* tableFor(TextEncoding encoding) {
    switch (encoding) {
    case kTextEncodingMacRoman:
        return kMacRomanHigh;
    case kTextEncodingMacArabic:
        return kMacArabicHigh;
    default:
        return nullptr;
    }
}

} // namespace

struct PlatformTextConverter {
    const UniChar* high;
};

UniChar macRomanToUnicode(UInt8 byte) {
    return toUnicode(kMacRomanHigh, byte);
}

bool unicodeToMacRoman(UniChar unit, UInt8* byte) {
    UInt8 b = 0;
    bool ok = fromUnicode(kMacRomanHigh, unit, &b);
    if (ok && byte) *byte = b;
    return ok;
}

TextEncoding CreateTextEncoding(TextEncodingBase base, TextEncodingVariant, TextEncodingFormat) {
    // Variants and formats other than the default do not exist on this platform.
    return base;
}

static OSStatus createConverter(TextEncoding encoding, PlatformTextConverter** info) {
    if (!info) return paramErr;
    *info = nullptr;
    const UniChar* high = tableFor(encoding);
    if (!high) return kTextUnsupportedEncodingErr;
    *info = new PlatformTextConverter{high};
    return noErr;
}

OSStatus CreateTextToUnicodeInfoByEncoding(TextEncoding encoding, TextToUnicodeInfo* info) {
    return createConverter(encoding, info);
}

OSStatus CreateUnicodeToTextInfoByEncoding(TextEncoding encoding, UnicodeToTextInfo* info) {
    return createConverter(encoding, info);
}

OSStatus DisposeTextToUnicodeInfo(TextToUnicodeInfo* info) {
    if (!info) return paramErr;
    delete *info;
    *info = nullptr;
    return noErr;
}

OSStatus DisposeUnicodeToTextInfo(UnicodeToTextInfo* info) {
    return DisposeTextToUnicodeInfo(info);
}

OSStatus ConvertFromTextToUnicode(TextToUnicodeInfo info, ByteCount srcLen, const void* src,
                                  OptionBits, ByteCount outBufLen, ByteCount* srcRead,
                                  ByteCount* unicodeLen, UniChar* out) {
    if (srcRead) *srcRead = 0;
    if (unicodeLen) *unicodeLen = 0;
    if (!info || (!src && srcLen) || (!out && outBufLen)) return paramErr;
    // Both tables map every byte, so there is never an unmapped byte to fall back for.
    auto* bytes = static_cast<const UInt8*>(src);
    ByteCount room = outBufLen / 2, n = 0;
    while (n < srcLen && n < room) {
        out[n] = toUnicode(info->high, bytes[n]);
        ++n;
    }
    if (srcRead) *srcRead = n;
    if (unicodeLen) *unicodeLen = 2 * n;
    return n < srcLen ? OSStatus(kTECOutputBufferFullStatus) : OSStatus(noErr);
}

OSStatus ConvertFromUnicodeToPString(UnicodeToTextInfo info, ByteCount unicodeLen,
                                     const UniChar* unicodeStr, unsigned char* pStr) {
    if (!info || !pStr || (!unicodeStr && unicodeLen >= 2)) return paramErr;
    pStr[0] = 0;
    ByteCount units = unicodeLen / 2;
    for (ByteCount i = 0; i < units; ++i) {
        UInt8 b;
        if (!fromUnicode(info->high, unicodeStr[i], &b)) return kTECUnmappableElementErr;
        if (pStr[0] == 255) return kTECOutputBufferFullStatus;
        pStr[++pStr[0]] = b;
    }
    return noErr;
}
