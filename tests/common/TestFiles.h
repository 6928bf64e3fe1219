// Whole-file reads and writes for the tests' fixtures.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// The file's bytes; "" when it is missing or unreadable.
inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes `bytes` as the whole file, making its folder first when needed.
inline void writeFile(const std::filesystem::path& p, const std::string& bytes) {
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}
