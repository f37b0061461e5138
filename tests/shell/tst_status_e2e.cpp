// What a status-poll reply from the instrument does to the main window:
// toolbar and menu state by status code, the stored sample, the step's
// target line, the status-log labels and the stop on an alarm; and what the
// loss of the instrument during a log does.

#include "ShellFixture.h"
#include "core/app/LinkWatch.h"
#include "core/link/Reception_Show.h"
#include "ui/control/frmAlarm.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/logging/frmGraph.h"
#include "ui/shell/LinkWatchWindows.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace {

// One status poll as the timer sends it; returns once the reply was applied.
bool poll(KRM2200 &w)
{
    w.session().parsers().resetStatus();
    w.session().link().SendCommand(QStringLiteral("STATUS"), QStringLiteral("STATUS"), 0.05);
    return QTest::qWaitFor([&] { return w.session().parsers().StatusParsed > 0; }, 5000);
}

QString labelText(const QWidget *window, const char *name)
{
    const auto *label = window->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("(no %1)").arg(QLatin1String(name));
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int g_openWarnings = 0;
QtMessageHandler g_previousHandler = nullptr;

void countOpenWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.startsWith(QLatin1String("cannot open")))
        ++g_openWarnings;
    g_previousHandler(type, context, text);
}

} // namespace

class tst_StatusE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void codesDriveToolbarAndMenus();
    void alarmStopsTheLogOnce();
    void alarmComesBeforeTheMemo_data();
    void alarmComesBeforeTheMemo();
    void newStepSetsTheTargetLine();
    void controlsComeBackAtOnce_data();
    void controlsComeBackAtOnce();
    void lostInstrumentIsToldAndTheLogResumes_data();
    void lostInstrumentIsToldAndTheLogResumes();
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
    QCOMPARE(param().SenValues.size(), 3);
    QVERIFY(param().SenValues.text(0, 0).startsWith(QLatin1Char('+')));

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
    // The log closes and the alarm window opens; the memo waits for the
    // alarm window to be acknowledged.
    QStringList events;
    w->stopLog = [&] { events << QStringLiteral("stop asking"); };
    QObject stopWatch;
    QObject::connect(&w->session().log(), &LOG_Handling::logStopped, &stopWatch,
                     [&] { events << QStringLiteral("stop"); });
    w->showAlarm = [&] { events << QStringLiteral("alarm"); };
    w->askHeldMemo = [&] { events << QStringLiteral("memo"); };
    const QStringList once{QStringLiteral("stop"), QStringLiteral("alarm")};
    w->session().pollTimer().start(60000);
    param().TargetLineText = QStringLiteral("+050.00");

    f.sim->withEngine([](SimEngine &e) {
        e.raiseAlarm(QStringLiteral("001"));
        return 0;
    });
    QVERIFY(poll(*w));
    // Characters after the processed reply do not raise it again.
    SerialLink::WaitSeconds(0.05);
    QVERIFY(w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(!w->session().pollTimer().isActive());
    QCOMPARE(events, once);
    QCOMPARE(w->state().alarm.code, QStringLiteral("001"));
    QVERIFY(w->state().statuslog.alarmVisible);
    QVERIFY(w->state().statuslog.nj_red);
    QCOMPARE(w->state().statuslog.nj_l, QStringLiteral("アラーム状態"));
    // The run the alarm ended has no target any more.
    QVERIFY(param().TargetLineText.isEmpty());

    // ACLR asks for the status at once: the windows show the instrument's
    // state without waiting for a poll.
    w->Toolbar1_ButtonClick(QStringLiteral("ACLR"));
    QVERIFY(!w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(!w->state().statuslog.alarmVisible);
    QVERIFY(!w->state().statuslog.nj_red);
    QCOMPARE(w->state().statuslog.nj_l, QStringLiteral("平常状態"));
    QCOMPARE(events, once);
}

// The alarm window stands above everything until acknowledged: the memo
// question of the log it ended comes only then, the status windows show the
// alarm at once, and the step the stopped instrument reports sets no target.
void tst_StatusE2E::alarmComesBeforeTheMemo_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("OK") << false;
    QTest::newRow("Escape") << true;
}

