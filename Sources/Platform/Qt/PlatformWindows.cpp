// Windows over Qt widgets: interface files through QUiLoader, properties, sheets, modal
// loops, the drawing port, theme text and icon families.
#include "PlatformWindows.h"
#include "PlatformApp.h"
#include "PlatformCarbonEvents.h"
#include "PlatformEvents.h"
#include "PlatformQtInternal.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QUiLoader>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

struct OpaqueResourceHandle {
    QIcon icon;
};
struct OpaqueIconSuite {
    QIcon icon;
};

namespace {

// A dialog whose Escape (and Ctrl+period) presses the window's cancel button, if it has one,
// instead of hiding the dialog: windows only go through HideWindow and DisposeWindow.
class ToolboxDialog : public QDialog {
  public:
    using QDialog::QDialog;
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Period && (e->modifiers() & Qt::ControlModifier)) {
            reject();
            return;
        }
        QDialog::keyPressEvent(e);
    }
};

class ToolboxLoader : public QUiLoader {
  public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        if (className == "QDialog") {
            auto* d = new ToolboxDialog(parent);
            d->setObjectName(name);
            return d;
        }
        return QUiLoader::createWidget(className, parent, name);
    }
};

// What was drawn into a window through its port; painted over its controls.
struct PortOp {
    enum Kind { erase, text, icon } kind;
    QRect rect;
    QString str;
    QFont font;
    int flags = 0;
    QColor color;
    QIcon ic;
};

class PortOverlay : public QWidget {
  public:
    explicit PortOverlay(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(parent->rect());
    }
    std::vector<PortOp> ops;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (const PortOp& op : ops) {
            switch (op.kind) {
            case PortOp::erase:
                p.fillRect(op.rect, parentWidget()->palette().window());
                break;
            case PortOp::text:
                p.setFont(op.font);
                p.setPen(op.color);
                p.drawText(op.rect, op.flags, op.str);
                break;
            case PortOp::icon:
                op.ic.paint(&p, op.rect);
                break;
            }
        }
    }
};

class EventBridge : public QObject {
  public:
    bool eventFilter(QObject* obj, QEvent* e) override;
};

struct ModalLoop {
    QWidget* window;
    QEventLoop* loop;
    bool quit;
};

std::set<const QObject*> gLive;
std::map<QWidget*, std::map<std::pair<OSType, OSType>, std::vector<UInt8>>> gProps;
std::map<QWidget*, QWidget*> gSheetParent;
std::set<QWidget*> gSheetClass;
std::set<QWidget*> gPlaced;
std::vector<QWidget*> gZOrder; // front first
std::map<QWidget*, QPointer<QWidget>> gDefaultButton, gCancelButton;
std::vector<ModalLoop> gModal;
QWidget* gPort = nullptr;
std::map<SInt16, OpaqueResourceHandle*> gIcons;
OSErr gResError = noErr;
EventBridge* gBridge = nullptr;

EventBridge* bridge() {
    if (!gBridge) gBridge = new EventBridge;
    return gBridge;
}

void toFront(QWidget* w) {
    gZOrder.erase(std::remove(gZOrder.begin(), gZOrder.end(), w), gZOrder.end());
    gZOrder.insert(gZOrder.begin(), w);
}

void forget(QWidget* w) {
    for (ModalLoop& m : gModal)
        if (m.window == w && !m.quit) {
            m.quit = true;
            m.loop->exit(0);
        }
    gProps.erase(w);
    gSheetParent.erase(w);
    for (auto it = gSheetParent.begin(); it != gSheetParent.end();)
        it = it->second == w ? gSheetParent.erase(it) : std::next(it);
    gSheetClass.erase(w);
    gPlaced.erase(w);
    gZOrder.erase(std::remove(gZOrder.begin(), gZOrder.end(), w), gZOrder.end());
    gDefaultButton.erase(w);
    gCancelButton.erase(w);
    if (gPort == w) gPort = nullptr;
    gLive.erase(w);
}

PortOverlay* overlayOf(QWidget* w, bool create) {
    for (QObject* c : w->children())
        if (auto* o = dynamic_cast<PortOverlay*>(c)) return o;
    if (!create) return nullptr;
    auto* o = new PortOverlay(w);
    o->show();
    o->raise();
    return o;
}

