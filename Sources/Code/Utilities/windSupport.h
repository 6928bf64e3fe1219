// Window and control helpers. The application keeps no references to controls: it names
// each by its address (window, four-character signature, id), and these helpers turn an
// address into an action of the toolkit. Beside that: window properties as 4-byte slots,
// the menu id of a menu, and menu-item check marks kept both as the visible mark and as the
// item property ('APPL', 'Chek') that can be read back.
//
// The by-address forms look the control up and pass the result, untested, to the
// by-control form; a by-control form handed no control does nothing and returns its
// failure value (0, null, or paramErr).
#pragma once

#include "PlatformToolbox.h"

ControlRef getControlByID(WindowRef wind, OSType signature, SInt32 id); // null when absent
// Reads the control's address; on failure the outputs stay untouched. The toolkit's status.
OSStatus getIDByControl(ControlRef control, OSType* signature, SInt32* id);

void showControl(ControlRef control, Boolean show);
void showControl(WindowRef wind, OSType signature, SInt32 id, Boolean show);
void enableControl(ControlRef control, Boolean enable);
void enableControl(WindowRef wind, OSType signature, SInt32 id, Boolean enable);
// Enables or disables item `index` of a pop-up button's menu, or of a menu.
void enableMenuItem(ControlRef control, MenuItemIndex index, Boolean enable);
void enableMenuItem(WindowRef wind, OSType signature, SInt32 id, MenuItemIndex index,
                    Boolean enable);
void enableMenuItem(MenuRef menu, MenuItemIndex index, Boolean enable);

void getControlBounds(ControlRef control, Rect* rect);
void getControlBounds(WindowRef wind, OSType signature, SInt32 id, Rect* rect);
void setControlBounds(ControlRef control, Rect* rect);
void setControlBounds(WindowRef wind, OSType signature, SInt32 id, Rect* rect);

long getControlValue(ControlRef control); // 0 without a control
long getControlValue(WindowRef wind, OSType signature, SInt32 id);
void setControlValue(ControlRef control, long value);
void setControlValue(WindowRef wind, OSType signature, SInt32 id, long value);
long getControlMinimum(ControlRef control);
long getControlMinimum(WindowRef wind, OSType signature, SInt32 id);
void setControlMinimum(ControlRef control, long value);
void setControlMinimum(WindowRef wind, OSType signature, SInt32 id, long value);
long getControlMaximum(ControlRef control);
long getControlMaximum(WindowRef wind, OSType signature, SInt32 id);
void setControlMaximum(ControlRef control, long value);
void setControlMaximum(WindowRef wind, OSType signature, SInt32 id, long value);

// The control's text as a Pascal string (Mac Roman, at most 255 bytes) and/or its text
// height; each output may be null. The status of the last read.
OSStatus getControlText(ControlRef control, unsigned char* text, short* height);
OSStatus getControlText(WindowRef wind, OSType signature, SInt32 id, unsigned char* text,
                        short* height);
// A new string (the caller releases it), or null on any failure.
CFStringRef getControlText(ControlRef control, short* height);
CFStringRef getControlText(WindowRef wind, OSType signature, SInt32 id, short* height);

// Sets a button's title (and gives in *height the width its best bounds need) or a static
// text's text (and gives its text height); any other kind sets nothing and returns 0. The
// window's controls are redrawn in every case. The text stays the caller's.
OSStatus setControlText(ControlRef control, CFStringRef text, short* height);
OSStatus setControlText(WindowRef wind, OSType signature, SInt32 id, CFStringRef text,
                        short* height);
// The Pascal string is Mac Roman text.
OSStatus setControlText(ControlRef control, const unsigned char* text, short* height);
OSStatus setControlText(WindowRef wind, OSType signature, SInt32 id, const unsigned char* text,
                        short* height);

// Handlers with the control as user data: for the control hit and the raw key up; or, for
// the U form, command process, control draw, control hit, activate and deactivate. The
// lookup's status when the address names no control (nothing installed), else the
// installation's.
OSStatus installControlHandler(WindowRef wind, OSType signature, SInt32 id,
                               EventHandlerProcPtr theHandler);
OSStatus installControlHandlerU(WindowRef wind, OSType signature, SInt32 id,
                                EventHandlerProcPtr theHandler);
// Calls theHandler at once (no call reference, no event, the control as user data) and
// returns 0 whatever it returns; the lookup's status when there is no such control.
OSStatus callControlHandler(WindowRef wind, OSType signature, SInt32 id,
                            EventHandlerProcPtr theHandler);

// The property's value, or 0 when the window has none (or on any other failure). The
// slots of these windows hold a record pointer, a procedure or a number, each stored as wide
// as a pointer is on this platform.
void* getWindowPropertyPtr(WindowRef wind, OSType creator, OSType tag);
// Handler with the window as user data, for the twelve window, command, key and menu kinds.
OSStatus installWindowHandler(WindowRef wind, EventHandlerProcPtr theHandler);

// The lowest id in from..to whose menu bar menu is `menu`; 0 when none (at once when
// from > to).
MenuID getMenuIDbyMenu(MenuRef menu, short from, short to);

// The id of dialog item `item`; the signature and id go to the outputs given (null skips).
SInt32 getItemID(DialogPtr dlog, short item, OSType* signature, SInt32* id);
SInt32 getItemID(WindowRef wind, short item, OSType* signature, SInt32* id);

// Draws the 'icns' resource `item` into the control's bounds; nothing when it is missing.
void drawIconSuite(ControlRef control, short item);

// Sets the item's mark and its check property; with `only`, first clears every item of the
// menu. The command forms act on the first menu bar item with that command, and change
// nothing (or read false) when no item has it.
void setItemCheck(MenuRef theMenu, MenuItemIndex item, Boolean checked, Boolean only);
void setItemCheck(MenuCommand inCommandID, Boolean checked, Boolean only);
Boolean getItemCheck(MenuRef theMenu, MenuItemIndex item); // false when never set
Boolean getItemCheck(MenuCommand inCommandID);
