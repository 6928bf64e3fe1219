// Controls: the widgets of a window, found by their address (signature, id) and driven by
// value, range, bounds, title and data. Kinds: push buttons "push" (a button with a menu
// "popb"), check boxes "cbox", radio buttons "rdio", tool buttons "picn", labels "stxt",
// progress bars "prgb", edit fields "eutx", combo boxes "popb", sliders "sldr", group boxes
// "grpb", anything else "upan"; a control's "controlKind" property overrides its class
// (the message window's icon is an "icon").
//
// Bounds are window-local, top-left of the content area at (0, 0). A value set outside the
// control's range is pinned to it, as the classic toolkit does.
#pragma once

#include "PlatformToolbox.h"

// errUnknownControl when the window has no control with that address (outControl is then
// set to null); paramErr for null arguments.
OSStatus GetControlByID(WindowRef window, const ControlID* id, ControlRef* outControl);
// errUnknownControl for a control without an address; paramErr for null arguments.
OSStatus GetControlID(ControlRef control, ControlID* outId);
WindowRef GetControlOwner(ControlRef control); // null for a null control
OSStatus GetControlKind(ControlRef control, ControlKind* outKind);

void ShowControl(ControlRef control);
void HideControl(ControlRef control);
Boolean IsControlVisible(ControlRef control); // shown itself (its window may be hidden)
OSStatus ActivateControl(ControlRef control);
OSStatus DeactivateControl(ControlRef control);
Boolean IsControlActive(ControlRef control);

Rect* GetControlBounds(ControlRef control, Rect* outRect);
void SetControlBounds(ControlRef control, const Rect* rect);

// 32-bit value and range. Buttons that hold a state (check boxes, radio buttons) have the
// range 0 to 1; plain push buttons and texts keep what is set.
SInt32 GetControl32BitValue(ControlRef control);
void SetControl32BitValue(ControlRef control, SInt32 value);
SInt32 GetControl32BitMinimum(ControlRef control);
void SetControl32BitMinimum(ControlRef control, SInt32 value);
SInt32 GetControl32BitMaximum(ControlRef control);
void SetControl32BitMaximum(ControlRef control, SInt32 value);

// The title of a button or group box ('&' is shown as it is). noErr and nothing changes for
// a control without a title; paramErr for null arguments.
OSStatus SetControlTitleWithCFString(ControlRef control, CFStringRef title);
// A new string, or null for a control without a title.
CFStringRef CopyControlTitleAsCFString(ControlRef control);
// The control's bounds with the size its content asks for (for a button: its title).
OSStatus GetBestControlRect(ControlRef control, Rect* outRect, SInt16* outBaselineOffset);

// Control data of the texts (labels and edit fields): kControlStaticTextTextTag (Mac Roman
// bytes; get copies at most bufferSize, actualSize the whole length),
// kControlStaticTextCFStringTag (a CFStringRef: set copies the caller's string, get returns a
// new one for the caller to release), kControlStaticTextTextHeightTag (get: SInt16, the
// height of the text wrapped to the control's width). errDataNotSupported for another tag or
// kind of control, paramErr for null arguments or a buffer too small for the value.
OSErr SetControlData(ControlRef control, ControlPartCode part, ResType tag, Size size,
                     const void* data);
OSErr GetControlData(ControlRef control, ControlPartCode part, ResType tag, Size bufferSize,
                     void* buffer, Size* actualSize);

// Redraws every control of the window.
void DrawControls(WindowRef window);

// The menu of a pop-up button, or null.
MenuRef GetControlPopupMenuHandle(ControlRef control);

// Presses the control as the user would: a button's press is sent as its control hit. For an
// inactive, hidden or unpressable control nothing happens and outPart (may be null) is 0;
// else 1.
OSStatus HIViewSimulateClick(ControlRef control, ControlPartCode part, UInt32 modifiers,
                             ControlPartCode* outPart);
