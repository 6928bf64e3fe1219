// The application's preferences: the keys it keeps in its domain and the phone-number
// command lists that menu 134 shows. No part of the update calls these; they keep the menu
// state of builds that have those menus.
#pragma once

#include "PlatformCollections.h"
#include "PlatformStrings.h"

// The preferences domain: "Unknown" until getPrefs has found the application's name.
extern CFStringRef appName;
extern CFStringRef phoneNosKey; // "PhoneNos": the command lists, an array of arrays
extern CFStringRef phoneNoKey;  // "PhoneNo": text of the checked phone-number item
extern CFStringRef modemKey;    // "menuModem": text of the checked item of menu 133
extern CFStringRef optionsKey;  // "menuOptions": reserved

// One command list per phone-number item of menu 134; element 0 is the item's text.
constexpr int kMaxPhoneNos = 20;
extern CFMutableArrayRef phoneNoCmds[kMaxPhoneNos];

// Installs the default preferences file when the user has none, takes the application's name
// as the domain, reads the command lists into phoneNoCmds, inserts their items at the top of
// menu 134 and restores the check marks of menus 133 to 135. Reports nothing: what is
// missing or unreadable leaves the menus as they are.
void getPrefs();

// Stores the check marks of menus 133 to 135, the chosen modem and phone number and the
// command lists of the phone-number items, and writes the domain out.
void savePrefs();
