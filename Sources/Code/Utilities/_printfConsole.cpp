// The debug console of the format module: its window, text object, menus and save command.
#include "_printf.h"

#include "PlatformConsole.h"
#include "PlatformGestalt.h"
#include "PlatformTimeManager.h"

#include <algorithm>
#include <cstring>
#include <string>

ConsoleWindowRef dbDlog = nullptr;
TXNObject dbMLTE = nullptr;
long _MacOSversion = 0;
char _hdrConsole[32] = "";
UInt64 baseTimeUS = 0;

namespace {

// The file the last save dialog chose; the FSSpec it returns cannot carry a
// full path on this platform, so the save goes by this path.
std::string gChosenPath;

const unsigned char kDefaultTitle[] = "\x0EMessage Window";

// Menu 131 is only useful when there is text to save or print.
void updateFileMenu() {
    if (TXNDataSize(dbMLTE) > 0)
        EnableMenuItem(dbDlog, 131, 0);
    else
        DisableMenuItem(dbDlog, 131, 0);
}

void updateEditMenu() {
    if (TXNIsSelectionEmpty(dbMLTE)) {
        DisableMenuItem(dbDlog, 132, 1);
        DisableMenuItem(dbDlog, 132, 2);
    } else {
        EnableMenuItem(dbDlog, 132, 1);
        EnableMenuItem(dbDlog, 132, 2);
    }
}

// What a click in the text would update: the edit items and whether there is text to save.
void consoleSelectionChanged() {
    updateEditMenu();
    updateFileMenu();
}

void consoleMenuChosen(short menu, short item) {
    menuConsole(menu, item);
    updateFileMenu();
    updateEditMenu();
}

// A click in the close box ends the application at once.
void consoleClosed() { ExitToShell(); }

}  // namespace

void openConsoleList(short flags, const char* fmt, PrtfArgList adx) {
    SInt32 version = 0;
    _MacOSversion = Gestalt(gestaltSystemVersion, &version) == noErr ? version : 0;

    if (flags & 0x80) {
        const unsigned char* title = nullptr;
        Rect* bounds = nullptr;
        if (adx.count > 0) {
            if (adx.next->kind == PrtfKind::bytes)
                title = static_cast<const unsigned char*>(adx.next->ptr);
            ++adx.next;
            --adx.count;
        }
        if (adx.count > 0) {
            if (adx.next->kind == PrtfKind::rect)
                bounds = static_cast<Rect*>(const_cast<void*>(adx.next->ptr));
            ++adx.next;
            --adx.count;
        }
        if (!title)
            title = kDefaultTitle;
        Rect fallback{50, 10, 650, 710};
        Rect& r = bounds ? *bounds : fallback;
        Rect screen = GetQDGlobalsScreenBits();
        r.left = std::max<SInt16>(r.left, 4);
        r.top = std::max<SInt16>(r.top, 50);
        r.bottom = std::min<SInt16>(r.bottom, SInt16(screen.bottom - 4));
        r.right = std::min<SInt16>(r.right, SInt16(screen.right - 100));
        dbDlog = NewDialog(title, r, consoleMenuChosen, consoleClosed, consoleSelectionChanged);
        if (dbDlog) {
            _initMLTE(dbDlog, nullptr);
            updateFileMenu();
            updateEditMenu();
        }
        baseTimeUS = 0;
    }

    if (fmt) {
        char buff[2000];
        _prtf(buff, fmt, adx);
        std::strncpy(_hdrConsole, buff, sizeof _hdrConsole - 1);
        _hdrConsole[sizeof _hdrConsole - 1] = 0;
    }
}

void _initMLTE(ConsoleWindowRef wind, Rect* rect) {
    TXNInitTextension(4, 11);
    Rect frame{};
    if (rect)
        frame = Rect{rect->top, rect->left, rect->bottom, rect->right};
    TXNObject object = nullptr;
    if (TXNCreateObject(wind, rect ? &frame : nullptr, 0x8008, &object) == noErr) {
        dbMLTE = object;
        TXNAttachObjectToWindowRef(object, wind);
    }
}

void idleConsole(EventRecord*) {
    if (dbMLTE)
        TXNIdle(dbMLTE);
}

void menuConsole(short menu, short item) {
    if (!dbMLTE)
        return;
    if (menu == 131) {
        if (item == 1)
            _dbSave(dbMLTE);
        else if (item == 3)
            TXNPageSetup(dbMLTE);
        else if (item == 4)
            TXNPrint(dbMLTE);
    } else if (menu == 132) {
        if (item == 1)
            TXNCut(dbMLTE);
        else if (item == 2)
            TXNCopy(dbMLTE);
        else if (item == 3)
            TXNPaste(dbMLTE);
        else if (item == 5)
            TXNSetSelection(dbMLTE, 0, 0x7FFFFFFF);
    }
}

OSErr _dbSave(TXNObject object) {
    if (!object)
        return paramErr;
    FSSpec spec{};
    OSErr err = _navPutFile(reinterpret_cast<const unsigned char*>("\x0DSave Messages"),
                            reinterpret_cast<const unsigned char*>("\x0CUntitled.txt"), &spec);
    if (err != noErr)
        return err;
    return OSErr(TXNSave(object, gChosenPath));
}

OSErr _navPutFile(const unsigned char* prompt, const unsigned char* defaultName, FSSpec* spec) {
    if (!spec)
        return paramErr;
    // A spec with a name offers the folder it was last saved in.
    std::string folder;
    if (spec->name[0] != 0 && !gChosenPath.empty())
        folder = gChosenPath.substr(0, gChosenPath.rfind('/'));
    CFStringRef cfPrompt = _cfprintf("%p", prompt);
    CFStringRef cfName = _cfprintf("%p", defaultName);
    std::string path;
    OSStatus err = NavPutFile(cfPrompt, cfName, folder, &path);
    CFRelease(cfPrompt);
    CFRelease(cfName);
    if (err != noErr)
        return OSErr(err);
    gChosenPath = path;
    // The file's own name, in Mac Roman, cut to 63 characters.
    std::string name = path.substr(path.rfind('/') + 1);
    CFStringRef cf = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
    unsigned char pascal[256] = {};
    if (cf) {
        CFStringGetPascalString(cf, pascal, sizeof pascal, kCFStringEncodingMacRoman);
        CFRelease(cf);
    }
    *spec = FSSpec{};
    std::size_t n = std::min<std::size_t>(pascal[0], 63);
    spec->name[0] = static_cast<unsigned char>(n);
    std::memcpy(spec->name + 1, pascal + 1, n);
    return noErr;
}

void _navEvtProc(long, NavCBRec*, void*) {}
