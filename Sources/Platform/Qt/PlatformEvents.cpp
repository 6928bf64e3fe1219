#include "PlatformEvents.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <deque>
#include <map>
#include <thread>
#include <unistd.h>

namespace {

// Classic queues were small too; input nobody takes must not pile up without end.
constexpr size_t kQueueLimit = 64;

std::deque<EventRecord> queue;
EventModifiers keyModifiers = 0;
bool buttonDown = false;
Point lastWhere{0, 0};
bool discardingInput = false;
const QEvent* lastRecorded = nullptr;
QPointer<QObject> lastReceiver;

// An event a widget ignored goes on to its parents: the same event, not a new one.
bool passedOnFrom(QObject* receiver) {
    for (QObject* o = lastReceiver ? lastReceiver->parent() : nullptr; o; o = o->parent())
        if (o == receiver) return true;
    return false;
}

WaitNextEventHook waitHook = nullptr;
FlushEventsHook flushHook = nullptr;

bool onToolkitThread() {
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

EventModifiers modifiersFrom(Qt::KeyboardModifiers m) {
    EventModifiers bits = 0;
    if (m & Qt::ShiftModifier) bits |= shiftKey;
    if (m & Qt::AltModifier) bits |= optionKey;
#ifdef Q_OS_MACOS
    // The toolkit reports the command key as Control and the control key as Meta there.
    if (m & Qt::ControlModifier) bits |= cmdKey;
    if (m & Qt::MetaModifier) bits |= controlKey;
#else
    if (m & Qt::ControlModifier) bits |= controlKey;
    if (m & Qt::MetaModifier) bits |= cmdKey;
#endif
    return bits;
}

EventModifiers currentModifiers() {
    return EventModifiers(keyModifiers | (buttonDown ? 0 : btnState));
}

Point pointFrom(QPointF p) {
    return Point{SInt16(std::lround(p.y())), SInt16(std::lround(p.x()))};
}

UInt8 charCodeOf(const QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Return:
        return 13;
    case Qt::Key_Enter:
        return 3;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Delete:
        return 127;
    case Qt::Key_Left:
        return 28;
    case Qt::Key_Right:
        return 29;
    case Qt::Key_Up:
        return 30;
    case Qt::Key_Down:
        return 31;
    default:
        break;
    }
    QString text = key->text();
    UInt8 byte = 0;
    if (!text.isEmpty() && unicodeToMacRoman(text.at(0).unicode(), &byte)) return byte;
    return 0;
}

// The loop of a WaitNextEvent that sleeps until input comes, if one runs.
QEventLoop* waitingLoop = nullptr;

void push(const EventRecord& record) {
    if (queue.size() >= kQueueLimit) queue.pop_front();
    queue.push_back(record);
    if (waitingLoop) waitingLoop->quit();
}

bool isInputPress(QEvent::Type t) {
    return t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick ||
           t == QEvent::KeyPress;
}

// Copies input into the classic queue; eats the presses while FlushEvents discards input.
class InputFilter : public QObject {
  public:
    bool eventFilter(QObject* receiver, QEvent* e) override {
        QEvent::Type t = e->type();
        bool mouse = t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick ||
                     t == QEvent::MouseButtonRelease;
        bool key = t == QEvent::KeyPress || t == QEvent::KeyRelease;
        if (!mouse && !key) return false;
        if (discardingInput && isInputPress(t)) return true;
        // Input from the window system reaches the window first and its widget next; an
        // event sent straight to a widget (and passed on to its parents) is one event too.
        if (e->spontaneous() && !receiver->isWindowType()) return false;
        if (e == lastRecorded && passedOnFrom(receiver)) return false;
        lastRecorded = e;
        lastReceiver = receiver;

        EventRecord r{};
        r.when = TickCount();
        if (mouse) {
            auto* m = static_cast<QMouseEvent*>(e);
            keyModifiers = modifiersFrom(m->modifiers());
            buttonDown = m->buttons() != Qt::NoButton;
            lastWhere = pointFrom(m->globalPosition());
            r.what = t == QEvent::MouseButtonRelease ? mouseUp : mouseDown;
        } else {
            auto* k = static_cast<QKeyEvent*>(e);
            keyModifiers = modifiersFrom(k->modifiers());
            if (t == QEvent::KeyRelease && k->isAutoRepeat()) return false;
            r.what = t == QEvent::KeyRelease ? keyUp : (k->isAutoRepeat() ? autoKey : keyDown);
            r.message = UInt32(charCodeOf(k)) | (UInt32(k->nativeVirtualKey() & 0xFF) << 8);
        }
        r.where = lastWhere;
        r.modifiers = currentModifiers();
        push(r);
        return false;
    }
};

QPointer<QCoreApplication> filteredApp;
InputFilter* filter = nullptr;

void installFilter() {
    auto* app = QCoreApplication::instance();
    if (!app || filteredApp == app || !onToolkitThread()) return;
    filter = new InputFilter;
    filter->moveToThread(app->thread());
    app->installEventFilter(filter);
    filteredApp = app;
}

// As soon as an application object exists, so that no early input escapes the queue.
void installFilterAtStartUp() {
    installFilter();
}
Q_COREAPP_STARTUP_FUNCTION(installFilterAtStartUp)

bool takeEvent(EventMask mask, EventRecord* event) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (mask & (1u << it->what)) {
            if (event) *event = *it;
            queue.erase(it);
            return true;
        }
    }
    return false;
}