void tst_StatusE2E::alarmComesBeforeTheMemo()
{
    QFETCH(bool, escape);
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    f.presetLiveLog(w);
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP0"),
                   QStringLiteral("0 0 0 +040.00 00:00:30"));
    w->statusQuery();
    auto *status = w->loadedWindow(QStringLiteral("frmStatus"));
    QVERIFY(status);
    QTRY_COMPARE(labelText(status, "nj_l"), QStringLiteral("平常状態"));
    auto *statuslog = w->openWindow(QStringLiteral("frmStatuslog"));
    QVERIFY(statuslog);
    w->startLog();
    QTRY_VERIFY_WITH_TIMEOUT(param().LogCount >= 1, 10000);
    // The polls from here on are this test's.
    w->session().pollTimer().stop();
    QVERIFY(poll(*w));
    // Step 12 of a pattern is running towards 35 degrees.
    w->state().statuslog.js_l = QStringLiteral("12");
    param().TargetLineText = QStringLiteral("35");

    f.sim->withEngine([](SimEngine &e) {
        e.raiseAlarm(QStringLiteral("001"));
        return 0;
    });
    QVERIFY(poll(*w));
    auto *holder = w->findChild<AlarmWindowHolder *>(QStringLiteral("frmAlarm_holder"));
    QVERIFY(holder);
    QVERIFY(holder->window() && holder->window()->isVisible());
    QVERIFY(!w->logRecording());
    QVERIFY(f.dialogs->questions().isEmpty());
    for (QWidget *window : {status, statuslog}) {
        QCOMPARE(labelText(window, "nj_l"), QStringLiteral("アラーム状態"));
        QCOMPARE(labelText(window, "sa_l"), QStringLiteral("001"));
    }
    QCOMPARE(w->state().statuslog.js_l, QStringLiteral("0"));
    // The run has ended: its target line with it.
    QVERIFY(param().TargetLineText.isEmpty());

    f.dialogs->answerQuestion(false);
    if (escape)
        QTest::keyClick(holder->window(), Qt::Key_Escape);
    else
        holder->window()->ok_c->click();
    QTRY_COMPARE(f.dialogs->questions().size(), 1);
    QVERIFY(!holder->window() || !holder->window()->isVisible());
    QVERIFY(f.dialogs->questions().at(0).text.endsWith(
        QStringLiteral("上記のファイルにメモを含めますか？")));
    QVERIFY(w->isEnabled());
}

void tst_StatusE2E::newStepSetsTheTargetLine()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP0"),
                   QStringLiteral("0 0 0 +040.00 00:00:30"));
    int redraws = 0;
    QObject::connect(&w->session(), &InstrumentSession::targetChanged, w, [&] { ++redraws; });
    // A run at step 0.
    f.sim->withEngine([](SimEngine &e) {
        e.setStatusOverride(QStringLiteral("02"));
        return 0;
    });

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
    QCOMPARE(param().SenValues.size(), 4);
    QVERIFY(!param().SenValues.text(3, 1).isEmpty());

    // The run ended: the idle instrument reports step 0, and no target stands.
    f.sim->withEngine([](SimEngine &e) {
        e.setStatusOverride(QString());
        return 0;
    });
    w->state().statuslog.js_l = QStringLiteral("5");
    param().LogCount = 2;
    QVERIFY(poll(*w));
    QVERIFY(param().TargetLineText.isEmpty());
    QCOMPARE(redraws, 2);
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
        // ACLR is there for an alarm, which has stopped the run on the
        // instrument; its status is asked for at once.
        if (how == QLatin1String("ACLR"))
            f.sim->withEngine([](SimEngine &e) { e.raiseAlarm(QStringLiteral("001")); });
        w->Toolbar1_ButtonClick(how);
    }
    QVERIFY(!w->session().pollTimer().isActive());
    QVERIFY(w->menuItem(QStringLiteral("con"))->isEnabled());
    QVERIFY(w->menuItem(QStringLiteral("con_pattern"))->isEnabled());
    QVERIFY(!w->toolButton(QStringLiteral("STOP"))->isEnabled());
    QVERIFY(!graph->Stop_c->isEnabled());
    QVERIFY(graph->C_go->isEnabled());
}

void tst_StatusE2E::lostInstrumentIsToldAndTheLogResumes_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::newRow("unplugged: the device disappears") << true;
    QTest::newRow("switched off: the device stays, nothing answers") << false;
}

