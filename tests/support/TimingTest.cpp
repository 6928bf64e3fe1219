// The tick arithmetic of the pump, the idle wait and the delays, on a simulated clock: every
// read of the tick count moves it on by a tenth of a tick, and a yield moves it on by the
// ticks it was given. Also the number parser and the memory copy.
#include "PlatformClock.h"
#include "PlatformEvents.h"
#include "miscSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

UInt64 tenths = 0; // simulated time in tenths of a tick

UInt32 simulatedTicks() {
    UInt32 t = UInt32(tenths / 10);
    tenths += 1;
    return t;
}

struct Call {
    EventMask mask;
    UInt32 sleep;
};
std::vector<Call> waits;
std::vector<EventMask> flushes;

Boolean recordWait(EventMask mask, EventRecord* event, UInt32 sleep) {
    waits.push_back({mask, sleep});
    tenths += UInt64(sleep) * 10;
    if (event) *event = EventRecord{};
    return false;
}

void recordFlush(EventMask mask) {
    flushes.push_back(mask);
}

class Timing : public ::testing::Test {
  protected:
    void SetUp() override {
        tenths = 1000000; // tick 100000, at the start of a tick
        waits.clear();
        flushes.clear();
        setTickSourceForTesting(simulatedTicks);
        setEventPumpHooksForTesting(recordWait, recordFlush);
    }
    void TearDown() override {
        setTickSourceForTesting(nullptr);
        setEventPumpHooksForTesting(nullptr, nullptr);
    }
    // Whole ticks that `wait` let pass.
    template <class F> UInt64 ticksTaken(F wait) {
        UInt64 start = tenths;
        wait();
        return (tenths - start) / 10;
    }
};

} // namespace

TEST_F(Timing, DelaysWaitWholeTicks) {
    struct Case {
        const char* what;
        void (*fn)(long);
        long arg;
        UInt64 ticks;
    };
    const Case cases[] = {
        {"delayMS", delayMS, 15, 0},      {"delayMS", delayMS, 16, 1},
        {"delayMS", delayMS, 31, 1},      {"delayMS", delayMS, 1000, 62},
        {"delayMS", delayMS, 0, 0},       {"delayMS", delayMS, -100, 0},
        {"delayTicks", delayTicks, 1, 1}, {"delayTicks", delayTicks, 7, 7},
        {"delayTicks", delayTicks, 8, 8}, {"delayTicks", delayTicks, 30, 30},
        {"delayTicks", delayTicks, 0, 0}, {"delayTicks", delayTicks, -5, 0},
    };
    for (const Case& c : cases) {
        tenths = 1000000;
        EXPECT_EQ(ticksTaken([&] { c.fn(c.arg); }), c.ticks) << c.what << "(" << c.arg << ")";
    }
    EXPECT_TRUE(waits.empty()); // no events are handled during a delay
}

TEST_F(Timing, RunEventLoopPumpsAtMostOnceEveryTwoTicks) {
    // Far beyond any earlier pump of this process, so the first call pumps.
    tenths = 50000000;
    runEventLoop();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].mask, everyEvent);
    EXPECT_EQ(waits[0].sleep, 0u);

    tenths += 15; // 1.5 ticks after the end of the pump
    runEventLoop();
    runEventLoop();
    EXPECT_EQ(waits.size(), 1u);

    tenths += 5; // 2 ticks after it
    runEventLoop();
    EXPECT_EQ(waits.size(), 2u);
    tenths += 10; // measured from the end of the latest pump, not the first
    runEventLoop();
    EXPECT_EQ(waits.size(), 2u);
}

TEST_F(Timing, IdleTicksYieldsInIntervalsAndFlushesInput) {
    struct Case {
        long ticks;
        UInt32 interval;
        size_t passes;
    };
    // Each pass is a yield of `interval` ticks and a wait of as many.
    const Case cases[] = {{3, 1, 2},    {19, 1, 10}, {20, 1, 10}, {40, 2, 10},
                          {120, 6, 10}, {0, 0, 0},   {-5, 0, 0}};
    for (const Case& c : cases) {
        waits.clear();
        flushes.clear();
        tenths = 1000000;
        UInt64 taken = ticksTaken([&] { idleTicks(c.ticks); });
        SCOPED_TRACE(c.ticks);
        EXPECT_EQ(waits.size(), c.passes);
        for (const Call& w : waits) {
            EXPECT_EQ(w.mask, 0);
            EXPECT_EQ(w.sleep, c.interval);
        }
        if (c.ticks > 0) {
            EXPECT_GE(taken, UInt64(c.ticks));
        }
        ASSERT_EQ(flushes.size(), 1u);
        EXPECT_EQ(flushes[0], everyEvent);
    }
}

TEST(Numbers, StrToNumTable) {
    struct Case {
        const char* text;
        long value;
    };
    const Case cases[] = {
        {"123", 123},   {"-42", -42}, {"0x1F", 31},   {"0x1f", 31},       {"-0x10", -16},
        {" 12abc", 12}, {"1A", 1},    {"12-3", -123}, {"0X10", 0},        {"abc", 0},
        {"10x5", 10},   {"", 0},      {"x10", 10},    {"4294967295", -1},
    };
    for (const Case& c : cases) {
        unsigned char p[256];
        p[0] = UInt8(std::strlen(c.text));
        std::memcpy(p + 1, c.text, p[0]);
        EXPECT_EQ(strToNum(p), c.value) << '"' << c.text << '"';
    }
    // Only the counted characters are read.
    const unsigned char counted[] = {2, '1', '2', '3'};
    EXPECT_EQ(strToNum(counted), 12);
}

TEST(Memory, CopyCountsAndOverlap) {
    for (long count : {0L, -5L}) {
        char to[4] = {'a', 'b', 'c', 'd'};
        copy(to, "xyz", count);
        EXPECT_EQ(std::memcmp(to, "abcd", 4), 0) << count;
    }
    char text[] = "abcdef";
    copy(text + 2, text, 4);
    EXPECT_STREQ(text, "ababcd");
}
