// The numbered string lists, kept in a plain text file of the bundle (format in
// PlatformStrings.h) and read once.
#include "PlatformBundle.h"
#include "PlatformStrings.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex gLock;
bool gLoaded = false;
std::string gTestPath;
std::map<long, std::vector<std::string>> gLists; // texts as Mac Roman bytes

std::string toMacRoman(const std::string& utf8) {
    CFStringRef s = platformStringCreateUTF8(utf8);
    Str255 p;
    // A text Mac Roman cannot hold whole keeps what it can ('?' for the rest).
    CFStringGetPascalString(s, p, sizeof p, kCFStringEncodingMacRoman);
    CFRelease(s);
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

void load() {
    gLists.clear();
    std::string path = gTestPath;
    if (path.empty()) {
        std::string res = mainBundleResourcesPath();
        if (res.empty()) return;
        path = res + "/StringLists.txt";
    }
    std::ifstream in(path);
    std::vector<std::string>* list = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[' && line.back() == ']' && line.size() > 2) {
            std::string num = line.substr(1, line.size() - 2);
            char* end = nullptr;
            long id = std::strtol(num.c_str(), &end, 10);
            if (end && *end == 0) {
                list = &gLists[id];
                list->clear();
                continue;
            }
        }
        if (!list) continue; // text before the first list header belongs to no list
        if (line[0] == '\\') line.erase(0, 1);
        list->push_back(toMacRoman(line));
    }
}

} // namespace

void GetIndString(StringPtr str, SInt16 listID, SInt16 index) {
    if (!str) return;
    str[0] = 0;
    std::lock_guard<std::mutex> guard(gLock);
    if (!gLoaded) {
        load();
        gLoaded = true;
    }
    auto it = gLists.find(listID);
    if (it == gLists.end() || index < 1 || size_t(index) > it->second.size()) return;
    const std::string& text = it->second[size_t(index) - 1];
    str[0] = UInt8(text.size());
    std::copy(text.begin(), text.end(), str + 1);
}

void setStringListPathForTesting(const std::string& path) {
    std::lock_guard<std::mutex> guard(gLock);
    gTestPath = path;
    gLoaded = false;
}
