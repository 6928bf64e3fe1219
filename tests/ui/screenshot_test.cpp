// Pictures of the windows a user sees during an update, saved under <build>/screenshots/ so
// anyone can look at them, and a check of each that nothing is clipped or overlaps.
#include "uiFixture.h"

#include "showMessage.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QProgressBar>

#include <string>

namespace {

constexpr OSType kShMs = fourCC("ShMs");
constexpr OSType kPrMs = fourCC("PrMs");

CFStringRef text(const char* key) {
    return CFBundleCopyLocalizedString(CFBundleGetMainBundle(), CFSTR(key), CFSTR(key), nullptr);
}

// Every shown control lies inside the window, shows all of its text, and overlaps no other.
void expectTidy(WindowRef window, const std::string& name) {
    auto* w = reinterpret_cast<QWidget*>(window);
    QList<QWidget*> shown;
    for (QWidget* c : w->findChildren<QWidget*>()) {
        if (c->window() != w || !c->isVisibleTo(w) || !c->property("controlId").isValid()) continue;
        if (c->height() == 0) continue; // a collapsed, empty text
        shown << c;
        EXPECT_TRUE(w->rect().contains(c->geometry()))
            << name << ": " << c->objectName().toStdString();
        if (auto* l = qobject_cast<QLabel*>(c)) {
            int need = l->wordWrap() ? l->heightForWidth(l->width()) : l->sizeHint().height();
            EXPECT_LE(need, l->height())
                << name << ": " << l->objectName().toStdString() << " is clipped";
        }
        if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            EXPECT_LE(b->sizeHint().width(), b->width())
                << name << ": " << b->objectName().toStdString();
        }
    }
    for (qsizetype i = 0; i < shown.size(); ++i)
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << name << ": " << shown[i]->objectName().toStdString() << " overlaps "
                << shown[j]->objectName().toStdString();
}

void save(WindowRef w, const std::string& name) {
    QDir().mkpath(QUILLON_SCREENSHOT_DIR);
    std::string path = std::string(QUILLON_SCREENSHOT_DIR) + "/" + name + ".png";
    EXPECT_EQ(platformSaveWindowImage(w, path.c_str()), noErr) << path;
    EXPECT_TRUE(QFile::exists(QString::fromStdString(path)));
}

OSStatus ignorePress(EventHandlerCallRef, EventRef, void*) {
    return noErr;
}

WindowRef sessionWindow() {
    CFStringRef msg = text("msgUpdating"), hint = text("msgConnecting");
    WindowRef w = progMessage(nullptr, 0x105, msg, hint, nullptr);
    CFRelease(msg);
    CFRelease(hint);
    progSetMaximum(nullptr, 1000, 0);
    progSetNotes(nullptr, 0, CFSTR("Started 10:04 AM"), nullptr, CFSTR("Ends about 10:23 AM"));
    return w;
}

class Screenshots : public UiTest {};

} // namespace

TEST_F(Screenshots, ThePrompt) {
    CFStringRef fmt = text("msgAboutThisUpdate");
    auto w = reinterpret_cast<WindowRef>(showMessage(ignorePress, 0x0A, fmt));
    CFRelease(fmt);
    ASSERT_NE(w, nullptr);
    settle();
    expectTidy(w, "prompt");
    save(w, "1-prompt");
    DisposeWindow(w);
}

TEST_F(Screenshots, TheDriverMessages) {
    for (const char* key : {"msgWrongSerialDriver", "msgNoSerialDriver", "msgNoFirmwareImage"}) {
        std::string name = std::string("2-") + key;
        whenRunning([name] {
            WindowRef w = FrontWindow();
            settle();
            expectTidy(w, name);
            save(w, name);
            press(w, kShMs, 1);
        });
        CFStringRef fmt = text(key);
        EXPECT_EQ(showMessage(WindowRef(nullptr), 10, fmt), 1);
        CFRelease(fmt);
    }
}

TEST_F(Screenshots, ProgressAt34Percent) {
    WindowRef w = sessionWindow();
    progSetMsgHint(nullptr, 0, nullptr, CFSTR("Uploading firmware..."));
    progSetValue(nullptr, 340, 0);
    settle();
    EXPECT_EQ(reinterpret_cast<QLabel*>(getControlByID(w, kPrMs, 5))->text(), "34%");
    expectTidy(w, "progress");
    save(w, "3-progress-34");
    progClose(nullptr);
}

TEST_F(Screenshots, FinishedWithQuit) {
    WindowRef w = sessionWindow();
    enableControl(w, kPrMs, 1, false);
    enableControl(w, kPrMs, 1, true);
    progSetValue(nullptr, 1005, 0);
    progSetMsgHint(nullptr, 0x205, nullptr, CFSTR("Uploading finished"));
    progSetNotes(nullptr, 0, nullptr, CFSTR("%p bytes"), nullptr);
    progSetMaximum(nullptr, 1048576, 0);
    setControlText(w, kPrMs, 1, CFSTR("Quit"), nullptr);
    progSetValue(nullptr, 1048576, 0);
    settle();
    expectTidy(w, "finished");
    save(w, "4-finished");
    progClose(nullptr);
}

TEST_F(Screenshots, AbortedSheet) {
    WindowRef w = sessionWindow();
    progSetValue(nullptr, 340, 0);
    progSetMsgHint(nullptr, 0x205, nullptr, CFSTR("Aborted by user..."));
    whenRunning([w] {
        WindowRef sheet = FrontWindow();
        settle();
        expectTidy(sheet, "aborted sheet");
        save(w, "5-aborted-sheet");
        press(sheet, kShMs, 1);
    });
    CFStringRef fmt = text("msgAbortedUpload");
    EXPECT_EQ(showMessage(w, 9, fmt), 1);
    CFRelease(fmt);
    progClose(nullptr);
}

TEST_F(Screenshots, TheNoResponseNotice) {
    CFStringRef fmt = text("msgNoResponce");
    auto w = reinterpret_cast<WindowRef>(showMessage(WindowRef(nullptr), 0x209, fmt));
    CFRelease(fmt);
    ASSERT_NE(w, nullptr);
    settle();
    expectTidy(w, "no response");
    save(w, "6-no-response");
    DisposeWindow(w);
}
