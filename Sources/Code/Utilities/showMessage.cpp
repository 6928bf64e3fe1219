// The message window and the progress window.
#include "showMessage.h"

#include "PlatformApp.h"
#include "PlatformCarbonEvents.h"
#include "PlatformControls.h"
#include "PlatformWindows.h"
#include "miscSupport.h"
#include "windSupport.h"

#include <cstdint>

namespace {

constexpr OSType kMsgSig = fourCC("ShMs");
constexpr OSType kProgSig = fourCC("PrMs");
constexpr OSType kProcTag = fourCC("Proc");
constexpr OSType kReplyTag = fourCC("Rply");
constexpr OSType kParmTag = fourCC("Parm");

constexpr int kMaxSplitUnits = 2000;
constexpr int kPartSlots = 16;

IBNibRef gMessageNib = nullptr; // opened on the first message, kept for the process
IBNibRef gProgressNib = nullptr;
ProgParms progParms = {};

void release(CFStringRef s) {
    if (s) CFRelease(s);
}

// Window slots hold pointers, procedures and numbers alike, each stored as a pointer.
void setSlot(WindowRef w, OSType creator, OSType tag, void* value) {
    SetWindowProperty(w, creator, tag, sizeof value, &value);
}

EventHandlerProcPtr storedProc(WindowRef w, OSType creator) {
    EventHandlerProcPtr proc = nullptr;
    if (GetWindowProperty(w, creator, kProcTag, sizeof proc, nullptr, &proc) != noErr)
        return nullptr;
    return proc;
}

void storeReply(ControlRef control) {
    OSType signature = 0;
    SInt32 id = 0;
    getIDByControl(control, &signature, &id);
    setSlot(GetControlOwner(control), signature, kReplyTag, reinterpret_cast<void*>(intptr_t(id)));
}

long splitAndShow(WindowRef parent, long type, CFStringRef text) {
    CFStringRef parts[kPartSlots] = {};
    getCFStringParts(text, parts);
    release(text);
    for (int i = 5; i < kPartSlots; ++i)
        release(parts[i]); // parts after the fifth are ignored
    return _showMessage(parent, type, parts[0], parts[1], &parts[2]);
}

WindowRef procAsParent(EventHandlerProcPtr procPtr) {
    // The modeless forms pass the procedure in the parent's place; 0x200 tells them apart.
    return reinterpret_cast<WindowRef>(reinterpret_cast<void*>(procPtr));
}

} // namespace

// ---------------------------------------------------------------------------------------
// The five forms

long showMessageList(WindowRef wind, long type, CFStringRef fmt, PrtfArgList adx) {
    if (wind) SelectWindow(wind);
    return splitAndShow(wind, type, _prtfu(fmt, adx));
}

long showMessageList(WindowRef wind, long type, const char* fmt, PrtfArgList adx) {
    if (wind) SelectWindow(wind);
    CFStringRef f = prtfFormat(fmt);
    CFStringRef text = _prtfu(f, adx);
    CFRelease(f);
    return splitAndShow(wind, type, text);
}

long showMessageList(long type, const char* fmt, PrtfArgList adx) {
    CFStringRef f = prtfFormat(fmt);
    CFStringRef text = _prtfu(f, adx);
    CFRelease(f);
    return splitAndShow(FrontWindow(), type, text);
}

long showMessageList(EventHandlerProcPtr procPtr, long type, CFStringRef fmt, PrtfArgList adx) {
    return splitAndShow(procAsParent(procPtr), type | 0x200, _prtfu(fmt, adx));
}

long showMessageList(EventHandlerProcPtr procPtr, long type, const char* fmt, PrtfArgList adx) {
    CFStringRef f = prtfFormat(fmt);
    CFStringRef text = _prtfu(f, adx);
    CFRelease(f);
    return splitAndShow(procAsParent(procPtr), type | 0x200, text);
}

// ---------------------------------------------------------------------------------------
// Splitting

short getCFStringParts(const CFStringRef ref, CFStringRef* cfParts) {
    UniChar work[kMaxSplitUnits + 1];
    CFIndex n = CFStringGetLength(ref);
    if (n > kMaxSplitUnits) n = kMaxSplitUnits;
    CFStringGetCharacters(ref, CFRangeMake(0, n), work);
    work[n] = 0;
    return getCStringParts(work, cfParts);
}

