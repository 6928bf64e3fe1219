// The serial port layer on a pseudo-terminal, and the modem lines through the ioctl seam.
#include "rs232.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

bool isOpen(int descriptor) {
    return fcntl(descriptor, F_GETFD) != -1;
}

// A pseudo-terminal whose slave the layer opens as its port.
class Pty : public ::testing::Test {
  protected:
    void SetUp() override {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        settings = RS232Settings{};
        strncpy(settings.device, ptsname(master), sizeof settings.device - 1);
        settings.baudRate = 19200;
        settings.dataBits = 8;
        settings.parity = 'N';
        settings.stopBits = 1;
        int verbose = 1;
        InitialRS232Settings(&settings, &modemLines, &verbose);
        EXPECT_EQ(verbose, 0);
        port = rs232_open(&settings);
        ASSERT_GT(port, 0) << strerror(errno);
        fd = port;
        rs232_attr = termios{};
    }
    void TearDown() override {
        if (isOpen(port)) close(port);
        close(master);
    }
    int master = -1;
    int port = -1;
    RS232Settings settings{};
    ModemLines modemLines{};
};

TEST_F(Pty, DefaultsLeaveTheLineFieldsAlone) {
    EXPECT_EQ(settings.xonXoff, 0);
    EXPECT_EQ(settings.rtsCts, 0);
    EXPECT_EQ(modemLines.dtr, 1);
    EXPECT_EQ(modemLines.rts, 0);
    EXPECT_EQ(settings.baudRate, 19200);
    EXPECT_EQ(settings.parity, 'N');
}

TEST_F(Pty, ToolSettingsAreAppliedToTheLine) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(rs232_init(port, &settings, 1), 1);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "19200 8N1 ");

    EXPECT_EQ(rs232_attr.c_iflag, tcflag_t(IGNPAR));
    EXPECT_EQ(rs232_attr.c_oflag, 0u);
    EXPECT_EQ(rs232_attr.c_lflag, 0u);
    EXPECT_EQ(rs232_attr.c_cflag & ~tcflag_t(CBAUD), tcflag_t(CREAD | CLOCAL | CS8));
    EXPECT_EQ(rs232_attr.c_cc[VMIN], 0);
    EXPECT_EQ(rs232_attr.c_cc[VTIME], 0);

    termios applied{};
    ASSERT_EQ(tcgetattr(port, &applied), 0);
    EXPECT_EQ(applied.c_iflag, tcflag_t(IGNPAR));
    EXPECT_EQ(applied.c_oflag, 0u);
    EXPECT_EQ(applied.c_lflag, 0u);
    EXPECT_EQ(applied.c_cflag & tcflag_t(CREAD | CLOCAL | CSIZE), tcflag_t(CREAD | CLOCAL | CS8));
    EXPECT_EQ(cfgetispeed(&applied), speed_t(B19200));
    EXPECT_EQ(cfgetospeed(&applied), speed_t(B19200));
    EXPECT_EQ(applied.c_cc[VMIN], 0);
    EXPECT_EQ(applied.c_cc[VTIME], 0);

    // VMIN = VTIME = 0: nothing waiting means an empty read at once, not a block.
    char byte;
    EXPECT_EQ(read(port, &byte, 1), 0);
    ASSERT_EQ(write(master, "ok", 2), 2);
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    usleep(20000);
    rs232_read(port, buffer, 4, 0);
    EXPECT_STREQ(buffer, "ok") << "terminated after what was read, not only at the count";
    EXPECT_EQ(buffer[4], 0);
    EXPECT_TRUE(isOpen(port));
}