void tst_StatusE2E::lostInstrumentIsToldAndTheLogResumes()
{
    QFETCH(bool, unplug);
    ShellFixture f;
    QVERIFY(f.startSim());
    // The program knows the instrument by a name that outlives the device,
    // as a USB adapter's stable name does.
    const QString name = f.home.filePath(QStringLiteral("ttyKRM"));
    QVERIFY(QFile::link(f.sim->devicePath(), name));
    KRM2200 *w = f.readyWindow();
    w->session().link().ClosePort();
    w->session().link().setForcedDevice(name);
    QVERIFY(w->session().link().OpenPort(QStringLiteral("1")));
    const QString sysLog = f.home.filePath(QStringLiteral("system.txt"));
    QVERIFY(w->session().link().openSystemLog(sysLog));
    f.presetLiveLog(w);
    auto *cell = w->statusBar()->findChild<QLabel *>(QStringLiteral("COMM"));
    QVERIFY(cell);
    g_openWarnings = 0;
    g_previousHandler = qInstallMessageHandler(countOpenWarnings);

    w->startLog();
    const QString logPath = LoggingWindows::of(*w).log().file().TxtLogPath;
    auto lines = [&] { return fileBytes(logPath).count('\n'); };
    QTRY_VERIFY_WITH_TIMEOUT(lines() >= 2, 10000);
    QVERIFY(!cell->autoFillBackground());

    SimFaults silent;
    silent.silent = true;
    if (unplug) {
        f.sim->stop();
        QVERIFY(QFile::remove(name));
    } else {
        f.sim->setFaults(silent);
    }
    QTRY_COMPARE_WITH_TIMEOUT(w->panelText(5), QStringLiteral("通信：異常"), 5000);
    QVERIFY(cell->autoFillBackground());
    QCOMPARE(cell->palette().color(QPalette::Window), QColor(0xC0, 0x00, 0x00));
    QCOMPARE(cell->palette().color(QPalette::WindowText), QColor(Qt::white));
    QTRY_COMPARE_WITH_TIMEOUT(f.dialogs->openNotices(), QStringList{LinkWatchWindows::noticeKey()},
                              5000);
    const QRegularExpression stamp(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d "));
    auto noted = [&](const QString &note) {
        const QStringList all = QString::fromUtf8(fileBytes(sysLog)).split(QStringLiteral("\r\n"));
        for (const QString &line : all)
            if (line.endsWith(note) && stamp.match(line).hasMatch())
                return true;
        return false;
    };
    QVERIFY(noted(LinkWatch::lossNote()));
    if (const QString shots = qEnvironmentVariable("KRM_SHELL_SHOTS"); !shots.isEmpty() && unplug)
        QVERIFY(w->statusBar()->grab().save(shots + QStringLiteral("/link_lost_cell.png")));
    // The log runs on through a few silent ticks: no sample is made up, no
    // second notice, and the missing device is not reported at every tick.
    const int linesWhileLost = int(lines());
    const int lostAt = param().LogCount;
    QTRY_VERIFY_WITH_TIMEOUT(param().LogCount >= lostAt + 3, 10000);
    QCOMPARE(int(lines()), linesWhileLost);
    QCOMPARE(w->toolButton(QStringLiteral("LOG"))->text(), QStringLiteral("　LOG STOP"));
    QCOMPARE(f.dialogs->notices().size(), 1);
    QCOMPARE(f.dialogs->notices().at(0).text, LinkWatch::noticeText());
    QCOMPARE(f.dialogs->notices().at(0).title, QStringLiteral("通信異常"));
    QCOMPARE(w->panelText(5), QStringLiteral("通信：異常"));
    QVERIFY(g_openWarnings <= 1);

    if (unplug) {
        // Plugged in again under the same name.
        QVERIFY(f.sim->start());
        QVERIFY(QFile::link(f.sim->devicePath(), name));
    } else {
        f.sim->setFaults({});
    }
    QTRY_VERIFY_WITH_TIMEOUT(f.dialogs->openNotices().isEmpty(), 10000);
    QCOMPARE(w->panelText(5), QStringLiteral("通信：正常"));
    QVERIFY(!cell->autoFillBackground());
    QVERIFY(noted(LinkWatch::returnNote()));
    QTRY_VERIFY_WITH_TIMEOUT(lines() >= linesWhileLost + 2, 10000);
    qInstallMessageHandler(g_previousHandler);
    QCOMPARE(f.dialogs->notices().size(), 1);

    f.dialogs->answerQuestion(false);
    w->stopLog();
    // Whole lines only, their stamps rising, with the gap of the loss.
    const QByteArray bytes = fileBytes(logPath);
    QVERIFY(bytes.endsWith("\r\n"));
    const QRegularExpression whole(
        QStringLiteral("^\"(\\d\\d):(\\d\\d):(\\d\\d)\"(,\"[^\",]*\"){5}$"));
    int last = -1;
    int gaps = 0;
    QList<QByteArray> all = bytes.split('\n');
    all.removeLast(); // after the last line's end
    for (const QByteArray &raw : all) {
        QVERIFY2(raw.endsWith('\r'), raw.constData());
        const auto m = whole.match(QString::fromUtf8(raw.chopped(1)));
        QVERIFY2(m.hasMatch(), raw.constData());
        const int t =
            m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toInt();
        QVERIFY(t > last);
        gaps += t > last + 1 ? 1 : 0;
        last = t;
    }
    QVERIFY(gaps >= 1);
}

QTEST_MAIN(tst_StatusE2E)
#include "tst_status_e2e.moc"
