// The real application bundle end to end: the real download tool against the enclosure
// simulator (or a fake tool script where a case needs an exact timing), a scripted user
// preloaded into the application that presses its buttons and logs what the windows show,
// and the clocks of the application and the tool sped up with libfaketime.
#include "../common/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Texts of the bundle's interface and localized strings that the scripted user presses.
const char* const kStart = START_BUTTON;    // the prompt's first button
const char* const kLeave = LEAVE_BUTTON;    // the prompt's second button
const char* const kStop = STOP_BUTTON;      // the progress window's button before the end
const char* const kGoOn = GO_ON_BUTTON;     // driver or device missing: first button
const char* const kGiveUp = GIVE_UP_BUTTON; // driver or device missing: second button
const char* const kRetry = RETRY_BUTTON;    // device missing: look again
const char* const kOK = OK_BUTTON;          // the aborted sheet's button

void writeRandom(const fs::path& p, std::size_t size) {
    std::mt19937 gen{static_cast<std::uint32_t>(size)};
    std::string bytes(size, '\0');
    for (auto& b : bytes)
        b = char(gen());
    std::ofstream(p, std::ios::binary) << bytes;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const fs::path& out) {
    pid_t pid = fork();
    if (pid == 0) {
        for (const auto& e : env)
            putenv(strdup(e.c_str()));
        FILE* f = std::fopen(out.c_str(), "w");
        if (f)
            dup2(fileno(f), 1);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

// Waits for pid at most `limit`; kills it after that. The exit status, or -signal.
int waitFor(pid_t pid, std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > until) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1000;
        }
        std::this_thread::sleep_for(10ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// Processes whose working folder is `dir`: a tool left behind.
int processesIn(const fs::path& dir) {
    int n = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        std::string name = e.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        fs::path cwd = fs::read_symlink(e.path() / "cwd", ec);
        if (!ec && cwd == dir)
            ++n;
    }
    return n;
}

struct Options {
    std::size_t image = 40960;
    std::vector<std::string> sim;  // simulator options; empty: no simulator
    bool driver = true;
    std::string script;
    std::string fakeTool;          // a script in place of the real tool
    std::string folder = "bundle"; // folder name the bundle is copied into
    // The clocks of the application and the tool run this much faster (0: real time). The
    // tool's byte gaps shrink with it, so a transfer needs a factor the serial path can keep
    // up with even on a loaded machine (the first progress lines must reach the updater
    // before its 60 s watchdog); waits without a transfer take a larger one.
    int speed = 2;
    int pace = 300;
    std::chrono::seconds limit{120};
    bool startSimOnDeviceMessage = false;
    std::vector<std::string> args;  // files named on the application's command line
    bool noImage = false;           // no Tarvo_Firmware.txt in the bundle
    bool fakeDevice = false;        // a plain file where the device is looked for
};

struct Result {
    int status = 0;
    std::string log;
    int simStatus = -1;
    std::string verdict;
    int leftBehind = 0;
    double realSeconds = 0;
    fs::path received;
    std::string image;
};

class AppE2E : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qapp-XXXXXX";
        work = mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(work); }

    Result run(const Options& o) {
        Result r;
        fs::path bundle = work / o.folder / "Quillon Updater.app";
        fs::create_directories(bundle.parent_path());
        fs::copy(BUNDLE_DIR, bundle, fs::copy_options::recursive);
        fs::path resources = bundle / "Contents/Resources";
        fs::remove(resources / "Tarvo_Firmware.txt");
        if (!o.noImage)
            writeRandom(resources / "Tarvo_Firmware.txt", o.image);
        r.image = readFile(resources / "Tarvo_Firmware.txt");
        if (!o.fakeTool.empty()) {
            fs::remove(resources / "Tarvo_Download.dat");
            std::ofstream(resources / "Tarvo_Download.dat") << o.fakeTool;
            fs::permissions(resources / "Tarvo_Download.dat", fs::perms::owner_all);
        }
        fs::create_directories(work / "driver");
        if (o.driver)
            std::ofstream(work / "driver/ftdi_sio");
        fs::path link = work / "tty";
        r.received = work / "received";

        pid_t sim = -1;
        auto startSim = [&] {
            std::vector<std::string> argv = {SIM_PATH, "--link", link.string(), "--expect",
                                             (resources / "Tarvo_Firmware.txt").string(),
                                             "--record", r.received.string(), "--timeout", "60"};
            argv.insert(argv.end(), o.sim.begin(), o.sim.end());
            sim = spawn(argv, {}, work / "verdict");
            for (int i = 0; i < 200 && !fs::is_symlink(link); ++i)
                std::this_thread::sleep_for(10ms);
        };
        if (!o.sim.empty() && !o.startSimOnDeviceMessage)
            startSim();
        else if (!o.fakeTool.empty() || o.fakeDevice)
            std::ofstream(link.string(), std::ios::app);  // a device to be found, not a serial line

        fs::path log = work / "log";
        std::vector<std::string> env = {
            "QT_QPA_PLATFORM=offscreen",
            "QUILLON_SERIAL_DEVICES=" + link.string(),
            "QUILLON_SERIAL_DRIVER=" + (work / "driver").string(),
            "QUILLON_AUTOPILOT_LOG=" + log.string(),
            "QUILLON_AUTOPILOT_SCRIPT=" + o.script,
            "QUILLON_AUTOPILOT_PACE=" + std::to_string(o.pace),
            std::string("LD_PRELOAD=") + (o.speed ? FAKETIME_LIB ":" : "") + AUTOPILOT_LIB,
        };
        if (o.speed)
            env.push_back("FAKETIME=+0 x" + std::to_string(o.speed));
        auto t0 = std::chrono::steady_clock::now();
        std::vector<std::string> argv = {(bundle / "Contents/MacOS/Quillon Updater").string()};
        argv.insert(argv.end(), o.args.begin(), o.args.end());
        pid_t app = spawn(argv, env, work / "app-out");
        if (o.startSimOnDeviceMessage) {
            for (int i = 0; i < 3000 && readFile(log).find("[" + std::string(kRetry)) ==
                                            std::string::npos; ++i)
                std::this_thread::sleep_for(10ms);
            startSim();
        }
        r.status = waitFor(app, o.limit);
        r.realSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::this_thread::sleep_for(200ms);
        r.leftBehind = processesIn(fs::canonical(resources));
        r.log = readFile(log);
        if (sim > 0) {
            r.simStatus = waitFor(sim, 90s);
            r.verdict = readFile(work / "verdict");
        }
        return r;
    }

    fs::path work;
};

