// The platform's string services: the immutable reference-counted UTF-16 string object and
// its mutable variant, conversions between it and byte text (Mac Roman, UTF-8), the text
// encoding converters, the four dialog parameter texts, the numbered string lists of the
// bundle, and the text font of the drawing port.
//
// Ownership follows one rule: every Create/Copy function returns a new object with one
// reference, owned by the caller and released with CFRelease (PlatformTypes.h). Objects
// given as arguments stay the caller's. Nothing here throws; failures are null results,
// false, or negative status codes as stated per function.
#pragma once

#include "PlatformTypes.h"

#include <string>
#include <string_view>

// ---------------------------------------------------------------------------------------
// String objects

// The object behind CFStringRef. Module code only ever holds the pointer; the platform
// layer may read `units` directly (see platformStringUnits below).
struct PlatformString : PlatformObject {
    std::u16string units;
    CFIndex capacity = 0; // mutable copies: maximum length in units, 0 = no maximum
};

using CFStringRef = const PlatformString*;
using CFMutableStringRef = PlatformString*;

using CFAllocatorRef = const void*;
using CFStringEncoding = UInt32;
using ConstStr255Param = const unsigned char*;

// Allocators are accepted for the shape of the calls and otherwise ignored, except that
// kCFAllocatorNull as contents deallocator means "never free the caller's bytes" (which is
// what this layer does in every case: it always copies).
inline constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;
extern const CFAllocatorRef kCFAllocatorNull;

enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingUTF8 = 0x08000100,
};

struct CFRange {
    CFIndex location;
    CFIndex length;
};
constexpr CFRange CFRangeMake(CFIndex location, CFIndex length) {
    return {location, length};
}

// New string of `numChars` units copied from `chars`. Null when numChars is negative, or
// when chars is null and numChars is not 0.
CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars,
                                         CFIndex numChars);

// New string from a zero-terminated byte string in `encoding` (Mac Roman or UTF-8). Null for
// a null pointer, an unknown encoding, or bytes that are not valid UTF-8.
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                      CFStringEncoding encoding);

// New string from a Pascal string (length byte, then the bytes) in `encoding`. Null as for
// CFStringCreateWithCString.
CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr,
                                           CFStringEncoding encoding);

// As CFStringCreateWithPascalString. The caller's bytes are never taken over or freed,
// whatever `contentsDeallocator` says: the text is copied.
CFStringRef CFStringCreateWithPascalStringNoCopy(CFAllocatorRef alloc, ConstStr255Param pStr,
                                                 CFStringEncoding encoding,
                                                 CFAllocatorRef contentsDeallocator);

// Length in UTF-16 units; 0 for null.
CFIndex CFStringGetLength(CFStringRef str);

// Copies the units of `range` into `buffer`. The range is clipped to the string, so a range
// reaching past the end copies only what exists; nothing is written for null arguments.
void CFStringGetCharacters(CFStringRef str, CFRange range, UniChar* buffer);

// Writes the text as zero-terminated bytes in `encoding` into `buffer` of `bufferSize` bytes.
// True when the whole text fitted and every character could be represented. On false the
// buffer still holds a usable zero-terminated prefix (whole characters only, '?' for each
// character the encoding cannot hold), unless bufferSize is below 1 or buffer is null.
Boolean CFStringGetCString(CFStringRef str, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);

// Writes the text as a Pascal string (at most min(255, bufferSize - 1) bytes) in `encoding`.
// True and false as for CFStringGetCString; on false the buffer holds the usable prefix.
// Writes no zero byte behind the text.
Boolean CFStringGetPascalString(CFStringRef str, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding);

// New mutable copy of `str` whose length may not exceed `maxLength` units (0 = no maximum).
// A longer text is cut at maxLength (never inside a surrogate pair). Null for a null string
// or a negative maxLength.
CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength,
                                             CFStringRef str);

// A constant string for a literal (UTF-8 source text). The same text always gives the same
// object; it lives for the whole process and CFRetain/CFRelease on it are harmless.
CFStringRef CFSTR(const char* utf8Literal);

// For the platform layer (not for module code): direct access and UTF-8 round trips.
std::u16string_view platformStringUnits(CFStringRef str); // empty view for null
CFStringRef platformStringCreate(std::u16string_view units);
CFStringRef platformStringCreateUTF8(std::string_view utf8); // invalid bytes become U+FFFD
std::string platformStringUTF8(CFStringRef str);             // "" for null

// ---------------------------------------------------------------------------------------
// Mac Roman, from the published Mac OS Roman mapping (0xDB is the euro sign, 0xC6 U+2206,
// 0xF0 U+F8FF). Bytes below 0x80 are ASCII.

UniChar macRomanToUnicode(UInt8 byte);
// The Mac Roman byte of a unit; false when Mac Roman has no byte for it.
bool unicodeToMacRoman(UniChar unit, UInt8* byte);

