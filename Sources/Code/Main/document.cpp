#include "document.h"

#include "PlatformApp.h"
#include "PlatformClock.h"
#include "PlatformControls.h"
#include "PlatformFiles.h"
#include "PlatformMainThread.h"
#include "PlatformProcess.h"
#include "PlatformWindows.h"
#include "SerialDevices.h"
#include "_printf.h"
#include "fileSupport.h"
#include "miscSupport.h"
#include "showMessage.h"
#include "windSupport.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

TMTask Timer;
// Set by the watchdog's first expiry (on the timer thread): the next expiry is the second.
// A flag of its own rather than the tool's stream, so that a tool that could not be started
// still gets the notice before the end.
std::atomic<bool> gWatchdogFired{false};
// Main thread only: the progress window was closed by the watchdog (or never opened), so
// nothing may touch it or wait for its buttons any more.
bool gProgressGone = false;

constexpr OSType kProgSig = fourCC("PrMs");
constexpr long kMaxLines = 2000000;
// How long one wait for the tool's output or for interface events may last: one tick.
constexpr int kWaitMs = 16;

CFStringRef copyLocalized(const char* key) {
    CFStringRef k = CFSTR(key);
    return platformCopyLocalizedString(k, k, nullptr);
}

// First line of a listing as the shell's `ls` would print it (with its line end), cut as a
// 200-byte fgets would cut it.
std::string firstLine(const std::vector<std::string>& listing) {
    if (listing.empty())
        return {};
    std::string line = listing.front() + "\n";
    if (line.size() > 199)
        line.resize(199);
    return line;
}

// Modal message without a parent; returns the button pressed.
long ask(long type, const char* key) {
    CFStringRef text = copyLocalized(key);
    long reply = showMessage(WindowRef(nullptr), type, text);
    CFRelease(text);
    return reply;
}

// "%D:%02D AM" style clock text of a date-time.
void clockText(char* out, UInt32 secs) {
    DateTimeRec d{};
    SecondsToDate(secs, &d);
    int hour = d.hour, minute = d.minute;
    if (hour < 12)
        _sprintf(out, "%D:%02D AM", hour, minute);
    else if (hour == 12)
        _sprintf(out, "%D:%02D PM", 12, minute);
    else
        _sprintf(out, "%D:%02D PM", hour - 12, minute);
}

// The watchdog's interface part, run on the main thread between the session's own calls.
void noResponse(void*) {
    progClose(nullptr);
    gProgressGone = true;
    CFStringRef text = copyLocalized("msgNoResponce");
    showMessage(EventHandlerProcPtr(nullptr), 0x209, text);
    CFRelease(text);
}

void stopWatchdog() {
    RemoveTimeTask(reinterpret_cast<QElemPtr>(&Timer));
}

}  // namespace

void myTimerCallback(TMTask* tmTaskPtr) {
    if (gWatchdogFired.exchange(true)) {
        // Second expiry: whatever the main thread is doing, the application ends here.
        ExitToShell();
    }
    PrimeTimeTask(reinterpret_cast<QElemPtr>(tmTaskPtr), 30000);
    postToMainThread(noResponse, nullptr);
}

