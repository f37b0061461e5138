#include "ui/logging/CurrentValuesWindow.h"

#include "core/config/Parameter.h"
#include "core/session/InstrumentSession.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/logging/frmCurrentValues.h"
#include "ui/shell/LinkWatchWindows.h"
#include "ui/shell/WindowHost.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTimer>

#include <memory>

namespace {

const QString kName = QStringLiteral("frmCurrentValues");

// When the samples last came and when the polling last ended: what tells
// the window whether its readings are current.
struct FeedTimes {
    QDateTime lastReading;
    QDateTime pollingEnded;
};

CurrentValues currentValues(WindowHost &w, const FeedTimes &times)
{
    CurrentValues::Feed feed;
    feed.polling = w.session().polling() || w.logRecording();
    // The port reopens at every query and looks healthy until it times out
    // again: the instrument is back only when the link watch says so.
    auto *watch =
        w.hostWidget()->findChild<LinkWatchWindows *>(QString(), Qt::FindDirectChildrenOnly);
    feed.linkLost = feed.polling && (!w.session().linkOk() || (watch && watch->watch().lost()));
    feed.lastReading = times.lastReading;
    feed.pollingEnded = times.pollingEnded;
    feed.now = QDateTime::currentDateTime();
    CurrentValues values = CurrentValues::from(param(), w.state().statuslog, w.panelText(5), feed);
    const RunProgress &run = w.session().runProgress();
    if (run.active() && run.step() >= 0) {
        values.runPosition = run.positionText();
        values.runLoop = run.loopText();
        values.runStepLeft = run.stepLeftText(feed.now);
        values.runEnd = run.endText(feed.now);
    }
    return values;
}

} // namespace

void registerCurrentValuesWindow(WindowHost &w)
{
    auto times = std::make_shared<FeedTimes>();
    auto refresh = [&w, times] {
        if (auto *window = qobject_cast<frmCurrentValues *>(w.loadedWindow(kName)))
            window->showValues(currentValues(w, *times));
    };

    w.registerWindow(kName, [times](WindowHost &main) -> QWidget * {
        auto *window = new frmCurrentValues;
        window->showValues(currentValues(main, *times));
        return window;
    });

    if (QAction *view = w.menuItem(QStringLiteral("view")); view && view->menu()) {
        QAction *entry = view->menu()->addAction(QStringLiteral("現在値(&N)"));
        entry->setObjectName(QStringLiteral("view_current"));
        QObject::connect(entry, &QAction::triggered, w.hostWidget(), [&w] { w.openWindow(kName); });
    }

    QObject::connect(&w.session(), &InstrumentSession::statusApplied, w.hostWidget(),
                     [times, refresh](const StatusReport &report) {
                         if (report.hasStatusLine() && report.temps.size() >= 4)
                             times->lastReading = QDateTime::currentDateTime();
                         refresh();
                     });
    QObject::connect(&w.session(), &InstrumentSession::linkStateChanged, w.hostWidget(), refresh);
    QObject::connect(&w.session(), &InstrumentSession::runProgressChanged, w.hostWidget(), refresh);

    const LOG_Handling &log = LoggingWindows::of(w).log();
    QObject::connect(&log, &LOG_Handling::logStopped, w.hostWidget(), [times, refresh] {
        times->pollingEnded = QDateTime::currentDateTime();
        refresh();
    });
    // Every log opens it, leaving the window the user works in active.
    QObject::connect(&log, &LOG_Handling::logStarted, w.hostWidget(), [&w, times, refresh] {
        times->lastReading = QDateTime();
        auto *area = w.hostWidget()->findChild<QMdiArea *>();
        QMdiSubWindow *active = area ? area->activeSubWindow() : nullptr;
        w.openWindow(kName);
        if (active && area)
            area->setActiveSubWindow(active);
        refresh();
    });
}
