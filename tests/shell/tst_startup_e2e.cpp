// Start-up, the port window, the version and the shutdown paths of the main
// window against the simulated instrument.
//
// With KRM_SHELL_SHOTS=<folder> set, the main window after start-up and the
// version message are saved there as PNG files.

#include "ShellFixture.h"
#include "TransferSequences.h"
#include "core/app/PortChoices.h"
#include "core/link/Reception_Show.h"
#include "ui/shell/frmPort.h"
#include "ui/shell/frmSplashStart.h"
#include "ui/shell/frmToppage.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

// A start-up reads the whole set, then asks whether the instrument runs.
QStringList startUpSequence()
{
    return readAllSequence() << QStringLiteral("STATUS");
}

QString iniValue(const QString &path, const QString &section, const QString &key)
{
    const QString saved = ini().Filename;
    ini().Filename = path;
    QString v = ini().IniRead(section, key);
    ini().Filename = saved;
    return v;
}

void saveShot(QWidget *w, const char *name)
{
    const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS");
    if (!dir.isEmpty())
        QVERIFY(w->grab().save(dir + QLatin1Char('/') + QLatin1String(name), "PNG"));
}

} // namespace

class tst_StartupE2E : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startReady_data();
    void startReady();
    void startWithSilentInstrument();
    void reconnectFromPortWindow();
    void failedStartLeadsToPort_data();
    void failedStartLeadsToPort();
    void newPortStartsFromCleanWindow();
    void exitStatusTellsTheOutcome_data();
    void exitStatusTellsTheOutcome();
    void versionFromInstrument();
    void quitSendsStopWhilePortOpen_data();
    void quitSendsStopWhilePortOpen();
    void statusQueries();
    void unfinishedWriteAsksAtNextStart_data();
    void unfinishedWriteAsksAtNextStart();
    void runningInstrumentIsLoggedAgain();
};

void tst_StartupE2E::startReady_data()
{
    QTest::addColumn<QString>("csv");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<bool>("flg_csv");
    QTest::newRow("csv on, program found")
        << QStringLiteral("1 /data/csv") << QStringLiteral("/usr/bin/localc")
        << QStringLiteral("1 /usr/bin/localc") << false << true;
    QTest::newRow("csv on, no program") << QStringLiteral("1 /data/csv") << QString()
                                        << QStringLiteral("0 /data/csv") << true << false;
    QTest::newRow("csv off") << QStringLiteral("0 /data/csv") << QStringLiteral("/usr/bin/localc")
                             << QStringLiteral("0 C:\\") << false << false;
    QTest::newRow("csv missing") << QString() << QString() << QStringLiteral("0 C:\\") << false
                                 << false;
}

