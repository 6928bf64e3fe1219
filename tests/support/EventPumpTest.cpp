// The event pump over the real toolkit: handlers run during a pump, input is flushed, the
// classic queue answers getChar and getModifiers, and run-loop timers fire once.
#include "PlatformEvents.h"
#include "miscSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace {

int argc = 1;
char name[] = "event-pump-test";
char* argv[] = {name, nullptr};

class EventPump : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
    void SetUp() override {
        button = new QPushButton("Stop");
        button->resize(100, 30);
        button->show();
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        FlushEvents(everyEvent, 0);
    }
    void TearDown() override { delete button; }

    void postClick() {
        QPointF inside(10, 10);
        QPointF global = button->mapToGlobal(inside);
        QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, inside,
                                                            global, Qt::LeftButton, Qt::LeftButton,
                                                            Qt::NoModifier));
        QCoreApplication::postEvent(button,
                                    new QMouseEvent(QEvent::MouseButtonRelease, inside, global,
                                                    Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    }
    void sendKey(int key, Qt::KeyboardModifiers mods, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QCoreApplication::sendEvent(button, &press);
    }

    QPushButton* button = nullptr;
    int clicks = 0;
};

} // namespace

TEST_F(EventPump, APumpRunsTheHandlersOfPendingClicks) {
    postClick();
    EXPECT_EQ(clicks, 0);
    EventRecord event;
    WaitNextEvent(everyEvent, &event, 0, nullptr);
    EXPECT_EQ(clicks, 1);
}

TEST_F(EventPump, FlushDiscardsPendingClicksAndQueuedInput) {
    postClick();
    sendKey(Qt::Key_A, Qt::NoModifier, "a");
    FlushEvents(everyEvent, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 0);
    EventRecord event;
    EXPECT_FALSE(GetNextEvent(everyEvent, &event));
    EXPECT_EQ(event.what, nullEvent);
}

TEST_F(EventPump, GetCharAnswersKeysClicksAndTimeOuts) {
    sendKey(Qt::Key_A, Qt::ShiftModifier, "A");
    EXPECT_EQ(getChar(1000), 65);

    sendKey(Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_EQ(getChar(1000), 13);

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    EXPECT_EQ(getChar(1000), -128);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5),
                        button->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(button, &release);
    EXPECT_EQ(getModifiers(btnState), short(btnState)); // no button held any more

    // Nothing pending: 0, and not before the time-out.
    UInt64 start = getMicroseconds();
    EXPECT_EQ(getChar(30), 0);
    EXPECT_GE(getMicroseconds() - start, 30000u);
}

TEST_F(EventPump, GetModifiersReportsTheLastInputsKeys) {
    sendKey(Qt::Key_D, Qt::ShiftModifier | Qt::AltModifier, "D");
    EXPECT_EQ(getModifiers(0), short(shiftKey | optionKey | btnState));
    EXPECT_EQ(getModifiers(shiftKey), short(shiftKey));
    EXPECT_EQ(getModifiers(controlKey), 0);
    // Asking takes nothing out of the queue.
    EventRecord event;
    ASSERT_TRUE(GetNextEvent(keyDownMask, &event));
    EXPECT_EQ(event.what, keyDown);
    EXPECT_EQ(event.modifiers & (shiftKey | optionKey), shiftKey | optionKey);

    sendKey(Qt::Key_B, Qt::NoModifier, "b");
    EXPECT_EQ(getModifiers(0), short(btnState));
}

TEST_F(EventPump, EventsOutsideTheMaskStayQueued) {
    sendKey(Qt::Key_C, Qt::NoModifier, "c");
    EventRecord event;
    EXPECT_FALSE(GetNextEvent(mDownMask, &event));
    ASSERT_TRUE(GetNextEvent(keyDownMask, &event));
    EXPECT_EQ(event.message & charCodeMask, UInt32('c'));
    EXPECT_FALSE(GetNextEvent(keyDownMask, &event));
}

TEST_F(EventPump, AWaitWithSleepTakesInputThatArrivesMeanwhile) {
    QTimer::singleShot(20, button, [this] { sendKey(Qt::Key_Z, Qt::NoModifier, "z"); });
    EventRecord event;
    ASSERT_TRUE(WaitNextEvent(keyDownMask, &event, 600, nullptr));
    EXPECT_EQ(event.what, keyDown);
    EXPECT_EQ(event.message & charCodeMask, UInt32('z'));
}

namespace {
int timerFired = 0;
void onTimer(CFRunLoopTimerRef, void*) {
    ++timerFired;
}
} // namespace

TEST_F(EventPump, ScheduledTimerFiresOnceOnThisThread) {
    timerFired = 0;
    scheduleEventLoop(onTimer, 0);
    EXPECT_EQ(timerFired, 0); // not before the event loop runs
    QElapsedTimer clock;
    clock.start();
    while (timerFired == 0 && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_EQ(timerFired, 1);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(timerFired, 1);
}

TEST_F(EventPump, PortColoursKeepTheirSixteenBitPatterns) {
    foreColor(-1, 0, 0x1234);
    backColor(short(0x8000));
    RGBColor fore{}, back{};
    GetForeColor(&fore);
    GetBackColor(&back);
    EXPECT_EQ(fore.red, 0xFFFF);
    EXPECT_EQ(fore.green, 0);
    EXPECT_EQ(fore.blue, 0x1234);
    EXPECT_EQ(back.red, 0x8000);
    EXPECT_EQ(back.green, 0x8000);
    EXPECT_EQ(back.blue, 0x8000);
    EXPECT_EQ(getPort(), getCPort());
}
