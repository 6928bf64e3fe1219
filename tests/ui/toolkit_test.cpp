// The toolkit services: event dispatch, modal loops, sheets, properties, interface files,
// menus and localized texts.
#include "uiFixture.h"

#include "PlatformMenus.h"

#include <QDir>
#include <QWidget>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr OSType kShMs = fourCC("ShMs");
constexpr OSType kPrMs = fourCC("PrMs");

IBNibRef nibNamed(const char* name) {
    IBNibRef nib = nullptr;
    EXPECT_EQ(CreateNibReference(CFSTR(name), &nib), noErr) << name;
    return nib;
}

WindowRef makeWindow(const char* name) {
    static IBNibRef nib = nibNamed("showMessage");
    WindowRef w = nullptr;
    EXPECT_EQ(CreateWindowFromNib(nib, CFSTR(name), &w), noErr) << name;
    return w;
}

std::vector<std::string> gLog;

OSStatus logHandled(EventHandlerCallRef, EventRef, void* tag) {
    gLog.push_back(static_cast<const char*>(tag));
    return noErr;
}
OSStatus logPassed(EventHandlerCallRef, EventRef, void* tag) {
    gLog.push_back(static_cast<const char*>(tag));
    return eventNotHandledErr;
}
OSStatus logCallingNext(EventHandlerCallRef call, EventRef event, void* tag) {
    gLog.push_back(std::string(static_cast<const char*>(tag)) + ">");
    OSStatus r = CallNextEventHandler(call, event);
    gLog.push_back(std::string("<") + static_cast<const char*>(tag));
    return r;
}

MenuCommand gLastCommand = 0;
MenuItemIndex gLastIndex = 0;
OSStatus recordCommand(EventHandlerCallRef, EventRef event, void*) {
    HICommand cmd{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof cmd, nullptr,
                      &cmd);
    gLastCommand = cmd.commandID;
    gLastIndex = cmd.menu.menuItemIndex;
    return eventNotHandledErr;
}

class Toolkit : public UiTest {};

} // namespace

TEST_F(Toolkit, HandlersRunNewestFirstAndUnhandledEventsGoOnToWindowAndApplication) {
    WindowRef w = makeWindow("ShowMessage");
    ShowWindow(w);
    ControlRef button = getControlByID(w, kShMs, 1);
    const EventTypeSpec hit{kEventClassControl, kEventControlHit};
    EventHandlerRef older = nullptr;
    InstallEventHandler(GetControlEventTarget(button), logHandled, 1, &hit, (void*)"older", &older);
    InstallEventHandler(GetControlEventTarget(button), logPassed, 1, &hit, (void*)"newer", nullptr);
    InstallEventHandler(GetWindowEventTarget(w), logHandled, 1, &hit, (void*)"window", nullptr);

    gLog.clear();
    ASSERT_TRUE(press(w, kShMs, 1));
    EXPECT_EQ(gLog, (std::vector<std::string>{"newer", "older"}));

    // Without the handler that took it, the event reaches the window's handler.
    ASSERT_EQ(RemoveEventHandler(older), noErr);
    EXPECT_EQ(RemoveEventHandler(older), paramErr);
    gLog.clear();
    press(w, kShMs, 1);
    EXPECT_EQ(gLog, (std::vector<std::string>{"newer", "window"}));

    // A handler can run the rest of the chain first and still decide the result.
    InstallEventHandler(GetControlEventTarget(button), logCallingNext, 1, &hit, (void*)"wrap",
                        nullptr);
    gLog.clear();
    press(w, kShMs, 1);
    EXPECT_EQ(gLog, (std::vector<std::string>{"wrap>", "newer", "window", "<wrap"}));

    // A pressed button that is inactive sends nothing.
    DeactivateControl(button);
    gLog.clear();
    EXPECT_FALSE(press(w, kShMs, 1));
    EXPECT_TRUE(gLog.empty());
    DisposeWindow(w);
}

