// The format engine behind every printf-style text of the application, its front ends and
// the parameter texts that formats pull in with '^4' to '^9'.
//
// Formats are written in the engine's own directive set (lower-case integer letters take
// 16 bits, upper-case ones 32 bits; "%C" four-character codes, "%p" Pascal strings, "%@"
// string objects, "%E" status codes, "%R" rectangles, "%F" FSSpec records, "%SP" paths,
// "%M" memory, and so on). The front ends are templates that capture their arguments into a
// typed list, so the engine never reads an argument that was not passed: a directive whose
// argument is missing writes nothing, one whose argument is of an unusable kind writes
// nothing and consumes it, and a letter the engine does not know consumes nothing. A line of
// the download tool's output can therefore safely be used as a format.
#pragma once

#include "PlatformStrings.h"

#include <array>
#include <cstddef>
#include <string>
#include <type_traits>

// ---------------------------------------------------------------------------------------
// The typed argument list

enum class PrtfKind : UInt8 {
    integer,    // any integer, bool or enum value
    nullPtr,    // nullptr
    cString,    // char*
    bytes,      // unsigned char* / signed char*: a Pascal string or plain bytes
    uniCString, // unsigned short*: a zero-terminated 16-bit string
    hfsUniStr,  // HFSUniStr255*
    string,     // CFStringRef
    rect,       // Rect*
    fsSpec,     // FSSpec*
    fsRef,      // FSRef*
    pointer,    // a pointer to anything else
    other,      // a value of no kind the engine reads (floating point, records, ...)
};

struct PrtfArg {
    PrtfKind kind = PrtfKind::other;
    SInt64 value = 0;          // integer
    const void* ptr = nullptr; // pointer kinds
    std::size_t size = 0;      // bytes known to be readable at ptr (arrays), 0 = unknown
};

// The position of the next unread argument and how many remain.
struct PrtfArgList {
    const PrtfArg* next = nullptr;
    std::size_t count = 0;
};

template <class P> PrtfArg prtfPointerArg(P* p, std::size_t size) {
    using T = std::remove_cv_t<P>;
    PrtfArg a;
    a.ptr = static_cast<const void*>(p);
    a.size = size;
    if constexpr (std::is_same_v<T, char>)
        a.kind = PrtfKind::cString;
    else if constexpr (std::is_same_v<T, unsigned char> || std::is_same_v<T, signed char>)
        a.kind = PrtfKind::bytes;
    else if constexpr (std::is_same_v<T, unsigned short>)
        a.kind = PrtfKind::uniCString;
    else if constexpr (std::is_same_v<T, HFSUniStr255>)
        a.kind = PrtfKind::hfsUniStr;
    else if constexpr (std::is_same_v<T, PlatformString>)
        a.kind = PrtfKind::string;
    else if constexpr (std::is_same_v<T, Rect>)
        a.kind = PrtfKind::rect;
    else if constexpr (std::is_same_v<T, FSSpec>)
        a.kind = PrtfKind::fsSpec;
    else if constexpr (std::is_same_v<T, FSRef>)
        a.kind = PrtfKind::fsRef;
    else
        a.kind = PrtfKind::pointer;
    return a;
}

// One argument as the engine sees it. Arrays keep their size, so reading directives never
// run past them.
template <class T> PrtfArg prtfArg(const T& v) {
    using D = std::remove_cvref_t<T>;
    if constexpr (std::is_integral_v<D> || std::is_enum_v<D>) {
        PrtfArg a;
        a.kind = PrtfKind::integer;
        a.value = SInt64(v);
        return a;
    } else if constexpr (std::is_null_pointer_v<D>) {
        PrtfArg a;
        a.kind = PrtfKind::nullPtr;
        return a;
    } else if constexpr (std::is_array_v<D>) {
        return prtfPointerArg(&v[0], sizeof(D));
    } else if constexpr (std::is_pointer_v<D>) {
        if constexpr (std::is_function_v<std::remove_pointer_t<D>>)
            return PrtfArg{};
        else
            return prtfPointerArg(v, 0);
    } else if constexpr (std::is_same_v<D, std::string>) {
        return prtfPointerArg(v.c_str(), v.size() + 1);
    } else {
        return PrtfArg{};
    }
}

// Captures a call's arguments; keep the array alive while the list is used.
template <class... A> std::array<PrtfArg, sizeof...(A)> prtfCapture(const A&... args) {
    return {prtfArg(args)...};
}

template <std::size_t N> PrtfArgList prtfList(const std::array<PrtfArg, N>& args) {
    return {args.data(), N};
}

