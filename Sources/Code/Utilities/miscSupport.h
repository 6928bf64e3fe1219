// Clocks, delays and the calls that keep the user interface alive while the main thread works:
// runEventLoop (a pump of pending events, at most once every 2 ticks) and idleTicks (let some
// ticks pass while yielding, then throw away the mouse and key input made meanwhile). Also a
// few small helpers: a key-or-click wait, the modifier keys, port colours, a memory copy, a
// number parser and a one-shot timer. Main thread only; none of these report errors.
//
// Ticks are 1/60 s, 32-bit, compared without handling the wrap at 2^32.
#pragma once

#include "PlatformEvents.h"
#include "PlatformStrings.h"
#include "PlatformTypes.h"

// The platform tick count, unchanged.
unsigned long getTicks();
// Local date-time: seconds since 1 January 1904.
unsigned long getTime();

// Pumps pending events once (sleep 0), unless the last pump ended less than 2 ticks ago; the
// first call always pumps. Whatever event the pump returns is dropped.
void runEventLoop();

// Lets `ticks` ticks pass in passes of a yield of ticks/20 (at least 1) ticks and a wait of
// as many, then discards pending mouse and key input; 0 or less makes no pass but still
// discards the input.
void idleTicks(long ticks);

// Waits `ticks` ticks without handling events; 0 or less returns at once. Up to 7 ticks the
// wait goes through delayMS (ticks × 17 ms), which comes to the same count of ticks.
void delayTicks(long ticks);

// Waits miliseconds / 16 whole ticks (truncated): below 16 ms returns at once, 1000 ms
// waits 62 ticks. The waits sleep between clock reads rather than spin.
void delayMS(long miliseconds);

// Microseconds since start-up; milliseconds since start-up rounded to the nearest.
UInt64 getMicroseconds();
UInt64 getMiliseconds();
// Waits `microseconds` (0 or less: returns at once).
void delayUS(long microseconds);

// Waits for a key or a click: the character code of a key-down or repeat (7 bits), -128 for
// a mouse click, 0 when nothing came within timeoutMS milliseconds. The event is taken.
signed char getChar(long timeoutMS);

// The current modifier bits ANDed with `mask` (0 means all bits).
short getModifiers(unsigned short mask);

// The current drawing port.
GrafPtr getPort();
CGrafPtr getCPort();

// The current port's background and foreground colours; one value sets a grey level. Each
// component is taken as its 16-bit pattern, so -1 is full intensity.
void backColor(short val);
void backColor(short red, short green, short blue);
void foreColor(short val);
void foreColor(short red, short green, short blue);

// Copies `count` bytes (overlap allowed); 0 or less copies nothing.
void copy(void* to, const void* from, long count);

// Parses a Pascal string: decimal digits, or hexadecimal after a leading "0x"; a '-' anywhere
// negates. Leading non-digits are skipped, the first non-digit after a digit ends the scan.
// 0 for an empty string or one without digits (and for null).
long strToNum(const unsigned char* str);

// Calls `callback` once, `seconds` from now, on the calling thread's event loop.
void scheduleEventLoop(CFRunLoopTimerCallBack callback, long seconds);

// ---------------------------------------------------------------------------------------
// Privileged tool launch (miscSupportAuth.cpp).

#include <cstdio>

// Writes the POSIX path of `toolName` in the bundle's resources folder (of the folder itself
// for a null name) into `path` (1024 bytes) and returns true when the current user may
// execute it. The path is written even when the file is missing or not executable. False
// when there is no bundle or resources folder, the path does not fit, or the name leads out
// of the resources folder (an absolute name or a ".." component: the tool would run as root).
bool pathForTool(CFStringRef toolName, char* path);

// Starts the tool `toolName` of the resources folder with administrator rights and the
// arguments `parms` (null-terminated; null for none); with `pipe` not null, stores there a
// stream connected to the tool's standard input and output, which the caller closes. Without
// a tool, only asks for the rights. One authorization serves the whole run (PlatformAuth.h
// says how that maps onto the system's policy). Returns 0 on success (and when a call
// without a tool has obtained the rights), else the platform's status: the user's refusal or
// cancellation, or -60031 for a tool that cannot be executed.
OSStatus askPassword(CFStringRef toolName, char** parms, FILE** pipe);