void tst_StartupE2E::startReady()
{
    QFETCH(QString, csv);
    QFETCH(QString, found);
    QFETCH(QString, stored);
    QFETCH(bool, warned);
    QFETCH(bool, flg_csv);

    ShellFixture fx;
    QVERIFY(fx.startSim());
    fx.sim->withEngine([](SimEngine &e) {
        return e.setSensorRecord(1, QStringLiteral("0 +120.00 -040.00 +000.00 100.00"));
    });
    QString config = QStringLiteral("[COM]\npara=2\n[Y]\npara=100 0\n");
    if (!csv.isEmpty())
        config += QStringLiteral("[CSVPATH]\npath=") + csv + QLatin1Char('\n');
    QVERIFY(fx.writeText(fx.iniPath(), config));
    KRM2200 *w = fx.makeWindow(found);
    w->state().detailed.flg_csv = !flg_csv;
    // A log killed before its stop made the CSV copy, and one that has its copy.
    const QString logs = fx.appDir() + QStringLiteral("/LOG/");
    const QString killed = QStringLiteral("TXT_DATA/2026_01_01/2026_01_01_10_00_00.txt");
    const QString killedCopy = logs + QStringLiteral("CSV_DATA/2026_01_01/2026_01_01_10_00_00.csv");
    const QString stoppedCopy =
        logs + QStringLiteral("CSV_DATA/2026_01_02/2026_01_02_09_00_00.csv");
    const QString killedBytes =
        QStringLiteral("\"00:00:00\",\"+025.00\",\"*\",\"*\",\"*\",\"+031.50\"\r\n"
                       "\"00:00:01\",\"+025.01\",\"*\",\"*\",\"*\",\"+031.50\"\r\n");
    QVERIFY(fx.writeText(logs + killed, killedBytes));
    // The stopped log got its memo after the copy.
    QVERIFY(fx.writeText(logs + QStringLiteral("TXT_DATA/2026_01_02/2026_01_02_09_00_00.txt"),
                         killedBytes + QStringLiteral("\"\r\n\"\r\n\"-MEMO-\"\r\n\"x\"\r\n")));
    QVERIFY(fx.writeText(stoppedCopy, killedBytes));

    // Watch the splash while the whole set is read: its version text, and a
    // progress bar that only moves forward.
    QList<int> progress;
    QString version;
    bool shot = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, w, [&] {
        if (frmSplashStart *splash = w->splashStart()) {
            version = splash->lblVersion->text();
            progress << splash->StartPro->value();
            if (!shot && splash->StartPro->value() > 60) {
                saveShot(splash, "splash_start.png");
                shot = true;
            }
        }
    });
    watch.start(50);

    QCOMPARE(w->startUp(), KRM2200::StartResult::Ready);
    watch.stop();
    QCOMPARE(version, QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.3.1"));
    QVERIFY(progress.size() > 10);
    QVERIFY(std::is_sorted(progress.begin(), progress.end()));
    QVERIFY(progress.last() >= 140);

    QCOMPARE(fx.commands(), startUpSequence());
    QVERIFY(w->all_flg);
    QVERIFY(w->session().link().isOpen());
    QVERIFY(param().UiEnabled);
    QVERIFY(w->toolButton(QStringLiteral("WRITE"))->isEnabled());
    QVERIFY(w->toppage());
    QVERIFY(!w->splashStart());
    QCOMPARE(w->panelText(1), QStringLiteral("PT100A上限：+150.00下限：-050.00"));
    QCOMPARE(w->panelText(2), QStringLiteral("PT100B使用不可"));
    QCOMPARE(w->panelText(3), QStringLiteral("SENSOR1上限：+080下限：+000"));
    QCOMPARE(w->panelText(5), QStringLiteral("通信：正常"));
    QCOMPARE(param().LogInterval, 1);
    QCOMPARE(param().LogTimeText.size(), 11);
    QCOMPARE(iniValue(fx.iniPath(), QStringLiteral("Y"), QString()), QStringLiteral("160 -60"));
    QCOMPARE(iniValue(fx.iniPath(), QStringLiteral("COM"), QString()), QStringLiteral("2"));
    QCOMPARE(iniValue(fx.iniPath(), QStringLiteral("CSVPATH"), QStringLiteral("path")), stored);
    QCOMPARE(w->state().detailed.flg_csv, flg_csv);
    if (warned) {
        QCOMPARE(fx.dialogs->messages().size(), 1);
        QCOMPARE(fx.dialogs->lastMessage().text,
                 QStringLiteral("EXCEL.EXEを見つけることができませんでした。\n"
                                "CSVファイルへの出力を停止します。"));
        QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("確認"));
    } else {
        QCOMPARE(fx.dialogs->records().size(), 0);
    }
    // Every received line is in the system log of this run.
    QTRY_VERIFY(ShellFixture::text(w->session().link().systemLogPath())
                    .contains(QStringLiteral("\"LS 99 1\"\r\n")));
    // With CSV output on, the killed log gets its copy, byte for byte, noted in
    // the system log; a copy made at a stop stays as it was.
    QCOMPARE(QFileInfo::exists(killedCopy), flg_csv);
    if (flg_csv)
        QCOMPARE(ShellFixture::text(killedCopy), killedBytes);
    QCOMPARE(ShellFixture::text(w->session().link().systemLogPath())
                 .count(QStringLiteral(" CSVファイルを作成しました：") + killedCopy +
                        QStringLiteral("\r\n")),
             flg_csv ? 1 : 0);
    QCOMPARE(ShellFixture::text(stoppedCopy), killedBytes);

    if (QTest::currentDataTag() == QLatin1String("csv on, program found"))
        saveShot(w, "main_after_startup.png");
}

