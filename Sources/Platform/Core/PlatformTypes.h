// The basic types that the application's modules are written in: fixed-width integers,
// status codes, four-character codes, the classic string and file records, and the
// reference-counted object that every string, array, URL and bundle object derives from.
// Widths are fixed where the system relies on 16 or 32 bits: `long` is 64-bit on Linux.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

using UInt8 = std::uint8_t;
using SInt8 = std::int8_t;
using UInt16 = std::uint16_t;
using SInt16 = std::int16_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using UInt64 = std::uint64_t;
using SInt64 = std::int64_t;

using Boolean = unsigned char;
using OSErr = SInt16;
using OSStatus = SInt32;
using OSType = UInt32;
using FourCharCode = UInt32;
using UniChar = UInt16;
using ByteCount = unsigned long;
using CFIndex = long;
using TextEncoding = UInt32;
using MenuID = SInt16;
using MenuItemIndex = UInt16;
using MenuCommand = UInt32;
using EventMask = UInt16;

using Str255 = unsigned char[256];
using Str63 = unsigned char[64];
using StringPtr = unsigned char*;
using ConstStringPtr = const unsigned char*;

// Status codes the modules name.
enum : OSStatus {
    noErr = 0,
    dupFNErr = -48,
    paramErr = -50,
    fnfErr = -43,
    ioErr = -36,
    memFullErr = -108,
    userCanceledErr = -128,
    permErr = -54,
    kTECUsedFallbacksStatus = -8783,
    eventNotHandledErr = -9874,
    errAuthorizationCanceled = -60006,
    errAuthorizationDenied = -60005,
    errAuthorizationToolExecuteFailure = -60031,
};

// Four-character code with the first character in the most significant byte.
constexpr OSType fourCC(const char (&s)[5]) {
    return (OSType(UInt8(s[0])) << 24) | (OSType(UInt8(s[1])) << 16) |
           (OSType(UInt8(s[2])) << 8) | OSType(UInt8(s[3]));
}

struct HFSUniStr255 {
    UInt16 length;
    UniChar unicode[255];
};
static_assert(sizeof(HFSUniStr255) == 512);

struct Rect {
    SInt16 top;
    SInt16 left;
    SInt16 bottom;
    SInt16 right;
};

struct Point {
    SInt16 v;
    SInt16 h;
};

// An FSSpec: volume, parent folder id and a Mac Roman name of at most 63 characters.
struct FSSpec {
    SInt16 vRefNum;
    SInt32 parID;
    Str63 name;
};

// An opaque reference to a file-system object that exists (80 bytes, as the format engine's
// "%SP"/"%SF" directives and the catalog calls expect). Its contents are the file layer's.
struct FSRef {
    UInt8 hidden[80];
};
static_assert(sizeof(FSRef) == 80);

// Reference-counted object base. Strings, arrays, URLs and bundles derive from it; a newly
// made object has one reference, owned by whoever received it.
struct PlatformObject {
    mutable std::atomic<int> refs{1};
    virtual ~PlatformObject() = default;
};

using CFTypeRef = const void*;

// Takes one more reference; returns its argument (null stays null).
CFTypeRef CFRetain(CFTypeRef object);
// Drops one reference and destroys the object with the last one; null is ignored.
void CFRelease(CFTypeRef object);