TEST_F(Toolkit, StandardQuitEndsTheApplicationLoopWhenHandlersPassIt) {
    const EventTypeSpec cmd{kEventClassCommand, kEventCommandProcess};
    EventHandlerRef h = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), recordCommand, 1, &cmd, nullptr, &h);
    gLastCommand = 0;
    whenRunning([] {
        HICommand quit{};
        quit.commandID = kHICommandQuit;
        ProcessHICommand(&quit);
    });
    RunApplicationEventLoop(); // returns only through the command
    EXPECT_EQ(gLastCommand, kHICommandQuit);
    EXPECT_FALSE(platformApplicationEventLoopRunning());

    // A quit asked for before the loop runs ends it as soon as it starts.
    QuitApplicationEventLoop();
    RunApplicationEventLoop();
    RemoveEventHandler(h);
}

TEST_F(Toolkit, ModalLoopsNestAndUnwindInnermostFirst) {
    WindowRef outer = makeWindow("ShowMessage");
    WindowRef inner = makeWindow("ShowMessage");
    ShowWindow(outer);
    ShowWindow(inner);
    std::vector<std::string> log;
    whenRunning([&] {
        QuitAppModalLoopForWindow(outer); // asked first, but the inner loop is still to run
        whenRunning([&] {
            log.push_back("quit inner");
            QuitAppModalLoopForWindow(inner);
        });
        RunAppModalLoopForWindow(inner);
        log.push_back("inner returned");
    });
    RunAppModalLoopForWindow(outer);
    log.push_back("outer returned");
    EXPECT_EQ(log, (std::vector<std::string>{"quit inner", "inner returned", "outer returned"}));
    EXPECT_EQ(platformModalLoopDepth(), 0);
    EXPECT_EQ(QuitAppModalLoopForWindow(outer), noErr); // no loop: nothing happens
    DisposeWindow(outer);
    DisposeWindow(inner);
}

TEST_F(Toolkit, SheetsSitOnTheirParentAndASheetTakesNoSheet) {
    WindowRef parent = makeWindow("ProgMessage");
    WindowRef sheet = makeWindow("ShowMessageS");
    WindowRef second = makeWindow("ShowMessageS");
    ShowWindow(parent);
    WindowRef found = nullptr;
    EXPECT_EQ(GetSheetWindowParent(sheet, &found), paramErr);
    ASSERT_EQ(ShowSheetWindow(sheet, parent), noErr);
    EXPECT_TRUE(IsWindowVisible(sheet));
    EXPECT_EQ(GetSheetWindowParent(sheet, &found), noErr);
    EXPECT_EQ(found, parent);
    EXPECT_EQ(FrontWindow(), sheet);
    EXPECT_EQ(ShowSheetWindow(second, sheet), errInvalidWindowRef);
    EXPECT_FALSE(IsWindowVisible(second));
    // A sheet hidden keeps its parent, so it can be shown on it again.
    HideSheetWindow(sheet);
    EXPECT_EQ(GetSheetWindowParent(sheet, &found), noErr);
    EXPECT_EQ(found, parent);
    DisposeWindow(second);
    DisposeWindow(sheet);
    DisposeWindow(parent);
}

TEST_F(Toolkit, WindowPropertiesAreKeyedByCreatorAndTag) {
    WindowRef w = makeWindow("ShowMessage");
    SInt32 v = 42, out = 0;
    EXPECT_EQ(GetWindowProperty(w, kShMs, fourCC("Rply"), sizeof out, nullptr, &out),
              errWindowPropertyNotFound);
    ASSERT_EQ(SetWindowProperty(w, kShMs, fourCC("Rply"), sizeof v, &v), noErr);
    EXPECT_EQ(GetWindowProperty(w, kPrMs, fourCC("Rply"), sizeof out, nullptr, &out),
              errWindowPropertyNotFound);
    ByteCount size = 0;
    EXPECT_EQ(GetWindowProperty(w, kShMs, fourCC("Rply"), sizeof out, &size, &out), noErr);
    EXPECT_EQ(out, 42);
    EXPECT_EQ(size, sizeof v);
    EXPECT_EQ(RemoveWindowProperty(w, kShMs, fourCC("Rply")), noErr);
    EXPECT_EQ(RemoveWindowProperty(w, kShMs, fourCC("Rply")), errWindowPropertyNotFound);
    DisposeWindow(w);
}

