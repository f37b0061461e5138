// The instrument session without any window: the key-by-key check of a set
// read back, and a whole run driven through the session alone against the
// simulated instrument.

#include "PtyInstrument.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/control/RunRules.h"
#include "core/link/SerialLink.h"
#include "core/session/InstrumentSession.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

class RecordingView : public SessionView {
public:
    bool ask(const QString &text, const QString &, bool) override
    {
        asked.append(text);
        return false;
    }
    void tell(const QString &text, const QString &) override { told.append(text); }
    void notice(const QString &key, const QString &text, const QString &) override
    {
        noticed.append(key + QLatin1Char(' ') + text.section(QLatin1Char('\n'), 0, 0));
    }
    QStringList asked;
    QStringList told;
    QStringList noticed;
};

} // namespace

class tst_Session : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readBackComparesWhatTheInstrumentTakes_data();
    void readBackComparesWhatTheInstrumentTakes();
    void wholeRunThroughTheSession();
    void failedWritesOfItsOwnAreTold();
};

void tst_Session::readBackComparesWhatTheInstrumentTakes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("readBack");
    QTest::addColumn<bool>("same");
    QTest::newRow("number formats") << "SEN0"
                                    << "1 +150 -50 * *"
                                    << "1 +150.00 -050.00 +000.00 100.00" << true;
    QTest::newRow("limit changed") << "SEN2"
                                   << "1 +120.00 -040.00 *"
                                   << "1 +121 -040 +000" << false;
    QTest::newRow("empty sensor is not sent") << "SEN1"
                                              << ""
                                              << "1 +150.00 -050.00 +000.00 100.00" << true;
    QTest::newRow("switch") << "FAN"
                            << "1"
                            << "0" << false;
    QTest::newRow("unit") << "UNI"
                          << "3 8"
                          << "3.0 8" << true;
    QTest::newRow("free pattern") << "PATTERN2"
                                  << ""
                                  << "" << true;
    QTest::newRow("pattern kept") << "PATTERN0"
                                  << "1 0 0 1"
                                  << "1 0 00 01" << true;
    QTest::newRow("pattern lost") << "PATTERN0"
                                  << "1 0 0 1"
                                  << "" << false;
    QTest::newRow("free step") << "STEP9"
                               << "* * * * *"
                               << "0 * * * *" << true;
    QTest::newRow("hold time as seconds") << "STEP0"
                                          << "0 0 0 +40 0:0:90"
                                          << "0 0 0 +040.00 00:01:30" << true;
    QTest::newRow("step temperature") << "STEP0"
                                      << "0 0 0 +040.00 00:00:30"
                                      << "0 0 0 +040.05 00:00:30" << false;
}

void tst_Session::readBackComparesWhatTheInstrumentTakes()
{
    QFETCH(QString, name);
    QFETCH(QString, written);
    QFETCH(QString, readBack);
    QFETCH(bool, same);
    QCOMPARE(SetVerify::sameSetting(name, written, readBack), same);
    const QStringList differing =
        SetVerify::differingKeys({{QStringLiteral("BEEP"), QStringLiteral("1")}, {name, written}},
                                 {{name, readBack}, {QStringLiteral("BEEP"), QStringLiteral("1")}});
    QCOMPARE(differing, same ? QStringList() : QStringList{name});
}

