// Application start-up, the application event loop, interface files, the menu bar and the
// bundle's localized texts.
#include "PlatformApp.h"
#include "PlatformBundle.h"
#include "PlatformCarbonEvents.h"
#include "PlatformQtInternal.h"
#include "PlatformWindows.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QIcon>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QStringDecoder>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

QApplication* gApp = nullptr;
bool gLoopRunning = false;
bool gQuitPending = false;
QEventLoop* gAppLoop = nullptr;

QWidget* gMenuBarHolder = nullptr; // the file's top-level widget, owner of the actions
QMenuBar* gMenuBar = nullptr;

std::string gResourcesForTesting;
QStringList gLanguagesForTesting;

} // namespace

// ---------------------------------------------------------------------------------------
// Helpers shared by the toolkit's files

QString qtb::toQString(CFStringRef s) {
    std::u16string_view u = platformStringUnits(s);
    return QString(reinterpret_cast<const QChar*>(u.data()), qsizetype(u.size()));
}

CFStringRef qtb::fromQString(const QString& s) {
    return platformStringCreate(
        std::u16string_view(reinterpret_cast<const char16_t*>(s.utf16()), std::size_t(s.size())));
}

QString qtb::fourCCString(OSType code) {
    QString s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s += QChar(char16_t((code >> shift) & 0xFF));
    return s;
}

OSType qtb::fourCCFromString(const QString& s) {
    if (s.size() != 4) return 0;
    OSType v = 0;
    for (QChar c : s) {
        if (c.unicode() > 0xFF) return 0;
        v = (v << 8) | c.unicode();
    }
    return v;
}

bool qtb::themeFont(ThemeFontID id, QFont* out) {
    QFont f = QApplication::font();
    switch (id) {
    case kThemeSystemFont:
        break;
    case kThemeEmphasizedSystemFont:
        f.setBold(true);
        break;
    case kThemeSmallSystemFont:
    case kThemeSmallEmphasizedSystemFont:
        // A point below the system font, never below what stays readable.
        if (f.pointSizeF() > 0)
            f.setPointSizeF(std::max(8.0, f.pointSizeF() - 1));
        else if (f.pixelSize() > 0)
            f.setPixelSize(std::max(11, f.pixelSize() - 1));
        f.setBold(id == kThemeSmallEmphasizedSystemFont);
        break;
    default:
        return false;
    }
    *out = f;
    return true;
}

// ---------------------------------------------------------------------------------------
// Start-up and the application event loop

OSStatus platformInitApplication(int* argc, char** argv) {
    if (!argc || !argv) return paramErr;
    if (QApplication::instance()) return noErr;
    gApp = new QApplication(*argc, argv);
    QApplication::setApplicationName("Quillon Updater");
    // The prompt goes before the progress window opens: no window at all must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    std::string res = platformResourcesFolder();
    if (!res.empty()) {
        QIcon icon(QString::fromStdString(res) + "/Icons/icns_128.png");
        if (!icon.isNull()) QApplication::setWindowIcon(icon);
    }
    return noErr;
}

void platformInitApplicationForTesting() {
    static int argc = 1;
    static char name[] = "toolkit-test";
    static char* argv[] = {name, nullptr};
    platformInitApplication(&argc, argv);
}

bool platformApplicationExists() {
    return QApplication::instance() != nullptr;
}

void RunApplicationEventLoop() {
    if (gLoopRunning || !QApplication::instance()) return;
    gLoopRunning = true;
    if (!gQuitPending) {
        QEventLoop loop;
        gAppLoop = &loop;
        loop.exec();
        gAppLoop = nullptr;
    }
    gQuitPending = false;
    gLoopRunning = false;
}

void QuitApplicationEventLoop() {
    gQuitPending = true;
    if (gAppLoop) gAppLoop->exit(0);
}

bool platformApplicationEventLoopRunning() {
    return gLoopRunning;
}

OSStatus qtb::defaultCommand(MenuCommand command) {
    if (command == kHICommandQuit) {
        QuitApplicationEventLoop();
        return noErr;
    }
    if (command == kHICommandAbout) {
        QWidget* parent = qtb::widget(FrontWindow());
        QMessageBox::about(parent,
                           QApplication::tr("About %1").arg(QApplication::applicationName()),
                           QApplication::tr("%1\n\nUpdates the firmware of the enclosure "
                                            "connected through its USB serial adapter.")
                               .arg(QApplication::applicationName()));
        return noErr;
    }
    return eventNotHandledErr;
}