void tst_StartupE2E::startWithSilentInstrument()
{
    ShellFixture fx;
    SimFaults silent;
    silent.silent = true;
    QVERIFY(fx.startSim(silent));
    // No configuration at all: the device given for this run counts as a
    // configured port, so the no-port path is not taken.
    KRM2200 *w = fx.makeWindow();
    QCOMPARE(w->startUp(), KRM2200::StartResult::NotConnected);
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text,
             QStringLiteral("読み込みに失敗しました。接続を確認してください。"));
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("error"));
    QVERIFY(!w->all_flg);
    QVERIFY(!w->session().link().isOpen());
    QVERIFY(!param().UiEnabled);
    QVERIFY(!w->toppage());
    QCOMPARE(iniValue(fx.iniPath(), QStringLiteral("COM"), QString()), QStringLiteral("1"));
    QCOMPARE(iniValue(fx.iniPath(), QStringLiteral("Y"), QString()), QStringLiteral("160 -60"));
    QCOMPARE(fx.commands().value(0), QStringLiteral("SEN 0"));
}

void tst_StartupE2E::reconnectFromPortWindow()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    QVERIFY(fx.writeText(fx.iniPath(), QStringLiteral("[COM]\npara=1\n")));
    KRM2200 *w = fx.makeWindow();
    // Start as if no instrument were there.
    const QString device = w->session().link().forcedDevice();
    w->session().link().setForcedDevice(QStringLiteral("/dev/nonexistent"));
    QCOMPARE(w->startUp(), KRM2200::StartResult::PortError);
    fx.dialogs->clear();

    w->menuItem(QStringLiteral("set_con"))->trigger();
    QVERIFY(w->portWindow());
    // The simulator's device is not among the listed ones; pick it as a
    // device option would.
    QSignalSpy finished(w, &KRM2200::startUpFinished);
    w->connectPort(QStringLiteral("1"), device);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(w->lastStartResult(), KRM2200::StartResult::Ready);
    QCOMPARE(fx.commands(), startUpSequence());
    QVERIFY(!w->portWindow());
    QVERIFY(w->toppage());
    QVERIFY(param().UiEnabled);
    QCOMPARE(fx.dialogs->records().size(), 0);
    QCOMPARE(iniValue(fx.iniPath(), QStringLiteral("COM"), QStringLiteral("device")), device);
}

// A start that reaches no instrument ends in the port window, with the USB
// adapter present (here a stable name for the simulator's device) chosen, so
// that "接続" is all that is left to do.
void tst_StartupE2E::failedStartLeadsToPort_data()
{
    QTest::addColumn<QString>("configured"); // "" none, else the device tried
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("connects");
    const QString check = QStringLiteral("通信ポートを確認してください。");
    QTest::newRow("nothing configured") << QString() << false << check << true;
    QTest::newRow("port cannot be opened")
        << QStringLiteral("/dev/nonexistent") << false
        << check + QStringLiteral("\n/dev/nonexistent：") << true;
    QTest::newRow("nothing answers")
        << QStringLiteral("sim") << true
        << QStringLiteral("読み込みに失敗しました。接続を確認してください。") << false;
}

