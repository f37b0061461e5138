// The pattern-run and step-view windows in the main window, against the
// simulated instrument: the list of registered patterns, the step view
// following the choice, and a whole pattern run at an accelerated pace.

#include "shell/ShellFixture.h"
#include "ui/control/PatternPlanView.h"
#include "ui/control/frmFix_control.h"
#include "ui/control/frmPattern_control.h"
#include "ui/control/frmStepview.h"
#include "ui/logging/frmCurrentValues.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString kRun = QStringLiteral("frmPattern_control");
const QString kView = QStringLiteral("frmStepview");

// Patterns 0, 3 and 5 in the configuration file as the editor writes them;
// the steps of pattern 3 use PT100B, which the fixture's file marks unused.
void writePatterns()
{
    Ini_Operation &cfg = ini();
    cfg.IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN3"),
                 QStringLiteral("2 1 30 32"));
    cfg.IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN5"),
                 QStringLiteral("0 0 50 50"));
    cfg.IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP30"),
                 QStringLiteral("0 1 0 +045.00 00:02:00"));
    cfg.IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP31"),
                 QStringLiteral("1 1 0 +060.00 00:01:30"));
    cfg.IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP32"),
                 QStringLiteral("0 1 0 +025.00 00:00:10"));
}

void saveShot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("KRM_SHOTS");
    if (!dir.isEmpty())
        QVERIFY(widget->grab().save(dir + QLatin1Char('/') + name, "PNG"));
}

} // namespace

class tst_PatternRunE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listAndStepView();
    void patternRunsToTheEnd();
    void runningLogIsKept();
    void restartedInstrumentEndsTheRun();
    void targetFollowsTheRun_data();
    void targetFollowsTheRun();
};

void tst_PatternRunE2E::listAndStepView()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    writePatterns();
    w->menuItem(QStringLiteral("con_pattern"))->trigger();
    auto *run = qobject_cast<frmPattern_control *>(w->loadedWindow(kRun));
    auto *view = qobject_cast<frmStepview *>(w->loadedWindow(kView));
    QVERIFY(run && view);
    QStringList listed;
    for (int i = 0; i < run->Com_pa->count(); ++i)
        listed.append(run->Com_pa->itemText(i));
    QCOMPARE(listed, (QStringList{"0", "3", "5"}));

    // Nothing chosen: nothing is sent, the window stays and says why.
    f.sim->clearReceivedCommands();
    run->C_jikkou->click();
    QVERIFY(f.commands().isEmpty());
    QVERIFY(w->isLoaded(kRun));
    QCOMPARE(f.dialogs->lastMessage().text, QStringLiteral("パターンを選択してください。"));
    QCOMPARE(run->focusWidget(), run->Com_pa);

    run->Com_pa->setCurrentIndex(1);
    QCOMPARE(view->view().view_first, qint16(30));
    QCOMPARE(view->stepno_l.at(0)->text(), QStringLiteral("30"));
    QCOMPARE(view->Jikkou_l.at(0)->text(), QStringLiteral("○"));
    QCOMPARE(view->Jikkou_l.at(1)->text(), QStringLiteral("×"));
    QCOMPARE(view->Combo_s.at(1)->currentText(), QStringLiteral("PT100B"));
    QCOMPARE(view->mond_t.at(1)->text(), QStringLiteral("+060.00"));
    QCOMPARE(view->hoji_t.at(1)->text(), QStringLiteral("00:01:30"));
    QCOMPARE(view->mond_t.at(3)->text(), QStringLiteral("40"));
    QVERIFY(!view->Next_c->isEnabled() && !view->Ahead_c->isEnabled());
    // Its plan before it runs: step 31 ("×") holds nothing, two loops.
    const QString plan = QStringLiteral("ステップ数 3　ループ 2 回　保持時間の合計 0:04:20");
    QCOMPARE(run->Plan_l->text(), plan);
    QCOMPARE(run->Plan->accessibleDescription(), plan);
    QCOMPARE(run->Plan->plan().steps().size(), 6);
    // The window fits what it shows, page buttons included.
    for (QWidget *win : {static_cast<QWidget *>(run), static_cast<QWidget *>(view)}) {
        QVERIFY(win->width() >= win->minimumSizeHint().width());
        QVERIFY(win->height() >= win->minimumSizeHint().height());
    }
    QVERIFY(view->Next_c->isVisible());
    saveShot(w, QStringLiteral("pattern_run_windows.png"));

    // Closing either window closes both.
    QVERIFY(w->unloadWindow(kView));
    QVERIFY(!w->isLoaded(kRun));
    w->menuItem(QStringLiteral("con_pattern"))->trigger();
    QVERIFY(w->isLoaded(kView));
    QVERIFY(w->unloadWindow(kRun));
    QVERIFY(!w->isLoaded(kView));
}