TEST_F(Toolkit, MissingInterfaceFilesAndWindowsFail) {
    IBNibRef nib = nullptr;
    EXPECT_EQ(CreateNibReference(CFSTR("noSuchFile"), &nib), errIBNibNotFound);
    EXPECT_EQ(CreateNibReference(CFSTR("../bundle-resources/main"), &nib), errIBNibNotFound);
    IBNibRef messages = nibNamed("showMessage");
    WindowRef w = nullptr;
    EXPECT_EQ(CreateWindowFromNib(messages, CFSTR("NoSuchWindow"), &w), errWindowNotFound);
    EXPECT_EQ(SetMenuBarFromNib(messages, CFSTR("MenuBar")), errWindowNotFound);
    DisposeNibReference(messages);

    platformSetResourcesFolderForTesting("/nonexistent-folder");
    EXPECT_EQ(CreateNibReference(CFSTR("showMessage"), &nib), errIBNibNotFound);
    platformSetResourcesFolderForTesting(QUILLON_RESOURCES_DIR);
}

TEST_F(Toolkit, WindowsOfTheMessageFileHoldTheControlsTheCodeAddresses) {
    struct Expect {
        OSType sig;
        SInt32 id;
        OSType kind;
    };
    const Expect message[] = {
        {kShMs, 1, kControlKindPushButton},  {kShMs, 2, kControlKindPushButton},
        {kShMs, 3, kControlKindPushButton},  {kShMs, 4, kControlKindIcon},
        {kShMs, 11, kControlKindStaticText}, {kShMs, 12, kControlKindStaticText}};
    const Expect progress[] = {
        {kPrMs, 1, kControlKindPushButton},  {kPrMs, 2, kControlKindPushButton},
        {kPrMs, 3, kControlKindProgressBar}, {kPrMs, 4, kControlKindStaticText},
        {kPrMs, 5, kControlKindStaticText},  {kPrMs, 6, kControlKindStaticText},
        {kPrMs, 11, kControlKindStaticText}, {kPrMs, 12, kControlKindStaticText}};
    for (const char* name : {"ShowMessage", "ShowMessageS", "ProgMessage", "ProgMessageS"}) {
        WindowRef w = makeWindow(name);
        bool isProgress = name[0] == 'P';
        EXPECT_EQ(bool(platformIsSheetWindow(w)), name[std::strlen(name) - 1] == 'S') << name;
        for (const Expect& e : isProgress
                                   ? std::vector<Expect>(std::begin(progress), std::end(progress))
                                   : std::vector<Expect>(std::begin(message), std::end(message))) {
            ControlRef c = getControlByID(w, e.sig, e.id);
            ASSERT_NE(c, nullptr) << name << " " << e.id;
            ControlKind k{};
            GetControlKind(c, &k);
            EXPECT_EQ(k.kind, e.kind) << name << " " << e.id;
        }
        if (isProgress) {
            EXPECT_EQ(getControlMinimum(w, kPrMs, 3), 0);
        }
        EXPECT_EQ(getControlByID(w, isProgress ? kShMs : kPrMs, 1), nullptr) << name;
        DisposeWindow(w);
    }
}

