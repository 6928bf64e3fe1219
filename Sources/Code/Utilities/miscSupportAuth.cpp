#include "miscSupport.h"

#include "PlatformAuth.h"
#include "PlatformBundle.h"

#include <cstring>
#include <string_view>
#include <unistd.h>

namespace {

constexpr CFIndex kToolPathSize = 1024;

// Kept for the whole run: every request after the first goes through the same authorization.
AuthorizationRef authorizationRef = nullptr;

// A tool's name may lead into a subfolder of the resources folder but never out of it: the
// tool runs as root.
bool staysInside(CFStringRef toolName) {
    std::u16string_view name = platformStringUnits(toolName);
    if (name.empty() || name.front() == u'/') return false;
    size_t start = 0;
    for (;;) {
        size_t end = name.find(u'/', start);
        if (name.substr(start, end == name.npos ? name.npos : end - start) == u"..") return false;
        if (end == name.npos) return true;
        start = end + 1;
    }
}

} // namespace

bool pathForTool(CFStringRef toolName, char* path) {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (!bundle) return false;
    CFURLRef url = CFBundleCopyResourcesDirectoryURL(bundle);
    if (!url) return false;
    if (toolName) {
        CFURLRef tool = staysInside(toolName)
                            ? CFURLCreateCopyAppendingPathComponent(nullptr, url, toolName, false)
                            : nullptr;
        CFRelease(url);
        if (!tool) return false;
        url = tool;
    }
    Boolean formed =
        CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(path), kToolPathSize);
    CFRelease(url);
    if (!formed) {
        path[0] = 0;
        return false;
    }
    return access(path, X_OK) == 0;
}

OSStatus askPassword(CFStringRef toolName, char** parms, FILE** pipe) {
    char path[kToolPathSize];
    std::memset(path, 0, sizeof path);
    if (toolName)
        pathForTool(toolName, path); // a tool that cannot run is reported by the platform
    else
        std::strcpy(path, "nill"); // names no program: only the rights are asked for

    char* noArguments[] = {nullptr};
    char** arguments = parms ? parms : noArguments;

    if (!authorizationRef)
        AuthorizationCreate(nullptr, nullptr, kAuthorizationFlagDefaults, &authorizationRef);

    OSStatus status = AuthorizationExecuteWithPrivileges(
        authorizationRef, path, kAuthorizationFlagDefaults, arguments, pipe);
    if (status == errAuthorizationToolExecuteFailure && !toolName) return noErr;
    return status;
}
