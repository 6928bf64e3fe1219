// String conversions between the application's text forms: Pascal strings and C strings in
// Mac Roman, counted (HFSUniStr255) and zero-terminated 16-bit strings, and string objects;
// a 16-bit string length; the splitter of message texts at '\' and '^'; and the numbered
// texts of the string lists. Byte text is read in the encoding of the drawing port's font
// (always Mac Roman on this platform) where an operation says "current encoding".
#pragma once

#include "PlatformStrings.h"

// Copies the units of `fmt` into `unicode` (room for `maxchrs` units, terminator included)
// and terminates them; a longer string is cut to maxchrs - 1 units. Returns the units
// copied; 0 (nothing written) for a null destination or a maxchrs below 1.
int _CFStringToUniStr(CFStringRef fmt, long maxchrs, unsigned short* unicode);

// Unicode to a Pascal string (256 bytes) through the Mac Arabic converter, whose ASCII and
// accented Latin letters have the same bytes as in Mac Roman. paramErr for a null `pstr`;
// a null `ustr` gives the empty string and 0. A character the converter cannot hold, or a
// text of more than 255 bytes, leaves "Error" in pstr and returns the converter's status.
OSErr _UniStrToPStr(HFSUniStr255* ustr, unsigned char* pstr);
OSErr _UniStrToPStr(unsigned short* ustr, unsigned char* pstr);

// Zero-terminated 16-bit text to a Mac Roman C string in `cstr` (2048 bytes). paramErr when
// either pointer is null or the string object cannot be made; otherwise 0, even when the
// text had to be cut at 2047 bytes or had characters Mac Roman lacks (those become '?').
OSErr _UniStrToCStr(unsigned short* ustr, char* cstr);

// `_textToUniStr` over the whole of a C string.
ByteCount _cStrToUniStr(const char* text, unsigned short* ustr);

// A Mac Roman Pascal string to at most `length` units (0 = no maximum) in `ustr`, without a
// terminator. Returns the units written; 0 for null pointers.
int _pStrToUniStr(const unsigned char* pstr, unsigned short* ustr, long length);

// A Pascal string in the current encoding to `ustr`; a terminator follows the units only
// when there are fewer than 255. Always returns 0 (nothing is written for null pointers).
OSErr _pStrToUniStr(const unsigned char* pstr, HFSUniStr255* ustr);

// `len` bytes of text in the current encoding to units in `ustr` (room for len + 1 units),
// terminated. Returns the bytes written (two per unit, terminator not counted); 0 when either
// pointer is null or len is not positive. Never fails: without a converter each byte becomes
// the unit of the same value.
ByteCount _textToUniStr(const char* text, long len, unsigned short* ustr);

// Cuts a text at '\' and '^' into its non-empty parts, each a new string object owned by the
// caller. `part` 0 stores every part in order; `part` k stores only the k-th one, in
// cfParts[0]. Returns the objects stored; 0 (and cfParts[0] null) when there are none, and 0
// for null pointers. The string-object form reads at most the first 999 units of its text.
short getStringParts(CFStringRef cfmsg, short part, CFStringRef* cfParts);
short getStringParts(unsigned short* umsg, short part, CFStringRef* cfParts);

// Units before the first zero unit, at most 65535; 0 for null.
unsigned short strlen(const unsigned short* ucode);

// Text `id % 100` of string list `128 + id / 100` into `str` (256 bytes), followed by a zero
// byte when shorter than 255. False (and the empty string) when there is no such text or it
// is empty.
Boolean _GetIndString(unsigned char* str, short id);
