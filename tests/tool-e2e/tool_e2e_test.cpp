// The real Tarvo_Download against the enclosure simulator on a pseudo-terminal, with the
// tool's clock sped up by libfaketime so that its 21 s of fixed pauses take well under a second.
#include "../common/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::string_literals;

namespace {

#ifndef TOOL_SPEEDUP
#define TOOL_SPEEDUP "x50"
#endif

struct Output {
    std::string out;
    std::string err;
    int status = -1; // exit status, or -1 when killed
};

// Reads both pipes to their end, or until `limit` has passed (then kills the child).
Output collect(pid_t pid, int outFd, int errFd, std::chrono::milliseconds limit) {
    Output result;
    auto deadline = std::chrono::steady_clock::now() + limit;
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = (outFd >= 0) + (errFd >= 0);
    if (outFd < 0) fds[0].fd = -1;
    if (errFd < 0) fds[1].fd = -1;
    bool killed = false;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 && !killed) {
            kill(-pid, SIGKILL); // its whole group, so nothing it started stays behind
            kill(pid, SIGKILL);
            killed = true;
        }
        if (poll(fds, 2, killed ? 1000 : int(left.count()) + 1) <= 0) {
            if (killed) break;
            continue;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, size_t(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Starts argv with stdout and stderr on pipes, in `dir`, with `env` added.
// With `asNobody` (for a test run as root), the child gives up root first.
pid_t spawn(const std::vector<std::string>& argv, const std::string& dir,
            const std::vector<std::string>& env, int* outFd, int* errFd, bool asNobody = false) {
    int out[2], err[2];
    if (pipe(out) || pipe(err)) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]), close(out[1]), close(err[0]), close(err[1]);
        if (asNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
            _exit(125);
        if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    *outFd = out[0];
    *errFd = err[0];
    return pid;
}

std::string patternImage(size_t size) {
    std::string image(size, '\0');
    for (size_t i = 0; i < size; ++i)
        image[i] = char((i * 7 + i / 256) & 0xFF);
    return image;
}

const std::string kHead = "Please wait a moment\n";
const std::string kStarted =
    "Start upgrading...\nCAUTION ! DO NOT TURN OFF THE SYSTEM OR INTERRUPT PROGRAM.\n";
const std::string kDone = "\nUpgraded Firmware Successfully\n";
const std::string kHandshake = "\x1b"
                               "download";

// What a successful run prints for an image of `size` bytes.
std::string successOutput(size_t size) {
    std::string text = kHead + kStarted;
    for (size_t sent = 1; sent <= size; ++sent) {
        size_t blocks = sent / 10240;
        if (blocks > 2)
            text += "Transfer " + std::to_string(sent) + " Bytes  " + std::to_string(blocks - 2) +
                    "%\r";
    }
    return text + kDone;
}

class ToolRun : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/qe2e.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        link = dir + "/tty";
        ASSERT_LE(link.size(), 31u);
    }
    void TearDown() override {
        if (simPid > 0) {
            kill(-simPid, SIGKILL);
            kill(simPid, SIGKILL);
            waitpid(simPid, nullptr, 0);
        }
        std::string command = "chmod -R u+w '" + dir + "' && rm -rf '" + dir + "'";
        EXPECT_EQ(system(command.c_str()), 0);
    }

