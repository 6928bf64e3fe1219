// Menus over QMenu and QAction.
#include "PlatformMenus.h"
#include "PlatformQtInternal.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <cstring>

namespace {

QAction* itemAction(MenuRef menu, MenuItemIndex item) {
    QMenu* m = qtb::menu(menu);
    if (!m || item < 1) return nullptr;
    QList<QAction*> acts = m->actions();
    return item <= acts.size() ? acts[item - 1] : nullptr;
}

MenuCommand commandOf(QAction* a) {
    return MenuCommand(a->property("hiCommand").toUInt());
}

QList<QMenu*> barMenus() {
    QList<QMenu*> out;
    if (QWidget* bar = qtb::menuBarWidget()) out = bar->findChildren<QMenu*>();
    return out;
}

QByteArray propName(OSType creator, OSType tag) {
    return QByteArray("_item_") + QByteArray::number(creator, 16) + "_" +
           QByteArray::number(tag, 16);
}

bool search(QMenu* m, MenuCommand command, UInt32& remaining, MenuRef* outMenu,
            MenuItemIndex* outIndex) {
    QList<QAction*> acts = m->actions();
    for (qsizetype i = 0; i < acts.size(); ++i) {
        if (QMenu* sub = acts[i]->menu()) {
            if (search(sub, command, remaining, outMenu, outIndex)) return true;
        } else if (!acts[i]->isSeparator() && commandOf(acts[i]) == command && --remaining == 0) {
            if (outMenu) *outMenu = qtb::menuRef(m);
            if (outIndex) *outIndex = MenuItemIndex(i + 1);
            return true;
        }
    }
    return false;
}

} // namespace

void qtb::hookMenuAction(QAction* a) {
    QObject::connect(a, &QAction::triggered, a, [a](bool) {
        // A chosen item keeps its mark: marks change only through CheckMenuItem.
        if (a->isCheckable()) {
            QSignalBlocker block(a);
            a->setChecked(!a->isChecked());
        }
        QMenu* m = nullptr;
        MenuItemIndex index = 0;
        for (QMenu* candidate : barMenus()) {
            qsizetype i = candidate->actions().indexOf(a);
            if (i >= 0) {
                m = candidate;
                index = MenuItemIndex(i + 1);
                break;
            }
        }
        qtb::sendCommandToApplication(commandOf(a), m, index);
    });
}

MenuRef GetMenuHandle(MenuID id) {
    for (QMenu* m : barMenus()) {
        QVariant v = m->property("menuId");
        if (v.isValid() && v.toInt() == id) return qtb::menuRef(m);
    }
    return nullptr;
}

MenuID GetMenuID(MenuRef menu) {
    QMenu* m = qtb::menu(menu);
    return m ? MenuID(m->property("menuId").toInt()) : 0;
}

OSStatus GetIndMenuItemWithCommandID(MenuRef menu, MenuCommand command, UInt32 index,
                                     MenuRef* outMenu, MenuItemIndex* outIndex) {
    if (index < 1) return menuItemNotFoundErr;
    UInt32 remaining = index;
    if (menu)
        return search(qtb::menu(menu), command, remaining, outMenu, outIndex) ? noErr
                                                                              : menuItemNotFoundErr;
    QWidget* bar = qtb::menuBarWidget();
    if (!bar) return menuItemNotFoundErr;
    // The menu bar's menus in their order, each with its submenus.
    for (QAction* top : static_cast<QMenuBar*>(bar)->actions())
        if (QMenu* m = top->menu())
            if (search(m, command, remaining, outMenu, outIndex)) return noErr;
    return menuItemNotFoundErr;
}

OSStatus GetMenuItemCommandID(MenuRef menu, MenuItemIndex item, MenuCommand* outCommand) {
    QAction* a = itemAction(menu, item);
    if (!a) return menuItemNotFoundErr;
    if (outCommand) *outCommand = commandOf(a);
    return noErr;
}

UInt16 CountMenuItems(MenuRef menu) {
    QMenu* m = qtb::menu(menu);
    return m ? UInt16(m->actions().size()) : 0;
}

OSStatus CopyMenuItemTextAsCFString(MenuRef menu, MenuItemIndex item, CFStringRef* outText) {
    QAction* a = itemAction(menu, item);
    if (!a) return menuItemNotFoundErr;
    if (!outText) return paramErr;
    *outText =
        qtb::fromQString(QString(a->text()).replace("&&", "\x01").remove('&').replace("\x01", "&"));
    return noErr;
}