void tst_PatternRunE2E::patternRunsToTheEnd()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    // Two steps of three minutes each, model time sixty times as fast: each
    // step lasts three seconds, long enough for the one-second poll to see it.
    const QString first = QStringLiteral("0 0 0 +040.00 00:03:00");
    const QString second = QStringLiteral("0 0 0 +030.00 00:03:00");
    ini().IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN2"),
                   QStringLiteral("1 0 20 21"));
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP20"), first);
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP21"), second);
    f.sim->withEngine([&](SimEngine &e) {
        e.setTimeScale(60);
        return e.setPatternRecord(2, QStringLiteral("1 0 20 21")) && e.setStepRecord(20, first) &&
               e.setStepRecord(21, second);
    });

    f.presetLiveLog(w);
    const Parameter &p = param();
    int logStarts = 0;
    bool goBeforeLog = false;
    w->startLog = [&, start = w->startLog] {
        ++logStarts;
        goBeforeLog = f.commands().contains(QStringLiteral("GO 2"));
        start();
    };
    // The target line each time it changes.
    QStringList targets;
    QObject::connect(&w->session(), &InstrumentSession::targetChanged, w, [&] {
        if (!p.TargetLineText.isEmpty() && targets.value(targets.size() - 1) != p.TargetLineText)
            targets.append(p.TargetLineText);
    });

    w->menuItem(QStringLiteral("con_pattern"))->trigger();
    auto *run = qobject_cast<frmPattern_control *>(w->loadedWindow(kRun));
    QVERIFY(run);
    run->Com_pa->setCurrentIndex(run->Com_pa->findText(QStringLiteral("2")));
    f.sim->clearReceivedCommands();
    run->C_jikkou->click();

    QCOMPARE(logStarts, 1);
    QVERIFY(!goBeforeLog);
    QVERIFY(f.commands().contains(QStringLiteral("GO 2")));
    QVERIFY(!w->menuItem(QStringLiteral("con"))->isEnabled());
    const GraphState &graph = w->state().graph;
    QVERIFY(!graph.goEnabled && !graph.readEnabled && !graph.printEnabled);
    QVERIFY(!w->isLoaded(kRun) && !w->isLoaded(kView));
    QVERIFY(w->logRecording());
    QVERIFY(w->isLoaded(QStringLiteral("frmGraph")));

    QTRY_VERIFY_WITH_TIMEOUT(w->state().statuslog.js_l == QLatin1String("21"), 30000);
    // 現在値 follows the run against its plan while it lasts.
    auto *values =
        qobject_cast<frmCurrentValues *>(w->loadedWindow(QStringLiteral("frmCurrentValues")));
    QVERIFY(values);
    QCOMPARE(values->runPosition_l->text(), QStringLiteral("ステップ 21（2 / 2）"));
    QCOMPARE(values->runLoop_l->text(), QStringLiteral("ループ 1 / 1"));
    saveShot(w, QStringLiteral("pattern_run_ahead.png"));
    QVERIFY(values->runEnd_l->text().contains(QLatin1Char(':')));
    QTRY_VERIFY_WITH_TIMEOUT(w->state().statuslog.nj_l == QStringLiteral("平常状態"), 30000);
    QVERIFY(!values->runPosition_l->isVisibleTo(values));
    QCOMPARE(targets.mid(0, 2), (QStringList{"+040.00", "+030.00"}));
    QCOMPARE(logStarts, 1);
    QCOMPARE(f.commands().count(QStringLiteral("GO 2")), 1);
    QVERIFY(w->menuItem(QStringLiteral("con_pattern"))->isEnabled());
    saveShot(w, QStringLiteral("pattern_run_graph.png"));
}

