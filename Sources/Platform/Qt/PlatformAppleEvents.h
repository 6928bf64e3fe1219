// High-level events: the open-documents request. Every file named on the command line (as
// a desktop launcher passes them) reaches the application as one item of a single
// open-documents event, delivered to the installed handler once the application's event
// loop runs. The descriptors are small value records read with the calls below.
#pragma once

#include "PlatformTypes.h"

using DescType = OSType;
using AEKeyword = OSType;
using AEEventClass = OSType;
using AEEventID = OSType;
using Size = long;
using SRefCon = long;

struct AEDescData;
struct AEDesc {
    DescType descriptorType;
    AEDescData* dataHandle;
};
using AEDescList = AEDesc;
using AppleEvent = AEDesc;

using AEEventHandlerProcPtr = OSErr (*)(const AppleEvent* event, AppleEvent* reply,
                                        SRefCon handlerRefcon);
using AEEventHandlerUPP = AEEventHandlerProcPtr;

constexpr OSErr errAEDescNotFound = -1701;
constexpr OSErr errAECoercionFail = -1700;
constexpr OSErr errAEIllegalIndex = -1719;
constexpr OSErr errAEWrongDataType = -1703;

AEEventHandlerUPP NewAEEventHandlerUPP(AEEventHandlerProcPtr proc);

// Installs `handler` for (eventClass, eventID). For ('aevt', 'odoc') the files named on the
// command line are delivered once the event loop runs (nothing when there are none).
// Returns paramErr for a null handler.
OSErr AEInstallEventHandler(AEEventClass eventClass, AEEventID eventID, AEEventHandlerUPP handler,
                            SRefCon handlerRefcon, Boolean isSysHandler);

// Copies the parameter `keyword` of the event into `result` (the caller disposes of it).
// Returns errAEDescNotFound when the event has none, errAECoercionFail when it is not of
// `desiredType` ('****' takes any).
OSErr AEGetParamDesc(const AppleEvent* event, AEKeyword keyword, DescType desiredType,
                     AEDescList* result);

// Number of items of a list descriptor; errAEWrongDataType for another kind.
OSErr AECountItems(const AEDescList* list, long* count);

// Item `index` (from 1) of a list, as `desiredType`: an FSSpec ('fss ') or its
// path as text ('utf8'). Copies at most maximumSize bytes to dataPtr. Returns
// errAEIllegalIndex for an index outside the list, errAECoercionFail for another type.
OSErr AEGetNthPtr(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                  DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize);

// Releases the descriptor's data and empties it ('null'); noErr also for an empty one.
OSErr AEDisposeDesc(AEDesc* desc);

// Tests: delivers an open-documents event with these paths to the installed handler, now.
// Returns the handler's result, or errAEDescNotFound when none is installed.
OSErr sendOpenDocumentsForTesting(const char* const* paths, int count);
