// The message window and the progress window.
//
// showMessage renders a printf-style format and splits the result at carets and
// backslashes into a message, a hint and up to three button titles. It lays the window out
// so the texts fit and either runs it modally (as a window, or as a sheet on a parent) and
// returns the id of the button pressed, or, with type bit 0x200, shows it modelessly and
// hands each button press to a handler procedure. Type bits: 0x003 the number of buttons,
// 0x010 show the icon, 0x100 button 2 is the default and button 1 the cancel button,
// 0x200 modeless. Result: the button's id (0 when the icon ended the loop), the window for
// a modeless message, 0 when the interface file or window cannot be opened.
//
// The progress window shows a message, a hint, a bar, three notes and up to two buttons.
// Each call names it by its parent window, or by none for the one parent-less progress
// window, and returns the reply: the id of the last button pressed since the reply was
// cleared (by progSetMinimum or progSetMaximum), else 0. Type bits: 0x003 buttons, 0x100
// default and cancel buttons (at creation), 0x300 the computed middle note (0x100 percent,
// 0x200 value, 0x300 elapsed time).
#pragma once

#include "PlatformToolbox.h"
#include "_printf.h"

#include <array>

// The renderers: each takes an already captured argument list.
long showMessageList(WindowRef wind, long type, CFStringRef fmt, PrtfArgList adx);
long showMessageList(WindowRef wind, long type, const char* fmt, PrtfArgList adx);
long showMessageList(long type, const char* fmt, PrtfArgList adx);
long showMessageList(EventHandlerProcPtr procPtr, long type, CFStringRef fmt, PrtfArgList adx);
long showMessageList(EventHandlerProcPtr procPtr, long type, const char* fmt, PrtfArgList adx);

// With a parent window (brought to the front first) or none; the format a string object or
// Mac Roman C string.
template <class... A> long showMessage(WindowRef wind, long type, CFStringRef fmt, const A&... a) {
    auto list = prtfCapture(a...);
    return showMessageList(wind, type, fmt, prtfList(list));
}
template <class... A> long showMessage(WindowRef wind, long type, const char* fmt, const A&... a) {
    auto list = prtfCapture(a...);
    return showMessageList(wind, type, fmt, prtfList(list));
}
// Parent: the frontmost window, taken after formatting.
template <class... A> long showMessage(long type, const char* fmt, const A&... a) {
    auto list = prtfCapture(a...);
    return showMessageList(type, fmt, prtfList(list));
}
// Modeless, with a handler procedure (or none) called for each button press after the
// button's id has been stored as the reply. Returns the window (as a long).
template <class... A>
long showMessage(EventHandlerProcPtr procPtr, long type, CFStringRef fmt, const A&... a) {
    auto list = prtfCapture(a...);
    return showMessageList(procPtr, type, fmt, prtfList(list));
}
template <class... A>
long showMessage(EventHandlerProcPtr procPtr, long type, const char* fmt, const A&... a) {
    auto list = prtfCapture(a...);
    return showMessageList(procPtr, type, fmt, prtfList(list));
}

// Builds, lays out and shows the window; takes ownership of the message, hint and titles.
long _showMessage(WindowRef parWind, long type, CFStringRef inMessage, CFStringRef inHint,
                  CFStringRef* buttons);
// Splits the first 2000 units of ref into cfParts (16 slots); the number of separators + 1.
short getCFStringParts(const CFStringRef ref, CFStringRef* cfParts);
// Splits a zero-terminated 16-bit text; empty parts leave their slot null.
short getCStringParts(unsigned short* umsg, CFStringRef* cfParts);

// Button and icon handlers of the message window (also used for the progress buttons).
OSStatus messageButtonHandler(EventHandlerCallRef inCallRef, EventRef inEvent, void* inUserData);
OSStatus messageIconHandler(EventHandlerCallRef inCallRef, EventRef inEvent, void* inUserData);

// Measures (with a height output) or draws a text in a rectangle with a theme font;
// -50 for a missing text or rectangle, else the theme's status.
short drawCFstring(CFStringRef ref, Rect* rect, short font, short just, Boolean erase,
                   short* height);

// The progress record. Values and ticks are 32-bit and their arithmetic wraps as 32-bit
// arithmetic does; the two references are as wide as pointers are.
struct ProgParms {
    WindowRef wind; // none once the parent-less window is closed
    SInt32 type;
    SInt32 minVal;   // value at which the bar starts
    SInt32 curVal;   // current value, counted from minVal
    SInt32 maxVal;   // maximum, counted from minVal
    UInt32 minTime;  // time base in ticks
    UInt32 curTime;  // ticks from minTime to the time last reported
    UInt32 maxTime;  // time budget in ticks
    CFStringRef cmd; // format of the middle note ("%p" stands for the note); none = "%p".
                     // The record holds a reference of its own.
};
using ProgParmsPtr = ProgParms*;

// Opens the progress window (a sheet on parWind, or the parent-less window); null when the
// interface file cannot be opened. The texts stay the caller's; buttons is ignored.
WindowRef progMessage(WindowRef parWind, long type, CFStringRef inMessage, CFStringRef inHint,
                      CFStringRef* buttons);
void progClose(WindowRef parWind);
// Reads the reply before letting events run, so a press shows one call later.
long progSetMsgHint(WindowRef parWind, long type, CFStringRef inMessage, CFStringRef inHint);
long progSetNotes(WindowRef parWind, long type, CFStringRef leftNote, CFStringRef middleNote,
                  CFStringRef rightNote);
long progSetMinimum(WindowRef parWind, unsigned long value, unsigned long valtime); // 0
long progSetValue(WindowRef parWind, unsigned long value, unsigned long valtime);
long progSetMaximum(WindowRef parWind, unsigned long value, unsigned long valtime); // 0
// Recomputes the middle note.
void updateNote(ProgParms* parms);
// The alternative button handler (not installed by progMessage).
OSStatus progButtonHandler(EventHandlerCallRef inCallRef, EventRef inEvent, void* inUserData);
// The record of a progress window (null parent: the static record), or null.
ProgParms* progParmsFor(WindowRef parWind);
