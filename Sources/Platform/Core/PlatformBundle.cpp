#include "PlatformBundle.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace {
std::string testExecutablePath;
}

std::string mainExecutablePath() {
    if (!testExecutablePath.empty()) return testExecutablePath;
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : p.string();
}

std::string mainBundleResourcesPath() {
    std::filesystem::path exe = mainExecutablePath();
    if (exe.empty()) return {};
    auto macos = exe.parent_path();
    auto contents = macos.parent_path();
    if (macos.filename() != "MacOS" || contents.filename() != "Contents") return {};
    return (contents / "Resources").string();
}

void setMainExecutablePathForTesting(const std::string& path) {
    testExecutablePath = path;
}

CFBundleRef CFBundleGetMainBundle() {
    // Made once and never freed: callers do not own it, and a stray CFRelease must not
    // destroy it, hence the extra reference.
    static PlatformBundle* mainBundle = [] {
        auto* b = new PlatformBundle;
        b->refs.fetch_add(1);
        return b;
    }();
    return mainExecutablePath().empty() ? nullptr : mainBundle;
}

CFURLRef platformURLCreateWithPath(const std::string& absolutePath, Boolean isDirectory) {
    if (absolutePath.empty() || absolutePath[0] != '/') return nullptr;
    auto* url = new PlatformURL;
    url->path = absolutePath;
    while (url->path.size() > 1 && url->path.back() == '/')
        url->path.pop_back();
    url->isDirectory = isDirectory;
    return url;
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
    if (!bundle) return nullptr;
    std::string resources = mainBundleResourcesPath();
    if (resources.empty()) return nullptr;
    return platformURLCreateWithPath(resources, true);
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef, CFURLRef url,
                                               CFStringRef pathComponent, Boolean isDirectory) {
    if (!url || !pathComponent) return nullptr;
    std::string component = platformStringUTF8(pathComponent);
    if (component.empty()) return nullptr;
    std::string base = url->path == "/" ? std::string() : url->path;
    return platformURLCreateWithPath(base + "/" + component, isDirectory);
}

Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef) {
    if (!url || !fsRef) return false;
    FSRef found;
    if (FSPathMakeRef(reinterpret_cast<const UInt8*>(url->path.c_str()), &found, nullptr) != noErr)
        return false;
    *fsRef = found;
    return true;
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen) {
    if (!url || !buffer || maxBufLen <= 0) return false;
    if (CFIndex(url->path.size()) + 1 > maxBufLen) return false;
    std::memcpy(buffer, url->path.c_str(), url->path.size() + 1);
    return true;
}