short getCStringParts(unsigned short* umsg, CFStringRef* cfParts) {
    int slot = 0;
    int separators = 0;
    int start = 0;
    int i = 0;
    for (; umsg[i] != 0; ++i) {
        if (umsg[i] != '^' && umsg[i] != '\\') continue;
        if (i > start && slot < kPartSlots)
            cfParts[slot] =
                CFStringCreateWithCharacters(kCFAllocatorDefault, umsg + start, i - start);
        ++slot;
        ++separators;
        start = i + 1;
    }
    if (i > start && slot < kPartSlots)
        cfParts[slot] = CFStringCreateWithCharacters(kCFAllocatorDefault, umsg + start, i - start);
    return short(separators + 1);
}

// ---------------------------------------------------------------------------------------
// The message window

long _showMessage(WindowRef parWind, long type, CFStringRef inMessage, CFStringRef inHint,
                  CFStringRef* buttons) {
    EventHandlerProcPtr proc = nullptr;
    if (type & 0x200) {
        proc = reinterpret_cast<EventHandlerProcPtr>(reinterpret_cast<void*>(parWind));
        parWind = nullptr;
    }
    auto releaseAll = [&] {
        release(inMessage);
        release(inHint);
        for (int i = 0; i < 3; ++i)
            release(buttons[i]);
    };

    WindowRef wind = nullptr;
    if (!gMessageNib && CreateNibReference(CFSTR("showMessage"), &gMessageNib) != noErr) {
        gMessageNib = nullptr; // tried again on the next message
        releaseAll();
        return 0;
    }
    if (CreateWindowFromNib(gMessageNib, CFSTR(parWind ? "ShowMessageS" : "ShowMessage"), &wind) !=
        noErr) {
        releaseAll();
        return 0;
    }

    if (type & 0x100) {
        SetWindowDefaultButton(wind, getControlByID(wind, kMsgSig, 2));
        SetWindowCancelButton(wind, getControlByID(wind, kMsgSig, 1));
    }
    for (SInt32 id = 1; id <= 3; ++id)
        installControlHandler(wind, kMsgSig, id, messageButtonHandler);
    installControlHandler(wind, kMsgSig, 4, messageIconHandler);
    if (proc) SetWindowProperty(wind, kMsgSig, kProcTag, sizeof proc, &proc);

    CFStringRef title = CFBundleCopyLocalizedString(CFBundleGetMainBundle(), CFSTR("msgTitle"),
                                                    CFSTR("msgTitle"), nullptr);
    SetWindowTitleWithCFString(wind, title);
    release(title);

    Rect r;
    getControlBounds(wind, kMsgSig, 11, &r);
    short height = short(r.bottom - r.top);
    short vposn = 0;

    if (!(type & 0x10)) {
        showControl(wind, kMsgSig, 4, false);
    } else {
        Rect icon;
        getControlBounds(wind, kMsgSig, 4, &icon);
        vposn = short(icon.bottom + 10);
        r.top = r.bottom = vposn;
        setControlBounds(wind, kMsgSig, 11, &r);
    }

    if (inMessage) {
        ControlRef msg = getControlByID(wind, kMsgSig, 11);
        if (setControlText(msg, inMessage, &height) != noErr) {
            getControlBounds(msg, &r);
            drawCFstring(inMessage, &r, kThemeSystemFont, teFlushDefault, false, &height);
            showControl(msg, false);
        }
        getControlBounds(msg, &r);
        r.bottom = short(r.top + height + 4);
        setControlBounds(msg, &r);
        vposn = short(r.bottom + 16);
        Rect h;
        getControlBounds(wind, kMsgSig, 12, &h);
        h.top = h.bottom = vposn;
        setControlBounds(wind, kMsgSig, 12, &h);
    }

    if (inHint) {
        ControlRef hint = getControlByID(wind, kMsgSig, 12);
        Rect h;
        getControlBounds(hint, &h);
        if (setControlText(hint, inHint, &height) != noErr) {
            drawCFstring(inHint, &h, kThemeSmallSystemFont, teFlushDefault, false, &height);
            showControl(hint, false);
        }
        h.bottom = short(h.top + height + 4);
        setControlBounds(hint, &h);
        vposn = short(h.bottom + 32);
    }

    short hposn = 1000;
    for (SInt32 id = 1; id <= 3; ++id) {
        ControlRef button = getControlByID(wind, kMsgSig, id);
        if (id > (type & 3)) showControl(button, false);
        Rect b;
        getControlBounds(button, &b);
        if (vposn - b.top > 0) OffsetRect(&b, 0, short(vposn - b.top));
        if (b.right - hposn > 0) OffsetRect(&b, short(hposn - b.right), 0);
        if (buttons[id - 1]) {
            short need = 0;
            setControlText(button, buttons[id - 1], &need);
            if (need > b.right - b.left) b.left = short(b.right - need);
            hposn = short(b.left - 12);
        }
        setControlBounds(button, &b);
    }

    Rect frame, last;
    GetWindowBounds(wind, kWindowStructureRgn, &frame);
    getControlBounds(wind, kMsgSig, 3, &last);
    SizeWindow(wind, short(frame.right - frame.left), short(last.bottom + 16), false);

    bool hidParent = false;
    WindowRef grandParent = nullptr;
    if (!parWind) {
        ShowWindow(wind);
    } else if (ShowSheetWindow(wind, parWind) != noErr) {
        // The parent is a sheet itself: put the message on the parent's parent instead.
        if (GetSheetWindowParent(parWind, &grandParent) == noErr && grandParent) {
            HideSheetWindow(parWind);
            hidParent = true;
            if (ShowSheetWindow(wind, grandParent) != noErr) ShowWindow(wind);
        } else {
            ShowWindow(wind);
        }
    }

    release(inMessage);
    release(inHint);
    for (int i = 0; i < 3; ++i)
        release(buttons[i]);

    if (type & 0x200) return reinterpret_cast<long>(wind);

    RunAppModalLoopForWindow(wind);
    long reply = long(reinterpret_cast<intptr_t>(getWindowPropertyPtr(wind, kMsgSig, kReplyTag)));
    if (parWind)
        HideSheetWindow(wind);
    else
        HideWindow(wind);
    DisposeWindow(wind);
    if (hidParent) ShowSheetWindow(parWind, grandParent);
    return reply;
}

