#include "ui/settings/StatusWindows.h"

#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"
#include "core/session/InstrumentSession.h"
#include "ui/settings/frmSenlog.h"
#include "ui/settings/frmStatus.h"
#include "ui/settings/frmStatuslog.h"
#include "ui/shell/WindowHost.h"

#include <QDateTime>
#include <QPointer>
#include <QPushButton>

namespace {

const QString kStatus = QStringLiteral("frmStatus");
const QString kStatuslog = QStringLiteral("frmStatuslog");
const QString kSenlog = QStringLiteral("frmSenlog");
const QString kAlarm = QStringLiteral("frmAlarm");

template <typename Window> Window *loaded(const WindowHost &w, const QString &name)
{
    return qobject_cast<Window *>(w.loadedWindow(name));
}

// "更新": the same status query as the menu's, then the window comes forward.
void refreshStatus(WindowHost &w, const QPointer<frmStatus> &window)
{
    w.session().askStatus(0.05, true);
    // The user may have closed the window during the wait.
    if (window)
        w.ShowChild(window);
}

void registerStatus(WindowHost &w)
{
    w.registerWindow(
        kStatus,
        [](WindowHost &main) -> QWidget * {
            auto *window = new frmStatus(main.state().status);
            QObject::connect(window, &frmStatus::updateRequested, main.hostWidget(),
                             [&main, window] { refreshStatus(main, window); });
            QObject::connect(window, &frmStatus::closeRequested, main.hostWidget(),
                             [&main] { main.unloadWindow(kStatus); });
            return window;
        },
        QSize(frmStatus::WidthTwips, frmStatus::HeightTwips));

    // A status-window reply fills the labels, loaded or not.
    QObject::connect(&w.session(), &InstrumentSession::status2Received, w.hostWidget(),
                     [&w](const Status2Report &reply) {
                         StatusWindowState &state = w.state().status;
                         state.values = StatusLabels::fromReply(reply);
                         state.filled = true;
                         if (auto *window = loaded<frmStatus>(w, kStatus))
                             window->showState();
                     });
}

void registerStatuslog(WindowHost &w)
{
    w.registerWindow(
        kStatuslog,
        [](WindowHost &main) -> QWidget * {
            auto *window = new frmStatuslog(main.state().statuslog);
            window->showRun(main.session().runProgress(), QDateTime::currentDateTime());
            QObject::connect(window, &frmStatuslog::alarmRequested, main.hostWidget(), [&main] {
                // The alarm window shows the code last set, without blocking.
                if (main.showAlarm)
                    main.showAlarm();
                else if (main.isRegistered(kAlarm))
                    main.openWindow(kAlarm);
            });
            return window;
        },
        QSize(frmStatuslog::WidthTwips, frmStatuslog::HeightTwips));

    // The session applies a status-poll reply to the state; the open window
    // then shows it. An open status window follows the poll as well: kept as
    // the last "更新" left it, it would go on showing a state the instrument
    // has left, an alarm's above all.
    QObject::connect(&w.session(), &InstrumentSession::statusApplied, w.hostWidget(),
                     [&w](const StatusReport &report) {
                         refreshStatuslog(w);
                         auto *status = loaded<frmStatus>(w, kStatus);
                         if (!status || !report.hasStatusLine() || report.temps.size() < 4)
                             return;
                         StatusWindowState &state = w.state().status;
                         Status2Report reply{report.status, report.temps,
                                             Reception_Show::statusText(report.code())};
                         // A code without a text leaves the status text as it was.
                         if (reply.text.isNull())
                             reply.text = state.values[0];
                         state.values = StatusLabels::fromReply(reply);
                         state.filled = true;
                         status->showState();
                     });
    // A run's start and end come with the reply; its lines follow at once.
    QObject::connect(&w.session(), &InstrumentSession::runProgressChanged, w.hostWidget(),
                     [&w] { refreshStatuslog(w); });
}

void registerSenlog(WindowHost &w)
{
    w.registerWindow(
        kSenlog,
        [](WindowHost &main) -> QWidget * {
            SensorLogState &state = main.state().senlog;
            state.load(param());
            return new frmSenlog(state);
        },
        QSize(frmSenlog::WidthTwips, frmSenlog::HeightTwips));

    w.clearSensorLog = [&w] {
        w.state().senlog.clear();
        if (auto *window = loaded<frmSenlog>(w, kSenlog))
            window->showState();
    };
    w.echoSensorLog = [&w](int sampleNo, const QStringList &temps) {
        w.state().senlog.append(param(), sampleNo, temps);
        if (auto *window = loaded<frmSenlog>(w, kSenlog))
            window->showState();
    };
}

} // namespace

void refreshStatuslog(WindowHost &w)
{
    if (auto *window = loaded<frmStatuslog>(w, kStatuslog)) {
        window->showState();
        window->showRun(w.session().runProgress(), QDateTime::currentDateTime());
    }
}

void registerStatusWindows(WindowHost &w)
{
    registerStatus(w);
    registerStatuslog(w);
    registerSenlog(w);
}
