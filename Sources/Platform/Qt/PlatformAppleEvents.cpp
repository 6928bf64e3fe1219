#include "PlatformAppleEvents.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct AEDescData {
    std::vector<std::string> items;  // paths of a list descriptor
};

namespace {

constexpr DescType kList = fourCC("list");
constexpr DescType kFSS = fourCC("fss ");
constexpr DescType kUTF8 = fourCC("utf8");
constexpr DescType kAny = fourCC("****");
constexpr DescType kNull = fourCC("null");
constexpr DescType kEvent = fourCC("aevt");
constexpr AEKeyword kDirect = fourCC("----");
constexpr OSType kCoreClass = fourCC("aevt");
constexpr OSType kOpenDocs = fourCC("odoc");

// The size an FSSpec has on the wire: volume, folder id and a 64-byte name.
constexpr Size kFSSpecWireSize = 70;

AEEventHandlerUPP gOpenDocs = nullptr;
SRefCon gOpenDocsRefcon = 0;
bool gDelivered = false;

std::vector<std::string> commandLineFiles() {
    std::vector<std::string> files;
    if (QCoreApplication::instance()) {
        QStringList args = QCoreApplication::arguments();
        for (qsizetype i = 1; i < args.size(); ++i)
            files.push_back(args[i].toStdString());
        return files;
    }
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t pos = all.find('\0');
    while (pos != std::string::npos && pos + 1 < all.size()) {
        std::size_t end = all.find('\0', pos + 1);
        files.push_back(all.substr(pos + 1, end - pos - 1));
        pos = end;
    }
    return files;
}

OSErr deliver(const std::vector<std::string>& files) {
    if (!gOpenDocs)
        return errAEDescNotFound;
    AEDescData data{files};
    AppleEvent event{kEvent, &data};
    AppleEvent reply{kNull, nullptr};
    return gOpenDocs(&event, &reply, gOpenDocsRefcon);
}

void deliverCommandLine() {
    if (gDelivered)
        return;
    gDelivered = true;
    std::vector<std::string> files = commandLineFiles();
    if (!files.empty())
        deliver(files);
}

// Queued, so the request arrives once the event loop dispatches, never inside start-up.
void scheduleDelivery() {
    QMetaObject::invokeMethod(QCoreApplication::instance(), [] { deliverCommandLine(); },
                              Qt::QueuedConnection);
}

void atApplicationStart() {
    if (gOpenDocs && !gDelivered)
        scheduleDelivery();
}
Q_COREAPP_STARTUP_FUNCTION(atApplicationStart)

void fillFSSpec(const std::string& path, void* dataPtr, Size maximumSize, Size* actualSize) {
    // The 70-byte wire form: volume 0, folder 0 and the file's own name (Pascal, at most 63
    // bytes). The path itself is available as 'utf8'.
    unsigned char wire[kFSSpecWireSize] = {};
    std::string name = QFileInfo(QString::fromStdString(path)).fileName().toLatin1().toStdString();
    std::size_t n = std::min<std::size_t>(name.size(), 63);
    wire[6] = static_cast<unsigned char>(n);
    std::memcpy(wire + 7, name.data(), n);
    Size copy = std::min(maximumSize, kFSSpecWireSize);
    if (dataPtr && copy > 0)
        std::memcpy(dataPtr, wire, std::size_t(copy));
    if (actualSize)
        *actualSize = kFSSpecWireSize;
}

}  // namespace

AEEventHandlerUPP NewAEEventHandlerUPP(AEEventHandlerProcPtr proc) { return proc; }

OSErr AEInstallEventHandler(AEEventClass eventClass, AEEventID eventID, AEEventHandlerUPP handler,
                            SRefCon handlerRefcon, Boolean) {
    if (!handler)
        return paramErr;
    if (eventClass == kCoreClass && eventID == kOpenDocs) {
        gOpenDocs = handler;
        gOpenDocsRefcon = handlerRefcon;
        if (QCoreApplication::instance() && !gDelivered)
            scheduleDelivery();
    }
    return noErr;
}

OSErr AEGetParamDesc(const AppleEvent* event, AEKeyword keyword, DescType desiredType,
                     AEDescList* result) {
    if (!event || !result)
        return paramErr;
    result->descriptorType = kNull;
    result->dataHandle = nullptr;
    if (keyword != kDirect || !event->dataHandle)
        return errAEDescNotFound;
    if (desiredType != kList && desiredType != kAny)
        return errAECoercionFail;
    result->descriptorType = kList;
    result->dataHandle = new AEDescData{event->dataHandle->items};
    return noErr;
}

OSErr AECountItems(const AEDescList* list, long* count) {
    if (!list || !count)
        return paramErr;
    if (list->descriptorType != kList || !list->dataHandle)
        return errAEWrongDataType;
    *count = long(list->dataHandle->items.size());
    return noErr;
}

OSErr AEGetNthPtr(const AEDescList* list, long index, DescType desiredType, AEKeyword* keyword,
                  DescType* typeCode, void* dataPtr, Size maximumSize, Size* actualSize) {
    if (!list || list->descriptorType != kList || !list->dataHandle)
        return errAEWrongDataType;
    const auto& items = list->dataHandle->items;
    if (index < 1 || std::size_t(index) > items.size())
        return errAEIllegalIndex;
    const std::string& path = items[std::size_t(index - 1)];
    if (keyword)
        *keyword = kDirect;
    if (desiredType == kFSS || desiredType == kAny) {
        if (typeCode)
            *typeCode = kFSS;
        fillFSSpec(path, dataPtr, maximumSize, actualSize);
        return noErr;
    }
    if (desiredType == kUTF8) {
        if (typeCode)
            *typeCode = kUTF8;
        Size copy = std::min<Size>(maximumSize, Size(path.size()));
        if (dataPtr && copy > 0)
            std::memcpy(dataPtr, path.data(), std::size_t(copy));
        if (actualSize)
            *actualSize = Size(path.size());
        return noErr;
    }
    return errAECoercionFail;
}

OSErr AEDisposeDesc(AEDesc* desc) {
    if (!desc)
        return paramErr;
    if (desc->descriptorType == kList)
        delete desc->dataHandle;
    desc->dataHandle = nullptr;
    desc->descriptorType = kNull;
    return noErr;
}

OSErr sendOpenDocumentsForTesting(const char* const* paths, int count) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i)
        files.emplace_back(paths[i]);
    return deliver(files);
}
