// Window and control helpers over the toolkit.
#include "windSupport.h"

#include "PlatformCarbonEvents.h"
#include "PlatformControls.h"
#include "PlatformMenus.h"
#include "PlatformWindows.h"

#include <cstring>

namespace {

constexpr OSType kCheckCreator = fourCC("APPL");
constexpr OSType kCheckTag = fourCC("Chek");

} // namespace

ControlRef getControlByID(WindowRef wind, OSType signature, SInt32 id) {
    ControlID cid{signature, id};
    ControlRef control = nullptr;
    if (GetControlByID(wind, &cid, &control) != noErr) return nullptr;
    return control;
}

OSStatus getIDByControl(ControlRef control, OSType* signature, SInt32* id) {
    ControlID cid;
    OSStatus err = GetControlID(control, &cid);
    if (err == noErr) {
        if (signature) *signature = cid.signature;
        if (id) *id = cid.id;
    }
    return err;
}

void showControl(ControlRef control, Boolean show) {
    if (show)
        ShowControl(control);
    else
        HideControl(control);
}
void showControl(WindowRef wind, OSType signature, SInt32 id, Boolean show) {
    showControl(getControlByID(wind, signature, id), show);
}

void enableControl(ControlRef control, Boolean enable) {
    if (enable)
        ActivateControl(control);
    else
        DeactivateControl(control);
}
void enableControl(WindowRef wind, OSType signature, SInt32 id, Boolean enable) {
    enableControl(getControlByID(wind, signature, id), enable);
}

void enableMenuItem(MenuRef menu, MenuItemIndex index, Boolean enable) {
    if (enable)
        EnableMenuItem(menu, index);
    else
        DisableMenuItem(menu, index);
}
void enableMenuItem(ControlRef control, MenuItemIndex index, Boolean enable) {
    enableMenuItem(GetControlPopupMenuHandle(control), index, enable);
}
void enableMenuItem(WindowRef wind, OSType signature, SInt32 id, MenuItemIndex index,
                    Boolean enable) {
    enableMenuItem(getControlByID(wind, signature, id), index, enable);
}

void getControlBounds(ControlRef control, Rect* rect) {
    GetControlBounds(control, rect);
}
void getControlBounds(WindowRef wind, OSType signature, SInt32 id, Rect* rect) {
    getControlBounds(getControlByID(wind, signature, id), rect);
}
void setControlBounds(ControlRef control, Rect* rect) {
    SetControlBounds(control, rect);
}
void setControlBounds(WindowRef wind, OSType signature, SInt32 id, Rect* rect) {
    setControlBounds(getControlByID(wind, signature, id), rect);
}

// The toolkit's values are 32-bit: a long is cut to its low 32 bits, as the record's are.
long getControlValue(ControlRef control) {
    return GetControl32BitValue(control);
}
long getControlValue(WindowRef wind, OSType signature, SInt32 id) {
    return getControlValue(getControlByID(wind, signature, id));
}
void setControlValue(ControlRef control, long value) {
    SetControl32BitValue(control, SInt32(value));
}
void setControlValue(WindowRef wind, OSType signature, SInt32 id, long value) {
    setControlValue(getControlByID(wind, signature, id), value);
}
long getControlMinimum(ControlRef control) {
    return GetControl32BitMinimum(control);
}
long getControlMinimum(WindowRef wind, OSType signature, SInt32 id) {
    return getControlMinimum(getControlByID(wind, signature, id));
}
void setControlMinimum(ControlRef control, long value) {
    SetControl32BitMinimum(control, SInt32(value));
}
void setControlMinimum(WindowRef wind, OSType signature, SInt32 id, long value) {
    setControlMinimum(getControlByID(wind, signature, id), value);
}
long getControlMaximum(ControlRef control) {
    return GetControl32BitMaximum(control);
}
long getControlMaximum(WindowRef wind, OSType signature, SInt32 id) {
    return getControlMaximum(getControlByID(wind, signature, id));
}
void setControlMaximum(ControlRef control, long value) {
    SetControl32BitMaximum(control, SInt32(value));
}
void setControlMaximum(WindowRef wind, OSType signature, SInt32 id, long value) {
    setControlMaximum(getControlByID(wind, signature, id), value);
}

