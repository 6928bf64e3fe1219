// The message window: splitting, layout, modal, modeless, sheet and sheet-on-sheet forms.
#include "uiFixture.h"

#include "showMessage.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>

#include <string>
#include <vector>

namespace {

constexpr OSType kShMs = fourCC("ShMs");

std::string str(CFStringRef s) {
    return s ? platformStringUTF8(s) : std::string("<none>");
}

std::string textOf(WindowRef w, SInt32 id) {
    return reinterpret_cast<QLabel*>(getControlByID(w, kShMs, id))->text().toStdString();
}

std::string titleOf(WindowRef w, SInt32 id) {
    return reinterpret_cast<QAbstractButton*>(getControlByID(w, kShMs, id))->text().toStdString();
}

// A modeless message without a procedure, laid out and left open for inspection.
template <class... A> WindowRef open(long type, const char* text, const A&... args) {
    return reinterpret_cast<WindowRef>(
        showMessage(EventHandlerProcPtr(nullptr), type, text, args...));
}

class Message : public UiTest {};

} // namespace

// Runs first: the interface file is opened on the first message and kept afterwards.
TEST_F(Message, AMissingInterfaceFileShowsNothingAndIsTriedAgain) {
    platformSetResourcesFolderForTesting("/nonexistent-folder");
    EXPECT_EQ(showMessage(WindowRef(nullptr), 9, "Nobody sees this^OK"), 0);
    EXPECT_EQ(progMessage(nullptr, 0x105, CFSTR("m"), CFSTR("h"), nullptr), nullptr);
    EXPECT_EQ(FrontWindow(), nullptr);
    platformSetResourcesFolderForTesting(QUILLON_RESOURCES_DIR);
    WindowRef w = open(0x201, "Now it opens");
    ASSERT_NE(w, nullptr);
    DisposeWindow(w);
}

