// The toolkit pieces of the debug console: its window with two menus, a read-only
// scrolling text object, the save dialog, page set-up and printing. Menu choices and the
// close box are handed to the procedures the console module registers; the window itself
// moves, activates and scrolls as any window of the toolkit does.
#pragma once

#include "PlatformStrings.h"
#include "PlatformTypes.h"

#include <string>

struct ConsoleWindowRecord;
using ConsoleWindowRef = ConsoleWindowRecord*;
struct TXNObjectRecord;
using TXNObject = TXNObjectRecord*;

using ConsoleMenuProc = void (*)(short menu, short item);
using ConsoleCloseProc = void (*)();
using ConsoleSelectionProc = void (*)();

// The main screen's bounds (top 0, left 0), or 0,0,768,1024 when there is no screen.
Rect GetQDGlobalsScreenBits();

// A visible document window at `bounds` (global, content rectangle), in front of all others,
// titled with the Pascal string `title` (Mac Roman), with the menus 131 (Save, -, Page
// Setup..., Print...) and 132 (Cut, Copy, Paste, -, Select All). Choices go to menuProc,
// the close box to closeProc, a changed selection in its text object to selectionProc (each
// may be null). Null when no window can be made (no application).
ConsoleWindowRef NewDialog(const unsigned char* title, const Rect& bounds,
                           ConsoleMenuProc menuProc, ConsoleCloseProc closeProc,
                           ConsoleSelectionProc selectionProc);
// The window's content rectangle in global coordinates (all 0 for null).
Rect GetConsoleBounds(ConsoleWindowRef wind);
// Enables or disables one item of a console menu, or the whole menu for item 0.
void EnableMenuItem(ConsoleWindowRef wind, short menu, short item);
void DisableMenuItem(ConsoleWindowRef wind, short menu, short item);
// Whether the item (0: the menu) is enabled; false for an unknown one.
bool IsConsoleMenuItemEnabled(ConsoleWindowRef wind, short menu, short item);

// The text engine's default font: a font number (4 is the fixed-pitch font) and size.
OSStatus TXNInitTextension(short fontNumber, short pointSize);
// A read-only text object; frame null fills the window, else a rectangle in its content.
// frameOptions bit 0x0008 gives it a vertical scroll bar. Returns paramErr without a window.
OSStatus TXNCreateObject(ConsoleWindowRef wind, const Rect* frame, UInt32 frameOptions,
                         TXNObject* object);
OSStatus TXNAttachObjectToWindowRef(TXNObject object, ConsoleWindowRef wind);
void TXNIdle(TXNObject object);
Boolean TXNIsSelectionEmpty(TXNObject object);
ByteCount TXNDataSize(TXNObject object);  // bytes of text held (UTF-16 units × 2)
OSStatus TXNCut(TXNObject object);        // read-only text: copies, removes nothing
OSStatus TXNCopy(TXNObject object);
OSStatus TXNPaste(TXNObject object);      // read-only text: does nothing
OSStatus TXNSetSelection(TXNObject object, UInt32 start, UInt32 end);
// Appends text at the end and scrolls to it (how trace messages would reach the window).
OSStatus TXNAppendText(TXNObject object, CFStringRef text);
// Page set-up and printing through the system's dialogs; userCanceledErr when dismissed.
OSStatus TXNPageSetup(TXNObject object);
OSStatus TXNPrint(TXNObject object);
// Writes the text to `path` as UTF-8 (replacing what the file held). ioErr on failure.
OSStatus TXNSave(TXNObject object, const std::string& path);

// The save dialog: message `prompt`, suggested name `defaultName`, starting in `folder`
// ("" for the default). noErr with the chosen path in *path, userCanceledErr on cancel.
OSStatus NavPutFile(CFStringRef prompt, CFStringRef defaultName, const std::string& folder,
                    std::string* path);

// Tests: a click in the window's close box.
void clickConsoleCloseBoxForTesting(ConsoleWindowRef wind);

// Tests: the next save dialogs answer at once with `path` ("" = cancel) instead of asking.
void setNavPutFileAnswerForTesting(bool enabled, const std::string& path);
