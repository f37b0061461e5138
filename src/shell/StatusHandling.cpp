// What an accepted status-poll reply does to the rest of the program.

#include "config/Ini_Operation.h"
#include "config/Parameter.h"
#include "link/SerialLink.h"
#include "logging/LogSummary.h"
#include "session/StatusEffects.h"
#include "shell/Dialogs.h"
#include "shell/KRM2200.h"

#include <QAction>
#include <QDateTime>
#include <QTimer>

void KRM2200::applyStatus(const StatusReport &report)
{
    Parameter &p = param();
    // The parser hands over only replies with a valid status line and four
    // readings; anything less is ignored as a whole.
    if (!report.hasStatusLine() || report.temps.size() < 4)
        return;
    const QString code = report.code();

    auto button = [this](const char *key) { return toolButton(QString::fromLatin1(key)); };
    // Runs are refused while this holds (until the next reply or ACLR).
    m_state.alarm.standing = code == QLatin1String("04");
    using PatternRun = FixControlState::PatternRun;
    const PatternRun patternRun = m_state.fix.patternRun;
    if (code == QLatin1String("00")) {
        // Idle, whether the run ended by itself or was stopped: nothing may
        // stay greyed from the run.
        button("ACLR")->setEnabled(false);
        controlStopped();
        // A pattern run nobody here stopped has ended on the instrument (its
        // last step done, or the instrument restarted): the operator is told.
        if (patternRun == PatternRun::Running)
            patternRunEnded();
        // An idle reply to a query sent before "GO" says nothing of that run:
        // it is still awaited.
        else if (patternRun == PatternRun::Sent)
            m_state.fix.patternRun = PatternRun::Sent;
    } else if (code == QLatin1String("02")) {
        if (patternRun == PatternRun::Sent)
            m_state.fix.patternRun = PatternRun::Running;
        button("STOP")->setEnabled(true);
        m_state.graph.stopEnabled = true;
        menuItem(QStringLiteral("con_pattern"))->setEnabled(false);
        m_state.graph.goEnabled = false;
        Q_EMIT controlStateChanged();
    } else if (code == QLatin1String("04")) {
        button("ACLR")->setEnabled(true);
        // The alarm window tells how this run ended.
        m_state.fix.patternRun = PatternRun::None;
    }

    const int n = p.LogCount;
    StatusEffects::storeSample(p, n, report);
    if (StatusEffects::updateTarget(p, m_state, ini(), n, report) && redrawGraph)
        redrawGraph();

    if (plotSample)
        plotSample(n - p.GraphPageStart, n);
    if (n > 0 && n % 600 == 0 && clearSensorLog)
        clearSensorLog();
    if (writeLogLine)
        writeLogLine(report);

    StatusEffects::updateLabels(m_state, report);
    if (code != QLatin1String("04"))
        return;
    // Stamped, so the report of the log it stops can tell when it came.
    m_link->noteSystemLog(LogSummary::alarmNote(report.status.at(3)), QDateTime::currentDateTime());
    Log_Timer->stop();
    // The operator sees the alarm first; the log's memo question follows.
    if (stopLogHoldingMemo)
        stopLogHoldingMemo();
    else if (stopLog)
        stopLog();
    m_state.alarm.code = report.status.at(3);
    m_state.statuslog.alarmVisible = true;
    // The memo question waits until the operator has acknowledged the alarm
    // window: asked now, it would stand over the alarm's text.
    if (showAlarm)
        showAlarm();
    else if (askHeldMemo)
        askHeldMemo();
}

QString KRM2200::patternRunEndedText()
{
    return QStringLiteral("パターン運転が終了しました。（本体が待機状態になりました）");
}

void KRM2200::patternRunEnded()
{
    m_link->noteSystemLog(patternRunEndedText(), QDateTime::currentDateTime());
    // Told without blocking, like the link's notices: the log goes on.
    Dialogs::instance().showNotice(this, QStringLiteral("patternRunEnded"), patternRunEndedText(),
                                   QStringLiteral("確認"));
}

void KRM2200::controlStopped()
{
    m_state.fix.patternRun = FixControlState::PatternRun::None;
    toolButton(QStringLiteral("STOP"))->setEnabled(false);
    m_state.graph.stopEnabled = false;
    m_state.graph.goEnabled = true;
    for (const char *name : {"con", "con_pattern"})
        if (QAction *item = menuItem(QLatin1String(name)))
            item->setEnabled(true);
    Q_EMIT controlStateChanged();
}