void fillNull(EventRecord* event) {
    if (!event) return;
    *event = EventRecord{};
    event->what = nullEvent;
    event->when = TickCount();
    event->where = lastWhere;
    event->modifiers = currentModifiers();
}

int ticksToMilliseconds(UInt32 ticks) {
    return int(std::min<UInt64>(UInt64(ticks) * 1000u / 60u, 0x7FFFFFFF));
}

} // namespace

Boolean WaitNextEvent(EventMask eventMask, EventRecord* event, UInt32 sleep, RgnHandle) {
    if (waitHook) return waitHook(eventMask, event, sleep);
    installFilter();
    if (!onToolkitThread()) {
        if (sleep) usleep(useconds_t(ticksToMilliseconds(sleep)) * 1000u);
        fillNull(event);
        return false;
    }
    if (eventMask == 0) {
        // Yield for the whole sleep: the toolkit may redraw and run its timers, but input
        // stays pending for FlushEvents to throw away.
        if (sleep) {
            QEventLoop loop;
            QTimer::singleShot(ticksToMilliseconds(sleep), &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        } else {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        fillNull(event);
        return false;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (takeEvent(eventMask, event)) return true;
    if (sleep) {
        // Sleep in the toolkit's loop until the time is up or input arrives.
        QEventLoop loop;
        QTimer::singleShot(ticksToMilliseconds(sleep), &loop, &QEventLoop::quit);
        QEventLoop* outer = waitingLoop;
        waitingLoop = &loop;
        loop.exec();
        waitingLoop = outer;
        if (takeEvent(eventMask, event)) return true;
    }
    fillNull(event);
    return false;
}

void FlushEvents(EventMask eventMask, EventMask) {
    if (flushHook) {
        flushHook(eventMask);
        return;
    }
    installFilter();
    if (onToolkitThread()) {
        discardingInput = true;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        discardingInput = false;
    }
    std::erase_if(queue, [eventMask](const EventRecord& r) { return eventMask & (1u << r.what); });
}

Boolean GetNextEvent(EventMask eventMask, EventRecord* event) {
    installFilter();
    if (eventMask == 0) {
        fillNull(event);
        return false;
    }
    if (takeEvent(eventMask, event)) return true;
    if (onToolkitThread()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (takeEvent(eventMask, event)) return true;
    }
    fillNull(event);
    return false;
}

void setEventPumpHooksForTesting(WaitNextEventHook wait, FlushEventsHook flush) {
    waitHook = wait;
    flushHook = flush;
}

// ---------------------------------------------------------------------------------------
// Run-loop timers

struct PlatformRunLoop {
    std::thread::id thread;
};

struct PlatformRunLoopTimer : PlatformObject {
    CFAbsoluteTime fireDate = 0;
    CFTimeInterval interval = 0;
    CFRunLoopTimerCallBack callout = nullptr;
    void* info = nullptr;
    bool armed = false;
};

CFRunLoopRef CFRunLoopGetCurrent() {
    thread_local PlatformRunLoop loop{std::this_thread::get_id()};
    return &loop;
}

CFRunLoopTimerRef CFRunLoopTimerCreate(CFAllocatorRef, CFAbsoluteTime fireDate,
                                       CFTimeInterval interval, CFOptionFlags, CFIndex,
                                       CFRunLoopTimerCallBack callout,
                                       CFRunLoopTimerContext* context) {
    if (!callout) return nullptr;
    auto* timer = new PlatformRunLoopTimer;
    timer->fireDate = fireDate;
    timer->interval = interval;
    timer->callout = callout;
    timer->info = context ? context->info : nullptr;
    return timer;
}

namespace {

void armTimer(CFRunLoopTimerRef timer) {
    double seconds = timer->fireDate - CFAbsoluteTimeGetCurrent();
    int ms = seconds <= 0 ? 0 : int(std::min(seconds * 1000.0, 2.0e9));
    QTimer::singleShot(ms, Qt::PreciseTimer, [timer] {
        timer->callout(timer, timer->info);
        if (timer->interval > 0) {
            timer->fireDate += timer->interval;
            double now = CFAbsoluteTimeGetCurrent();
            if (timer->fireDate < now) timer->fireDate = now;
            armTimer(timer);
        } else {
            CFRelease(timer);
        }
    });
}

} // namespace

void CFRunLoopAddTimer(CFRunLoopRef rl, CFRunLoopTimerRef timer, CFStringRef) {
    if (!rl || !timer || timer->armed) return;
    if (rl != CFRunLoopGetCurrent() || !QCoreApplication::instance()) return;
    timer->armed = true;
    CFRetain(timer);
    armTimer(timer);
}

// ---------------------------------------------------------------------------------------
// Port colours

namespace {
struct PortColors {
    RGBColor fore{0, 0, 0};
    RGBColor back{0xFFFF, 0xFFFF, 0xFFFF};
};
std::map<GrafPtr, PortColors> portColors;

PortColors& currentColors() {
    GrafPtr port = nullptr;
    GetPort(&port);
    return portColors[port];
}
} // namespace

void RGBForeColor(const RGBColor* color) {
    if (color) currentColors().fore = *color;
}
void RGBBackColor(const RGBColor* color) {
    if (color) currentColors().back = *color;
}
void GetForeColor(RGBColor* color) {
    if (color) *color = currentColors().fore;
}
void GetBackColor(RGBColor* color) {
    if (color) *color = currentColors().back;
}

// ---------------------------------------------------------------------------------------
// File dialogs

namespace {

bool answerForTesting = false;
std::string testAnswer;
NavDialogRequest lastRequest;

QString qstring(CFStringRef s) {
    return QString::fromStdString(platformStringUTF8(s));
}

OSStatus runFileDialog(bool save, CFStringRef title, CFStringRef message, const std::string& folder,
                       const std::string& name, std::string* path) {
    if (!path) return paramErr;
    lastRequest = {save, platformStringUTF8(title), platformStringUTF8(message), folder, name};
    if (answerForTesting) {
        if (testAnswer.empty()) return userCanceledErr;
        *path = testAnswer;
        return noErr;
    }
    if (!onToolkitThread() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return userCanceledErr;

    QFileDialog dialog(nullptr, qstring(title), QString::fromStdString(folder));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!name.empty()) dialog.selectFile(QString::fromStdString(name));
    QString text = qstring(message);
    if (!text.isEmpty()) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            auto* label = new QLabel(text, &dialog);
            label->setWordWrap(true);
            grid->addWidget(label, grid->rowCount(), 0, 1, -1);
        }
    }
    if (dialog.exec() != QDialog::Accepted) return userCanceledErr;
    QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return userCanceledErr;
    *path = files.first().toStdString();
    return noErr;
}

} // namespace

OSStatus NavChooseFile(CFStringRef title, CFStringRef message, const std::string& folder,
                       const std::string& selectName, std::string* path) {
    return runFileDialog(false, title, message, folder, selectName, path);
}

OSStatus NavPutFileNamed(CFStringRef title, CFStringRef message, const std::string& folder,
                         const std::string& defaultName, std::string* path) {
    return runFileDialog(true, title, message, folder, defaultName, path);
}

void setNavDialogAnswerForTesting(bool enabled, const std::string& path) {
    answerForTesting = enabled;
    testAnswer = path;
}

NavDialogRequest platformLastNavDialogForTesting() {
    return lastRequest;
}

NavEventUPP NewNavEventUPP(NavEventProcPtr userRoutine) {
    return userRoutine;
}
