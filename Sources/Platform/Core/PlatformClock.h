// The system clocks: ticks (1/60 s) and microseconds on the monotonic clock since the
// machine started, local date-time as seconds since midnight, 1 January 1904, and its
// breakdown into a calendar date. Tests can replace the tick and wall-clock sources, so that
// tick arithmetic and date conversions are checked without waiting or racing real time.
#pragma once

#include "PlatformTypes.h"

#include <ctime>

// Ticks since start-up, 1/60 s each, cut to 32 bits (it wraps after about 828 days).
UInt32 TickCount();

// Local date-time as seconds since 1904-01-01 00:00 local time (32 bits unsigned, so it wraps
// in 2040). A null argument is ignored.
void GetDateTime(UInt32* secs);

// Microseconds since start-up: the high 32 bits first, then the low 32 bits.
struct UnsignedWide {
    UInt32 hi;
    UInt32 lo;
};
void Microseconds(UnsignedWide* microTickCount);

// A calendar date and clock time; dayOfWeek is 1 for Sunday to 7 for Saturday.
struct DateTimeRec {
    SInt16 year;
    SInt16 month;
    SInt16 day;
    SInt16 hour;
    SInt16 minute;
    SInt16 second;
    SInt16 dayOfWeek;
};

// Breaks date-time seconds into a date. The seconds already are local time, so no time zone
// is applied here. A null record is ignored.
void SecondsToDate(UInt32 secs, DateTimeRec* d);

// Seconds of the run-loop clock: since 2001-01-01 00:00 UTC, with fractions.
using CFAbsoluteTime = double;
using CFTimeInterval = double;
CFAbsoluteTime CFAbsoluteTimeGetCurrent();

// For the platform layer: a POSIX time as local date-time seconds since 1904 (the C
// library's local time, daylight saving included).
UInt32 platformDateTimeFromUnix(std::time_t t);

// Tests: ticks come from `source` instead of the monotonic clock (null restores it).
void setTickSourceForTesting(UInt32 (*source)());
// Tests: GetDateTime reads "now" from `source` instead of time() (null restores it).
void setUnixTimeSourceForTesting(std::time_t (*source)());