void addPortOp(PortOp op) {
    if (!gPort) return;
    PortOverlay* o = overlayOf(gPort, true);
    o->setGeometry(gPort->rect());
    o->raise();
    if (op.kind == PortOp::erase) {
        auto inside = [&op](const PortOp& old) { return op.rect.contains(old.rect); };
        o->ops.erase(std::remove_if(o->ops.begin(), o->ops.end(), inside), o->ops.end());
    }
    // A window redrawn over and over keeps only its recent drawing.
    if (o->ops.size() >= 256) o->ops.erase(o->ops.begin());
    o->ops.push_back(std::move(op));
    o->update();
}

QRect qRect(const Rect& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// Brings a window up; the off-screen platform has no stacking and says so for each raise.
void raiseWindow(QWidget* w) {
    if (QGuiApplication::platformName() != "offscreen") w->raise();
    w->activateWindow();
}

bool isSheetShown(QWidget* w) {
    auto it = gSheetParent.find(w);
    return it != gSheetParent.end() && w->isVisible() && w->parentWidget() == it->second;
}

} // namespace

void ToolboxDialog::reject() {
    auto it = gCancelButton.find(this);
    if (it == gCancelButton.end() || !it->second) return;
    auto* b = qobject_cast<QAbstractButton*>(it->second.data());
    if (b && b->isVisible() && b->isEnabled()) b->click();
}

bool EventBridge::eventFilter(QObject* obj, QEvent* e) {
    auto* w = qobject_cast<QWidget*>(obj);
    if (!w) return false;
    if (w->isWindow()) {
        if (!qtb::isToolboxWindow(w)) return false;
        switch (e->type()) {
        case QEvent::Close:
            qtb::sendWindowEvent(w, kEventClassWindow, kEventWindowClose);
            e->ignore();
            return true;
        case QEvent::WindowActivate:
            toFront(w);
            qtb::sendWindowEvent(w, kEventClassWindow, kEventWindowActivated);
            break;
        case QEvent::WindowDeactivate:
            qtb::sendWindowEvent(w, kEventClassWindow, kEventWindowDeactivated);
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (w->isVisible())
                qtb::sendWindowEvent(w, kEventClassWindow, kEventWindowBoundsChanged);
            if (e->type() == QEvent::Resize)
                if (PortOverlay* o = overlayOf(w, false)) o->setGeometry(w->rect());
            break;
        case QEvent::KeyPress:
            qtb::sendWindowEvent(w, kEventClassKeyboard, kEventRawKeyDown);
            break;
        case QEvent::KeyRelease:
            qtb::sendWindowEvent(w, kEventClassKeyboard, kEventRawKeyUp);
            break;
        default:
            break;
        }
        return false;
    }
    if (!qtb::isToolboxWindow(qtb::ownerWindow(w))) return false;
    switch (e->type()) {
    case QEvent::KeyRelease:
        if (!static_cast<QKeyEvent*>(e)->isAutoRepeat())
            qtb::sendControlEvent(w, kEventClassKeyboard, kEventRawKeyUp);
        break;
    case QEvent::EnabledChange:
        qtb::sendControlEvent(w, kEventClassControl,
                              w->isEnabled() ? kEventControlActivate : kEventControlDeactivate);
        break;
    default:
        break;
    }
    return false;
}

bool qtb::isToolboxWindow(const QObject* w) {
    return w && gLive.count(w) != 0;
}

QWidget* qtb::ownerWindow(QWidget* control) {
    return control ? control->window() : nullptr;
}

QWidget* qtb::loadNib(IBNibRef nib) {
    if (!nib) return nullptr;
    QByteArray copy = nib->content;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    ToolboxLoader loader;
    loader.setWorkingDirectory(QDir(nib->folder));
    return loader.load(&buf, nullptr);
}

