#include "PlatformMainThread.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QThread>

#include <poll.h>

bool postToMainThread(void (*fn)(void* arg), void* arg) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !fn)
        return false;
    return QMetaObject::invokeMethod(app, [fn, arg] { fn(arg); }, Qt::QueuedConnection);
}

namespace {

int pollOnly(int fd, int milliseconds) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, milliseconds < 0 ? 0 : milliseconds) > 0 ? 1 : 0;
}

}  // namespace

int waitForInputOrEvents(int fd, int milliseconds) {
    QCoreApplication* app = QCoreApplication::instance();
    QAbstractEventDispatcher* dispatcher = QThread::currentThread()->eventDispatcher();
    if (!app || QThread::currentThread() != app->thread() || !dispatcher)
        return pollOnly(fd, milliseconds);
    if (fd >= 0 && pollOnly(fd, 0))
        return 1;

    // The dispatcher sleeps until one of its sources fires: the descriptor, a timer that
    // bounds the wait, or any window-system or posted event, each dispatched as it comes.
    bool readable = false;
    QObject owner;
    QSocketNotifier* notifier = nullptr;
    if (fd >= 0) {
        notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, &owner);
        QObject::connect(notifier, &QSocketNotifier::activated, [&] {
            readable = true;
            notifier->setEnabled(false);
        });
    }
    int timer = dispatcher->registerTimer(milliseconds < 1 ? 1 : milliseconds, Qt::PreciseTimer,
                                          &owner);
    QElapsedTimer clock;
    clock.start();
    while (!readable && clock.elapsed() < milliseconds) {
        dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
        if (fd >= 0 && pollOnly(fd, 0))
            readable = true;
    }
    dispatcher->unregisterTimer(timer);
    return readable ? 1 : 0;
}
