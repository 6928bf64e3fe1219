// The per-user preferences store: values by key in named domains (an application's domain is
// its name). Each domain is one property-list file, `<domain>.plist`, in the current user's
// preferences folder (the folder FSFindFolder gives for kPreferencesFolderType). Values are
// strings and arrays of strings and of arrays; the file is read through libplist (XML or
// binary) and written as XML.
//
// A domain is read on first use and read again whenever its file has changed on disk;
// values set since the last synchronize lie over what the file holds and are merged into it
// when the domain is written out, so keys that this program does not know are kept. A file
// that cannot be read or parsed is reported on stderr and left exactly as it is: the domain
// then reads as empty (or as it was last read) and is not written out. A write goes to a
// temporary file in the same folder that is then renamed over the old file, so a crash in
// the middle leaves either the old file or the new one.
//
// Main thread only.
#pragma once

#include "PlatformCollections.h"
#include "PlatformStrings.h"
#include "PlatformTypes.h"

#include <string>

using CFPropertyListRef = CFTypeRef;

// A new reference to the value of `key` in domain `applicationID` (the caller releases it),
// or null when there is none, when the stored value is of a kind this store does not hold,
// or when the arguments are null or name no valid domain (empty, ".", "..", or with '/').
CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID);

// Sets `key` to a copy of `value` (a string, or an array of strings and arrays), or removes
// it when `value` is null. The change is kept in memory until CFPreferencesAppSynchronize.
// A value of another kind is reported on stderr and not stored; invalid arguments are
// ignored.
void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID);

// Writes the domain's changes out (creating the preferences folder when missing). True when
// the file on disk holds them, or when there was nothing to write; false when the file could
// not be parsed (it is left alone), the write failed, or the domain is invalid. Changes that
// were not written stay pending.
Boolean CFPreferencesAppSynchronize(CFStringRef applicationID);

// The file that holds `domain` ("" for an invalid domain or when there is no preferences
// folder).
std::string platformPreferencesFile(const std::string& domain);

// Tests: forget every domain read and every change not written, so that the next use reads
// the files again (after the test has changed HOME or XDG_CONFIG_HOME, for example).
void resetPreferencesForTesting();