// ---------------------------------------------------------------------------------------
// Interface files and the menu bar

std::string platformResourcesFolder() {
    return gResourcesForTesting.empty() ? mainBundleResourcesPath() : gResourcesForTesting;
}

void platformSetResourcesFolderForTesting(const char* folder) {
    gResourcesForTesting = folder ? folder : "";
}

OSStatus platformCreateNibReferenceInFolder(const char* folder, CFStringRef inNibName,
                                            IBNibRef* outNibRef) {
    if (!folder || !inNibName || !outNibRef) return paramErr;
    QString dir = QString::fromUtf8(folder);
    QString name = qtb::toQString(inNibName);
    if (name.isEmpty() || name.contains('/')) return errIBNibNotFound;
    QFile f(dir + "/" + name + ".ui");
    if (!f.open(QIODevice::ReadOnly)) return errIBNibNotFound;
    auto* nib = new OpaqueIBNibRef;
    nib->content = f.readAll();
    nib->folder = dir;
    nib->name = name;
    *outNibRef = nib;
    return noErr;
}

OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef) {
    std::string res = platformResourcesFolder();
    if (res.empty()) return errIBNibNotFound;
    return platformCreateNibReferenceInFolder(res.c_str(), inNibName, outNibRef);
}

void DisposeNibReference(IBNibRef nib) {
    delete nib;
}

QWidget* qtb::menuBarWidget() {
    return gMenuBar;
}

QList<QAction*> qtb::menuBarCommandActions() {
    QList<QAction*> out;
    if (!gMenuBar) return out;
    for (QMenu* m : gMenuBar->findChildren<QMenu*>())
        for (QAction* a : m->actions())
            if (!a->isSeparator() && !a->menu()) out.push_back(a);
    return out;
}

OSStatus SetMenuBarFromNib(IBNibRef nib, CFStringRef name) {
    if (!nib || !name) return paramErr;
    QWidget* top = qtb::loadNib(nib);
    if (!top) return errWindowNotFound;
    auto* bar = top->findChild<QMenuBar*>(qtb::toQString(name));
    if (!bar) {
        delete top;
        return errWindowNotFound;
    }
    // The actions belong to the file's top-level widget: keep it, never shown.
    if (gMenuBarHolder) gMenuBarHolder->deleteLater();
    gMenuBarHolder = top;
#ifdef Q_OS_MACOS
    bar->setParent(nullptr); // a menu bar without a parent is the global one
#endif
    gMenuBar = bar;
    for (QMenu* m : bar->findChildren<QMenu*>()) {
        QObject::connect(m, &QMenu::aboutToShow,
                         [m] { qtb::sendMenuEventToApplication(m, kEventMenuBeginTracking); });
        for (QAction* a : m->actions()) {
            if (a->isSeparator() || a->menu()) continue;
            QVariant cmd = a->property("command");
            if (cmd.isValid())
                a->setProperty("hiCommand", uint(qtb::fourCCFromString(cmd.toString())));
            a->setShortcutContext(Qt::WindowShortcut);
            qtb::hookMenuAction(a);
        }
    }
    return noErr;
}

// ---------------------------------------------------------------------------------------
// Localized texts

