#include "miscSupport.h"

#include "PlatformClock.h"

#include <cstring>
#include <time.h>

namespace {

// Tick count read just after the latest pump; 0 at start, so the first call pumps.
UInt32 lastTicks = 0;

// A tick lasts 16.7 ms: polling the clock every millisecond finds its end just as well as
// spinning would, without keeping a core busy.
void napBriefly() {
    timespec ts{0, 1000000};
    nanosleep(&ts, nullptr);
}

void waitUntilTick(UInt32 end) {
    while (TickCount() < end)
        napBriefly();
}

} // namespace

unsigned long getTicks() {
    return TickCount();
}

unsigned long getTime() {
    UInt32 secs = 0;
    GetDateTime(&secs);
    return secs;
}

void runEventLoop() {
    UInt32 t = TickCount();
    if (t < UInt32(lastTicks + 2)) return;
    EventRecord event;
    WaitNextEvent(everyEvent, &event, 0, nullptr);
    lastTicks = TickCount();
}

void idleTicks(long ticks) {
    // The explicit check keeps a count of 0 or less from wrapping `end` near tick 0.
    if (ticks > 0) {
        UInt32 end = UInt32(TickCount() + UInt32(ticks));
        long interval = ticks / 20;
        if (interval == 0) interval = 1;
        while (TickCount() < end) {
            EventRecord event;
            WaitNextEvent(0, &event, UInt32(interval), nullptr);
            delayTicks(interval);
        }
    }
    FlushEvents(everyEvent, 0);
}

void delayTicks(long ticks) {
    if (ticks <= 7) {
        delayMS(ticks * 17);
        return;
    }
    waitUntilTick(UInt32(TickCount() + UInt32(ticks)));
}

void delayMS(long miliseconds) {
    long n = miliseconds / 16;
    if (n <= 0) return;
    waitUntilTick(UInt32(TickCount() + UInt32(n)));
}

UInt64 getMicroseconds() {
    UnsignedWide us{};
    Microseconds(&us);
    return (UInt64(us.hi) << 32) + us.lo;
}

UInt64 getMiliseconds() {
    return (getMicroseconds() + 500) / 1000;
}

void delayUS(long microseconds) {
    if (microseconds <= 0) return;
    UInt64 end = getMicroseconds() + UInt64(SInt64(microseconds));
    for (UInt64 now = getMicroseconds(); now < end; now = getMicroseconds()) {
        UInt64 left = end - now;
        timespec ts{0, long(left < 1000 ? left : 1000) * 1000};
        nanosleep(&ts, nullptr);
    }
}

signed char getChar(long timeoutMS) {
    UInt64 start = getMicroseconds();
    // The product is a 32-bit signed value (wrapping, not undefined), then widened.
    SInt32 limit = SInt32(UInt32(timeoutMS) * 1000u);
    UInt64 deadline = start + UInt64(SInt64(limit));
    for (;;) {
        EventRecord event;
        if (GetNextEvent(mDownMask | keyDownMask | autoKeyMask, &event)) {
            if (event.what == mouseDown) return -128;
            return static_cast<signed char>(event.message & 0x7F);
        }
        if (getMicroseconds() > deadline) return 0;
        napBriefly();
    }
}

short getModifiers(unsigned short mask) {
    if (mask == 0) mask = 0xFFFF;
    EventRecord event;
    GetNextEvent(0, &event);
    return static_cast<short>(event.modifiers & mask);
}

GrafPtr getPort() {
    GrafPtr port = nullptr;
    GetPort(&port);
    return port;
}

CGrafPtr getCPort() {
    return getPort();
}

void backColor(short val) {
    backColor(val, val, val);
}

void backColor(short red, short green, short blue) {
    RGBColor c{UInt16(red), UInt16(green), UInt16(blue)};
    RGBBackColor(&c);
}

void foreColor(short val) {
    foreColor(val, val, val);
}

void foreColor(short red, short green, short blue) {
    RGBColor c{UInt16(red), UInt16(green), UInt16(blue)};
    RGBForeColor(&c);
}

void copy(void* to, const void* from, long count) {
    if (count <= 0) return;
    std::memmove(to, from, size_t(count));
}

long strToNum(const unsigned char* str) {
    if (!str) return 0;
    UInt32 radix = 10;
    UInt32 value = 0;
    bool started = false;
    bool neg = false;
    int n = str[0];
    for (int i = 1; i <= n; ++i) {
        unsigned char c = str[i];
        if (c == '-') {
            neg = true;
            continue;
        }
        if (c == 'x' && i > 1 && str[i - 1] == '0' && value == 0) {
            radix = 16;
            continue;
        }
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (radix == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (radix == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0) {
            if (started) break;
            continue;
        }
        value = value * radix + UInt32(digit);
        started = true;
    }
    long result = SInt32(value);
    return neg ? -result : result;
}

void scheduleEventLoop(CFRunLoopTimerCallBack callback, long seconds) {
    CFAbsoluteTime fireDate = CFAbsoluteTimeGetCurrent() + double(seconds);
    CFRunLoopTimerRef timer =
        CFRunLoopTimerCreate(kCFAllocatorDefault, fireDate, 0.0, 0, 0, callback, nullptr);
    if (!timer) return;
    CFRunLoopAddTimer(CFRunLoopGetCurrent(), timer, kCFRunLoopCommonModes);
    // The run loop keeps its own reference until the timer has fired.
    CFRelease(timer);
}
