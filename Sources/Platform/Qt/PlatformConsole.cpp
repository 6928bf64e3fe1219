#include "PlatformConsole.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMainWindow>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>

#include <map>
#include <memory>
#include <vector>

namespace {

QString fromPascal(const unsigned char* p) {
    if (!p)
        return {};
    std::vector<UniChar> units;
    CFStringRef s = CFStringCreateWithPascalString(nullptr, p, kCFStringEncodingMacRoman);
    if (!s)
        return {};
    CFIndex n = CFStringGetLength(s);
    units.resize(std::size_t(n));
    CFStringGetCharacters(s, CFRange{0, n}, units.data());
    CFRelease(s);
    return QString(reinterpret_cast<const QChar*>(units.data()), qsizetype(n));
}

QString fromCF(CFStringRef s) {
    if (!s)
        return {};
    CFIndex n = CFStringGetLength(s);
    std::vector<UniChar> units(static_cast<std::size_t>(n));
    CFStringGetCharacters(s, CFRange{0, n}, units.data());
    return QString(reinterpret_cast<const QChar*>(units.data()), qsizetype(n));
}

class ConsoleWindow : public QMainWindow {
public:
    ConsoleCloseProc closeProc = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (closeProc)
            closeProc();
    }
};

QFont gFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
bool gAnswerForTesting = false;
std::string gAnswerPath;

}  // namespace

struct ConsoleWindowRecord {
    ConsoleWindow* window = nullptr;
    ConsoleSelectionProc selectionProc = nullptr;
    std::map<short, QMenu*> menus;
    std::map<std::pair<short, short>, QAction*> items;
};

struct TXNObjectRecord {
    QPlainTextEdit* edit = nullptr;
    bool framed = false;  // placed at its own rectangle rather than filling the window
    std::unique_ptr<QPrinter> printer;
};

Rect GetQDGlobalsScreenBits() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return Rect{0, 0, 768, 1024};
    QRect g = screen->geometry();
    return Rect{0, 0, SInt16(g.height()), SInt16(g.width())};
}

ConsoleWindowRef NewDialog(const unsigned char* title, const Rect& bounds,
                           ConsoleMenuProc menuProc, ConsoleCloseProc closeProc,
                           ConsoleSelectionProc selectionProc) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    auto* rec = new ConsoleWindowRecord;
    rec->window = new ConsoleWindow;
    rec->window->closeProc = closeProc;
    rec->selectionProc = selectionProc;
    rec->window->setWindowTitle(fromPascal(title));
    struct Entry {
        short menu, item;
        const char* text;
        QKeySequence key;
    };
    const Entry entries[] = {
        {131, 1, "Save", QKeySequence::Save},      {131, 3, "Page Setup...", {}},
        {131, 4, "Print...", QKeySequence::Print}, {132, 1, "Cut", QKeySequence::Cut},
        {132, 2, "Copy", QKeySequence::Copy},      {132, 3, "Paste", QKeySequence::Paste},
        {132, 5, "Select All", QKeySequence::SelectAll},
    };
    rec->menus[131] = rec->window->menuBar()->addMenu("File");
    rec->menus[132] = rec->window->menuBar()->addMenu("Edit");
    short last[2] = {0, 0};
    for (const Entry& e : entries) {
        QMenu* m = rec->menus[e.menu];
        short& prev = last[e.menu - 131];
        if (e.item > prev + 1)
            m->addSeparator();
        prev = e.item;
        QAction* a = m->addAction(QString::fromLatin1(e.text));
        a->setShortcut(e.key);
        short menu = e.menu, item = e.item;
        QObject::connect(a, &QAction::triggered, [menuProc, menu, item] {
            if (menuProc)
                menuProc(menu, item);
        });
        rec->items[{e.menu, e.item}] = a;
    }
    rec->window->setGeometry(bounds.left, bounds.top, bounds.right - bounds.left,
                             bounds.bottom - bounds.top);
    rec->window->show();
    rec->window->raise();
    rec->window->activateWindow();
    return rec;
}

Rect GetConsoleBounds(ConsoleWindowRef wind) {
    if (!wind)
        return Rect{0, 0, 0, 0};
    QRect g = wind->window->geometry();
    return Rect{SInt16(g.top()), SInt16(g.left()), SInt16(g.top() + g.height()),
                SInt16(g.left() + g.width())};
}

static void setEnabled(ConsoleWindowRef wind, short menu, short item, bool on) {
    if (!wind)
        return;
    if (item == 0) {
        auto it = wind->menus.find(menu);
        if (it != wind->menus.end())
            it->second->setEnabled(on);
        return;
    }
    auto it = wind->items.find({menu, item});
    if (it != wind->items.end())
        it->second->setEnabled(on);
}

void EnableMenuItem(ConsoleWindowRef wind, short menu, short item) {
    setEnabled(wind, menu, item, true);
}
void DisableMenuItem(ConsoleWindowRef wind, short menu, short item) {
    setEnabled(wind, menu, item, false);
}

bool IsConsoleMenuItemEnabled(ConsoleWindowRef wind, short menu, short item) {
    if (!wind)
        return false;
    if (item == 0) {
        auto it = wind->menus.find(menu);
        return it != wind->menus.end() && it->second->isEnabled();
    }
    auto it = wind->items.find({menu, item});
    return it != wind->items.end() && it->second->isEnabled();
}

