#include "PlatformGestalt.h"

#include <algorithm>
#include <cstdio>
#include <sys/utsname.h>

OSErr Gestalt(OSType selector, SInt32* response) {
    if (!response)
        return paramErr;
    if (selector != gestaltSystemVersion)
        return gestaltUndefSelectorErr;
    utsname u{};
    if (uname(&u) != 0)
        return gestaltUndefSelectorErr;
    int major = 0, minor = 0, patch = 0;
    if (std::sscanf(u.release, "%d.%d.%d", &major, &minor, &patch) < 1 || major < 0)
        return gestaltUndefSelectorErr;
    major = std::min(major, 99);
    minor = std::clamp(minor, 0, 9);
    patch = std::clamp(patch, 0, 9);
    *response = SInt32(((major / 10) << 12) | ((major % 10) << 8) | (minor << 4) | patch);
    return noErr;
}