void doWork() {
    char line[257] = "";
    char sink[256];
    char start[100] = "";
    char stop[100] = "";
    char path[2000] = "";

    // 1. The driver: present when the first line of its folder's listing is longer than one
    // character. Asked once; the second button ends the application.
    std::string first = firstLine(serialDriverListing());
    if (first.size() <= 1) {
        if (ask(10, "msgWrongSerialDriver") == 2)
            ExitToShell();
    }

    // 2. A device: asked again until one is there.
    for (;;) {
        first = firstLine(serialDeviceListing());
        if (first.size() > 10)
            break;
        if (ask(10, "msgNoSerialDriver") == 2)
            ExitToShell();
    }

    // 3, 4. The resources folder and the firmware image. An image that is missing or empty
    // would make the tool report success without sending anything, so no tool is started.
    FSRef ref{};
    FSCatalogInfo info{};
    bool haveFolder = getResourceFileFSRef(nullptr, &ref) &&
                      FSRefMakePath(&ref, reinterpret_cast<UInt8*>(path), sizeof path) == noErr;
    bool haveImage = haveFolder &&
                     getResourceFileFSRef(reinterpret_cast<const unsigned char*>(
                                              "\x12Tarvo_Firmware.txt"),
                                          &ref) &&
                     FSGetCatalogInfo(&ref, kFSCatInfoGettableInfo, &info, nullptr, nullptr,
                                      nullptr) == noErr;
    SInt64 total = haveImage ? SInt64(info.dataLogicalSize) : 0;
    if (total <= 0) {
        ask(9, "msgNoFirmwareImage");
        return;
    }

    // 5, 6. The estimate and the clock times.
    SInt64 estTime = total * 10 / 9600 + 60;
    UInt32 now = UInt32(getTime());
    clockText(start, now);
    clockText(stop, UInt32(now + UInt64(estTime)));

    // 7 to 11. The progress window.
    CFStringRef updating = copyLocalized("msgUpdating");
    CFStringRef connecting = copyLocalized("msgConnecting");
    gProgressGone = false;
    WindowRef wind = progMessage(nullptr, 0x105, updating, connecting, nullptr);
    CFRelease(updating);
    CFRelease(connecting);
    if (!wind)
        return;  // no interface to show or stop a transfer with: do not start one
    enableControl(wind, kProgSig, 1, false);
    progSetMaximum(nullptr, 1000, 0);
    CFStringRef left = _cfprintf(start);
    CFStringRef right = _cfprintf(stop);
    progSetNotes(nullptr, 0, left, nullptr, right);
    CFRelease(left);
    CFRelease(right);
    long reply = progSetValue(nullptr, 1, 0);
    runEventLoop();
    idleTicks(3);

    // 12. The watchdog.
    Timer = TMTask{};
    Timer.tmAddr = NewTimerUPP(myTimerCallback);
    gWatchdogFired = false;
    InstallXTimeTask(reinterpret_cast<QElemPtr>(&Timer));
    PrimeTimeTask(reinterpret_cast<QElemPtr>(&Timer), 60000);

    // 13. The tool, in the resources folder, started directly (no shell sees the path).
    FILE* pipe = openProcessStream(path, "./Tarvo_Download.dat", {"Tarvo_Firmware.txt"});
    int fd = processStreamDescriptor(pipe);

    // 14. The read loop.
    int i = 0;
    int idx = 0;
    long bytes = 0;
    long pct = 0;
    long percent = 0;
    while (i < kMaxLines) {
        runEventLoop();
        std::size_t got = 0;
        if (pipe) {
            clearerr(pipe);
            got = std::fread(&line[idx], 1, 1, pipe);
        }
        if (got == 0) {
            line[idx] = 0;  // a line cut off by the end of the stream is still a string
            reply = progSetValue(nullptr, 0, 0);
            if (reply != 0)
                break;
            bool atEnd = !pipe || std::feof(pipe);
            if (atEnd && i > 5)
                break;
            reply = progSetValue(nullptr, 0, 0);
            // Nothing to read: sleep until the tool writes or the interface has events, for
            // at most a tick; at the end of the stream there is nothing to wait on but events.
            waitForInputOrEvents(atEnd ? -1 : fd, kWaitMs);
            continue;
        }
        char c = line[idx];
        if (c == '\n' || c == '\r' || idx > 255) {
            if (i == 3) {
                stopWatchdog();
                if (!gProgressGone)
                    enableControl(wind, kProgSig, 1, true);
                progSetMsgHint(nullptr, 0, nullptr, CFSTR("Uploading firmware..."));
            }
            line[idx] = 0;
            bytes = 0;
            std::sscanf(line, "%255s%ld%255s%ld%255s", sink, &bytes, sink, &pct, sink);
            pct = long(SInt64(bytes) * 1000 / total + 5);
            if (i >= 5) {
                if (bytes == 0)
                    break;
                if (pct != percent) {
                    percent = pct;
                    reply = progSetValue(nullptr, percent, 0);
                    if (reply > 0)
                        break;
                }
            }
            ++i;
            idx = 0;
        } else {
            ++idx;
        }
    }

    // 15. The ending.
    if (reply > 0)
        std::strcpy(line, "Aborted by user...");
    CFStringRef closing =
        std::strlen(line) <= 10 ? CFSTR("Uploading finished") : _cfprintf(line);
    progSetMsgHint(nullptr, 0x205, nullptr, closing);
    CFRelease(closing);
    CFStringRef bytesNote = CFSTR("%p bytes");  // stays alive while it is the note's format
    progSetNotes(nullptr, 0, nullptr, bytesNote, nullptr);
    if (reply == 0) {
        if (!gProgressGone) {
            progSetMaximum(nullptr, bytes, 0);
            setControlText(wind, kProgSig, 1, CFSTR("Quit"), nullptr);
            while (!gProgressGone && progSetValue(nullptr, bytes, 0) == 0)
                waitForInputOrEvents(-1, kWaitMs);
        }
    } else {
        idleTicks(120);
        if (!gProgressGone) {
            CFStringRef text = copyLocalized("msgAbortedUpload");
            showMessage(wind, 9, text);
            CFRelease(text);
        }
    }
    progClose(nullptr);
    gProgressGone = true;
    stopWatchdog();
    if (pipe)
        closeProcessStream(pipe);
}

int doUpload(short) {
    CFStringRef text = copyLocalized("msgAboutThisUpdate");
    showMessage(myHandler, 0x20A, text);
    CFRelease(text);
    return 0;
}

OSStatus myHandler(EventHandlerCallRef, EventRef, void* inUserData) {
    ControlRef control = static_cast<ControlRef>(inUserData);
    WindowRef window = GetControlOwner(control);
    ControlID id{0, 0};
    GetControlID(control, &id);
    if (id.id >= 1 && id.id <= 3) {
        DisposeWindow(window);
        if (id.id == 1)
            doWork();
        QuitApplicationEventLoop();
    }
    return noErr;
}
