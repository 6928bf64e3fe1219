// enclosure-sim: a stand-in for the enclosure's controller on a pseudo-terminal, for tests
// and the demo. It links the terminal's slave side at a path the download tool can open,
// plays the controller's side of the exchange (wake byte, "download", the ready prompt,
// the start byte, the image) and checks every image byte against the expected image.
//
// It ends with one summary line on standard output and its exit status:
//   0  the image arrived whole and equal to the expected one (or, with --hangup-after,
//      the bytes up to the hang-up matched)
//   1  anything else the tool sent: a broken handshake, a mismatch, a short or long image
//   2  bad arguments or no pseudo-terminal
//   3  the tool fell silent for --timeout seconds
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

struct Options {
    std::string link;
    std::string expectPath;
    std::string recordPath;
    std::string prompt = "Enter";
    long promptDelayMs = 0;
    long slowMs = 0; // pause between the bytes of the answer
    bool silent = false;
    long hangupAfter = -1;
    double timeoutSeconds = 120;
};

const char kUsage[] =
    "usage: enclosure-sim --link PATH --expect IMAGE [--record FILE] [--prompt TEXT]\n"
    "                     [--prompt-delay MS] [--slow MS] [--silent] [--hangup-after N]\n"
    "                     [--timeout SECONDS]\n"
    "  --link PATH        where the terminal appears (at most 31 characters)\n"
    "  --expect IMAGE     the image the tool should send\n"
    "  --record FILE      write every byte the tool sent, in order\n"
    "  --prompt TEXT      what to answer \"download\" with, noise included (default Enter);\n"
    "                     \\n \\r \\\\ and \\xHH stand for bytes\n"
    "  --prompt-delay MS  wait before answering\n"
    "  --slow MS          answer one byte every MS milliseconds\n"
    "  --silent           never answer\n"
    "  --hangup-after N   hang up the line after N image bytes\n"
    "  --timeout SECONDS  give up when the tool has sent nothing for this long\n"
    "                     (default 120)\n";

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void sleepMs(long ms) {
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) == -1 && errno == EINTR) {
    }
}

bool parseNumber(const char* text, long* value) {
    char* end = nullptr;
    errno = 0;
    long v = strtol(text, &end, 10);
    if (errno || end == text || *end || v < 0) return false;
    *value = v;
    return true;
}

std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        if (c == 'n')
            out += '\n';
        else if (c == 'r')
            out += '\r';
        else if (c == 'x' && i + 2 < text.size() && isxdigit(text[i + 1]) &&
                 isxdigit(text[i + 2])) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

bool parseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        auto value = [&](const char** out) {
            if (i + 1 >= argc) return false;
            *out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (name == "--silent") {
            options->silent = true;
        } else if (name == "--link" && value(&v)) {
            options->link = v;
        } else if (name == "--expect" && value(&v)) {
            options->expectPath = v;
        } else if (name == "--record" && value(&v)) {
            options->recordPath = v;
        } else if (name == "--prompt" && value(&v)) {
            options->prompt = unescape(v);
        } else if (name == "--prompt-delay" && value(&v)) {
            if (!parseNumber(v, &options->promptDelayMs)) return false;
        } else if (name == "--slow" && value(&v)) {
            if (!parseNumber(v, &options->slowMs)) return false;
        } else if (name == "--hangup-after" && value(&v)) {
            if (!parseNumber(v, &options->hangupAfter)) return false;
        } else if (name == "--timeout" && value(&v)) {
            char* end = nullptr;
            options->timeoutSeconds = strtod(v, &end);
            if (end == v || *end || !(options->timeoutSeconds > 0)) return false;
        } else {
            return false;
        }
    }
    return !options->link.empty() && !options->expectPath.empty();
}

bool readFile(const std::string& path, std::vector<unsigned char>* bytes) {
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) return false;
    for (int c = getc(file); c != EOF; c = getc(file))
        bytes->push_back(static_cast<unsigned char>(c));
    bool ok = !ferror(file);
    fclose(file);
    return ok;
}

// The master side of a new pseudo-terminal, its slave set raw and linked at `link`.
int openLine(const std::string& link) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master == -1 || grantpt(master) == -1 || unlockpt(master) == -1) return -1;
    const char* slaveName = ptsname(master);
    if (!slaveName) return -1;
    int slave = open(slaveName, O_RDWR | O_NOCTTY);
    if (slave == -1) return -1;
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    close(slave);
    struct stat existing {};
    if (lstat(link.c_str(), &existing) == 0 && S_ISLNK(existing.st_mode)) unlink(link.c_str());
    if (symlink(slaveName, link.c_str()) == -1) return -1;
    return master;
}

enum class Phase { wake, command, start, image, done };

struct Run {
    Phase phase = Phase::wake;
    size_t commandPosition = 0;
    std::vector<unsigned char> wire;
    size_t imageBytes = 0;
    double firstImageByte = 0;
    double lastImageByte = 0;
    std::string fault; // the first thing that went wrong, empty while all is well
    bool hungUp = false;
    bool timedOut = false;
};