TEST_F(Pty, EveryAcceptedSettingAddsItsBits) {
    // A pty holds its line at CS8 without parity, and tcsetattr may report that as a
    // failure (the layer then closes the port): only those it keeps are read back.
    struct Case {
        int baud, bits;
        char parity;
        int stop, xonXoff, rtsCts;
        speed_t speed;
        tcflag_t cflag, iflag;
        bool readBack;
    } cases[] = {
        {19200, 5, 'N', 1, 0, 0, B19200, CS5, IGNPAR, true},
        {19200, 6, 'e', 1, 0, 0, B19200, CS6 | PARENB, IGNPAR, false},
        {19200, 7, 'E', 2, 0, 0, B19200, CS7 | PARENB | CSTOPB, IGNPAR, false},
        {19200, 8, 'o', 1, 0, 0, B19200, CS8 | PARENB | PARODD, IGNPAR, false},
        {9600, 8, 'n', 1, 1, 0, B9600, CS8, IGNPAR | IXON | IXOFF, true},
        {50, 8, 'N', 1, 0, 1, B50, CS8 | CRTSCTS, IGNPAR, true},
        {115200, 8, 'N', 2, 1, 1, B115200, CS8 | CSTOPB | CRTSCTS, IGNPAR | IXON | IXOFF, true},
        {230400, 8, 'N', 1, 0, 0, B230400, CS8, IGNPAR, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.baud << " " << c.bits << c.parity << c.stop);
        if (!isOpen(port)) {
            port = rs232_open(&settings);
            ASSERT_GT(port, 0);
            fd = port;
        }
        settings.baudRate = c.baud;
        settings.dataBits = c.bits;
        settings.parity = c.parity;
        settings.stopBits = c.stop;
        settings.xonXoff = c.xonXoff;
        settings.rtsCts = c.rtsCts;
        testing::internal::CaptureStderr();
        EXPECT_EQ(rs232_init(port, &settings, 0), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(rs232_attr.c_cflag & ~tcflag_t(CBAUD), CREAD | CLOCAL | c.cflag);
        EXPECT_EQ(rs232_attr.c_iflag, c.iflag);
        EXPECT_EQ(cfgetospeed(&rs232_attr), c.speed);
        if (!c.readBack) continue;
        EXPECT_TRUE(isOpen(port));
        // The speed asked for is the speed on the line, not only 19200.
        termios applied{};
        ASSERT_EQ(tcgetattr(port, &applied), 0);
        EXPECT_EQ(cfgetospeed(&applied), c.speed);
        EXPECT_EQ(cfgetispeed(&applied), c.speed);
        EXPECT_EQ(applied.c_iflag, c.iflag);
        EXPECT_EQ(applied.c_cflag & tcflag_t(CRTSCTS | CSTOPB), c.cflag & (CRTSCTS | CSTOPB));
    }
}

TEST_F(Pty, AnUnsupportedValueIsReportedAndClosesThePort) {
    struct Case {
        int baud, bits;
        char parity;
        int stop;
        const char* message;
    } cases[] = {
        {1000, 8, 'N', 1, "error: unsupported baud rate[1000]\n"},
        {19200, 9, 'N', 1, "error: unsupported character size\n"},
        {19200, 4, 'N', 1, "error: unsupported character size\n"},
        {19200, 8, 'X', 1, "error: unsupported parity mode\n"},
        {19200, 8, 'N', 3, "error: unsupported number of stop bits\n"},
        {1000, 9, 'X', 0,
         "error: unsupported baud rate[1000]\nerror: unsupported character size\n"
         "error: unsupported parity mode\nerror: unsupported number of stop bits\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        if (!isOpen(port)) {
            port = rs232_open(&settings);
            ASSERT_GT(port, 0);
            fd = port;
        }
        settings.baudRate = c.baud;
        settings.dataBits = c.bits;
        settings.parity = c.parity;
        settings.stopBits = c.stop;
        testing::internal::CaptureStderr();
        EXPECT_EQ(rs232_init(port, &settings, 0), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_FALSE(isOpen(port));
        // The caller only learns of it at its next write.
        EXPECT_EQ(write(port, "x", 1), -1);
    }
}

TEST_F(Pty, AbortClosesTheGlobalPortOnly) {
    int other = dup(port);
    ASSERT_GE(other, 0);
    Abort(-1);
    EXPECT_TRUE(isOpen(port));
    Abort(other); // names another descriptor, but fd is what gets closed
    EXPECT_FALSE(isOpen(port));
    EXPECT_TRUE(isOpen(other));
    close(other);

    // A number far from those the captures below will take, so closing it twice is safe.
    int closed = dup2(0, 900);
    ASSERT_EQ(closed, 900);
    close(closed);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(rs232_close(closed), 1);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(Pty, ThePortIsHeldExclusively) {
    errno = 0;
    EXPECT_EQ(rs232_open(&settings), -1);
    EXPECT_EQ(errno, EBUSY);
    close(port);
    int again = rs232_open(&settings);
    EXPECT_GT(again, 0) << "released when the holder closes it";
    port = again;
}

TEST(Rs232Open, AFullDeviceFieldIsRefusedNotOverrun) {
    RS232Settings settings{};
    memset(settings.device, 'a', sizeof settings.device);
    errno = 0;
    EXPECT_EQ(rs232_open(&settings), -1);
    EXPECT_EQ(errno, ENAMETOOLONG);
    strcpy(settings.device, "/nonexistent/tty");
    EXPECT_EQ(rs232_open(&settings), -1);
}

// The modem lines, through the ioctl seam: a pseudo-terminal has none.
std::vector<unsigned long> gRequests;
int gLineWord;
int gFailOn; // request that fails, 0 for none

int fakeIoctl(int, unsigned long request, int* lineBits) {
    gRequests.push_back(request);
    if (gFailOn && request == static_cast<unsigned long>(gFailOn)) {
        errno = ENOTTY;
        return -1;
    }
    if (request == TIOCMGET)
        *lineBits = gLineWord;
    else if (request == TIOCMSET)
        gLineWord = *lineBits;
    return 0;
}

class ModemLinesTest : public Pty {
  protected:
    void SetUp() override {
        Pty::SetUp();
        saved = rs232_ioctl;
        rs232_ioctl = fakeIoctl;
        gRequests.clear();
        gFailOn = 0;
    }
    void TearDown() override {
        rs232_ioctl = saved;
        Pty::TearDown();
    }
    int (*saved)(int, unsigned long, int*) = nullptr;
};

TEST_F(ModemLinesTest, RaisesAndDropsOnlyDtrAndRts) {
    struct Case {
        int dtr, rts, before, after;
        const char* echo;
    } cases[] = {
        {1, 0, TIOCM_RTS | TIOCM_CTS, TIOCM_DTR | TIOCM_CTS, "+dtr -rts +cts -dsr \n"},
        {0, 1, TIOCM_DTR | TIOCM_DSR, TIOCM_RTS | TIOCM_DSR, "-dtr +rts -cts +dsr \n"},
        {1, 1, 0, TIOCM_DTR | TIOCM_RTS, "+dtr +rts -cts -dsr \n"},
        {0, 0, TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR, TIOCM_CTS | TIOCM_DSR,
         "-dtr -rts +cts +dsr \n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.echo);
        gLineWord = c.before;
        gRequests.clear();
        ModemLines lines{c.dtr, c.rts};
        testing::internal::CaptureStdout();
        EXPECT_EQ(rs232_mdlns(port, &lines, 1), 1);
        fflush(stdout);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.echo);
        EXPECT_EQ(gLineWord, c.after);
        EXPECT_EQ(gRequests, (std::vector<unsigned long>{TIOCMGET, TIOCMSET, TIOCMGET}));
    }
    gRequests.clear();
    ModemLines quiet{1, 0};
    testing::internal::CaptureStdout();
    rs232_mdlns(port, &quiet, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(gRequests, (std::vector<unsigned long>{TIOCMGET, TIOCMSET}));
}

TEST_F(ModemLinesTest, AFailingIoctlClosesThePortAndCarriesOn) {
    for (int failing : {int(TIOCMGET), int(TIOCMSET)}) {
        if (!isOpen(port)) {
            port = rs232_open(&settings);
            ASSERT_GT(port, 0);
            fd = port;
        }
        gFailOn = failing;
        gRequests.clear();
        EXPECT_EQ(rs232_mdlns(port, &modemLines, 0), 1);
        EXPECT_FALSE(isOpen(port));
        EXPECT_EQ(gRequests, (std::vector<unsigned long>{TIOCMGET, TIOCMSET}));
    }
}

TEST_F(Pty, ARealPtyHasNoModemLines) {
    EXPECT_EQ(rs232_mdlns(port, &modemLines, 0), 1);
    EXPECT_FALSE(isOpen(port)) << "TIOCMGET fails with ENOTTY and Abort closes the port";
}

} // namespace
