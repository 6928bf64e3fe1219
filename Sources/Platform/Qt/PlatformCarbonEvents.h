// Event targets and handlers. The application, every window and every control has a target
// holding the handlers installed on it, each for a list of (class, kind). An event goes to a
// control's target first, then to its window's, then to the application's; on each target
// the newest handler runs first. A handler returning eventNotHandledErr passes the event on
// to the next one, and after the last to the toolkit's own handling (the standard Quit
// command quits the application event loop; an unhandled window close presses the window's
// cancel button when it has one and is otherwise ignored). Everything runs on the main
// thread.
//
// What the toolkit sends: a button's or the icon's press as (kEventClassControl,
// kEventControlHit) on that control; a key released or pressed on a control or window as
// (kEventClassKeyboard, kEventRawKeyUp/Down); a control enabled or disabled as
// kEventControlActivate/Deactivate; a menu command as (kEventClassCommand,
// kEventCommandProcess) with its HICommand to the application target; a menu about to open
// as (kEventClassMenu, kEventMenuBeginTracking) to the application target; a window's
// activation, deactivation, move or resize, and close request as the window kinds.
#pragma once

#include "PlatformToolbox.h"

EventTargetRef GetApplicationEventTarget();
// Null for a null window or control.
EventTargetRef GetWindowEventTarget(WindowRef window);
EventTargetRef GetControlEventTarget(ControlRef control);

inline EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc) {
    return proc;
}
inline void DisposeEventHandlerUPP(EventHandlerUPP) {}

// Installs `handler` on `target` for `numTypes` (class, kind) pairs. paramErr for a null
// target or handler, or a list that is missing while numTypes is not 0. `outRef` may be null.
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef);
// Removes an installed handler; paramErr when it is not installed (any more).
OSStatus RemoveEventHandler(EventHandlerRef ref);

// Passes the event to the handlers after the one running (and then to the toolkit's own
// handling) and returns their result. paramErr outside a handler.
OSStatus CallNextEventHandler(EventHandlerCallRef callRef, EventRef event);

// Events made by the caller. CreateEvent gives an event with one reference; ReleaseEvent
// drops it. SendEventToEventTarget dispatches it as described above and returns the result
// of the handler that handled it, or eventNotHandledErr.
OSStatus CreateEvent(const void* allocator, UInt32 eventClass, UInt32 eventKind, double when,
                     UInt32 flags, EventRef* outEvent);
void ReleaseEvent(EventRef event);
OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target);

UInt32 GetEventClass(EventRef event); // 0 for a null event
UInt32 GetEventKind(EventRef event);

// Parameters are typed byte blocks. GetEventParameter copies at most bufferSize bytes;
// eventParameterNotFoundErr when the event has no parameter of that name, or it is of
// another type than `desiredType` (typeWildCard accepts any). outActualType and
// outActualSize may be null.
OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, ByteCount size,
                           const void* data);
OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType* outActualType, ByteCount bufferSize,
                           ByteCount* outActualSize, void* outData);

// Sends a command event for `command` to the application target, as a menu choice would.
OSStatus ProcessHICommand(const HICommand* command);
