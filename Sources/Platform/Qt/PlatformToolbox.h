// The types the toolkit services share: opaque references to windows, controls, menus,
// dialogs and events, the records the modules fill in (control ids, event type lists,
// commands), and the status codes of the toolkit. No Qt here: module code includes this.
//
// A reference stays valid until its object is disposed of (DisposeWindow for a window and
// its controls); using it afterwards is undefined, as it is for the classic toolkit.
#pragma once

#include "PlatformTypes.h"
#include "PlatformStrings.h"

struct OpaqueWindowPtr;
struct OpaqueControlRef;
struct OpaqueMenuRef;
struct OpaqueDialogPtr;
struct OpaqueEventRef;
struct OpaqueEventHandlerCallRef;
struct OpaqueEventHandlerRef;
struct OpaqueEventTargetRef;
struct OpaqueIBNibRef;
struct OpaqueIconSuite;
struct OpaqueResourceHandle;

using WindowRef = OpaqueWindowPtr*;
using WindowPtr = WindowRef;
using ControlRef = OpaqueControlRef*;
using MenuRef = OpaqueMenuRef*;
using MenuHandle = MenuRef;
using DialogPtr = OpaqueDialogPtr*;
using DialogRef = DialogPtr;
using EventRef = OpaqueEventRef*;
using EventHandlerCallRef = OpaqueEventHandlerCallRef*;
using EventHandlerRef = OpaqueEventHandlerRef*;
using EventTargetRef = OpaqueEventTargetRef*;
using IBNibRef = OpaqueIBNibRef*;
using IconSuiteRef = OpaqueIconSuite*;
using Handle = OpaqueResourceHandle*;
using IconFamilyHandle = Handle;

using ResType = OSType;
using PropertyCreator = OSType;
using PropertyTag = OSType;
using ControlPartCode = SInt16;
using ThemeFontID = UInt16;
using ThemeDrawState = UInt32;
using WindowRegionCode = UInt16;
using EventParamName = OSType;
using EventParamType = OSType;
using MenuAttributes = UInt32;
using MenuItemAttributes = UInt32;
using IconSelectorValue = UInt32;
using IconAlignmentType = SInt16;
using IconTransformType = SInt16;
using Size = long;

using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent,
                                         void* inUserData);
using EventHandlerUPP = EventHandlerProcPtr;

// A control's address inside its window: signature first, then id.
struct ControlID {
    OSType signature;
    SInt32 id;
};

struct ControlKind {
    OSType signature; // 'appl' for every kind this toolkit reports
    OSType kind;
};

struct EventTypeSpec {
    UInt32 eventClass;
    UInt32 eventKind;
};

struct HICommand {
    UInt32 attributes;
    UInt32 commandID;
    struct {
        MenuRef menuRef;
        MenuItemIndex menuItemIndex;
    } menu;
};

// Event classes and the kinds this toolkit sends.
enum : UInt32 {
    kEventClassCommand = fourCC("cmds"),
    kEventClassControl = fourCC("cntl"),
    kEventClassKeyboard = fourCC("keyb"),
    kEventClassWindow = fourCC("wind"),
    kEventClassMenu = fourCC("menu"),
    kEventClassApplication = fourCC("appl"),

    kEventCommandProcess = 1,      // a menu command or a simulated command
    kEventCommandUpdateStatus = 2, // accepted by InstallEventHandler, never sent
    kEventControlHit = 1,          // a button (or the icon) was pressed
    kEventControlDraw = 4,         // accepted, never sent: Qt paints controls itself
    kEventControlActivate = 9,     // a control became active (enabled)
    kEventControlDeactivate = 10,  // a control became inactive
    kEventRawKeyDown = 1,
    kEventRawKeyUp = 3,
    kEventMenuBeginTracking = 1, // a menu is about to open
    kEventWindowUpdate = 1,      // accepted, never sent
    kEventWindowDrawContent = 2, // accepted, never sent
    kEventWindowActivated = 5,
    kEventWindowDeactivated = 6,
    kEventWindowBoundsChanged = 27,
    kEventWindowCursorChange = 40, // accepted, never sent
    kEventWindowClose = 72,
};

