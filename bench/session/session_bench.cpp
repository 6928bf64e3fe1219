// The update session's own cost: fed the exact output of a 1 MiB transfer at full speed by a
// fake tool, how much CPU time does it take until the finished state, as a share of the
// 17.5 minutes the transfer takes at best on the wire? And while lines stream, how long from
// a press of the stop button to the end of the read loop?
#include "PlatformApp.h"
#include "PlatformBundle.h"
#include "PlatformCarbonEvents.h"
#include "PlatformControls.h"
#include "PlatformMainThread.h"
#include "PlatformWindows.h"
#include "document.h"
#include "showMessage.h"
#include "windSupport.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

enum class Phase { transfer, stop };
Phase gPhase;
bool gQuitSeen = false;
double gCpuAtQuit = 0;
Clock::time_point gWallAtQuit;
Clock::time_point gPressed;
Clock::time_point gAborted;
bool gStopPressed = false;
bool gAbortSeen = false;
std::atomic<bool> gDone{false};

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string text(WindowRef w, OSType sig, SInt32 id) {
    CFStringRef s = id == 1 ? CopyControlTitleAsCFString(getControlByID(w, sig, 1))
                            : getControlText(w, sig, id, nullptr);
    std::string out = platformStringUTF8(s);
    if (s)
        CFRelease(s);
    return out;
}

void press(WindowRef w, OSType sig, SInt32 id) {
    ControlRef button = getControlByID(w, sig, id);
    if (!button)
        return;
    EventRef hit = nullptr;
    CreateEvent(nullptr, kEventClassControl, kEventControlHit, 0, 0, &hit);
    SetEventParameter(hit, kEventParamDirectObject, typeControlRef, sizeof button, &button);
    SendEventToEventTarget(hit, GetControlEventTarget(button));
    ReleaseEvent(hit);
}

void observe(void*) {
    ProgParms* parms = progParmsFor(nullptr);
    WindowRef front = FrontWindow();
    if (front && getControlByID(front, fourCC("ShMs"), 1)) {
        press(front, fourCC("ShMs"), 1);  // the aborted sheet
        return;
    }
    if (!parms || !parms->wind)
        return;
    if (gPhase == Phase::transfer) {
        if (!gQuitSeen && text(parms->wind, fourCC("PrMs"), 1) == "Quit") {
            gQuitSeen = true;
            gCpuAtQuit = cpuSeconds();
            gWallAtQuit = Clock::now();
            press(parms->wind, fourCC("PrMs"), 1);
        }
        return;
    }
    if (!gStopPressed && parms->curVal >= 100) {
        gStopPressed = true;
        gPressed = Clock::now();
        press(parms->wind, fourCC("PrMs"), 1);
    } else if (gStopPressed && !gAbortSeen &&
               text(parms->wind, fourCC("PrMs"), 12) == "Aborted by user...") {
        gAbortSeen = true;
        gAborted = Clock::now();
    }
}

void runSession() {
    gDone = false;
    std::thread poster([] {
        while (!gDone) {
            postToMainThread(observe, nullptr);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    doWork();
    gDone = true;
    poster.join();
}

}  // namespace

int main() {
    platformInitApplicationForTesting();
    fs::path root = fs::temp_directory_path() / ("quillon-bench-" + std::to_string(getpid()));
    fs::path resources = root / "Q.app/Contents/Resources";
    fs::create_directories(root / "Q.app/Contents/MacOS");
    fs::create_directories(resources);
    fs::copy(BUNDLE_RESOURCES_DIR, resources, fs::copy_options::recursive);
    fs::copy_file(FAKE_TOOL, resources / "Tarvo_Download.dat");
    const long size = 1048576;
    { std::ofstream(resources / "Tarvo_Firmware.txt"); }
    fs::resize_file(resources / "Tarvo_Firmware.txt", size);
    setMainExecutablePathForTesting((root / "Q.app/Contents/MacOS/Q").string());
    platformSetResourcesFolderForTesting(resources.c_str());
    fs::create_directories(root / "driver");
    std::ofstream(root / "driver/ftdi_sio");
    std::ofstream(root / "ttyUSB-bench0");
    setenv("QUILLON_SERIAL_DRIVER", (root / "driver").c_str(), 1);
    setenv("QUILLON_SERIAL_DEVICES", (root / "ttyUSB-bench0").c_str(), 1);

    gPhase = Phase::transfer;
    setenv("FAKE_TOOL_MODE", ("transfer:" + std::to_string(size)).c_str(), 1);
    double cpu0 = cpuSeconds();
    auto wall0 = Clock::now();
    runSession();
    if (!gQuitSeen) {
        std::printf("the session never reached its finished state\n");
        return 1;
    }
    double cpu = gCpuAtQuit - cpu0;
    double wall = std::chrono::duration<double>(gWallAtQuit - wall0).count();
    const double wire = 17.5 * 60;
    std::printf("1 MiB transfer: %.2f s CPU, %.2f s wall until finished\n", cpu, wall);
    std::printf("cpu share %.3f%%\n", cpu / wire * 100);

    gPhase = Phase::stop;
    setenv("FAKE_TOOL_MODE", "stream", 1);
    runSession();
    if (!gAbortSeen) {
        std::printf("the stop button did not end the read loop\n");
        return 1;
    }
    std::printf("stop latency %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           gAborted - gPressed)
                                           .count()));
    setMainExecutablePathForTesting("");
    fs::remove_all(root);
    return 0;
}