OSStatus messageButtonHandler(EventHandlerCallRef inCallRef, EventRef inEvent, void* inUserData) {
    if (!inEvent || GetEventClass(inEvent) != kEventClassControl ||
        GetEventKind(inEvent) != kEventControlHit)
        return noErr;
    auto control = static_cast<ControlRef>(inUserData);
    storeReply(control);
    WindowRef w = GetControlOwner(control);
    if (EventHandlerProcPtr proc = storedProc(w, kMsgSig))
        return proc(inCallRef, inEvent, inUserData);
    QuitAppModalLoopForWindow(w);
    return noErr;
}

OSStatus messageIconHandler(EventHandlerCallRef inCallRef, EventRef inEvent, void* inUserData) {
    if (!inEvent) return eventNotHandledErr;
    WindowRef w = GetControlOwner(static_cast<ControlRef>(inUserData));
    if (EventHandlerProcPtr proc = storedProc(w, kMsgSig))
        return proc(inCallRef, inEvent, inUserData);
    QuitAppModalLoopForWindow(w);
    return eventNotHandledErr;
}

short drawCFstring(CFStringRef ref, Rect* rect, short font, short just, Boolean erase,
                   short* height) {
    if (!ref || !rect) return paramErr;
    if (height) {
        Point bounds;
        bounds.h = short(rect->right - rect->left);
        bounds.v = short(rect->bottom - rect->top);
        OSStatus err = GetThemeTextDimensions(ref, ThemeFontID(font), kThemeStateActive, true,
                                              &bounds, nullptr);
        *height = bounds.v;
        return short(err);
    }
    if (erase) EraseRect(rect);
    OSStatus err =
        DrawThemeTextBox(ref, ThemeFontID(font), kThemeStateActive, true, rect, just, nullptr);
    ForeColor(blackColor);
    return short(err);
}

// ---------------------------------------------------------------------------------------
// The progress window

