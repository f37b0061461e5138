// What the session's status replies and stops do to the main window's
// toolbar, menus and notices.

#include "ui/shell/Dialogs.h"
#include "ui/shell/KRM2200.h"

#include <QAction>

void KRM2200::connectSession()
{
    InstrumentSession &s = *m_session;
    auto button = [this](const char *key) { return toolButton(QString::fromLatin1(key)); };
    connect(&s, &InstrumentSession::controlStopped, this, &KRM2200::controlStopped);
    // Idle: nothing may stay greyed from the run.
    connect(&s, &InstrumentSession::idleReported, this,
            [button] { button("ACLR")->setEnabled(false); });
    connect(&s, &InstrumentSession::liveDataResumed, this,
            [this] { state().graph.readflg = false; });
    connect(&s, &InstrumentSession::runRequested, this, [this] {
        GraphState &graph = state().graph;
        graph.readEnabled = false;
        graph.printEnabled = false;
        graph.goEnabled = false;
    });
    connect(&s, &InstrumentSession::runReported, this, [this, button] {
        state().graph.stopEnabled = true;
        state().graph.goEnabled = false;
        button("STOP")->setEnabled(true);
        menuItem(QStringLiteral("con_pattern"))->setEnabled(false);
        Q_EMIT controlStateChanged();
    });
    connect(&s, &InstrumentSession::alarmRaised, this, [this, button] {
        button("ACLR")->setEnabled(true);
        // The memo question waits until the operator has acknowledged the
        // alarm window: asked now, it would stand over the alarm's text.
        if (showAlarm)
            showAlarm();
        else
            m_session->log().askHeldMemo();
    });
    // Told without blocking, like the link's notices: the log goes on.
    connect(&s, &InstrumentSession::patternRunEnded, this, [this] {
        Dialogs::instance().showNotice(this, QStringLiteral("patternRunEnded"),
                                       patternRunEndedText(), QStringLiteral("確認"));
    });
    // It tells of the run before: a new one takes it away, so that it never
    // stands over a run it does not speak of.
    connect(&s, &InstrumentSession::runRequested, this,
            [] { Dialogs::instance().closeNotice(QStringLiteral("patternRunEnded")); });
}

QString KRM2200::patternRunEndedText()
{
    return InstrumentSession::patternRunEndedText();
}

void KRM2200::controlStopped()
{
    state().fix.patternRun = FixControlState::PatternRun::None;
    toolButton(QStringLiteral("STOP"))->setEnabled(false);
    state().graph.stopEnabled = false;
    state().graph.goEnabled = true;
    for (const char *name : {"con", "con_pattern"})
        if (QAction *item = menuItem(QLatin1String(name)))
            item->setEnabled(true);
    Q_EMIT controlStateChanged();
}
