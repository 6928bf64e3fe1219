// The watchdog's timer: one-shot expiries on a thread of their own, re-primed from the
// routine, removal that waits for a running routine and stops further expiries.
#include "PlatformTimeManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<int> gFired{0};
std::atomic<int> gRearms{0};
std::atomic<bool> gInRoutine{false};
std::atomic<std::thread::id> gRoutineThread;

void countOnce(TMTaskPtr) {
    gRoutineThread = std::this_thread::get_id();
    ++gFired;
}

// Primes itself again, as the watchdog does on its first expiry.
void rearm(TMTaskPtr task) {
    if (++gFired <= gRearms)
        PrimeTimeTask(reinterpret_cast<QElemPtr>(task), 20);
}

void slowRoutine(TMTaskPtr) {
    gInRoutine = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ++gFired;
    gInRoutine = false;
}

void removeSelf(TMTaskPtr task) {
    ++gFired;
    RemoveTimeTask(reinterpret_cast<QElemPtr>(task));
}

QElemPtr q(TMTask& t) { return reinterpret_cast<QElemPtr>(&t); }

void waitFor(const std::function<bool()>& done, int ms = 3000) {
    for (int i = 0; i < ms / 5 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

class TimeManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        gFired = 0;
        gRearms = 0;
        task = TMTask{};
    }
    TMTask task;
};

TEST_F(TimeManagerTest, FiresOnceAfterItsDelayOnAnotherThread) {
    task.tmAddr = NewTimerUPP(countOnce);
    ASSERT_EQ(InstallXTimeTask(q(task)), noErr);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(gFired, 0) << "an installed task waits for its prime";
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(PrimeTimeTask(q(task), 150), noErr);
    waitFor([] { return gFired > 0; });
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(gFired, 1);
    EXPECT_GE(took, std::chrono::milliseconds(150));
    EXPECT_NE(gRoutineThread.load(), std::this_thread::get_id());
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(gFired, 1) << "one prime, one expiry";
    EXPECT_EQ(RemoveTimeTask(q(task)), noErr);
}

TEST_F(TimeManagerTest, RoutineCanPrimeItselfAgain) {
    gRearms = 1;
    task.tmAddr = rearm;
    ASSERT_EQ(InstallXTimeTask(q(task)), noErr);
    PrimeTimeTask(q(task), 20);
    waitFor([] { return gFired >= 2; });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(gFired, 2);
    EXPECT_EQ(RemoveTimeTask(q(task)), noErr);
}

TEST_F(TimeManagerTest, RemovedBeforeExpiryNeverFires) {
    task.tmAddr = countOnce;
    ASSERT_EQ(InstallXTimeTask(q(task)), noErr);
    PrimeTimeTask(q(task), 200);
    PrimeTimeTask(q(task), 100);  // replaces the first prime
    EXPECT_EQ(RemoveTimeTask(q(task)), noErr);
    EXPECT_GT(task.tmCount, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(gFired, 0);
    EXPECT_EQ(PrimeTimeTask(q(task), 10), paramErr);
    EXPECT_EQ(RemoveTimeTask(q(task)), paramErr);
}

TEST_F(TimeManagerTest, RemoveWaitsForARunningRoutine) {
    task.tmAddr = slowRoutine;
    ASSERT_EQ(InstallXTimeTask(q(task)), noErr);
    PrimeTimeTask(q(task), 0);
    waitFor([] { return gInRoutine.load(); });
    ASSERT_TRUE(gInRoutine);
    EXPECT_EQ(RemoveTimeTask(q(task)), noErr);
    EXPECT_FALSE(gInRoutine);
    EXPECT_EQ(gFired, 1);
}

TEST_F(TimeManagerTest, RoutineCanRemoveItsOwnTask) {
    task.tmAddr = removeSelf;
    ASSERT_EQ(InstallXTimeTask(q(task)), noErr);
    PrimeTimeTask(q(task), 0);
    waitFor([] { return gFired > 0; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(gFired, 1);
    EXPECT_EQ(RemoveTimeTask(q(task)), paramErr);
    // The record can be installed again afterwards.
    task.tmAddr = countOnce;
    EXPECT_EQ(InstallXTimeTask(q(task)), noErr);
    EXPECT_EQ(RemoveTimeTask(q(task)), noErr);
}

TEST_F(TimeManagerTest, RejectsBadRecords) {
    EXPECT_EQ(InstallXTimeTask(nullptr), paramErr);
    EXPECT_EQ(InstallXTimeTask(q(task)), paramErr) << "no routine";
    task.tmAddr = countOnce;
    ASSERT_EQ(InstallXTimeTask(q(task)), noErr);
    EXPECT_EQ(InstallXTimeTask(q(task)), dupFNErr);
    EXPECT_EQ(RemoveTimeTask(q(task)), noErr);
}

}  // namespace
