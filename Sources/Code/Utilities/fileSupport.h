// Files of the application's bundle and of the file system: a reference to the bundle's
// resources folder or to a named file in it, the application's own file and the folder
// holding its bundle, a file made with a type and creator, and the open and save dialogs.
// Names are Pascal strings in Mac Roman, with ':' between folder levels. Main thread only.
#pragma once

#include "PlatformEvents.h"
#include "PlatformFiles.h"
#include "PlatformTypes.h"

// A reference to the resources folder (null name) or to `fileName` in it ("a:b" is the file
// b in its folder a). False when there is no bundle or resources folder, or no such object;
// *ref must not be used then.
bool getResourceFileFSRef(const unsigned char* fileName, FSRef* ref);

// The running application's FSSpec; the status of the process query.
OSErr getAppFSS(FSSpec* spec);

// The application's file, asked for once: the same pointer after the first success, null
// while the platform cannot tell (the next call asks again).
FSRef* getAppRef();

// The folder four levels above the application's file (for <dir>/X.app/Contents/MacOS/X
// that is <dir>), cached as getAppRef; null while any step fails.
FSRef* getBundleRef();

// Creates the file `name` in the folder `pref` with Finder type and creator, its reference
// into *ref. paramErr (-50) for a null pref, name or ref, with nothing created; dupFNErr
// (-48) when the name exists, unless `replace`: then *ref names the existing file, which
// stays as it was. Otherwise the platform's status.
OSErr FSCreateFile(const FSRef* pref, const unsigned char* name, OSType type, OSType creator,
                   FSRef* ref, Boolean replace);
OSErr FSCreateFile(const FSRef* pref, HFSUniStr255* uname, OSType type, OSType creator, FSRef* ref,
                   Boolean replace);

// The open dialog, titled `title` with the message `prompt` (either may be null), starting at
// *spec when its name is not empty; the chosen file comes back in *spec. `save` is handed to
// the dialog callback. userCanceledErr (-128) when dismissed; paramErr for a null spec.
OSErr navChooseFile(const unsigned char* title, const unsigned char* prompt, Boolean save,
                    FSSpec* spec);

// The save dialog: as navChooseFile, with the name in *spec as the suggested name. The file
// is not created here (FSCreateFile does that with fileType and fileCreator).
OSErr navSaveFile(const unsigned char* title, const unsigned char* prompt, OSType fileType,
                  OSType fileCreator, FSSpec* spec);

// The dialogs' callback; it does nothing.
void navEvtProc(NavEventCallbackMessage callBackSelector, NavCBRecPtr callBackParms,
                void* callBackUD);