void tst_PatternRunE2E::runningLogIsKept()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    param().LogInterval = 1;
    w->SetLogdirname(f.appDir());
    w->startLog();
    QVERIFY(w->logRecording());
    int logStarts = 0;
    w->startLog = [&, start = w->startLog] {
        ++logStarts;
        start();
    };

    w->menuItem(QStringLiteral("con_pattern"))->trigger();
    auto *run = qobject_cast<frmPattern_control *>(w->loadedWindow(kRun));
    QVERIFY(run);
    run->Com_pa->setCurrentIndex(0);
    run->C_jikkou->click();
    QVERIFY(f.commands().contains(QStringLiteral("GO 0")));
    QCOMPARE(logStarts, 0);
    QVERIFY(w->logRecording());
}

// The instrument restarts during a pattern run: it answers again, idle. The
// operator is told without the log being held up, and the system log keeps
// it; a stop from the program tells nothing.
void tst_PatternRunE2E::restartedInstrumentEndsTheRun()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    const QString sysLog = f.home.filePath(QStringLiteral("system.txt"));
    QVERIFY(w->session().link().openSystemLog(sysLog));
    const QString step = QStringLiteral("0 0 0 +040.00 01:00:00");
    ini().IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN2"),
                   QStringLiteral("1 0 20 20"));
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP20"), step);
    f.sim->withEngine([&](SimEngine &e) {
        return e.setPatternRecord(2, QStringLiteral("1 0 20 20")) && e.setStepRecord(20, step);
    });
    f.presetLiveLog(w);
    auto run = [&] {
        w->menuItem(QStringLiteral("con_pattern"))->trigger();
        auto *window = qobject_cast<frmPattern_control *>(w->loadedWindow(kRun));
        QVERIFY(window);
        window->Com_pa->setCurrentIndex(window->Com_pa->findText(QStringLiteral("2")));
        window->C_jikkou->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->state().statuslog.js_l, QStringLiteral("20"), 10000);
    };
    run();

    auto told = [&] {
        int n = 0;
        for (const ScriptedDialogs::Record &r : f.dialogs->notices())
            n += r.text == KRM2200::patternRunEndedText() && r.title == QStringLiteral("確認");
        return n;
    };
    // The program's own stop.
    w->Toolbar1_ButtonClick(QStringLiteral("STOP"));
    QTRY_COMPARE_WITH_TIMEOUT(w->state().statuslog.nj_l, QStringLiteral("平常状態"), 10000);
    QCOMPARE(told(), 0);

    run();
    // Power off and on: silent for a while, then idle.
    SimFaults silent;
    silent.silent = true;
    f.sim->setFaults(silent);
    QTRY_COMPARE_WITH_TIMEOUT(w->panelText(5), QStringLiteral("通信：異常"), 10000);
    f.sim->withEngine([](SimEngine &e) { return e.execute(QStringLiteral("STOP")); });
    f.sim->setFaults({});
    QTRY_COMPARE_WITH_TIMEOUT(told(), 1, 10000);
    QCOMPARE(KRM2200::patternRunEndedText(),
             QStringLiteral("パターン運転が終了しました。（本体が待機状態になりました）"));
    QVERIFY(w->logRecording());
    QVERIFY(w->menuItem(QStringLiteral("con_pattern"))->isEnabled());
    QVERIFY(ShellFixture::text(sysLog).contains(KRM2200::patternRunEndedText()));
    // A new run takes the notice away; told once, however many idle
    // replies follow.
    QVERIFY(f.dialogs->openNotices().contains(QStringLiteral("patternRunEnded")));
    run();
    QVERIFY(!f.dialogs->openNotices().contains(QStringLiteral("patternRunEnded")));
    w->Toolbar1_ButtonClick(QStringLiteral("STOP"));
    const int logged = param().LogCount;
    QTRY_VERIFY_WITH_TIMEOUT(param().LogCount >= logged + 2, 10000);
    QCOMPARE(told(), 1);
}

