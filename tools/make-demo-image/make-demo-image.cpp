// Writes a demonstration image for the bundle when no real firmware image is configured: a
// banner that says what it is, then a counting pattern, cut to the size asked for. It is
// not firmware; it exists so that the updater and the tool can run end to end.
//   make-demo-image <output file> <size in bytes>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-demo-image <output file> <size in bytes>\n");
        return 2;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long long size = std::strtoull(argv[2], &end, 10);
    if (errno || !end || *end || argv[2][0] == '-') {
        std::fprintf(stderr, "make-demo-image: bad size \"%s\"\n", argv[2]);
        return 2;
    }
    std::string text = "QUILLON DEMO IMAGE - NOT FIRMWARE - DO NOT SEND TO A REAL ENCLOSURE\n";
    for (unsigned long line = 0; text.size() < size; ++line) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "demo line %08lu 0123456789ABCDEF\n", line);
        text += buffer;
    }
    text.resize(size);
    std::string temporary = std::string(argv[1]) + ".tmp";
    FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "make-demo-image: cannot write %s: %s\n", temporary.c_str(),
                     std::strerror(errno));
        return 1;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    ok = std::fclose(out) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), argv[1]) != 0) {
        std::fprintf(stderr, "make-demo-image: cannot write %s\n", argv[1]);
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