void tst_Session::wholeRunThroughTheSession()
{
    QTemporaryDir home;
    PtyInstrument sim;
    sim.setStatePath(home.filePath(QStringLiteral("sim-state.ini")));
    QVERIFY(sim.start());
    param().reset();
    RecordingView view;
    InstrumentSession s(home.path());
    s.setView(&view);
    s.setForcedDevice(sim.devicePath());
    QCOMPARE(s.open(), InstrumentSession::OpenResult::Ready);
    QVERIFY(s.readSet(true));
    // What the windows ask of the instrument, asked of the session alone.
    QVERIFY(s.askVersion().contains(QStringLiteral("KRM-2200")));
    QSignalSpy statusWindowReplies(&s, &InstrumentSession::status2Received);
    s.askStatus(0.05, true);
    QCOMPARE(statusWindowReplies.count(), 1);
    QVERIFY(!statusWindowReplies.at(0).at(0).value<Status2Report>().text.isEmpty());
    QCOMPARE(ini().IniRead(QStringLiteral("LOG"), QString()), QStringLiteral("1 1"));
    // Pattern 4 in the configuration and in the instrument, as a write
    // would leave them.
    const QString pattern = QStringLiteral("1 0 40 40");
    const QString step = QStringLiteral("0 0 0 +030.00 00:10:00");
    ini().IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN4"), pattern);
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP40"), step);
    sim.withEngine([&](SimEngine &e) {
        e.setPatternRecord(4, pattern);
        e.setStepRecord(40, step);
    });
    s.setPollIntervalMs(150);
    QSignalSpy samples(&s, &InstrumentSession::sampleLogged);
    QSignalSpy live(&s, &InstrumentSession::liveDataResumed);
    QSignalSpy requested(&s, &InstrumentSession::runRequested);

    // A fixed-value run starts the log it is watched in.
    sim.clearReceivedCommands();
    QVERIFY(s.runFixed({0, 0, 0, 1, QStringLiteral("30")}).started());
    QVERIFY(s.logRecording());
    QVERIFY(s.polling());
    QVERIFY(!live.isEmpty());
    QCOMPARE(requested.count(), 1);
    // Without a window nothing is drawn: the log goes on without a canvas.
    QVERIFY(!s.log().hasCanvas());
    QCOMPARE(param().TargetLineText, QStringLiteral("30"));
    QCOMPARE(sim.receivedCommands().mid(0, 3),
             QStringList({QStringLiteral("STATUS"), QStringLiteral("STOP"),
                          QStringLiteral("RUN 0 0 0 30 1")}));
    QTRY_VERIFY_WITH_TIMEOUT(samples.count() >= 3, 20000);
    const QString logPath = s.log().file().TxtLogPath;
    QFile logFile(logPath);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    QVERIFY(logFile.readAll().count('\n') >= 3);

    // An alarm ends the log, and no run starts while it stands.
    QSignalSpy alarms(&s, &InstrumentSession::alarmRaised);
    sim.withEngine([](SimEngine &e) { e.raiseAlarm(QStringLiteral("001")); });
    QTRY_COMPARE_WITH_TIMEOUT(alarms.count(), 1, 20000);
    QCOMPARE(alarms.at(0).at(0).toString(), QStringLiteral("001"));
    QVERIFY(!s.logRecording());
    QVERIFY(!s.polling());
    QCOMPARE(view.asked.size(), 1); // the memo question, answered No
    const InstrumentSession::RunResult refused = s.runPattern(QStringLiteral("4"));
    QCOMPARE(refused.outcome, InstrumentSession::RunOutcome::AlarmStanding);
    QCOMPARE(refused.message, alarmStandingText());
    QCOMPARE(s.runPattern(QStringLiteral("3")).outcome,
             InstrumentSession::RunOutcome::NotRegistered);

    QVERIFY(s.aclr().started());
    QVERIFY(!s.state().alarm.standing);

    // A pattern: its log, the running state, and the stop.
    QSignalSpy running(&s, &InstrumentSession::runReported);
    QSignalSpy stopped(&s, &InstrumentSession::controlStopped);
    QVERIFY(s.runPattern(QStringLiteral("4")).started());
    QVERIFY(s.logRecording());
    QTRY_VERIFY_WITH_TIMEOUT(running.count() >= 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(param().TargetLineText, QStringLiteral("+030.00"), 20000);
    QCOMPARE(s.runProgress().positionText(), QStringLiteral("ステップ 40（1 / 1）"));
    QCOMPARE(s.runProgress().loopText(), QStringLiteral("ループ 1 / 1"));
    const QString runLog = s.log().file().TxtLogPath;
    QVERIFY(s.stop().started());
    // What the step took, beside the run's log: written whole at the stop.
    QVERIFY(!s.runProgress().active());
    QFile steps(runLog.chopped(4) + QStringLiteral(".steps.csv"));
    QVERIFY2(steps.open(QIODevice::ReadOnly), qPrintable(steps.fileName()));
    const QList<QByteArray> rows = steps.readAll().split('\n');
    QCOMPARE(rows.value(0),
             QByteArray("step,loop,set_c,hold_s,start,end,duration_s,over_hold_s\r"));
    QVERIFY2(rows.value(1).startsWith("40,1,30.00,600,"), rows.value(1).constData());
    QVERIFY(rows.value(1).endsWith(",0\r")); // stopped within its hold
    QVERIFY(stopped.count() >= 1);
    QVERIFY(param().TargetLineText.isEmpty());
    QVERIFY(s.logRecording()); // STOP leaves a recorded log running
    s.stopLog();
    QVERIFY(!s.polling());
    QVERIFY(view.told.isEmpty());
}

// Files the session writes with no command waiting for the answer: a failure
// is a notice, not a silent loss, with or without a window.
void tst_Session::failedWritesOfItsOwnAreTold()
{
    QTemporaryDir home;
    RecordingView view;
    InstrumentSession s(home.path());
    s.setView(&view);
    // The settings file under a "folder" that is a file.
    QFile plain(home.filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    ini().setWorkingFile(home.filePath(QStringLiteral("plain/KRM.ini")));
    ini().IniWrite(QStringLiteral("BEEP"), QString(), QStringLiteral("1"));
    // The system log on a device that is always full.
    QVERIFY(s.link().openSystemLog(QStringLiteral("/dev/full"), true));
    s.link().noteSystemLog(QStringLiteral("probe"));
    QCOMPARE(view.noticed,
             QStringList({QStringLiteral("iniWrite 設定ファイルに書き込めませんでした。"),
                          QStringLiteral("systemLog システムログに書き込めませんでした。")}));
    QVERIFY(view.told.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Session)
#include "tst_session.moc"
