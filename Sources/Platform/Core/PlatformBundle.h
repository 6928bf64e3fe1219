// Where the running application's bundle lies, and the bundle and URL objects over it. The
// bundle has the same shape on every platform: <name>.app/Contents/MacOS/<executable> and
// <name>.app/Contents/Resources/. The main bundle is found from the running executable.
// URLs here are file URLs only: an absolute POSIX path and whether it names a folder.
// Bundle and URL objects derive from PlatformObject and are released with CFRelease.
#pragma once

#include "PlatformFiles.h"
#include "PlatformStrings.h"
#include "PlatformTypes.h"

#include <string>

// Absolute path of the running executable ("" when the platform cannot tell).
std::string mainExecutablePath();

// Absolute path of the main bundle's Resources folder, or "" when the running executable does
// not sit in a bundle's Contents/MacOS folder.
std::string mainBundleResourcesPath();

// Tests: make the process look as if its executable were at `path` ("" restores the real one).
void setMainExecutablePathForTesting(const std::string& path);

struct PlatformBundle : PlatformObject {};
using CFBundleRef = PlatformBundle*;

struct PlatformURL : PlatformObject {
    std::string path; // absolute, without a trailing '/' (except the root folder)
    bool isDirectory = false;
};
using CFURLRef = const PlatformURL*;

// The application's bundle: one object for the life of the process, not to be released.
// Null when the running executable cannot be told.
CFBundleRef CFBundleGetMainBundle();

// New URL of the bundle's Resources folder, from where the executable is now (tests may move
// it). Null for a null bundle or an executable outside a bundle's Contents/MacOS folder.
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);

// New URL of a file path ("" or relative paths give null).
CFURLRef platformURLCreateWithPath(const std::string& absolutePath, Boolean isDirectory);

// New URL of `url` with `pathComponent` appended. A '/' inside the component reaches into
// subfolders. Null for a null URL or an empty or null component. The allocator is ignored.
CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, CFURLRef url,
                                               CFStringRef pathComponent, Boolean isDirectory);

// True, with *fsRef filled in, only when the object at the URL exists.
Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef);

// The URL's POSIX path as zero-terminated UTF-8 into buffer[0..maxBufLen-1]. False for null
// arguments or when path and terminator do not fit (nothing is written then). URLs are
// always absolute here, so resolveAgainstBase changes nothing.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxBufLen);
