// Menus of the application's menu bar (SetMenuBarFromNib, PlatformApp.h). Items are counted
// from 1 and include separators; item 0 in the enable calls stands for the whole menu.
// Choosing an item sends its command to the application target (PlatformCarbonEvents.h).
#pragma once

#include "PlatformToolbox.h"

// The menu bar's menu whose "menuId" property is `id` (also in submenus), or null.
MenuRef GetMenuHandle(MenuID id);
// The menu's id, or 0 for a menu without one.
MenuID GetMenuID(MenuRef menu);

// The `index`-th item (from 1) carrying `command`, searched in `menu` and its submenus, or
// in the whole menu bar when menu is null. menuItemNotFoundErr when there is none; the
// outputs (each may be null) are then left untouched.
OSStatus GetIndMenuItemWithCommandID(MenuRef menu, MenuCommand command, UInt32 index,
                                     MenuRef* outMenu, MenuItemIndex* outIndex);
// The command of an item, 0 for none; menuItemNotFoundErr for an item that does not exist.
OSStatus GetMenuItemCommandID(MenuRef menu, MenuItemIndex item, MenuCommand* outCommand);

UInt16 CountMenuItems(MenuRef menu); // 0 for null
// A new string with the item's text; menuItemNotFoundErr for an item that does not exist.
OSStatus CopyMenuItemTextAsCFString(MenuRef menu, MenuItemIndex item, CFStringRef* outText);
OSStatus SetMenuItemTextWithCFString(MenuRef menu, MenuItemIndex item, CFStringRef text);
// Inserts an item after `afterItem` (0: at the top; past the end: at the end). A text
// starting with '-' makes a separator.
OSStatus InsertMenuItemTextWithCFString(MenuRef menu, CFStringRef text, MenuItemIndex afterItem,
                                        MenuItemAttributes attributes, MenuCommand command);
void DeleteMenuItem(MenuRef menu, MenuItemIndex item);

void EnableMenuItem(MenuRef menu, MenuItemIndex item);
void DisableMenuItem(MenuRef menu, MenuItemIndex item);
Boolean IsMenuItemEnabled(MenuRef menu, MenuItemIndex item);

// The visible check mark.
void CheckMenuItem(MenuRef menu, MenuItemIndex item, Boolean checked);
Boolean platformIsMenuItemChecked(MenuRef menu, MenuItemIndex item);

// Item properties: byte blocks keyed by (creator, tag). menuPropertyNotFoundErr for an
// absent pair, menuItemNotFoundErr for an item that does not exist.
OSStatus SetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType creator, OSType tag,
                             ByteCount size, const void* data);
OSStatus GetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType creator, OSType tag,
                             ByteCount bufferSize, ByteCount* actualSize, void* buffer);
OSStatus RemoveMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType creator, OSType tag);

// Chooses the item as the user would: its command goes to the application target.
OSStatus platformChooseMenuItem(MenuRef menu, MenuItemIndex item);
