#include "prefs.h"

#include "PlatformMenus.h"
#include "PlatformPrefs.h"
#include "prefsSupport.h"
#include "windSupport.h"

CFStringRef appName = CFSTR("Unknown");
CFStringRef phoneNosKey = CFSTR("PhoneNos");
CFStringRef phoneNoKey = CFSTR("PhoneNo");
CFStringRef modemKey = CFSTR("menuModem");
CFStringRef optionsKey = CFSTR("menuOptions");
CFMutableArrayRef phoneNoCmds[kMaxPhoneNos] = {};

namespace {

constexpr MenuID kModemMenu = 133;
constexpr MenuID kPhoneMenu = 134;
constexpr MenuID kLastCheckedMenu = 135;
constexpr MenuCommand kPhoneNoCommand = fourCC("PhNo");

// A command list is usable when its first value, the item's text, is a string.
bool isCommandList(CFTypeRef value) {
    auto list = static_cast<CFArrayRef>(value);
    return CFGetTypeID(value) == CFArrayGetTypeID() &&
           CFGetTypeID(CFArrayGetValueAtIndex(list, 0)) == CFStringGetTypeID();
}

} // namespace

void getPrefs() {
    CFStringRef name = nullptr;
    getDefaultPrefs(false, &name);
    if (name) {
        CFRelease(appName);
        appName = name;
    }

    if (CFPropertyListRef modem = CFPreferencesCopyAppValue(modemKey, appName)) CFRelease(modem);

    CFPropertyListRef stored = CFPreferencesCopyAppValue(phoneNosKey, appName);
    auto lists = static_cast<CFArrayRef>(stored);
    int next = 0;
    for (CFIndex i = 0; i < CFArrayGetCount(lists) && i < kMaxPhoneNos; ++i) {
        CFTypeRef list = CFArrayGetValueAtIndex(lists, i);
        if (!isCommandList(list)) continue;
        CFRelease(phoneNoCmds[next]);
        phoneNoCmds[next++] =
            CFArrayCreateMutableCopy(nullptr, kMaxPhoneNos, static_cast<CFArrayRef>(list));
    }
    if (stored) CFRelease(stored);

    if (MenuRef menu = GetMenuHandle(kPhoneMenu)) {
        for (int i = 0; i < kMaxPhoneNos && phoneNoCmds[i]; ++i) {
            auto text = static_cast<CFStringRef>(CFArrayGetValueAtIndex(phoneNoCmds[i], 0));
            InsertMenuItemTextWithCFString(menu, text, MenuItemIndex(i), 0, kPhoneNoCommand);
        }
    }

    getMenuItemsChecked(kModemMenu, kLastCheckedMenu, appName);
}

void savePrefs() {
    saveMenuItemsChecked(kModemMenu, kLastCheckedMenu, appName);

    if (MenuRef menu = GetMenuHandle(kModemMenu)) {
        for (int item = CountMenuItems(menu); item >= 1; --item) {
            if (!getItemCheck(menu, MenuItemIndex(item))) continue;
            CFStringRef text = nullptr;
            if (CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &text) == noErr && text) {
                CFPreferencesSetAppValue(modemKey, text, appName);
                CFRelease(text);
            }
            break;
        }
    }

    CFMutableArrayRef lists = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFPreferencesSetAppValue(phoneNoKey, nullptr, appName);
    if (MenuRef menu = GetMenuHandle(kPhoneMenu)) {
        // The last two items of the menu are not phone numbers.
        const int phoneItems = int(CountMenuItems(menu)) - 2;
        for (int item = 1; item <= phoneItems; ++item) {
            if (item - 1 < kMaxPhoneNos && phoneNoCmds[item - 1]) {
                CFArrayRef copy = CFArrayCreateCopy(nullptr, phoneNoCmds[item - 1]);
                CFArrayAppendValue(lists, copy);
                CFRelease(copy);
            }
            if (getItemCheck(menu, MenuItemIndex(item))) {
                CFStringRef text = nullptr;
                if (CopyMenuItemTextAsCFString(menu, MenuItemIndex(item), &text) == noErr && text) {
                    CFPreferencesSetAppValue(phoneNoKey, text, appName);
                    CFRelease(text);
                }
            }
        }
    }
    CFPreferencesSetAppValue(phoneNosKey, lists, appName);
    CFRelease(lists);

    CFPreferencesAppSynchronize(appName);
}
