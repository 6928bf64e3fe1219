#include "PlatformFiles.h"

#include "PlatformBundle.h"
#include "PlatformClock.h"
#include "PlatformStrings.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr UInt32 kRefMagic = fourCC("QfsR");

// The reference's bytes: magic, slot, device, inode; the rest stays zero.
struct RefBody {
    UInt32 magic;
    UInt32 slot;
    UInt64 dev;
    UInt64 ino;
};
static_assert(sizeof(RefBody) <= sizeof(FSRef));

std::mutex tableMutex;
std::vector<std::string> slots;                           // canonical path per slot
std::unordered_map<std::string, UInt32> slotByPath;       // and back
std::vector<UInt64> volumes;                              // st_dev per volume number -1, -2, ...
std::map<std::pair<SInt16, UInt32>, std::string> folders; // (vRefNum, parID) -> folder path
std::map<std::pair<std::string, std::string>, std::string> cutNames; // (folder, spec name) -> name

#ifdef __APPLE__
const char* const kFinderInfoAttribute = "com.apple.FinderInfo";
#else
const char* const kFinderInfoAttribute = "user.quillon.FinderInfo";
#endif

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    if (path == "/") return "";
    return path.substr(path.find_last_of('/') + 1);
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (name.empty()) return folder;
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Absolute path without symlinks, "." or ".."; false when the object does not exist.
bool canonicalPath(const std::string& path, std::string* out, int* err) {
    char buffer[PATH_MAX];
    if (!realpath(path.c_str(), buffer)) {
        *err = errno;
        return false;
    }
    *out = buffer;
    return true;
}

UInt32 slotFor(const std::string& canonical) {
    auto it = slotByPath.find(canonical);
    if (it != slotByPath.end()) return it->second;
    UInt32 slot = UInt32(slots.size());
    slots.push_back(canonical);
    slotByPath.emplace(canonical, slot);
    return slot;
}

OSErr makeRef(const std::string& path, FSRef* ref, struct stat* st = nullptr) {
    std::string canonical;
    int err = 0;
    if (!canonicalPath(path, &canonical, &err)) return errnoToStatus(err);
    struct stat s {};
    if (stat(canonical.c_str(), &s) != 0) return errnoToStatus(errno);
    RefBody body{kRefMagic, 0, UInt64(s.st_dev), UInt64(s.st_ino)};
    {
        std::lock_guard lock(tableMutex);
        body.slot = slotFor(canonical);
    }
    std::memset(ref, 0, sizeof *ref);
    std::memcpy(ref->hidden, &body, sizeof body);
    if (st) *st = s;
    return noErr;
}

// The path behind a reference, checked against the object it was made for.
OSErr resolveRef(const FSRef* ref, std::string* path, struct stat* st) {
    if (!ref) return paramErr;
    RefBody body;
    std::memcpy(&body, ref->hidden, sizeof body);
    if (body.magic != kRefMagic) return paramErr;
    {
        std::lock_guard lock(tableMutex);
        if (body.slot >= slots.size()) return paramErr;
        *path = slots[body.slot];
    }
    if (stat(path->c_str(), st) != 0) return fnfErr;
    if (UInt64(st->st_dev) != body.dev || UInt64(st->st_ino) != body.ino) return fnfErr;
    return noErr;
}

SInt16 volumeFor(UInt64 dev) {
    for (size_t i = 0; i < volumes.size(); ++i)
        if (volumes[i] == dev) return SInt16(-SInt32(i) - 1);
    if (volumes.size() >= 32767) return 0;
    volumes.push_back(dev);
    return SInt16(-SInt32(volumes.size()));
}

