// Windows: creation from interface files, titles, sizes, showing and ordering, window
// properties, sheets, application-modal loops, dialog items, the theme's text measurement
// and drawing, and icon families from the bundle.
//
// An interface file ("<name>.ui") holds its windows as the children of its top-level widget;
// a window is found by its object name. A window whose "windowClass" property is "sheet" is
// a sheet window: it can be shown as a sheet (a window-modal child placed on its parent), and
// it cannot take a sheet itself. Controls carry their address as the properties "signature"
// (four characters) and "controlId" (a number), their dialog item number as "dialogItem",
// and may name their kind as "controlKind" and their theme font as "themeFont" (0 system,
// 1 small system, 2 small emphasized, 4 emphasized).
#pragma once

#include "PlatformToolbox.h"

// Creates the window `name` of the interface file, hidden. errWindowNotFound when the file
// has no window of that name, paramErr for null arguments.
OSStatus CreateWindowFromNib(IBNibRef nib, CFStringRef name, WindowRef* outWindow);
// Hides the window, ends a modal loop running for it, and drops its properties and event
// targets at once; the object itself goes at the next event dispatch, so a window may be
// disposed of from inside one of its own handlers. Null is ignored.
void DisposeWindow(WindowRef window);

OSStatus SetWindowTitleWithCFString(WindowRef window, CFStringRef title);
// A new string (release it), or null for a null window.
CFStringRef CopyWindowTitleAsCFString(WindowRef window);

// Global bounds of the window's frame (kWindowStructureRgn) or content (kWindowContentRgn).
// paramErr for a null window or null rect, or another region code.
OSStatus GetWindowBounds(WindowRef window, WindowRegionCode region, Rect* outRect);
// The content area in window-local coordinates (top and left 0).
Rect* GetWindowPortBounds(WindowRef window, Rect* outRect);
// Sets the content size; `update` is accepted for the shape of the call.
void SizeWindow(WindowRef window, SInt16 width, SInt16 height, Boolean update);

void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
Boolean IsWindowVisible(WindowRef window);
// Brings the window to the front and gives it the keyboard focus.
void SelectWindow(WindowRef window);
// The frontmost visible window of the toolkit, or null.
WindowRef FrontWindow();

// Window properties: byte blocks keyed by (creator, tag). GetWindowProperty copies at most
// bufferSize bytes and fails with errWindowPropertyNotFound for an absent pair. paramErr for
// a null window. actualSize may be null.
OSStatus SetWindowProperty(WindowRef window, PropertyCreator creator, PropertyTag tag,
                           ByteCount size, const void* data);
OSStatus GetWindowProperty(WindowRef window, PropertyCreator creator, PropertyTag tag,
                           ByteCount bufferSize, ByteCount* actualSize, void* buffer);
OSStatus RemoveWindowProperty(WindowRef window, PropertyCreator creator, PropertyTag tag);

// Default button: Return and Enter press it. Cancel button: Escape (and Ctrl+period) press
// it, as does closing the window from the title bar when no handler takes the close.
OSStatus SetWindowDefaultButton(WindowRef window, ControlRef control);
OSStatus SetWindowCancelButton(WindowRef window, ControlRef control);

// Sheets. ShowSheetWindow places `sheet` on `parent` as its window-modal child and shows it;
// errInvalidWindowRef when the parent is a sheet window itself, paramErr for null windows.
// HideSheetWindow hides it; the sheet keeps its parent until it is shown on another one or
// disposed of. GetSheetWindowParent gives the parent it was last shown on; paramErr when it
// never was shown as a sheet.
OSStatus ShowSheetWindow(WindowRef sheet, WindowRef parent);
OSStatus HideSheetWindow(WindowRef sheet);
OSStatus GetSheetWindowParent(WindowRef sheet, WindowRef* outParent);
// True for a window created as a sheet window.
Boolean platformIsSheetWindow(WindowRef window);

// Application-modal loops: RunAppModalLoopForWindow shows the window application-modal (or,
// when it is a sheet on its parent, modal to the parent) and dispatches events until
// QuitAppModalLoopForWindow is called for it. Loops nest; quitting an outer loop returns
// from it once the inner ones have returned. Quitting a window without a running loop does
// nothing. paramErr for a null window.
OSStatus RunAppModalLoopForWindow(WindowRef window);
OSStatus QuitAppModalLoopForWindow(WindowRef window);
// Number of modal loops running.
int platformModalLoopDepth();

// Dialog items: a window's dialog is the window itself; item n is the control whose
// "dialogItem" property is n. errUnknownControl for an item no control carries.
DialogPtr GetDialogFromWindow(WindowRef window);
WindowRef GetDialogWindow(DialogPtr dialog);
OSStatus GetDialogItemAsControl(DialogPtr dialog, SInt16 item, ControlRef* outControl);
// The item's kind (0), control and window-local bounds; each output may be null. A missing
// item leaves the outputs untouched.
void GetDialogItem(DialogPtr dialog, SInt16 item, SInt16* itemType, Handle* itemHandle, Rect* box);

// Drawing. SetPortWindowPort makes the window the target of the drawing calls below, which
// paint over the window's controls and stay until erased (the window keeps what was drawn).
void SetPortWindowPort(WindowRef window);
// The window of the current port, or null.
WindowRef platformCurrentPortWindow();
void EraseRect(const Rect* rect);
// Moves the rectangle by dh pixels right and dv down.
void OffsetRect(Rect* rect, SInt16 dh, SInt16 dv);
void ForeColor(long color);

// Theme text. Fonts: kThemeSystemFont is the application's font, kThemeSmallSystemFont the
// same two points smaller, the emphasized ones bold. GetThemeTextDimensions measures the
// text, wrapped to ioBounds->h pixels when wrapToWidth is set (a width of 0 or less does not
// wrap), and stores its height in ioBounds->v and width in ioBounds->h. paramErr for a null
// text or bounds, or an unknown font.
OSStatus GetThemeTextDimensions(CFStringRef text, ThemeFontID font, ThemeDrawState state,
                                Boolean wrapToWidth, Point* ioBounds, SInt16* outBaseline);
// Draws the text wrapped into the rectangle of the current port with the justification.
// paramErr for a null text or rectangle or an unknown font, errInvalidWindowRef without a
// current port.
OSStatus DrawThemeTextBox(CFStringRef text, ThemeFontID font, ThemeDrawState state,
                          Boolean wrapToWidth, const Rect* box, SInt16 just, void* context);

// Resources of the bundle. 'icns' resource n is the PNG "Icons/icns_<n>.png" in the
// Resources folder (any sizes, "icns_<n>@<size>.png" adds more); resources stay loaded for
// the process. Null (and resNotFound from ResError) when there is none; only 'icns' exists.
Handle GetResource(ResType type, SInt16 id);
OSErr ResError();
OSErr NewIconSuite(IconSuiteRef* outSuite);
OSErr IconFamilyToIconSuite(IconFamilyHandle family, IconSelectorValue selector,
                            IconSuiteRef* outSuite);
// Draws the suite into the rectangle of the current port.
OSErr PlotIconSuite(const Rect* rect, IconAlignmentType align, IconTransformType transform,
                    IconSuiteRef suite);
OSErr DisposeIconSuite(IconSuiteRef suite, Boolean disposeData);

// Saves an image of the window's content, with the sheets shown on it, as a PNG file. paramErr for
// null arguments, ioErr when the file cannot be written.
OSStatus platformSaveWindowImage(WindowRef window, const char* pngPath);