// Event parameters: a command's HICommand, an event's control or window, a key's code and
// character.
enum : OSType {
    kEventParamDirectObject = fourCC("----"),
    kEventParamKeyCode = fourCC("kcod"),
    kEventParamKeyMacCharCodes = fourCC("kchr"),
    typeHICommand = fourCC("hcmd"),
    typeControlRef = fourCC("ctrl"),
    typeWindowRef = fourCC("wind"),
    typeUInt32 = fourCC("magn"),
    typeChar = fourCC("TEXT"),
    typeWildCard = fourCC("****"),
};

// Standard commands. The toolkit's own handling quits the application event loop for
// kHICommandQuit and shows an about box for kHICommandAbout.
enum : MenuCommand {
    kHICommandQuit = fourCC("quit"),
    kHICommandAbout = fourCC("abou"),
    kHICommandPreferences = fourCC("pref"),
};

// Control kinds reported by GetControlKind.
enum : OSType {
    kControlKindSignatureApple = fourCC("appl"),
    kControlKindPushButton = fourCC("push"),
    kControlKindCheckBox = fourCC("cbox"),
    kControlKindPushIconButton = fourCC("picn"),
    kControlKindRadioButton = fourCC("rdio"),
    kControlKindStaticText = fourCC("stxt"),
    kControlKindEditUnicodeText = fourCC("eutx"),
    kControlKindPopupButton = fourCC("popb"),
    kControlKindProgressBar = fourCC("prgb"),
    kControlKindIcon = fourCC("icon"),
    kControlKindSlider = fourCC("sldr"),
    kControlKindGroupBox = fourCC("grpb"),
    kControlKindUserPane = fourCC("upan"), // any other widget
};

// Control data tags.
enum : ResType {
    kControlStaticTextTextTag = fourCC("text"),       // raw Mac Roman bytes
    kControlStaticTextCFStringTag = fourCC("cfst"),   // a CFStringRef, copied both ways
    kControlStaticTextTextHeightTag = fourCC("thei"), // SInt16 pixels, text wrapped to width
    kControlEditTextTextTag = kControlStaticTextTextTag,
    kControlEditTextCFStringTag = kControlStaticTextCFStringTag,
    kControlEntireControl = 0,
};

enum : WindowRegionCode {
    kWindowStructureRgn = 32,
    kWindowContentRgn = 33,
};

enum : ThemeFontID {
    kThemeSystemFont = 0,
    kThemeSmallSystemFont = 1,
    kThemeSmallEmphasizedSystemFont = 2,
    kThemeEmphasizedSystemFont = 4,
};
enum : ThemeDrawState {
    kThemeStateInactive = 0,
    kThemeStateActive = 1,
};
// Justification of DrawThemeTextBox.
enum : SInt16 {
    teFlushDefault = 0,
    teCenter = 1,
    teFlushRight = -1,
    teFlushLeft = -2,
};

enum : IconSelectorValue { kSelectorAllAvailableData = 0xFFFFFFFF };
enum : IconAlignmentType { kAlignNone = 0 };
enum : IconTransformType { kTransformNone = 0 };

// QuickDraw's classic colour numbers for ForeColor.
enum : long {
    blackColor = 33,
    whiteColor = 30,
};

// Status codes of the toolkit.
constexpr OSStatus resNotFound = -192;
constexpr OSStatus eventParameterNotFoundErr = -9870;
constexpr OSStatus eventInternalErr = -9868;
constexpr OSStatus eventHandlerAlreadyInstalledErr = -9872;
constexpr OSStatus errUnknownControl = -30584;
constexpr OSStatus errDataNotSupported = -30587;
constexpr OSStatus errInvalidWindowRef = -5600;
constexpr OSStatus errWindowPropertyNotFound = -5604;
constexpr OSStatus errWindowDoesNotHaveProxy = -5605;
constexpr OSStatus errWindowNotFound = -5610; // a nib file without the named window or menu bar
constexpr OSStatus menuPropertyNotFoundErr = -5603;
constexpr OSStatus menuItemNotFoundErr = -5620;
constexpr OSStatus errIBNibNotFound = fnfErr; // the interface file does not exist or cannot be read