// The simulator records every byte the tool sent: the 10 handshake bytes, then the image.
bool receivedImage(const Result& r) {
    std::string got = readFile(r.received);
    return got.size() == r.image.size() + 10 && got.compare(10, std::string::npos, r.image) == 0;
}

bool has(const std::string& log, const std::string& s) { return log.find(s) != std::string::npos; }

// The log time (the application's own, sped-up clock, in ms) of the first line holding s.
long timeOf(const std::string& log, const std::string& s) {
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line))
        if (line.find(s) != std::string::npos)
            return std::stol(line);
    return -1;
}

TEST_F(AppE2E, SuccessfulUpdate) {
    Options o;
    o.image = 64 * 1024;
    o.sim = {"--prompt", "noise\\r\\nEnter"};
    o.script = std::string(kStart) + ";Quit";
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "Uploading firmware...")) << r.log;
    EXPECT_TRUE(has(r.log, "'Uploading finished'")) << r.log;
    EXPECT_TRUE(has(r.log, "press 'Quit'"));
    EXPECT_FALSE(has(r.log, "bar=0/1000 ||")) << "the bar moved";
    EXPECT_TRUE(has(r.log, "bar=1000/1000") || has(r.log, "bar=99")) << r.log;
    EXPECT_EQ(r.simStatus, 0) << r.verdict;
    EXPECT_TRUE(receivedImage(r)) << "the simulator received the whole image";
    EXPECT_EQ(r.leftBehind, 0);
}

TEST_F(AppE2E, StopPressedMidTransfer) {
    Options o;
    o.image = 100 * 1024;
    o.sim = {};
    o.sim.push_back("--prompt");
    o.sim.push_back("Enter");
    o.script = std::string(kStart) + ";" + kStop + "@320;" + kOK;
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "'Aborted by user...'")) << r.log;
    EXPECT_TRUE(has(r.log, "press '" + std::string(kOK) + "'")) << "the aborted sheet";
    EXPECT_EQ(r.leftBehind, 0) << "the tool was reaped";
    EXPECT_LT(fs::file_size(r.received), o.image + 10) << "the transfer was cut short";
}

