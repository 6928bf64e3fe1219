// Serial-device discovery for the updater and the download tool.
#include "SerialDevices.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <glob.h>
#include <limits.h>
#include <string_view>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

std::vector<std::string> globPaths(const std::string& pattern) {
    std::vector<std::string> paths;
    glob_t matches{};
    if (glob(pattern.c_str(), 0, nullptr, &matches) == 0) {
        for (size_t i = 0; i < matches.gl_pathc; ++i)
            paths.emplace_back(matches.gl_pathv[i]);
    }
    globfree(&matches);
    return paths;
}

std::vector<std::string> folderListing(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

#if defined(__linux__)
// The name of the driver behind a tty, from the sysfs link .../device/driver.
static std::string ttyDriver(const std::string& ttyName) {
    std::string link = "/sys/class/tty/" + ttyName + "/device/driver";
    char target[PATH_MAX];
    ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) return {};
    std::string_view path(target, static_cast<size_t>(length));
    size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Whether the kernel has ftdi_sio available without it being loaded yet: built in, or a
// module that udev will load when an adapter is plugged in.
static bool ftdiModuleInstalled() {
    utsname system{};
    if (uname(&system) != 0) return false;
    std::string base = std::string("/lib/modules/") + system.release + "/";
    for (const char* index : {"modules.builtin", "modules.dep"}) {
        std::ifstream in(base + index);
        std::string line;
        while (std::getline(in, line)) {
            std::string_view entry(line);
            entry = entry.substr(0, entry.find(':'));
            size_t slash = entry.rfind('/');
            std::string_view file =
                slash == std::string_view::npos ? entry : entry.substr(slash + 1);
            if (file.substr(0, file.find('.')) == "ftdi_sio") return true;
        }
    }
    return false;
}
#endif

std::vector<std::string> serialDeviceListing() {
    if (const char* pattern = getenv("QUILLON_SERIAL_DEVICES")) return globPaths(pattern);
#if defined(__APPLE__)
    return globPaths("/dev/cu.usbserial*");
#elif defined(__linux__)
    std::vector<std::string> devices;
    for (const std::string& path : globPaths("/dev/ttyUSB*")) {
        if (ttyDriver(path.substr(path.rfind('/') + 1)) == "ftdi_sio") devices.push_back(path);
    }
    return devices;
#else
    return {};
#endif
}

std::vector<std::string> serialDriverListing() {
    if (const char* folder = getenv("QUILLON_SERIAL_DRIVER")) return folderListing(folder);
#if defined(__APPLE__)
    return folderListing("/System/Library/Extensions/FTDIUSBSerialDriver.kext");
#elif defined(__linux__)
    std::vector<std::string> entries = folderListing("/sys/bus/usb-serial/drivers/ftdi_sio");
    if (entries.empty() && ftdiModuleInstalled()) entries.emplace_back("ftdi_sio");
    return entries;
#else
    return {};
#endif
}