namespace {

using StringTable = std::map<QString, QString>;

// The ".strings" format: "key" = "value"; with C comments, escapes \n \t \r \" \\ \' and
// \Uxxxx. A file that stops parsing keeps the pairs read before, and says so on stderr.
bool readQuoted(const QString& s, qsizetype& i, QString* out) {
    if (i >= s.size() || s[i] != '"') return false;
    ++i;
    QString v;
    while (i < s.size() && s[i] != '"') {
        QChar c = s[i++];
        if (c != '\\') {
            v += c;
            continue;
        }
        if (i >= s.size()) return false;
        QChar e = s[i++];
        switch (e.unicode()) {
        case 'n':
            v += '\n';
            break;
        case 't':
            v += '\t';
            break;
        case 'r':
            v += '\r';
            break;
        case 'U':
        case 'u': {
            bool ok = false;
            uint code = s.mid(i, 4).toUInt(&ok, 16);
            if (!ok) return false;
            v += QChar(char16_t(code));
            i += 4;
            break;
        }
        default:
            v += e;
            break;
        }
    }
    if (i >= s.size()) return false;
    ++i;
    *out = v;
    return true;
}

void skipSpace(const QString& s, qsizetype& i) {
    for (;;) {
        while (i < s.size() && s[i].isSpace())
            ++i;
        if (s.mid(i, 2) == "/*") {
            qsizetype end = s.indexOf("*/", i + 2);
            i = end < 0 ? s.size() : end + 2;
        } else if (s.mid(i, 2) == "//") {
            qsizetype end = s.indexOf('\n', i);
            i = end < 0 ? s.size() : end + 1;
        } else {
            return;
        }
    }
}

StringTable parseStrings(const QByteArray& bytes, const QString& path) {
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        auto dec = QStringDecoder(QStringDecoder::Utf16);
        text = dec(bytes);
    } else {
        auto dec = QStringDecoder(QStringDecoder::Utf8);
        text = dec(bytes);
        if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    }
    StringTable table;
    qsizetype i = 0;
    for (;;) {
        skipSpace(text, i);
        if (i >= text.size()) break;
        QString key, value;
        if (!readQuoted(text, i, &key)) break;
        skipSpace(text, i);
        if (i < text.size() && text[i] == '=') {
            ++i;
            skipSpace(text, i);
            if (!readQuoted(text, i, &value)) break;
            skipSpace(text, i);
        } else {
            value = key;
        }
        if (i >= text.size() || text[i] != ';') break;
        ++i;
        table[key] = value;
    }
    if (i < text.size())
        std::fprintf(stderr, "%s: cannot read beyond character %lld\n",
                     path.toLocal8Bit().constData(), static_cast<long long>(i));
    return table;
}

QStringList languageFolders() {
    QStringList langs =
        gLanguagesForTesting.isEmpty() ? QLocale::system().uiLanguages() : gLanguagesForTesting;
    QStringList folders;
    auto add = [&folders](const QString& f) {
        if (!f.isEmpty() && !folders.contains(f)) folders << f;
    };
    for (const QString& l : langs) {
        add(l);
        add(QString(l).replace('-', '_'));
        add(l.section('-', 0, 0).section('_', 0, 0));
    }
    add("en");
    add("English");
    add("Base");
    return folders;
}

struct TableCache {
    std::string folder;
    QStringList languages;
    std::map<QString, std::vector<StringTable>> tables; // per table name, by preference
};
TableCache gCache;

const std::vector<StringTable>& tablesFor(const QString& tableName) {
    std::string folder = platformResourcesFolder();
    QStringList langs = languageFolders();
    if (gCache.folder != folder || gCache.languages != langs) {
        gCache = TableCache{};
        gCache.folder = folder;
        gCache.languages = langs;
    }
    auto it = gCache.tables.find(tableName);
    if (it != gCache.tables.end()) return it->second;
    std::vector<StringTable> found;
    for (const QString& lang : langs) {
        QString path =
            QString::fromStdString(folder) + "/" + lang + ".lproj/" + tableName + ".strings";
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) found.push_back(parseStrings(f.readAll(), path));
    }
    return gCache.tables[tableName] = std::move(found);
}

} // namespace

void platformSetLanguagesForTesting(const char* commaSeparatedLanguages) {
    QString s = commaSeparatedLanguages ? QString::fromUtf8(commaSeparatedLanguages) : QString();
    gLanguagesForTesting = s.isEmpty() ? QStringList() : s.split(',', Qt::SkipEmptyParts);
}

CFStringRef platformCopyLocalizedString(CFStringRef key, CFStringRef value, CFStringRef table) {
    if (!key) return nullptr;
    QString k = qtb::toQString(key);
    QString t = table ? qtb::toQString(table) : QString("Localizable");
    if (!t.contains('/')) {
        for (const StringTable& st : tablesFor(t)) {
            auto it = st.find(k);
            if (it != st.end()) return qtb::fromQString(it->second);
        }
    }
    if (value && CFStringGetLength(value) > 0) return qtb::fromQString(qtb::toQString(value));
    return qtb::fromQString(k);
}

CFStringRef CFBundleCopyLocalizedString(CFBundleRef bundle, CFStringRef key, CFStringRef value,
                                        CFStringRef tableName) {
    if (!bundle) {
        if (!key) return nullptr;
        return qtb::fromQString(qtb::toQString(value && CFStringGetLength(value) ? value : key));
    }
    return platformCopyLocalizedString(key, value, tableName);
}
