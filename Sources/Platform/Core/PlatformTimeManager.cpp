#include "PlatformTimeManager.h"

#include "PlatformProcess.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

struct TaskState {
    std::thread thread;
    std::condition_variable wake;
    SInt64 deadlineNs = -1;  // monotonic time of the next expiry, -1 when not primed
    bool removed = false;
};

std::mutex gLock;
std::map<TMTask*, std::shared_ptr<TaskState>> gTasks;

// Read through clock_gettime rather than std::chrono so that a test running the program under
// a time-scaling preload sees its timers scaled with every other clock of the process.
SInt64 monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return SInt64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The wait is cut into short slices and the deadline re-checked against the clock, so an
// expiry never depends on how the condition variable's own timeout is measured.
constexpr auto kSlice = std::chrono::milliseconds(50);

void runTask(TMTask* task, std::shared_ptr<TaskState> state) {
    std::unique_lock lock(gLock);
    while (!state->removed) {
        if (state->deadlineNs < 0) {
            state->wake.wait(lock);
            continue;
        }
        SInt64 left = state->deadlineNs - monotonicNs();
        if (left > 0) {
            state->wake.wait_for(lock, std::min<std::chrono::nanoseconds>(
                                           std::chrono::nanoseconds(left), kSlice));
            continue;
        }
        state->deadlineNs = -1;
        TimerUPP routine = task->tmAddr;
        lock.unlock();
        if (routine)
            routine(task);
        lock.lock();
    }
}

}  // namespace

TimerUPP NewTimerUPP(TimerProcPtr userRoutine) { return userRoutine; }

OSErr InstallXTimeTask(QElemPtr tmTaskPtr) {
    auto* task = reinterpret_cast<TMTask*>(tmTaskPtr);
    if (!task || !task->tmAddr)
        return paramErr;
    std::lock_guard lock(gLock);
    if (gTasks.count(task))
        return dupFNErr;
    auto state = std::make_shared<TaskState>();
    try {
        state->thread = std::thread(runTask, task, state);
    } catch (...) {
        return memFullErr;
    }
    task->tmCount = 0;
    gTasks.emplace(task, std::move(state));
    return noErr;
}

OSErr PrimeTimeTask(QElemPtr tmTaskPtr, SInt32 count) {
    auto* task = reinterpret_cast<TMTask*>(tmTaskPtr);
    std::lock_guard lock(gLock);
    auto it = gTasks.find(task);
    if (it == gTasks.end())
        return paramErr;
    it->second->deadlineNs = monotonicNs() + SInt64(std::max<SInt32>(count, 0)) * 1000000;
    it->second->wake.notify_all();
    return noErr;
}

OSErr RemoveTimeTask(QElemPtr tmTaskPtr) {
    auto* task = reinterpret_cast<TMTask*>(tmTaskPtr);
    std::shared_ptr<TaskState> state;
    {
        std::lock_guard lock(gLock);
        auto it = gTasks.find(task);
        if (it == gTasks.end())
            return paramErr;
        state = it->second;
        gTasks.erase(it);
        SInt64 left = state->deadlineNs < 0 ? 0 : state->deadlineNs - monotonicNs();
        task->tmCount = SInt32(std::max<SInt64>(left / 1000000, 0));
        state->removed = true;
        state->deadlineNs = -1;
        state->wake.notify_all();
    }
    if (state->thread.get_id() == std::this_thread::get_id())
        state->thread.detach();  // the routine removed its own task: its loop ends after it
    else
        state->thread.join();
    return noErr;
}

void ExitToShell() {
    endStartedProcesses();
    _exit(0);
}