OSStatus TXNInitTextension(short fontNumber, short pointSize) {
    // Font 4 is the fixed-pitch font; anything else takes the general one.
    gFont = QFontDatabase::systemFont(fontNumber == 4 ? QFontDatabase::FixedFont
                                                      : QFontDatabase::GeneralFont);
    if (pointSize > 0)
        gFont.setPointSize(pointSize);
    return noErr;
}

OSStatus TXNCreateObject(ConsoleWindowRef wind, const Rect* frame, UInt32 frameOptions,
                         TXNObject* object) {
    if (!object)
        return paramErr;
    *object = nullptr;
    if (!wind)
        return paramErr;
    auto* obj = new TXNObjectRecord;
    obj->edit = new QPlainTextEdit;
    obj->edit->setReadOnly(true);
    obj->edit->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                       Qt::TextSelectableByKeyboard);
    obj->edit->setFont(gFont);
    obj->edit->setAcceptDrops(false);
    obj->edit->setVerticalScrollBarPolicy((frameOptions & 0x0008) ? Qt::ScrollBarAlwaysOn
                                                                   : Qt::ScrollBarAlwaysOff);
    obj->framed = frame != nullptr;
    if (frame)
        obj->edit->setGeometry(frame->left, frame->top, frame->right - frame->left,
                               frame->bottom - frame->top);
    *object = obj;
    return noErr;
}

OSStatus TXNAttachObjectToWindowRef(TXNObject object, ConsoleWindowRef wind) {
    if (!object || !wind)
        return paramErr;
    if (ConsoleSelectionProc proc = wind->selectionProc)
        QObject::connect(object->edit, &QPlainTextEdit::selectionChanged, [proc] { proc(); });
    if (object->framed) {
        object->edit->setParent(wind->window);
        object->edit->show();
    } else {
        wind->window->setCentralWidget(object->edit);
    }
    return noErr;
}

void TXNIdle(TXNObject) {}  // the caret and scrolling run on the toolkit's own events

Boolean TXNIsSelectionEmpty(TXNObject object) {
    return !object || !object->edit->textCursor().hasSelection();
}

ByteCount TXNDataSize(TXNObject object) {
    return object ? ByteCount(object->edit->document()->characterCount() - 1) * 2 : 0;
}

OSStatus TXNCut(TXNObject object) { return TXNCopy(object); }

OSStatus TXNCopy(TXNObject object) {
    if (!object)
        return paramErr;
    object->edit->copy();
    return noErr;
}

OSStatus TXNPaste(TXNObject object) { return object ? noErr : paramErr; }

OSStatus TXNSetSelection(TXNObject object, UInt32 start, UInt32 end) {
    if (!object)
        return paramErr;
    int size = object->edit->document()->characterCount() - 1;
    QTextCursor c(object->edit->document());
    c.setPosition(int(std::min<UInt32>(start, UInt32(size))));
    c.setPosition(int(std::min<UInt32>(end, UInt32(size))), QTextCursor::KeepAnchor);
    object->edit->setTextCursor(c);
    return noErr;
}

OSStatus TXNAppendText(TXNObject object, CFStringRef text) {
    if (!object || !text)
        return paramErr;
    QTextCursor c(object->edit->document());
    c.movePosition(QTextCursor::End);
    c.insertText(fromCF(text));
    object->edit->verticalScrollBar()->setValue(object->edit->verticalScrollBar()->maximum());
    return noErr;
}

static QPrinter& printerOf(TXNObject object) {
    if (!object->printer)
        object->printer = std::make_unique<QPrinter>();
    return *object->printer;
}

OSStatus TXNPageSetup(TXNObject object) {
    if (!object)
        return paramErr;
    QPageSetupDialog dialog(&printerOf(object), object->edit->window());
    return dialog.exec() == QDialog::Accepted ? noErr : userCanceledErr;
}

OSStatus TXNPrint(TXNObject object) {
    if (!object)
        return paramErr;
    QPrintDialog dialog(&printerOf(object), object->edit->window());
    if (dialog.exec() != QDialog::Accepted)
        return userCanceledErr;
    object->edit->print(&printerOf(object));
    return noErr;
}

OSStatus TXNSave(TXNObject object, const std::string& path) {
    if (!object)
        return paramErr;
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return ioErr;
    QByteArray text = object->edit->toPlainText().toUtf8();
    if (file.write(text) != text.size() || !file.commit())
        return ioErr;
    return noErr;
}

OSStatus NavPutFile(CFStringRef prompt, CFStringRef defaultName, const std::string& folder,
                    std::string* path) {
    if (!path)
        return paramErr;
    if (gAnswerForTesting) {
        if (gAnswerPath.empty())
            return userCanceledErr;
        *path = gAnswerPath;
        return noErr;
    }
    QString start = QString::fromStdString(folder);
    QString name = fromCF(defaultName);
    if (!name.isEmpty())
        start = start.isEmpty() ? name : start + "/" + name;
    QString chosen = QFileDialog::getSaveFileName(QApplication::activeWindow(), fromCF(prompt),
                                                  start);
    if (chosen.isEmpty())
        return userCanceledErr;
    *path = chosen.toStdString();
    return noErr;
}

void setNavPutFileAnswerForTesting(bool enabled, const std::string& path) {
    gAnswerForTesting = enabled;
    gAnswerPath = path;
}

void clickConsoleCloseBoxForTesting(ConsoleWindowRef wind) {
    if (wind)
        wind->window->close();
}