OSStatus getControlText(ControlRef control, unsigned char* text, short* height) {
    OSStatus err = noErr;
    if (text) {
        Size actual = 0;
        err = GetControlData(control, kControlEntireControl, kControlStaticTextTextTag, 255,
                             text + 1, &actual);
        text[0] = err == noErr ? UInt8(actual > 255 ? 255 : actual) : 0;
    }
    if (height)
        err = GetControlData(control, kControlEntireControl, kControlStaticTextTextHeightTag,
                             sizeof(SInt16), height, nullptr);
    return err;
}
OSStatus getControlText(WindowRef wind, OSType signature, SInt32 id, unsigned char* text,
                        short* height) {
    return getControlText(getControlByID(wind, signature, id), text, height);
}

CFStringRef getControlText(ControlRef control, short* height) {
    CFStringRef text = nullptr;
    if (GetControlData(control, kControlEntireControl, kControlStaticTextCFStringTag, sizeof text,
                       &text, nullptr) != noErr)
        return nullptr;
    if (height && GetControlData(control, kControlEntireControl, kControlStaticTextTextHeightTag,
                                 sizeof(SInt16), height, nullptr) != noErr) {
        CFRelease(text);
        return nullptr;
    }
    return text;
}
CFStringRef getControlText(WindowRef wind, OSType signature, SInt32 id, short* height) {
    return getControlText(getControlByID(wind, signature, id), height);
}

OSStatus setControlText(ControlRef control, CFStringRef text, short* height) {
    ControlKind kind{0, 0};
    GetControlKind(control, &kind);
    OSStatus err = noErr;
    switch (kind.kind) {
    case kControlKindPushButton:
    case kControlKindCheckBox:
    case kControlKindPushIconButton:
    case kControlKindRadioButton:
        err = SetControlTitleWithCFString(control, text);
        if (err == noErr && height) {
            Rect best;
            err = GetBestControlRect(control, &best, nullptr);
            if (err == noErr) *height = short(best.right - best.left);
        }
        break;
    case kControlKindStaticText:
        err = SetControlData(control, kControlEntireControl, kControlStaticTextCFStringTag,
                             sizeof text, &text);
        if (err == noErr && height)
            err = GetControlData(control, kControlEntireControl, kControlStaticTextTextHeightTag,
                                 sizeof(SInt16), height, nullptr);
        break;
    default:
        break;
    }
    DrawControls(GetControlOwner(control));
    return err;
}
OSStatus setControlText(WindowRef wind, OSType signature, SInt32 id, CFStringRef text,
                        short* height) {
    return setControlText(getControlByID(wind, signature, id), text, height);
}
OSStatus setControlText(ControlRef control, const unsigned char* text, short* height) {
    CFStringRef s =
        CFStringCreateWithPascalString(kCFAllocatorDefault, text, kCFStringEncodingMacRoman);
    OSStatus err = setControlText(control, s, height);
    if (s) CFRelease(s);
    return err;
}
OSStatus setControlText(WindowRef wind, OSType signature, SInt32 id, const unsigned char* text,
                        short* height) {
    return setControlText(getControlByID(wind, signature, id), text, height);
}

namespace {

OSStatus installOn(WindowRef wind, OSType signature, SInt32 id, EventHandlerProcPtr theHandler,
                   const EventTypeSpec* kinds, UInt32 count) {
    ControlID cid{signature, id};
    ControlRef control = nullptr;
    OSStatus err = GetControlByID(wind, &cid, &control);
    if (err != noErr) return err;
    return InstallEventHandler(GetControlEventTarget(control), NewEventHandlerUPP(theHandler),
                               count, kinds, control, nullptr);
}

} // namespace

OSStatus installControlHandler(WindowRef wind, OSType signature, SInt32 id,
                               EventHandlerProcPtr theHandler) {
    static const EventTypeSpec kinds[] = {{kEventClassControl, kEventControlHit},
                                          {kEventClassKeyboard, kEventRawKeyUp}};
    return installOn(wind, signature, id, theHandler, kinds, 2);
}

OSStatus installControlHandlerU(WindowRef wind, OSType signature, SInt32 id,
                                EventHandlerProcPtr theHandler) {
    static const EventTypeSpec kinds[] = {{kEventClassCommand, kEventCommandProcess},
                                          {kEventClassControl, kEventControlDraw},
                                          {kEventClassControl, kEventControlHit},
                                          {kEventClassControl, kEventControlActivate},
                                          {kEventClassControl, kEventControlDeactivate}};
    return installOn(wind, signature, id, theHandler, kinds, 5);
}

OSStatus callControlHandler(WindowRef wind, OSType signature, SInt32 id,
                            EventHandlerProcPtr theHandler) {
    ControlID cid{signature, id};
    ControlRef control = nullptr;
    OSStatus err = GetControlByID(wind, &cid, &control);
    if (err != noErr) return err;
    theHandler(nullptr, nullptr, control); // its result is not the caller's concern
    return noErr;
}

