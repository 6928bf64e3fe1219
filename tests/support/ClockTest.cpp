// The date-time clock against the C library's local time, and the tick source seam.
#include "PlatformClock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

std::time_t fixedNow = 0;
std::time_t fixedSource() {
    return fixedNow;
}

struct ZoneCase {
    const char* tz;
    std::time_t instant;
};

} // namespace

TEST(Clock, DateTimeIsLocalSecondsSince1904) {
    // POSIX zone rules, so the test needs no zone database.
    const ZoneCase cases[] = {
        {"UTC0", 0},                                // 1970-01-01 00:00:00
        {"EST5EDT,M3.2.0,M11.1.0", 1700000000},     // winter: UTC-5
        {"EST5EDT,M3.2.0,M11.1.0", 1690000000},     // summer: UTC-4
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1719792000}, // 2024-07-01 in summer time: UTC+2
        {"UTC0", 2082844799},                       // 2035-12-31 23:59:59: late in the 32-bit range
    };
    std::string saved = std::getenv("TZ") ? std::getenv("TZ") : "";
    setTickSourceForTesting(nullptr);
    setUnixTimeSourceForTesting(fixedSource);
    for (const ZoneCase& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        fixedNow = c.instant;
        UInt32 secs = 0;
        GetDateTime(&secs);

        std::tm local{};
        localtime_r(&c.instant, &local);
        DateTimeRec d{};
        SecondsToDate(secs, &d);
        SCOPED_TRACE(std::string(c.tz) + " @ " + std::to_string(c.instant));
        EXPECT_EQ(d.year, local.tm_year + 1900);
        EXPECT_EQ(d.month, local.tm_mon + 1);
        EXPECT_EQ(d.day, local.tm_mday);
        EXPECT_EQ(d.hour, local.tm_hour);
        EXPECT_EQ(d.minute, local.tm_min);
        EXPECT_EQ(d.second, local.tm_sec);
        EXPECT_EQ(d.dayOfWeek, local.tm_wday + 1);
        EXPECT_EQ(SInt64(secs), SInt64(c.instant) + local.tm_gmtoff + 2082844800LL);
    }
    setUnixTimeSourceForTesting(nullptr);
    if (saved.empty())
        unsetenv("TZ");
    else
        setenv("TZ", saved.c_str(), 1);
    tzset();
}

TEST(Clock, KnownDatesBreakDown) {
    DateTimeRec d{};
    SecondsToDate(0, &d); // the epoch itself: Friday, 1 January 1904
    EXPECT_EQ(d.year, 1904);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.dayOfWeek, 6);
    SecondsToDate(UInt32(2082844800u + 86400u * 59u + 3600u * 13u + 60u * 5u), &d);
    EXPECT_EQ(d.year, 1970); // 1 March 1970, 13:05
    EXPECT_EQ(d.month, 3);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.hour, 13);
    EXPECT_EQ(d.minute, 5);
}

TEST(Clock, MicrosecondsHalvesAndTicksAgree) {
    UnsignedWide before{}, after{};
    Microseconds(&before);
    UInt32 ticks = TickCount();
    Microseconds(&after);
    UInt64 us0 = (UInt64(before.hi) << 32) | before.lo;
    UInt64 us1 = (UInt64(after.hi) << 32) | after.lo;
    EXPECT_LE(us0, us1);
    // Both count from the same start: the ticks lie between the two microsecond readings.
    EXPECT_GE(ticks, UInt32(us0 * 60 / 1000000) - 1);
    EXPECT_LE(ticks, UInt32(us1 * 60 / 1000000) + 1);
}
