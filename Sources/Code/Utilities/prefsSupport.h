// Menu state kept in the preferences: the texts of checked and of disabled menu items, and
// the default preferences file that the bundle brings along. Items are matched by their
// text, without regard to case; a menu ID without a menu and an item whose text cannot be
// read are skipped.
#pragma once

#include "PlatformStrings.h"
#include "PlatformTypes.h"

// Copies the bundle's default preferences file ("<application file name>.plist") into the
// user's preferences folder, replacing a file already there only when `overwrite` is set,
// and stores a new string with the application's file name in `*ref` (when not null; the
// caller releases it). Returns 0 when the file was installed, was already there (without
// `overwrite`) or the bundle has none; the status of the folder search, of the query for the
// application's file, or of the copy otherwise.
OSErr getDefaultPrefs(Boolean overwrite, CFStringRef* ref);

// Checks every item of the menus `from` to `to` whose text is stored under
// "MenuItemsChecked" in domain `appRef`; other items keep their state.
void getMenuItemsChecked(short from, short to, CFStringRef appRef);

// Stores the texts of the checked items of the menus `from` to `to` under
// "MenuItemsChecked" (an empty array when none is checked). Does not write the domain out.
void saveMenuItemsChecked(short from, short to, CFStringRef appRef);

// As getMenuItemsChecked for "MenuItemsDisabled": disables the matching items.
void getMenuItemsDisabled(short from, short to, CFStringRef appRef);

// As saveMenuItemsChecked for "MenuItemsDisabled": stores the items that are not enabled.
void saveMenuItemsDisabled(short from, short to, CFStringRef appRef);