OSStatus SetMenuItemTextWithCFString(MenuRef menu, MenuItemIndex item, CFStringRef text) {
    QAction* a = itemAction(menu, item);
    if (!a) return menuItemNotFoundErr;
    a->setText(qtb::toQString(text).replace('&', "&&"));
    return noErr;
}

OSStatus InsertMenuItemTextWithCFString(MenuRef menu, CFStringRef text, MenuItemIndex afterItem,
                                        MenuItemAttributes, MenuCommand command) {
    QMenu* m = qtb::menu(menu);
    if (!m || !text) return paramErr;
    QString t = qtb::toQString(text);
    auto* a = new QAction(m);
    if (t.startsWith('-'))
        a->setSeparator(true);
    else
        a->setText(t.replace('&', "&&"));
    a->setProperty("hiCommand", uint(command));
    QList<QAction*> acts = m->actions();
    if (afterItem < acts.size())
        m->insertAction(acts[afterItem], a);
    else
        m->addAction(a);
    if (!a->isSeparator()) qtb::hookMenuAction(a);
    return noErr;
}

void DeleteMenuItem(MenuRef menu, MenuItemIndex item) {
    if (QAction* a = itemAction(menu, item)) {
        qtb::menu(menu)->removeAction(a);
        a->deleteLater();
    }
}

void EnableMenuItem(MenuRef menu, MenuItemIndex item) {
    if (item == 0) {
        if (QMenu* m = qtb::menu(menu)) m->setEnabled(true);
    } else if (QAction* a = itemAction(menu, item)) {
        a->setEnabled(true);
    }
}

void DisableMenuItem(MenuRef menu, MenuItemIndex item) {
    if (item == 0) {
        if (QMenu* m = qtb::menu(menu)) m->setEnabled(false);
    } else if (QAction* a = itemAction(menu, item)) {
        a->setEnabled(false);
    }
}

Boolean IsMenuItemEnabled(MenuRef menu, MenuItemIndex item) {
    QMenu* m = qtb::menu(menu);
    if (!m) return false;
    if (item == 0) return m->isEnabled();
    QAction* a = itemAction(menu, item);
    return a && a->isEnabled() && m->isEnabled();
}

void CheckMenuItem(MenuRef menu, MenuItemIndex item, Boolean checked) {
    if (QAction* a = itemAction(menu, item)) {
        QSignalBlocker block(a);
        a->setCheckable(true);
        a->setChecked(checked);
    }
}

Boolean platformIsMenuItemChecked(MenuRef menu, MenuItemIndex item) {
    QAction* a = itemAction(menu, item);
    return a && a->isCheckable() && a->isChecked();
}

OSStatus SetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType creator, OSType tag,
                             ByteCount size, const void* data) {
    QAction* a = itemAction(menu, item);
    if (!a) return menuItemNotFoundErr;
    if (size && !data) return paramErr;
    a->setProperty(propName(creator, tag),
                   QByteArray(static_cast<const char*>(data), qsizetype(size)));
    return noErr;
}

OSStatus GetMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType creator, OSType tag,
                             ByteCount bufferSize, ByteCount* actualSize, void* buffer) {
    QAction* a = itemAction(menu, item);
    if (!a) return menuItemNotFoundErr;
    QVariant v = a->property(propName(creator, tag));
    if (!v.isValid()) return menuPropertyNotFoundErr;
    QByteArray b = v.toByteArray();
    if (actualSize) *actualSize = ByteCount(b.size());
    if (buffer && bufferSize)
        std::memcpy(buffer, b.constData(), std::min<ByteCount>(bufferSize, b.size()));
    return noErr;
}

OSStatus RemoveMenuItemProperty(MenuRef menu, MenuItemIndex item, OSType creator, OSType tag) {
    QAction* a = itemAction(menu, item);
    if (!a) return menuItemNotFoundErr;
    QByteArray name = propName(creator, tag);
    if (!a->property(name).isValid()) return menuPropertyNotFoundErr;
    a->setProperty(name, QVariant());
    return noErr;
}

OSStatus platformChooseMenuItem(MenuRef menu, MenuItemIndex item) {
    QAction* a = itemAction(menu, item);
    if (!a || a->isSeparator()) return menuItemNotFoundErr;
    if (!a->isEnabled()) return noErr;
    a->trigger();
    return noErr;
}
