// The application: toolkit start-up, the application event loop, the menu bar and its
// commands, and the bundle's localized texts.
//
// Start-up creates the one QApplication of the process. The application does not end when
// its last window closes (between the prompt and the progress window none is open); it ends
// when its event loop is quit. On macOS the menu bar is the global one; on other desktops,
// which put menus into main windows and this application has none, every window of the
// toolkit carries the menu bar's commands as keyboard shortcuts and as its context menu.
#pragma once

#include "PlatformBundle.h"
#include "PlatformToolbox.h"

#include <string>

// Creates the application object once (later calls do nothing) with the process's arguments;
// both must outlive the process's use of the toolkit. Returns noErr, or paramErr when
// argc/argv are missing.
OSStatus platformInitApplication(int* argc, char** argv);
// The same for tests: a fixed argument list of the test program's name.
void platformInitApplicationForTesting();
// True once the application object exists.
bool platformApplicationExists();

// Runs the application event loop until QuitApplicationEventLoop is called (a call made
// before the loop runs ends it as soon as it starts). Returns at once when called while the
// loop already runs.
void RunApplicationEventLoop();
void QuitApplicationEventLoop();
// True while RunApplicationEventLoop runs.
bool platformApplicationEventLoopRunning();

// Interface files: "<name>.ui" in the bundle's Resources folder, read once. fnfErr
// (errIBNibNotFound) when the file does not exist or cannot be read; paramErr for null
// arguments.
OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef);
// Tests and tools: open an interface file from a folder of their choice.
OSStatus platformCreateNibReferenceInFolder(const char* folder, CFStringRef inNibName,
                                            IBNibRef* outNibRef);
void DisposeNibReference(IBNibRef nib);

// Installs the menu bar named `name` (a QMenuBar in the file) as the application's menu bar.
// errWindowNotFound when the file holds no menu bar of that name; paramErr for null
// arguments. Each of its menus carries its menu id as the property "menuId", each item its
// command as the four-character property "command".
OSStatus SetMenuBarFromNib(IBNibRef nib, CFStringRef name);

// The bundle's localized texts: "<language>.lproj/<table>.strings" in the Resources folder
// ("Localizable" when table is null), for the user's languages in order of preference, then
// English. A key no table has gives `value` when it is a non-empty string, else the key.
// The result is new (release it); null only for a null key.
CFStringRef platformCopyLocalizedString(CFStringRef key, CFStringRef value, CFStringRef table);
// The same for the main bundle (the only bundle this platform has); a null bundle finds no
// table and gives the fallback.
CFStringRef CFBundleCopyLocalizedString(CFBundleRef bundle, CFStringRef key, CFStringRef value,
                                        CFStringRef tableName);
// Tests: use this folder instead of the bundle's Resources folder for localized texts and
// interface files ("" restores the bundle's), and this language list ("" = the user's).
void platformSetResourcesFolderForTesting(const char* folder);
void platformSetLanguagesForTesting(const char* commaSeparatedLanguages);
// The Resources folder in use (the bundle's, or the one set for tests).
std::string platformResourcesFolder();
