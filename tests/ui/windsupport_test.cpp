// Window and control helpers over windows of a small interface file of every control kind.
#include "uiFixture.h"

#include "PlatformMenus.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <string>

namespace {

constexpr OSType kTest = fourCC("Test");

// One control of each kind the helpers tell apart, ids 1 to 7.
const char* kKindsUi = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>kinds</class>
<widget class="QWidget" name="kinds">
 <widget class="QDialog" name="Kinds">
  <property name="geometry"><rect><x>0</x><y>0</y><width>400</width><height>300</height></rect></property>
  <widget class="QPushButton" name="push">
   <property name="geometry"><rect><x>10</x><y>10</y><width>40</width><height>30</height></rect></property>
   <property name="text"><string>Go</string></property>
   <property name="signature" stdset="0"><string>Test</string></property>
   <property name="controlId" stdset="0"><number>1</number></property>
   <property name="dialogItem" stdset="0"><number>1</number></property>
  </widget>
  <widget class="QCheckBox" name="check">
   <property name="geometry"><rect><x>10</x><y>50</y><width>100</width><height>20</height></rect></property>
   <property name="signature" stdset="0"><string>Test</string></property>
   <property name="controlId" stdset="0"><number>2</number></property>
  </widget>
  <widget class="QRadioButton" name="radio">
   <property name="geometry"><rect><x>10</x><y>80</y><width>100</width><height>20</height></rect></property>
   <property name="signature" stdset="0"><string>Test</string></property>
   <property name="controlId" stdset="0"><number>3</number></property>
  </widget>
  <widget class="QLabel" name="text">
   <property name="geometry"><rect><x>10</x><y>110</y><width>120</width><height>20</height></rect></property>
   <property name="wordWrap"><bool>true</bool></property>
   <property name="signature" stdset="0"><string>Test</string></property>
   <property name="controlId" stdset="0"><number>4</number></property>
   <property name="dialogItem" stdset="0"><number>2</number></property>
  </widget>
  <widget class="QLineEdit" name="edit">
   <property name="geometry"><rect><x>10</x><y>140</y><width>120</width><height>24</height></rect></property>
   <property name="text"><string>unchanged</string></property>
   <property name="signature" stdset="0"><string>Test</string></property>
   <property name="controlId" stdset="0"><number>5</number></property>
  </widget>
  <widget class="QComboBox" name="popup">
   <property name="geometry"><rect><x>10</x><y>170</y><width>120</width><height>24</height></rect></property>
   <property name="signature" stdset="0"><string>Test</string></property>
   <property name="controlId" stdset="0"><number>6</number></property>
  </widget>
  <widget class="QToolButton" name="iconButton">
   <property name="geometry"><rect><x>10</x><y>200</y><width>40</width><height>30</height></rect></property>
   <property name="signature" stdset="0"><string>Test</string></property>
   <property name="controlId" stdset="0"><number>7</number></property>
  </widget>
 </widget>
</widget></ui>
)";

class WindSupport : public UiTest {
  protected:
    static void SetUpTestSuite() {
        uiSetUp();
        dir = new QTemporaryDir;
        QFile f(dir->filePath("kinds.ui"));
        f.open(QIODevice::WriteOnly);
        f.write(kKindsUi);
        f.close();
        platformCreateNibReferenceInFolder(dir->path().toUtf8().constData(), CFSTR("kinds"), &nib);
    }
    void SetUp() override {
        ASSERT_EQ(CreateWindowFromNib(nib, CFSTR("Kinds"), &w), noErr);
        ShowWindow(w);
    }
    void TearDown() override {
        DisposeWindow(w);
        settle();
    }
    static inline QTemporaryDir* dir = nullptr;
    static inline IBNibRef nib = nullptr;
    WindowRef w = nullptr;
};

std::string textOf(WindowRef w, SInt32 id) {
    CFStringRef s = getControlText(w, kTest, id, nullptr);
    std::string out = platformStringUTF8(s);
    if (s) CFRelease(s);
    return out;
}

} // namespace