TEST_F(AppE2E, ToolFailsWhenTheDeviceHangsUp) {
    Options o;
    o.image = 64 * 1024;
    o.sim = {"--hangup-after", "40000"};
    o.script = std::string(kStart) + ";Quit";
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "'Download Firmware Fail, ret = ")) << r.log;
    EXPECT_EQ(r.leftBehind, 0);
}

TEST_F(AppE2E, SilentDeviceGivesTheNoticeAt60sAndTheEndAt90s) {
    Options o;
    o.sim = {"--silent"};
    o.speed = 10;
    o.script = kStart;
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    long shown = timeOf(r.log, "[" + std::string(kStop) + "]-");
    long closed = -1;
    {
        std::istringstream in(r.log);
        std::string line;
        while (std::getline(in, line))
            if (closed < 0 && shown >= 0 && std::stol(line) > shown &&
                line.find(kStop) == std::string::npos && line.find("press") == std::string::npos)
                closed = std::stol(line);
    }
    ASSERT_GE(shown, 0) << r.log;
    ASSERT_GE(closed, 0) << r.log;
    EXPECT_NEAR(double(closed - shown) / 1000, 60, 4) << r.log;
    EXPECT_FALSE(has(r.log, " exit\n")) << "ended at once, by the watchdog";
    // 90 s after the watchdog was armed, give or take the application's own start-up.
    EXPECT_GE(r.realSeconds * o.speed, 88);
    EXPECT_LE(r.realSeconds * o.speed, 90 + double(shown) / 1000 + 25);
    EXPECT_EQ(r.leftBehind, 0) << "no tool left polling the port";
}

const std::string kFixed = "printf 'Please wait a moment\\nStart upgrading...\\n"
                           "CAUTION ! DO NOT TURN OFF THE SYSTEM OR INTERRUPT PROGRAM.\\n'\n";
const std::string kRest = "printf 'Transfer 30720 Bytes  1%%\\rTransfer 35000 Bytes  1%%\\r"
                          "Transfer 40960 Bytes  2%%\\r\\n'\nsleep 13\n"
                          "printf 'Upgraded Firmware Successfully\\n'\n";

TEST_F(AppE2E, FourthLineAt59sRemovesTheWatchdog) {
    Options o;
    o.fakeTool = "#!/bin/sh\n" + kFixed + "sleep 59\n" + kRest;
    o.speed = 10;
    o.script = std::string(kStart) + ";Quit+35000";
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "'Uploading finished'")) << r.log;
    long finished = timeOf(r.log, "'Uploading finished'");
    long quit = timeOf(r.log, "press 'Quit'");
    ASSERT_GT(quit, 0);
    // Quit is pressed past the 90 s mark: the application was still there, with no notice.
    EXPECT_GT(quit - finished, 30000) << r.log;
    EXPECT_FALSE(has(r.log, "does not answer")) << r.log;
}

TEST_F(AppE2E, FourthLineAfterTheFirstExpiryNeitherCrashesNorHangs) {
    Options o;
    o.fakeTool = "#!/bin/sh\n" + kFixed + "sleep 66\n" + kRest;
    o.speed = 10;
    o.script = kStart;
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_FALSE(has(r.log, "'Uploading finished'")) << "the closed window is not touched";
    // The session ran to its end after the tool's success line (66 + 13 s) and the
    // application ended normally, not at once by the watchdog's second expiry at 90 s.
    EXPECT_TRUE(has(r.log, " exit\n")) << r.log;
    long notice = timeOf(r.log, "does not answer");
    long end = timeOf(r.log, " exit");
    ASSERT_GT(notice, 0) << r.log;
    EXPECT_NEAR(double(end - notice) / 1000, 19, 4) << r.log;
    EXPECT_EQ(r.leftBehind, 0);
}

TEST_F(AppE2E, DriverMissingGoOnThenDeviceMissingQuit) {
    Options o;
    o.driver = false;
    o.script = std::string(kStart) + ";" + kGoOn + ";" + kGiveUp;
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "press '" + std::string(kGiveUp) + "'")) << r.log;
    EXPECT_FALSE(has(r.log, "[" + std::string(kStop))) << "no progress window";
}

TEST_F(AppE2E, DriverMissingQuit) {
    Options o;
    o.driver = false;
    o.script = std::string(kStart) + ";" + kGiveUp;
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_EQ(std::count(r.log.begin(), r.log.end(), '\n') > 0, true);
    EXPECT_FALSE(has(r.log, "[" + std::string(kStop))) << r.log;
}