TEST_F(Toolkit, MenuBarFromTheMainFileCarriesItsCommands) {
    IBNibRef nib = nibNamed("main");
    ASSERT_EQ(SetMenuBarFromNib(nib, CFSTR("MenuBar")), noErr);
    MenuRef app = GetMenuHandle(128);
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(GetMenuHandle(129), nullptr);

    MenuRef menu = nullptr;
    MenuItemIndex item = 0;
    ASSERT_EQ(GetIndMenuItemWithCommandID(nullptr, kHICommandPreferences, 1, &menu, &item), noErr);
    EXPECT_EQ(menu, app);
    EXPECT_EQ(GetIndMenuItemWithCommandID(nullptr, kHICommandPreferences, 2, &menu, &item),
              menuItemNotFoundErr);
    EXPECT_EQ(GetIndMenuItemWithCommandID(nullptr, fourCC("none"), 1, &menu, &item),
              menuItemNotFoundErr);
    for (MenuCommand c : {kHICommandAbout, kHICommandQuit})
        EXPECT_EQ(GetIndMenuItemWithCommandID(app, c, 1, nullptr, nullptr), noErr);

    CFStringRef text = nullptr;
    ASSERT_EQ(CopyMenuItemTextAsCFString(app, item, &text), noErr);
    EXPECT_EQ(platformStringUTF8(text), "Preferences…");
    CFRelease(text);

    UInt16 count = CountMenuItems(app);
    ASSERT_EQ(InsertMenuItemTextWithCFString(app, CFSTR("Check for Updates"), 1, 0, fourCC("chck")),
              noErr);
    EXPECT_EQ(CountMenuItems(app), count + 1);
    MenuItemIndex inserted = 0;
    GetIndMenuItemWithCommandID(app, fourCC("chck"), 1, nullptr, &inserted);
    EXPECT_EQ(inserted, 2);

    // Choosing an item sends its command, with its place, to the application.
    const EventTypeSpec cmd{kEventClassCommand, kEventCommandProcess};
    EventHandlerRef h = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), recordCommand, 1, &cmd, nullptr, &h);
    gLastCommand = 0;
    GetIndMenuItemWithCommandID(app, kHICommandPreferences, 1, nullptr, &item);
    platformChooseMenuItem(app, item);
    EXPECT_EQ(gLastCommand, kHICommandPreferences);
    EXPECT_EQ(gLastIndex, item);
    DisableMenuItem(app, item);
    EXPECT_FALSE(IsMenuItemEnabled(app, item));
    gLastCommand = 0;
    platformChooseMenuItem(app, item);
    EXPECT_EQ(gLastCommand, 0u);
    EnableMenuItem(app, item);
    EXPECT_TRUE(IsMenuItemEnabled(app, item));
    RemoveEventHandler(h);

    UInt8 flag = 1, out = 0;
    EXPECT_EQ(GetMenuItemProperty(app, item, fourCC("APPL"), fourCC("Chek"), 1, nullptr, &out),
              menuPropertyNotFoundErr);
    EXPECT_EQ(SetMenuItemProperty(app, item, fourCC("APPL"), fourCC("Chek"), 1, &flag), noErr);
    EXPECT_EQ(GetMenuItemProperty(app, item, fourCC("APPL"), fourCC("Chek"), 1, nullptr, &out),
              noErr);
    EXPECT_EQ(out, 1);
    EXPECT_EQ(SetMenuItemProperty(app, 99, fourCC("APPL"), fourCC("Chek"), 1, &flag),
              menuItemNotFoundErr);
    DeleteMenuItem(app, inserted);
    EXPECT_EQ(CountMenuItems(app), count);
}

namespace {

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

std::string localized(const char* key, const char* value = nullptr) {
    CFStringRef s = CFBundleCopyLocalizedString(CFBundleGetMainBundle(), CFSTR(key),
                                                value ? CFSTR(value) : nullptr, nullptr);
    std::string out = platformStringUTF8(s);
    CFRelease(s);
    return out;
}

} // namespace

