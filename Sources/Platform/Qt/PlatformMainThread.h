// Work that must run on the main thread, and the main thread's wait for input.
//
// A thread that must act on the user interface (the watchdog's timer) posts the work to the
// main thread's event queue: it runs there at the next event dispatch, between two of the
// main thread's own interface calls, never at the same time as them.
#pragma once

// Queues fn(arg) for the main thread's next event dispatch. Safe from any thread. Returns
// false when there is no application event queue yet (fn is then not called).
bool postToMainThread(void (*fn)(void* arg), void* arg);

// On the main thread: waits at most `milliseconds` until the descriptor `fd` is readable
// (data or its end) or user-interface events arrive, and dispatches the events that do, so
// the windows stay responsive without a busy loop. Returns 1 when fd is readable, 0
// otherwise. With fd -1 it waits for events only. Without an application, or off the main
// thread, it only waits for fd (or sleeps).
int waitForInputOrEvents(int fd, int milliseconds);
