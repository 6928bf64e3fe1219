// The classic event pump over the toolkit's event loop, the run-loop timer, the drawing
// port's colours, and the open and save file dialogs.
//
// Input events (mouse presses and releases, key presses, repeats and releases) are copied
// into a small queue of classic event records by a filter on the application object; the
// toolkit still delivers them to its windows as usual. The filter is installed when the
// application object is made, or at the latest by the first call of an event function here.
// Everything here runs on the main thread; called elsewhere (or before the application
// exists) the pump only sleeps and the queue calls only see the queue.
#pragma once

#include "PlatformClock.h"
#include "PlatformFiles.h"
#include "PlatformStrings.h"
#include "PlatformTypes.h"

#include <string>

using EventKind = UInt16;
using EventModifiers = UInt16;

enum : EventKind {
    nullEvent = 0,
    mouseDown = 1,
    mouseUp = 2,
    keyDown = 3,
    keyUp = 4,
    autoKey = 5,
};

enum : EventMask {
    mDownMask = 1 << mouseDown,
    mUpMask = 1 << mouseUp,
    keyDownMask = 1 << keyDown,
    keyUpMask = 1 << keyUp,
    autoKeyMask = 1 << autoKey,
    everyEvent = 0xFFFF,
};

// Modifier bits. btnState is set while no mouse button is held down.
enum : EventModifiers {
    btnState = 0x0080,
    cmdKey = 0x0100,
    shiftKey = 0x0200,
    alphaLock = 0x0400,
    optionKey = 0x0800,
    controlKey = 0x1000,
};

// A key event's message: the character code (Mac Roman) in the low byte, the key's code in
// the next one. Mouse events carry 0.
enum : UInt32 { charCodeMask = 0x000000FF, keyCodeMask = 0x0000FF00 };

struct EventRecord {
    EventKind what;
    UInt32 message;
    UInt32 when; // TickCount when the event arrived
    Point where; // global mouse position
    EventModifiers modifiers;
};

struct PlatformRegion;
using RgnHandle = PlatformRegion*;

// With a nonzero mask: dispatches the pending toolkit events at once (windows redraw, their
// handlers run), waiting up to `sleep` ticks for one when there is none, then takes at most
// one queued event of the mask into *event (may be null). With mask 0: takes nothing and
// lets the toolkit run for `sleep` ticks while holding back input, which stays pending.
// True when an event was taken; *event is then filled, else it reads nullEvent.
// mouseRgn is ignored.
Boolean WaitNextEvent(EventMask eventMask, EventRecord* event, UInt32 sleep, RgnHandle mouseRgn);

// Discards pending input: the mouse presses and key presses the toolkit has not delivered
// yet, and the queued records of `eventMask`. stopMask is ignored.
void FlushEvents(EventMask eventMask, EventMask stopMask);

// Takes the oldest queued event of the mask into *event; true when there was one. When the
// queue holds none, pending toolkit events are dispatched first so new input can arrive.
// With mask 0 nothing is taken: only when, where and the current modifiers are filled in.
Boolean GetNextEvent(EventMask eventMask, EventRecord* event);

// Tests: when set, WaitNextEvent calls `wait` and FlushEvents calls `flush` instead of
// touching the toolkit (wait returns whether it "took" an event). Null restores the real ones.
using WaitNextEventHook = Boolean (*)(EventMask mask, EventRecord* event, UInt32 sleep);
using FlushEventsHook = void (*)(EventMask mask);
void setEventPumpHooksForTesting(WaitNextEventHook wait, FlushEventsHook flush);

// ---------------------------------------------------------------------------------------
// Run-loop timers: fire on the event loop of the thread that added them.

struct PlatformRunLoop;
using CFRunLoopRef = PlatformRunLoop*;
struct PlatformRunLoopTimer;
using CFRunLoopTimerRef = PlatformRunLoopTimer*;
using CFRunLoopTimerCallBack = void (*)(CFRunLoopTimerRef timer, void* info);
using CFOptionFlags = unsigned long;
struct CFRunLoopTimerContext {
    CFIndex version;
    void* info;
    const void* (*retain)(const void* info);
    void (*release)(const void* info);
    CFStringRef (*copyDescription)(const void* info);
};

// Modes are accepted for the shape of the calls; a timer fires in every mode.
inline const CFStringRef kCFRunLoopCommonModes = CFSTR("kCFRunLoopCommonModes");

// The calling thread's run loop (not owned; never null).
CFRunLoopRef CFRunLoopGetCurrent();

// A new timer (release with CFRelease) that fires at `fireDate` and then every `interval`
// seconds, or once for an interval of 0 or less. Null without a callout. Only context->info
// is used.
CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef allocator, CFAbsoluteTime fireDate,
                                       CFTimeInterval interval, CFOptionFlags flags, CFIndex order,
                                       CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context);

// Arms the timer on `rl`, which must be the calling thread's run loop (anything else is
// ignored: a timer can only fire on a thread whose event loop it was armed in). The run loop
// holds its own reference until the timer has fired for the last time.
void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef mode);

// ---------------------------------------------------------------------------------------
// The drawing port's colours (GetPort is in PlatformStrings.h): the foreground and
// background of the current port, each component 16 bits. A new port draws black on white.

struct RGBColor {
    UInt16 red;
    UInt16 green;
    UInt16 blue;
};
void RGBForeColor(const RGBColor* color);
void RGBBackColor(const RGBColor* color);
void GetForeColor(RGBColor* color);
void GetBackColor(RGBColor* color);

// ---------------------------------------------------------------------------------------
// File dialogs (window-modal to nothing: the application has no main window).

// The open dialog: window title and message (either may be null), starting in `folder`
// ("" for the toolkit's default) with `selectName` preselected when not empty. noErr with
// the chosen file's path in *path, userCanceledErr when dismissed, paramErr for null path.
OSStatus NavChooseFile(CFStringRef title, CFStringRef message, const std::string& folder,
                       const std::string& selectName, std::string* path);

// The save dialog: as NavChooseFile, with `defaultName` as the suggested name. Replacing an
// existing file is confirmed in the dialog.
OSStatus NavPutFileNamed(CFStringRef title, CFStringRef message, const std::string& folder,
                         const std::string& defaultName, std::string* path);

// Tests: while enabled, both dialogs answer at once with `path` ("" = cancel) instead of
// asking; what they were asked is kept for platformLastNavDialogForTesting.
void setNavDialogAnswerForTesting(bool enabled, const std::string& path);
struct NavDialogRequest {
    bool save;
    std::string title, message, folder, name;
};
NavDialogRequest platformLastNavDialogForTesting();

// The dialogs' event callback. This platform's dialogs send it nothing; it is kept so that
// callers install one as they would elsewhere.
using NavEventCallbackMessage = SInt32;
struct NavCBRec;
using NavCBRecPtr = NavCBRec*;
using NavEventProcPtr = void (*)(NavEventCallbackMessage callBackSelector,
                                 NavCBRecPtr callBackParms, void* callBackUD);
using NavEventUPP = NavEventProcPtr;
// Returns the routine itself: on this platform a routine needs no wrapping.
NavEventUPP NewNavEventUPP(NavEventProcPtr userRoutine);
