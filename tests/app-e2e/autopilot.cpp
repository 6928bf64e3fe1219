// A scripted user for the real application, preloaded into it (LD_PRELOAD) by the end-to-end
// tests and by the demo when there is no display. It watches the application's windows,
// writes every change of what they show to a log, takes a screenshot of each new state, and
// presses the buttons its script names, in order, as a person would.
//
// Environment:
//   QUILLON_AUTOPILOT_LOG     file the observed states are appended to (one line each)
//   QUILLON_AUTOPILOT_SHOTS   folder for the screenshots (none when unset)
//   QUILLON_AUTOPILOT_SCRIPT  steps separated by ';'. A step is a button title, optionally
//                             followed by '@' and the least value the progress bar must
//                             show first, or by '+' and a pause in milliseconds after the
//                             button appeared ("Start;Stop@300;OK", "Quit+500"). A step
//                             "menu:TITLE" chooses the menu command of that title instead.
//   QUILLON_AUTOPILOT_PACE    milliseconds a button must have been visible before it is
//                             pressed (default 400), so each state is seen and captured.
// A normal end of the application is logged as "exit"; an immediate one leaves no line.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Step {
    QString title;
    int minBar = -1;
    int pauseMs = 0;
};

std::vector<Step> gSteps;
std::size_t gNext = 0;
FILE* gLog = nullptr;
QString gShots;
int gShotCount = 0;
int gPace = 400;
QString gLastState;
QString gLastShape;  // the state without its numbers: a new one is a new step worth a picture
QElapsedTimer gClock;
QAbstractButton* gCandidate = nullptr;
qint64 gCandidateSince = 0;

// Keeps the autopilot out of the programs the application starts (the download tool), while
// other preloads (a time-scaling one) stay. Done once the application starts, so that
// wrappers in front of it (timeout, env) pass it on.
void leaveChildrenAlone() {
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload)
        return;
    std::string kept, all = preload;
    std::size_t pos = 0;
    while (pos <= all.size()) {
        std::size_t end = all.find_first_of(": ", pos);
        if (end == std::string::npos)
            end = all.size();
        std::string item = all.substr(pos, end - pos);
        if (!item.empty() && item.find("autopilot") == std::string::npos)
            kept += (kept.empty() ? "" : ":") + item;
        pos = end + 1;
    }
    setenv("LD_PRELOAD", kept.c_str(), 1);
}

QString describe(QWidget* window) {
    QStringList parts;
    parts << "window '" + window->windowTitle() + "'";
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->window() != window)
            continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (!label->text().isEmpty())
                parts << "'" + label->text().simplified() + "'";
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            parts << "[" + button->text() + (button->isEnabled() ? "]" : "]-");
        } else if (auto* bar = qobject_cast<QProgressBar*>(w)) {
            parts << QString("bar=%1/%2").arg(bar->value()).arg(bar->maximum());
        }
    }
    return parts.join(" | ");
}

std::vector<QWidget*> visibleWindows() {
    std::vector<QWidget*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->isWindow())
            windows.push_back(w);
    return windows;
}

void record(const QString& state, const std::vector<QWidget*>& windows) {
    if (gLog) {
        std::fprintf(gLog, "%lld %s\n", static_cast<long long>(gClock.elapsed()),
                     state.toUtf8().constData());
        std::fflush(gLog);
    }
    QString shape = state;
    shape.remove(QRegularExpression("[0-9]"));
    if (gShots.isEmpty() || windows.empty() || shape == gLastShape)
        return;
    gLastShape = shape;
    QString slug = windows.back()->windowTitle();
    slug.replace(QRegularExpression("[^A-Za-z0-9]+"), "-");
    QString name = QString("%1/%2-%3.png").arg(gShots).arg(++gShotCount, 2, 10, QChar('0')).arg(slug);
    windows.back()->grab().save(name);
}

