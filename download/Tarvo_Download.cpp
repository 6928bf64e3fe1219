// Tarvo_Download: loads a firmware image into the enclosure's controller over the
// USB-serial line, reporting on standard output for the updater that runs it. The output
// lines are the updater's interface: their texts are fixed. Exit status is 0 on every path.
#include "rs232.h"
#include "SerialDevices.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

static const unsigned char kWakeByte = 0x1B;
static const char kDownloadCommand[] = "download";
static const char kReadyPrompt[] = "Enter";
static const unsigned char kStartByte = '1';
static const int kBlockSize = 10240;
static const int kBlocksBeforeProgress = 2;

static timespec monotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

static timespec later(timespec t, long milliseconds) {
    t.tv_sec += milliseconds / 1000;
    t.tv_nsec += (milliseconds % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_sec += 1;
        t.tv_nsec -= 1000000000L;
    }
    return t;
}

// An absolute deadline, so a signal that interrupts the sleep cannot make the wait short.
static void sleepUntil(const timespec& deadline) {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

static long long nanos(const timespec& t) {
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

// How late the scheduler wakes the tool, learned over the transfer: each gap's sleep ends
// that much before its deadline and the rest is waited out on the clock, so the gap comes
// as close to 1 ms as the machine allows and is never shorter.
static long long gWakeLead = 0;
static const long long kMaxWakeLead = 50000; // bounds the CPU the final stretch may take

static void sleepUntilPrecisely(const timespec& deadline) {
    long long target = nanos(deadline) - gWakeLead;
    timespec early{time_t(target / 1000000000LL), long(target % 1000000000LL)};
    sleepUntil(early);
    long long late = nanos(monotonicNow()) - target;
    if (late < 4 * kMaxWakeLead) gWakeLead += (late - gWakeLead) / 8;
    if (gWakeLead < 0) gWakeLead = 0;
    if (gWakeLead > kMaxWakeLead) gWakeLead = kMaxWakeLead;
    while (nanos(monotonicNow()) < nanos(deadline)) {
    }
}

static void pauseFor(long milliseconds) {
    sleepUntil(later(monotonicNow(), milliseconds));
}

// A closed standard descriptor would be handed to the port by open, and the report lines
// would then go down the serial line to the controller.
static void holdStandardDescriptors() {
    for (int standard = 0; standard <= 2; ++standard) {
        if (fcntl(standard, F_GETFD) == -1 && errno == EBADF) {
            int null = open("/dev/null", O_RDWR);
            if (null != -1 && null != standard) close(null);
        }
    }
}

// The listing goes to usbserial.cfg for whoever looks at it later; when the working folder
// is read-only the tool goes on with the listing it already holds.
static void writeDeviceList(const std::vector<std::string>& devices) {
    FILE* list = fopen("usbserial.cfg", "w");
    if (!list) return;
    for (const std::string& device : devices)
        fprintf(list, "%s\n", device.c_str());
    fclose(list);
}

static std::string firstWord(const std::vector<std::string>& devices) {
    std::string text;
    for (const std::string& device : devices)
        text += device + "\n";
    size_t start = text.find_first_not_of(" \t\r\n\v\f");
    if (start == std::string::npos) return {};
    size_t end = text.find_first_of(" \t\r\n\v\f", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

static void explainOpenFailure(const std::string& device, int error) {
    if (device.empty()) {
        fprintf(stderr, "Tarvo_Download: no USB-serial device found\n");
    } else if (error == ENAMETOOLONG) {
        fprintf(stderr, "Tarvo_Download: device path %s is longer than %zu characters\n",
                device.c_str(), sizeof(RS232Settings::device) - 1);
    } else if (error == ENOTTY) {
        fprintf(stderr, "Tarvo_Download: %s is not a serial device\n", device.c_str());
    } else if (error == EBUSY) {
        fprintf(stderr, "Tarvo_Download: %s is in use by another program\n", device.c_str());
    } else if (error == EACCES || error == EPERM) {
        struct stat info {};
        const group* owner = stat(device.c_str(), &info) == 0 ? getgrgid(info.st_gid) : nullptr;
        if (owner && info.st_gid != 0) {
            fprintf(stderr,
                    "Tarvo_Download: no permission to open %s; join the group %s "
                    "(sudo usermod -aG %s $USER) and log in again\n",
                    device.c_str(), owner->gr_name, owner->gr_name);
        } else {
            // Joining root's group is no advice to give; serial ports belong to dialout.
            fprintf(stderr,
                    "Tarvo_Download: no permission to open %s, which only root may use; "
                    "give it to the group dialout and join that group\n",
                    device.c_str());
        }
    } else {
        fprintf(stderr, "Tarvo_Download: cannot open %s: %s\n", device.c_str(), strerror(error));
    }
}

// Reads the port byte by byte until "Enter" has come in one run. A byte that breaks a
// partial match is consumed by it, so "EnEnter" is not taken for the prompt. Between empty
// reads the tool sleeps in poll instead of spinning; a line that reports an error or a
// hang-up is retried at a slow pace, as the controller may still come back.
static void waitForReadyPrompt(int port) {
    const int length = static_cast<int>(strlen(kReadyPrompt));
    int position = 0;
    while (position < length) {
        unsigned char byte = 0;
        ssize_t got = read(port, &byte, 1);
        if (got == 1) {
            position =
                byte == static_cast<unsigned char>(kReadyPrompt[position]) ? position + 1 : 0;
            continue;
        }
        pollfd line{port, POLLIN, 0};
        int ready = poll(&line, 1, 20);
        bool dataWaiting = ready == 1 && got == 0 && (line.revents & POLLIN);
        if (ready != 0 && !dataWaiting) pauseFor(20);
    }
}

int main(int argc, char** argv) {
    holdStandardDescriptors();
    // The tool ends as usual when its reader goes away, even if its parent ignored these.
    signal(SIGPIPE, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
#if defined(__linux__)
    // The 1 ms gap after each byte sets the pace; the default 50 us timer slack would
    // stretch every gap.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif

    if (argc < 2 || argv[1][0] == '\0') {
        printf("usage: ./Download <filename>, eg: ./Download _TarvoAllV130.txt\n");
        return 0;
    }

    std::vector<std::string> devices = serialDeviceListing();
    writeDeviceList(devices);
    std::string device = firstWord(devices);

    // Checked before the port is touched, so the controller is never put into download
    // mode for an image that cannot be sent.
    FILE* firmware = fopen(argv[1], "rb");
    struct stat image {};
    if (firmware && fstat(fileno(firmware), &image) == 0 && S_ISDIR(image.st_mode)) {
        // A folder opens for reading here but yields no bytes: that is no image to send.
        fclose(firmware);
        firmware = nullptr;
        errno = EISDIR;
    }
    if (!firmware) {
        fprintf(stderr, "Tarvo_Download: cannot open %s: %s\n", argv[1], strerror(errno));
        printf("Open Firmware File Fail\n");
        return 0;
    }

    RS232Settings settings{};
    ModemLines modemLines{};
    int verbose = 0;
    if (device.size() < sizeof settings.device) {
        memcpy(settings.device, device.c_str(), device.size() + 1);
    } else {
        // A longer path must not be cut short: the shorter name could be another device.
        memset(settings.device, 'x', sizeof settings.device);
    }
    settings.baudRate = 19200;
    settings.dataBits = 8;
    settings.parity = 'N';
    settings.stopBits = 1;
    InitialRS232Settings(&settings, &modemLines, &verbose);

    errno = 0;
    fd = device.empty() ? -1 : rs232_open(&settings);
    if (fd <= 0) {
        explainOpenFailure(device, errno);
        printf("Open USBSerial Device Fail\n");
        return 0;
    }
    rs232_init(fd, &settings, verbose);
    printf("Please wait a moment\n");

    ssize_t ret = write(fd, &kWakeByte, 1);
    if (ret != 1) {
        printf("Send ESC Fail, ret = %d\n", static_cast<int>(ret));
        return 0;
    }
    pauseFor(3000);

    for (const char* c = kDownloadCommand; *c; ++c) {
        ret = write(fd, c, 1);
        if (ret != 1) {
            printf("Send Download Command Fail, ret = %d\n", static_cast<int>(ret));
            return 0;
        }
        pauseFor(5);
    }
    pauseFor(3000);

    waitForReadyPrompt(fd);

    pauseFor(1000);
    ret = write(fd, &kStartByte, 1);
    if (ret != 1) {
        printf("Enter Download mode Fail, ret = %d\n", static_cast<int>(ret));
        return 0;
    }
    pauseFor(1000);

    printf("Start upgrading...\n");
    printf("CAUTION ! DO NOT TURN OFF THE SYSTEM OR INTERRUPT PROGRAM.\n");
    long long bytesSent = 0;
    long long blocksDone = 0;
    // Each gap runs from the moment the previous write returned, so the time spent reading
    // the file and printing the progress line counts towards it instead of adding to it.
    timespec nextByte = monotonicNow();
    for (int c = getc(firmware); c != EOF; c = getc(firmware)) {
        ++bytesSent;
        if (bytesSent % kBlockSize == 0) ++blocksDone;
        if (blocksDone > kBlocksBeforeProgress)
            printf("Transfer %lld Bytes  %lld%%\r", bytesSent, blocksDone - kBlocksBeforeProgress);
        sleepUntilPrecisely(nextByte);
        unsigned char byte = static_cast<unsigned char>(c);
        ret = write(fd, &byte, 1);
        if (ret != 1) {
            printf("Download Firmware Fail, ret = %d\n", static_cast<int>(ret));
            return 0;
        }
        nextByte = later(monotonicNow(), 1);
    }
    // getc gives EOF for a read error too; the image was then not sent whole, and that must
    // never end in the success line.
    if (ferror(firmware)) {
        fprintf(stderr, "Tarvo_Download: cannot read %s: %s\n", argv[1], strerror(errno));
        printf("Download Firmware Fail, ret = -1\n");
        return 0;
    }
    sleepUntilPrecisely(nextByte);

    rs232_close(fd);
    fclose(firmware);
    printf("\n");
    pauseFor(3000);
    pauseFor(10000);
    printf("Upgraded Firmware Successfully\n");
    return 0;
}