// ---------------------------------------------------------------------------------------
// Text encoding converters. This platform converts Mac Roman (encoding 0) and Mac Arabic
// (encoding 4) both ways, from the published tables. It has no converter for Mac Japanese
// (encoding 1) or any other encoding: creating one fails with kTextUnsupportedEncodingErr.

using TextEncodingBase = UInt32;
using TextEncodingVariant = UInt32;
using TextEncodingFormat = UInt32;
using OptionBits = UInt32;

enum : TextEncodingBase {
    kTextEncodingMacRoman = 0,
    kTextEncodingMacJapanese = 1,
    kTextEncodingMacArabic = 4,
};
enum : UInt32 {
    kTextEncodingDefaultVariant = 0,
    kTextEncodingDefaultFormat = 0,
};
enum : OptionBits {
    // Characters without a mapping become a fallback instead of failing the conversion.
    kUnicodeUseFallbacksMask = 1u << 0,
};
enum : OSStatus {
    kTextUnsupportedEncodingErr = -8738,
    kTECUnmappableElementErr = -8750,
    kTECOutputBufferFullStatus = -8785,
};

struct PlatformTextConverter;
using TextToUnicodeInfo = PlatformTextConverter*;
using UnicodeToTextInfo = PlatformTextConverter*;

TextEncoding CreateTextEncoding(TextEncodingBase base, TextEncodingVariant variant,
                                TextEncodingFormat format);

// Converter from bytes in `encoding` to UTF-16. kTextUnsupportedEncodingErr (info set to
// null) for an encoding this platform cannot convert, paramErr for a null `info`.
OSStatus CreateTextToUnicodeInfoByEncoding(TextEncoding encoding, TextToUnicodeInfo* info);
OSStatus DisposeTextToUnicodeInfo(TextToUnicodeInfo* info); // sets *info to null

// Converts `srcLen` bytes into at most `outBufLen` bytes of UTF-16 units. Reports the bytes
// read and the bytes written. With kUnicodeUseFallbacksMask an unmapped byte becomes U+FFFD
// and the result is kTECUsedFallbacksStatus; without it the conversion stops there with
// kTECUnmappableElementErr. kTECOutputBufferFullStatus when the output ran out first;
// paramErr for null arguments.
OSStatus ConvertFromTextToUnicode(TextToUnicodeInfo info, ByteCount srcLen, const void* src,
                                  OptionBits controlFlags, ByteCount outBufLen, ByteCount* srcRead,
                                  ByteCount* unicodeLen, UniChar* out);

// Converter from UTF-16 to bytes in `encoding`; errors as CreateTextToUnicodeInfoByEncoding.
OSStatus CreateUnicodeToTextInfoByEncoding(TextEncoding encoding, UnicodeToTextInfo* info);
OSStatus DisposeUnicodeToTextInfo(UnicodeToTextInfo* info);

// Converts `unicodeLen` bytes (two per unit) of UTF-16 into a Pascal string. 0 on success;
// kTECUnmappableElementErr when a character has no byte in the encoding, and
// kTECOutputBufferFullStatus when more than 255 bytes would result (pStr then holds what was
// converted so far); paramErr for null arguments.
OSStatus ConvertFromUnicodeToPString(UnicodeToTextInfo info, ByteCount unicodeLen,
                                     const UniChar* unicodeStr, unsigned char* pStr);

// ---------------------------------------------------------------------------------------
// The four dialog parameter texts, which message texts pull in with "^0" to "^3".

// Sets all four texts; a null argument leaves that text as it was.
void ParamText(ConstStr255Param p0, ConstStr255Param p1, ConstStr255Param p2, ConstStr255Param p3);
// Copies each requested text (null arguments are skipped); an unset text is empty.
void GetParamText(StringPtr p0, StringPtr p1, StringPtr p2, StringPtr p3);

// ---------------------------------------------------------------------------------------
// Numbered string lists: the file StringLists.txt in the main bundle's Resources folder,
// read on first use and kept. Its format:
//
//   # comment lines and blank lines are ignored
//   [128]              starts string list 128
//   first text         text 1 of that list, taken literally to the end of the line
//   \                  a line of a single backslash is an empty text (keeps the numbering)
//
// Texts are UTF-8 and are stored as Mac Roman (at most 255 bytes each).

// Text number `index` (from 1) of string list `listID` as a Pascal string in `str` (256
// bytes); an empty string when the list, the text or the file is missing.
void GetIndString(StringPtr str, SInt16 listID, SInt16 index);

// Tests: read the string lists from `path` instead ("" goes back to the bundle's file).
// The next GetIndString reads the file again.
void setStringListPathForTesting(const std::string& path);

// ---------------------------------------------------------------------------------------
// The drawing port, as far as text conversion needs it: its text font. This platform has
// no QuickDraw ports; every port reports font 0, so byte text is always read as Mac Roman.

struct PlatformGrafPort;
using GrafPtr = PlatformGrafPort*;
using CGrafPtr = PlatformGrafPort*;

void GetPort(GrafPtr* port);
SInt16 GetPortTextFont(CGrafPtr port);
