// Shared between the toolkit's Qt sources only: how the opaque references map onto Qt
// objects, string conversion, and the hooks by which the files reach each other.
#pragma once

#include "PlatformToolbox.h"

#include <QByteArray>
#include <QFont>
#include <QMenu>
#include <QRect>
#include <QString>
#include <QWidget>

class QAction;

// An interface file, read once: its text and the folder its images are found in.
struct OpaqueIBNibRef {
    QByteArray content;
    QString folder;
    QString name;
};

namespace qtb {

inline QWidget* widget(WindowRef w) {
    return reinterpret_cast<QWidget*>(w);
}
inline WindowRef windowRef(QWidget* w) {
    return reinterpret_cast<WindowRef>(w);
}
inline QWidget* widget(ControlRef c) {
    return reinterpret_cast<QWidget*>(c);
}
inline ControlRef controlRef(QWidget* w) {
    return reinterpret_cast<ControlRef>(w);
}
inline QMenu* menu(MenuRef m) {
    return reinterpret_cast<QMenu*>(m);
}
inline MenuRef menuRef(QMenu* m) {
    return reinterpret_cast<MenuRef>(m);
}

// A Qt rectangle as a toolkit Rect (right and bottom exclusive).
inline Rect toRect(const QRect& q) {
    return Rect{SInt16(q.top()), SInt16(q.left()), SInt16(q.top() + q.height()),
                SInt16(q.left() + q.width())};
}

QString toQString(CFStringRef s);
CFStringRef fromQString(const QString& s);
QString fourCCString(OSType code);
OSType fourCCFromString(const QString& s); // 0 unless exactly four Latin-1 characters

// Windows made by CreateWindowFromNib and not disposed of.
bool isToolboxWindow(const QObject* w);
// The window a control belongs to (its nearest window ancestor).
QWidget* ownerWindow(QWidget* control);

// Event dispatch (PlatformCarbonEvents.cpp).
EventTargetRef targetFor(QObject* owner); // created on first use
void dropTargetsOf(QObject* owner);       // the object's target and its handlers go
OSStatus sendControlEvent(QWidget* control, UInt32 eventClass, UInt32 eventKind);
OSStatus sendWindowEvent(QWidget* window, UInt32 eventClass, UInt32 eventKind);
OSStatus sendCommandToApplication(MenuCommand command, QMenu* menu, MenuItemIndex index);
OSStatus sendMenuEventToApplication(QMenu* menu, UInt32 eventKind);
// Default handling that lives elsewhere: the close of a window (PlatformWindows.cpp).
OSStatus defaultWindowClose(QWidget* window);
// ... and of a command no handler took (PlatformApp.cpp): Quit and About.
OSStatus defaultCommand(MenuCommand command);

// A fresh instance of the file's top-level widget (the caller deletes it), or null
// (PlatformWindows.cpp).
QWidget* loadNib(IBNibRef nib);
// Makes a widget of the file a toolkit window: events, fonts, commands.
void adoptWindow(QWidget* window);

// Menus (PlatformMenus.cpp / PlatformApp.cpp).
QWidget* menuBarWidget();                // null before SetMenuBarFromNib
void hookMenuAction(QAction* action);    // a chosen item sends its command
QList<QAction*> menuBarCommandActions(); // every command item, for windows' shortcuts

// Theme fonts; false for an unknown id.
bool themeFont(ThemeFontID id, QFont* out);

} // namespace qtb