// ---------------------------------------------------------------------------------------
// The engine

// A new string object (the caller releases it) from the format `cffmt` and the arguments
// from `adx` on. Never null: a null format gives an empty result. Only the first 1023 units
// of a format are read and the result holds at most 2048 units.
CFStringRef _prtfu(CFStringRef cffmt, PrtfArgList adx);

// Writes `n` at prtfp in radix |rdx| (a negative rdx means signed), `padn` wide padded with
// `padc` in front of the sign, or with padc ',' grouped in groups whose rightmost has padn
// digits, behind an optional `prefix` character. Returns the position behind what it wrote,
// which is at most max(padn, 1) + 86 units (64 digits, 21 separators and a sign).
unsigned short* _prtnu(unsigned short* prtfp, SInt64 n, short rdx, short padn, short padc,
                       short prefix);

// ---------------------------------------------------------------------------------------
// Front ends. The buffer forms cut their result to the room given (Pascal 255 bytes, C
// string 1999 bytes, 16-bit forms 1999 units); text Mac Roman cannot hold becomes '?' in
// the byte forms. A string-list format `istr` that does not exist gives an empty result.

// Workers behind the templates, for callers that already hold an argument list.
int _pprintfList(unsigned char* buff, CFStringRef fmt, PrtfArgList adx);
int _pprintfList(unsigned short* buff, CFStringRef fmt, PrtfArgList adx);
int _sprintfList(char* buff, CFStringRef fmt, PrtfArgList adx);
int _sprintfList(unsigned short* buff, CFStringRef fmt, PrtfArgList adx);
// The format of each non-object form as a string object (never null).
CFStringRef prtfFormat(const char* fmt);
CFStringRef prtfFormat(short istr);
CFStringRef prtfFormat(const unsigned short* fmt);

namespace prtfDetail {
template <class Buff, class Fmt, class... A> int pprintf(Buff* buff, Fmt fmt, const A&... args) {
    auto list = prtfCapture(args...);
    CFStringRef f = prtfFormat(fmt);
    int n = _pprintfList(buff, f, prtfList(list));
    CFRelease(f);
    return n;
}
template <class Buff, class Fmt, class... A> int sprintf(Buff* buff, Fmt fmt, const A&... args) {
    auto list = prtfCapture(args...);
    CFStringRef f = prtfFormat(fmt);
    int n = _sprintfList(buff, f, prtfList(list));
    CFRelease(f);
    return n;
}
} // namespace prtfDetail

// Pascal string in buff (256 bytes): returns its length, at most 255.
template <class... A> int _pprintf(unsigned char* buff, const char* fmt, const A&... args) {
    return prtfDetail::pprintf(buff, fmt, args...);
}
template <class... A> int _pprintf(unsigned char* buff, short istr, const A&... args) {
    return prtfDetail::pprintf(buff, istr, args...);
}

// Counted 16-bit string in buff (2001 units): returns the count, at most 1999.
template <class... A> int _pprintf(unsigned short* buff, short istr, const A&... args) {
    return prtfDetail::pprintf(buff, istr, args...);
}
template <class... A> int _pprintf(unsigned short* buff, const char* fmt, const A&... args) {
    return prtfDetail::pprintf(buff, fmt, args...);
}
template <class... A>
int _pprintf(unsigned short* buff, const unsigned short* fmt, const A&... args) {
    return prtfDetail::pprintf(buff, fmt, args...);
}
template <class... A> int _pprintf(unsigned short* buff, CFStringRef fmt, const A&... args) {
    auto list = prtfCapture(args...);
    return _pprintfList(buff, fmt, prtfList(list));
}

// C string in buff (2000 bytes): returns its length, at most 1999.
template <class... A> int _sprintf(char* buff, short istr, const A&... args) {
    return prtfDetail::sprintf(buff, istr, args...);
}
template <class... A> int _sprintf(char* buff, const char* fmt, const A&... args) {
    return prtfDetail::sprintf(buff, fmt, args...);
}

// Zero-terminated 16-bit string in buff (2000 units): returns the units before the zero.
template <class... A> int _sprintf(unsigned short* buff, short istr, const A&... args) {
    return prtfDetail::sprintf(buff, istr, args...);
}
template <class... A> int _sprintf(unsigned short* buff, const char* fmt, const A&... args) {
    return prtfDetail::sprintf(buff, fmt, args...);
}
template <class... A>
int _sprintf(unsigned short* buff, const unsigned short* fmt, const A&... args) {
    return prtfDetail::sprintf(buff, fmt, args...);
}
template <class... A> int _sprintf(unsigned short* buff, CFStringRef fmt, const A&... args) {
    auto list = prtfCapture(args...);
    return _sprintfList(buff, fmt, prtfList(list));
}

