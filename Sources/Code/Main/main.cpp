// The entry point of the updater: the menu bar, the application's handlers, the update
// prompt and the application event loop.
#include "PlatformApp.h"
#include "PlatformAppleEvents.h"
#include "PlatformCarbonEvents.h"
#include "_printf.h"
#include "document.h"

namespace {

IBNibRef gNibRef = nullptr;

const EventTypeSpec kAppEvents[] = {
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassMenu, kEventMenuBeginTracking},
};

OSStatus MenuEventHandler(EventHandlerCallRef, EventRef inEvent, void*) {
    UInt32 eventClass = GetEventClass(inEvent);
    UInt32 eventKind = GetEventKind(inEvent);
    if (eventClass == kEventClassCommand && eventKind == kEventCommandProcess) {
        HICommand command{};
        GetEventParameter(inEvent, kEventParamDirectObject, typeHICommand, nullptr,
                          sizeof command, nullptr, &command);
        // Preferences (kHICommandPreferences) is recognised and, like every command, left
        // to the toolkit's own handling, so Quit quits.
        (void)command;
    } else if (eventClass == kEventClassMenu && eventKind == kEventMenuBeginTracking) {
    }
    return eventNotHandledErr;
}

OSStatus AppEventHandler(EventHandlerCallRef inCaller, EventRef inEvent, void* inRefcon) {
    UInt32 eventClass = GetEventClass(inEvent);
    UInt32 eventKind = GetEventKind(inEvent);
    if (eventClass == kEventClassCommand && eventKind == kEventCommandProcess) {
        HICommand command{};
        GetEventParameter(inEvent, kEventParamDirectObject, typeHICommand, nullptr,
                          sizeof command, nullptr, &command);
        return MenuEventHandler(inCaller, inEvent, inRefcon);
    }
    if (eventClass == kEventClassMenu)
        return MenuEventHandler(inCaller, inEvent, inRefcon);
    return eventNotHandledErr;
}

// Every document the application is asked to open brings one more update prompt.
OSErr myOpenDoc(const AppleEvent* event, AppleEvent*, SRefCon) {
    AEDescList docList{};
    OSErr err = AEGetParamDesc(event, fourCC("----"), fourCC("list"), &docList);
    if (err != noErr)
        return err;
    long count = 0;
    err = AECountItems(&docList, &count);
    if (err == noErr) {
        for (long index = 1; index <= count && err == noErr; ++index) {
            unsigned char spec[70];
            AEKeyword keyword = 0;
            DescType type = 0;
            Size size = 0;
            err = AEGetNthPtr(&docList, index, fourCC("fss "), &keyword, &type, spec,
                              sizeof spec, &size);
            if (err == noErr)
                doUpload(0);
        }
    }
    return AEDisposeDesc(&docList);
}

void installHighLevelEvents() {
    AEInstallEventHandler(fourCC("aevt"), fourCC("odoc"), NewAEEventHandlerUPP(myOpenDoc), 0,
                          true);
}

}  // namespace

int main(int argc, char** argv) {
    // The toolkit takes the process's arguments; the application itself uses none of them.
    OSStatus err = platformInitApplication(&argc, argv);
    if (err != noErr)
        return err;
    openConsole(0x1E, "Appl:");
    err = CreateNibReference(CFSTR("main"), &gNibRef);
    if (err != noErr)
        return err;
    err = SetMenuBarFromNib(gNibRef, CFSTR("MenuBar"));
    if (err != noErr)
        return err;
    InstallEventHandler(GetApplicationEventTarget(), NewEventHandlerUPP(AppEventHandler),
                        sizeof kAppEvents / sizeof kAppEvents[0], kAppEvents, nullptr, nullptr);
    installHighLevelEvents();
    doUpload(0);
    RunApplicationEventLoop();
    return 0;
}
