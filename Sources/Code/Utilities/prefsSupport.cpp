#include "prefsSupport.h"

#include "PlatformCollections.h"
#include "PlatformFileCopy.h"
#include "PlatformFiles.h"
#include "PlatformMenus.h"
#include "PlatformPrefs.h"
#include "_printf.h"
#include "fileSupport.h"
#include "windSupport.h"

#include <cstring>

namespace {

CFStringRef checkedKey() {
    return CFSTR("MenuItemsChecked");
}
CFStringRef disabledKey() {
    return CFSTR("MenuItemsDisabled");
}

// Calls `apply` for every item of the menus `from` to `to` whose text matches one of the
// texts stored under `key`.
template <class Apply>
void forStoredItems(CFStringRef key, short from, short to, CFStringRef appRef, Apply apply) {
    CFPropertyListRef value = CFPreferencesCopyAppValue(key, appRef);
    auto stored = static_cast<CFArrayRef>(value);
    const CFIndex count = CFArrayGetCount(stored);
    // The loop counts in int: a range ending at 32767 must still end.
    for (int id = from; count > 0 && id <= to; ++id) {
        MenuRef menu = GetMenuHandle(MenuID(id));
        if (!menu) continue;
        const int items = CountMenuItems(menu);
        for (int item = 1; item <= items; ++item) {
            CFStringRef text = nullptr;
            if (CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &text) != noErr || !text)
                continue;
            for (CFIndex i = 0; i < count; ++i) {
                CFTypeRef s = CFArrayGetValueAtIndex(stored, i);
                if (CFGetTypeID(s) == CFStringGetTypeID() &&
                    CFStringCompare(text, static_cast<CFStringRef>(s), kCFCompareCaseInsensitive) ==
                        kCFCompareEqualTo)
                    apply(menu, item);
            }
            CFRelease(text);
        }
    }
    if (value) CFRelease(value);
}

// Stores under `key` the texts of the items of the menus `from` to `to` that `wanted` picks.
template <class Wanted>
void storeItems(CFStringRef key, short from, short to, CFStringRef appRef, Wanted wanted) {
    CFMutableArrayRef texts = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    for (int id = from; id <= to; ++id) {
        MenuRef menu = GetMenuHandle(MenuID(id));
        if (!menu) continue;
        const int items = CountMenuItems(menu);
        for (int item = 1; item <= items; ++item) {
            if (!wanted(menu, item)) continue;
            CFStringRef text = nullptr;
            if (CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &text) != noErr || !text)
                continue;
            CFArrayAppendValue(texts, text);
            CFRelease(text);
        }
    }
    CFPreferencesSetAppValue(key, texts, appRef);
    CFRelease(texts);
}

} // namespace

OSErr getDefaultPrefs(Boolean overwrite, CFStringRef* ref) {
    FSRef folder;
    OSErr err = FSFindFolder(kOnAppropriateDisk, kPreferencesFolderType, true, &folder);
    if (err != noErr) return err;

    FSSpec app;
    std::memset(&app, 0, sizeof app);
    err = getAppFSS(&app);
    if (err != noErr) return err; // without the application's name there is no file to name
    if (ref) *ref = CFStringCreateWithPascalString(nullptr, app.name, kCFStringEncodingMacRoman);

    Str255 name;
    _pprintf(name, "%p.plist", app.name);
    FSRef source;
    if (!getResourceFileFSRef(name, &source)) return noErr;

    OSStatus status = FSCopyObjectSync(&source, &folder, nullptr, nullptr,
                                       overwrite ? OptionBits(kFSFileOperationOverwrite) : 0);
    if (status == dupFNErr && !overwrite) return noErr;
    return OSErr(status);
}

void getMenuItemsChecked(short from, short to, CFStringRef appRef) {
    forStoredItems(checkedKey(), from, to, appRef, [](MenuRef menu, int item) {
        setItemCheck(menu, MenuItemIndex(item), true, false);
    });
}

void saveMenuItemsChecked(short from, short to, CFStringRef appRef) {
    storeItems(checkedKey(), from, to, appRef,
               [](MenuRef menu, int item) { return getItemCheck(menu, MenuItemIndex(item)); });
}

void getMenuItemsDisabled(short from, short to, CFStringRef appRef) {
    forStoredItems(disabledKey(), from, to, appRef,
                   [](MenuRef menu, int item) { DisableMenuItem(menu, MenuItemIndex(item)); });
}

void saveMenuItemsDisabled(short from, short to, CFStringRef appRef) {
    storeItems(disabledKey(), from, to, appRef, [](MenuRef menu, int item) {
        return !IsMenuItemEnabled(menu, MenuItemIndex(item));
    });
}