TEST_F(WindSupport, SetControlTextActsByKind) {
    struct Case {
        SInt32 id;
        bool titled;     // the text becomes the title, the height output its best width
        bool staticText; // the text becomes the static text, the height output its text height
    };
    const Case cases[] = {{1, true, false}, {2, true, false},  {3, true, false}, {7, true, false},
                          {4, false, true}, {5, false, false}, {6, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        ControlRef control = getControlByID(w, kTest, c.id);
        ASSERT_NE(control, nullptr);
        short height = -1;
        EXPECT_EQ(setControlText(w, kTest, c.id,
                                 CFSTR("A rather longer title for a narrow control"), &height),
                  noErr);
        if (c.titled) {
            CFStringRef title = CopyControlTitleAsCFString(control);
            EXPECT_EQ(platformStringUTF8(title), "A rather longer title for a narrow control");
            CFRelease(title);
            Rect best;
            GetBestControlRect(control, &best, nullptr);
            EXPECT_EQ(height, best.right - best.left);
            EXPECT_GT(height, 40); // wider than the 40-pixel button it replaced the title of
        } else if (c.staticText) {
            EXPECT_EQ(textOf(w, c.id), "A rather longer title for a narrow control");
            // Wrapped to the 120-pixel width: more than one line, as the label lays it out.
            auto* label = reinterpret_cast<QLabel*>(control);
            EXPECT_GT(height, label->fontMetrics().height());
            EXPECT_EQ(height, label->heightForWidth(120));
        } else {
            EXPECT_EQ(height, -1); // untouched
        }
    }
    // An edit field keeps its text: only titles and static texts are set.
    EXPECT_EQ(textOf(w, 5), "unchanged");
}

TEST_F(WindSupport, ControlTextReadsBackInBothFormsWithMacRomanBytes) {
    const unsigned char cafe[] = {5, 'C', 'a', 'f', 0x8E, '!'}; // 0x8E is e with acute accent
    EXPECT_EQ(setControlText(w, kTest, 4, cafe, nullptr), noErr);
    EXPECT_EQ(textOf(w, 4), "Caf\u00e9!");
    Str255 back = {0};
    short height = 0;
    EXPECT_EQ(getControlText(w, kTest, 4, back, &height), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back + 1), back[0]), std::string("Caf\x8E!"));
    EXPECT_GT(height, 0);
    // A control without text data gives no string.
    EXPECT_EQ(getControlText(w, kTest, 1, nullptr), nullptr);
}

TEST_F(WindSupport, AbsentPropertyReadsAsZeroAndControlAddressesRoundTrip) {
    EXPECT_EQ(getWindowPropertyPtr(w, fourCC("ShMs"), fourCC("Rply")), nullptr);
    void* value = reinterpret_cast<void*>(intptr_t(2));
    SetWindowProperty(w, fourCC("ShMs"), fourCC("Rply"), sizeof value, &value);
    EXPECT_EQ(getWindowPropertyPtr(w, fourCC("ShMs"), fourCC("Rply")), value);

    OSType sig = 0;
    SInt32 id = 0;
    EXPECT_EQ(getIDByControl(getControlByID(w, kTest, 6), &sig, &id), noErr);
    EXPECT_EQ(sig, kTest);
    EXPECT_EQ(id, 6);
    EXPECT_EQ(getControlByID(w, kTest, 99), nullptr);
    EXPECT_EQ(getControlByID(w, fourCC("Tesu"), 1), nullptr);

    // Dialog items: only the outputs given are written.
    SInt32 onlyId = 0;
    EXPECT_EQ(getItemID(w, 2, nullptr, &onlyId), 4);
    EXPECT_EQ(onlyId, 4);
    sig = fourCC("keep");
    EXPECT_EQ(getItemID(GetDialogFromWindow(w), 1, &sig, nullptr), 1);
    EXPECT_EQ(sig, kTest);
}

TEST_F(WindSupport, ValuesArePinnedToTheRangeAndVisibilityAndActivationFollow) {
    setControlValue(w, kTest, 2, 1);
    EXPECT_EQ(getControlValue(w, kTest, 2), 1);
    EXPECT_EQ(getControlMaximum(w, kTest, 2), 1);
    setControlMaximum(w, kTest, 7, 10);
    setControlValue(w, kTest, 7, 50);
    EXPECT_EQ(getControlValue(w, kTest, 7), 10);
    setControlValue(w, kTest, 7, -5);
    EXPECT_EQ(getControlValue(w, kTest, 7), 0);

    showControl(w, kTest, 1, false);
    EXPECT_FALSE(IsControlVisible(getControlByID(w, kTest, 1)));
    showControl(w, kTest, 1, true);
    enableControl(w, kTest, 1, false);
    EXPECT_FALSE(IsControlActive(getControlByID(w, kTest, 1)));
    EXPECT_FALSE(press(w, kTest, 1)); // a deactivated button cannot be pressed

    Rect r{60, 200, 90, 300};
    setControlBounds(w, kTest, 1, &r);
    Rect back = boundsOf(w, kTest, 1);
    EXPECT_EQ(back.top, 60);
    EXPECT_EQ(back.left, 200);
    EXPECT_EQ(back.bottom, 90);
    EXPECT_EQ(back.right, 300);
}

namespace {

ControlRef gHandlerControl = nullptr;
int gHandlerCalls = 0;
OSStatus failingHandler(EventHandlerCallRef call, EventRef event, void* user) {
    ++gHandlerCalls;
    gHandlerControl = static_cast<ControlRef>(user);
    EXPECT_EQ(call, nullptr);
    EXPECT_EQ(event, nullptr);
    return -1;
}
int gHits = 0;
OSStatus countHits(EventHandlerCallRef, EventRef event, void*) {
    if (GetEventClass(event) == kEventClassControl && GetEventKind(event) == kEventControlHit)
        ++gHits;
    return noErr;
}

} // namespace