// The instrument reports step 0 while idle, while running a pattern's step 0
// and while running a fixed value: the target line is the running step's or
// the fixed value, and none once the instrument is idle again.
void tst_PatternRunE2E::targetFollowsTheRun_data()
{
    QTest::addColumn<bool>("pattern");
    QTest::addColumn<bool>("slowStart"); // idle reported for a poll after the start
    QTest::addColumn<QString>("target");
    QTest::newRow("pattern starting at step 0") << true << false << "+040.00";
    QTest::newRow("fixed-value run") << false << false << "35";
    // The idle reply takes the fixed target; STEP0's must not stand instead.
    QTest::newRow("fixed-value run, slow to start") << false << true << "35";
}

void tst_PatternRunE2E::targetFollowsTheRun()
{
    QFETCH(bool, pattern);
    QFETCH(bool, slowStart);
    QFETCH(QString, target);
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    // One step of five minutes, sixty times as fast: several polls see it run.
    const QString step0 = QStringLiteral("0 0 0 +040.00 00:05:00");
    ini().IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN1"),
                   QStringLiteral("1 0 0 0"));
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP0"), step0);
    f.sim->withEngine([&](SimEngine &e) {
        e.setTimeScale(60);
        return e.setPatternRecord(1, QStringLiteral("1 0 0 0")) && e.setStepRecord(0, step0);
    });
    f.presetLiveLog(w);
    const Parameter &p = param();
    const StatuslogState &status = w->state().statuslog;
    // The target line each time it changes while the instrument runs.
    QStringList targets;
    QObject::connect(&w->session(), &InstrumentSession::targetChanged, w, [&] {
        if (!p.TargetLineText.isEmpty() && targets.value(targets.size() - 1) != p.TargetLineText)
            targets.append(p.TargetLineText);
    });

    if (pattern) {
        w->menuItem(QStringLiteral("con_pattern"))->trigger();
        auto *run = qobject_cast<frmPattern_control *>(w->loadedWindow(kRun));
        QVERIFY(run);
        run->Com_pa->setCurrentIndex(run->Com_pa->findText(QStringLiteral("1")));
        run->C_jikkou->click();
    } else {
        w->menuItem(QStringLiteral("con_teiti"))->trigger();
        auto *fix =
            qobject_cast<frmFix_control *>(w->loadedWindow(QStringLiteral("frmFix_control")));
        QVERIFY(fix);
        fix->M_T->setText(target);
        if (slowStart)
            f.sim->withEngine([](SimEngine &e) {
                e.setStatusOverride(QStringLiteral("00"));
                return 0;
            });
        fix->RUN_C->click();
    }
    if (slowStart) {
        QTRY_VERIFY_WITH_TIMEOUT(p.LogCount >= 2, 10000);
        f.sim->withEngine([](SimEngine &e) {
            e.setStatusOverride(QString());
            return 0;
        });
    }
    QTRY_VERIFY_WITH_TIMEOUT(status.nj_l == QStringLiteral("動作状態") && p.LogCount >= 4, 10000);
    if (!slowStart)
        QCOMPARE(p.TargetLineText, target);
    QCOMPARE(targets, QStringList{target});

    // The pattern ends by itself; the fixed value is stopped at the instrument.
    if (!pattern)
        f.sim->withEngine([](SimEngine &e) { return e.execute(QStringLiteral("STOP")); });
    QTRY_VERIFY_WITH_TIMEOUT(status.nj_l == QStringLiteral("平常状態"), 15000);
    QVERIFY(p.TargetLineText.isEmpty());
    QCOMPARE(targets, QStringList{target});
}

QTEST_MAIN(tst_PatternRunE2E)
#include "tst_patternrun_e2e.moc"
