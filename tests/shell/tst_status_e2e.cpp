// What a status-poll reply from the instrument does to the main window:
// toolbar and menu state by status code, the stored sample, the step's
// target line, the status-log labels and the stop on an alarm.

#include "ShellFixture.h"
#include "link/Reception_Show.h"
#include "logging/frmGraph.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// One status poll as the timer sends it; returns once the reply was applied.
bool poll(KRM2200 &w)
{
    w.parsers().resetStatus();
    w.link().SendCommand(QStringLiteral("STATUS"), QStringLiteral("STATUS"), 0.05);
    return QTest::qWaitFor([&] { return w.parsers().StatusParsed > 0; }, 5000);
}

} // namespace

class tst_StatusE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void codesDriveToolbarAndMenus();
    void alarmStopsTheLogOnce();
    void newStepSetsTheTargetLine();
    void controlsComeBackAtOnce_data();
    void controlsComeBackAtOnce();
};

void tst_StatusE2E::codesDriveToolbarAndMenus()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    QAction *stop = w->toolButton(QStringLiteral("STOP"));
    QAction *conPattern = w->menuItem(QStringLiteral("con_pattern"));

    f.sim->withEngine(
        [](SimEngine &e) { return e.execute(QStringLiteral("RUN 0 0 0 +040.00 1")); });
    QVERIFY(poll(*w));
    QVERIFY(stop->isEnabled());
    QVERIFY(!conPattern->isEnabled());
    QVERIFY(w->state().graph.stopEnabled);
    QVERIFY(!w->state().graph.goEnabled);
    QCOMPARE(w->state().statuslog.nj_l, QStringLiteral("動作状態"));
    QCOMPARE(param().SenValues[0].size(), 3);
    QVERIFY(param().SenValues[0].at(0).startsWith(QLatin1Char('+')));

    f.sim->withEngine([](SimEngine &e) { return e.execute(QStringLiteral("STOP")); });
    QVERIFY(poll(*w));
    QVERIFY(!stop->isEnabled());
    QVERIFY(!w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(conPattern->isEnabled());
    QVERIFY(w->state().graph.goEnabled);
    QCOMPARE(w->state().statuslog.nj_l, QStringLiteral("平常状態"));

    // A code the table does not know leaves the status text as it was.
    f.sim->withEngine([](SimEngine &e) {
        e.setStatusOverride(QStringLiteral("77"));
        return 0;
    });
    QVERIFY(poll(*w));
    QCOMPARE(w->state().statuslog.nj_l, QStringLiteral("平常状態"));
}

void tst_StatusE2E::alarmStopsTheLogOnce()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    // The log closes, the alarm window opens, then the memo is asked.
    QStringList events;
    w->stopLog = [&] { events << QStringLiteral("stop asking"); };
    w->stopLogHoldingMemo = [&] { events << QStringLiteral("stop"); };
    w->showAlarm = [&] { events << QStringLiteral("alarm"); };
    w->askHeldMemo = [&] { events << QStringLiteral("memo"); };
    const QStringList once{QStringLiteral("stop"), QStringLiteral("alarm"), QStringLiteral("memo")};
    w->Log_Timer->start(60000);

    f.sim->withEngine([](SimEngine &e) {
        e.raiseAlarm(QStringLiteral("001"));
        return 0;
    });
    QVERIFY(poll(*w));
    // Characters after the processed reply do not raise it again.
    SerialLink::WaitSeconds(0.05);
    QVERIFY(w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(!w->Log_Timer->isActive());
    QCOMPARE(events, once);
    QCOMPARE(w->state().alarm.code, QStringLiteral("001"));
    QVERIFY(w->state().statuslog.alarmVisible);
    QVERIFY(w->state().statuslog.nj_red);
    QCOMPARE(w->state().statuslog.nj_l, QStringLiteral("アラーム状態"));

    w->Toolbar1_ButtonClick(QStringLiteral("ACLR"));
    QVERIFY(!w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(!w->state().statuslog.alarmVisible);
    QVERIFY(poll(*w));
    QVERIFY(!w->state().statuslog.nj_red);
    QCOMPARE(events, once);
}

void tst_StatusE2E::newStepSetsTheTargetLine()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP0"),
                   QStringLiteral("0 0 0 +040.00 00:00:30"));
    int redraws = 0;
    w->redrawGraph = [&] { ++redraws; };

    // The first sample of a log only records the step.
    QVERIFY(poll(*w));
    QVERIFY(param().TargetLineText.isEmpty());
    QCOMPARE(w->state().statuslog.js_l, QStringLiteral("0"));

    // Later samples draw the target of a step that differs from the last one.
    w->state().statuslog.js_l = QStringLiteral("5");
    param().LogCount = 1;
    QVERIFY(poll(*w));
    QCOMPARE(param().TargetLineText, QStringLiteral("+040.00"));
    QCOMPARE(redraws, 1);
    QCOMPARE(param().SenValues[3].size(), 4);
    QVERIFY(!param().SenValues[3].at(1).isEmpty());
}

// After a run ends by itself, is cleared or stopped, every control entry and
// an open graph window's buttons follow at once, with no log ticking.
void tst_StatusE2E::controlsComeBackAtOnce_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("run ended by itself") << "idle status";
    QTest::newRow("toolbar ACLR") << "ACLR";
    QTest::newRow("toolbar STOP") << "STOP";
}

void tst_StatusE2E::controlsComeBackAtOnce()
{
    QFETCH(QString, how);
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    auto *graph = qobject_cast<frmGraph *>(w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    // A pattern run as the pattern window leaves it.
    f.sim->withEngine(
        [](SimEngine &e) { return e.execute(QStringLiteral("RUN 0 0 0 +040.00 1")); });
    QVERIFY(poll(*w));
    w->menuItem(QStringLiteral("con"))->setEnabled(false);
    QVERIFY(graph->Stop_c->isEnabled());
    QVERIFY(!graph->C_go->isEnabled());

    if (how == QLatin1String("idle status")) {
        f.sim->withEngine([](SimEngine &e) { return e.execute(QStringLiteral("STOP")); });
        QVERIFY(poll(*w));
    } else {
        w->Toolbar1_ButtonClick(how);
    }
    QVERIFY(!w->Log_Timer->isActive());
    QVERIFY(w->menuItem(QStringLiteral("con"))->isEnabled());
    QVERIFY(w->menuItem(QStringLiteral("con_pattern"))->isEnabled());
    QVERIFY(!w->toolButton(QStringLiteral("STOP"))->isEnabled());
    QVERIFY(!graph->Stop_c->isEnabled());
    QVERIFY(graph->C_go->isEnabled());
}

QTEST_MAIN(tst_StatusE2E)
#include "tst_status_e2e.moc"
