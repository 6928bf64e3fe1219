#include "PlatformBundle.h"

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

void setMainExecutablePathForTesting(const std::string& path) { testExecutablePath = path; }
