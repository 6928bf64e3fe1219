// The update: the prompt that offers it, and the session that runs it from the checks of
// the serial link to the dismissed progress window, with its no-response watchdog.
#pragma once

#include "PlatformTimeManager.h"
#include "PlatformToolbox.h"

// Shows the update prompt (modeless: returns at once). Always 0; `foo` is not used.
int doUpload(short foo);

// The prompt's button procedure: buttons 1 to 3 dispose of the prompt and quit the
// application event loop, button 1 after running the update session. Always noErr.
OSStatus myHandler(EventHandlerCallRef inCallRef, EventRef inEvent, void* inUserData);

// One update session, run on the main thread; returns when it is over (the caller then ends
// the application). Ends the application itself when the user gives up at a missing driver
// or device, or when the watchdog's second expiry comes.
void doWork();

// The watchdog's routine, called on the timer's own thread: the first expiry has the main
// thread close the progress window and show the no-response notice and primes the timer for
// 30 s; the second ends the application at once, even when the main thread is blocked.
void myTimerCallback(TMTask* tmTaskPtr);
