// File references, FSSpec records and catalog information over the POSIX file system,
// the current process's own file, and the user's preferences folder.
//
// FSRef: 80 opaque bytes naming an object that existed when the reference was made. Inside
// are a slot number into a process-wide table of canonical (symlink-free, absolute) paths and
// the object's device and inode. Every use checks the path again with stat(): an object that
// vanished, or was replaced under the same path by one with another inode, gives fnfErr.
// (A file system may hand a freed inode number to the next new file; such a replacement
// cannot be told apart.) References stay valid for the life of the process (the table is never
// shrunk); the same object always gets byte-identical references, so they can be compared with
// memcmp.
//
// FSSpec: vRefNum is a volume number handed out by this process for each st_dev it meets
// (-1, -2, ... in order of first use), parID is the low 32 bits of the parent folder's inode,
// and name is the object's name in Mac Roman. A name that does not fit (longer than 63 bytes,
// or with characters Mac Roman lacks) is cut to 63 bytes with '?' for missing characters;
// the process remembers which real name such a spec stands for. An FSSpec can therefore be
// turned back into an FSRef (FSpMakeFSRef) only in the process that made it; a spec of an
// object that does not exist yet (a save dialog's answer) names its existing parent folder.
//
// Finder type and creator: kept in the extended attribute "user.quillon.FinderInfo" (8 bytes:
// type, then creator, each most significant byte first). On a file system without extended
// attributes the file is still created; its type and creator then read back as 0.
#pragma once

#include "PlatformTypes.h"

#include <string>

// Status codes of the file layer beyond those in PlatformTypes.h.
enum : OSStatus {
    dskFulErr = -34,
    bdNamErr = -37,
    wPrErr = -44,
    dirNFErr = -120,
    nsvErr = -35,
    errFSPathTooLong = -2110,
};

// The file layer's status for a POSIX errno value (ioErr for the ones it does not name).
OSErr errnoToStatus(int error);

using FSCatalogInfoBitmap = UInt32;
enum : FSCatalogInfoBitmap {
    kFSCatInfoNone = 0,
    kFSCatInfoNodeFlags = 0x00000002,
    kFSCatInfoVolume = 0x00000008,
    kFSCatInfoParentDirID = 0x00000010,
    kFSCatInfoNodeID = 0x00000020,
    kFSCatInfoContentMod = 0x00000040,
    kFSCatInfoFinderInfo = 0x00000800,
    kFSCatInfoDataSizes = 0x00004000,
    kFSCatInfoGettableInfo = 0x0003FFFF,
};

// nodeFlags bit: the object is a folder.
enum : UInt16 { kFSNodeIsDirectoryMask = 0x0010 };

// Finder information of a file: only type and creator carry meaning here.
struct FileInfo {
    OSType fileType;
    OSType fileCreator;
    UInt16 finderFlags;
    Point location;
    UInt16 reservedField;
};

// The catalog facts the modules ask for. Fields not requested by the bitmap are left zero.
struct FSCatalogInfo {
    UInt16 nodeFlags;        // kFSNodeIsDirectoryMask for a folder
    SInt16 volume;           // as FSSpec::vRefNum
    UInt32 parentDirID;      // as FSSpec::parID
    UInt32 nodeID;           // low 32 bits of the inode
    UInt32 contentModDate;   // local seconds since 1904
    UInt64 dataLogicalSize;  // st_size of a file, 0 for a folder
    UInt64 dataPhysicalSize; // allocated bytes
    FileInfo finderInfo;     // type and creator from the extended attribute
};

// Text encoding hint of the Unicode name calls; ignored (names are UTF-16).
constexpr TextEncoding kTextEncodingUnknown = 0xFFFF;
using UniCharCount = unsigned long;

// POSIX path of the object as zero-terminated UTF-8 into path[0..maxPathSize-1].
// paramErr for a null argument or a reference this layer did not make, fnfErr when the object
// is gone, errFSPathTooLong when path and terminator do not fit (nothing is cut).
OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize);