void tst_StartupE2E::failedStartLeadsToPort()
{
    QFETCH(QString, configured);
    QFETCH(bool, silent);
    QFETCH(QString, message);
    QFETCH(bool, connects);
    ShellFixture fx;
    SimFaults faults;
    faults.silent = silent;
    QVERIFY(fx.startSim(faults));
    QTemporaryDir byId;
    const QString adapter = byId.filePath(QStringLiteral("usb-KRM_Bench_A1234-if00-port0"));
    QVERIFY(QFile::link(fx.sim->devicePath(), adapter));
    PortChoices::setByIdFolder(byId.path());
    auto restore = qScopeGuard([] { PortChoices::setByIdFolder(QString()); });

    KRM2200 *w = fx.makeWindow();
    if (configured != QLatin1String("sim"))
        w->session().link().setForcedDevice(configured);
    QVERIFY(w->startUp() != KRM2200::StartResult::Ready);
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QVERIFY2(fx.dialogs->lastMessage().text.startsWith(message),
             qPrintable(fx.dialogs->lastMessage().text));

    frmPort *port = w->portWindow();
    QVERIFY(port);
    QVERIFY(port->isVisible());
    QVERIFY(port->L_hint->isVisible());
    QVERIFY(port->L_hint->text().contains(QStringLiteral("「接続」")));
    QRadioButton *chosen = nullptr;
    for (QRadioButton *option : std::as_const(port->O_com))
        if (option->isChecked())
            chosen = option;
    QVERIFY(chosen);
    QCOMPARE(chosen->text(), adapter);
    QCOMPARE(port->device(), adapter);
    if (!connects)
        return;

    fx.dialogs->clear();
    port->CON->click();
    QCOMPARE(w->lastStartResult(), KRM2200::StartResult::Ready);
    QVERIFY(!w->portWindow());
    QVERIFY(w->toppage());
    QCOMPARE(fx.dialogs->messages().size(), 0);
    QCOMPARE(iniValue(fx.iniPath(), QStringLiteral("COM"), QStringLiteral("device")), adapter);
}

// After a good start on one instrument, "接続" to a port where the read
// fails: nothing of the first instrument is left on show.
void tst_StartupE2E::newPortStartsFromCleanWindow()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.makeWindow();
    QCOMPARE(w->startUp(), KRM2200::StartResult::Ready);
    QVERIFY(w->panelText(1).contains(QStringLiteral("上限：")));
    QCOMPARE(w->panelText(5), QStringLiteral("通信：正常"));
    // As an alarm status and a transfer would leave them.
    w->toolButton(QStringLiteral("ACLR"))->setEnabled(true);
    w->setMenuBarLocked(true);

    SimFaults silent;
    silent.silent = true;
    fx.sim->setFaults(silent);
    w->connectPort(QStringLiteral("1"), w->session().link().forcedDevice());
    QCOMPARE(w->lastStartResult(), KRM2200::StartResult::NotConnected);
    const QStringList design = {QStringLiteral("PT1000A"), QStringLiteral("PT1000B"),
                                QStringLiteral("SENSOR1"), QStringLiteral("SENSOR2")};
    for (int panel = 1; panel <= 4; ++panel)
        QCOMPARE(w->panelText(panel), design.at(panel - 1));
    QVERIFY(w->panelText(5) != QStringLiteral("通信：正常"));
    QVERIFY(!w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(!w->toolButton(QStringLiteral("READ"))->isEnabled());
    QVERIFY(w->menuItem(QStringLiteral("file"))->isVisible());
    QVERIFY(w->menuItem(QStringLiteral("set_con"))->isEnabled());
}

// What scripts see of a start with --exit-when-ready.
void tst_StartupE2E::exitStatusTellsTheOutcome_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("portExists");
    QTest::addColumn<int>("status");
    QTest::newRow("ready") << "none" << true << 0;
    QTest::newRow("port cannot be opened") << "none" << false << 3;
    QTest::newRow("read fails") << "silent" << true << 4;
}