TEST_F(Message, TextsSplitAtCaretsAndBackslashesIntoSlots) {
    struct Case {
        const char* text;
        short result;
        std::vector<std::string> parts; // slots 0 to 4
    };
    const Case cases[] = {
        {"Just a message", 1, {"Just a message", "<none>", "<none>", "<none>", "<none>"}},
        {"", 1, {"<none>", "<none>", "<none>", "<none>", "<none>"}},
        {"Message^^Title", 3, {"Message", "<none>", "Title", "<none>", "<none>"}},
        {"Message^^One^Two", 4, {"Message", "<none>", "One", "Two", "<none>"}},
        {"^Hint only^", 3, {"<none>", "Hint only", "<none>", "<none>", "<none>"}},
        {"Back\\slash^hint\\OK", 4, {"Back", "slash", "hint", "OK", "<none>"}},
        {"a^b^c^d^e^f^g", 7, {"a", "b", "c", "d", "e"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CFStringRef parts[16] = {};
        CFStringRef text = CFStringCreateWithCString(nullptr, c.text, kCFStringEncodingUTF8);
        EXPECT_EQ(getCFStringParts(text, parts), c.result);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(str(parts[i]), c.parts[std::size_t(i)]) << i;
        for (CFStringRef p : parts)
            if (p) CFRelease(p);
        CFRelease(text);
    }
}

TEST_F(Message, SplittingStopsAtSixteenSlotsAtAZeroUnitAndAfter2000Units) {
    CFStringRef parts[16] = {};
    std::string many;
    for (int i = 0; i < 18; ++i)
        many += (i ? "^p" : "p") + std::to_string(i);
    CFStringRef text = CFStringCreateWithCString(nullptr, many.c_str(), kCFStringEncodingUTF8);
    EXPECT_EQ(getCFStringParts(text, parts), 18);
    EXPECT_EQ(str(parts[15]), "p15"); // p16 and p17 have no slot
    for (CFStringRef& p : parts) {
        if (p) CFRelease(p);
        p = nullptr;
    }
    CFRelease(text);

    unsigned short zero[] = {'a', '^', 'b', 0, '^', 'c', 0};
    EXPECT_EQ(getCStringParts(zero, parts), 2);
    EXPECT_EQ(str(parts[1]), "b");
    EXPECT_EQ(parts[2], nullptr);
    for (CFStringRef& p : parts) {
        if (p) CFRelease(p);
        p = nullptr;
    }

    std::u16string longText(1999, u'x');
    longText += u"yz^Title"; // the cut falls after the y
    CFStringRef big = platformStringCreate(longText);
    EXPECT_EQ(getCFStringParts(big, parts), 1);
    EXPECT_EQ(CFStringGetLength(parts[0]), 2000);
    EXPECT_EQ(parts[1], nullptr);
    CFRelease(parts[0]);
    CFRelease(big);
}

TEST_F(Message, ASeparatorInsideAnArgumentSplitsTheTextThere) {
    WindowRef w = open(0x202, "Device %s^%s", "A^hint from the argument", "Yes");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(textOf(w, 11), "Device A");
    EXPECT_EQ(textOf(w, 12), "hint from the argument");
    EXPECT_EQ(titleOf(w, 1), "Yes");
    DisposeWindow(w);
}

TEST_F(Message, LayoutStacksMessageHintAndButtonsWithTheirGaps) {
    // Message only: the hint collapses 16 below it, the buttons follow it, resource titles stay.
    WindowRef w = open(0x202, "A message without separators");
    Rect msg = boundsOf(w, kShMs, 11), hint = boundsOf(w, kShMs, 12), b1 = boundsOf(w, kShMs, 1);
    short textHeight = 0;
    getControlText(w, kShMs, 11, nullptr, &textHeight);
    EXPECT_EQ(msg.top, 16);
    EXPECT_EQ(msg.bottom, msg.top + textHeight + 4);
    EXPECT_EQ(hint.top, msg.bottom + 16);
    EXPECT_EQ(hint.bottom, hint.top);
    EXPECT_EQ(b1.top, std::max<int>(hint.top, 72));
    EXPECT_EQ(titleOf(w, 1), "OK");
    EXPECT_TRUE(IsControlVisible(getControlByID(w, kShMs, 2)));
    Rect port;
    GetWindowPortBounds(w, &port);
    EXPECT_EQ(port.bottom, boundsOf(w, kShMs, 3).bottom + 16);
    EXPECT_EQ(port.right, 460); // the resource's width
    DisposeWindow(w);

    // Message and hint, with the icon above them: the buttons sit 32 below the hint.
    w = open(0x212, "Message^A hint long enough to wrap onto a second line of the window, so that "
                    "its height is more than one line^OK^Cancel");
    Rect icon = boundsOf(w, kShMs, 4);
    msg = boundsOf(w, kShMs, 11);
    hint = boundsOf(w, kShMs, 12);
    getControlText(w, kShMs, 12, nullptr, &textHeight);
    EXPECT_TRUE(IsControlVisible(getControlByID(w, kShMs, 4)));
    EXPECT_EQ(msg.top, icon.bottom + 10);
    EXPECT_EQ(hint.top, msg.bottom + 16);
    EXPECT_EQ(hint.bottom, hint.top + textHeight + 4);
    EXPECT_GT(textHeight,
              reinterpret_cast<QLabel*>(getControlByID(w, kShMs, 12))->fontMetrics().height());
    for (SInt32 id = 1; id <= 3; ++id)
        EXPECT_EQ(boundsOf(w, kShMs, id).top, hint.bottom + 32) << id;
    DisposeWindow(w);

    // Without the icon bit the icon is hidden.
    w = open(0x202, "Message");
    EXPECT_FALSE(IsControlVisible(getControlByID(w, kShMs, 4)));
    DisposeWindow(w);
}

TEST_F(Message, AWideTitleWidensItsButtonLeftAndTheNextKeepsA12PixelGap) {
    WindowRef w = open(0x203, "Message^^Replace the Existing Firmware Now^No^Other");
    Rect b1 = boundsOf(w, kShMs, 1), b2 = boundsOf(w, kShMs, 2), b3 = boundsOf(w, kShMs, 3);
    Rect best;
    GetBestControlRect(getControlByID(w, kShMs, 1), &best, nullptr);
    EXPECT_EQ(b1.right, 440); // the right edge stays
    EXPECT_EQ(b1.right - b1.left, best.right - best.left);
    EXPECT_GT(b1.right - b1.left, 96);
    EXPECT_EQ(b2.right, b1.left - 12);
    EXPECT_EQ(b2.right - b2.left, 96); // "No" fits the resource width
    EXPECT_EQ(b3.right, b2.left - 12);
    DisposeWindow(w);
}

TEST_F(Message, TheTypeShowsZeroToThreeButtons) {
    for (long count = 0; count <= 3; ++count) {
        WindowRef w = open(0x200 | count, "Message^Hint^One^Two^Three");
        for (SInt32 id = 1; id <= 3; ++id)
            EXPECT_EQ(bool(IsControlVisible(getControlByID(w, kShMs, id))), id <= count)
                << count << " " << id;
        DisposeWindow(w);
    }
}

TEST_F(Message, AModalMessageReturnsTheButtonPressedAndGoesAway) {
    WindowRef seen = nullptr;
    whenRunning([&] {
        seen = FrontWindow();
        EXPECT_EQ(platformModalLoopDepth(), 1);
        CFStringRef title = CopyWindowTitleAsCFString(seen);
        EXPECT_EQ(str(title), "Quillon Updater");
        CFRelease(title);
        press(seen, kShMs, 2);
    });
    EXPECT_EQ(showMessage(WindowRef(nullptr), 10, "Question?^Hint^Yes^No"), 2);
    ASSERT_NE(seen, nullptr);
    settle();
    EXPECT_EQ(FrontWindow(), nullptr);

    // The icon ends the loop without a reply.
    whenRunning([] { press(FrontWindow(), kShMs, 4); });
    EXPECT_EQ(showMessage(WindowRef(nullptr), 0x11, "Click the icon^^OK"), 0);
}

namespace {

WindowRef gProcWindow = nullptr;
SInt32 gProcId = 0;
long gReplyAtCall = 0;
OSStatus promptProc(EventHandlerCallRef, EventRef event, void* user) {
    auto control = static_cast<ControlRef>(user);
    getIDByControl(control, nullptr, &gProcId);
    gProcWindow = GetControlOwner(control);
    gReplyAtCall =
        long(reinterpret_cast<intptr_t>(getWindowPropertyPtr(gProcWindow, kShMs, fourCC("Rply"))));
    EXPECT_EQ(GetEventKind(event), kEventControlHit);
    DisposeWindow(gProcWindow);
    return noErr;
}

} // namespace

TEST_F(Message, AModelessMessageHandsEachPressToItsProcedureAfterStoringTheReply) {
    long result = showMessage(promptProc, 0x0A, "Update now?^It takes a while.^Update^Quit");
    auto w = reinterpret_cast<WindowRef>(result);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(platformModalLoopDepth(), 0); // returned at once
    EXPECT_TRUE(IsControlVisible(getControlByID(w, kShMs, 2)));
    EXPECT_FALSE(IsControlVisible(getControlByID(w, kShMs, 3)));
    ASSERT_TRUE(press(w, kShMs, 2));
    EXPECT_EQ(gProcWindow, w);
    EXPECT_EQ(gProcId, 2);
    EXPECT_EQ(gReplyAtCall, 2);
}

TEST_F(Message, AMessageWithAParentIsASheetOnIt) {
    WindowRef parent = progMessage(nullptr, 0x101, CFSTR("Working"), CFSTR("Hint"), nullptr);
    WindowRef sheetParent = nullptr;
    whenRunning([&] {
        WindowRef sheet = FrontWindow();
        GetSheetWindowParent(sheet, &sheetParent);
        press(sheet, kShMs, 1);
    });
    EXPECT_EQ(showMessage(parent, 9, "Stopped.^Run it again.^OK"), 1);
    EXPECT_EQ(sheetParent, parent);
    progClose(nullptr);
}

TEST_F(Message, AMessageOnASheetGoesOnTheSheetsParentAndTheSheetComesBack) {
    IBNibRef nib = nullptr;
    ASSERT_EQ(CreateNibReference(CFSTR("showMessage"), &nib), noErr);
    WindowRef top = nullptr, sheet = nullptr;
    CreateWindowFromNib(nib, CFSTR("ProgMessage"), &top);
    CreateWindowFromNib(nib, CFSTR("ProgMessageS"), &sheet);
    ShowWindow(top);
    ASSERT_EQ(ShowSheetWindow(sheet, top), noErr);

    WindowRef messageParent = nullptr;
    bool sheetVisibleMeanwhile = true;
    whenRunning([&] {
        WindowRef message = FrontWindow();
        GetSheetWindowParent(message, &messageParent);
        sheetVisibleMeanwhile = IsWindowVisible(sheet);
        press(message, kShMs, 1);
    });
    EXPECT_EQ(showMessage(sheet, 9, "On the sheet's parent^^OK"), 1);
    EXPECT_EQ(messageParent, top);
    EXPECT_FALSE(sheetVisibleMeanwhile);
    EXPECT_TRUE(IsWindowVisible(sheet));
    WindowRef sheetParent = nullptr;
    GetSheetWindowParent(sheet, &sheetParent);
    EXPECT_EQ(sheetParent, top);
    DisposeWindow(sheet);
    DisposeWindow(top);
    DisposeNibReference(nib);
}

TEST_F(Message, DefaultAndCancelButtonsAnswerReturnAndEscape) {
    for (auto [key, expected] : {std::pair{Qt::Key_Return, 2L}, std::pair{Qt::Key_Escape, 1L}}) {
        whenRunning([key = key] {
            QWidget* w = reinterpret_cast<QWidget*>(FrontWindow());
            QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
            QCoreApplication::sendEvent(w, &down);
        });
        EXPECT_EQ(showMessage(WindowRef(nullptr), 0x102, "Keys^^Cancel^OK"), expected);
    }
}

TEST_F(Message, MeasuringATextNeedsTextAndRectangle) {
    Rect r{0, 0, 100, 120};
    short h = 0;
    EXPECT_EQ(drawCFstring(nullptr, &r, 0, 0, false, &h), paramErr);
    EXPECT_EQ(drawCFstring(CFSTR("x"), nullptr, 0, 0, false, &h), paramErr);
    EXPECT_EQ(drawCFstring(CFSTR("One line"), &r, 0, 0, false, &h), noErr);
    short one = h;
    EXPECT_EQ(drawCFstring(CFSTR("Several words that cannot fit on one line of 120 pixels"), &r, 0,
                           0, false, &h),
              noErr);
    EXPECT_GT(h, one);
}