TEST_F(AppE2E, DeviceMissingUntilItAppears) {
    Options o;
    o.sim = {"--prompt", "Enter"};
    o.startSimOnDeviceMessage = true;
    o.pace = 1500;
    o.script = std::string(kStart) + ";" + kRetry + ";Quit";
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "'Uploading finished'")) << r.log;
    EXPECT_EQ(r.simStatus, 0) << r.verdict;
}

TEST_F(AppE2E, ImageBelow30720BytesEndsAsAbortedOnStop) {
    Options o;
    o.image = 20000;
    o.sim = {"--prompt", "Enter"};
    o.script = std::string(kStart) + ";" + kStop + "+3000;" + kOK;
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "'Uploading firmware...'")) << r.log;
    EXPECT_TRUE(has(r.log, "'Aborted by user...'")) << r.log;
    EXPECT_EQ(r.simStatus, 0) << r.verdict;
    EXPECT_TRUE(receivedImage(r));
}

TEST_F(AppE2E, BundleUnderAHostileFolderName) {
    Options o;
    o.folder = "a b\"c'd$HOME`id`\\e";
    o.image = 40960;
    o.sim = {"--prompt", "Enter"};
    o.script = std::string(kStart) + ";Quit";
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "'Uploading finished'")) << r.log;
    EXPECT_EQ(r.simStatus, 0) << r.verdict;
    EXPECT_TRUE(receivedImage(r));
}

// Without an image the tool would report success for nothing sent: the user is told, and no
// tool runs.
TEST_F(AppE2E, MissingOrEmptyImageStartsNoTool) {
    for (bool missing : {true, false}) {
        SCOPED_TRACE(missing ? "missing" : "empty");
        Options o;
        o.noImage = missing;
        o.image = 0;
        o.folder = missing ? "missing" : "empty";
        o.fakeDevice = true;
        o.script = std::string(kStart) + ";Quit";
        Result r = run(o);
        EXPECT_EQ(r.status, 0) << r.log;
        EXPECT_TRUE(has(r.log, "The firmware image is missing.")) << r.log;
        EXPECT_FALSE(has(r.log, "[" + std::string(kStop))) << "no progress window";
        EXPECT_EQ(fs::file_size(work / "tty"), 0u) << "nothing was sent to the device";
    }
}

TEST_F(AppE2E, PromptSecondButtonLeavesWithoutAnUpdate) {
    Options o;
    o.script = kLeave;
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_FALSE(has(r.log, "[" + std::string(kStop))) << r.log;
}

TEST_F(AppE2E, PreferencesDoesNothingAndQuitFromTheMenuEnds) {
    Options o;
    o.script = "menu:Preferences…;menu:Quit";
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    long prefs = timeOf(r.log, "choose 'Preferences…'");
    long quit = timeOf(r.log, "choose 'Quit'");
    ASSERT_GT(prefs, 0) << r.log;
    ASSERT_GT(quit, prefs) << "still running after Preferences: " << r.log;
    EXPECT_TRUE(has(r.log, " exit\n")) << r.log;
    EXPECT_FALSE(has(r.log, "[" + std::string(kStop))) << "no update";
}

TEST_F(AppE2E, EachOpenedDocumentShowsOneMorePrompt) {
    Options o;
    o.args = {"/tmp/first document.txt", "second.txt"};
    o.pace = 1500;
    o.script = kLeave;
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    std::istringstream in(r.log);
    std::string line;
    std::size_t most = 0;
    while (std::getline(in, line)) {
        std::size_t n = 0;
        for (std::size_t at = line.find("Update the firmware"); at != std::string::npos;
             at = line.find("Update the firmware", at + 1))
            ++n;
        most = std::max(most, n);
    }
    EXPECT_EQ(most, 3u) << "the start-up prompt and one per document: " << r.log;
}

TEST_F(AppE2E, RealSpeed) {
    Options o;
    o.image = 32 * 1024;
    o.speed = 0;
    o.sim = {"--prompt", "Enter"};
    o.script = std::string(kStart) + ";Quit";
    o.limit = std::chrono::seconds(200);
    Result r = run(o);
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_TRUE(has(r.log, "'Uploading finished'")) << r.log;
    EXPECT_EQ(r.simStatus, 0) << r.verdict;
    EXPECT_TRUE(receivedImage(r));
}

}  // namespace
