// The update session's read loop against a fake tool: a script in the resources folder that
// prints a fixed output. Each case checks what the finished window shows: the bar's last
// value and the closing hint, which tell how the stream was cut into lines and counted.
#include "PlatformApp.h"
#include "PlatformBundle.h"
#include "PlatformCarbonEvents.h"
#include "PlatformControls.h"
#include "PlatformMainThread.h"
#include "document.h"
#include "showMessage.h"
#include "windSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string kHead =
    "Please wait a moment\nStart upgrading...\n"
    "CAUTION ! DO NOT TURN OFF THE SYSTEM OR INTERRUPT PROGRAM.\n";

std::string progress(long n, long k) {
    return "Transfer " + std::to_string(n) + " Bytes  " + std::to_string(k) + "%";
}

struct Finish {
    bool seen = false;
    long bar = -1;
    std::string hint;
};
Finish gFinish;
std::atomic<bool> gDone{false};

std::string text(WindowRef w, SInt32 id) {
    CFStringRef s = id == 1 ? CopyControlTitleAsCFString(getControlByID(w, fourCC("PrMs"), 1))
                            : getControlText(w, fourCC("PrMs"), id, nullptr);
    std::string out = platformStringUTF8(s);
    if (s)
        CFRelease(s);
    return out;
}

// On the main thread, between the session's own calls: once the button reads "Quit",
// note what the window shows and press it.
void observe(void*) {
    ProgParms* parms = progParmsFor(nullptr);
    if (!parms || !parms->wind || gFinish.seen)
        return;
    if (text(parms->wind, 1) != "Quit")
        return;
    gFinish.seen = true;
    gFinish.bar = parms->curVal;  // the per-mille sent, also above the bar's maximum
    gFinish.hint = text(parms->wind, 12);
    ControlRef button = getControlByID(parms->wind, fourCC("PrMs"), 1);
    EventRef hit = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &hit);
    SetEventParameter(hit, kEventParamDirectObject, typeControlRef, sizeof button, &button);
    SendEventToEventTarget(hit, GetControlEventTarget(button));
    ReleaseEvent(hit);
}

class SessionLines : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        platformInitApplicationForTesting();
        root = fs::temp_directory_path() / ("quillon-lines-" + std::to_string(getpid()));
        fs::path resources = root / "Q.app/Contents/Resources";
        fs::create_directories(root / "Q.app/Contents/MacOS");
        fs::create_directories(resources);
        fs::copy(BUNDLE_RESOURCES_DIR, resources, fs::copy_options::recursive);
        std::ofstream(resources / "Tarvo_Download.dat") << "#!/bin/sh\ncat fake-output\n";
        fs::permissions(resources / "Tarvo_Download.dat", fs::perms::owner_all);
        setMainExecutablePathForTesting((root / "Q.app/Contents/MacOS/Q").string());
        platformSetResourcesFolderForTesting(resources.c_str());
        fs::create_directories(root / "driver");
        std::ofstream(root / "driver/ftdi_sio");
        std::ofstream(root / "ttyUSB-fake0");
        setenv("QUILLON_SERIAL_DRIVER", (root / "driver").c_str(), 1);
        setenv("QUILLON_SERIAL_DEVICES", (root / "ttyUSB-fake*").c_str(), 1);
    }
    static void TearDownTestSuite() {
        setMainExecutablePathForTesting("");
        fs::remove_all(root);
    }

    Finish run(const std::string& output, std::uintmax_t imageSize) {
        fs::path resources = root / "Q.app/Contents/Resources";
        std::ofstream(resources / "fake-output", std::ios::binary) << output;
        { std::ofstream(resources / "Tarvo_Firmware.txt"); }
        fs::resize_file(resources / "Tarvo_Firmware.txt", imageSize);
        gFinish = Finish{};
        gDone = false;
        std::thread poster([] {
            auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!gDone && std::chrono::steady_clock::now() < until) {
                postToMainThread(observe, nullptr);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        doWork();
        gDone = true;
        poster.join();
        return gFinish;
    }
    static fs::path root;
};
fs::path SessionLines::root;

struct LineCase {
    const char* name;
    std::string output;
    std::uintmax_t image;
    long bar;
    std::string hint;
};

TEST_F(SessionLines, LineRules) {
    const std::string a = std::string(257, 'A');
    const LineCase cases[] = {
        {"progress lines end in CR", kHead + progress(30720, 1) + "\r" + progress(35000, 1) +
                                         "\r" + progress(40960, 2) + "\r\n",
         40960, 1005, "Uploading finished"},
        {"LF ends a line as CR does", kHead + progress(30720, 1) + "\n" + progress(35000, 1) +
                                          "\n" + progress(40960, 2) + "\n\n",
         40960, 1005, "Uploading finished"},
        // CR LF gives an empty line between: the sixth line is the second progress line's
        // empty follower, so the bar stops at the count before it.
        {"CR LF makes an empty line", kHead + progress(30720, 1) + "\r\n" + progress(35000, 1) +
                                          "\r\n" + progress(40960, 2) + "\r\n",
         40960, 859, "Uploading finished"},
        {"count 30720 of 1 MiB is 34 per mille",
         kHead + progress(30000, 0) + "\r" + progress(30100, 0) + "\r" + progress(30720, 1) +
             "\r\n",
         1048576, 34, "Uploading finished"},
        {"a line without a count ends the loop and is shown",
         kHead + progress(30720, 1) + "\r" + progress(35000, 1) + "\r" + progress(36000, 1) +
             "\rDownload Firmware Fail, ret = -1\n",
         40960, 883, "Download Firmware Fail, ret = -1"},
        // 256 characters make a line, the 257th is dropped, the rest starts the next line.
        {"a 300-character line is cut at 256",
         kHead + progress(30720, 1) + "\r" + a + progress(40960, 2) + std::string(19, ' ') +
             "\r\n",
         40960, 1005, "Uploading finished"},
        {"a line cut off by the end of the stream",
         kHead + progress(30720, 1) + "\r" + progress(35000, 1) + "\r" + progress(36000, 1) +
             "\rTransfer 40",
         // The last count parsed becomes the bar's maximum and value: the bar shows full.
         40960, 36000, "Transfer 40"},
        {"directives in the last line are harmless",
         kHead + progress(30720, 1) + "\r" + progress(35000, 1) + "\r" + progress(36000, 1) +
             "\rFail %s %s %n %@ %p %ld ^4\n",
         40960, 883, "Fail"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        Finish f = run(c.output, c.image);
        ASSERT_TRUE(f.seen) << "the session never offered Quit";
        EXPECT_EQ(f.bar, c.bar);
        if (std::string(c.name).rfind("directives", 0) == 0)
            EXPECT_EQ(f.hint.rfind("Fail", 0), 0u) << f.hint;
        else
            EXPECT_EQ(f.hint, c.hint);
    }
}

}  // namespace