void* getWindowPropertyPtr(WindowRef wind, OSType creator, OSType tag) {
    // The slot holds a record pointer, a procedure or a number; on this platform it is as wide
    // as a pointer, so every value is stored and read as one.
    void* value = nullptr;
    if (GetWindowProperty(wind, creator, tag, sizeof value, nullptr, &value) != noErr)
        return nullptr;
    return value;
}

OSStatus installWindowHandler(WindowRef wind, EventHandlerProcPtr theHandler) {
    static const EventTypeSpec kinds[] = {{kEventClassCommand, kEventCommandProcess},
                                          {kEventClassCommand, kEventCommandUpdateStatus},
                                          {kEventClassWindow, kEventWindowUpdate},
                                          {kEventClassWindow, kEventWindowActivated},
                                          {kEventClassWindow, kEventWindowDeactivated},
                                          {kEventClassWindow, kEventWindowDrawContent},
                                          {kEventClassWindow, kEventWindowBoundsChanged},
                                          {kEventClassWindow, kEventWindowCursorChange},
                                          {kEventClassKeyboard, kEventRawKeyDown},
                                          {kEventClassKeyboard, kEventRawKeyUp},
                                          {kEventClassMenu, kEventMenuBeginTracking},
                                          {kEventClassWindow, kEventWindowClose}};
    return InstallEventHandler(GetWindowEventTarget(wind), NewEventHandlerUPP(theHandler), 12,
                               kinds, wind, nullptr);
}

MenuID getMenuIDbyMenu(MenuRef menu, short from, short to) {
    if (from > to) return 0;
    for (int id = from; id <= to; ++id)
        if (GetMenuHandle(MenuID(id)) == menu) return MenuID(id);
    return 0;
}

SInt32 getItemID(DialogPtr dlog, short item, OSType* signature, SInt32* id) {
    ControlRef control = nullptr;
    ControlID cid{0, 0};
    if (GetDialogItemAsControl(dlog, item, &control) == noErr) GetControlID(control, &cid);
    if (signature) *signature = cid.signature;
    if (id) *id = cid.id;
    return cid.id;
}
SInt32 getItemID(WindowRef wind, short item, OSType* signature, SInt32* id) {
    return getItemID(GetDialogFromWindow(wind), item, signature, id);
}

void drawIconSuite(ControlRef control, short item) {
    Handle family = GetResource(fourCC("icns"), item);
    if (!family) return;
    IconSuiteRef suite = nullptr;
    if (IconFamilyToIconSuite(family, kSelectorAllAvailableData, &suite) != noErr) return;
    Rect bounds;
    GetControlBounds(control, &bounds);
    SetPortWindowPort(GetControlOwner(control));
    PlotIconSuite(&bounds, kAlignNone, kTransformNone, suite);
    DisposeIconSuite(suite, false);
}

void setItemCheck(MenuRef theMenu, MenuItemIndex item, Boolean checked, Boolean only) {
    if (only) {
        Boolean off = false;
        for (MenuItemIndex i = CountMenuItems(theMenu); i >= 1; --i) {
            CheckMenuItem(theMenu, i, false);
            SetMenuItemProperty(theMenu, i, kCheckCreator, kCheckTag, sizeof off, &off);
        }
    }
    Boolean on = checked ? 1 : 0;
    CheckMenuItem(theMenu, item, on);
    SetMenuItemProperty(theMenu, item, kCheckCreator, kCheckTag, sizeof on, &on);
}

void setItemCheck(MenuCommand inCommandID, Boolean checked, Boolean only) {
    MenuRef menu = nullptr;
    MenuItemIndex item = 0;
    if (GetIndMenuItemWithCommandID(nullptr, inCommandID, 1, &menu, &item) == noErr)
        setItemCheck(menu, item, checked, only);
}

Boolean getItemCheck(MenuRef theMenu, MenuItemIndex item) {
    Boolean checked = false;
    if (GetMenuItemProperty(theMenu, item, kCheckCreator, kCheckTag, sizeof checked, nullptr,
                            &checked) != noErr)
        return false;
    return checked;
}

Boolean getItemCheck(MenuCommand inCommandID) {
    MenuRef menu = nullptr;
    MenuItemIndex item = 0;
    if (GetIndMenuItemWithCommandID(nullptr, inCommandID, 1, &menu, &item) != noErr) return false;
    return getItemCheck(menu, item);
}