void tst_StartupE2E::exitStatusTellsTheOutcome()
{
    QFETCH(QString, fault);
    QFETCH(bool, portExists);
    QFETCH(int, status);
    ShellFixture fx;
    SimFaults faults;
    QVERIFY(SimFaults::apply(fault, faults));
    QVERIFY(fx.startSim(faults));
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(KRM2200_BIN),
                  {QStringLiteral("--home"), fx.appDir(), QStringLiteral("--port"),
                   portExists ? fx.sim->devicePath() : QStringLiteral("/dev/nonexistent"),
                   QStringLiteral("--exit-when-ready")});
    QVERIFY(program.waitForFinished(120000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
}

void tst_StartupE2E::versionFromInstrument()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    w->menuItem(QStringLiteral("ver"))->trigger();
    QCOMPARE(fx.commands(), QStringList{QStringLiteral("VERSION")});
    const auto m = fx.dialogs->lastMessage();
    QCOMPARE(m.title, QStringLiteral("バージョン情報"));
    QVERIFY(!w->session().parsers().versi.isEmpty());
    QVERIFY(w->session().parsers().versi.contains(QStringLiteral("KRM-2200")));
    QCOMPARE(m.text, w->session().parsers().versi + QStringLiteral("\nMZP: 1.3.1"));

    QMessageBox *box = QtDialogs::makeMessageBox(w, m.text, m.title);
    box->show();
    QCOMPARE(box->windowTitle(), QStringLiteral("バージョン情報"));
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    saveShot(box, "version_message.png");
    delete box;
}

void tst_StartupE2E::quitSendsStopWhilePortOpen_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<bool>("stopSent");
    QTest::addColumn<bool>("ended");
    QTest::newRow("menu, yes") << QStringLiteral("menu") << true << true << true << true;
    QTest::newRow("menu, no") << QStringLiteral("menu") << false << true << false << false;
    QTest::newRow("menu, yes, port closed")
        << QStringLiteral("menu") << true << false << false << true;
    QTest::newRow("close box, yes") << QStringLiteral("box") << true << true << true << true;
    QTest::newRow("close box, no") << QStringLiteral("box") << false << true << false << false;
    QTest::newRow("by the program") << QStringLiteral("program") << false << true << false << true;
}

void tst_StartupE2E::quitSendsStopWhilePortOpen()
{
    QFETCH(QString, how);
    QFETCH(bool, answer);
    QFETCH(bool, portOpen);
    QFETCH(bool, stopSent);
    QFETCH(bool, ended);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    QVERIFY(w->session().link().isOpen());
    QVERIFY(w->session().link().openSystemLog(fx.home.filePath(QStringLiteral("sys.txt"))));
    if (!portOpen)
        w->session().link().ClosePort();
    QSignalSpy endedSpy(w, &KRM2200::programEnded);

    if (how == QLatin1String("menu")) {
        fx.dialogs->answerQuestion(answer);
        w->file_end();
    } else if (how == QLatin1String("box")) {
        fx.dialogs->answerQuestion(answer);
        QCloseEvent request;
        QCoreApplication::sendEvent(w->windowHandle(), &request);
    } else {
        w->close();
    }
    QCOMPARE(fx.dialogs->pendingAnswers(), 0);
    QCOMPARE(endedSpy.count(), ended ? 1 : 0);
    if (stopSent)
        QVERIFY(fx.sim->waitForCommand(QStringLiteral("STOP"), 5000));
    QCOMPARE(fx.commands(), stopSent ? QStringList{QStringLiteral("STOP")} : QStringList());
    QCOMPARE(w->session().link().isOpen(), !ended && portOpen);
}

// The program started while the instrument runs a pattern (after a crash of
// the program, say): the operator is asked, and the log follows the run from
// the step the instrument reports, its own start unknown.
void tst_StartupE2E::runningInstrumentIsLoggedAgain()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    const QString step = QStringLiteral("0 0 0 +040.00 01:00:00");
    fx.sim->withEngine([&](SimEngine &e) {
        e.setPatternRecord(2, QStringLiteral("1 0 20 20"));
        e.setStepRecord(20, step);
        e.execute(QStringLiteral("GO 2"));
    });
    QVERIFY(fx.writeText(fx.iniPath(), QStringLiteral("[COM]\npara=2\n")));
    KRM2200 *w = fx.makeWindow();
    fx.presetLiveLog(w);
    fx.dialogs->answerQuestion(true);
    QCOMPARE(w->startUp(), KRM2200::StartResult::Ready);
    QCOMPARE(fx.dialogs->questions().size(), 1);
    QCOMPARE(fx.dialogs->questions().first().text, KRM2200::runningInstrumentQuestion());
    QVERIFY(fx.dialogs->questions().first().defaultYes);
    QVERIFY(w->logRecording());
    const RunProgress &run = w->session().runProgress();
    QTRY_VERIFY_WITH_TIMEOUT(run.active() && run.step() == 20, 20000);
    QCOMPARE(run.positionText(), QStringLiteral("ステップ 20（1 / 1）"));
    QCOMPARE(run.stepLeftText(QDateTime::currentDateTime()), QStringLiteral("不明"));
    fx.dialogs->answerQuestion(false); // no memo
    w->Toolbar1_ButtonClick(QStringLiteral("LOG"));
}

