#include "fileSupport.h"

#include "PlatformBundle.h"
#include "PlatformStrings.h"
#include "stringSupport.h"

#include <cstring>
#include <string>

bool getResourceFileFSRef(const unsigned char* fileName, FSRef* ref) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle) return false;
    CFURLRef url = CFBundleCopyResourcesDirectoryURL(bundle);
    if (!url) return false;
    if (fileName) {
        unsigned char name[256];
        std::memcpy(name, fileName, size_t(fileName[0]) + 1);
        for (int i = 1; i <= name[0]; ++i)
            if (name[i] == ':') name[i] = '/';
        CFStringRef component =
            CFStringCreateWithPascalString(kCFAllocatorDefault, name, kCFStringEncodingMacRoman);
        if (component) {
            CFURLRef fileURL =
                CFURLCreateCopyAppendingPathComponent(kCFAllocatorDefault, url, component, false);
            CFRelease(component);
            CFRelease(url);
            url = fileURL;
        }
    }
    if (!url) return false;
    bool found = ref && CFURLGetFSRef(url, ref);
    CFRelease(url);
    return found;
}

OSErr getAppFSS(FSSpec* spec) {
    ProcessSerialNumber psn{0, kCurrentProcess};
    ProcessInfoRec info{};
    info.processInfoLength = 60;
    info.processName = nullptr;
    info.processAppSpec = spec;
    return GetProcessInformation(&psn, &info);
}

FSRef* getAppRef() {
    static FSRef appRef;
    static FSRef* theRef = nullptr;
    if (!theRef) {
        FSSpec spec{};
        getAppFSS(&spec);
        if (FSpMakeFSRef(&spec, &appRef) == noErr) theRef = &appRef;
    }
    return theRef;
}

FSRef* getBundleRef() {
    static FSRef bundleRef;
    static FSRef* theRef = nullptr;
    if (!theRef) {
        FSRef* app = getAppRef();
        if (!app) return nullptr;
        OSErr err = FSGetCatalogInfo(app, kFSCatInfoNone, nullptr, nullptr, nullptr, &bundleRef);
        for (int level = 2; level <= 4 && err == noErr; ++level)
            err =
                FSGetCatalogInfo(&bundleRef, kFSCatInfoNone, nullptr, nullptr, nullptr, &bundleRef);
        if (err == noErr) theRef = &bundleRef;
    }
    return theRef;
}

OSErr FSCreateFile(const FSRef* pref, const unsigned char* name, OSType type, OSType creator,
                   FSRef* ref, Boolean replace) {
    if (!pref || !name || !ref) return paramErr;
    HFSUniStr255 uname{};
    _pStrToUniStr(name, &uname);
    return FSCreateFile(pref, &uname, type, creator, ref, replace);
}

OSErr FSCreateFile(const FSRef* pref, HFSUniStr255* uname, OSType type, OSType creator, FSRef* ref,
                   Boolean replace) {
    if (!pref || !uname || !ref) return paramErr;
    FSCatalogInfo info{};
    info.finderInfo.fileType = type;
    info.finderInfo.fileCreator = creator;
    OSErr err = FSCreateFileUnicode(pref, uname->length, uname->unicode, kFSCatInfoFinderInfo,
                                    &info, ref, nullptr);
    if (err == dupFNErr && replace)
        err = FSMakeFSRefUnicode(pref, uname->length, uname->unicode, 0, ref);
    return err;
}

void navEvtProc(NavEventCallbackMessage, NavCBRecPtr, void*) {}

namespace {

CFStringRef copyPascal(const unsigned char* text) {
    return text ? CFStringCreateWithPascalString(kCFAllocatorDefault, text,
                                                 kCFStringEncodingMacRoman)
                : nullptr;
}

// Where a dialog starts: the folder and name of *spec when its name is not empty.
void startingPoint(const FSSpec* spec, std::string* folder, std::string* name) {
    if (spec->name[0] == 0) return;
    if (FSpGetPaths(spec, folder, name) != noErr) {
        // A spec from elsewhere: its folder is unknown, its name can still be offered.
        CFStringRef text = copyPascal(spec->name);
        *name = platformStringUTF8(text);
        if (text) CFRelease(text);
    }
}

OSErr runDialog(bool save, const unsigned char* title, const unsigned char* prompt, FSSpec* spec) {
    std::string folder, name, chosen;
    startingPoint(spec, &folder, &name);
    CFStringRef cfTitle = copyPascal(title);
    CFStringRef cfPrompt = copyPascal(prompt);
    OSStatus err = save ? NavPutFileNamed(cfTitle, cfPrompt, folder, name, &chosen)
                        : NavChooseFile(cfTitle, cfPrompt, folder, name, &chosen);
    if (cfTitle) CFRelease(cfTitle);
    if (cfPrompt) CFRelease(cfPrompt);
    if (err == noErr) err = FSPathMakeSpec(chosen.c_str(), spec);
    return OSErr(err);
}

} // namespace

OSErr navChooseFile(const unsigned char* title, const unsigned char* prompt, Boolean save,
                    FSSpec* spec) {
    (void)save; // only the callback would see it, and this platform's dialogs call none
    if (!spec) return paramErr;
    return runDialog(false, title, prompt, spec);
}

OSErr navSaveFile(const unsigned char* title, const unsigned char* prompt, OSType, OSType,
                  FSSpec* spec) {
    if (!spec) return paramErr;
    return runDialog(true, title, prompt, spec);
}