// The FSSpec of `name` inside the existing, canonical folder `folder`.
OSErr makeSpec(const std::string& folder, const std::string& name, FSSpec* spec) {
    struct stat s {};
    if (stat(folder.c_str(), &s) != 0) return dirNFErr;
    if (!S_ISDIR(s.st_mode)) return dirNFErr;

    CFStringRef text = platformStringCreateUTF8(name);
    std::u16string_view units = platformStringUnits(text);
    unsigned char macName[64] = {0};
    bool exact = true;
    size_t length = 0;
    for (UniChar unit : units) {
        UInt8 byte = '?';
        if (!unicodeToMacRoman(unit, &byte)) {
            byte = '?';
            exact = false;
        }
        if (length == 63) {
            exact = false;
            break;
        }
        macName[1 + length++] = byte;
    }
    macName[0] = UInt8(length);
    CFRelease(text);

    std::lock_guard lock(tableMutex);
    SInt16 vRefNum = volumeFor(UInt64(s.st_dev));
    if (vRefNum == 0) return ioErr;
    UInt32 parID = UInt32(s.st_ino);
    folders[{vRefNum, parID}] = folder;
    std::string specName(reinterpret_cast<const char*>(macName + 1), length);
    if (!exact) cutNames[{folder, specName}] = name;
    spec->vRefNum = vRefNum;
    spec->parID = SInt32(parID);
    std::memcpy(spec->name, macName, sizeof macName);
    return noErr;
}

// Folder path and real name of an FSSpec; the object itself need not exist.
OSErr specPaths(const FSSpec* spec, std::string* folder, std::string* name) {
    if (!spec) return paramErr;
    std::string specName(reinterpret_cast<const char*>(spec->name + 1),
                         std::min<int>(spec->name[0], 63));
    std::lock_guard lock(tableMutex);
    if (spec->vRefNum >= 0 || size_t(-spec->vRefNum) > volumes.size()) return nsvErr;
    auto it = folders.find({spec->vRefNum, UInt32(spec->parID)});
    if (it == folders.end()) return dirNFErr;
    *folder = it->second;
    auto cut = cutNames.find({*folder, specName});
    if (cut != cutNames.end()) {
        *name = cut->second;
    } else {
        // A Mac Roman name read as UTF-8 for the file system.
        std::u16string units;
        for (char c : specName)
            units.push_back(macRomanToUnicode(UInt8(c)));
        CFStringRef text = platformStringCreate(units);
        *name = platformStringUTF8(text);
        CFRelease(text);
    }
    return noErr;
}

// UTF-8 form of a single file name in UTF-16; false for a name no file can have.
bool unicodeName(UniCharCount length, const UniChar* units, std::string* out) {
    if (!units || length == 0 || length > 255) return false;
    CFStringRef text =
        platformStringCreate(std::u16string_view(reinterpret_cast<const char16_t*>(units), length));
    *out = platformStringUTF8(text);
    CFRelease(text);
    if (*out == "." || *out == "..") return false;
    return out->find('/') == std::string::npos && out->find('\0') == std::string::npos;
}

void readFinderInfo(const std::string& path, FileInfo* info) {
    UInt8 bytes[32] = {0};
#ifdef __APPLE__
    ssize_t n = getxattr(path.c_str(), kFinderInfoAttribute, bytes, sizeof bytes, 0, 0);
#else
    ssize_t n = getxattr(path.c_str(), kFinderInfoAttribute, bytes, sizeof bytes);
#endif
    if (n < 8) return;
    info->fileType =
        (OSType(bytes[0]) << 24) | (OSType(bytes[1]) << 16) | (OSType(bytes[2]) << 8) | bytes[3];
    info->fileCreator =
        (OSType(bytes[4]) << 24) | (OSType(bytes[5]) << 16) | (OSType(bytes[6]) << 8) | bytes[7];
}

void writeFinderInfo(const std::string& path, OSType type, OSType creator) {
    UInt8 bytes[32] = {0};
    for (int i = 0; i < 4; ++i) {
        bytes[i] = UInt8(type >> (24 - 8 * i));
        bytes[4 + i] = UInt8(creator >> (24 - 8 * i));
    }
    // A file system without extended attributes keeps the file but not its type and creator.
#ifdef __APPLE__
    (void)setxattr(path.c_str(), kFinderInfoAttribute, bytes, 32, 0, 0);
#else
    (void)setxattr(path.c_str(), kFinderInfoAttribute, bytes, 8, 0);
#endif
}