void qtb::adoptWindow(QWidget* w) {
    gLive.insert(w);
    QObject::connect(w, &QObject::destroyed, [w] { forget(w); });
    if (w->property("windowClass").toString() == "sheet") gSheetClass.insert(w);
    w->installEventFilter(bridge());
    for (QWidget* c : w->findChildren<QWidget*>()) {
        QVariant tf = c->property("themeFont");
        QFont f;
        if (tf.isValid() && qtb::themeFont(ThemeFontID(tf.toInt()), &f)) c->setFont(f);
        if (auto* l = qobject_cast<QLabel*>(c))
            if (l->textFormat() == Qt::AutoText) l->setTextFormat(Qt::PlainText);
        if (auto* b = qobject_cast<QAbstractButton*>(c)) {
            QObject::connect(b, &QAbstractButton::clicked, b, [b] {
                if (qtb::isToolboxWindow(qtb::ownerWindow(b)))
                    qtb::sendControlEvent(b, kEventClassControl, kEventControlHit);
            });
        }
        c->installEventFilter(bridge());
    }
#ifndef Q_OS_MACOS
    // These desktops put menus into main windows; this application has none, so its windows
    // carry the menu bar's commands: their shortcuts work, and a right click lists them.
    QList<QAction*> cmds = qtb::menuBarCommandActions();
    if (!cmds.isEmpty()) {
        w->addActions(cmds);
        w->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
#endif
}

OSStatus qtb::defaultWindowClose(QWidget* window) {
    // Closing from the title bar answers the window as its cancel button would; a window
    // that offers exactly one button is answered with that one. Otherwise it stays.
    auto it = gCancelButton.find(window);
    QAbstractButton* target = nullptr;
    if (it != gCancelButton.end() && it->second)
        target = qobject_cast<QAbstractButton*>(it->second.data());
    if (!target) {
        QList<QAbstractButton*> shown;
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            if (b->window() == window && !b->isHidden() && qobject_cast<QPushButton*>(b))
                shown << b;
        if (shown.size() == 1) target = shown.front();
    }
    if (target && !target->isHidden() && target->isEnabled()) target->click();
    return noErr;
}

OSStatus CreateWindowFromNib(IBNibRef nib, CFStringRef name, WindowRef* outWindow) {
    if (!nib || !name || !outWindow) return paramErr;
    QWidget* top = qtb::loadNib(nib);
    if (!top) return errWindowNotFound;
    QString n = qtb::toQString(name);
    QWidget* w = nullptr;
    for (QWidget* c : top->findChildren<QWidget*>(n, Qt::FindDirectChildrenOnly))
        if (c->isWindow()) w = c;
    if (!w && top->objectName() == n) w = top;
    if (!w) {
        delete top;
        return errWindowNotFound;
    }
    if (w != top) {
        w->setParent(nullptr, w->windowFlags());
        delete top;
    }
    w->hide();
    qtb::adoptWindow(w);
    *outWindow = qtb::windowRef(w);
    return noErr;
}

void DisposeWindow(WindowRef window) {
    QWidget* w = qtb::widget(window);
    if (!qtb::isToolboxWindow(w)) return;
    forget(w);
    qtb::dropTargetsOf(w);
    for (QWidget* c : w->findChildren<QWidget*>())
        qtb::dropTargetsOf(c);
    w->hide();
    w->deleteLater();
}

OSStatus SetWindowTitleWithCFString(WindowRef window, CFStringRef title) {
    if (!window) return paramErr;
    qtb::widget(window)->setWindowTitle(qtb::toQString(title));
    return noErr;
}

CFStringRef CopyWindowTitleAsCFString(WindowRef window) {
    return window ? qtb::fromQString(qtb::widget(window)->windowTitle()) : nullptr;
}

OSStatus GetWindowBounds(WindowRef window, WindowRegionCode region, Rect* outRect) {
    if (!window || !outRect) return paramErr;
    QWidget* w = qtb::widget(window);
    if (region == kWindowStructureRgn)
        *outRect = qtb::toRect(w->frameGeometry());
    else if (region == kWindowContentRgn)
        *outRect = qtb::toRect(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
    else
        return paramErr;
    return noErr;
}

Rect* GetWindowPortBounds(WindowRef window, Rect* outRect) {
    if (window && outRect) *outRect = qtb::toRect(qtb::widget(window)->rect());
    return outRect;
}

void SizeWindow(WindowRef window, SInt16 width, SInt16 height, Boolean) {
    if (!window || width < 0 || height < 0) return;
    // Message windows are laid out for their texts: the user does not resize them.
    qtb::widget(window)->setFixedSize(width, height);
}

void ShowWindow(WindowRef window) {
    QWidget* w = qtb::widget(window);
    if (!w) return;
    if (!gPlaced.count(w) && !w->parentWidget()) {
        gPlaced.insert(w);
        if (QScreen* s = QGuiApplication::primaryScreen()) {
            QRect a = s->availableGeometry();
            w->move(a.left() + (a.width() - w->width()) / 2,
                    a.top() + (a.height() - w->height()) / 3);
        }
    }
    w->show();
    raiseWindow(w);
    toFront(w);
}

void HideWindow(WindowRef window) {
    if (window) qtb::widget(window)->hide();
}

Boolean IsWindowVisible(WindowRef window) {
    return window && qtb::widget(window)->isVisible();
}

void SelectWindow(WindowRef window) {
    QWidget* w = qtb::widget(window);
    if (!w) return;
    raiseWindow(w);
    toFront(w);
}

WindowRef FrontWindow() {
    for (QWidget* w : gZOrder)
        if (w->isVisible()) return qtb::windowRef(w);
    return nullptr;
}

OSStatus SetWindowProperty(WindowRef window, PropertyCreator creator, PropertyTag tag,
                           ByteCount size, const void* data) {
    if (!window || (size && !data)) return paramErr;
    auto& v = gProps[qtb::widget(window)][{creator, tag}];
    v.assign(static_cast<const UInt8*>(data), static_cast<const UInt8*>(data) + size);
    return noErr;
}

OSStatus GetWindowProperty(WindowRef window, PropertyCreator creator, PropertyTag tag,
                           ByteCount bufferSize, ByteCount* actualSize, void* buffer) {
    if (!window) return paramErr;
    auto w = gProps.find(qtb::widget(window));
    if (w == gProps.end()) return errWindowPropertyNotFound;
    auto p = w->second.find({creator, tag});
    if (p == w->second.end()) return errWindowPropertyNotFound;
    if (actualSize) *actualSize = p->second.size();
    if (buffer && bufferSize)
        std::memcpy(buffer, p->second.data(), std::min<ByteCount>(bufferSize, p->second.size()));
    return noErr;
}

OSStatus RemoveWindowProperty(WindowRef window, PropertyCreator creator, PropertyTag tag) {
    if (!window) return paramErr;
    auto w = gProps.find(qtb::widget(window));
    if (w == gProps.end() || !w->second.erase({creator, tag})) return errWindowPropertyNotFound;
    return noErr;
}

OSStatus SetWindowDefaultButton(WindowRef window, ControlRef control) {
    if (!window) return paramErr;
    QWidget* w = qtb::widget(window);
    if (auto old = gDefaultButton[w])
        if (auto* pb = qobject_cast<QPushButton*>(old.data())) pb->setDefault(false);
    gDefaultButton[w] = qtb::widget(control);
    if (auto* pb = qobject_cast<QPushButton*>(qtb::widget(control))) pb->setDefault(true);
    return noErr;
}

OSStatus SetWindowCancelButton(WindowRef window, ControlRef control) {
    if (!window) return paramErr;
    gCancelButton[qtb::widget(window)] = qtb::widget(control);
    return noErr;
}

Boolean platformIsSheetWindow(WindowRef window) {
    return window && gSheetClass.count(qtb::widget(window));
}

OSStatus ShowSheetWindow(WindowRef sheet, WindowRef parent) {
    if (!sheet || !parent) return paramErr;
    if (platformIsSheetWindow(parent)) return errInvalidWindowRef;
    QWidget* s = qtb::widget(sheet);
    QWidget* p = qtb::widget(parent);
#ifdef Q_OS_MACOS
    Qt::WindowFlags type = Qt::Sheet;
#else
    Qt::WindowFlags type = Qt::Dialog;
#endif
    if (s->isVisible()) s->hide();
    if (s->parentWidget() != p) s->setParent(p, (s->windowFlags() & ~Qt::WindowType_Mask) | type);
    s->setWindowModality(Qt::WindowModal);
    gSheetParent[s] = p;
    // On the parent, centred, at the top of its content, as a sheet slides out.
    QPoint origin = p->mapToGlobal(QPoint(0, 0));
    s->move(origin.x() + (p->width() - s->width()) / 2, origin.y());
    s->show();
    raiseWindow(s);
    toFront(s);
    return noErr;
}

OSStatus HideSheetWindow(WindowRef sheet) {
    if (!sheet) return paramErr;
    qtb::widget(sheet)->hide();
    return noErr;
}

OSStatus GetSheetWindowParent(WindowRef sheet, WindowRef* outParent) {
    if (!sheet || !outParent) return paramErr;
    auto it = gSheetParent.find(qtb::widget(sheet));
    if (it == gSheetParent.end()) return paramErr;
    *outParent = qtb::windowRef(it->second);
    return noErr;
}

OSStatus RunAppModalLoopForWindow(WindowRef window) {
    QWidget* w = qtb::widget(window);
    if (!qtb::isToolboxWindow(w)) return paramErr;
    bool sheet = isSheetShown(w);
    if (!sheet && w->windowModality() != Qt::ApplicationModal) {
        // Modality takes effect when a window is shown.
        bool visible = w->isVisible();
        if (visible) w->hide();
        w->setWindowModality(Qt::ApplicationModal);
        if (visible) {
            w->show();
            raiseWindow(w);
        }
    }
    QEventLoop loop;
    gModal.push_back({w, &loop, false});
    loop.exec();
    for (auto it = gModal.begin(); it != gModal.end(); ++it)
        if (it->loop == &loop) {
            gModal.erase(it);
            break;
        }
    if (!sheet && qtb::isToolboxWindow(w)) {
        bool visible = w->isVisible();
        if (visible) w->hide();
        w->setWindowModality(Qt::NonModal);
        if (visible) w->show();
    }
    return noErr;
}

OSStatus QuitAppModalLoopForWindow(WindowRef window) {
    if (!window) return paramErr;
    QWidget* w = qtb::widget(window);
    for (auto it = gModal.rbegin(); it != gModal.rend(); ++it)
        if (it->window == w && !it->quit) {
            it->quit = true;
            it->loop->exit(0);
            break;
        }
    return noErr;
}

int platformModalLoopDepth() {
    return int(gModal.size());
}

DialogPtr GetDialogFromWindow(WindowRef window) {
    return reinterpret_cast<DialogPtr>(window);
}

WindowRef GetDialogWindow(DialogPtr dialog) {
    return reinterpret_cast<WindowRef>(dialog);
}

OSStatus GetDialogItemAsControl(DialogPtr dialog, SInt16 item, ControlRef* outControl) {
    QWidget* w = qtb::widget(GetDialogWindow(dialog));
    if (!w || !outControl) return paramErr;
    for (QWidget* c : w->findChildren<QWidget*>()) {
        QVariant v = c->property("dialogItem");
        if (c->window() == w && v.isValid() && v.toInt() == item) {
            *outControl = qtb::controlRef(c);
            return noErr;
        }
    }
    return errUnknownControl;
}

void GetDialogItem(DialogPtr dialog, SInt16 item, SInt16* itemType, Handle* itemHandle, Rect* box) {
    ControlRef c = nullptr;
    if (GetDialogItemAsControl(dialog, item, &c) != noErr) return;
    QWidget* cw = qtb::widget(c);
    if (itemType) *itemType = 0;
    if (itemHandle) *itemHandle = reinterpret_cast<Handle>(c);
    if (box) *box = qtb::toRect(QRect(cw->mapTo(cw->window(), QPoint(0, 0)), cw->size()));
}

void SetPortWindowPort(WindowRef window) {
    gPort = qtb::isToolboxWindow(qtb::widget(window)) ? qtb::widget(window) : nullptr;
}

WindowRef platformCurrentPortWindow() {
    return qtb::windowRef(gPort);
}

void EraseRect(const Rect* rect) {
    if (!rect) return;
    PortOp op{PortOp::erase, qRect(*rect), {}, {}, 0, {}, {}};
    addPortOp(op);
}

void OffsetRect(Rect* rect, SInt16 dh, SInt16 dv) {
    if (!rect) return;
    rect->left = SInt16(rect->left + dh);
    rect->right = SInt16(rect->right + dh);
    rect->top = SInt16(rect->top + dv);
    rect->bottom = SInt16(rect->bottom + dv);
}

void ForeColor(long color) {
    RGBColor c = color == whiteColor ? RGBColor{0xFFFF, 0xFFFF, 0xFFFF} : RGBColor{0, 0, 0};
    RGBForeColor(&c);
}

OSStatus GetThemeTextDimensions(CFStringRef text, ThemeFontID font, ThemeDrawState,
                                Boolean wrapToWidth, Point* ioBounds, SInt16* outBaseline) {
    QFont f;
    if (!text || !ioBounds || !qtb::themeFont(font, &f)) return paramErr;
    QFontMetrics fm(f);
    QString s = qtb::toQString(text);
    QRect r;
    if (wrapToWidth && ioBounds->h > 0)
        r = fm.boundingRect(QRect(0, 0, ioBounds->h, 30000), Qt::TextWordWrap | Qt::AlignLeft, s);
    else
        r = fm.boundingRect(QRect(0, 0, 30000, 30000), Qt::AlignLeft, s);
    ioBounds->v = SInt16(std::min(r.height(), 32767));
    ioBounds->h = SInt16(std::min(r.width(), 32767));
    if (outBaseline) *outBaseline = SInt16(-fm.descent());
    return noErr;
}

OSStatus DrawThemeTextBox(CFStringRef text, ThemeFontID font, ThemeDrawState state,
                          Boolean wrapToWidth, const Rect* box, SInt16 just, void*) {
    QFont f;
    if (!text || !box || !qtb::themeFont(font, &f)) return paramErr;
    if (!gPort) return errInvalidWindowRef;
    int align = just == teCenter       ? Qt::AlignHCenter
                : just == teFlushRight ? Qt::AlignRight
                                       : Qt::AlignLeft;
    PortOp op{PortOp::text,
              qRect(*box),
              qtb::toQString(text),
              f,
              align | Qt::AlignTop | (wrapToWidth ? int(Qt::TextWordWrap) : 0),
              Qt::gray,
              {}};
    if (state == kThemeStateActive) {
        RGBColor c;
        GetForeColor(&c);
        op.color = QColor::fromRgba64(c.red, c.green, c.blue);
    }
    addPortOp(op);
    return noErr;
}

Handle GetResource(ResType type, SInt16 id) {
    gResError = resNotFound;
    if (type != fourCC("icns")) return nullptr;
    auto it = gIcons.find(id);
    if (it != gIcons.end()) {
        gResError = noErr;
        return it->second;
    }
    QDir dir(QString::fromStdString(platformResourcesFolder()) + "/Icons");
    QString base = QString("icns_%1").arg(id);
    QIcon icon;
    for (const QString& f : dir.entryList({base + ".png", base + "@*.png"}, QDir::Files))
        icon.addFile(dir.filePath(f));
    if (icon.isNull()) return nullptr;
    auto* h = new OpaqueResourceHandle{icon};
    gIcons[id] = h;
    gResError = noErr;
    return h;
}

OSErr ResError() {
    return gResError;
}

OSErr NewIconSuite(IconSuiteRef* outSuite) {
    if (!outSuite) return paramErr;
    *outSuite = new OpaqueIconSuite;
    return noErr;
}

OSErr IconFamilyToIconSuite(IconFamilyHandle family, IconSelectorValue, IconSuiteRef* outSuite) {
    if (!family || !outSuite) return paramErr;
    *outSuite = new OpaqueIconSuite{family->icon};
    return noErr;
}

OSErr PlotIconSuite(const Rect* rect, IconAlignmentType, IconTransformType, IconSuiteRef suite) {
    if (!rect || !suite) return paramErr;
    if (!gPort) return paramErr;
    PortOp op{PortOp::icon, qRect(*rect), {}, {}, 0, {}, suite->icon};
    addPortOp(op);
    return noErr;
}

OSErr DisposeIconSuite(IconSuiteRef suite, Boolean) {
    delete suite;
    return noErr;
}

OSStatus platformSaveWindowImage(WindowRef window, const char* pngPath) {
    QWidget* w = qtb::widget(window);
    if (!w || !pngPath) return paramErr;
    // Sheets shown on the window are part of what the user sees: the picture takes them in,
    // each with a thin outline as the desktop draws a window's edge.
    QPoint origin = w->mapToGlobal(QPoint(0, 0));
    QRect canvas = w->rect();
    std::vector<std::pair<QWidget*, QPoint>> sheets;
    for (auto& [sheet, parent] : gSheetParent)
        if (parent == w && sheet->isVisible()) {
            QPoint at = sheet->mapToGlobal(QPoint(0, 0)) - origin;
            sheets.emplace_back(sheet, at);
            canvas |= QRect(at, sheet->size()).adjusted(-1, -1, 1, 1);
        }
    QPixmap pm(canvas.size());
    pm.fill(w->palette().window().color());
    QPainter p(&pm);
    p.translate(-canvas.topLeft());
    p.drawPixmap(0, 0, w->grab());
    for (auto& [sheet, at] : sheets) {
        p.drawPixmap(at, sheet->grab());
        p.setPen(w->palette().color(QPalette::Dark));
        p.drawRect(QRect(at, sheet->size()).adjusted(-1, -1, 0, 0));
    }
    p.end();
    return pm.save(QString::fromUtf8(pngPath), "PNG") ? noErr : ioErr;
}
