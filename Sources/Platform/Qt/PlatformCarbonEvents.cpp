// Event targets, handler chains and event records over Qt objects.
#include "PlatformCarbonEvents.h"
#include "PlatformQtInternal.h"

#include <QObject>
#include <QWidget>

#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

struct OpaqueEventRef {
    UInt32 eventClass = 0;
    UInt32 eventKind = 0;
    int refs = 1;
    std::map<EventParamName, std::pair<EventParamType, std::vector<UInt8>>> params;
};

namespace {

struct HandlerRec {
    EventHandlerUPP proc = nullptr;
    std::vector<EventTypeSpec> types;
    void* userData = nullptr;
    bool removed = false;
    OpaqueEventTargetRef* target = nullptr;

    bool wants(UInt32 cls, UInt32 kind) const {
        for (const EventTypeSpec& t : types)
            if (t.eventClass == cls && t.eventKind == kind) return true;
        return false;
    }
};

} // namespace

struct OpaqueEventTargetRef {
    QObject* owner = nullptr; // null: the application
    std::vector<std::shared_ptr<HandlerRec>> handlers;
};

namespace {

OpaqueEventTargetRef gAppTarget;
std::unordered_map<QObject*, std::unique_ptr<OpaqueEventTargetRef>> gTargets;
std::unordered_map<HandlerRec*, std::shared_ptr<HandlerRec>> gLiveHandlers;

// A dispatch in progress; the call reference handed to handlers points at it.
struct CallState {
    EventRef event = nullptr;
    std::vector<std::shared_ptr<HandlerRec>> chain;
    std::size_t next = 0;
    bool defaultDone = false;
};

OpaqueEventTargetRef* existingTarget(QObject* owner) {
    auto it = gTargets.find(owner);
    return it == gTargets.end() ? nullptr : it->second.get();
}

void appendHandlers(std::vector<std::shared_ptr<HandlerRec>>& chain, OpaqueEventTargetRef* t,
                    UInt32 cls, UInt32 kind) {
    if (!t) return;
    for (auto it = t->handlers.rbegin(); it != t->handlers.rend(); ++it)
        if (!(*it)->removed && (*it)->wants(cls, kind)) chain.push_back(*it);
}

// Control, then its window, then the application.
std::vector<std::shared_ptr<HandlerRec>> chainFrom(OpaqueEventTargetRef* start, UInt32 cls,
                                                   UInt32 kind) {
    std::vector<std::shared_ptr<HandlerRec>> chain;
    if (start && start->owner) {
        appendHandlers(chain, start, cls, kind);
        auto* w = qobject_cast<QWidget*>(start->owner);
        if (w && !w->isWindow()) {
            if (QWidget* win = qtb::ownerWindow(w))
                appendHandlers(chain, existingTarget(win), cls, kind);
        }
    }
    appendHandlers(chain, &gAppTarget, cls, kind);
    return chain;
}

OSStatus defaultHandling(EventRef event) {
    if (event->eventClass == kEventClassCommand && event->eventKind == kEventCommandProcess) {
        HICommand cmd{};
        if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof cmd,
                              nullptr, &cmd) == noErr)
            return qtb::defaultCommand(cmd.commandID);
        return eventNotHandledErr;
    }
    if (event->eventClass == kEventClassWindow && event->eventKind == kEventWindowClose) {
        WindowRef w = nullptr;
        if (GetEventParameter(event, kEventParamDirectObject, typeWindowRef, nullptr, sizeof w,
                              nullptr, &w) == noErr &&
            qtb::isToolboxWindow(qtb::widget(w)))
            return qtb::defaultWindowClose(qtb::widget(w));
    }
    return eventNotHandledErr;
}

OSStatus runFrom(CallState& st) {
    while (st.next < st.chain.size()) {
        std::shared_ptr<HandlerRec> h = st.chain[st.next++];
        if (h->removed) continue;
        OSStatus r = h->proc(reinterpret_cast<EventHandlerCallRef>(&st), st.event, h->userData);
        if (r != eventNotHandledErr) return r;
    }
    if (!st.defaultDone) {
        st.defaultDone = true;
        return defaultHandling(st.event);
    }
    return eventNotHandledErr;
}

OSStatus dispatch(EventRef event, OpaqueEventTargetRef* start) {
    CallState st;
    st.event = event;
    st.chain = chainFrom(start, event->eventClass, event->eventKind);
    return runFrom(st);
}

} // namespace

EventTargetRef GetApplicationEventTarget() {
    return &gAppTarget;
}

EventTargetRef qtb::targetFor(QObject* owner) {
    if (!owner) return nullptr;
    auto& slot = gTargets[owner];
    if (!slot) {
        slot = std::make_unique<OpaqueEventTargetRef>();
        slot->owner = owner;
        // A control or window deleted without DisposeWindow still takes its handlers along.
        QObject::connect(owner, &QObject::destroyed, [owner] { qtb::dropTargetsOf(owner); });
    }
    return slot.get();
}

void qtb::dropTargetsOf(QObject* owner) {
    auto it = gTargets.find(owner);
    if (it == gTargets.end()) return;
    for (auto& h : it->second->handlers) {
        h->removed = true;
        gLiveHandlers.erase(h.get());
    }
    gTargets.erase(it);
}

EventTargetRef GetWindowEventTarget(WindowRef window) {
    return window ? qtb::targetFor(qtb::widget(window)) : nullptr;
}