std::string preferencesFolderPath() {
    const char* home = std::getenv("HOME");
#ifdef __APPLE__
    if (!home || home[0] != '/') return {};
    return std::string(home) + "/Library/Preferences";
#else
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/Quillon Updater";
    if (!home || home[0] != '/') return {};
    return std::string(home) + "/.config/Quillon Updater";
#endif
}

// mkdir -p with mode 0700 for each folder it makes.
int makeFolders(const std::string& path) {
    struct stat s {};
    if (stat(path.c_str(), &s) == 0) return S_ISDIR(s.st_mode) ? 0 : ENOTDIR;
    if (path != "/") {
        int e = makeFolders(parentOf(path));
        if (e) return e;
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

} // namespace

OSErr errnoToStatus(int e) {
    switch (e) {
    case ENOENT:
        return fnfErr;
    case EEXIST:
        return dupFNErr;
    case EACCES:
    case EPERM:
        return permErr;
    case EROFS:
        return wPrErr;
    case ENOSPC:
    case EDQUOT:
        return dskFulErr;
    case ENAMETOOLONG:
        return bdNamErr;
    case ENOTDIR:
        return dirNFErr;
    default:
        return ioErr;
    }
}


OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize) {
    if (!ref || !path) return paramErr;
    std::string p;
    struct stat st {};
    OSErr err = resolveRef(ref, &p, &st);
    if (err) return err;
    if (p.size() + 1 > maxPathSize) return errFSPathTooLong;
    std::memcpy(path, p.c_str(), p.size() + 1);
    return noErr;
}

OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory) {
    if (!path || !ref) return paramErr;
    struct stat st {};
    OSErr err = makeRef(reinterpret_cast<const char*>(path), ref, &st);
    if (err == noErr && isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return err;
}

OSErr FSPathMakeSpec(const char* path, FSSpec* spec) {
    if (!path || !spec || !path[0]) return paramErr;
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    std::string folder;
    int e = 0;
    if (!canonicalPath(parentOf(p[0] == '/' ? p : "./" + p), &folder, &e)) return dirNFErr;
    std::string name = nameOf(p);
    if (name == "." || name == "..") {
        // Name the folder itself through its own parent.
        std::string self;
        if (!canonicalPath(p, &self, &e)) return errnoToStatus(e);
        return makeSpec(parentOf(self), nameOf(self), spec);
    }
    return makeSpec(folder, name, spec);
}

OSErr FSpGetPaths(const FSSpec* spec, std::string* folder, std::string* name) {
    std::string f, n;
    OSErr err = specPaths(spec, &f, &n);
    if (err) return err;
    if (folder) *folder = f;
    if (name) *name = n;
    return noErr;
}

OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef) {
    std::string path;
    struct stat st {};
    OSErr err = resolveRef(ref, &path, &st);
    if (err) return err;
    std::string folder = parentOf(path);
    std::string name = nameOf(path);

    if (catalogInfo) {
        std::memset(catalogInfo, 0, sizeof *catalogInfo);
        if (whichInfo & kFSCatInfoNodeFlags)
            catalogInfo->nodeFlags = S_ISDIR(st.st_mode) ? kFSNodeIsDirectoryMask : 0;
        if (whichInfo & (kFSCatInfoVolume | kFSCatInfoParentDirID)) {
            FSSpec spec{};
            if (makeSpec(folder, name, &spec) == noErr) {
                if (whichInfo & kFSCatInfoVolume) catalogInfo->volume = spec.vRefNum;
                if (whichInfo & kFSCatInfoParentDirID)
                    catalogInfo->parentDirID = UInt32(spec.parID);
            }
        }
        if (whichInfo & kFSCatInfoNodeID) catalogInfo->nodeID = UInt32(st.st_ino);
        if (whichInfo & kFSCatInfoContentMod)
            catalogInfo->contentModDate = platformDateTimeFromUnix(st.st_mtime);
        if ((whichInfo & kFSCatInfoDataSizes) && !S_ISDIR(st.st_mode)) {
            catalogInfo->dataLogicalSize = UInt64(st.st_size);
            catalogInfo->dataPhysicalSize = UInt64(st.st_blocks) * 512u;
        }
        if ((whichInfo & kFSCatInfoFinderInfo) && S_ISREG(st.st_mode))
            readFinderInfo(path, &catalogInfo->finderInfo);
    }
    if (outName) {
        CFStringRef text = platformStringCreateUTF8(name.empty() ? "/" : name);
        std::u16string_view units = platformStringUnits(text);
        outName->length = UInt16(std::min<size_t>(units.size(), 255));
        std::memcpy(outName->unicode, units.data(), outName->length * sizeof(UniChar));
        CFRelease(text);
    }
    if (fsSpec) {
        err = makeSpec(folder, name, fsSpec);
        if (err) return err;
    }
    if (parentRef) {
        err = makeRef(folder, parentRef);
        if (err) return err;
    }
    return noErr;
}