// New string objects, released by the caller.
template <class... A> CFStringRef _cfprintf(const char* fmt, const A&... args) {
    auto list = prtfCapture(args...);
    CFStringRef f = prtfFormat(fmt);
    CFStringRef s = _prtfu(f, prtfList(list));
    CFRelease(f);
    return s;
}
template <class... A> CFStringRef _cfprintf(CFStringRef fmt, const A&... args) {
    auto list = prtfCapture(args...);
    return _prtfu(fmt, prtfList(list));
}
// A mutable result whose length may not exceed `capacity` units (0 = no maximum). Null only
// for a negative capacity.
CFMutableStringRef _cfprintfList(long capacity, CFStringRef fmt, PrtfArgList adx);
template <class Cap, class... A>
requires std::is_integral_v<Cap> CFMutableStringRef _cfprintf(Cap capacity, CFStringRef fmt,
                                                              const A&... args) {
    auto list = prtfCapture(args...);
    return _cfprintfList(long(capacity), fmt, prtfList(list));
}

// The C-string result of a format with an argument list the caller already holds; returns
// the position of the zero byte in buff (2000 bytes), so that the caller can append behind it.
char* _prtf(char* buff, const char* fmt, PrtfArgList adx);

// The trace call: does nothing in this build and never looks at its arguments.
template <class... A> int _printf(const char*, const A&...) {
    return 0;
}

// ---------------------------------------------------------------------------------------
// Parameter texts 0 to 9. The escapes '^4' to '^9' read slots 4 to 9; '^0' to '^3' read the
// platform's dialog parameter texts (ParamText) instead. An idx outside 0 to 9 is ignored
// and msg left untouched.

void setParamText(short idx, const unsigned char* msg); // Pascal text, current encoding
void setParamText(short idx, HFSUniStr255* msg);
void getParamText(short idx, unsigned char* msg); // an unset slot gives the empty string
void getParamText(short idx, HFSUniStr255* msg);  // an unset slot gives length 0 only

// ---------------------------------------------------------------------------------------
// Debug console (declared by its own module, _printfConsole.cpp).
//
// A window with a read-only scrolling text meant for trace messages, with menus to save,
// print and copy them. Bit 0x80 of openConsole's flags opens the window; without it only the
// system version and the header text are recorded. The toolkit pieces are the platform's
// (PlatformConsole.h); the types are repeated here so this header needs no toolkit.

struct ConsoleWindowRecord;
using ConsoleWindowRef = ConsoleWindowRecord*;
struct TXNObjectRecord;
using TXNObject = TXNObjectRecord*;
struct EventRecord;
struct NavCBRec;

extern ConsoleWindowRef dbDlog; // the console window, null until opened
extern TXNObject dbMLTE;        // its text object, null without a window
extern long _MacOSversion;      // Gestalt 'sysv', 0 when the query fails
extern char _hdrConsole[32];    // the header text, at most 31 characters
extern UInt64 baseTimeUS;       // time base of the console, 0 when the window opens

// With flag 0x80 the first two arguments are the window title (Pascal string or null:
// "Message Window") and its bounds (Rect*, null: 50,10,650,710), adjusted in place to the
// screen; the arguments after them (all of them without 0x80) go to the header format.
void openConsoleList(short flags, const char* fmt, PrtfArgList adx);
template <class... A> void openConsole(short flags, const char* fmt, const A&... args) {
    auto list = prtfCapture(args...);
    openConsoleList(flags, fmt, prtfList(list));
}
// Creates the text object in the window (rect null: the whole window) into dbMLTE.
void _initMLTE(ConsoleWindowRef wind, Rect* rect);
// Idle time for the text object; the window's own mouse and key handling is the toolkit's.
void idleConsole(EventRecord* event);
// Menu 131: 1 save, 3 page set-up, 4 print; menu 132: 1 cut, 2 copy, 3 paste, 5 select all.
void menuConsole(short menu, short item);
// paramErr (-50) for a null object, userCanceledErr (-128) when the dialog is cancelled,
// else the save status.
OSErr _dbSave(TXNObject object);
// The save dialog; the chosen file into *spec. userCanceledErr when cancelled.
OSErr _navPutFile(const unsigned char* prompt, const unsigned char* defaultName, FSSpec* spec);
// The save dialog's callback: does nothing.
void _navEvtProc(long callBackSelector, NavCBRec* callBackParms, void* callBackUD);
