#include "PlatformClock.h"

#include <atomic>
#include <time.h>

namespace {

std::atomic<UInt32 (*)()> tickSource{nullptr};
std::atomic<std::time_t (*)()> unixTimeSource{nullptr};

// Seconds from 1904-01-01 to 1970-01-01: 66 years, 17 of them leap years.
constexpr SInt64 kSeconds1904To1970 = (66LL * 365 + 17) * 86400;
// Seconds from 1970-01-01 to 2001-01-01 UTC.
constexpr double kSeconds1970To2001 = 978307200.0;

UInt64 monotonicMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return UInt64(ts.tv_sec) * 1000000u + UInt64(ts.tv_nsec) / 1000u;
}

} // namespace

UInt32 TickCount() {
    if (auto source = tickSource.load()) return source();
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    UInt64 ticks = UInt64(ts.tv_sec) * 60u + UInt64(ts.tv_nsec) * 60u / 1000000000u;
    return UInt32(ticks);
}

void Microseconds(UnsignedWide* microTickCount) {
    if (!microTickCount) return;
    UInt64 us = monotonicMicroseconds();
    microTickCount->hi = UInt32(us >> 32);
    microTickCount->lo = UInt32(us);
}

UInt32 platformDateTimeFromUnix(std::time_t t) {
    tm local{};
    if (!localtime_r(&t, &local)) return 0;
    // tm_gmtoff is the local offset from UTC at that instant, daylight saving included.
    SInt64 localSeconds = SInt64(t) + SInt64(local.tm_gmtoff);
    return UInt32(localSeconds + kSeconds1904To1970);
}

void GetDateTime(UInt32* secs) {
    if (!secs) return;
    auto source = unixTimeSource.load();
    *secs = platformDateTimeFromUnix(source ? source() : std::time(nullptr));
}

void SecondsToDate(UInt32 secs, DateTimeRec* d) {
    if (!d) return;
    // The seconds are local already: break them down as if they were UTC.
    std::time_t t = std::time_t(SInt64(secs) - kSeconds1904To1970);
    tm c{};
    gmtime_r(&t, &c);
    d->year = SInt16(c.tm_year + 1900);
    d->month = SInt16(c.tm_mon + 1);
    d->day = SInt16(c.tm_mday);
    d->hour = SInt16(c.tm_hour);
    d->minute = SInt16(c.tm_min);
    d->second = SInt16(c.tm_sec);
    d->dayOfWeek = SInt16(c.tm_wday + 1);
}

CFAbsoluteTime CFAbsoluteTimeGetCurrent() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9 - kSeconds1970To2001;
}

void setTickSourceForTesting(UInt32 (*source)()) {
    tickSource.store(source);
}
void setUnixTimeSourceForTesting(std::time_t (*source)()) {
    unixTimeSource.store(source);
}