OSErr FSpMakeFSRef(const FSSpec* spec, FSRef* ref) {
    if (!spec || !ref) return paramErr;
    std::string folder, name;
    OSErr err = specPaths(spec, &folder, &name);
    if (err) return err;
    return makeRef(joinPath(folder, name), ref);
}

OSErr FSMakeFSRefUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                         TextEncoding, FSRef* newRef) {
    if (!parentRef || !name || !newRef) return paramErr;
    std::string folder, fileName;
    struct stat st {};
    OSErr err = resolveRef(parentRef, &folder, &st);
    if (err) return err;
    if (!S_ISDIR(st.st_mode)) return dirNFErr;
    if (!unicodeName(nameLength, name, &fileName)) return bdNamErr;
    return makeRef(joinPath(folder, fileName), newRef);
}

OSErr FSCreateFileUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                          FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo,
                          FSRef* newRef, FSSpec* newSpec) {
    if (!parentRef || !name) return paramErr;
    std::string folder, fileName;
    struct stat st {};
    OSErr err = resolveRef(parentRef, &folder, &st);
    if (err) return err;
    if (!S_ISDIR(st.st_mode)) return dirNFErr;
    if (!unicodeName(nameLength, name, &fileName)) return bdNamErr;
    std::string path = joinPath(folder, fileName);
    int fd = open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return errnoToStatus(errno);
    close(fd);
    if ((whichInfo & kFSCatInfoFinderInfo) && catalogInfo)
        writeFinderInfo(path, catalogInfo->finderInfo.fileType,
                        catalogInfo->finderInfo.fileCreator);
    if (newRef && (err = makeRef(path, newRef)) != noErr) return err;
    if (newSpec && (err = makeSpec(folder, fileName, newSpec)) != noErr) return err;
    return noErr;
}

OSErr GetProcessInformation(const ProcessSerialNumber* psn, ProcessInfoRec* info) {
    if (!psn || !info || info->processInfoLength == 0) return paramErr;
    if (psn->highLongOfPSN != 0 || psn->lowLongOfPSN != kCurrentProcess) return paramErr;
    std::string exe = mainExecutablePath();
    std::string canonical;
    int e = 0;
    if (exe.empty() || !canonicalPath(exe, &canonical, &e)) return fnfErr;
    info->processNumber = *psn;
    info->processType = fourCC("APPL");
    info->processSignature = fourCC("????");
    info->processMode = 0;
    std::string name = nameOf(canonical);
    if (info->processName) {
        size_t n = std::min<size_t>(name.size(), 255);
        info->processName[0] = UInt8(n);
        std::memcpy(info->processName + 1, name.data(), n);
    }
    if (info->processAppSpec) return makeSpec(parentOf(canonical), name, info->processAppSpec);
    return noErr;
}

OSErr FSFindFolder(SInt16, OSType folderType, Boolean createFolder, FSRef* foundRef) {
    if (!foundRef) return paramErr;
    if (folderType != kPreferencesFolderType) return fnfErr;
    std::string path = preferencesFolderPath();
    if (path.empty()) return fnfErr;
    if (createFolder) {
        int e = makeFolders(path);
        if (e) return errnoToStatus(e);
    }
    return makeRef(path, foundRef);
}