// Reference of an existing object at a POSIX path. paramErr for null, fnfErr when missing,
// the mapped errno otherwise. (The URL layer's CFURLGetFSRef is built on it.)
OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory);

// The FSSpec of `path`, whose parent folder must exist; the object itself need not (a
// file about to be saved). paramErr for null, dirNFErr when the parent folder is missing.
OSErr FSPathMakeSpec(const char* path, FSSpec* spec);

// The parent folder's POSIX path and the real (not cut) name of an FSSpec made by this
// process; either output may be null. Errors as FSpMakeFSRef, except that the named object
// need not exist.
OSErr FSpGetPaths(const FSSpec* spec, std::string* folder, std::string* name);

// Catalog information of `ref`: each output may be null. `whichInfo` selects the fields of
// `catalogInfo`; `outName` gets the object's name in UTF-16, `fsSpec` its FSSpec and
// `parentRef` the folder holding it (the root folder is its own parent). paramErr for a null
// or foreign ref, fnfErr when the object is gone.
OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef);

// Reference of the object an FSSpec names. paramErr for null, nsvErr for a volume
// number this process did not hand out, dirNFErr for an unknown parent, fnfErr when the named
// object does not exist.
OSErr FSpMakeFSRef(const FSSpec* spec, FSRef* ref);

// Reference of the existing object `name` inside the folder `parentRef`. paramErr for null
// arguments, bdNamErr for an empty name, ".", "..", or one holding '/' or NUL, fnfErr when missing.
OSErr FSMakeFSRefUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                         TextEncoding textEncodingHint, FSRef* newRef);

// Creates the empty file `name` in `parentRef` (mode 0666 less the umask). With
// kFSCatInfoFinderInfo in `whichInfo`, type and creator come from catalogInfo->finderInfo.
// newRef and newSpec may be null. dupFNErr when the name exists (the object is left alone),
// bdNamErr for a bad name as above, paramErr for null parent or name, else the mapped errno.
OSErr FSCreateFileUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                          FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo,
                          FSRef* newRef, FSSpec* newSpec);

// The current process.
struct ProcessSerialNumber {
    UInt32 highLongOfPSN;
    UInt32 lowLongOfPSN;
};
enum : UInt32 { kCurrentProcess = 2 };

// What GetProcessInformation fills in. The caller sets processInfoLength (any nonzero value)
// and, where it wants them, processName (a Str255 buffer) and processAppSpec.
struct ProcessInfoRec {
    UInt32 processInfoLength;
    StringPtr processName; // the executable's name as a Pascal string, when not null
    ProcessSerialNumber processNumber;
    UInt32 processType;      // 'APPL'
    OSType processSignature; // '????'
    UInt32 processMode;
    FSSpec* processAppSpec; // the running executable's file, when not null
};

// Only the current process can be asked about: paramErr for a null record, a zero length or
// another serial number; fnfErr when the platform cannot tell the running executable.
OSErr GetProcessInformation(const ProcessSerialNumber* psn, ProcessInfoRec* info);

// Folder lookup. Only the user's preferences folder is known:
//   Linux and others: $XDG_CONFIG_HOME/Quillon Updater, or ~/.config/Quillon Updater when
//   XDG_CONFIG_HOME is unset or not absolute; macOS: ~/Library/Preferences.
// With createFolder set the folder (and missing parents, mode 0700) is created when missing.
// fnfErr for another folder type, a missing folder without createFolder, or no home folder;
// the mapped errno when it cannot be created.
enum : SInt16 { kOnAppropriateDisk = -32767, kUserDomain = -32763 };
constexpr OSType kPreferencesFolderType = fourCC("pref");
OSErr FSFindFolder(SInt16 vRefNum, OSType folderType, Boolean createFolder, FSRef* foundRef);
