// Where the running application's bundle lies. The bundle has the same shape on every
// platform: <name>.app/Contents/MacOS/<executable> and <name>.app/Contents/Resources/.
#pragma once

#include <string>

// Absolute path of the running executable ("" when the platform cannot tell).
std::string mainExecutablePath();

// Absolute path of the main bundle's Resources folder, or "" when the running executable does
// not sit in a bundle's Contents/MacOS folder.
std::string mainBundleResourcesPath();

// Tests: make the process look as if its executable were at `path` ("" restores the real one).
void setMainExecutablePathForTesting(const std::string& path);