EventTargetRef GetControlEventTarget(ControlRef control) {
    return control ? qtb::targetFor(qtb::widget(control)) : nullptr;
}

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
    if (!target || !handler || (numTypes && !list)) return paramErr;
    auto rec = std::make_shared<HandlerRec>();
    rec->proc = handler;
    rec->types.assign(list, list + numTypes);
    rec->userData = userData;
    rec->target = target;
    target->handlers.push_back(rec);
    gLiveHandlers[rec.get()] = rec;
    if (outRef) *outRef = reinterpret_cast<EventHandlerRef>(rec.get());
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef ref) {
    auto it = gLiveHandlers.find(reinterpret_cast<HandlerRec*>(ref));
    if (it == gLiveHandlers.end()) return paramErr;
    std::shared_ptr<HandlerRec> rec = it->second;
    rec->removed = true;
    auto& hs = rec->target->handlers;
    for (auto h = hs.begin(); h != hs.end(); ++h)
        if (h->get() == rec.get()) {
            hs.erase(h);
            break;
        }
    gLiveHandlers.erase(it);
    return noErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef callRef, EventRef event) {
    if (!callRef) return paramErr;
    auto* st = reinterpret_cast<CallState*>(callRef);
    if (event) st->event = event;
    return runFrom(*st);
}

OSStatus CreateEvent(const void*, UInt32 eventClass, UInt32 eventKind, double, UInt32,
                     EventRef* outEvent) {
    if (!outEvent) return paramErr;
    auto* e = new OpaqueEventRef;
    e->eventClass = eventClass;
    e->eventKind = eventKind;
    *outEvent = e;
    return noErr;
}

void ReleaseEvent(EventRef event) {
    if (event && --event->refs == 0) delete event;
}

OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target) {
    if (!event || !target) return paramErr;
    return dispatch(event, target);
}

UInt32 GetEventClass(EventRef event) {
    return event ? event->eventClass : 0;
}

UInt32 GetEventKind(EventRef event) {
    return event ? event->eventKind : 0;
}

OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, ByteCount size,
                           const void* data) {
    if (!event || (size && !data)) return paramErr;
    auto& p = event->params[name];
    p.first = type;
    p.second.assign(static_cast<const UInt8*>(data), static_cast<const UInt8*>(data) + size);
    return noErr;
}

OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType* outActualType, ByteCount bufferSize,
                           ByteCount* outActualSize, void* outData) {
    if (!event) return paramErr;
    auto it = event->params.find(name);
    if (it == event->params.end()) return eventParameterNotFoundErr;
    if (desiredType != typeWildCard && desiredType != it->second.first)
        return eventParameterNotFoundErr;
    const auto& bytes = it->second.second;
    if (outActualType) *outActualType = it->second.first;
    if (outActualSize) *outActualSize = bytes.size();
    if (outData && bufferSize)
        std::memcpy(outData, bytes.data(), std::min<ByteCount>(bufferSize, bytes.size()));
    return noErr;
}

OSStatus ProcessHICommand(const HICommand* command) {
    if (!command) return paramErr;
    return qtb::sendCommandToApplication(command->commandID, qtb::menu(command->menu.menuRef),
                                         command->menu.menuItemIndex);
}

OSStatus qtb::sendCommandToApplication(MenuCommand command, QMenu* menu, MenuItemIndex index) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassCommand, kEventCommandProcess, 0, 0, &e);
    HICommand cmd{};
    cmd.attributes = menu ? 1 : 0; // kHICommandFromMenu
    cmd.commandID = command;
    cmd.menu.menuRef = qtb::menuRef(menu);
    cmd.menu.menuItemIndex = index;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof cmd, &cmd);
    OSStatus r = dispatch(e, &gAppTarget);
    ReleaseEvent(e);
    return r;
}

OSStatus qtb::sendMenuEventToApplication(QMenu* menu, UInt32 eventKind) {
    EventRef e = nullptr;
    CreateEvent(nullptr, kEventClassMenu, eventKind, 0, 0, &e);
    MenuRef m = qtb::menuRef(menu);
    SetEventParameter(e, kEventParamDirectObject, fourCC("menu"), sizeof m, &m);
    OSStatus r = dispatch(e, &gAppTarget);
    ReleaseEvent(e);
    return r;
}

OSStatus qtb::sendControlEvent(QWidget* control, UInt32 eventClass, UInt32 eventKind) {
    EventRef e = nullptr;
    CreateEvent(nullptr, eventClass, eventKind, 0, 0, &e);
    ControlRef c = qtb::controlRef(control);
    SetEventParameter(e, kEventParamDirectObject, typeControlRef, sizeof c, &c);
    OpaqueEventTargetRef* start = existingTarget(control);
    OSStatus r;
    if (start) {
        r = dispatch(e, start);
    } else {
        // No handler on the control itself: its window's target is the first in line.
        QWidget* win = qtb::ownerWindow(control);
        OpaqueEventTargetRef* wt = win ? existingTarget(win) : nullptr;
        r = dispatch(e, wt ? wt : &gAppTarget);
    }
    ReleaseEvent(e);
    return r;
}

OSStatus qtb::sendWindowEvent(QWidget* window, UInt32 eventClass, UInt32 eventKind) {
    EventRef e = nullptr;
    CreateEvent(nullptr, eventClass, eventKind, 0, 0, &e);
    WindowRef w = qtb::windowRef(window);
    SetEventParameter(e, kEventParamDirectObject, typeWindowRef, sizeof w, &w);
    OpaqueEventTargetRef* t = existingTarget(window);
    OSStatus r = dispatch(e, t ? t : &gAppTarget);
    ReleaseEvent(e);
    return r;
}