QProgressBar* anyBar(const std::vector<QWidget*>& windows) {
    for (QWidget* w : windows)
        for (QProgressBar* bar : w->findChildren<QProgressBar*>())
            if (bar->isVisibleTo(w))
                return bar;
    return nullptr;
}

void poll() {
    // A fresh single-shot timer each time, so the next look also happens inside the nested
    // event loops that a press may start.
    QTimer::singleShot(50, poll);
    std::vector<QWidget*> windows = visibleWindows();
    QStringList states;
    for (QWidget* w : windows)
        states << describe(w);
    QString state = states.join(" || ");
    if (state != gLastState) {
        gLastState = state;
        record(state.isEmpty() ? "(no window)" : state, windows);
    }
    if (gNext >= gSteps.size())
        return;
    const Step& step = gSteps[gNext];
    if (step.title.startsWith("menu:")) {
        QString wanted = step.title.mid(5);
        if (gClock.elapsed() - gCandidateSince < gPace || windows.empty())
            return;
        for (QWidget* w : QApplication::allWidgets())
            for (QAction* a : w->actions())
                if (QString(a->text()).remove('&') == wanted) {
                    ++gNext;
                    gCandidateSince = gClock.elapsed();
                    if (gLog) {
                        std::fprintf(gLog, "%lld choose '%s'\n",
                                     static_cast<long long>(gClock.elapsed()),
                                     wanted.toUtf8().constData());
                        std::fflush(gLog);
                    }
                    a->trigger();
                    return;
                }
        return;
    }
    QAbstractButton* found = nullptr;
    for (QWidget* w : windows)
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
            if (b->isVisibleTo(w) && b->isEnabled() && b->text() == step.title)
                found = b;
    if (found && step.minBar >= 0) {
        QProgressBar* bar = anyBar(windows);
        if (!bar || bar->value() < step.minBar)
            found = nullptr;
    }
    if (found != gCandidate) {
        gCandidate = found;
        gCandidateSince = gClock.elapsed();
    }
    if (!found || gClock.elapsed() - gCandidateSince < gPace + step.pauseMs)
        return;
    ++gNext;
    gCandidate = nullptr;
    if (gLog) {
        std::fprintf(gLog, "%lld press '%s'\n", static_cast<long long>(gClock.elapsed()),
                     step.title.toUtf8().constData());
        std::fflush(gLog);
    }
    found->click();
}

// A normal end of the process (main returning, exit()) is logged; an immediate end
// (_exit, as ExitToShell does) is not.
struct NoteExit {
    ~NoteExit() {
        if (gLog) {
            std::fprintf(gLog, "%lld exit\n", static_cast<long long>(gClock.elapsed()));
            std::fflush(gLog);
        }
    }
} gNoteExit;

void start() {
    leaveChildrenAlone();
    gClock.start();
    if (const char* log = std::getenv("QUILLON_AUTOPILOT_LOG"))
        gLog = std::fopen(log, "a");
    if (const char* shots = std::getenv("QUILLON_AUTOPILOT_SHOTS")) {
        gShots = QString::fromLocal8Bit(shots);
        QDir().mkpath(gShots);
    }
    if (const char* pace = std::getenv("QUILLON_AUTOPILOT_PACE"))
        gPace = std::atoi(pace);
    if (const char* script = std::getenv("QUILLON_AUTOPILOT_SCRIPT")) {
        for (const QString& part : QString::fromUtf8(script).split(';', Qt::SkipEmptyParts)) {
            Step step;
            QString title = part;
            int at = title.lastIndexOf('@');
            int plus = title.lastIndexOf('+');
            if (at > 0) {
                step.minBar = title.mid(at + 1).toInt();
                title = title.left(at);
            } else if (plus > 0) {
                step.pauseMs = title.mid(plus + 1).toInt();
                title = title.left(plus);
            }
            step.title = title;
            gSteps.push_back(step);
        }
    }
    QTimer::singleShot(0, poll);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(start)
