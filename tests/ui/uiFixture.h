// Shared by the dialog tests: the application object, the bundle's resources from the source
// tree, and ways to answer windows the way a user would.
#pragma once

#include "PlatformApp.h"
#include "PlatformCarbonEvents.h"
#include "PlatformControls.h"
#include "PlatformWindows.h"
#include "windSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>

inline void uiSetUp() {
    platformInitApplicationForTesting();
    platformSetResourcesFolderForTesting(QUILLON_RESOURCES_DIR);
    platformSetLanguagesForTesting("en");
}

// Lets pending events and deferred deletions run.
inline void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// Runs `fn` once the next event loop (a modal loop, typically) dispatches.
inline void whenRunning(std::function<void()> fn) {
    QTimer::singleShot(0, qApp, std::move(fn));
}

// Presses button `id` of the window as a user would.
inline bool press(WindowRef w, OSType signature, SInt32 id) {
    ControlPartCode part = 0;
    HIViewSimulateClick(getControlByID(w, signature, id), 1, 0, &part);
    return part == 1;
}

inline Rect boundsOf(WindowRef w, OSType signature, SInt32 id) {
    Rect r{0, 0, 0, 0};
    getControlBounds(w, signature, id, &r);
    return r;
}

class UiTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { uiSetUp(); }
    void TearDown() override { settle(); }
};