TEST_F(Toolkit, LocalizedTextsFollowTheUsersLanguageWithEnglishBehind) {
    QTemporaryDir dir;
    writeFile(
        dir.filePath("en.lproj/Localizable.strings"),
        "/* English */\n\"both\" = \"in English\";\n\"english\" = \"only \\\"English\\\"\\n\";\n"
        "// a line comment\n\"plain\";\n");
    writeFile(dir.filePath("de.lproj/Localizable.strings"), "\"both\" = \"auf Deutsch\";\n");
    platformSetResourcesFolderForTesting(dir.path().toUtf8().constData());

    platformSetLanguagesForTesting("de-DE");
    EXPECT_EQ(localized("both"), "auf Deutsch");
    EXPECT_EQ(localized("english"), "only \"English\"\n");
    EXPECT_EQ(localized("plain"), "plain");
    EXPECT_EQ(localized("missing"), "missing");
    EXPECT_EQ(localized("missing", "fallback"), "fallback");
    EXPECT_EQ(localized("missing", ""), "missing");
    platformSetLanguagesForTesting("fr");
    EXPECT_EQ(localized("both"), "in English");

    platformSetResourcesFolderForTesting(QUILLON_RESOURCES_DIR);
    platformSetLanguagesForTesting("en");
}

TEST_F(Toolkit, BundleTextsHaveEveryKeyWithTheButtonsItsCallerExpects) {
    // Key, number of buttons the caller offers (0: shown in a control as it is).
    const std::pair<const char*, int> keys[] = {
        {"msgTitle", 0},          {"msgAboutThisUpdate", 2}, {"msgWrongSerialDriver", 2},
        {"msgNoSerialDriver", 2}, {"msgUpdating", 0},        {"msgConnecting", 0},
        {"msgAbortedUpload", 1},  {"msgNoResponce", 1},      {"msgNoFirmwareImage", 1}};
    for (auto [key, buttons] : keys) {
        std::string text = localized(key);
        EXPECT_NE(text, key);
        EXPECT_EQ(text.find('%'), std::string::npos) << key; // the texts are formats
        int carets = int(std::count(text.begin(), text.end(), '^'));
        EXPECT_EQ(carets, buttons ? buttons + 1 : 0) << key << ": " << text;
    }
}

namespace {

SInt32 gClosePressed = 0;
const EventTypeSpec kHit{kEventClassControl, kEventControlHit};
OSStatus recordPressed(EventHandlerCallRef, EventRef, void* user) {
    getIDByControl(static_cast<ControlRef>(user), nullptr, &gClosePressed);
    return noErr;
}

} // namespace

TEST_F(Toolkit, ClosingAWindowAnswersItAsItsCancelButtonOrItsOnlyButton) {
    struct Case {
        bool cancelButton;
        int shownButtons;
        SInt32 pressed; // 0: the close is refused and nothing is pressed
    };
    const Case cases[] = {{true, 2, 1}, {false, 1, 1}, {false, 2, 0}};
    for (const Case& c : cases) {
        WindowRef w = makeWindow("ShowMessage");
        if (c.cancelButton) SetWindowCancelButton(w, getControlByID(w, kShMs, 1));
        for (SInt32 id = c.shownButtons + 1; id <= 3; ++id)
            showControl(w, kShMs, id, false);
        ShowWindow(w);
        for (SInt32 id = 1; id <= 3; ++id)
            InstallEventHandler(GetControlEventTarget(getControlByID(w, kShMs, id)), recordPressed,
                                1, &kHit, getControlByID(w, kShMs, id), nullptr);
        gClosePressed = 0;
        reinterpret_cast<QWidget*>(w)->close();
        EXPECT_EQ(gClosePressed, c.pressed) << c.cancelButton << " " << c.shownButtons;
        EXPECT_TRUE(IsWindowVisible(w)); // the window goes only when its owner disposes of it
        DisposeWindow(w);
    }
}

TEST_F(Toolkit, QuitFromTheMenuEndsTheApplicationLoop) {
    IBNibRef nib = nibNamed("main");
    ASSERT_EQ(SetMenuBarFromNib(nib, CFSTR("MenuBar")), noErr);
    MenuRef menu = nullptr;
    MenuItemIndex item = 0;
    ASSERT_EQ(GetIndMenuItemWithCommandID(nullptr, kHICommandQuit, 1, &menu, &item), noErr);
    whenRunning([menu, item] { platformChooseMenuItem(menu, item); });
    RunApplicationEventLoop(); // returns through the standard Quit
    EXPECT_FALSE(platformApplicationEventLoopRunning());
}
