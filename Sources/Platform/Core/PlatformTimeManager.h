// The Time Manager: one-shot timer tasks that fire on a thread of their own, independent of
// the main thread, so that a task also fires while the main thread is blocked. A task is
// installed once, primed with a delay in milliseconds, and fires once per prime; its routine
// may prime it again. Removing a task waits for a routine that is running and guarantees it
// will not run again. Also here: ExitToShell, which ends the process at once.
//
// A task routine runs on the timer thread: it must not touch the user interface. Work for
// the interface goes to the main thread's event queue (PlatformMainThread.h).
#pragma once

#include "PlatformTypes.h"

struct TMTask;
using TMTaskPtr = TMTask*;
using TimerProcPtr = void (*)(TMTaskPtr tmTaskPtr);
using TimerUPP = TimerProcPtr;

struct QElem;
using QElemPtr = QElem*;

// The task record the caller owns for as long as the task is installed.
struct TMTask {
    QElemPtr qLink;
    SInt16 qType;
    TimerUPP tmAddr;  // the routine called on each expiry
    SInt32 tmCount;   // after RemoveTimeTask: the milliseconds that were left, 0 when none
    SInt32 tmWakeUp;
    SInt32 tmReserved;
};

// Returns the routine itself: on this platform a routine needs no wrapping.
TimerUPP NewTimerUPP(TimerProcPtr userRoutine);

// Installs the task (a TMTask*) and starts its timer thread; it does not run until primed.
// Returns paramErr for a null task or one without a routine, dupFNErr when it is already
// installed, memFullErr when no thread can be started.
OSErr InstallXTimeTask(QElemPtr tmTaskPtr);

// Makes the installed task fire once after `count` milliseconds (0 or less: at once),
// replacing an earlier prime that has not fired. May be called from the task's own routine.
// Returns paramErr when the task is not installed.
OSErr PrimeTimeTask(QElemPtr tmTaskPtr, SInt32 count);

// Uninstalls the task. When its routine is running on another thread, waits for it to
// return; afterwards the routine never runs again for this record. Called from the routine
// itself, the task is uninstalled once the routine returns. Returns paramErr when the task is
// not installed.
OSErr RemoveTimeTask(QElemPtr tmTaskPtr);

// Ends the process at once with status 0, from any thread, without running destructors or
// exit handlers. Child processes started through PlatformProcess.h end with it.
[[noreturn]] void ExitToShell();