void tst_StartupE2E::statusQueries()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    int shown = 0;
    w->registerWindow(QStringLiteral("frmStatus"), [&](WindowHost &) {
        ++shown;
        return new QWidget;
    });
    int replies = 0;
    w->session().parsers().onStatus2 = [&](const Status2Report &) { ++replies; };

    w->menuItem(QStringLiteral("view_status"))->trigger();
    QCOMPARE(fx.commands(), QStringList{QStringLiteral("STATUS")});
    QCOMPARE(w->session().link().str, QStringLiteral("STATUS2"));
    QCOMPARE(shown, 1);
    QTRY_COMPARE(replies, 1);

    // The top page's button asks the same and closes the page.
    w->unloadWindow(QStringLiteral("frmStatus"));
    w->openWindow(QStringLiteral("frmToppage"));
    w->toppage()->Status_c->click();
    QCOMPARE(fx.commands().size(), 2);
    QCOMPARE(shown, 2);
    QVERIFY(!w->toppage());
}

// A write cut off before "SAVE" (the program ended with it): the next start
// asks before its read replaces the working file, and Yes writes the user's
// set again, up to "SAVE", before reading.
void tst_StartupE2E::unfinishedWriteAsksAtNextStart_data()
{
    QTest::addColumn<bool>("again");
    QTest::newRow("write again") << true;
    QTest::newRow("read as before") << false;
}

void tst_StartupE2E::unfinishedWriteAsksAtNextStart()
{
    QFETCH(bool, again);
    ShellFixture fx;
    SimFaults hang;
    hang.hangUpAfterCommands = 40;
    QVERIFY(fx.startSim(hang));
    KRM2200 *w = fx.readyWindow();
    const QString userStep = QStringLiteral("1 0 0 +012.00 00:10:00");
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP50"), userStep);
    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));
    QVERIFY(!fx.commands().contains(QStringLiteral("SAVE")));
    fx.window.reset();

    QVERIFY(fx.startSim());
    fx.dialogs->clear();
    fx.dialogs->answerQuestion(again);
    w = fx.makeWindow();
    QCOMPARE(w->startUp(), KRM2200::StartResult::Ready);
    QCOMPARE(fx.dialogs->questions().size(), 1);
    const ScriptedDialogs::Record asked = fx.dialogs->questions().first();
    QCOMPARE(asked.text, QStringLiteral("前回の本体書込は完了していません。\n"
                                        "設定ファイルの内容をもう一度本体へ書き込みますか？"));
    QVERIFY(asked.defaultYes);
    QCOMPARE(fx.dialogs->messages().size(), 0);
    const QStringList got = fx.commands();
    const qsizetype written = again ? got.indexOf(QStringLiteral("SAVE")) + 1 : 0;
    QCOMPARE(got.mid(written), startUpSequence());
    if (again) {
        QCOMPARE(written, 120);
        QCOMPARE(got.first(), QStringLiteral("BEEP 1"));
        QVERIFY(got.contains(QStringLiteral("MKS 50 ") + userStep));
    }
    QCOMPARE(iniValue(fx.iniPath(), QStringLiteral("STEP"), QStringLiteral("STEP50")) == userStep,
             again);
    QCOMPARE(fx.sim->withEngine([](SimEngine &e) { return e.stepRecord(50); }) == userStep, again);
    // Asked once only.
    QVERIFY(!QFileInfo::exists(fx.appDir() + QStringLiteral("/sys/unfinished_write.txt")));
}

QTEST_MAIN(tst_StartupE2E)
#include "tst_startup_e2e.moc"