    // Starts the simulator expecting `image`; returns once its line is there.
    void startSim(const std::string& image, std::vector<std::string> extra = {}) {
        writeFile(dir + "/expected", image);
        std::vector<std::string> argv = {SIM_PATH,          "--link",   link,         "--expect",
                                         dir + "/expected", "--record", dir + "/wire"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        simPid = spawn(argv, dir, {}, &simOut, &simErr);
        ASSERT_GT(simPid, 0);
        for (int i = 0; i < 2000; ++i) {
            struct stat info {};
            if (lstat(link.c_str(), &info) == 0) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "the simulator did not set up " << link;
    }

    Output finishSim() {
        Output sim = collect(simPid, simOut, simErr, std::chrono::seconds(60));
        simPid = -1;
        wire = readFile(dir + "/wire");
        return sim;
    }

    // Starts the tool in `cwd` (the test folder by default) with args, its clock sped up.
    pid_t startTool(const std::vector<std::string>& args, const std::string& devices, int* out,
                    int* err, const std::string& cwd = "", const char* speedup = TOOL_SPEEDUP) {
        std::vector<std::string> argv = {TOOL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = {"QUILLON_SERIAL_DEVICES=" +
                                        (devices.empty() ? link : devices)};
        // The library itself rather than the faketime command, which would stand between
        // the test and the tool: the pid is then the tool's, and stopping it stops the tool.
        if (speedup) {
            env.push_back("LD_PRELOAD="s + LIBFAKETIME_PATH);
            env.push_back("FAKETIME=+0 "s + speedup);
        }
        pid_t pid = spawn(argv, cwd.empty() ? dir : cwd, env, out, err);
        EXPECT_GT(pid, 0);
        return pid;
    }

    Output runTool(const std::vector<std::string>& args, const std::string& devices = "",
                   const std::string& cwd = "", const char* speedup = TOOL_SPEEDUP) {
        int out, err;
        pid_t pid = startTool(args, devices, &out, &err, cwd, speedup);
        return collect(pid, out, err, std::chrono::seconds(120));
    }

    std::string dir, link, wire;
    pid_t simPid = -1;
    int simOut = -1, simErr = -1;
};

TEST_F(ToolRun, WholeTransfersArriveExactly) {
    std::string awkward;
    for (int i = 0; i < 50; ++i)
        awkward += "\x00\x0a\x0d\x11\x13\xff"s;
    struct Case {
        const char* name;
        std::string image;
    } cases[] = {
        {"empty", ""},
        {"1000", patternImage(1000)},
        {"30719", patternImage(30719)},
        {"30720", patternImage(30720)},
        {"40960", patternImage(40960)},
        {"control bytes", awkward},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startSim(c.image);
        writeFile(dir + "/image", c.image);
        Output tool = runTool({"image"});
        Output sim = finishSim();
        EXPECT_EQ(tool.status, 0);
        EXPECT_EQ(tool.out, successOutput(c.image.size()));
        EXPECT_EQ(wire, kHandshake + "1" + c.image);
        EXPECT_EQ(sim.status, 0) << sim.out << sim.err;
        EXPECT_EQ(readFile(dir + "/usbserial.cfg"), link + "\n");
    }
}

TEST_F(ToolRun, ProgressLinesStartAtTheThirdBlock) {
    // Literal boundaries, independent of how successOutput builds its lines.
    std::string image = patternImage(40960);
    startSim(image);
    writeFile(dir + "/image", image);
    Output tool = runTool({"image", "ignored-second-argument"});
    finishSim();
    EXPECT_EQ(tool.out.find("Transfer 30719 "), std::string::npos);
    EXPECT_EQ(tool.out.find("Transfer 30720 Bytes  1%\r"), kHead.size() + kStarted.size());
    EXPECT_NE(tool.out.find("\rTransfer 40959 Bytes  1%\rTransfer 40960 Bytes  2%\r\nUpgraded"),
              std::string::npos);
    EXPECT_EQ(std::count(tool.out.begin(), tool.out.end(), '\r'), 40960 - 30720 + 1);
    EXPECT_EQ(wire, kHandshake + "1" + image) << "the second argument changes nothing";
}

TEST_F(ToolRun, OnlyAWholeEnterIsThePrompt) {
    struct Case {
        const char* prompt;
        bool recognised;
    } cases[] = {
        {"xxEnter", true}, {"EnxEnter", true}, {"\\r\\nEnter\\r\\n", true},
        {"EEnter", false}, {"EnEnter", false}, {"Ente", false},
    };
    std::string image = patternImage(100);
    writeFile(dir + "/image", image);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.prompt);
        // Unrecognised, the tool waits on: the simulator gives up once the tool has been
        // silent for many times the 1 s (sped up) it takes to send the start byte, and then
        // the tool is stopped.
        startSim(image, {"--prompt", c.prompt, "--timeout", c.recognised ? "60" : "1"});
        int out, err;
        pid_t pid = startTool({"image"}, "", &out, &err);
        Output sim = finishSim();
        Output tool = collect(pid, out, err, std::chrono::milliseconds(c.recognised ? 60000 : 0));
        if (c.recognised) {
            EXPECT_EQ(tool.out, successOutput(image.size()));
            EXPECT_EQ(wire, kHandshake + "1" + image);
            EXPECT_EQ(sim.status, 0) << sim.out;
        } else {
            EXPECT_EQ(tool.status, -1) << "still waiting when stopped";
            EXPECT_EQ(wire, kHandshake) << "no start byte";
            EXPECT_EQ(sim.status, 3) << sim.out;
            EXPECT_NE(sim.out.find("no start byte"), std::string::npos) << sim.out;
        }
    }
}

TEST_F(ToolRun, ASlowPromptIsWaitedFor) {
    std::string image = patternImage(10);
    writeFile(dir + "/image", image);
    startSim(image, {"--prompt", "..Enter", "--prompt-delay", "300", "--slow", "50"});
    Output tool = runTool({"image"});
    Output sim = finishSim();
    EXPECT_EQ(tool.out, successOutput(image.size()));
    EXPECT_EQ(wire, kHandshake + "1" + image);
    EXPECT_EQ(sim.status, 0);
}

TEST_F(ToolRun, UsageAndDeviceFailures) {
    writeFile(dir + "/image", "abc");
    const std::string usage = "usage: ./Download <filename>, eg: ./Download _TarvoAllV130.txt\n";
    const std::string openFail = "Open USBSerial Device Fail\n";
    std::string longLink = dir + "/a-device-path-beyond-the-limit";
    ASSERT_GT(longLink.size(), 31u);
    ASSERT_EQ(symlink("/dev/null", longLink.c_str()), 0);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string devices;
        std::string out;
        const char* err; // part of standard error, or ""
    } cases[] = {
        {"no argument", {}, link, usage, ""},
        {"empty argument", {""}, link, usage, ""},
        {"no device", {"image"}, dir + "/nothing*", openFail, "no USB-serial device"},
        {"path too long", {"image"}, longLink, openFail, "longer than 31 characters"},
        {"missing device", {"image"}, dir + "/missing-tty", openFail, "no USB-serial device"},
        {"not a terminal", {"image"}, dir + "/image", openFail, "not a serial device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Output tool = runTool(c.args, c.devices);
        EXPECT_EQ(tool.status, 0);
        EXPECT_EQ(tool.out, c.out);
        EXPECT_NE(tool.err.find(c.err), std::string::npos) << tool.err;
    }
}

TEST_F(ToolRun, AnImageThatCannotBeReadIsReportedBeforeThePortIsTouched) {
    // A folder opens for reading but yields a read error instead of bytes.
    for (const char* image : {"no-such-image", "."}) {
        SCOPED_TRACE(image);
        startSim("", {"--timeout", "1"});
        Output tool = runTool({image});
        Output sim = finishSim();
        EXPECT_EQ(tool.status, 0);
        EXPECT_EQ(tool.out, "Open Firmware File Fail\n");
        EXPECT_NE(tool.err.find(std::string("cannot open ") + image), std::string::npos)
            << tool.err;
        EXPECT_EQ(wire, "") << "the controller was never woken";
    }
}

TEST_F(ToolRun, TheFirstOfSeveralDevicesIsUsed) {
    std::string image = patternImage(64);
    writeFile(dir + "/image", image);
    startSim(image);
    // tty sorts before tty-z, which is no terminal at all.
    writeFile(dir + "/tty-z", "");
    Output tool = runTool({"image"}, dir + "/tty*");
    finishSim();
    EXPECT_EQ(tool.out, successOutput(image.size()));
    EXPECT_EQ(readFile(dir + "/usbserial.cfg"), link + "\n" + dir + "/tty-z\n");
}

TEST_F(ToolRun, AReadOnlyFolderStillFindsTheDevice) {
    std::string image = patternImage(64);
    writeFile(dir + "/image", image);
    startSim(image);
    // /proc refuses new files even to root, unlike a folder without write permission.
    Output tool = runTool({dir + "/image"}, "", "/proc");
    finishSim();
    EXPECT_EQ(tool.out, successOutput(image.size()));
    EXPECT_EQ(wire, kHandshake + "1" + image);
}

TEST_F(ToolRun, AHangUpMidTransferFailsTheDownload) {
    std::string image = patternImage(2000);
    writeFile(dir + "/image", image);
    startSim(image, {"--hangup-after", "500"});
    Output tool = runTool({"image"});
    Output sim = finishSim();
    EXPECT_EQ(tool.status, 0);
    EXPECT_EQ(tool.out, kHead + kStarted + "Download Firmware Fail, ret = -1\n");
    EXPECT_EQ(wire, kHandshake + "1" + image.substr(0, 500));
    EXPECT_EQ(sim.status, 0) << sim.out;
}

TEST_F(ToolRun, TheSimulatorTellsAWrongImage) {
    std::string image = patternImage(300);
    std::string altered = image;
    altered[123] ^= 0x40;
    struct Case {
        std::string sent;
        const char* verdict;
    } cases[] = {
        {altered, "first mismatch at offset 123: expected 0x"},
        {image.substr(0, 299), "short: expected 300 bytes"},
        {image + "x", "too long: expected 300 bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.verdict);
        startSim(image);
        writeFile(dir + "/image", c.sent);
        runTool({"image"});
        Output sim = finishSim();
        EXPECT_EQ(sim.status, 1);
        EXPECT_NE(sim.out.find(c.verdict), std::string::npos) << sim.out;
    }
}

TEST_F(ToolRun, APermissionErrorNamesTheGroupToJoin) {
    // A device node the user may not open, as /dev/ttyUSB0 is to someone outside dialout.
    std::string device = dir + "/locked";
    writeFile(device, "");
    writeFile(dir + "/image", "abc");
    ASSERT_EQ(chmod(device.c_str(), geteuid() == 0 ? 0600 : 0), 0);
    if (geteuid() == 0) {
        const group* serial = getgrnam("dialout");
        if (!serial) serial = getgrnam("tty");
        ASSERT_NE(serial, nullptr);
        ASSERT_EQ(chown(device.c_str(), 0, serial->gr_gid), 0);
    }
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    struct stat info {};
    ASSERT_EQ(stat(device.c_str(), &info), 0);
    const group* owner = getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    int out, err;
    pid_t pid = spawn({TOOL_PATH, "image"}, dir, {"QUILLON_SERIAL_DEVICES=" + device}, &out, &err,
                      geteuid() == 0);
    Output tool = collect(pid, out, err, std::chrono::seconds(60));
    EXPECT_EQ(tool.status, 0);
    EXPECT_EQ(tool.out, "Open USBSerial Device Fail\n");
    EXPECT_NE(tool.err.find("join the group "s + owner->gr_name), std::string::npos) << tool.err;
}

TEST_F(ToolRun, APortHeldByAnotherProgramIsNotShared) {
    writeFile(dir + "/image", "abc");
    startSim("abc", {"--timeout", "1"});
    int holder = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    Output tool = runTool({"image"});
    close(holder);
    finishSim();
    EXPECT_EQ(tool.out, "Open USBSerial Device Fail\n");
    EXPECT_NE(tool.err.find("in use by another program"), std::string::npos) << tool.err;
    EXPECT_EQ(wire, "");
}

// Once without faketime: the pauses as they really are (about 22 s).
TEST_F(ToolRun, RealSpeed) {
    if (!getenv("QUILLON_REAL_SPEED")) GTEST_SKIP() << "run by the slow-labelled test";
    std::string image = patternImage(1000);
    writeFile(dir + "/image", image);
    startSim(image);
    auto start = std::chrono::steady_clock::now();
    Output tool = runTool({"image"}, "", "", nullptr);
    auto took = std::chrono::steady_clock::now() - start;
    Output sim = finishSim();
    EXPECT_EQ(tool.out, successOutput(image.size()));
    EXPECT_EQ(wire, kHandshake + "1" + image);
    EXPECT_EQ(sim.status, 0) << sim.out;
    // 21.04 s of pauses and 1000 gaps of at least 1 ms.
    EXPECT_GE(took, std::chrono::milliseconds(22040));
}

} // namespace