namespace {

long replyOf(const ProgParms* p) {
    return long(reinterpret_cast<intptr_t>(getWindowPropertyPtr(p->wind, kProgSig, kReplyTag)));
}

void clearReply(const ProgParms* p) {
    setSlot(p->wind, kProgSig, kReplyTag, nullptr);
}

// Events may close the window (the session's watchdog does): look the record up again.
ProgParms* pump(WindowRef parWind) {
    runEventLoop();
    ProgParms* p = progParmsFor(parWind);
    return p && p->wind ? p : nullptr;
}

void setFormat(ProgParms* p, CFStringRef cmd) {
    if (cmd) CFRetain(cmd);
    release(p->cmd);
    p->cmd = cmd;
}

} // namespace

ProgParms* progParmsFor(WindowRef parWind) {
    if (!parWind) return &progParms;
    return static_cast<ProgParms*>(getWindowPropertyPtr(parWind, kProgSig, kParmTag));
}

WindowRef progMessage(WindowRef parWind, long type, CFStringRef inMessage, CFStringRef inHint,
                      CFStringRef*) {
    if (!gProgressNib && CreateNibReference(CFSTR("showMessage"), &gProgressNib) != noErr) {
        gProgressNib = nullptr;
        return nullptr;
    }
    WindowRef wind = nullptr;
    if (CreateWindowFromNib(gProgressNib, CFSTR(parWind ? "ProgMessageS" : "ProgMessage"), &wind) !=
        noErr)
        return nullptr;

    // One progress window per parent: an earlier one would otherwise stay on screen for good.
    if (ProgParms* old = progParmsFor(parWind); old && old->wind) progClose(parWind);

    ProgParms* p = &progParms;
    if (parWind) {
        p = new ProgParms{};
        setSlot(parWind, kProgSig, kParmTag, p);
    }
    p->wind = wind;
    p->type = SInt32(type);
    p->minVal = 0;
    p->curVal = 0;
    p->maxVal = 100;
    p->minTime = UInt32(getTicks());
    p->curTime = 0;
    p->maxTime = 0;
    setFormat(p, nullptr);

    if (type & 0x100) {
        SetWindowDefaultButton(wind, getControlByID(wind, kProgSig, 2));
        SetWindowCancelButton(wind, getControlByID(wind, kProgSig, 1));
    }
    installControlHandler(wind, kProgSig, 1, messageButtonHandler);
    installControlHandler(wind, kProgSig, 2, messageButtonHandler);
    if (inMessage) setControlText(wind, kProgSig, 11, inMessage, nullptr);
    if (inHint) setControlText(wind, kProgSig, 12, inHint, nullptr);
    for (SInt32 id = 1; id <= 2; ++id)
        if (id > (type & 3)) showControl(wind, kProgSig, id, false);

    if (parWind)
        ShowSheetWindow(wind, parWind); // a parent that refuses keeps it hidden
    else
        ShowWindow(wind);
    return wind;
}

void progClose(WindowRef parWind) {
    if (parWind) {
        ProgParms* p = progParmsFor(parWind);
        if (!p) return;
        RemoveWindowProperty(parWind, kProgSig, kParmTag);
        HideSheetWindow(p->wind);
        DisposeWindow(p->wind);
        release(p->cmd);
        delete p;
        return;
    }
    if (progParms.wind) {
        DisposeWindow(progParms.wind);
        progParms.wind = nullptr;
    }
}

long progSetMsgHint(WindowRef parWind, long type, CFStringRef inMessage, CFStringRef inHint) {
    ProgParms* p = progParmsFor(parWind);
    if (!p || !p->wind) return 0;
    if (type) p->type = SInt32(type);
    if (inMessage) setControlText(p->wind, kProgSig, 11, inMessage, nullptr);
    if (inHint) setControlText(p->wind, kProgSig, 12, inHint, nullptr);
    long reply = replyOf(p); // before the events: a press shows at the next call
    pump(parWind);
    return reply;
}