std::string hex(unsigned char byte) {
    char text[8];
    snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

void answer(int master, const Options& options) {
    if (options.promptDelayMs) sleepMs(options.promptDelayMs);
    if (options.slowMs == 0) {
        if (!options.prompt.empty() &&
            write(master, options.prompt.data(), options.prompt.size()) == -1) {
            perror("enclosure-sim: write");
        }
        return;
    }
    for (char c : options.prompt) {
        if (write(master, &c, 1) == -1) perror("enclosure-sim: write");
        sleepMs(options.slowMs);
    }
}

// Takes one byte from the tool; returns false when the run is over.
bool take(Run* run, unsigned char byte, int master, const Options& options,
          const std::vector<unsigned char>& image) {
    static const char kCommand[] = "download";
    run->wire.push_back(byte);
    size_t at = run->wire.size() - 1;
    auto broken = [&](const std::string& expected) {
        run->fault = "handshake broken at wire byte " + std::to_string(at) + ": expected " +
                     expected + ", got " + hex(byte);
        run->phase = Phase::done;
        return false;
    };
    switch (run->phase) {
    case Phase::wake:
        if (byte != 0x1B) return broken("ESC");
        run->phase = Phase::command;
        return true;
    case Phase::command:
        if (byte != static_cast<unsigned char>(kCommand[run->commandPosition]))
            return broken(hex(static_cast<unsigned char>(kCommand[run->commandPosition])));
        if (++run->commandPosition == strlen(kCommand)) {
            run->phase = Phase::start;
            if (!options.silent) answer(master, options);
        }
        return true;
    case Phase::start:
        if (byte != '1') return broken("'1'");
        run->phase = Phase::image;
        if (options.hangupAfter == 0) {
            run->hungUp = true;
            run->phase = Phase::done;
            return false;
        }
        return true;
    case Phase::image:
        break;
    case Phase::done:
        return false;
    }
    double t = now();
    if (run->imageBytes == 0) run->firstImageByte = t;
    run->lastImageByte = t;
    size_t offset = run->imageBytes++;
    if (run->fault.empty()) {
        if (offset >= image.size())
            run->fault = "too long: expected " + std::to_string(image.size()) + " bytes";
        else if (byte != image[offset])
            run->fault = "first mismatch at offset " + std::to_string(offset) + ": expected " +
                         hex(image[offset]) + ", got " + hex(byte);
    }
    if (options.hangupAfter >= 0 && run->imageBytes == size_t(options.hangupAfter)) {
        run->hungUp = true;
        run->phase = Phase::done;
        return false;
    }
    return true;
}

// Reads the line until the tool closes it, the run is over or the tool has been silent
// for the timeout (counted from the last byte, or from the start, or from the answer).
void serve(Run* run, int master, const Options& options, const std::vector<unsigned char>& image) {
    double deadline = now() + options.timeoutSeconds;
    bool connected = false;
    while (run->phase != Phase::done) {
        double left = deadline - now();
        if (left <= 0) {
            run->timedOut = true;
            return;
        }
        pollfd line{master, POLLIN, 0};
        int ready = poll(&line, 1, int(std::min(left * 1000.0, 100.0)) + 1);
        if (ready <= 0) continue;
        unsigned char buffer[4096];
        ssize_t got = (line.revents & POLLIN) ? read(master, buffer, sizeof buffer) : -1;
        if (got > 0) {
            connected = true;
            for (ssize_t i = 0; i < got; ++i)
                if (!take(run, buffer[i], master, options, image)) return;
            deadline = now() + options.timeoutSeconds;
            continue;
        }
        // The slave side is closed: before the tool has spoken it simply is not open yet;
        // afterwards the tool has let go of the line.
        if (connected) return;
        sleepMs(5);
    }
}

std::string verdict(const Run& run, const std::vector<unsigned char>& image) {
    if (!run.fault.empty()) return run.fault;
    if (run.phase != Phase::image && run.phase != Phase::done) return "no start byte";
    if (run.hungUp)
        return "hung up after " + std::to_string(run.imageBytes) + " bytes as asked, match";
    if (run.imageBytes < image.size())
        return "short: expected " + std::to_string(image.size()) + " bytes";
    return "match";
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, &options)) {
        fputs(kUsage, stderr);
        return 2;
    }
    if (options.link.size() > 31) {
        fprintf(stderr, "enclosure-sim: %s is longer than the tool's 31-character device path\n",
                options.link.c_str());
        return 2;
    }
    std::vector<unsigned char> image;
    if (!readFile(options.expectPath, &image)) {
        fprintf(stderr, "enclosure-sim: cannot read %s: %s\n", options.expectPath.c_str(),
                strerror(errno));
        return 2;
    }
    int master = openLine(options.link);
    if (master == -1) {
        fprintf(stderr, "enclosure-sim: cannot set up %s: %s\n", options.link.c_str(),
                strerror(errno));
        return 2;
    }

    Run run;
    serve(&run, master, options, image);
    close(master);
    unlink(options.link.c_str());

    if (!options.recordPath.empty()) {
        FILE* record = fopen(options.recordPath.c_str(), "wb");
        if (!record || fwrite(run.wire.data(), 1, run.wire.size(), record) != run.wire.size() ||
            fclose(record) != 0) {
            fprintf(stderr, "enclosure-sim: cannot write %s\n", options.recordPath.c_str());
            return 2;
        }
    }

    double span = run.lastImageByte - run.firstImageByte;
    double rate = run.imageBytes >= 2 && span > 0 ? double(run.imageBytes - 1) / span : 0;
    std::string result = verdict(run, image);
    printf("enclosure-sim: %zu image bytes received, %s, %.1f bytes/s%s\n", run.imageBytes,
           result.c_str(), rate, run.timedOut ? ", timed out" : "");
    if (run.timedOut) return 3;
    bool good = result == "match" || (run.hungUp && run.fault.empty());
    return good ? 0 : 1;
}
