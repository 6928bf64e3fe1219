#include "PlatformTimeManager.h"

#include "PlatformProcess.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace {

struct TaskState {
    std::thread thread;
    int wakeFd = -1;         // written to when the prime changes or the task is removed
    SInt64 deadlineNs = -1;  // monotonic time of the next expiry, -1 when not primed
    bool removed = false;
    ~TaskState() {
        if (wakeFd >= 0)
            close(wakeFd);
    }
    void wake() const {
        uint64_t one = 1;
        ssize_t ignored = write(wakeFd, &one, sizeof one);
        (void)ignored;
    }
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

// The wait is a relative one (poll), cut into short slices, and the deadline is re-checked
// against the clock after each: an absolute deadline handed to the kernel would be measured
// on the kernel's clock, not on the one this process reads.
constexpr int kSliceMs = 50;

void runTask(TMTask* task, std::shared_ptr<TaskState> state) {
    std::unique_lock lock(gLock);
    while (!state->removed) {
        int waitMs = -1;
        if (state->deadlineNs >= 0) {
            SInt64 left = state->deadlineNs - monotonicNs();
            if (left > 0)
                waitMs = int(std::min<SInt64>((left + 999999) / 1000000, kSliceMs));
            else
                waitMs = 0;
        }
        if (waitMs != 0) {
            lock.unlock();
            pollfd p{state->wakeFd, POLLIN, 0};
            if (poll(&p, 1, waitMs) > 0) {
                uint64_t count;
                ssize_t ignored = read(state->wakeFd, &count, sizeof count);
                (void)ignored;
            }
            lock.lock();
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
    state->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state->wakeFd < 0)
        return memFullErr;
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
    it->second->wake();
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
        state->wake();
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