long progSetNotes(WindowRef parWind, long type, CFStringRef leftNote, CFStringRef middleNote,
                  CFStringRef rightNote) {
    ProgParms* p = progParmsFor(parWind);
    if (!p || !p->wind) return 0;
    if (type) p->type = SInt32(type);
    setFormat(p, middleNote);
    if (leftNote) setControlText(p->wind, kProgSig, 4, leftNote, nullptr);
    if (rightNote) setControlText(p->wind, kProgSig, 6, rightNote, nullptr);
    if ((p->type & 0x300) == 0 && middleNote)
        setControlText(p->wind, kProgSig, 5, middleNote, nullptr);
    p = pump(parWind);
    return p ? replyOf(p) : 0;
}

long progSetMinimum(WindowRef parWind, unsigned long value, unsigned long valtime) {
    ProgParms* p = progParmsFor(parWind);
    if (!p) return 0;
    p->minVal = SInt32(UInt32(value));
    p->minTime = UInt32(valtime) + UInt32(getTicks());
    if (p->wind) {
        if ((p = pump(parWind))) clearReply(p);
    }
    runEventLoop();
    return 0;
}

long progSetValue(WindowRef parWind, unsigned long value, unsigned long valtime) {
    ProgParms* p = progParmsFor(parWind);
    if (!p) return 0;
    if (value) {
        SInt32 v = SInt32(UInt32(value) - UInt32(p->minVal));
        p->curVal = v < 0 ? 0 : v;
    }
    UInt32 vt = UInt32(valtime);
    p->curTime = vt >= p->minTime ? vt - p->minTime : 0;
    if (!p->wind) {
        runEventLoop();
        return 0;
    }
    if (value || valtime) {
        setControlValue(p->wind, kProgSig, 3, long(SInt32(UInt32(p->curVal) + p->curTime)));
        updateNote(p);
    }
    p = pump(parWind);
    long reply = p ? replyOf(p) : 0;
    p = pump(parWind);
    return p ? reply : 0;
}

long progSetMaximum(WindowRef parWind, unsigned long value, unsigned long valtime) {
    ProgParms* p = progParmsFor(parWind);
    if (!p) return 0;
    p->maxTime = UInt32(valtime);
    p->maxVal = SInt32(UInt32(value) - UInt32(p->minVal));
    if (!p->wind) return 0;
    if (value || valtime) {
        setControlMaximum(p->wind, kProgSig, 3, long(SInt32(UInt32(p->maxVal) + p->maxTime)));
        if (p->curVal > p->maxVal) p->curVal = p->maxVal;
        if (p->curTime > p->maxTime) p->curTime = p->maxTime;
    }
    if ((p = pump(parWind))) clearReply(p);
    return 0;
}

void updateNote(ProgParms* parms) {
    unsigned char note[256] = {0}; // a Pascal string of up to 255 bytes: nothing can overrun it
    switch (parms->type & 0x300) {
    case 0x100: {
        UInt32 done = UInt32(parms->curVal) + parms->curTime;
        UInt32 total = UInt32(parms->maxVal) + parms->maxTime;
        // No maximum yet means nothing done yet, never a division by zero.
        UInt32 percent = total == 0 ? 0 : (done * 200u / total + 1) / 2;
        if (percent > 100) percent = 100;
        _pprintf(note, "%D%%", SInt32(percent));
        break;
    }
    case 0x200:
        _pprintf(note, "%,D", SInt32(UInt32(parms->curVal) + parms->curTime));
        break;
    case 0x300: {
        UInt32 s = parms->curTime / 60;
        if (s > 3599)
            _pprintf(note, "%D:%02D:%02D", SInt32(s / 3600), SInt32((s / 60) % 60), SInt32(s % 60));
        else
            _pprintf(note, "%D:%02D", SInt32(s / 60), SInt32(s % 60));
        break;
    }
    default:
        return;
    }
    if (note[0] == 0) return;
    CFStringRef text = _cfprintf(parms->cmd ? parms->cmd : CFSTR("%p"), note);
    setControlText(parms->wind, kProgSig, 5, text, nullptr);
    CFRelease(text);
}

OSStatus progButtonHandler(EventHandlerCallRef inCallRef, EventRef inEvent, void* inUserData) {
    if (!inEvent) return noErr;
    auto control = static_cast<ControlRef>(inUserData);
    storeReply(control);
    if (EventHandlerProcPtr proc = storedProc(GetControlOwner(control), kProgSig))
        return proc(inCallRef, inEvent, inUserData);
    return noErr;
}
