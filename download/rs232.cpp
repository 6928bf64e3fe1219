// The serial port layer of the download tool.
#include "rs232.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

struct termios rs232_attr;
int fd;

static int systemIoctl(int descriptor, unsigned long request, int* lineBits) {
    return ioctl(descriptor, request, lineBits);
}

int (*rs232_ioctl)(int, unsigned long, int*) = systemIoctl;

void InitialRS232Settings(RS232Settings* settings, ModemLines* modemLines, int* verbose) {
    settings->xonXoff = 0;
    settings->rtsCts = 0;
    modemLines->dtr = 1;
    modemLines->rts = 0;
    *verbose = 0;
}

int rs232_open(const RS232Settings* settings) {
    if (memchr(settings->device, '\0', sizeof settings->device) == nullptr) {
        errno = ENAMETOOLONG;
        return -1;
    }
    // O_NOCTTY: the port must never become our controlling terminal, or a hang-up would
    // kill the tool with SIGHUP before it could report the failed write. O_NONBLOCK only
    // for the open itself, so that a line without carrier cannot hold it up; it is cleared
    // again below, since the writes are meant to block.
    int descriptor = open(settings->device, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0) return -1;
    int flags = fcntl(descriptor, F_GETFL);
    if (flags == -1 || fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        int saved = errno;
        close(descriptor);
        errno = saved;
        return -1;
    }
    // A second program writing to the line while the image goes out would corrupt it.
    if (flock(descriptor, LOCK_EX | LOCK_NB) == -1 || ioctl(descriptor, TIOCEXCL) == -1) {
        int saved = errno == EWOULDBLOCK ? EBUSY : errno;
        close(descriptor);
        errno = saved;
        return -1;
    }
    return descriptor;
}

int setBaudRate(struct termios* attributes, int rate) {
    static const struct {
        int rate;
        speed_t code;
    } kSpeeds[] = {
        {50, B50},         {75, B75},         {110, B110},     {134, B134},     {150, B150},
        {200, B200},       {300, B300},       {600, B600},     {1200, B1200},   {2400, B2400},
        {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400}, {57600, B57600},
        {115200, B115200}, {230400, B230400},
    };
    for (const auto& speed : kSpeeds) {
        if (speed.rate == rate) {
            cfsetispeed(attributes, speed.code);
            cfsetospeed(attributes, speed.code);
            return 1;
        }
    }
    fprintf(stderr, "error: unsupported baud rate[%d]\n", rate);
    return 0;
}

int setDataBits(struct termios* attributes, int bits) {
    switch (bits) {
    case 5:
        attributes->c_cflag |= CS5;
        return 1;
    case 6:
        attributes->c_cflag |= CS6;
        return 1;
    case 7:
        attributes->c_cflag |= CS7;
        return 1;
    case 8:
        attributes->c_cflag |= CS8;
        return 1;
    }
    fputs("error: unsupported character size\n", stderr);
    return 0;
}

int setParity(struct termios* attributes, char letter) {
    switch (toupper(static_cast<unsigned char>(letter))) {
    case 'N':
        return 1;
    case 'E':
        attributes->c_cflag |= PARENB;
        return 1;
    case 'O':
        attributes->c_cflag |= PARENB | PARODD;
        return 1;
    }
    fputs("error: unsupported parity mode\n", stderr);
    return 0;
}

int setStopBits(struct termios* attributes, int count) {
    switch (count) {
    case 1:
        return 1;
    case 2:
        attributes->c_cflag |= CSTOPB;
        return 1;
    }
    fputs("error: unsupported number of stop bits\n", stderr);
    return 0;
}

int setFlowCtl(struct termios* attributes, int xonXoff, int rtsCts) {
    if (xonXoff) attributes->c_iflag |= IXON | IXOFF;
    if (rtsCts) attributes->c_cflag |= CRTSCTS;
    return 1;
}

int rs232_init(int descriptor, const RS232Settings* settings, int verbose) {
    if (verbose)
        printf("%d %d%c%d ", settings->baudRate, settings->dataBits, settings->parity,
               settings->stopBits);
    // Rebuilt from nothing each time, so no setting of an earlier user of the port leaks
    // in; the speeds alone carry over, as only setBaudRate writes them.
    rs232_attr.c_iflag = IGNPAR;
    rs232_attr.c_oflag = 0;
    rs232_attr.c_lflag = 0;
    rs232_attr.c_cflag = CREAD | CLOCAL;
    if (!setBaudRate(&rs232_attr, settings->baudRate)) Abort(descriptor);
    if (!setDataBits(&rs232_attr, settings->dataBits)) Abort(descriptor);
    if (!setParity(&rs232_attr, settings->parity)) Abort(descriptor);
    if (!setStopBits(&rs232_attr, settings->stopBits)) Abort(descriptor);
    if (!setFlowCtl(&rs232_attr, settings->xonXoff, settings->rtsCts)) Abort(descriptor);
    if (tcsetattr(descriptor, TCSANOW, &rs232_attr) == -1) Abort(descriptor);
    return 1;
}

char* rs232_read(int descriptor, char* buffer, int count, int verbose) {
    if (verbose) printf("read %d characters", count);
    ssize_t got = read(descriptor, buffer, static_cast<size_t>(count));
    if (got == -1) Abort(descriptor);
    // Ended after the bytes that came in as well, so a short read does not pass off what
    // was left in the buffer as received text.
    if (got >= 0) buffer[got] = 0;
    buffer[count] = 0;
    if (verbose) printf("\n");
    return buffer;
}

int rs232_close(int descriptor) {
    if (close(descriptor) == -1) Abort(-1);
    return 1;
}

void Abort(int descriptor) {
    if (descriptor == -1) return;
    rs232_close(fd);
}

void modemLine(int* lineBits, int on, int mask) {
    if (on)
        *lineBits |= mask;
    else
        *lineBits &= ~mask;
}

void dispMdlns(const char* name, int lineBits, int mask) {
    printf("%s", (lineBits & mask) == mask ? "+" : "-");
    printf("%s ", name);
}

int rs232_mdlns(int descriptor, const ModemLines* modemLines, int verbose) {
    int lineBits = 0;
    if (rs232_ioctl(descriptor, TIOCMGET, &lineBits) == -1) Abort(descriptor);
    modemLine(&lineBits, modemLines->dtr, TIOCM_DTR);
    modemLine(&lineBits, modemLines->rts, TIOCM_RTS);
    if (rs232_ioctl(descriptor, TIOCMSET, &lineBits) == -1) Abort(descriptor);
    if (verbose) {
        if (rs232_ioctl(descriptor, TIOCMGET, &lineBits) == -1) Abort(descriptor);
        dispMdlns("dtr", lineBits, TIOCM_DTR);
        dispMdlns("rts", lineBits, TIOCM_RTS);
        dispMdlns("cts", lineBits, TIOCM_CTS);
        dispMdlns("dsr", lineBits, TIOCM_DSR);
        printf("\n");
    }
    return 1;
}