TEST_F(WindSupport, ControlHandlersAreInstalledAndCalledByAddress) {
    gHandlerCalls = 0;
    EXPECT_EQ(callControlHandler(w, kTest, 1, failingHandler), noErr); // the failure is dropped
    EXPECT_EQ(gHandlerCalls, 1);
    EXPECT_EQ(gHandlerControl, getControlByID(w, kTest, 1));
    EXPECT_EQ(callControlHandler(w, kTest, 42, failingHandler), errUnknownControl);
    EXPECT_EQ(gHandlerCalls, 1);

    EXPECT_EQ(installControlHandler(w, kTest, 42, countHits), errUnknownControl);
    ASSERT_EQ(installControlHandler(w, kTest, 1, countHits), noErr);
    gHits = 0;
    press(w, kTest, 1);
    EXPECT_EQ(gHits, 1);
}

class MenuHelpers : public UiTest {
  protected:
    static void SetUpTestSuite() {
        uiSetUp();
        IBNibRef nib = nullptr;
        CreateNibReference(CFSTR("main"), &nib);
        SetMenuBarFromNib(nib, CFSTR("MenuBar"));
    }
};

TEST_F(MenuHelpers, MenuIdIsFoundInTheRangeOnly) {
    MenuRef app = GetMenuHandle(128);
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(getMenuIDbyMenu(app, 100, 200), 128);
    EXPECT_EQ(getMenuIDbyMenu(app, 128, 128), 128);
    EXPECT_EQ(getMenuIDbyMenu(app, 129, 200), 0);
    EXPECT_EQ(getMenuIDbyMenu(app, 200, 100), 0);
    EXPECT_EQ(getMenuIDbyMenu(app, 32000, 32767), 0); // ends at the largest id
}

TEST_F(MenuHelpers, CheckMarksAreExclusiveWithOnlyAndReadBackFromTheItemProperty) {
    MenuRef app = GetMenuHandle(128);
    UInt16 n = CountMenuItems(app);
    ASSERT_GE(n, 3);
    EXPECT_FALSE(getItemCheck(app, 1)); // never set
    setItemCheck(app, 1, true, false);
    setItemCheck(app, 3, true, false);
    setItemCheck(app, n, true, true);
    for (MenuItemIndex i = 1; i <= n; ++i) {
        EXPECT_EQ(bool(getItemCheck(app, i)), i == n) << i;
        EXPECT_EQ(bool(platformIsMenuItemChecked(app, i)), i == n) << i;
    }
    setItemCheck(app, n, false, true);
    for (MenuItemIndex i = 1; i <= n; ++i)
        EXPECT_FALSE(getItemCheck(app, i)) << i;

    // The command forms act on the item carrying the command, and on nothing without one.
    setItemCheck(kHICommandPreferences, true, false);
    EXPECT_TRUE(getItemCheck(kHICommandPreferences));
    setItemCheck(fourCC("none"), true, true);
    EXPECT_TRUE(getItemCheck(kHICommandPreferences));
    EXPECT_FALSE(getItemCheck(fourCC("none")));
    setItemCheck(kHICommandPreferences, false, false);
}

TEST_F(WindSupport, IconFamiliesComeFromTheBundleAndAMissingOneDrawsNothing) {
    EXPECT_NE(GetResource(fourCC("icns"), 128), nullptr);
    EXPECT_EQ(GetResource(fourCC("icns"), 999), nullptr);
    EXPECT_EQ(ResError(), resNotFound);
    EXPECT_EQ(GetResource(fourCC("PICT"), 128), nullptr);

    auto* widget = reinterpret_cast<QWidget*>(w);
    Rect r{10, 200, 74, 264};
    setControlBounds(w, kTest, 1, &r);
    showControl(w, kTest, 1, false); // an empty spot to draw on
    QImage before = widget->grab().toImage();
    drawIconSuite(getControlByID(w, kTest, 1), 999);
    settle();
    EXPECT_EQ(widget->grab().toImage(), before);
    drawIconSuite(getControlByID(w, kTest, 1), 128);
    settle();
    QImage after = widget->grab().toImage();
    EXPECT_NE(after, before);
    EXPECT_EQ(after.copy(0, 0, 190, 300), before.copy(0, 0, 190, 300)); // only its bounds change
}

namespace {

WindowRef gClosedWindow = nullptr;
OSStatus takeClose(EventHandlerCallRef, EventRef event, void* user) {
    if (GetEventClass(event) != kEventClassWindow || GetEventKind(event) != kEventWindowClose)
        return eventNotHandledErr;
    gClosedWindow = static_cast<WindowRef>(user);
    return noErr;
}

} // namespace

TEST_F(WindSupport, AWindowHandlerThatTakesTheCloseKeepsTheToolkitFromAnsweringIt) {
    SetWindowCancelButton(w, getControlByID(w, kTest, 1));
    ASSERT_EQ(installControlHandler(w, kTest, 1, countHits), noErr);
    ASSERT_EQ(installWindowHandler(w, takeClose), noErr);
    gHits = 0;
    gClosedWindow = nullptr;
    reinterpret_cast<QWidget*>(w)->close();
    EXPECT_EQ(gClosedWindow, w); // the window is the handler's user data
    EXPECT_EQ(gHits, 0);         // the cancel button was not pressed
}
