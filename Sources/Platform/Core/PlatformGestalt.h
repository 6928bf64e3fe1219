// Facts about the system the program runs on, asked by selector.
#pragma once

#include "PlatformTypes.h"

constexpr OSType gestaltSystemVersion = fourCC("sysv");
constexpr OSErr gestaltUndefSelectorErr = -5551;

// 'sysv': the operating system's version as 0xMMmb: MM the major number in binary-coded
// decimal (at most 99), m the minor and b the patch number, each cut to 9 (Linux 6.1.55
// gives 0x0619). gestaltUndefSelectorErr for any other selector or when the version cannot be
// read; paramErr for a null response. *response is left untouched on failure.
OSErr Gestalt(OSType selector, SInt32* response);
